#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree, unpacks it into
# a scratch root and starts the programs from there: what a user gets from
# `apt install ./orvan-supervisor_*.deb`, without installing it here.
#   scripts/package.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build}" && pwd)"
out="$build/package"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
fail() { echo "package: $*" >&2; exit 1; }

rm -rf "$out"
mkdir -p "$out"
(cd "$out" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log 2>&1) ||
  { cat "$out/cpack.log" >&2; fail "cpack failed"; }
deb="$(ls "$out"/orvan-supervisor_*.deb 2>/dev/null | head -n1)"
[ -n "$deb" ] || fail "no orvan-supervisor_*.deb in $out"
echo "package: $(basename "$deb") ($(du -k "$deb" | cut -f1) kB)"

depends="$(dpkg-deb -f "$deb" Depends)"
echo "package: Depends: $depends"
for lib in libc6 libstdc++6; do
  grep -q "$lib" <<<"$depends" || fail "Depends does not name $lib"
done
if [ -e "$build/src/app/orvan-supervisor" ]; then
  grep -q "libqt6widgets6" <<<"$depends" || fail "Depends does not name libqt6widgets6"
fi
dpkg-deb -I "$deb" postinst >/dev/null || fail "no postinst (the dialout note)"

dpkg-deb -x "$deb" "$root"
usr="$root/usr"
for f in bin/orvan-cli bin/orvan-boardsim share/orvan-supervisor/naming/OrvanMachineName.ini \
         share/doc/orvan-supervisor/MANUAL.md; do
  [ -e "$usr/$f" ] || fail "$f is missing from the package"
done
# Nothing but data under share, nothing but programs under bin.
if ls "$usr/bin" | grep -qv '^orvan-'; then fail "bin holds more than the programs"; fi

"$usr/bin/orvan-cli" --version | grep -q "^orvan-cli " || fail "orvan-cli --version"
"$usr/bin/orvan-boardsim" --version | grep -q "^orvan-boardsim " || fail "orvan-boardsim --version"
timeout 60 "$usr/bin/orvan-cli" --simulate --quiet demo >"$out/demo.txt" 2>&1 ||
  { cat "$out/demo.txt" >&2; fail "orvan-cli --simulate demo failed from the scratch root"; }
echo "package: orvan-cli --simulate demo: $(wc -l <"$out/demo.txt") lines"

if [ -e "$build/src/app/orvan-supervisor" ]; then
  for f in bin/orvan-supervisor share/applications/orvan-supervisor.desktop \
           share/icons/hicolor/scalable/apps/orvan-supervisor.svg; do
    [ -e "$usr/$f" ] || fail "$f is missing from the package"
  done
  version="$(QT_QPA_PLATFORM=offscreen "$usr/bin/orvan-supervisor" --version)"
  echo "$version" | sed 's/^/package: /'
  # The installed program must find the naming files of the package, not
  # those of the build tree.
  want="$(cd "$usr/share/orvan-supervisor/naming" && pwd -P)/"
  grep -qxF "naming files: $want" <<<"$version" || fail "naming files not found at $want"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$usr/share/applications/orvan-supervisor.desktop"
  fi
fi
echo "package: ok"
