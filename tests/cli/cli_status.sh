#!/usr/bin/env bash
# orvan-cli status against orvan-boardsim through a pseudo-terminal: cycles
# as lines and as JSON Lines with their keys, power readings only above
# protocol 2.1.0, bad arguments, and exit 1 with a reason when the board
# stops answering.
set -u
cli="$1"
sim="$2"
. "$(dirname "$0")/sim_harness.sh"


start_sim --still
"$cli" --device "$dev" status --count 3 --json >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 0 ] || fail "json: exit $rc: $(cat "$work/err")"
[ "$(wc -l <"$work/out")" = 3 ] || fail "json: wanted 3 lines, got $(wc -l <"$work/out")"
for key in '"analogVolts":[' ',12,210,480,512,610],"inputs"' '"inputs":{"cpu":5,"exp1":801,"exp2":1620}' \
           '"outputs":{"cpu":2,' '"anomalies":0' '"sourceSeconds":' '"power":{'; do
    [ "$(grep -cF -- "$key" "$work/out")" = 3 ] || fail "json: not every line holds $key"
done
head -n 1 "$work/out" | grep -q '^{"cycle":1,' || fail "json: first cycle is not 1"
tail -n 1 "$work/out" | grep -q '^{"cycle":3,' || fail "json: last cycle is not 3"
echo "ok   json lines"

"$cli" --device "$dev" status --count 2 --interval 300 >"$work/out" 2>"$work/err" ||
    fail "lines: $(cat "$work/err")"
[ "$(grep -c '^cycle [12]  V ' "$work/out")" = 2 ] || fail "lines: $(cat "$work/out")"
echo "ok   lines"

for bad in "--count 0" "--count x" "--interval 5" "--interval 70000" "--bogus"; do
    # shellcheck disable=SC2086
    "$cli" --device "$dev" status $bad >"$work/out" 2>"$work/err"
    rc=$?
    [ "$rc" = 2 ] || fail "bad argument $bad: exit $rc"
    [ -s "$work/out" ] && fail "bad argument $bad printed cycles"
done
echo "ok   bad arguments"
stop_sim

# No power readings at protocol 2.1.0 exactly.
start_sim --still --machine source-2.1
"$cli" --device "$dev" status --count 2 --json >"$work/out" 2>"$work/err" ||
    fail "2.1.0: $(cat "$work/err")"
grep -q '"power"' "$work/out" && fail "2.1.0: power readings polled"
[ "$(wc -l <"$work/out")" = 2 ] || fail "2.1.0: $(cat "$work/out") $(cat "$work/err")"
echo "ok   no power readings at 2.1.0"
stop_sim

# The board goes away while polling: a reason and exit 1, the cycles before it kept.
start_sim
"$cli" --device "$dev" status --json >"$work/out" 2>"$work/err" &
cli_pid=$!
for _ in $(seq 100); do
    [ "$(wc -l <"$work/out")" -ge 2 ] && break
    sleep 0.1
done
stop_sim
wait "$cli_pid"
rc=$?
[ "$rc" = 1 ] || fail "board gone: exit $rc"
grep -q "stopped answering" "$work/err" || fail "board gone: $(cat "$work/err")"
[ "$(wc -l <"$work/err")" = 1 ] || fail "board gone: more than one line: $(cat "$work/err")"
[ "$(wc -l <"$work/out")" -ge 2 ] || fail "board gone: cycles before it lost"
echo "ok   board gone"

exit $((failures > 0))
