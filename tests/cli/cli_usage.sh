#!/usr/bin/env bash
# The command line as scripts and technicians use it: help on stdout, every
# command's own help and its refusal of a wrong option (exit 2, nothing
# sent), --name=value and --, the four line speeds, the default device, JSON
# read back by a real parser on odd board values, the traffic trace, find,
# and progress: a rewritten line on a terminal, nothing in a pipe.
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
. "$(dirname "$0")/sim_harness.sh"

export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
unset ORVAN_DEVICE

check "--help on stdout" 0 "*" "" -- "$cli" --help
has "--help states the exit statuses" "$work/out" "130"
[ -s "$work/err" ] && fail "--help wrote to stderr: $(cat "$work/err")" || ok "--help: stderr empty"
commands=$(sed -n '/^Commands on/,/^Exit status/p' "$work/out" | grep -E '^  [a-z]' | awk '{print $1}')
[ "$(wc -w <<<"$commands")" -ge 30 ] && ok "commands listed" || fail "commands: $commands"

# Every command: its help on stdout, and a wrong option or a missing device
# refused with 2 before anything is opened.
bad=0
for c in $commands; do
    "$cli" "$c" --help >"$work/out" 2>"$work/err"
    [ $? = 0 ] && grep -q "^usage: orvan-cli \[OPTIONS\] $c" "$work/out" || { bad=1; fail "$c --help"; }
    "$cli" --device /dev/null "$c" --no-such-option >"$work/out" 2>"$work/err"
    [ $? = 2 ] && grep -q "unknown option --no-such-option" "$work/err" || { bad=1; fail "$c --no-such-option: $(cat "$work/err")"; }
done
[ "$bad" = 0 ] && ok "every command: --help, a wrong option is exit 2"
check "unknown command" 2 "" "unknown command" -- "$cli" --simulate frobnicate
check "no command" 2 "" "no command" -- "$cli" --simulate
check "--device without a value" 2 "" "--device" -- "$cli" --device
check "--device=" 2 "" "--device" -- "$cli" --device= info
check "a speed the board does not talk" 2 "" "9600" -- "$cli" --speed 1234 --simulate info
check "a board command without a device" 2 "" "needs --device" -- "$cli" info
check "a global option after the command is the command's" 2 "" "unknown option --quiet" -- \
    "$cli" --simulate set-serial --quiet
check "a flag given a value" 2 "" "--json takes no value" -- "$cli" --simulate info --json=1
check "run.sh --device without a value" 2 "" "--device wants" -- "$(dirname "$0")/../../run.sh" --device

# The simulator reads its options the same way: help on stdout, --name=value,
# every value checked, exit 2 on a usage error before any device is made.
check "boardsim --help on stdout" 0 "*" "" -- "$sim" --help
has "boardsim --help lists the fault options" "$work/out" "--error-on TYPE:CODE[:AFTER[:COUNT]]"
[ -s "$work/err" ] && fail "boardsim --help wrote to stderr" || ok "boardsim --help: stderr empty"
check "boardsim --version" 0 "*" "" -- "$sim" --version
has "boardsim --version names the program" "$work/out" "orvan-boardsim "
for bad in "--frobnicate" "--tcp=70000" "--speed 12" "--protocol 1.2" "--board-type 1FFFF" \
    "--error-on 01" "--error-on 01:10:x" "--error-on 01:10:4a" "--error-on 1G:10" \
    "--error-on 01:10:4:1:1" "--flip-read 1:0" "--flip-read 1x" "--layout 2" "--bursts 0" \
    "--damage-tuning-log c" "--machine nosuch" "--eeprom=" "--delay" "-- extra"; do
    # shellcheck disable=SC2086
    timeout 5 "$sim" $bad >"$work/out" 2>"$work/err"  # taken, it would serve until stopped
    rc=$?
    [ "$rc" = 2 ] && [ ! -s "$work/out" ] && grep -q "^orvan-boardsim: " "$work/err" &&
        ok "boardsim $bad: exit 2" || fail "boardsim $bad: exit $rc: $(cat "$work/out" "$work/err")"
done
"$sim" --tcp=0 --error-on=01:10:4:1 --machine=$("$sim" --list-machines | awk 'NR == 1 {print $1}') \
    >"$work/simtcp" 2>"$work/simtcp.err" &
simpid=$!
wait_for "$work/simtcp" "tcp://127.0.0.1:" && ok "boardsim --name=value options taken" ||
    fail "boardsim --name=value: $(cat "$work/simtcp.err")"
kill "$simpid" 2>/dev/null
wait "$simpid" 2>/dev/null
check "--device and --simulate" 2 "" "exclude" -- "$cli" --device /dev/null --simulate info

start_sim --still --firmware 0.0.255 --board-type FFFF --eeprom "$work/board.bin"
check "-- ends the options; --speed=19200" 0 "*" "" -- \
    "$cli" --device="$dev" --speed=19200 -q set-serial -- '-A"B'
