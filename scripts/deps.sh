#!/usr/bin/env bash
# Installs the Debian packages the build needs, and nothing when all are there.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format ccache pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libjpeg-dev libudev-dev
  libsqlite3-dev nettle-dev
  ser2net python3
  dpkg-dev file lintian help2man
  libcli11-dev nlohmann-json3-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-charts-dev libqt6opengl6-dev
  # The Windows tree: MinGW-w64 cross compiler, Wine to run its tests.
  g++-mingw-w64-x86-64-posix wine wine64
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
