#!/usr/bin/env bash
# Import into the test box: time to show the text and peak memory, for the
# window's import ("new") against the previous QTextStream reading ("old"),
# each file in a fresh process.
#
#   bash bench/import.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench-import"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" -j2 --target import_bench >/dev/null
bench="$build/tests/app/import_bench"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Sentences of about 40 bytes, Chinese and English mixed.
python3 - "$work" <<'PY'
import sys, os
d = sys.argv[1]
line = "这家店的菜很好吃，服务也不错 good food\n".encode()
def write(name, data):
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)
write("empty.txt", b"")
write("lines-1mb.txt", line * (1024 * 1024 // len(line)))
write("lines-4mb.txt", line * (4 * 1024 * 1024 // len(line) - 1))
write("one-line-10mb.txt", b"a" * (10 * 1024 * 1024))
words = b"good food is good "
write("one-line-250kb.txt", words * (250 * 1024 // len(words)))
write("lines-250kb-x16.txt", (words * (250 * 1024 // len(words)) + b"\n") * 16)
PY
export QT_QPA_PLATFORM=offscreen
# The old reading of one 10 MB line took over two minutes here; each run is
# cut off after 60 s.
for file in empty lines-1mb lines-4mb one-line-250kb lines-250kb-x16 one-line-10mb; do
  echo "== $file.txt ($(stat -c %s "$work/$file.txt") bytes)"
  for mode in new old; do
    timeout 60 "$bench" "$mode" "$work/$file.txt" 2>/dev/null || echo "$mode  over 60 s"
  done
done
