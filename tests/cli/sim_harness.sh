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
