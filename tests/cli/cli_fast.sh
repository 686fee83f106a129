#!/usr/bin/env bash
# Fast exchange and the line capture end to end: at the slowest and the
# fastest line speed a configuration read with --fast gives the same file as
# the default engine;
# a write in fast mode reads back; a read captured from the simulator and
# replayed by orvan-boardsim --replay reads the same ".wcf" again; a request
# the capture does not hold is reported and times out.
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
. "$(dirname "$0")/sim_harness.sh"

export XDG_DATA_HOME="$work/data"

start_sim --eeprom "$work/board.bin"
for speed in 9600 56700; do
    if "$cli" --device "$dev" --speed "$speed" --quiet config-read "$work/slow$speed.wcf" 2>"$work/err" &&
        "$cli" --device "$dev" --speed "$speed" --fast --quiet config-read "$work/fast$speed.wcf" 2>"$work/err"; then
        same "fast read at $speed" "$work/slow$speed.wcf" "$work/fast$speed.wcf"
    else
        fail "read at $speed: $(cat "$work/err")"
    fi
done

sed -e 's/^MinPower=[0-9-]*/MinPower=2345/' "$work/fast56700.wcf" >"$work/w.wcf"
if "$cli" --device "$dev" --fast --quiet config-write "$work/w.wcf" --backup-dir "$work/bk" 2>"$work/err" &&
    "$cli" --device "$dev" --fast --quiet config-read "$work/back.wcf" 2>"$work/err"; then
    if grep -q '^MinPower=2345' "$work/back.wcf"; then ok "fast write"; else fail "fast write not on the board"; fi
else
    fail "fast write: $(cat "$work/err")"
fi

if "$cli" --device "$dev" --fast --capture "$work/read.cap" --quiet config-read "$work/orig.wcf" 2>"$work/err"; then
    ok "captured read"
else
    fail "captured read: $(cat "$work/err")"
fi
head -n 1 "$work/read.cap" | grep -q '^# orvan line capture 1$' && ok "capture header" || fail "capture header"
grep -Eq '^[0-9]+ TX 43 4F 42 53( [0-9A-F]{2})+ 00$' "$work/read.cap" && ok "capture TX line" ||
    fail "capture TX line: $(sed -n 3p "$work/read.cap")"
stop_sim

start_sim --replay "$work/read.cap"
if "$cli" --device "$dev" --quiet config-read "$work/replayed.wcf" 2>"$work/err"; then
    same "replayed read gives the same .wcf" "$work/orig.wcf" "$work/replayed.wcf"
else
    fail "replayed read: $(cat "$work/err")"
fi
if "$cli" --device "$dev" --quiet info >/dev/null 2>"$work/err"; then
    fail "a request the capture lacks was answered"
else
    grep -q "RX TimeOut" "$work/err" && ok "unmatched request times out" || fail "unmatched: $(cat "$work/err")"
fi
sleep 0.1
grep -q "unmatched request" "$work/sim.err" && ok "unmatched request reported" ||
    fail "not reported: $(cat "$work/sim.err")"
stop_sim

finish
