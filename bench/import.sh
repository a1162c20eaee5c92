#!/usr/bin/env bash
# The window's text boxes with large texts: how long the window is busy, the
# longest time it answers no event, and peak memory, before and after the
# import limits and the gradual display of out.txt, each file in a fresh
# process, in the same run.
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

# Sentences of about 40 bytes, Chinese and English mixed; verdict lines as
# the worker writes them; one-letter lines; long lines of words and of
# Chinese.
python3 - "$work" <<'PY'
import sys, os
d = sys.argv[1]
line = "这家店的菜很好吃，服务也不错 good food\n".encode()
verdict = "好评\t0.9876\t这家店的菜很好吃，服务也不错 good food\n".encode()
words = b"good food is good "
zh = "很好吃".encode()
def write(name, data):
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)
write("sentences-5000.txt", line * 5000)
write("short-lines-10000.txt", "好\n".encode() * 10000)
write("sentences-4mb.txt", line * (4 * 1024 * 1024 // len(line) - 1))
write("a-lines-500k.txt", b"a\n" * 500000)
write("words-250kb.txt", words * (250 * 1024 // len(words)))
write("chinese-2x190kb.txt", (zh * (190 * 1024 // len(zh)) + b"\n") * 2)
write("words-250kb-x16.txt", (words * (250 * 1024 // len(words)) + b"\n") * 16)
write("out-10k.txt", verdict * 10000)
write("out-200k.txt", verdict * 200000)
write("out-a-500k.txt", b"a\n" * 500000)
PY
export QT_QPA_PLATFORM=offscreen
# A run is cut off after 60 s: the previous import of 500,000 one-letter
# lines took over 24 minutes.
run() {
  local what=$1 file=$2
  echo "== $what $file.txt ($(stat -c %s "$work/$file.txt") bytes)"
  for mode in before after; do
    timeout 60 "$bench" "$what" "$mode" "$work/$file.txt" 2>/dev/null || echo "$mode  over 60 s"
  done
}
for file in sentences-5000 short-lines-10000 words-250kb chinese-2x190kb sentences-4mb words-250kb-x16 \
            a-lines-500k; do
  run import "$file"
done
for file in out-10k out-200k out-a-500k; do
  run output "$file"
done
