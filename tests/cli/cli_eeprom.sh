#!/usr/bin/env bash
# orvan-cli EEPROM commands against orvan-boardsim: typed writes that keep
# what they replace (and ask first below address 400), dumps that never take
# another run's file, formats that keep the memory first, even two at once in
# one folder, restores that refuse a device, a huge or an endless file at
# once, and a format or restore stopped by Ctrl-C that says what the board
# holds, which the board's memory then shows.
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
. "$(dirname "$0")/sim_harness.sh"
export XDG_DATA_HOME="$work/data"
cd "$work" || exit 1

eeprom="$work/board.bin"
start_sim --still --eeprom "$eeprom"
check "eeprom-write" 0 "*" "" -- "$cli" --progress --device "$dev" --fast eeprom-write 500 AB
has "says where the old bytes are" "$work/out" "What it held there is kept in"
check "eeprom-read" 0 "01F4  41 42  AB" "" -- "$cli" --progress --device "$dev" --fast eeprom-read 500 2

# Over the serial number: asked first; no terminal, no --yes: nothing written.
cp "$eeprom" before.bin
run "eeprom-write 0 without --yes" 2 -- "$cli" --progress --device "$dev" --fast eeprom-write 0 AB </dev/null &&
    has "the serial number named" "$work/err" "overwrites the serial number (addresses 0 to 15), which holds SI"
has "says how to answer yes" "$work/err" "(--yes answers yes)"
same "nothing written" "$eeprom" before.bin
run "eeprom-write 0 --yes" 0 -- "$cli" --progress --device "$dev" --fast eeprom-write 0 AB --yes
kept=$(sed -n 's/.*What it held there is kept in \(.*\)\.$/\1/p' "$work/out")
[ "$(bytes "$eeprom" 0 2)" = 4142 ] && ok "written" || fail "not written: $(bytes "$eeprom" 0 4)"
[ -n "$kept" ] && [ "$(cat "$kept")" = SI ] && ok "the old bytes kept in $kept" ||
    fail "kept copy: $(cat "$work/out")"

check "a write across two pages" 0 "*" "" -- "$cli" --progress --device "$dev" --fast --quiet eeprom-write 30 ABCD --yes
[ "$(bytes "$eeprom" 30 4)" = 41424344 ] && ok "both pages written" || fail "30..33: $(bytes "$eeprom" 30 4)"

# On a terminal the question is asked: "n" writes nothing, "y" writes.
if command -v script >/dev/null; then
    ask() { printf '%s\n' "$1" | timeout 20 script -qec "$cli --device $dev --fast eeprom-write 0 $2" /dev/null; }
    ask n QQ >"$work/out" 2>&1
    rc=$?
    [ "$rc" = 2 ] && grep -q "Write? \[y/N\]" "$work/out" && [ "$(bytes "$eeprom" 0 2)" = 4142 ] &&
        ok "terminal: asked, no, nothing written" || fail "terminal no: exit $rc: $(cat "$work/out")"
    ask y XY >"$work/out" 2>&1
    rc=$?
    [ "$rc" = 0 ] && [ "$(bytes "$eeprom" 0 2)" = 5859 ] && ok "terminal: asked, yes, written" ||
        fail "terminal yes: exit $rc: $(cat "$work/out")"
else
    echo "skip the terminal's answers: no script(1)"
fi

# Dumps: the file holds the memory; a name taken is refused.
check "eeprom-dump" 0 "EEPROM dumped (1024 bytes, read twice alike), saved to dump.bin" "" -- \
    "$cli" --progress --device "$dev" --fast --quiet eeprom-dump dump.bin
same "dump equals the simulator's memory" dump.bin "$eeprom"
check "a dump never replaces unasked" 2 "" "exists" -- "$cli" --progress --device "$dev" --fast eeprom-dump dump.bin
check "--force replaces a dump" 0 "*" "" -- "$cli" --progress --device "$dev" --fast eeprom-dump dump.bin --force
printf '[INFO]\nVersion=3\n' >x.wcf
cp x.wcf x.keep
check "--force never replaces another kind" 2 "" "holds a welder configuration" -- \
    "$cli" --progress --device "$dev" --fast eeprom-dump x.wcf --force
same "configuration untouched" x.wcf x.keep

