#!/usr/bin/env bash
# Installs whatever is missing, builds everything and runs the whole test suite.
#   bash scripts/test.sh             the suite on a release build (build/)
#   bash scripts/test.sh --sanitize  the suite under AddressSanitizer and
#                                    UndefinedBehaviorSanitizer (build-sanitize/)
set -euo pipefail
cd "$(dirname "$0")/.."

# Build folders and their options: CMakePresets.json.
preset=release build=build
options=()
if [ "${1:-}" = "--sanitize" ]; then
  preset=sanitize build=build-sanitize
  # Any sanitizer report fails the test that caused it.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

bash scripts/install-deps.sh test

# The Windows program is proven under wine in the release run; Qt for Windows
# is built from Debian's source the first time (cached, see
# scripts/build-qt-windows.sh).
if [ "$build" = build ]; then
  options+=(-DQT_WINDOWS_PREFIX="$(bash scripts/build-qt-windows.sh | tail -n 1)")
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset "$preset" "${options[@]}"
cmake --build "$build" -j"$jobs"
ctest --test-dir "$build" --output-on-failure -j"$jobs"
