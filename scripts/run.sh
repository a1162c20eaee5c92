#!/usr/bin/env bash
# Installs whatever is missing, builds the program and its workers, prepares the
# work directory workdir/ (worker scripts, the classifier, the sample reviews)
# and starts the program there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh run

# Its own build folder: the tests' build/ keeps its options and its objects.
build="$root/build-run"
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build "$build" -j"$jobs" --target qinggan sentiment

work="$root/workdir"
mkdir -p "$work"
# The classifier and the scripts are refreshed on every start; the user's own
# files and the trained model are left as they are.
install -m 755 "$build/worker/sentiment" "$work/sentiment"
install -m 755 worker/scripts/unix/emotion.bat worker/scripts/unix/test.bat "$work/"
for f in sample/*.txt; do
  [ -e "$work/$(basename "$f")" ] || cp "$f" "$work/"
done

# The exchange file "计数.txt" has a Chinese name and the texts are Chinese:
# without a UTF-8 locale Qt would mangle both.
case "$(locale charmap 2>/dev/null)" in
  UTF-8) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac

cd "$work"
exec "$build/app/qinggan-fenxi" "$@"
