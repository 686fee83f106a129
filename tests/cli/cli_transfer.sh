#!/usr/bin/env bash
# orvan-cli config-read, config-write, config-verify and config-restore against
# orvan-boardsim on a pseudo-terminal: a write read back gives the same file;
# the backup is kept byte-exact even when a memory read comes back with a
# flipped bit, and restoring it gives the board its exact bytes back (filler
# and layout included); a stopped write says how far it went, and the board
# agrees; a reader of the output that goes away does not stop a write; the
# file named is the file used, and refusals name their reason.
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
. "$(dirname "$0")/sim_harness.sh"
export XDG_DATA_HOME="$work/data"

# The image a .wcf gives, as the board keeps it.
image_file() { "$cli" --progress --quiet wcf-to-image "$1" "$2" --force; }

start_sim --still --eeprom "$work/board.bin"
run "read" 0 -- "$cli" --progress --device "$dev" config-read "$work/a.wcf" &&
    has "read progress" "$work/err" "reading: 12/12"
has "read file" "$work/a.wcf" "MinPower=6553"
run "a taken name is not replaced" 2 -- "$cli" --progress --device "$dev" --fast config-read "$work/a.wcf" &&
    has "says it is taken" "$work/err" "exists"

sed -e 's/^MinPower=[0-9-]*/MinPower=1234/' -e 's/^PMCoeff_q=[0-9-]*/PMCoeff_q=-7/' \
    -e 's/^Timer_3=[0-9-]*/Timer_3=4321/' "$work/a.wcf" >"$work/b.wcf"
run "write" 0 -- "$cli" --progress --device "$dev" --fast config-write "$work/b.wcf" --backup-dir "$work/bk" &&
    has "write verified" "$work/err" "identical"
has "write progress" "$work/err" "writing: 24/24"
backup=$(ls "$work/bk"/SIM-000001_*.wcf 2>/dev/null | head -n 1)
[ -n "$backup" ] && same "backup holds what the board held" "$backup" "$work/a.wcf" ||
    fail "backup: $(ls -l "$work/bk" 2>&1)"
run "read back" 0 -- "$cli" --progress --device "$dev" --fast --quiet config-read "$work/c.wcf"
same "read back equals the file written" "$work/b.wcf" "$work/c.wcf"
run "verify identical" 0 -- "$cli" --progress --device "$dev" --fast config-verify "$work/b.wcf"
run "verify the backup" 1 -- "$cli" --progress --device "$dev" --fast config-verify "$backup"
want="MinPower: PC 6553 (6 A), board 1234 (1.13 A)
Timer_3:"
if [ "$(head -n 2 "$work/out" | cut -c1-44 | sed 's/^\(Timer_3:\).*/\1/')" = "$want" ] &&
    grep -q "^PMCoeff_q: PC .*, board -7 " "$work/out" &&
    grep -qx "3 fields differ between the PC and the board." "$work/out"; then
    ok "verify lists exactly the changed fields"
else
    fail "verify output: $(cat "$work/out")"
fi
run "default backup folder" 0 -- "$cli" --progress --device "$dev" --fast --quiet config-write "$work/a.wcf"
n=$(ls "$XDG_DATA_HOME/orvan-supervisor/backups"/SIM-000001_*.wcf 2>/dev/null | wc -l)
[ "$n" = 1 ] && ok "backup in the data folder" || fail "data folder holds $n backups"

# Nothing is written without a backup, nor from an incomplete file, nor from
# a file whose name is not the one used.
echo x >"$work/notafolder"
cp "$work/board.bin" "$work/board.before"
run "backup folder unusable" 1 -- "$cli" --progress --device "$dev" --fast --quiet config-write "$work/b.wcf" \
    --backup-dir "$work/notafolder" && has "backup refusal" "$work/err" \
    "could not be saved: cannot create the backup folder $work/notafolder: Not a directory. The board holds what it held."
printf '[INFO]\nVersion=3\n[ANALOG_OUT]\nMinPower=5\n' >"$work/part.wcf"
run "incomplete file" 2 -- "$cli" --progress --device "$dev" --fast config-write "$work/part.wcf" &&
    has "incomplete refusal" "$work/err" "nothing written"