# Restore: refused at once when the file is a device, huge or endless.
truncate -s 3G huge.bin
mkfifo endless.bin
for f in /dev/zero huge.bin endless.bin; do
    start=$(date +%s%N)
    timeout 5 "$cli" --progress --device "$dev" --fast --capture "restore.$RANDOM.cap" eeprom-restore "$f" \
        >"$work/out" 2>"$work/err"
    rc=$?
    took=$((($(date +%s%N) - start) / 1000000))
    cap=$(ls restore.*.cap)
    [ "$rc" = 2 ] && [ "$took" -lt 2000 ] && [ "$(sent "$cap")" = 0 ] &&
        grep -q "Nothing was sent" "$work/err" && ok "restore from $f refused in $took ms, nothing sent" ||
        fail "restore from $f: exit $rc in $took ms: $(cat "$work/err")"
    rm -f "$cap"
done
head -c 1000 /dev/zero >short.bin
check "short dump file refused" 2 "" "1000 bytes, 1024 expected" -- \
    "$cli" --progress --device "$dev" --fast eeprom-restore short.bin

# Format: the memory kept first, then all FF; a restore gives it back.
check "eeprom-format needs --yes" 2 "" "--yes" -- "$cli" --progress --device "$dev" eeprom-format
check "eeprom-format" 0 "dump of the memory before the format: kept.bin
EEPROM formatted (1024 bytes of FF); what it held is in kept.bin" "" -- \
    "$cli" --progress --device "$dev" --fast --quiet eeprom-format --yes --dump kept.bin
cp kept.bin formatted.before
[ "$(tr -d '\377' <"$eeprom" | wc -c)" = 0 ] && ok "memory erased" || fail "memory not erased"
check "a dump named that exists is refused" 2 "*" "exists" -- \
    "$cli" --progress --device "$dev" --fast eeprom-format --yes --dump kept.bin
check "restore over another serial number refused unasked" 2 "" "differs" -- \
    "$cli" --progress --device "$dev" --fast --quiet eeprom-restore kept.bin </dev/null
check "eeprom-restore --yes" 0 "*" "" -- "$cli" --progress --device "$dev" --fast --quiet eeprom-restore kept.bin --yes
has "restore read back" "$work/out" "Dump file kept.bin written to the board and read back: all 1024 bytes match"
has "restore says where what the board held is" "$work/out" "What the board held is kept in $work/data/"
same "restore gave back the memory" "$eeprom" formatted.before
stop_sim

# Two formats in one folder at the same moment, each on its own board: both
# memories kept, in two files, whatever the second.
printf 'A%.0s' $(seq 1024) >one.bin
printf 'B%.0s' $(seq 1024) >two.bin
mkdir both && cd both || exit 1
start_sim --still --eeprom "$work/one.bin"
dev1=$dev
start_sim --still --eeprom "$work/two.bin"
dev2=$dev
"$cli" --progress --device "$dev1" --fast --quiet eeprom-format --yes >one.out 2>one.err &
p1=$!
"$cli" --progress --device "$dev2" --fast --quiet eeprom-format --yes >two.out 2>two.err &
p2=$!
wait "$p1"
r1=$?
wait "$p2"
r2=$?
[ "$r1" = 0 ] && [ "$r2" = 0 ] && ok "two formats done" || fail "formats: exit $r1 and $r2: $(cat one.err two.err)"
[ "$(ls eeprom-before-format-*.bin | wc -l)" = 2 ] && ok "two dump files" || fail "dumps: $(ls)"
for f in eeprom-before-format-*.bin; do
    c=$(head -c 1 "$f")
    [ "$(tr -d "$c" <"$f" | wc -c)" = 0 ] && [ "$(stat -c %s "$f")" = 1024 ] &&
        ok "$f holds board $c's memory" || fail "$f: $(head -c 16 "$f" | od -An -tx1)"
done
[ "$(cat eeprom-before-format-*.bin | head -c 2048 | tr -d 'AB' | wc -c)" = 0 ] &&
    [ "$(cat eeprom-before-format-*.bin | tr -d 'B' | wc -c)" = 1024 ] && ok "one of each board" ||
    fail "the dumps do not hold both boards"
cd "$work" || exit 1

# Two dumps into one name at the same moment: one is saved, the other refused.
"$cli" --progress --device "$dev1" --fast --quiet eeprom-dump same.bin >d1.out 2>d1.err &
p1=$!
"$cli" --progress --device "$dev2" --fast --quiet eeprom-dump same.bin >d2.out 2>d2.err &
p2=$!
wait "$p1"
r1=$?
wait "$p2"
r2=$?
[ "$(printf '%s\n' "$r1" "$r2" | sort | tr '\n' ' ')" = "0 2 " ] && ok "one saved, one refused" ||
    fail "dumps: exit $r1 and $r2: $(cat d1.err d2.err)"
