#!/usr/bin/env bash
# Runs one GoogleTest program of the Windows build under Wine. The exit status of a program
# that crashes under Wine cannot be trusted, so the test passes only on the program's own
# summary line and with no failed case.
set -uo pipefail
exe="$1"
shift
if [ -z "${MAPEO_WINE_SESSION:-}" ]; then
    echo "Run the Windows tests through tests/win32/wine_session.sh (scripts/test-windows.sh)."
    exit 1
fi
out=$(mktemp)
trap 'rm -f "$out"' EXIT
# Qt's Windows platform, on the command line: a Windows build carries no headless one, and
# Wine keeps QT_* variables from Windows programs.
wine "$exe" -platform windows "$@" 2>&1 | tr -d '\r' | tee "$out"
status=${PIPESTATUS[0]}
grep -q '^\[  FAILED  \]' "$out" && exit 1
grep -Eq '^\[  PASSED  \] [0-9]+ tests?\.' "$out" && exit 0
echo "wine_test: no summary line from $(basename "$exe") (exit status $status): it crashed"
exit 1
