#!/usr/bin/env bash
# orvan-cli history against orvan-boardsim on a pseudo-terminal: every
# operation is in the board's timeline; two configurations differ field by
# field with their units; a configuration of the history restored gives the
# board its exact bytes back (a backup of what it held first); a changed or
# missing backup is found; export and import carry a board's records once;
# refused words and files name their reason.
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
. "$(dirname "$0")/sim_harness.sh"
export XDG_DATA_HOME="$work/data"
store="$XDG_DATA_HOME/orvan-supervisor/history.sqlite"

start_sim --still --eeprom "$work/board.bin"
run "read" 0 -- "$cli" --device "$dev" --fast config-read "$work/a.wcf"
sed -e 's/^MinPower=[0-9-]*/MinPower=1234/' -e 's/^Timer_3=[0-9-]*/Timer_3=4321/' \
    "$work/a.wcf" >"$work/b.wcf"
run "write" 0 -- "$cli" --device "$dev" --fast config-write "$work/b.wcf"
image_of "$work/board.bin" >"$work/written.image"
run "write back" 0 -- "$cli" --device "$dev" --fast config-write "$work/a.wcf"
run "refused write is recorded too" 2 -- "$cli" --device "$dev" config-write "$work/none.wcf"
[ -f "$store" ] && ok "history in the data folder" || fail "no $store"

run "boards" 0 -- "$cli" history && has "board listed" "$work/out" "SIM-000001"
run "boards json" 0 -- "$cli" history --json && has "json board" "$work/out" '"serial": "SIM-000001"'
run "timeline" 0 -- "$cli" history SIM-000001 &&
    has "write recorded" "$work/out" "Configuration write" &&
    has "backup indexed" "$work/out" "kept $XDG_DATA_HOME/orvan-supervisor/backups/SIM-000001_"
run "timeline json" 0 -- "$cli" history SIM-000001 --json
# Record ids of the two writes, oldest first.
ids=$(grep '"operation": "Configuration write", "outcome": "completed"' "$work/out" |
    sed 's/.*"id": \([0-9]*\).*/\1/' | sort -n)
first_id=$(echo "$ids" | head -n 1)
second_id=$(echo "$ids" | sed -n 2p)
[ -n "$first_id" ] && [ -n "$second_id" ] && ok "ids found ($first_id, $second_id)" ||
    fail "ids: $(cat "$work/out")"

run "diff" 0 -- "$cli" history diff "$first_id" "$second_id" &&
    has "MinPower differs, in its unit" "$work/out" "MinPower: 1234 (1.13 A) -> 6553 (6 A)" &&
    has "Timer_3 differs" "$work/out" "Timer_3: "
[ "$(wc -l <"$work/out")" = 2 ] && ok "only the two fields" || fail "diff: $(cat "$work/out")"
run "diff json" 0 -- "$cli" history diff "$first_id" "$second_id" --json &&
    has "json diff" "$work/out" '"field": "MinPower", "unit": "A", "firstRaw": 1234, "secondRaw": 6553'

run "restore the first write" 0 -- "$cli" --device "$dev" --fast history restore "$first_id" &&
    has "restore backed up first" "$work/err" "Backup of the previous configuration"
image_of "$work/board.bin" | cmp -s - "$work/written.image" && ok "restore is byte-exact" ||
    fail "board differs from the recorded image after the restore"

# Another board's configuration is asked about; without a terminal, no.
stop_sim
cp "$work/board.bin" "$work/other.bin"
printf 'SIM-000002\0\0\0\0\0\0' | dd of="$work/other.bin" bs=1 conv=notrunc status=none
start_sim --still --eeprom "$work/other.bin"
cp "$work/other.bin" "$work/other.before"
run "another board is not written unasked" 2 -- "$cli" --device "$dev" history restore \
    "$first_id" </dev/null
image_of "$work/other.bin" | cmp -s - <(image_of "$work/other.before") &&
    ok "other board untouched" || fail "other board written"
stop_sim

backup=$(ls "$XDG_DATA_HOME"/orvan-supervisor/backups/SIM-000001_*.bin | head -n 1)
printf 'x' >>"$backup"
run "a changed backup is found" 1 -- "$cli" history SIM-000001 &&
    has "said changed" "$work/out" "$backup (changed)"

run "export" 0 -- "$cli" history export SIM-000001 "$work/board.history"
run "export not over a file" 2 -- "$cli" history export SIM-000001 "$work/board.history" &&
    has "exists said" "$work/err" "exists already"
mkdir -p "$work/other-pc"
XDG_DATA_HOME="$work/other-pc" run "import" 0 -- "$cli" history import "$work/board.history" --json
n=$(sed 's/.*"imported": \([0-9]*\).*/\1/' "$work/out")
[ "$n" -ge 4 ] && ok "imported $n records" || fail "imported: $(cat "$work/out")"
XDG_DATA_HOME="$work/other-pc" run "import again adds nothing" 0 -- "$cli" history import \
    "$work/board.history" && has "none" "$work/out" "0 record(s) imported"
run "import of a text file" 2 -- "$cli" history import "$work/a.wcf" &&
    has "kind said" "$work/err" "is not a board history file"

run "bad id" 2 -- "$cli" history diff 1 x
run "restore needs a board" 2 -- "$cli" history restore 1
run "unknown record" 2 -- "$cli" history diff 1 999999
run "unknown flag" 2 -- "$cli" history --frobnicate

finish
