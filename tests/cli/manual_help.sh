#!/usr/bin/env bash
# The manual's list of orvan-cli's options and commands is its --help, word
# for word: this check fails when they differ; with --update it rewrites the
# manual's copy from the program.
#   manual_help.sh ORVAN_CLI MANUAL.md [--update]
set -euo pipefail
cli="$1" manual="$2"
begin='<!-- orvan-cli --help: begin -->' end='<!-- orvan-cli --help: end -->'
grep -qxF "$begin" "$manual" && grep -qxF "$end" "$manual" ||
    { echo "FAIL $manual lacks the lines $begin and $end"; exit 1; }
help="$(mktemp)"
trap 'rm -f "$help" "$help.md"' EXIT
{ echo '```'; "$cli" --help; echo '```'; } >"$help"
if [ "${3:-}" = "--update" ]; then
    awk -v b="$begin" -v e="$end" -v f="$help" '
        $0 == b { print; while ((getline l < f) > 0) print l; skip = 1; next }
        $0 == e { skip = 0 }
        !skip' "$manual" >"$help.md"
    cat "$help.md" >"$manual"
    echo "updated $manual"
    exit 0
fi
if awk -v b="$begin" -v e="$end" '$0 == e { on = 0 } on; $0 == b { on = 1 }' "$manual" | diff -u - "$help"; then
    echo "ok   the manual's orvan-cli --help is the program's"
else
    echo "FAIL the manual's orvan-cli --help differs from the program's (above); run"
    echo "     tests/cli/manual_help.sh build/tools/cli/orvan-cli docs/MANUAL.md --update"
    exit 1
fi
