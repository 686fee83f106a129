#!/usr/bin/env bash
# orvan-cli event-log against orvan-boardsim through a pseudo-terminal: the
# simulator's sample log as text lines and as JSON Lines, an erased log that
# lists nothing, a board that does not answer ending with 1, bad arguments 2.
set -u
cli="$1"
sim="$2"
. "$(dirname "$0")/sim_harness.sh"


start_sim --still
"$cli" --device "$dev" event-log >"$work/out" 2>"$work/err" || fail "event-log: $(cat "$work/err")"
[ "$(wc -l <"$work/out")" = 9 ] || fail "event-log: wanted 9 events: $(cat "$work/out")"
[ "$(head -n 1 "$work/out")" = "$(printf '0\t15/01/2026 10:00:00\t\tFactory tuning')" ] ||
    fail "event-log: first line: $(head -n 1 "$work/out")"
[ "$(sed -n 3p "$work/out")" = "$(printf '2\t02/02/2026 02:40:00\t10.5%% | 40A (4.2 A) | 120 ore\tCorrezione percentuale corrente (RAM)')" ] ||
    fail "event-log: third line: $(sed -n 3p "$work/out")"
echo "ok   event-log"

"$cli" --device "$dev" event-log --json >"$work/json" 2>"$work/err" ||
    fail "event-log --json: $(cat "$work/err")"
[ "$(wc -l <"$work/json")" = 9 ] || fail "event-log --json: $(cat "$work/json")"
grep -q '^{"n":4,"time":1772443800,"dateTime":"02/03/2026 09:30:00","type":2,"values":\[4380,500,0\],"value":"43.8 A | 500 ore","description":"Secondary tuning"}$' "$work/json" ||
    fail "event-log --json: line 4: $(sed -n 5p "$work/json")"
if command -v python3 >/dev/null; then
    python3 -c 'import json,sys
for l in open(sys.argv[1]): json.loads(l)' "$work/json" || fail "event-log --json: not JSON Lines"
fi
echo "ok   event-log --json"
stop_sim

# An erased event log: nothing listed, and said so.
start_sim --still --eeprom "$work/e2p.bin"
stop_sim
printf '\377%.0s' $(seq 231) | dd of="$work/e2p.bin" bs=1 seek=784 conv=notrunc 2>/dev/null
start_sim --still --eeprom "$work/e2p.bin"
"$cli" --device "$dev" event-log >"$work/out" 2>"$work/err" || fail "erased: $(cat "$work/err")"
[ -s "$work/out" ] && fail "erased: listed $(cat "$work/out")"
grep -q 'no events' "$work/err" || fail "erased: not said: $(cat "$work/err")"
echo "ok   erased log"
stop_sim

start_sim --still --no-answer
"$cli" --device "$dev" event-log >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 1 ] || fail "no answer: exit $rc"
[ -s "$work/out" ] && fail "no answer: listed $(cat "$work/out")"
grep -q 'RX TimeOut' "$work/err" || fail "no answer: $(cat "$work/err")"
echo "ok   no answer"
stop_sim

"$cli" --device /dev/null event-log --csv >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 2 ] || fail "bad argument: exit $rc"

[ "$failures" = 0 ] || exit 1
echo "all passed"
