#!/usr/bin/env bash
# orvan-cli service-report against orvan-boardsim through a pseudo-terminal:
# the board's identity and configuration in the file, the differences from
# the backup a write kept, a board that does not answer (exit 1, the file
# still written and saying what is missing), and bad arguments.
set -u
cli="$1"
sim="$2"
. "$(dirname "$0")/sim_harness.sh"


start_sim --still
"$cli" --device "$dev" --quiet service-report "$work/r.html" >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 0 ] || fail "report: exit $rc: $(cat "$work/err")"
grep -q "^Service report written to $work/r.html.$" "$work/out" || fail "report: $(cat "$work/out")"
for part in '<th>Serial number</th><td>SIM-000001</td>' '<th>Firmware version</th><td>1.02.07</td>' \
            '<th>Board type</th><td>0x0100</td>' '<td>MinPower</td>' \
            'Everything asked of the board was read.' '<h2>Last lines of traffic</h2>'; do
    grep -qF -- "$part" "$work/r.html" || fail "report: no $part"
done
grep -qiE '(src|href)=' "$work/r.html" && fail "report: refers outside itself"
ls "$work" | grep -q orvantmp && fail "report: temporary file left"
grep -qF 'Tuning log, copy A' "$work/r.html" || fail "report: tuning log not decoded"
grep -qE '<td>Factory tuning</td>' "$work/r.html" || fail "report: event log not listed"
echo "ok   report"

# A write keeps what the board held; the report shows what changed since.
"$cli" --device "$dev" --quiet config-read "$work/a.wcf" 2>"$work/err" || fail "read: $(cat "$work/err")"
sed -e 's/^MinPower=[0-9-]*/MinPower=1234/' "$work/a.wcf" >"$work/b.wcf"
"$cli" --device "$dev" --quiet config-write "$work/b.wcf" --backup-dir "$work/bk" \
    >/dev/null 2>"$work/err" || fail "write: $(cat "$work/err")"
"$cli" --device "$dev" --quiet service-report "$work/d.html" --backup-dir "$work/bk" \
    >"$work/out" 2>"$work/err" || fail "report after write: $(cat "$work/err")"
grep -qF '<th>Backup</th><th>Board</th>' "$work/d.html" || fail "differences: no table"
[ "$(grep -c '<td>MinPower</td>' "$work/d.html")" = 2 ] ||
    fail "differences: MinPower not in the configuration and the differences"
echo "ok   differences from the backup"
stop_sim

# A board that never answers: exit 1, the file says what is missing.
start_sim --no-answer
"$cli" --device "$dev" --quiet service-report "$work/s.html" >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 1 ] || fail "silent: exit $rc"
grep -q "^missing: serial number: not read (the board stopped answering" "$work/err" ||
    fail "silent: $(cat "$work/err")"
grep -qF 'Incomplete report' "$work/s.html" || fail "silent: the file does not say it is incomplete"
grep -qF 'configuration: not read' "$work/s.html" || fail "silent: configuration not named"
echo "ok   silent board"
stop_sim

start_sim --still
for bad in "" "a.html b.html" "--backup-dir" "a.html --bogus"; do
    # shellcheck disable=SC2086
    "$cli" --device "$dev" service-report $bad >"$work/out" 2>"$work/err"
    rc=$?
    [ "$rc" = 2 ] || fail "bad arguments '$bad': exit $rc"
done
"$cli" --device "$dev" --quiet service-report "$work/no/such/dir/r.html" >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 1 ] || fail "unwritable: exit $rc"
grep -q "could not be written" "$work/err" || fail "unwritable: $(cat "$work/err")"
echo "ok   bad arguments"

exit $((failures > 0))
