#!/usr/bin/env bash
# Boards behind serial device servers, end to end: the companion's info,
# config-read, config-write and status over orvan-boardsim --tcp, and over
# Debian's ser2net bridging the simulator's pseudo-terminal in raw mode and
# in telnet RFC 2217 mode. Each ".wcf" read is the same, byte for byte, as
# the one read over the pseudo-terminal itself; a second program on the same
# address is told the line is busy.
set -u
cli="$1"
sim="$2"
. "$(dirname "$0")/sim_harness.sh"
. "$(dirname "$0")/net_harness.sh"
needs_ser2net
export XDG_DATA_HOME="$work/data"

# What the pseudo-terminal gives: the reference.
start_sim --eeprom "$work/board.bin"
pty="$dev"
"$cli" --device "$pty" info >"$work/info.ref" 2>"$work/err" || fail "info over the pty: $(cat "$work/err")"
"$cli" --device "$pty" --quiet config-read "$work/ref.wcf" 2>"$work/err" ||
    fail "config-read over the pty: $(cat "$work/err")"
"$cli" --device "$pty" --fast eeprom-dump "$work/ref.bin" 2>"$work/err" >/dev/null ||
    fail "eeprom-dump over the pty: $(cat "$work/err")"
sed -e 's/^MinPower=[0-9-]*/MinPower=2345/' "$work/ref.wcf" >"$work/changed.wcf"
grep -q '^MinPower=2345' "$work/changed.wcf" || fail "no MinPower key to change"
stop_sim

# board_commands NAME DEVICE: the four commands over DEVICE; the board is left
# as it was.
board_commands() {
    local name="$1" device="$2"
    check "$name: info" 0 "$(cat "$work/info.ref")" "" -- "$cli" --device "$device" info
    if "$cli" --device "$device" --quiet config-read "$work/$name.wcf" 2>"$work/err"; then
        same "$name: config-read gives the .wcf of the pty" "$work/ref.wcf" "$work/$name.wcf"
    else
        fail "$name: config-read: $(cat "$work/err")"
    fi
    # The image's filler bytes are 0xFF: the write carries them to the board.
    if "$cli" --device "$device" --fast --quiet config-write "$work/changed.wcf" \
        --backup-dir "$work/bk-$name" >/dev/null 2>"$work/err" &&
        "$cli" --device "$device" --fast --quiet config-read "$work/$name.back.wcf" 2>"$work/err"; then
        same "$name: config-write reads back" "$work/changed.wcf" "$work/$name.back.wcf"
    else
        fail "$name: config-write: $(cat "$work/err")"
    fi
    "$cli" --device "$device" --fast --quiet config-write "$work/ref.wcf" --backup-dir "$work/bk-$name" \
        >/dev/null 2>"$work/err" || fail "$name: config-write back: $(cat "$work/err")"
    check "$name: status --count 3" 0 "*" "" -- "$cli" --device "$device" --fast status --count 3
    if [ "$(grep -c '^cycle [123] ' "$work/out")" = 3 ]; then ok "$name: three cycles"; else
        fail "$name: status printed: $(cat "$work/out")"
    fi
}

# busy NAME DEVICE: while one program polls the board, a second is told busy.
busy() {
    local name="$1" device="$2" holder
    "$cli" --device "$device" status --count 200 >"$work/holder.out" 2>&1 &
    holder=$!
    extra_pids+=("$holder")
    for _ in $(seq 150); do
        grep -q '^cycle 1 ' "$work/holder.out" && break
        sleep 0.02
    done
    check "$name: a second program is told busy" 1 "" "busy: " -- "$cli" --device "$device" info
    kill "$holder" 2>/dev/null
    wait "$holder" 2>/dev/null
    extra_pids=()
}

start_sim --tcp 0 --eeprom "$work/board.bin"
case "$dev" in tcp://127.0.0.1:*) ok "boardsim --tcp names its address" ;; *) fail "boardsim --tcp said $dev" ;; esac
board_commands boardsim-tcp "$dev"
busy boardsim-tcp "$dev"
stop_sim

start_sim --eeprom "$work/board.bin"
start_ser2net raw "$dev"
board_commands ser2net-raw "tcp://127.0.0.1:$s2n_port"
busy ser2net-raw "tcp://127.0.0.1:$s2n_port"
stop_ser2net

start_ser2net rfc2217 "$dev"
board_commands ser2net-rfc2217 "rfc2217://127.0.0.1:$s2n_port"
busy ser2net-rfc2217 "rfc2217://127.0.0.1:$s2n_port"
# The whole memory, erased areas (0xFF) included, through the telnet escapes.
if "$cli" --device "rfc2217://127.0.0.1:$s2n_port" --fast eeprom-dump "$work/telnet.bin" >/dev/null 2>"$work/err"; then
    same "ser2net-rfc2217: eeprom-dump gives the pty's bytes" "$work/ref.bin" "$work/telnet.bin"
else
    fail "ser2net-rfc2217: eeprom-dump: $(cat "$work/err")"
fi
check "ser2net-rfc2217: info at 9600 bit/s" 0 "$(cat "$work/info.ref")" "" -- \
    "$cli" --device "rfc2217://127.0.0.1:$s2n_port" --speed 9600 info
stop_ser2net
stop_sim

check "nothing listening: refused" 1 "" "refused: nothing accepts connections" -- \
    "$cli" --device "tcp://127.0.0.1:$(free_port)" info
check "a malformed address" 1 "" "bad address: tcp://127.0.0.1:0: the port 0 is not 1 to 65535" -- \
    "$cli" --device "tcp://127.0.0.1:0" info

echo "$failures failures"
[ "$failures" = 0 ]
