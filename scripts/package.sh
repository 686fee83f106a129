#!/usr/bin/env bash
# Builds the Debian packages from a configured and built tree, unpacks them
# into a scratch root, starts the programs from there and runs lintian:
# what a user gets from `apt install ./orvan-cli_*.deb ./orvan-supervisor_*.deb`,
# without installing anything here.
#   orvan-cli         orvan-cli, orvan-boardsim: no Qt (a headless box)
#   orvan-supervisor  the window
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
gui=0
[ -e "$build/src/app/orvan-supervisor" ] && gui=1
cli_deb="$(ls "$out"/orvan-cli_*.deb 2>/dev/null | head -n1)"
[ -n "$cli_deb" ] || fail "no orvan-cli_*.deb in $out"
debs=("$cli_deb")
if [ "$gui" = 1 ]; then
  win_deb="$(ls "$out"/orvan-supervisor_*.deb 2>/dev/null | head -n1)"
  [ -n "$win_deb" ] || fail "no orvan-supervisor_*.deb in $out"
  debs+=("$win_deb")
fi

for deb in "${debs[@]}"; do
  echo "package: $(basename "$deb") ($(du -k "$deb" | cut -f1) kB)"
  echo "package:   Depends: $(dpkg-deb -f "$deb" Depends)"
  dpkg-deb -x "$deb" "$root"
done
cli_depends="$(dpkg-deb -f "$cli_deb" Depends)"
for lib in libc6 libstdc++6 libudev1; do
  grep -q "$lib" <<<"$cli_depends" || fail "orvan-cli: Depends does not name $lib"
done
grep -qi "qt" <<<"$cli_depends" && fail "orvan-cli depends on Qt: $cli_depends"
if [ "$gui" = 1 ]; then
  win_depends="$(dpkg-deb -f "$win_deb" Depends)"
  grep -q "libqt6widgets6" <<<"$win_depends" || fail "Depends does not name libqt6widgets6"
  grep -q "orvan-cli (= " <<<"$win_depends" || fail "orvan-supervisor does not depend on orvan-cli"
  dpkg-deb -I "$win_deb" postinst >/dev/null || fail "no postinst (the dialout note)"
fi

usr="$root/usr"
for f in bin/orvan-cli bin/orvan-boardsim share/orvan-supervisor/naming/OrvanMachineName.ini \
         share/man/man1/orvan-cli.1.gz share/man/man1/orvan-boardsim.1.gz \
         share/bash-completion/completions/orvan-cli share/zsh/vendor-completions/_orvan-cli \
         share/doc/orvan-cli/copyright share/doc/orvan-cli/changelog.gz; do
  [ -e "$usr/$f" ] || fail "$f is missing from the packages"
done
# Nothing but data under share, nothing but programs under bin.
if ls "$usr/bin" | grep -qv '^orvan-'; then fail "bin holds more than the programs"; fi

"$usr/bin/orvan-cli" --version | grep -q "^orvan-cli " || fail "orvan-cli --version"
"$usr/bin/orvan-boardsim" --version | grep -q "^orvan-boardsim " || fail "orvan-boardsim --version"
timeout 60 "$usr/bin/orvan-cli" --simulate --quiet demo >"$out/demo.txt" 2>&1 ||
  { cat "$out/demo.txt" >&2; fail "orvan-cli --simulate demo failed from the scratch root"; }
echo "package: orvan-cli --simulate demo: $(wc -l <"$out/demo.txt") lines"
# Hardened as Debian wants (what hardening-check looks at): a position-
# independent program, bound at start and read-only after it, fortified
# calls, the stack protector.
for p in "$usr"/bin/orvan-*; do
  elf="$(readelf -hdsW "$p")"
  grep -q "Type:.*DYN" <<<"$elf" || fail "$p is not position-independent"
  grep -Eq "BIND_NOW|FLAGS_1.*NOW" <<<"$elf" || fail "$p is not bound at start (bindnow)"
  segments="$(readelf -lW "$p")"
  grep -q GNU_RELRO <<<"$segments" || fail "$p has no read-only relocations"
  grep -Eq " __[a-z_]+_chk(@|$)" <<<"$elf" || fail "$p has no fortified calls"
  grep -q "__stack_chk_fail" <<<"$elf" || fail "$p has no stack protector"
  echo "package: $(basename "$p"): PIE, relro, bindnow, fortify, stack protector"
done
# The manual page says what --help says.
zcat "$usr/share/man/man1/orvan-cli.1.gz" | grep -q "config\\\\-verify" ||
  fail "the orvan-cli manual page lacks its commands"

if [ "$gui" = 1 ]; then
  for f in bin/orvan-supervisor share/applications/orvan-supervisor.desktop \
           share/icons/hicolor/scalable/apps/orvan-supervisor.svg \
           share/doc/orvan-supervisor/MANUAL.md share/man/man1/orvan-supervisor.1.gz \
           share/doc/orvan-supervisor/copyright; do
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

# lintian: an error fails the packages; what is left is explained in
# data/debian/lintian-notes.
if command -v lintian >/dev/null; then
  lintian --pedantic --suppress-tags-from-file data/debian/lintian-suppress "${debs[@]}" \
    >"$out/lintian.txt" 2>&1 || true
  sed 's/^/package: lintian: /' "$out/lintian.txt"
  grep -q '^E: ' "$out/lintian.txt" && fail "lintian found errors"
else
  fail "lintian is not installed (scripts/deps.sh installs it)"
fi
echo "package: ok"
