#!/usr/bin/env bash
# orvan-cli status against orvan-boardsim through a pseudo-terminal: cycles
# as lines and as JSON Lines with their keys, power readings only above
# protocol 2.1.0, N cycles or until Ctrl-C (the capture written then), a
# board that refuses every read or goes away ending it with exit 1.
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
. "$(dirname "$0")/sim_harness.sh"

start_sim --still
run "json" 0 -- "$cli" --device "$dev" status --count 3 --json
[ "$(wc -l <"$work/out")" = 3 ] && ok "json: 3 cycles" || fail "json: $(cat "$work/out")"
for key in '"analogVolts":[' ',12,210,480,512,610],"inputs"' '"inputs":{"cpu":5,"exp1":801,"exp2":1620}' \
           '"outputs":{"cpu":2,' '"anomalies":0' '"sourceSeconds":' '"power":{'; do
    [ "$(grep -cF -- "$key" "$work/out")" = 3 ] || fail "json: not every line holds $key"
done
head -n 1 "$work/out" | grep -q '^{"cycle":1,' && tail -n 1 "$work/out" | grep -q '^{"cycle":3,' &&
    ok "json: cycles 1 to 3" || fail "json: cycles: $(cat "$work/out")"
has "json: the end said" "$work/err" "Status polling: 3 cycles read."

run "lines" 0 -- "$cli" --device "$dev" --fast status --count 2
[ "$(grep -c '^cycle [12]  V ' "$work/out")" = 2 ] && ok "lines: 2 cycles" || fail "lines: $(cat "$work/out")"

for bad in "--count 0" "--count x" "--interval 300" "--bogus" "extra"; do
    # shellcheck disable=SC2086
    run "bad argument $bad" 2 -- "$cli" --device "$dev" status $bad
    [ -s "$work/out" ] && fail "bad argument $bad printed cycles"
done

# Until Ctrl-C: the cycles so far kept, exit 130, the capture written whole.
"$cli" --device "$dev" --fast --capture "$work/s.cap" status --json >"$work/out" 2>"$work/err" &
cpid=$!
for _ in $(seq 200); do
    [ "$(wc -l <"$work/out")" -ge 2 ] && break
    sleep 0.05
done
kill -INT "$cpid"
wait "$cpid"
rc=$?
[ "$rc" = 130 ] && ok "Ctrl-C: exit 130" || fail "Ctrl-C: exit $rc: $(cat "$work/err")"
[ "$(wc -l <"$work/out")" -ge 2 ] && ok "Ctrl-C: cycles kept" || fail "Ctrl-C: $(cat "$work/out")"
has "Ctrl-C: said" "$work/err" "Status polling stopped (interrupted by SIGINT (Ctrl-C))"
head -n 1 "$work/s.cap" | grep -qx '# orvan line capture 1' &&
    [ "$(sent "$work/s.cap")" -gt 4 ] && [ "$(grep -c '^[0-9]* RX ' "$work/s.cap")" -gt 4 ] &&
    ! grep -vqE '^(#|[0-9]+ (TX|RX)( [0-9A-F]{2})+$)' "$work/s.cap" &&
    ok "Ctrl-C: a valid capture written" || fail "Ctrl-C: capture: $(head -n 5 "$work/s.cap")"

# A reader that went away ends the polling: its results have nowhere to go.
"$cli" --device "$dev" --fast status 2>"$work/err" | head -n 2 >"$work/out"
rc=${PIPESTATUS[0]}
[ "$rc" = 1 ] && [ "$(wc -l <"$work/out")" = 2 ] && ok "reader gone: polling ended, exit 1" ||
    fail "reader gone: exit $rc: $(cat "$work/err")"
has "reader gone: said" "$work/err" "could not be written to standard output"

# SIGHUP (the terminal closed) stops it as well: exit 129.
"$cli" --device "$dev" --fast status >"$work/out" 2>"$work/err" &
cpid=$!
wait_for "$work/out" "cycle 1 "
kill -HUP "$cpid"
wait "$cpid"
rc=$?
[ "$rc" = 129 ] && ok "SIGHUP: exit 129" || fail "SIGHUP: exit $rc: $(cat "$work/err")"
stop_sim

# A second signal ends at once, while the first still waits for the answer
# in flight (a board that takes 2 s to answer).
start_sim --still --delay 2000
"$cli" --device "$dev" status >"$work/out" 2>"$work/err" &
cpid=$!
sleep 0.4
kill -TERM "$cpid"
sleep 0.2
start=$(date +%s%N)
kill -INT "$cpid"
wait "$cpid"
rc=$?
took=$((($(date +%s%N) - start) / 1000000))
[ "$rc" = 130 ] && [ "$took" -lt 1000 ] && ok "second signal: exit 130 at once ($took ms)" ||
    fail "second signal: exit $rc after $took ms: $(cat "$work/err")"
has "second signal: said" "$work/err" "a second signal: ended at once"
stop_sim

# No power readings at protocol 2.1.0 exactly.
start_sim --still --machine source-2.1
run "2.1.0" 0 -- "$cli" --device "$dev" --fast status --count 2 --json &&
    lacks "2.1.0: no power readings polled" "$work/out" '"power"'
stop_sim

# A board that refuses every read: exit 1, at once.
start_sim --still --error 5
start=$(date +%s%N)
run "every read refused" 1 -- "$cli" --device "$dev" status --count 3
took=$((($(date +%s%N) - start) / 1000000))
[ "$took" -lt 2000 ] && ok "refused at once ($took ms)" || fail "refused after $took ms"
has "refusal said" "$work/err" "refused by the board: Unknown variable: 0"
[ "$(grep -c "Unknown variable" "$work/err")" = 1 ] && ok "refusal said once" ||
    fail "refusal: $(cat "$work/err")"
stop_sim

# One status read refused: polling goes on without it, and says it once.
start_sim --still --error-on 0B:11:4:1
run "one read refused" 0 -- "$cli" --device "$dev" --fast status --count 2 &&
    [ "$(grep -c "refused by the board: Operation denied" "$work/err")" = 1 ] &&
    ok "the refused read said once" || fail "one read refused: $(cat "$work/err")"
stop_sim

# The board goes away while polling: a reason and exit 1, the cycles before it kept.
start_sim --still
"$cli" --device "$dev" --fast status --json >"$work/out" 2>"$work/err" &
cpid=$!
for _ in $(seq 200); do
    [ "$(wc -l <"$work/out")" -ge 2 ] && break
    sleep 0.05
done
stop_sim
wait "$cpid"
rc=$?
[ "$rc" = 1 ] && ok "board gone: exit 1" || fail "board gone: exit $rc"
has "board gone: said" "$work/err" "Status polling stopped"
[ "$(wc -l <"$work/out")" -ge 2 ] && ok "board gone: cycles before it kept" || fail "board gone: cycles lost"

finish
