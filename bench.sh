#!/usr/bin/env bash
# Builds and runs every benchmark; each prints its figure as a ratio against
# its target. At the end one table gathers them all (figure, measured, limit
# or target, ratio), also kept in build/bench-summary.md for the README.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build >/dev/null
lines="$(mktemp)"
trap 'rm -f "$lines"' EXIT
status=0
for b in build/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  # The summary lines go to the table, the rest to the terminal as before.
  if ! QT_QPA_PLATFORM=offscreen "$b" "$@" | tee -a "$lines" | grep -v '^@summary'; then
    echo "   $(basename "$b") failed" >&2
    status=1
  fi
done

table="build/bench-summary.md"
{
  cpu="$(grep -m1 'model name' /proc/cpuinfo 2>/dev/null | sed 's/.*: //')"
  echo "Measured $(date -u +%Y-%m-%d) on ${cpu:-an unknown processor}, $(nproc) cores, $(uname -sr)."
  echo
  echo "| figure | measured | limit or target | ratio | |"
  echo "|---|---|---|---|---|"
  grep '^@summary' "$lines" | awk -F'\t' '{ printf "| %s | %s | %s | %s | %s |\n", $2, $3, $4, $5, $6 }'
} >"$table"
echo
echo "== summary"
cat "$table"
if grep -q 'MISSED' "$table"; then status=1; fi
exit "$status"
