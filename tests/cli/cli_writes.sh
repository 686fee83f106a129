#!/usr/bin/env bash
# Writes that can be trusted, end to end through orvan-cli and orvan-boardsim
# on a pseudo-terminal: the file named is the file used, a file of another
# kind is never replaced unasked, impossible typed values send nothing, an
# interrupted write says how far it went, a backup restores the board byte for
# byte (filler and layout included), a damaged backup read is read again, and
# the port's troubles are named.
set -u
cli="$1"
sim="$2"
. "$(dirname "$0")/sim_harness.sh"


# run NAME EXPECTED_RC -- command...: output in $work/out and $work/err
run() {
    local name="$1" want="$2"
    shift 3
    "$@" >"$work/out" 2>"$work/err"
    local rc=$?
    if [ "$rc" != "$want" ]; then
        fail "$name: exit $rc, wanted $want; stderr: $(cat "$work/err")"
        return 1
    fi
    ok "$name"
    return 0
}
# The configuration image the EEPROM file holds (addresses 16 to 399).
image_of() { dd if="$1" bs=1 skip=16 count=384 status=none; }

export XDG_DATA_HOME="$work/data"

# --- the file named is the file used ------------------------------------
start_sim --eeprom "$work/board.bin"
run "read" 0 -- "$cli" --device "$dev" --quiet config-read "$work/a.wcf"
sed -e 's/^MinPower=[0-9-]*/MinPower=1234/' "$work/a.wcf" >"$work/real.wcf"
cp "$work/real.wcf" "$work/real.txt"
cp "$work/board.bin" "$work/board.before"
for cmd in config-write config-verify config-restore; do
    run "$cmd real.txt refused" 2 -- "$cli" --device "$dev" "$cmd" "$work/real.txt" &&
        has "$cmd names the file it would use" "$work/err" "would be taken as $work/real.wcf"
done
cmp -s "$work/board.bin" "$work/board.before" && ok "board untouched" || fail "board changed"
[ ! -d "$XDG_DATA_HOME/orvan-supervisor" ] && ok "no backup taken" || fail "a backup was taken"

# --- an interrupted write says how far it went ----------------------------
stop_sim
for sig in INT TERM; do
    start_sim --delay 60
    "$cli" --device "$dev" config-write "$work/real.wcf" --backup-dir "$work/bk-$sig" \
        >"$work/int.out" 2>"$work/int.err" &
    cpid=$!
    for _ in $(seq 400); do
        grep -q "^write: 4/24" "$work/int.err" 2>/dev/null && break
        sleep 0.025
    done
    kill -"$sig" "$cpid"
    wait "$cpid"
    rc=$?
    want=$([ "$sig" = INT ] && echo 130 || echo 143)
    [ "$rc" = "$want" ] && ok "SIG$sig: exit $rc" || fail "SIG$sig: exit $rc, wanted $want: $(cat "$work/int.err")"
    has "SIG$sig: reason" "$work/int.err" "interrupted by SIG$sig"
    written=$(sed -n 's/.*Write stopped at block [0-9]* of 24 (\([0-9]*\) written).*/\1/p' "$work/int.err")
    if [ -n "$written" ] && [ "$written" -ge 4 ] && [ "$written" -lt 24 ]; then
        ok "SIG$sig: $written blocks written, said"
    else
        fail "SIG$sig: blocks written not said: $(cat "$work/int.err")"
    fi
    backup=$(ls "$work/bk-$sig"/SIM-000001_*.wcf 2>/dev/null | head -n 1)
    [ -n "$backup" ] && has "SIG$sig: backup named" "$work/int.err" "$backup" || fail "SIG$sig: no backup"
    has "SIG$sig: what the board holds" "$work/int.err" "holds blocks 1 to $written of the new configuration"
    stop_sim
done

# --- a restore gives back the board's exact bytes -----------------------
start_sim --eeprom "$work/odd.bin" --filler 5A --layout 2:128
image_of "$work/odd.bin" >"$work/odd.image"
run "another layout needs --force" 1 -- "$cli" --device "$dev" --quiet config-write \
    "$work/real.wcf" --backup-dir "$work/bk-odd" &&
    has "layout named" "$work/err" "another layout (Version 2, Size 128"
has "says how to go on" "$work/err" "--force"
image_of "$work/odd.bin" | cmp -s - "$work/odd.image" && ok "nothing written unasked" ||
    fail "the board changed without --force"
run "written with --force" 0 -- "$cli" --device "$dev" --quiet config-write "$work/real.wcf" \
    --backup-dir "$work/bk-odd" --force
