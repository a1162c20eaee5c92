#!/usr/bin/env bash
# Builds the whole program for Windows on Debian and packages it: Qt for
# Windows from Debian's own source (once, cached outside the clone; see
# scripts/build-qt-windows.sh), then the window, its launcher, sentiment.exe
# and the batch files with mingw-w64, then the NSIS installer and a zip:
#
#   bash scripts/windows.sh [--tests] [BUILD_DIR]
#
# leaves BUILD_DIR/qinggan-fenxi-<version>-win64.exe and .zip (BUILD_DIR is
# build-windows by default). With --tests the window's QtTest suites and the
# worker's decoder suites are built too, to be run under wine.
set -euo pipefail
cd "$(dirname "$0")/.."

tests=OFF
if [ "${1:-}" = "--tests" ]; then
  tests=ON
  shift
fi
build=${1:-build-windows}

bash scripts/install-deps.sh test windows
qt=$(bash scripts/build-qt-windows.sh | tail -n 1)

jobs=$(nproc 2>/dev/null || echo 2)
QT_WINDOWS_PREFIX="$qt" cmake --preset windows -B "$build" -DBUILD_TESTING="$tests" >/dev/null
cmake --build "$build" -j"$jobs"
(cd "$build" && cpack -B "$(pwd)" >/dev/null)
ls "$build"/qinggan-fenxi-*-win64.exe "$build"/qinggan-fenxi-*-win64.zip