json() {  # json NAME PYTHON-CHECK -- command...: stdout parsed, every line one object
    local name="$1" expr="$2"
    shift 3
    "$@" >"$work/out" 2>"$work/err"
    local rc=$?
    if python3 - "$work/out" "$expr" <<'PY'; then ok "$name (exit $rc)"; else fail "$name: $(cat "$work/out") $(cat "$work/err")"; fi
import json, sys
rows = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8")]
r = rows[0] if len(rows) == 1 else rows
if not eval(sys.argv[2]):
    sys.exit(1)
PY
}
json "info --json" 'r["serial_number"] == "-A\"B" and r["firmware_version"] == "0.00.255" and r["board_type"] == "FFFF"' -- \
    "$cli" --device "$dev" --fast -q info --json
json "read-var --json: captions, units, raw and exact values" \
    'all(f["value"] == float(f["text"].split()[0]) and round(f["value"] * (10 if f["unit"] == "°C" else 100)) == f["raw"] and f["field"][0].isupper() and f["name"].startswith("stx") for f in r["fields"]) and r["fields"][3]["unit"] == "°C"' -- \
    "$cli" --device "$dev" --fast -q read-var PowerReadings --json
# A value the page shows as a whole number keeps its raw and exact value.
start_sim --machine pelta
"$cli" --device "$dev" --fast -q write-var PeltaStrobeFilter 1.999 >/dev/null 2>&1
json "read-var --json: no silent rounding" \
    'r["fields"][0]["raw"] == 1999 and r["fields"][0]["value"] == 1.999 and r["fields"][0]["text"] == "1" and r["fields"][0]["field"] == "Filtro"' -- \
    "$cli" --device "$dev" --fast -q read-var PeltaStrobeFilter --json
grep -q '"value":1.999,' "$work/out" && ok "the exact value printed as it is" || fail "value text: $(cat "$work/out")"
"$cli" --device "$dev" --fast read-var PeltaStrobeFilter >/dev/null 2>"$work/err"
lacks "read-var: the end does not say read twice" "$work/err" "Read "
has "read-var: the end names what was read" "$work/err" " read."
stop_sim
start_sim --still --firmware 0.0.255 --board-type FFFF --eeprom "$work/board.bin"
json "clock-get --json" 'len(r["date"]) == 10 and r["running"] in (True, False)' -- "$cli" --device "$dev" --fast -q clock-get --json
json "eeprom-read --json" 'sum(len(x["bytes"]) for x in r) == 20 and r[0]["address"] == 0 and r[1]["address"] == 16' -- \
    "$cli" --device "$dev" --fast -q eeprom-read 0 20 --json
"$cli" --device "$dev" --fast -q config-read "$work/a.wcf" 2>"$work/err" || fail "config-read: $(cat "$work/err")"
sed -i 's/^MinPower=.*/MinPower=1234/' "$work/a.wcf"
json "config-verify --json: a difference, exit 1" \
    'r["same"] is False and [d["key"] for d in r["differences"]] == ["MinPower"] and r["differences"][0]["file"]["raw"] == 1234' -- \
    "$cli" --device "$dev" --fast -q config-verify "$work/a.wcf" --json
[ "$(cat "$work/out" | wc -l)" = 1 ] && "$cli" --device "$dev" --fast -q config-verify "$work/a.wcf" >/dev/null 2>&1
[ $? = 1 ] && ok "config-verify with differences: exit 1" || fail "config-verify exit"
json "diagnosis --json: JSON Lines to its end" \
    'r[-1]["event"] == "finished" and r[-1]["exit"] == 0 and sum(x["event"] == "point" for x in r) == 4' -- \
    "$cli" --device "$dev" --fast -q diagnosis --meter --json
json "find --json" 'r["device"] == "'"$dev"'" and r["firmware_version"] == "0.00.255"' -- \
    "$cli" -q find "$dev" --json
json "ports --json" 'all("device" in x for x in (r if isinstance(r, list) else [r]))' -- "$cli" ports --json

check "-v shows each frame and its meaning" 0 "*" "ReadVariable BoardType" -- "$cli" --device "$dev" -v info
check "the device from ORVAN_DEVICE, named" 0 "*" "(from ORVAN_DEVICE)" -- env ORVAN_DEVICE="$dev" "$cli" info
mkdir -p "$work/config/OrvanSuperV"
printf '[COM]\nDevice=%s\n' "$dev" >"$work/config/OrvanSuperV/OrvanSuperV.cfg"
check "the device of the window's settings, named" 0 "*" "OrvanSuperV.cfg" -- "$cli" info

# Progress: a rewritten line on a terminal; nothing in a pipe unless asked.
python3 - "$cli" "$dev" "$work/p.wcf" >"$work/pty" <<'PY'
import os, pty, sys
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[1], [sys.argv[1], "--device", sys.argv[2], "--fast", "config-read", sys.argv[3]])
out = b""
while True:
    try:
        d = os.read(fd, 4096)
    except OSError:
        break
    if not d:
        break
    out += d
sys.stdout.write(repr(out))
PY
has "terminal: one rewritten progress line" "$work/pty" 'x1b[Kreading: 12/12'
check "pipe: no progress" 0 "*" "" -- "$cli" --device "$dev" --fast --force config-read "$work/p.wcf"
lacks "pipe: no progress lines" "$work/err" "reading:"
check "pipe with --progress" 0 "*" "reading: 12/12" -- "$cli" --device "$dev" --fast --progress --force config-read "$work/p.wcf"
stop_sim
finish
