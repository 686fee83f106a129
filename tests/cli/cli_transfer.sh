#!/usr/bin/env bash
# orvan-cli config-read, config-write and config-verify against orvan-boardsim
# on a pseudo-terminal: a write read back gives the same file, backups land
# where they should, refusals and time-outs stop the transfer with their
# reason, a damaged image is read with a warning, and verify lists exactly
# what differs.
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
    return 0
}

export XDG_DATA_HOME="$work/data"

start_sim --eeprom "$work/board.bin"
run "read" 0 -- "$cli" --device "$dev" config-read "$work/a.wcf" &&
    has "read progress" "$work/err" "read: 12/12"
has "read file" "$work/a.wcf" "MinPower=6553"

sed -e 's/^MinPower=[0-9-]*/MinPower=1234/' -e 's/^PMCoeff_q=[0-9-]*/PMCoeff_q=-7/' \
    -e 's/^Timer_3=[0-9-]*/Timer_3=4321/' "$work/a.wcf" >"$work/b.wcf"
run "write" 0 -- "$cli" --device "$dev" config-write "$work/b.wcf" --backup-dir "$work/bk" &&
    has "write verified" "$work/out" "identical"
has "write progress" "$work/err" "write: 24/24"
backup=$(ls "$work/bk"/SIM-000001_*.wcf 2>/dev/null | head -n 1)
if [ -n "$backup" ] && cmp -s "$backup" "$work/a.wcf"; then
    ok "backup holds what the board held"
else
    fail "backup: $(ls -l "$work/bk" 2>&1)"
fi
run "read back" 0 -- "$cli" --device "$dev" --quiet config-read "$work/c.wcf"
if cmp -s "$work/b.wcf" "$work/c.wcf"; then ok "read back equals the file written"; else
    fail "read back differs: $(diff "$work/b.wcf" "$work/c.wcf")"; fi
run "verify identical" 0 -- "$cli" --device "$dev" config-verify "$work/b.wcf"
run "verify the backup" 1 -- "$cli" --device "$dev" config-verify "$backup"
want="MinPower: PC 6553 (6 A), board 1234 (1.13 A)
Timer_3:"
if [ "$(head -n 2 "$work/out" | cut -c1-44 | sed 's/^\(Timer_3:\).*/\1/')" = "$want" ] &&
    grep -q "^PMCoeff_q: PC .*, board -7 " "$work/out" &&
    grep -qx "3 fields differ between the PC and the board." "$work/out"; then
    ok "verify lists exactly the changed fields"
else
    fail "verify output: $(cat "$work/out")"
fi
run "default backup folder" 0 -- "$cli" --device "$dev" --quiet config-write "$work/a.wcf"
n=$(ls "$XDG_DATA_HOME/orvan-supervisor/backups"/SIM-000001_*.wcf 2>/dev/null | wc -l)
[ "$n" = 1 ] && ok "backup in the data folder" || fail "data folder holds $n backups"

# Nothing is written without a backup, nor from an incomplete file.
echo x >"$work/notafolder"
run "backup folder unusable" 1 -- "$cli" --device "$dev" --quiet config-write "$work/b.wcf" \
    --backup-dir "$work/notafolder" && has "backup refusal" "$work/err" "Nothing was written"
printf '[INFO]\nVersion=3\n[ANALOG_OUT]\nMinPower=5\n' >"$work/part.wcf"
run "incomplete file" 1 -- "$cli" --device "$dev" config-write "$work/part.wcf" &&
    has "incomplete refusal" "$work/err" "nothing written"
run "verify still the first file" 0 -- "$cli" --device "$dev" --quiet config-verify "$work/a.wcf"
stop_sim

# Damaged image: a byte changed behind the checksum.
printf '\x77' | dd of="$work/board.bin" bs=1 seek=22 conv=notrunc status=none
start_sim --eeprom "$work/board.bin"
run "damaged image" 1 -- "$cli" --device "$dev" --quiet config-read "$work/d.wcf" &&
    has "damaged warning" "$work/err" "is damaged"
has "damaged image saved as read" "$work/d.wcf" "MinPower=6519"
stop_sim

# A refused block stops the write where it stands.
start_sim --error-on 01:10:5:1
run "refused block" 1 -- "$cli" --device "$dev" --quiet config-write "$work/b.wcf" \
    --backup-dir "$work/bk2" &&
    has "stopped at block 6" "$work/err" \
        "Write stopped at block 6 of 24 (5 written): EEPROM previous writing in course. Wait a while and retry..."
stop_sim

start_sim --no-answer
run "no answer" 1 -- "$cli" --device "$dev" --quiet config-write "$work/b.wcf" \
    --backup-dir "$work/bk3" &&
    has "time-out reported" "$work/err" "serial number: RX TimeOut. Nothing was written."
stop_sim

# The security code goes with every block at protocol 2.1.0.
start_sim --protocol 2.1.0
run "write at 2.1.0" 0 -- "$cli" --device "$dev" --quiet config-write "$work/b.wcf" \
    --backup-dir "$work/bk4" && has "verified at 2.1.0" "$work/out" "identical"
stop_sim

# Mistakes found before the port is opened.
run "no file named" 2 -- "$cli" --device /dev/null config-read
run "two files" 2 -- "$cli" --device /dev/null config-verify a b
run "missing input" 1 -- "$cli" --device /dev/null config-write "$work/none.wcf"
printf 'Velkor Laser technology\n' >"$work/t.wcf"
run "tuning log not replaced" 1 -- "$cli" --device /dev/null config-read "$work/t.wcf" &&
    has "kind refusal" "$work/err" "holds a tuning log"
run "another name is not taken for the .wcf" 2 -- "$cli" --device /dev/null config-read \
    "$work/t.log" && has "names the .wcf" "$work/err" "would be taken as $work/t.wcf"

[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