cp "$work/b.wcf" "$work/real.txt"
for cmd in config-write config-verify config-restore; do
    run "$cmd real.txt refused" 2 -- "$cli" --progress --device "$dev" "$cmd" "$work/real.txt" &&
        has "$cmd names the file it would use" "$work/err" "would be taken as $work/real.wcf"
done
same "board untouched by the refusals" "$work/board.bin" "$work/board.before"
stop_sim

# --- a backup kept byte-exact through a flipped bit, and restored exactly ---
# Filler bytes of 5A: the image's checksum does not cover them, so only two
# reads alike prove the copy. The serial number is the first memory read; the
# 4th answer carries the flipped bit, in the first read of the configuration.
start_sim --still --eeprom "$work/odd.bin" --filler 5A --flip-read 3:1
image_of "$work/odd.bin" >"$work/odd.image"
run "write over a flipped read" 0 -- "$cli" --progress --device "$dev" --fast config-write "$work/b.wcf" \
    --backup-dir "$work/bk-flip" && has "read a third time" "$work/err" "(read 3): 12/12"
backup=$(ls "$work/bk-flip"/*.wcf | head -n 1)
same "kept .bin is the board's image byte for byte" "${backup%.wcf}.bin" "$work/odd.image"
run "restore the backup" 0 -- "$cli" --progress --device "$dev" --fast config-restore "$backup" \
    --backup-dir "$work/bk-flip2" && has "restored from the exact image" "$work/err" \
    "restoring the exact image ${backup%.wcf}.bin"
image_of "$work/odd.bin" >"$work/restored.image"
same "board byte-exact after the restore" "$work/restored.image" "$work/odd.image"
stop_sim

# Another layout: asked before anything is written (no terminal: no), --force writes.
start_sim --still --eeprom "$work/layout.bin" --layout 2:128
image_of "$work/layout.bin" >"$work/layout.image"
run "another layout not written unasked" 2 -- "$cli" --progress --device "$dev" --fast config-write \
    "$work/b.wcf" --backup-dir "$work/bk-l" </dev/null &&
    has "layout named" "$work/err" "another layout" && has "says how to go on" "$work/err" "--force"
image_of "$work/layout.bin" | cmp -s - "$work/layout.image" && ok "nothing written unasked" ||
    fail "the board changed without --force"
run "written with --force" 0 -- "$cli" --progress --device "$dev" --fast --quiet config-write \
    "$work/b.wcf" --backup-dir "$work/bk-l" --force
stop_sim

# --- a write stopped by SIGTERM says how far it went; the board agrees ------
image_file "$work/a.wcf" "$work/old.image"
image_file "$work/b.wcf" "$work/new.image"
printf '\377%.0s' $(seq 1024) >"$work/stop.bin"
dd if="$work/old.image" of="$work/stop.bin" bs=1 seek=16 conv=notrunc status=none
start_sim --still --eeprom "$work/stop.bin" --delay 40
"$cli" --progress --device "$dev" --fast config-write "$work/b.wcf" --backup-dir "$work/bk-term" \
    >"$work/int.out" 2>"$work/int.err" &
cpid=$!
wait_for "$work/int.err" "writing: 6/24"
kill -TERM "$cpid"
wait "$cpid"
rc=$?
[ "$rc" = 143 ] && ok "SIGTERM: exit 143" || fail "SIGTERM: exit $rc: $(cat "$work/int.err")"
has "SIGTERM named" "$work/int.err" "interrupted by SIGTERM"
k=$(sed -n 's/.*holds blocks 1 to \([0-9]*\) of the new configuration.*/\1/p' "$work/int.err")
backup=$(ls "$work/bk-term"/blank_*.wcf 2>/dev/null | head -n 1)
if [ -n "$k" ] && [ "$k" -ge 6 ] && [ "$k" -lt 24 ]; then
    ok "SIGTERM: $k blocks said written"
    image_of "$work/stop.bin" >"$work/stop.image"
    [ "$(bytes "$work/stop.image" 0 $((16 * k)))" = "$(bytes "$work/new.image" 0 $((16 * k)))" ] &&
        [ "$(bytes "$work/stop.image" $((16 * k)) 999)" = "$(bytes "$work/old.image" $((16 * k)) 999)" ] &&
        ok "SIGTERM: the board holds blocks 1 to $k new, the rest as before" ||
        fail "SIGTERM: the board's image is not what was said"
else
    fail "SIGTERM: blocks written not said: $(cat "$work/int.err")"
fi
[ -n "$backup" ] && has "SIGTERM: backup named" "$work/int.err" "$backup" || fail "SIGTERM: no backup"
stop_sim

# --- a reader that goes away does not stop the write ------------------------
dd if="$work/old.image" of="$work/stop.bin" bs=1 seek=16 conv=notrunc status=none
start_sim --still --eeprom "$work/stop.bin"
"$cli" --progress --device "$dev" --fast config-write "$work/b.wcf" --backup-dir "$work/bk-pipe" 2>&1 |
    head -n 3 >/dev/null
rc=${PIPESTATUS[0]}
[ "$rc" = 0 ] && ok "closed pipe: exit 0" || fail "closed pipe: exit $rc"
image_of "$work/stop.bin" | cmp -s - "$work/new.image" && ok "closed pipe: the board holds the file" ||
    fail "closed pipe: the write did not finish"
# The verdict of a verify is its result: one that cannot be written fails it.
"$cli" --progress --device "$dev" --fast --quiet config-verify "$work/b.wcf" >/dev/full 2>"$work/err"
rc=$?
[ "$rc" = 1 ] && grep -q "could not be written to standard output" "$work/err" &&
    ok "stdout full: exit 1, said" || fail "stdout full: exit $rc: $(cat "$work/err")"
stop_sim

# --- the board goes away mid-write: said at once, not after the time-out ----
start_sim --still --delay 40
"$cli" --progress --device "$dev" --fast config-write "$work/b.wcf" --backup-dir "$work/bk-gone" \
    >"$work/gone.out" 2>"$work/gone.err" &
cpid=$!
wait_for "$work/gone.err" "writing: 6/24"
kill -KILL "$pid"
wait "$pid" 2>/dev/null
pid=""
start=$(date +%s%N)
wait "$cpid"
rc=$?
took=$((($(date +%s%N) - start) / 1000000))
[ "$rc" = 1 ] && ok "vanished board: exit 1" || fail "vanished board: exit $rc"
has "vanished board said" "$work/gone.err" "the device $dev is gone"
[ "$took" -lt 2500 ] && ok "said without the time-out ($took ms)" || fail "took $took ms"

# --- refusals before the line -------------------------------------------------
start_sim --still --error-on 01:10:5:1
run "refused block" 1 -- "$cli" --progress --device "$dev" --fast --quiet config-write "$work/b.wcf" \
    --backup-dir "$work/bk2" &&
    has "stopped at block 6" "$work/err" \
        "Write stopped at block 6 of 24 (5 written): EEPROM previous writing in course. Wait a while and retry..."
stop_sim
# A damaged image is read, saved as read, with a warning and exit 1.
printf '\x77' | dd of="$work/board.bin" bs=1 seek=22 conv=notrunc status=none
start_sim --still --eeprom "$work/board.bin"
run "damaged image" 1 -- "$cli" --progress --device "$dev" --fast --quiet config-read "$work/d.wcf" &&
    has "damaged warning" "$work/err" "is damaged"
has "damaged image saved as read" "$work/d.wcf" "MinPower=6519"
image_of "$work/board.bin" >"$work/damaged.image"
run "damaged board not written unasked" 2 -- "$cli" --progress --device "$dev" --fast config-write \
    "$work/b.wcf" --backup-dir "$work/bk-dmg" </dev/null &&
    has "damage said" "$work/err" "fails its checksum"
image_of "$work/board.bin" | cmp -s - "$work/damaged.image" && ok "damaged board untouched" ||
    fail "damaged board written"
stop_sim
run "no file named" 2 -- "$cli" --progress --device /dev/null config-read
run "two files" 2 -- "$cli" --progress --device /dev/null config-verify a b
run "missing input" 2 -- "$cli" --progress --device /dev/null config-write "$work/none.wcf"
printf 'Velkor Laser technology\n' >"$work/t.wcf"
run "tuning log not replaced" 2 -- "$cli" --progress --device /dev/null config-read "$work/t.wcf" &&
    has "kind refusal" "$work/err" "holds a tuning log"
run "another name is not taken for the .wcf" 2 -- "$cli" --progress --device /dev/null config-read \
    "$work/t.log" && has "names the .wcf" "$work/err" "would be taken as $work/t.wcf"

finish
