#!/usr/bin/env bash
# Checks (or with --fix, applies) the project's .clang-format on every C++
# source, so formatting never drifts between sessions.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- 'src/*.h' 'src/*.cpp' 'tools/*.h' 'tools/*.cpp' \
  'tests/*.h' 'tests/*.cpp' 'bench/*.h' 'bench/*.cpp' 'fuzz/*.h' 'fuzz/*.cpp')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/orvan-format.$$; then
  head -20 /tmp/orvan-format.$$ >&2
  rm -f /tmp/orvan-format.$$
  echo "Formatting differs from .clang-format: run scripts/check-format.sh --fix" >&2
  exit 1
fi
rm -f /tmp/orvan-format.$$
