#!/usr/bin/env bash
# orvan-cli board tools against orvan-boardsim: the board clock, the serial
# number, the hours counter, the factory tuning date and the EEPROM commands,
# with their refusals (bad arguments before the line, board refusals and a
# silent board after it).
set -u
cli="$1"
sim="$2"
. "$(dirname "$0")/sim_harness.sh"


eeprom="$work/board.bin"
start_sim --eeprom "$eeprom"

# Clock.
check "clock-set" 0 "board clock set to 2026-12-07 09:05:30" "" -- \
    "$cli" --device "$dev" clock-set 2026-12-07 09:05:30
check "clock-run off" 0 "board clock halted" "" -- "$cli" --device "$dev" clock-run off
sleep 1.2
check "clock-get halted" 0 "date: 2026-12-07
time: 09:05:30
running: no" "" -- "$cli" --device "$dev" clock-get
check "clock-run on" 0 "board clock running" "" -- "$cli" --device "$dev" clock-run on
check "clock-set --from-pc" 0 "*" "" -- "$cli" --device "$dev" clock-set --from-pc
"$cli" --device "$dev" clock-get >"$work/t" 2>&1
if ! grep -q "^date: $(date +%Y-%m-%d)" "$work/t" || ! grep -q '^running: yes' "$work/t"; then
    echo "FAIL clock-get after --from-pc: $(cat "$work/t")"; failures=$((failures + 1))
else
    echo "ok   clock-get after --from-pc"
fi
check "hour 25 refused before the line" 2 "" "Hour: 25 is outside 0..23" -- \
    "$cli" --device "$dev" clock-set 2026-12-07 25:00:00
check "30 February refused" 2 "" "not a date of the calendar" -- \
    "$cli" --device "$dev" clock-set 2026-02-30 10:00:00
check "year 1999 refused" 2 "" "2000-01-01" -- "$cli" --device "$dev" clock-set 1999-12-31 10:00:00
check "clock-run maybe" 2 "" "on or off" -- "$cli" --device "$dev" clock-run maybe

# Identity.
check "set-serial" 0 "Serial number written: AB-1234" "" -- "$cli" --device "$dev" set-serial AB-1234
check "info shows it" 0 "firmware version: 1.02.07
protocol version: 2.02.09
board type: 0100
serial number: AB-1234" "" -- "$cli" --device "$dev" info
check "serial of 16 refused" 2 "" "at most 15" -- "$cli" --device "$dev" set-serial ABCDEFGHIJKLMNOP
check "set-hours" 0 "*" "" -- "$cli" --device "$dev" set-hours 1.5
grep -q '^hours counter: 540[0-9] s' "$work/out" || {
    echo "FAIL set-hours read back: $(cat "$work/out")"; failures=$((failures + 1)); }
check "set-hours with a comma" 0 "*" "" -- "$cli" --device "$dev" set-hours 2,25
check "negative hours refused" 2 "" "negative" -- "$cli" --device "$dev" set-hours -1
check "set-tuning-date" 0 "factory tuning date set to 2026-12-07 08:00:00 (1796630400)" "" -- \
    "$cli" --device "$dev" set-tuning-date 2026-12-07 08:00:00
check "tuning date before 1970 refused" 2 "" "1970-01-01" -- \
    "$cli" --device "$dev" set-tuning-date 1969-12-31
stop_sim

# The board's refusal and a silent board make every write fail with the reason.
start_sim --eeprom "$eeprom" --error 11
check "refused clock-set" 1 "" "Operation denied in the current work phase!" -- \
    "$cli" --device "$dev" clock-set 2026-12-07 09:05:30
check "refused set-serial" 1 "" "Operation denied" -- "$cli" --device "$dev" set-serial X1
check "refused set-hours" 1 "" "Operation denied" -- "$cli" --device "$dev" set-hours 1
stop_sim
start_sim --eeprom "$eeprom" --no-answer
check "silent clock-run" 1 "" "RX TimeOut" -- "$cli" --device "$dev" clock-run on
check "silent set-tuning-date" 1 "" "RX TimeOut" -- "$cli" --device "$dev" set-tuning-date 2026-12-07
stop_sim


# EEPROM: dump, format (dump first), restore gives back the memory byte for byte.
start_sim --eeprom "$eeprom"
check "eeprom-write" 0 "2 bytes written at 300" "" -- "$cli" --device "$dev" eeprom-write 300 AB
check "eeprom-read" 0 "012C  41 42  AB" "" -- "$cli" --device "$dev" eeprom-read 300 2
check "eeprom-dump" 0 "EEPROM dumped (1024 bytes), saved to $work/before.bin" "" -- \
    "$cli" --device "$dev" --quiet eeprom-dump "$work/before.bin"
if ! cmp -s "$work/before.bin" "$eeprom"; then
    echo "FAIL dump equals the simulator's memory"; failures=$((failures + 1))
else
    echo "ok   dump equals the simulator's memory"
fi
check "eeprom-dump never replaces unasked" 2 "" "--force" -- \
    "$cli" --device "$dev" eeprom-dump "$work/before.bin"
check "eeprom-format needs --yes" 2 "" "--yes" -- "$cli" --device "$dev" eeprom-format
check "eeprom-format" 0 "dump of the memory before the format: $work/kept.bin
EEPROM formatted (1024 bytes of FF); what it held is in $work/kept.bin" "" -- \
    "$cli" --device "$dev" --quiet eeprom-format --yes --dump "$work/kept.bin"
if ! cmp -s "$work/before.bin" "$work/kept.bin" || \
    [ "$(tr -d '\377' <"$eeprom" | wc -c)" != 0 ]; then
    echo "FAIL format kept the dump and erased the memory"; failures=$((failures + 1))
else
    echo "ok   format kept the dump and erased the memory"
fi
check "restore over another serial number refused without --yes" 1 "" "differs" -- \
    "$cli" --device "$dev" --quiet eeprom-restore "$work/kept.bin" </dev/null
check "eeprom-restore --yes" 0 "Dump file $work/kept.bin written to the board and read back: all 1024 bytes match" "" -- \
    "$cli" --device "$dev" --quiet eeprom-restore "$work/kept.bin" --yes </dev/null
if ! cmp -s "$work/before.bin" "$eeprom"; then
    echo "FAIL restore gave back the memory"; failures=$((failures + 1))
else
    echo "ok   restore gave back the memory"
fi
head -c 1000 /dev/zero >"$work/short.bin"
check "short dump file refused" 2 "" "exactly 1024" -- "$cli" --device "$dev" eeprom-restore "$work/short.bin"
check "read of 33 refused" 2 "" "1 to 32" -- "$cli" --device "$dev" eeprom-read 0 33
check "read of 0 refused" 2 "" "1 to 32" -- "$cli" --device "$dev" eeprom-read 0 0
check "read past the end refused" 2 "" "past the end" -- "$cli" --device "$dev" eeprom-read 1000 32
check "write past the end refused" 2 "" "past the end" -- "$cli" --device "$dev" eeprom-write 1023 AB
check "text of 246 refused" 2 "" "at most 245" -- "$cli" --device "$dev" eeprom-write 0 "$(printf 'x%.0s' $(seq 246))"
check "write across two pages refused by the board" 1 "" "accross two EEPROM pages" -- \
    "$cli" --device "$dev" eeprom-write 30 ABCD
stop_sim
start_sim --eeprom "$eeprom" --error-on 01:10:5:1
check "format refused half way" 1 "*" "EEPROM previous writing in course" -- \
    "$cli" --device "$dev" --quiet eeprom-format --yes --dump "$work/kept2.bin"
stop_sim

[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
