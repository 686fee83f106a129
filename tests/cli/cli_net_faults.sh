#!/usr/bin/env bash
# A serial device server failing under the companion: killed in the middle of
# a configuration write (the write is reported with what the board holds, and
# the board holds exactly that; nothing more is written once the server is
# back), and a slow network (200 ms added each way by a proxy) in front of
# ser2net in RFC 2217 mode and in front of a raw port that serves one
# program at a time.
set -u
cli="$1"
sim="$2"
. "$(dirname "$0")/sim_harness.sh"
. "$(dirname "$0")/net_harness.sh"
needs_ser2net
export XDG_DATA_HOME="$work/data"

start_sim --eeprom "$work/board.bin"
start_ser2net rfc2217 "$dev"
addr="rfc2217://127.0.0.1:$s2n_port"
"$cli" --progress --device "$addr" info >"$work/info.ref" 2>"$work/err" || fail "info: $(cat "$work/err")"
"$cli" --progress --device "$addr" --quiet config-read "$work/ref.wcf" 2>"$work/err" || fail "read: $(cat "$work/err")"
sed -e 's/^MinPower=[0-9-]*/MinPower=2345/' -e 's/^MaxPower=[0-9-]*/MaxPower=2346/' \
    "$work/ref.wcf" >"$work/changed.wcf"
"$cli" --progress wcf-to-image "$work/changed.wcf" "$work/new.img" >/dev/null 2>"$work/err" || fail "image: $(cat "$work/err")"
dd if="$work/board.bin" of="$work/old.img" bs=1 skip=16 count=384 status=none

# A slow network: RFC 2217 negotiated and every exchange made 400 ms longer.
# The server lets a connection go only once the slow network brought it the
# end of the one before (here 200 ms): each program waits for that.
start_proxy "$s2n_port" 200
slow="rfc2217://127.0.0.1:$proxy_port"
check "slow network: info" 0 "$(cat "$work/info.ref")" "" -- "$cli" --progress --device "$slow" info
sleep 0.5
if "$cli" --progress --device "$slow" --fast --quiet config-read "$work/slow.wcf" 2>"$work/err"; then
    same "slow network: config-read" "$work/ref.wcf" "$work/slow.wcf"
else
    fail "slow network: config-read: $(cat "$work/err")"
fi
stop_proxy
sleep 0.3  # the server's side of the proxy's connection is let go

# The server killed while block 6 is on its way.
"$cli" --progress --device "$addr" config-write "$work/changed.wcf" --backup-dir "$work/bk" >"$work/write.out" 2>"$work/write.err" &
writer=$!
extra_pids+=("$writer")
for _ in $(seq 500); do
    grep -q '^writing: 6/24' "$work/write.err" && break
    sleep 0.01
done
kill -9 "$s2n_pid"
wait "$s2n_pid" 2>/dev/null
s2n_pid=""
wait "$writer"
rc=$?
extra_pids=()
[ "$rc" = 1 ] && ok "a write cut by the server fails" || fail "write ended with $rc: $(cat "$work/write.err")"
has "the loss is named" "$work/write.err" "the server at $addr closed the connection"
msg=$(grep '^orvan-cli: Write stopped at block' "$work/write.err")
k=$(sed -n 's/.*The board holds blocks 1 to \([0-9]*\) of the new configuration.*/\1/p' <<<"$msg")
if [ -n "$k" ] && [ "$k" -ge 1 ] && [ "$k" -lt 24 ]; then
    ok "what the board holds is said ($k blocks new)"
    # Blocks 1..k new, block k+1 either, the rest as before.
    if cmp -s -n $((16 * k)) "$work/new.img" <(dd if="$work/board.bin" bs=1 skip=16 count=384 status=none); then
        ok "the board holds blocks 1 to $k new"
    else
        fail "blocks 1 to $k are not the new ones"
    fi
    rest=$((16 * (k + 1)))
    if cmp -s <(dd if="$work/old.img" bs=1 skip=$rest status=none) \
        <(dd if="$work/board.bin" bs=1 skip=$((16 + rest)) count=$((384 - rest)) status=none); then
        ok "the board holds its previous configuration after block $((k + 1))"
    else
        fail "blocks after $((k + 1)) changed"
    fi
else
    fail "no count of blocks held: $(cat "$work/write.err")"
fi
cp "$work/board.bin" "$work/after-stop.bin"
start_ser2net rfc2217 "$dev"
addr="rfc2217://127.0.0.1:$s2n_port"
check "the server back: the board answers" 0 "$(cat "$work/info.ref")" "" -- "$cli" --progress --device "$addr" info
same "nothing was written once the server was back" "$work/after-stop.bin" "$work/board.bin"

stop_ser2net
stop_sim

# A raw port that serves one program at a time, behind the slow network: its
# refusal of a second program comes after the open, with its words.
start_sim --tcp 0 --eeprom "$work/board.bin"
start_proxy "${dev##*:}" 200
"$cli" --progress --device "$dev" status --count 200 >"$work/holder.out" 2>&1 &
holder=$!
extra_pids+=("$holder")
for _ in $(seq 300); do
    grep -q '^cycle 1 ' "$work/holder.out" && break
    sleep 0.02
done
check "slow network: a second program hears the server's refusal" 1 "" "Port already in use" -- \
    "$cli" --progress --device "tcp://127.0.0.1:$proxy_port" info

echo "$failures failures"
[ "$failures" = 0 ]
