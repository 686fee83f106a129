#!/usr/bin/env bash
# orvan-cli.exe under Wine against orvan-boardsim on a pseudo-terminal that a
# Wine COM port is mapped to: info, config-read and status --count 3 give
# what the Linux build gives against the same simulator, and the same .wcf.
#
# cli_wine.sh ORVAN-CLI.EXE LINUX-ORVAN-CLI LINUX-ORVAN-BOARDSIM WINEPREFIX
# The prefix is this test's own (made on the first run, kept for the next);
# its Wine server is stopped when the script ends. Exit 77 (skipped) when
# Wine or a program is missing.
set -u
exe=$1
prefix=$4
command -v wine >/dev/null 2>&1 || { echo "skipped: wine is not installed"; exit 77; }
for f in "$1" "$2" "$3"; do
    [ -f "$f" ] || { echo "skipped: $f is not built"; exit 77; }
done
exe=$(realpath "$exe")
cli=$(realpath "$2")
sim=$(realpath "$3")
. "$(dirname "$0")/sim_harness.sh"
export XDG_DATA_HOME="$work/data"

mkdir -p "$prefix"
prefix=$(realpath "$prefix")
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Only this prefix's server is stopped: other Wine users on the machine keep
# theirs.
trap 'stop_all; WINEPREFIX="$prefix" wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
if [ ! -d "$prefix/dosdevices" ]; then
    wineboot -i >/dev/null 2>&1 || { echo "FAIL the Wine prefix $prefix cannot be made"; exit 1; }
fi
[ -d "$prefix/dosdevices" ] || { echo "FAIL the Wine prefix $prefix has no dosdevices"; exit 1; }

# A Unix path as the Windows program names it (Wine's Z: is the root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

start_sim --still --eeprom "$work/board.bin"
ln -sfn "$dev" "$prefix/dosdevices/com5"
# Wine cannot read the settings of a terminal a Linux program left at a
# rate outside the standard ones (56700): each run under Wine starts from
# 9600.
win() {
    stty -F "$dev" 9600 2>/dev/null
    wine "$exe" --device COM5 "$@"
}
# compare NAME: the outputs of the two builds in $work/NAME.{linux,win},
# Windows line ends taken as Unix ones.
compare() {
    tr -d '\r' <"$work/$1.win.raw" >"$work/$1.win"
    if cmp -s "$work/$1.linux" "$work/$1.win"; then
        ok "$1: the same output"
    else
        fail "$1: the outputs differ: $(diff "$work/$1.linux" "$work/$1.win" | head -n 20)"
    fi
}

"$cli" --device "$dev" info >"$work/info.linux" 2>"$work/err"
[ -s "$work/info.linux" ] || fail "info (Linux): $(cat "$work/err")"
win info >"$work/info.win.raw" 2>"$work/err" || fail "info (Windows): $(cat "$work/err")"
compare info
has "info names the board" "$work/info.win" "serial number: SIM-000001"

"$cli" --device "$dev" --quiet config-read "$work/linux.wcf" >"$work/read.linux" 2>"$work/err" ||
    fail "config-read (Linux): $(cat "$work/err")"
win --quiet config-read "$(winpath "$work/win.wcf")" >"$work/read.win.raw" 2>"$work/err" ||
    fail "config-read (Windows): $(cat "$work/err")"
compare read
[ -s "$work/win.wcf" ] && same "config-read: the same .wcf" "$work/linux.wcf" "$work/win.wcf" ||
    fail "config-read (Windows) wrote no .wcf: $(cat "$work/err")"

"$cli" --device "$dev" status --count 3 >"$work/status.linux" 2>"$work/err" ||
    fail "status (Linux): $(cat "$work/err")"
win status --count 3 >"$work/status.win.raw" 2>"$work/err" ||
    fail "status (Windows): $(cat "$work/err")"
# The board's hours counter runs and its first analog input wanders by a
# step: those two figures may differ between the two runs.
for f in "$work/status.linux" "$work/status.win.raw"; do
    sed -E 's/hours [0-9.]+/hours N/; s/^(cycle [0-9]+  V )[0-9.]+/\1N/' "$f" >"$f.cut" &&
        mv "$f.cut" "$f"
done
compare status
[ "$(grep -c '^cycle [123] ' "$work/status.win")" = 3 ] && ok "status: 3 cycles under Wine" ||
    fail "status (Windows): $(cat "$work/status.win")"

# A port that is not there, and a name that is no port: said plainly, exit 1.
stty -F "$dev" 9600 2>/dev/null
wine "$exe" --device COM9 info >"$work/out" 2>"$work/err"
[ $? = 1 ] && grep -qF "absent: COM9 does not exist" "$work/err" && ok "an absent port is named" ||
    fail "COM9: $(cat "$work/err")"
wine "$exe" --device /dev/ttyS0 info >"$work/out" 2>"$work/err"
[ $? = 1 ] && grep -qF "not a serial port name" "$work/err" && ok "a Unix path is refused" ||
    fail "/dev/ttyS0: $(cat "$work/err")"
finish
