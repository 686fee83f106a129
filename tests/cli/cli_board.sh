#!/usr/bin/env bash
# orvan-cli against orvan-boardsim through a pseudo-terminal: identity at both
# line speeds, variables read and written, every board error code reaching the
# user with its text, time-out and bad arguments.
set -u
cli="$1"
sim="$2"
. "$(dirname "$0")/sim_harness.sh"
# A refusal is told in one line.
one_line_reason=1


identity="firmware version: 1.02.07
protocol version: 2.02.09
board type: 0100
serial number: SIM-000001"

start_sim
for speed in 9600 56700; do
    check "info at $speed" 0 "$identity" "" -- "$cli" --device "$dev" --speed "$speed" info
done
check "write ClockTime" 0 "" "" -- "$cli" --device "$dev" write-var ClockTime 10:20:30
"$cli" --device "$dev" read-var 0x0300 >"$work/t" 2>&1
if ! head -n 2 "$work/t" | diff -q - <(printf 'edtHours: 10\nedtMinutes: 20\n') >/dev/null; then
    echo "FAIL read ClockTime back: $(cat "$work/t")"; failures=$((failures + 1))
else
    echo "ok   read ClockTime back"
fi
check "Pelta write refused on a diode source" 2 "" "has no Pelta variables" -- "$cli" --device "$dev" write-var PeltaStrobeFilter 2,5
check "write ClockDate" 0 "" "" -- "$cli" --device "$dev" write-var ClockDate 2026-12-07
check "read PeltaWork" 0 "edtPeltaWork_f: 2.5
edtPeltaWork_d: 15" "" -- "$cli" --device "$dev" read-var peltawork
check "unknown variable refused" 1 "" "Unknown variable: 2457" -- "$cli" --device "$dev" read-var 0x0999
check "value out of range" 2 "" "outside" -- "$cli" --device "$dev" write-var IAdj 700
check "not a number" 2 "" "not a number" -- "$cli" --device "$dev" write-var IAdj abc
check "not writable" 2 "" "writes" -- "$cli" --device "$dev" write-var FirmwareVersion 1
check "bad variable" 2 "" "hex code" -- "$cli" --device "$dev" read-var nonsense
check "DAC readback refused" 1 "" "DAC16bit write error! Written value:65535 Readed value:65520" -- \
    "$cli" --device "$dev" write-var Dac16Value 65535
stop_sim

# The machine pages' variables on their own machines.
start_sim --machine pelta
check "write PeltaStrobeFilter with a comma" 0 "" "" -- "$cli" --device "$dev" write-var PeltaStrobeFilter 2,5
check "read PeltaStrobeFilter" 0 "edtPeltaStrobeFilter: 2" "" -- "$cli" --device "$dev" read-var PeltaStrobeFilter
check "write PeltaWork duty then frequency" 0 "" "" -- "$cli" --device "$dev" write-var PeltaWork 1.25 12.5
check "read PeltaWork back" 0 "edtPeltaWork_f: 12.5
edtPeltaWork_d: 1.2" "" -- "$cli" --device "$dev" read-var PeltaWork
check "a 70 ms pulse is refused" 2 "" "70 is outside" -- "$cli" --device "$dev" write-var PeltaLaserPulse 70
stop_sim
start_sim --machine flanging
check "flanging profiles" 0 "profile  amplitude (V)  offset (V)
      0          0.500       0.000" "" -- sh -c "\"$cli\" --device $dev flanging-profiles | head -n 2"
check "flanging profiles as JSON" 0 '{"boardType":"0x0A00","profiles":[{"profile":0,"amplitude":0.500,"offset":0.000},' "" -- sh -c "\"$cli\" --device $dev flanging-profiles --json | cut -c1-81"
check "speed beyond a 16-profile board" 2 "" "outside 0..31" -- "$cli" --device "$dev" write-var FlangingSpeed 40
stop_sim

# Every board error code reaches the user with its text.
texts=(
    ""
    "Protocol initiator not found!"
    "Negative acknowledge"
    "Unknown command"
    "Invalid parameters"
    "Unknown variable: 0"
    "Read only variable :0"
    "Invalid EEPROM address: 0"
    "Trying to write accross two EEPROM pages"
    "DAC16bit write error! Written value:0 Readed value:0"
    "EEPROM previous writing in course. Wait a while and retry..."
    "Operation denied in the current work phase!"
    "Security code error!"
    "Error number: 13"
)
for code in $(seq 1 13) 42 255; do
    text="${texts[$code]:-Error number: $code}"
    start_sim --error "$code"
    check "error code $code" 1 "" "refused by the board: $text" -- "$cli" --device "$dev" read-var FirmwareVersion
    stop_sim
done

# A refusal of one chosen request: the first read passes, the second is refused.
start_sim --error-on 0B:11:1:1
check "first read served" 0 "stxFWVer: 1.02.07" "" -- "$cli" --device "$dev" read-var FirmwareVersion
check "second read refused" 1 "" "Operation denied in the current work phase!" -- \
    "$cli" --device "$dev" read-var FirmwareVersion
check "third read served" 0 "stxFWVer: 1.02.07" "" -- "$cli" --device "$dev" read-var FirmwareVersion
stop_sim

start_sim --garbage
check "corrupted answers" 1 "" "corrupted answer from the board (Missing ACK...)" -- "$cli" --device "$dev" info
stop_sim

start_sim --no-answer
check "no answer" 1 "" "no answer from the board (RX TimeOut)" -- "$cli" --device "$dev" info
stop_sim

start_sim --protocol 2.1.0
check "info at protocol 2.1.0" 0 "firmware version: 1.02.07
protocol version: 2.01.00
board type: 0100
serial number: SIM-000001" "" -- "$cli" --device "$dev" info
stop_sim

check "in-process simulator" 0 "$identity" "" -- "$cli" --simulate --quiet info

[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
