#!/usr/bin/env bash
# orvan-cli tuning-log, diagnosis, tuning, event-log and service-report
# against orvan-boardsim through a pseudo-terminal: the .log file, a damaged
# copy passed over and both damaged refused; a diagnosis listed; a factory
# tuning asked first (no terminal: not started) and, answered with --yes,
# run to its end, also at protocol 2.1.0, where the security code rides in
# every frame that needs it (the protocol version is read first); the event log as text and JSON Lines; the service report; and
# no output ever written over a file of another kind.
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
. "$(dirname "$0")/sim_harness.sh"
export XDG_DATA_HOME="$work/data"

start_sim --still --tuning-ms 400 --eeprom "$work/board.bin"
run "tuning-log" 0 -- "$cli" --progress --device "$dev" --fast tuning-log "$work/a.log"
head -c 24 "$work/a.log" | grep -q '^Velkor Laser technology$' && ok "tuning-log: header" ||
    fail "tuning-log: header"
[ "$(grep -c '/2026 ' "$work/a.log")" = 3 ] && ok "tuning-log: 3 tunings" || fail "tuning-log: $(cat "$work/a.log")"
has "tuning-log: copy A named" "$work/out" "tuning log: copy A"
[ "$(grep -c '/2026 .*	.* A	.* W	.* h$' "$work/out")" = 3 ] && ok "tuning-log: entries listed" ||
    fail "tuning-log: $(cat "$work/out")"

run "diagnosis" 0 -- "$cli" --progress --device "$dev" --fast diagnosis --meter
[ "$(grep -cE '^[1-4];[0-9.]+;[0-9.]+;' "$work/out")" = 4 ] && ok "diagnosis: 4 points" ||
    fail "diagnosis: $(cat "$work/out")"
has "diagnosis: progress on stderr" "$work/err" "Diagnosis terminated"

# The factory tuning asks first: no terminal and no --yes is a no.
cp "$work/board.bin" "$work/board.before"
run "factory tuning not confirmed" 2 -- "$cli" --progress --device "$dev" --fast tuning --factory </dev/null &&
    has "says how to answer yes" "$work/err" "(--yes answers yes)"
same "factory tuning: nothing written" "$work/board.bin" "$work/board.before"
run "factory tuning" 0 -- "$cli" --progress --device "$dev" --fast tuning --factory --yes --code-on
has "factory tuning: ended" "$work/err" "Factory tuning: Terminated"
[ "$(grep -c '/20[0-9][0-9] .*	.* A	' "$work/out")" = 4 ] && ok "factory tuning: the new log" ||
    fail "factory tuning: the new log: $(cat "$work/out")"
has "factory tuning: the board's copies kept" "$work/err" "reading the tuning log to keep it (read 2)"
stop_sim

start_sim --still --tuning-ms 400 --machine source-2.1
run "factory tuning at 2.1.0" 0 -- "$cli" --progress --device "$dev" --fast tuning --factory --yes &&
    has "2.1.0: ended" "$work/err" "Factory tuning: Terminated"
stop_sim

start_sim --still --damage-tuning-log a
run "copy A damaged" 0 -- "$cli" --progress --device "$dev" --fast tuning-log "$work/b.log" &&
    has "copy B used" "$work/out" "copy B"
stop_sim
start_sim --still --damage-tuning-log both
run "both copies damaged" 1 -- "$cli" --progress --device "$dev" --fast tuning-log "$work/c.log" &&
    has "both damaged: said" "$work/err" "Both copies"
[ -e "$work/c.log" ] && fail "both damaged: a file was written" || ok "both damaged: no file"
stop_sim

# Event log.
start_sim --still
run "event-log" 0 -- "$cli" --progress --device "$dev" --fast event-log
[ "$(wc -l <"$work/out")" = 9 ] && ok "event-log: 9 events" || fail "event-log: $(cat "$work/out")"
[ "$(head -n 1 "$work/out")" = "$(printf '0\t15/01/2026 10:00:00\t\tFactory tuning')" ] &&
    ok "event-log: first line" || fail "event-log: first line: $(head -n 1 "$work/out")"
[ "$(sed -n 3p "$work/out")" = "$(printf '2\t02/02/2026 02:40:00\t10.5%% | 40A (4.2 A) | 120 ore\tCorrezione percentuale corrente (RAM)')" ] &&
    ok "event-log: third line" || fail "event-log: third line: $(sed -n 3p "$work/out")"