backup=$(ls "$work/bk-odd"/*.wcf | head -n 1)
cmp -s "${backup%.wcf}.bin" "$work/odd.image" && ok "exact image kept beside the backup" ||
    fail "backup image differs"
run "restore" 0 -- "$cli" --device "$dev" config-restore "$backup" --backup-dir "$work/bk-odd2" &&
    has "restored from the exact image" "$work/err" "restoring the exact image"
image_of "$work/odd.bin" | cmp -s - "$work/odd.image" && ok "board byte-exact after restore" ||
    fail "board differs after restore"
stop_sim

# --- a damaged backup read is read again; a damaged board needs --force ---
start_sim --flip-read 1:1
run "one flipped bit" 0 -- "$cli" --device "$dev" config-write "$work/real.wcf" \
    --backup-dir "$work/bk-flip"
n=$(grep -c "^backup read: 12/12" "$work/err")
[ "$n" = 2 ] && ok "backup read twice" || fail "backup reads: $n"
stop_sim
printf '\x77' | dd of="$work/board.bin" bs=1 seek=22 conv=notrunc status=none
start_sim --eeprom "$work/board.bin"
image_of "$work/board.bin" >"$work/damaged.image"
run "damaged board refused" 1 -- "$cli" --device "$dev" --quiet config-write "$work/real.wcf" \
    --backup-dir "$work/bk-dmg" && has "damage said" "$work/err" "failed its checksum on two reads"
image_of "$work/board.bin" | cmp -s - "$work/damaged.image" && ok "damaged board untouched" ||
    fail "damaged board written"
run "damaged board with --force" 0 -- "$cli" --device "$dev" --quiet config-write \
    "$work/real.wcf" --backup-dir "$work/bk-dmg" --force
stop_sim

# --- typed values the variable cannot hold send nothing -----------------
# The device does not exist: exit 2 (not 1) shows the port was never opened.
for v in "ClockTime 25:61:61|outside 0..23" "ClockTime 10:61:00|outside 0..59" \
    "FlangingProfile 16|outside 0..15" "Dac16Force -1|neither 0 nor 1" \
    "ClockDate 2026-13-01|not a date"; do
    args=${v%%|*}
    # shellcheck disable=SC2086
    run "write-var $args refused" 2 -- "$cli" --device /dev/no-such-tty write-var $args &&
        has "write-var $args reason" "$work/err" "${v#*|}"
done

# --- short answers, blank serial numbers, port troubles -------------------
start_sim --short-answer 0300
run "short answer is an error" 1 -- "$cli" --device "$dev" read-var ClockTime &&
    has "short answer said" "$work/err" "carries 2 value bytes, 3 expected"
[ ! -s "$work/out" ] && ok "nothing printed for it" || fail "printed: $(cat "$work/out")"
stop_sim

start_sim --eeprom "$work/blank.bin"
stop_sim
printf '\xff%.0s' $(seq 16) | dd of="$work/blank.bin" bs=1 conv=notrunc status=none
start_sim --eeprom "$work/blank.bin"
run "info of a blank board" 0 -- "$cli" --device "$dev" info &&
    has "blank serial said" "$work/out" "serial number: (blank)"
LC_ALL=C grep -q $'\xff' "$work/out" && fail "raw 0xFF bytes printed" || ok "text only"
flock "$dev" sleep 5 &
holder=$!
sleep 0.3
run "busy port" 1 -- "$cli" --device "$dev" info && has "busy said" "$work/err" "busy: $dev"
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
stop_sim
run "absent port" 1 -- "$cli" --device /dev/no-such-tty info &&
    has "absent said" "$work/err" "absent: /dev/no-such-tty does not exist (No such file or directory)"

start_sim --delay 60
"$cli" --device "$dev" config-write "$work/real.wcf" --backup-dir "$work/bk-gone" \
    >"$work/gone.out" 2>"$work/gone.err" &
cpid=$!
for _ in $(seq 400); do
    grep -q "^write: 3/24" "$work/gone.err" 2>/dev/null && break
    sleep 0.025
done
kill -KILL "$pid"
wait "$pid" 2>/dev/null
pid=""
start=$(date +%s%N)
wait "$cpid"
rc=$?
took=$((($(date +%s%N) - start) / 1000000))
[ "$rc" = 1 ] && ok "vanished board: exit 1" || fail "vanished board: exit $rc"
has "vanished board said" "$work/gone.err" "is gone"
[ "$took" -lt 2500 ] && ok "said without the time-out ($took ms)" || fail "took $took ms"

# --- the offline file commands never replace another kind of file --------
cp "$work/a.wcf" "$work/precious.wcf"
run "wcf-to-image over a configuration" 1 -- "$cli" wcf-to-image "$work/precious.wcf" \
    "$work/precious.wcf" && has "kind named" "$work/err" "holds a welder configuration"
cmp -s "$work/precious.wcf" "$work/a.wcf" && ok "configuration kept" || fail "configuration replaced"
run "replaced with --force" 0 -- "$cli" --quiet wcf-to-image "$work/precious.wcf" \
    "$work/precious.wcf" --force
[ "$(stat -c %s "$work/precious.wcf")" = 384 ] && ok "an image now" || fail "not replaced"
run "image" 0 -- "$cli" --quiet wcf-to-image "$work/a.wcf" "$work/a.bin"
printf 'Velkor Laser technology\nlog line\n' >"$work/log.wcf"
cp "$work/log.wcf" "$work/log.keep"
run "image-to-wcf over a tuning log" 1 -- "$cli" image-to-wcf "$work/a.bin" "$work/log.wcf" &&
    has "tuning log named" "$work/err" "holds a tuning log"
cmp -s "$work/log.wcf" "$work/log.keep" && ok "tuning log kept" || fail "tuning log replaced"
run "image-to-wcf out.txt refused" 2 -- "$cli" image-to-wcf "$work/a.bin" "$work/out.txt" &&
    has "names out.wcf" "$work/err" "would be taken as $work/out.wcf"
{ cat "$work/a.wcf"; printf '[FEEDBACK]\r\nPowerTolerance=7\r\n'; } >"$work/dup.wcf"
run "duplicates warned" 0 -- "$cli" wcf-show "$work/dup.wcf" &&
    has "duplicate named" "$work/err" "section [FEEDBACK] appears 2 times"

[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