[ "$(cat d1.out d2.out | grep -c 'saved to same.bin')" = 1 ] && ok "exactly one says saved" ||
    fail "said: $(cat d1.out d2.out)"
[ "$(stat -c %s same.bin)" = 1024 ] && [ "$(tr -d '\377' <same.bin | wc -c)" = 0 ] &&
    ok "the file holds a whole dump" || fail "same.bin: $(stat -c %s same.bin)"
stop_all

# Ctrl-C during a format: stopped after the page in flight; pages 1 to k
# erased, the rest as before, as said; the kept dump named.
start_sim --still --eeprom "$eeprom" --delay 20
cp "$eeprom" int.before
"$cli" --progress --device "$dev" --fast eeprom-format --yes --dump int.bin >"$work/int.out" 2>"$work/int.err" &
cpid=$!
wait_for "$work/int.err" "writing: 8/32"
kill -INT "$cpid"
wait "$cpid"
rc=$?
[ "$rc" = 130 ] && ok "format SIGINT: exit 130" || fail "format SIGINT: exit $rc: $(cat "$work/int.err")"
k=$(sed -n 's/.*Pages 1 to \([0-9]*\) (addresses 0 to [0-9]*) hold FF (erased); from page [0-9]* on the board holds what it held.*/\1/p' "$work/int.err")
if [ -n "$k" ] && [ "$k" -ge 8 ] && [ "$k" -lt 32 ]; then
    ok "format SIGINT: pages 1 to $k said erased"
    [ "$(bytes "$eeprom" 0 $((32 * k)) | tr -d f)" = "" ] &&
        [ "$(bytes "$eeprom" $((32 * k)) 1024)" = "$(bytes int.before $((32 * k)) 1024)" ] &&
        ok "format SIGINT: the memory is as said" || fail "format SIGINT: memory differs from what was said"
else
    fail "format SIGINT: pages not said: $(cat "$work/int.err")"
fi
has "format SIGINT: the kept dump named" "$work/int.err" "What it held is kept in int.bin."
same "format SIGINT: the kept dump is the memory before" int.bin int.before

# Ctrl-C during a restore of that dump: pages 1 to k hold the dump again.
cp "$eeprom" int2.before
"$cli" --progress --device "$dev" --fast eeprom-restore int.bin --yes >"$work/int.out" 2>"$work/int.err" &
cpid=$!
wait_for "$work/int.err" "writing: 8/32"
kill -INT "$cpid"
wait "$cpid"
rc=$?
[ "$rc" = 130 ] && ok "restore SIGINT: exit 130" || fail "restore SIGINT: exit $rc: $(cat "$work/int.err")"
k=$(sed -n "s/.*Pages 1 to \([0-9]*\) (addresses 0 to [0-9]*) hold the dump's content; from page [0-9]* on the board holds what it held.*/\1/p" "$work/int.err")
kept=$(sed -n 's/.* What it held is kept in \([^ ]*\.bin\)\..*/\1/p' "$work/int.err")
if [ -n "$k" ] && [ "$k" -ge 8 ] && [ "$k" -lt 32 ]; then
    ok "restore SIGINT: pages 1 to $k said restored"
    [ "$(bytes "$eeprom" 0 $((32 * k)))" = "$(bytes int.bin 0 $((32 * k)))" ] &&
        [ "$(bytes "$eeprom" $((32 * k)) 1024)" = "$(bytes int2.before $((32 * k)) 1024)" ] &&
        ok "restore SIGINT: the memory is as said" || fail "restore SIGINT: memory differs from what was said"
else
    fail "restore SIGINT: pages not said: $(cat "$work/int.err")"
fi
[ -n "$kept" ] && same "restore SIGINT: the copy kept before is named and whole" "$kept" int2.before ||
    fail "restore SIGINT: no kept copy named: $(cat "$work/int.err")"
stop_sim

start_sim --still --eeprom "$eeprom" --error-on 01:10:5:1
check "format refused half way" 1 "*" "EEPROM previous writing in course" -- \
    "$cli" --progress --device "$dev" --fast --quiet eeprom-format --yes --dump kept2.bin
stop_sim
for v in "eeprom-read 0 33|1 to 32" "eeprom-read 0 0|1 to 32" "eeprom-read 1000 32|past the end" \
    "eeprom-write 1023 AB|past the end" "eeprom-dump|too few arguments"; do
    # shellcheck disable=SC2086
    check "${v%%|*} refused" 2 "" "${v#*|}" -- "$cli" --progress --device /dev/no-such-tty ${v%%|*}
done

finish
