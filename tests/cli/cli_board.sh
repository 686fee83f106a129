#!/usr/bin/env bash
# orvan-cli against orvan-boardsim through a pseudo-terminal: identity at both
# line speeds, every line shown by demo, a read sent exactly once, variables,
# clock and counters written with what they held said, values refused before
# the port is opened, board refusals and a silent or garbling board reaching
# the user with their reason, and the port's own troubles.
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
. "$(dirname "$0")/sim_harness.sh"
# A refusal is told in one line.
one_line_reason=1
export XDG_DATA_HOME="$work/data"

identity="board type: 0100
firmware version: 1.02.07
protocol version: 2.02.09
serial number: SIM-000001"

start_sim --still --eeprom "$work/board.bin"
for speed in 9600 56700; do
    check "info at $speed" 0 "$identity" "" -- "$cli" --device "$dev" --speed "$speed" info
done
run "demo" 0 -- "$cli" --device "$dev" demo &&
    [ "$(grep -c '^TX \[' "$work/out")" = 4 ] && [ "$(grep -c '^RX \[' "$work/out")" = 4 ] &&
    ok "demo shows the 4 lines sent and the 4 received" || fail "demo: $(cat "$work/out")"
has "demo ends with the identity" "$work/out" "serial number: SIM-000001"

# A read goes out once, and only the read: the capture holds every request.
check "read DiagnosisStatus" 0 "Diagnosis status: 0x00" "" -- \
    "$cli" --device "$dev" --fast --quiet --capture "$work/read.cap" read-var DiagnosisStatus
[ "$(sent "$work/read.cap")" = 1 ] && ok "the read is sent exactly once" ||
    fail "requests sent: $(cat "$work/read.cap")"

check "clock-run off" 0 "*" "" -- "$cli" --device "$dev" --fast clock-run off
check "write ClockTime, what it held said" 0 "*" "" -- \
    "$cli" --device "$dev" --fast write-var ClockTime 10:20:30
has "ClockTime reads back" "$work/out" "It reads 10:20:30 now."
check "read ClockTime back" 0 "Hours: 10
Minutes: 20
Seconds: 30" "" -- "$cli" --device "$dev" --fast read-var 0x0300
check "unknown variable refused by the board" 1 "" "Unknown variable: 2457" -- \
    "$cli" --device "$dev" --fast --quiet read-var 0x0999
check "DAC read-back refused, the old value said" 1 "" \
    "DAC16bit write error! Written value:65535 Readed value:65520. The board holds what it held (32768)." -- \
    "$cli" --device "$dev" --fast --quiet write-var Dac16Value 65535
check "Pelta variable on a diode source refused" 2 "" "has no Pelta variables" -- \
    "$cli" --device "$dev" --fast --quiet write-var PeltaStrobeFilter 2,5

# Clock, serial number, hours counter, tuning date.
# The clock is halted: what is set stays.
check "clock-set" 0 "*" "" -- "$cli" --device "$dev" --fast clock-set 2026-12-07 09:05:30
has "clock-set says what it was and is" "$work/out" "It held 10:20:30, "
has "clock-set reads back" "$work/out" "It reads 09:05:30, "
check "clock-get halted" 0 "date: 2026-12-07
time: 09:05:30
running: no" "" -- "$cli" --device "$dev" clock-get
check "clock-run on" 0 "*" "" -- "$cli" --device "$dev" --fast clock-run on
check "clock-set --from-pc" 0 "*" "" -- "$cli" --device "$dev" --fast clock-set --from-pc
check "clock-get after --from-pc" 0 "*" "" -- "$cli" --device "$dev" --fast clock-get
grep -q "^date: $(date +%Y-%m-%d)" "$work/out" && grep -q '^running: yes' "$work/out" &&
    ok "the PC's date, running" || fail "clock-get: $(cat "$work/out")"
check "set-serial" 0 "*" "" -- "$cli" --device "$dev" --fast set-serial AB-1234
has "set-serial says what it was" "$work/out" "Serial number written: AB-1234 (it was SIM-000001)."
kept=$(sed -n 's/.*What it held is kept in \(.*\)\.$/\1/p' "$work/out")
[ -n "$kept" ] && [ "$(head -c 10 "$kept")" = "SIM-000001" ] && ok "the old serial number kept" ||
    fail "kept copy: $kept: $(cat "$work/out")"
check "set-hours with a comma" 0 "*" "" -- "$cli" --device "$dev" --fast set-hours 1,5
grep -q 'set to 5400 s (1.5 h); the board acknowledged it. It held .* It reads 540[0-9] s' "$work/out" &&
    ok "hours read back" || fail "set-hours: $(cat "$work/out")"
check "set-tuning-date" 0 "*" "" -- "$cli" --device "$dev" --fast set-tuning-date 2026-12-07 08:00:00
has "tuning date said" "$work/out" "set to 2026-12-07 08:00:00 (1796630400)"

