#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program: on the device
# given (./run.sh --device /dev/ttyUSB0), otherwise on the board simulator.
set -euo pipefail
cd "$(dirname "$0")"
# The arguments are read first: a wrong one is said before anything is built.
device=""
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --device)
      if [ $# -lt 2 ] || [ -z "$2" ]; then
        echo "run.sh: --device wants a serial device, e.g. ./run.sh --device /dev/ttyUSB0" >&2
        exit 2
      fi
      device="$2"; shift 2 ;;
    --device=*)
      device="${1#--device=}"
      [ -n "$device" ] || { echo "run.sh: --device wants a serial device" >&2; exit 2; }
      shift ;;
    *) args+=("$1"); shift ;;
  esac
done
./scripts/deps.sh
# Paths relative to the checkout, so a fresh clone reuses the compiler cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build >/dev/null


screenshots=0
for a in "${args[@]}"; do [ "$a" = "--screenshots" ] && screenshots=1; done
# Screenshots are rendered offscreen; they need no display.
if [ "$screenshots" = 1 ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
fi

have_display=1
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  have_display=0
fi

if [ -x build/src/app/orvan-supervisor ] && [ "$have_display" = 1 ]; then
  if [ -n "$device" ]; then
    exec build/src/app/orvan-supervisor --device "$device" "${args[@]}"
  fi
  exec build/src/app/orvan-supervisor --simulate "${args[@]}"
fi

if [ "$have_display" = 0 ]; then
  echo "No display (DISPLAY is not set), so no window: here is a short exchange with the board instead." >&2
  echo "Run ./run.sh under a desktop session (or xvfb-run ./run.sh) for the window." >&2
fi
# A short exchange with the board, every line shown.
if [ -n "$device" ]; then
  exec build/tools/cli/orvan-cli --device "$device" demo
fi
exec build/tools/cli/orvan-cli --simulate demo
