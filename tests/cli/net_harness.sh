# Sourced after sim_harness.sh by the network end-to-end scripts: free
# loopback ports, Debian's ser2net bridging the simulator's pseudo-terminal,
# and the slow proxy. Every process started here is stopped on exit, however
# the script ends.

s2n_pid=""
proxy_pid=""
extra_pids=()

stop_ser2net() {
    [ -n "$s2n_pid" ] && kill "$s2n_pid" 2>/dev/null && wait "$s2n_pid" 2>/dev/null
    s2n_pid=""
}
stop_proxy() {
    [ -n "$proxy_pid" ] && kill "$proxy_pid" 2>/dev/null && wait "$proxy_pid" 2>/dev/null
    proxy_pid=""
}
stop_all() {
    local p
    for p in "${extra_pids[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
    extra_pids=()
    stop_proxy
    stop_ser2net
    stop_sim
    rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 1' INT TERM HUP

# free_port: a TCP port nothing listens on at 127.0.0.1 now.
free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# listening PORT: whether something listens on 127.0.0.1:PORT.
listening() {
    local hex
    hex=$(printf '%04X' "$1")
    grep -qE "^ *[0-9]+: 0100007F:$hex 00000000:0000 0A" /proc/net/tcp
}

# start_ser2net raw|rfc2217 DEVICE: Debian's ser2net serving DEVICE on a free
# loopback port at 56700 bit/s; sets $s2n_port. The configuration is YAML in
# the work folder; no lock files, no detaching, nothing beyond loopback.
start_ser2net() {
    local mode="$1" device="$2" accepter try
    for try in 1 2 3; do
        s2n_port=$(free_port)
        if [ "$mode" = rfc2217 ]; then
            accepter="telnet(rfc2217),tcp,127.0.0.1,$s2n_port"
        else
            accepter="tcp,127.0.0.1,$s2n_port"
        fi
        cat >"$work/ser2net.yaml" <<EOF
%YAML 1.1
---
connection: &board
  accepter: $accepter
  connector: serialdev,$device,56700n81,local
EOF
        ser2net -n -u -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >"$work/ser2net.log" 2>&1 &
        s2n_pid=$!
        for _ in $(seq 100); do
            listening "$s2n_port" && return 0
            kill -0 "$s2n_pid" 2>/dev/null || break
            sleep 0.02
        done
        stop_ser2net  # the port was taken meanwhile: another one
    done
    echo "ser2net did not start: $(cat "$work/ser2net.log")"
    exit 1
}

# start_proxy TARGET_PORT DELAY_MS: the slow proxy in front of TARGET_PORT;
# sets $proxy_port.
start_proxy() {
    local out="$work/proxy.$RANDOM.out"
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/slow_proxy.py" --target "$1" --delay-ms "$2" \
        >"$out" 2>"$work/proxy.err" &
    proxy_pid=$!
    proxy_port=""
    for _ in $(seq 200); do
        proxy_port=$(head -n 1 "$out" 2>/dev/null)
        [ -n "$proxy_port" ] && return 0
        sleep 0.02
    done
    echo "proxy did not start: $(cat "$work/proxy.err")"
    exit 1
}

same() {  # same NAME FILE1 FILE2
    if cmp -s "$2" "$3"; then ok "$1"; else fail "$1: $2 and $3 differ"; fi
}

# needs_ser2net: skips the script (exit 77) where ser2net or python3 are not
# installed (scripts/deps.sh installs both).
needs_ser2net() {
    if ! command -v ser2net >/dev/null || [ ! -x /usr/bin/python3 ]; then
        echo "ser2net or /usr/bin/python3 not installed: skipped (scripts/deps.sh installs them)"
        exit 77
    fi
}
