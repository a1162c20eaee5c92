#!/usr/bin/env bash
# Installs whatever is missing, builds the program and its workers, installs
# them into build-run/stage and starts the program as its menu entry does: the
# launcher prepares the work directory, here workdir/ (worker scripts, the
# classifier, the sample reviews), and starts the window there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh run

# Its own build folder: the tests' build/ keeps its options and its objects.
build="$root/build-run"
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset run
cmake --build "$build" -j"$jobs"
cmake --install "$build" --prefix "$build/stage" >/dev/null

# The user's own files and the trained model in workdir/ are left as they
# are; the scripts and the link to the classifier are refreshed.
QINGGAN_FENXI_WORKDIR="$root/workdir" exec "$build/stage/bin/qinggan-fenxi" "$@"
