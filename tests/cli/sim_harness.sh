# Sourced by the end-to-end scripts: a work folder, and simulators started
# and stopped in the background. Expects $sim (the orvan-boardsim program).
failures=0
work=$(mktemp -d)
pid=""
all_pids=()

# start_sim [OPTIONS...]: sets $dev to the simulator's device path and $pid
# to its process. Several may run at once; each start replaces $dev and $pid.
start_sim() {
    # A fresh file per start: the background job truncates its output file
    # only when it gets to it, so a reused name could still show the path of
    # the simulator stopped before.
    simout="$work/sim.$RANDOM$RANDOM.out"
    "$sim" "$@" >"$simout" 2>"$work/sim.err" &
    pid=$!
    all_pids+=("$pid")
    dev=""
    for _ in $(seq 200); do
        dev=$(head -n 1 "$simout" 2>/dev/null)
        [ -n "$dev" ] && break
        sleep 0.02
    done
    [ -n "$dev" ] || { echo "simulator did not start: $(cat "$work/sim.err")"; exit 1; }
}
# stop_sim [PID]: the simulator started last, or the one named.
stop_sim() {
    local p="${1:-$pid}"
    [ -n "$p" ] && kill "$p" 2>/dev/null && wait "$p" 2>/dev/null
    [ "$p" = "$pid" ] && pid=""
    return 0
}
stop_all() {
    local p
    for p in "${all_pids[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
    all_pids=()
    pid=""
}
trap 'stop_all; rm -rf "$work"' EXIT

# What the scripts report with: one line per check, failures counted.
fail() { echo "FAIL $1"; failures=$((failures + 1)); }
ok() { echo "ok   $1"; }
has() {  # has NAME FILE TEXT
    if grep -qF -- "$3" "$2"; then ok "$1"; else fail "$1: lacks \"$3\": $(cat "$2")"; fi
}
lacks() {  # lacks NAME FILE TEXT
    if grep -qF -- "$3" "$2"; then fail "$1: holds \"$3\": $(cat "$2")"; else ok "$1"; fi
}
same() {  # same NAME FILE1 FILE2
    if cmp -s "$2" "$3"; then ok "$1"; else fail "$1: $2 and $3 differ"; fi
}
# wait_for FILE TEXT: until a line of FILE starts with TEXT (at most 10 s).
wait_for() {
    for _ in $(seq 400); do
        grep -q "^$2" "$1" 2>/dev/null && return 0
        sleep 0.025
    done
    return 1
}
# bytes FILE FROM COUNT: COUNT bytes of FILE from offset FROM, as hex.
bytes() { od -An -v -tx1 -j "$2" -N "$3" "$1" | tr -d ' \n'; }
# The configuration image an EEPROM file holds (addresses 16 to 399).
image_of() { dd if="$1" bs=1 skip=16 count=384 status=none; }
# The requests a capture file shows the program sent.
sent() { grep -c '^[0-9]* TX ' "$1"; }

# run NAME EXPECTED_RC -- command...: output in $work/out and $work/err;
# true when the exit status was the one expected.
run() {
    local name="$1" want="$2"
    shift 3
    "$@" >"$work/out" 2>"$work/err"
    local rc=$?
    if [ "$rc" != "$want" ]; then
        fail "$name: exit $rc, wanted $want; stdout: $(cat "$work/out"); stderr: $(cat "$work/err")"
        return 1
    fi
    ok "$name"
    return 0
}

# check NAME EXPECTED_RC EXPECTED_STDOUT EXPECTED_STDERR_PART -- command...
# EXPECTED_STDOUT "*" takes any output. With one_line_reason=1, a failing
# command must give its reason in exactly one line.
check() {
    local name="$1" rc_want="$2" out_want="$3" err_part="$4"
    shift 5
    "$@" >"$work/out" 2>"$work/err"
    local rc=$?
    local out
    out=$(cat "$work/out")
    if [ "$rc" != "$rc_want" ]; then
        fail "$name: exit $rc, wanted $rc_want; stdout: $out; stderr: $(cat "$work/err")"
    elif [ "$out_want" != "*" ] && [ "$out" != "$out_want" ]; then
        fail "$name: stdout was: $out; wanted: $out_want"
    elif [ -n "$err_part" ] && ! grep -qF -- "$err_part" "$work/err"; then
        fail "$name: stderr lacks \"$err_part\": $(cat "$work/err")"
    elif [ "${one_line_reason:-0}" = 1 ] && [ "$rc_want" != 0 ] && [ "$(wc -l <"$work/err")" != 1 ]; then
        fail "$name: wanted a one-line reason, got: $(cat "$work/err")"
    else
        ok "$name"
    fi
}

# The end of every script: the count of failures decides.
finish() {
    [ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
    echo "all checks passed"
}
