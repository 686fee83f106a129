#!/usr/bin/env bash
# Installs what is missing, builds and runs every test; then the same tests
# once more under AddressSanitizer and UndefinedBehaviorSanitizer (built with
# clang, which also builds and runs the fuzz targets for a bounded time).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
# Paths relative to the checkout, so a fresh clone reuses the compiler cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"

export QT_QPA_PLATFORM=offscreen
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
jobs=$(nproc)

echo "== formatting"
./scripts/check-format.sh

echo "== build (gcc)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build
echo "== tests (gcc)"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== build (MinGW-w64, Windows: the core, orvan-cli and their tests)"
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  --toolchain cmake/mingw-w64-x86_64.cmake >/dev/null
ninja -C build-win
echo "== tests (Windows, under Wine in build-win/wineprefix)"
# The tree's own fixtures make Wine's prefix once and stop its server at the end.
ctest --test-dir build-win --output-on-failure -j "$jobs" -L windows

echo "== build (clang, ASan + UBSan, fuzz targets)"
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DORVAN_SANITIZE=ON -DORVAN_FUZZ=ON -DORVAN_BENCH=OFF >/dev/null
ninja -C build-asan
echo "== tests (ASan + UBSan, fuzzing)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"
