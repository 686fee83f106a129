#!/usr/bin/env bash
# orvan-cli tuning-log, diagnosis and tuning against orvan-boardsim through a
# pseudo-terminal: the .log file, a damaged copy passed over, both damaged
# refused with nothing written, a diagnosis and a factory tuning followed to
# their end, a refused start and a board that stops answering ending with 1.
set -u
cli="$1"
sim="$2"
. "$(dirname "$0")/sim_harness.sh"


start_sim --still --tuning-ms 1500
"$cli" --device "$dev" tuning-log "$work/a.log" >"$work/out" 2>"$work/err" ||
    fail "tuning-log: $(cat "$work/err")"
head -c 24 "$work/a.log" | grep -q '^Velkor Laser technology$' || fail "tuning-log: header"
[ "$(grep -c '/2026 ' "$work/a.log")" = 3 ] || fail "tuning-log: wanted 3 tunings: $(cat "$work/a.log")"
grep -q 'copy A' "$work/out" || fail "tuning-log: copy A not named: $(cat "$work/out")"
echo "ok   tuning-log"

"$cli" --device "$dev" diagnosis --meter >"$work/out" 2>"$work/err" ||
    fail "diagnosis: $(cat "$work/err")"
[ "$(grep -c '^step [1-4]: expected' "$work/out")" = 4 ] || fail "diagnosis: $(cat "$work/out")"
grep -q '^Diagnosis terminated$' "$work/out" || fail "diagnosis: not terminated"
echo "ok   diagnosis"

"$cli" --device "$dev" tuning --factory >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 1 ] || fail "factory tuning without the security code: exit $rc"
grep -q 'Security code error' "$work/err" || fail "factory tuning refusal: $(cat "$work/err")"
"$cli" --device "$dev" tuning --factory --code-on >"$work/out" 2>"$work/err" ||
    fail "factory tuning: $(cat "$work/err")"
grep -q '^Running\.\.\. ' "$work/out" || fail "factory tuning: no progress lines"
grep -q '^Terminated$' "$work/out" || fail "factory tuning: not terminated: $(cat "$work/out")"
[ "$(grep -c '^  [0-9][0-9]/' "$work/out")" = 4 ] || fail "factory tuning: the new log: $(cat "$work/out")"
echo "ok   tuning"
stop_sim

start_sim --still --damage-tuning-log a
"$cli" --device "$dev" tuning-log "$work/b.log" >"$work/out" 2>"$work/err" ||
    fail "copy A damaged: $(cat "$work/err")"
grep -q 'copy B' "$work/out" || fail "copy A damaged: copy B not used"
stop_sim

start_sim --still --damage-tuning-log both
"$cli" --device "$dev" tuning-log "$work/c.log" >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 1 ] || fail "both damaged: exit $rc"
grep -q 'Both copies' "$work/err" || fail "both damaged: $(cat "$work/err")"
[ -e "$work/c.log" ] && fail "both damaged: a file was written"
echo "ok   damaged copies"
stop_sim

start_sim --still --error-on 13:11
"$cli" --device "$dev" diagnosis --photodiode >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 1 ] || fail "refused start: exit $rc"
stop_sim

for bad in "diagnosis" "diagnosis --factory" "tuning --meter" "tuning-log" "tuning --factory --secondary"; do
    # shellcheck disable=SC2086
    "$cli" --device /dev/null $bad >"$work/out" 2>"$work/err"
    rc=$?
    [ "$rc" = 2 ] || fail "bad arguments '$bad': exit $rc"
done
echo "ok   refusals and arguments"

[ "$failures" = 0 ] || exit 1
echo "all passed"
