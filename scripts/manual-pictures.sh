#!/usr/bin/env bash
# Renders the manual's pictures (docs/manual, and docs/manual/comma with the
# comma as decimal separator) at 1024x768 from the built program, each page
# on the simulated board of its machine: the common pages and the diode
# source's on the default board, every machine's own page on its board.
# Usage: scripts/manual-pictures.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
sim="$build/tools/boardsim/orvan-boardsim"
app="$build/src/app/orvan-supervisor"
for f in "$sim" "$app"; do
  [ -x "$f" ] || { echo "manual-pictures.sh: $f is not built" >&2; exit 2; }
done
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
simpid=""
cleanup() {
  if [ -n "$simpid" ]; then kill "$simpid" 2>/dev/null || true; wait "$simpid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# machine -> the pictures of its own pages (the others come from the source)
render() {  # machine locale outdir
  local machine="$1" loc="$2" out="$3"
  local said="$work/dev.$machine.$loc" device="" tries=0
  "$sim" --machine "$machine" --still --eeprom "$work/eeprom.$machine.bin" >"$said" 2>/dev/null &
  simpid=$!
  while [ -z "$device" ] && [ "$tries" -lt 100 ]; do
    sleep 0.1
    device=$(head -n 1 "$said")
    tries=$((tries + 1))
  done
  [ -n "$device" ] || { echo "manual-pictures.sh: the simulator said no device" >&2; exit 1; }
  mkdir -p "$out"
  LANG="$loc" LC_ALL="$loc" "$app" --device "$device" --screenshots "$out" >/dev/null
  kill "$simpid" 2>/dev/null || true
  wait "$simpid" 2>/dev/null || true
  simpid=""
}

for pair in "C.UTF-8:docs/manual" "it_IT.UTF-8:docs/manual/comma"; do
  loc="${pair%%:*}"
  dest="${pair#*:}"
  for machine in source pelta multihead flanging; do
    render "$machine" "$loc" "$work/$machine.$loc"
  done
  mkdir -p "$dest"
  cp "$work/source.$loc"/*.png "$dest/"
  cp "$work/pelta.$loc"/*-Pelta.png "$dest/"
  cp "$work/multihead.$loc"/*-Multi_Head.png "$work/multihead.$loc"/*-Diameter_-_Height.png "$dest/"
  cp "$work/flanging.$loc"/*-Flanging.png "$dest/"
  echo "pictures in $dest"
done
