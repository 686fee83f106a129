# Sourced by the end-to-end scripts: a work folder, and the simulator started
# and stopped in the background. Expects $sim (the orvan-boardsim program).
failures=0
work=$(mktemp -d)
pid=""

# start_sim [OPTIONS...]: sets $dev to the simulator's device path.
start_sim() {
    # A fresh file per start: the background job truncates its output file
    # only when it gets to it, so a reused name could still show the path of
    # the simulator stopped before.
    simout="$work/sim.$RANDOM$RANDOM.out"
    "$sim" "$@" >"$simout" 2>"$work/sim.err" &
    pid=$!
    dev=""
    for _ in $(seq 200); do
        dev=$(head -n 1 "$simout" 2>/dev/null)
        [ -n "$dev" ] && break
        sleep 0.02
    done
    [ -n "$dev" ] || { echo "simulator did not start: $(cat "$work/sim.err")"; exit 1; }
}
stop_sim() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    pid=""
}
trap 'stop_sim; rm -rf "$work"' EXIT

# What the scripts report with: one line per check, failures counted.
fail() { echo "FAIL $1"; failures=$((failures + 1)); }
ok() { echo "ok   $1"; }
has() {  # has NAME FILE TEXT
    if grep -qF -- "$3" "$2"; then ok "$1"; else fail "$1: lacks \"$3\": $(cat "$2")"; fi
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