run "event-log --json" 0 -- "$cli" --progress --device "$dev" --fast event-log --json
[ "$(wc -l <"$work/out")" = 9 ] && grep -q '^{"n":4,"time":1772443800,"dateTime":"02/03/2026 09:30:00","type":2,"values":\[4380,500,0\],"value":"43.8 A | 500 ore","description":"Secondary tuning"}$' "$work/out" &&
    ok "event-log --json: the lines" || fail "event-log --json: $(cat "$work/out")"

# The service report: identity, configuration, logs, traffic.
run "service-report" 0 -- "$cli" --progress --device "$dev" --fast service-report "$work/r.html" &&
    has "report: said" "$work/out" "Service report written to $work/r.html."
for part in '<th>Serial number</th><td>SIM-000001</td>' '<th>Firmware version</th><td>1.02.07</td>' \
            '<th>Board type</th><td>0x0100</td>' '<td>MinPower</td>' \
            'Everything asked of the board was read.' '<h2>Last lines of traffic</h2>' \
            'Tuning log, copy A' '<td>Factory tuning</td>'; do
    grep -qF -- "$part" "$work/r.html" || fail "report: no $part"
done
grep -qiE '(src|href)=' "$work/r.html" && fail "report: refers outside itself" || ok "report: whole"
# A write keeps what the board held; the report shows what changed since.
"$cli" --progress --device "$dev" --fast --quiet config-read "$work/now.wcf" 2>"$work/err" || fail "read: $(cat "$work/err")"
sed -e 's/^MinPower=[0-9-]*/MinPower=1234/' "$work/now.wcf" >"$work/new.wcf"
run "write before the report" 0 -- "$cli" --progress --device "$dev" --fast --quiet config-write "$work/new.wcf" \
    --backup-dir "$work/bk"
run "report after a write" 0 -- "$cli" --progress --device "$dev" --fast service-report "$work/d.html" \
    --backup-dir "$work/bk" --no-logs
grep -qF '<th>Backup</th><th>Board</th>' "$work/d.html" &&
    [ "$(grep -c '<td>MinPower</td>' "$work/d.html")" = 2 ] && ok "report: the differences from the backup" ||
    fail "report: no differences table"
run "report into a missing folder" 2 -- "$cli" --progress --device "$dev" --fast service-report \
    "$work/no/such/dir/r.html"

# No output over a file of another kind, nothing sent for it.
printf '[INFO]\nVersion=3\n' >"$work/x.wcf"
cp "$work/x.wcf" "$work/x.keep"
for cmd in "tuning-log $work/x.wcf" "service-report $work/x.wcf" "--capture $work/x.wcf info"; do
    # shellcheck disable=SC2086
    run "$cmd refused" 2 -- "$cli" --progress --device "$dev" --fast $cmd &&
        has "$cmd: the kind said" "$work/err" "holds a welder configuration"
    same "$cmd: x.wcf unchanged" "$work/x.wcf" "$work/x.keep"
    has "$cmd: nothing sent" "$work/err" "Nothing was sent."
done
run "a capture" 0 -- "$cli" --progress --device "$dev" --fast --capture "$work/c.cap" info
run "a capture over a capture" 2 -- "$cli" --progress --device "$dev" --fast --capture "$work/c.cap" info &&
    has "the capture is taken" "$work/err" "exists"
run "--force replaces a capture" 0 -- "$cli" --progress --device "$dev" --fast --force --capture "$work/c.cap" info
stop_sim

# An erased event log lists nothing, and says so.
start_sim --still --eeprom "$work/e2p.bin"
stop_sim
printf '\377%.0s' $(seq 231) | dd of="$work/e2p.bin" bs=1 seek=784 conv=notrunc status=none
start_sim --still --eeprom "$work/e2p.bin"
run "erased event log" 0 -- "$cli" --progress --device "$dev" --fast event-log &&
    has "erased: said" "$work/err" "(0 events)"
[ -s "$work/out" ] && fail "erased: listed $(cat "$work/out")" || ok "erased: nothing listed"
stop_sim

start_sim --still --no-answer
run "report of a silent board" 1 -- "$cli" --progress --device "$dev" --fast service-report "$work/s.html" \
    --no-logs && has "silent: what is missing" "$work/out" "not read: serial number"
grep -qF 'Incomplete report' "$work/s.html" && ok "silent: the file says it is incomplete" ||
    fail "silent: $(head -c 300 "$work/s.html")"
stop_sim

for bad in "diagnosis" "diagnosis --factory" "tuning --meter" "tuning-log" \
    "tuning --factory --secondary" "event-log --csv" "service-report" "service-report a b"; do
    # shellcheck disable=SC2086
    run "bad arguments '$bad'" 2 -- "$cli" --progress --device /dev/null $bad
done

finish