# Values refused before the port is opened: the device does not even exist,
# and the exit status is 2, not the 1 of a port that does not open.
for v in "write-var IAdj 700|700 is outside 0..655.35" "write-var IAdj abc|not a number" \
    "write-var ClockTime 25:61:61|outside 0..23" "write-var FlangingProfile 16|outside 0..15" \
    "write-var Dac16Force -1|neither 0 nor 1" "write-var ClockDate 2026-13-01|not a date" \
    "write-var FirmwareVersion 1|not a variable this program writes" \
    "read-var nonsense|neither a variable name nor a hex code" \
    "clock-set 2026-02-30 10:00:00|not a date of the calendar" \
    "clock-set 1999-12-31 10:00:00|2000-01-01" "clock-run maybe|on or off" \
    "set-serial ABCDEFGHIJKLMNOP|at most 15" "set-hours -1|negative" \
    "set-tuning-date 1969-12-31|1970-01-01" "info extra|too many arguments"; do
    args=${v%%|*}
    # shellcheck disable=SC2086
    check "$args refused" 2 "" "${v#*|}" -- "$cli" --device /dev/no-such-tty $args
done
stop_sim

# The machine pages' variables on their own machines.
start_sim --machine pelta
check "write PeltaWork duty then frequency" 0 "*" "" -- \
    "$cli" --device "$dev" --fast write-var PeltaWork 1.25 12.5
check "read PeltaWork back, by captions with units" 0 "Fequenza: 12.5 kHz
Duty cycle: 1.2 %" "" -- "$cli" --device "$dev" --fast read-var PeltaWork
check "a 70 ms pulse is refused" 2 "" "70 is outside" -- \
    "$cli" --device "$dev" --fast --quiet write-var PeltaLaserPulse 70
stop_sim
start_sim --machine flanging
check "flanging profiles" 0 "profile  amplitude (V)  offset (V)
      0          0.500       0.000" "" -- sh -c "\"$cli\" --device $dev --fast flanging-profiles | head -n 2"
check "flanging profiles as JSON" 0 '{"boardType":"0x0A00","profiles":[{"profile":0,"amplitude":0.500,"offset":0.000},' "" -- \
    sh -c "\"$cli\" --device $dev --fast flanging-profiles --json | cut -c1-81"
# Refused before anything is written, once the board type says 16 profiles:
# no WriteVariable frame (type 0A, the first byte after the COBS code) goes.
"$cli" --device "$dev" --fast --quiet --capture "$work/speed.cap" write-var FlangingSpeed 40 \
    >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" != 0 ] && grep -qF "outside 0..31; nothing sent" "$work/err" &&
    ! grep -Eq "^[0-9]+ TX 43 4F 42 53 [0-9A-F]{2} 0A " "$work/speed.cap" &&
    ok "speed beyond a 16-profile board refused, nothing written" ||
    fail "speed 40: exit $rc: $(cat "$work/err")"
stop_sim

# Board error codes reach the user with their text.
for c in "1|Protocol initiator not found!" "5|Unknown variable: 0" \
    "12|Security code error!" "13|Error number: 13" "255|Error number: 255"; do
    start_sim --error "${c%%|*}"
    check "error code ${c%%|*}" 1 "" "refused by the board: ${c#*|}" -- \
        "$cli" --device "$dev" --fast --quiet read-var FirmwareVersion
    stop_sim
done
start_sim --error-on 0B:11:1:1
check "first read served" 0 "Firmware version: 1.02.07" "" -- "$cli" --device "$dev" --fast --quiet read-var FirmwareVersion
check "second read refused" 1 "" "Operation denied in the current work phase!" -- \
    "$cli" --device "$dev" --fast --quiet read-var FirmwareVersion
check "third read served" 0 "Firmware version: 1.02.07" "" -- "$cli" --device "$dev" --fast --quiet read-var FirmwareVersion
stop_sim
start_sim --garbage
check "corrupted answers" 1 "" "the answer was garbled (Missing ACK...)" -- \
    "$cli" --device "$dev" --fast --quiet info
stop_sim
start_sim --no-answer
check "no answer" 1 "" "RX TimeOut" -- "$cli" --device "$dev" --fast --quiet set-tuning-date 2026-12-07
stop_sim
start_sim --short-answer 0300
check "short answer is an error" 1 "" "carries 2 value bytes, 3 expected" -- \
    "$cli" --device "$dev" --fast --quiet read-var ClockTime
stop_sim
start_sim --protocol 2.1.0
check "info at protocol 2.1.0" 0 "board type: 0100
firmware version: 1.02.07
protocol version: 2.01.00
serial number: SIM-000001" "" -- "$cli" --device "$dev" --fast info
stop_sim
check "in-process simulator" 0 "$identity" "" -- "$cli" --simulate --quiet info

# A blank serial number is said as text; the port's troubles are named.
start_sim --eeprom "$work/blank.bin"
stop_sim
printf '\xff%.0s' $(seq 16) | dd of="$work/blank.bin" bs=1 conv=notrunc status=none
start_sim --eeprom "$work/blank.bin"
check "info of a blank board" 0 "*" "" -- "$cli" --device "$dev" --fast info
has "blank serial said" "$work/out" "serial number: (blank)"
LC_ALL=C grep -q $'\xff' "$work/out" && fail "raw 0xFF bytes printed" || ok "text only"
flock "$dev" sleep 5 &
holder=$!
sleep 0.3
check "busy port" 1 "" "busy: $dev" -- "$cli" --device "$dev" --fast --quiet info
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
stop_sim
check "absent port" 1 "" "absent: /dev/no-such-tty does not exist (No such file or directory)" -- \
    "$cli" --device /dev/no-such-tty --quiet info

finish
