#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program: on the device
# given (./run.sh --device /dev/ttyUSB0), otherwise on the board simulator.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build >/dev/null

device=""
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --device) device="$2"; shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done

if [ -x build/src/app/orvan-supervisor ]; then
  if [ -n "$device" ]; then
    exec build/src/app/orvan-supervisor --device "$device" "${args[@]}"
  fi
  exec build/src/app/orvan-supervisor --simulate "${args[@]}"
fi

# Until the window exists: a short exchange with the board, every line shown.
if [ -n "$device" ]; then
  exec build/tools/cli/orvan-cli --device "$device" "${args[@]}" demo
fi
exec build/tools/cli/orvan-cli --simulate "${args[@]}" demo
