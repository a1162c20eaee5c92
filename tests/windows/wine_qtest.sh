#!/usr/bin/env bash
# Runs one cross-built QtTest suite under wine, as CTest runs a suite here:
# on the offscreen platform, with Qt's libraries and plugins from Qt for
# Windows, and its report shown. QtTest's console output does not reach this
# terminal under wine, so the report goes to a file first.
#   wine_qtest.sh QT_PREFIX RUNTIME_DIR SUITE.exe
# RUNTIME_DIR holds mingw-w64's C++ runtime, which Qt's libraries load.
set -uo pipefail
qt=$1 runtime=$2 suite=$3
command -v wine >/dev/null || { echo "wine is missing: skipped"; exit 77; }

report=$(mktemp)
trap 'rm -f "$report"' EXIT
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
WINEPATH="$(winepath -w "$qt/bin" 2>/dev/null);$(winepath -w "$runtime" 2>/dev/null)" QT_PLUGIN_PATH="$(winepath -w "$qt/plugins" 2>/dev/null)" \
  wine "$suite" -platform offscreen -o "$(winepath -w "$report")",txt
status=$?
cat "$report"
[ -s "$report" ] || { echo "$(basename "$suite") wrote no report (exit status $status)"; [ "$status" -ne 0 ] || status=1; }
exit "$status"
