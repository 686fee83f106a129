#!/usr/bin/env bash
# The window's command line: help and version on stdout without a display,
# --name=value and --, and every usage error refused with exit 2 before any
# window is made (no display is needed to be told so).
#   window_usage.sh ORVAN_SUPERVISOR
set -u
win="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }
ok() { echo "ok   $1"; }
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

"$win" --help >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 0 ] && grep -q "^Usage: orvan-supervisor" "$work/out" && grep -q -- "--device <PATH>" "$work/out" &&
    grep -q "Exit status" "$work/out" && [ ! -s "$work/err" ] && ok "--help on stdout" ||
    fail "--help: exit $rc: $(cat "$work/out" "$work/err")"
"$win" --version >"$work/out" 2>"$work/err"
[ $? = 0 ] && grep -q "^orvan-supervisor " "$work/out" && ok "--version on stdout" ||
    fail "--version: $(cat "$work/out" "$work/err")"

while IFS='|' read -r name words want; do
    # shellcheck disable=SC2086
    "$win" $words >"$work/out" 2>"$work/err"
    rc=$?
    [ "$rc" = 2 ] && [ ! -s "$work/out" ] && grep -qF -- "$want" "$work/err" && ok "$name: exit 2" ||
        fail "$name: exit $rc, stderr: $(cat "$work/err")"
done <<'ROWS'
an unknown option|--frobnicate|frobnicate
--device without a value|--device|device
--device=|--device=|--device wants a value
--device twice|--device=/dev/a --device /dev/b|twice
a word that is no option|stray|unexpected argument 'stray'
a word after --|--fast -- --simulate|unexpected argument '--simulate'
--device with --simulate|--device=/dev/null --simulate|exclude each other
ROWS
[ "$failures" = 0 ] || exit 1
