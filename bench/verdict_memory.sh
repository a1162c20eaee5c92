#!/usr/bin/env bash
# Peak memory of `sentiment test` as its input grows, for this tree and an
# earlier revision built side by side and measured in the same run: the
# verdicts are written as they are made, so memory should not grow with the
# input.
#
#   bash bench/verdict_memory.sh [BASE_REV] [SIZES_MB]
#
# BASE_REV defaults to main; SIZES_MB to "30 300". Needs GNU time
# (scripts/install-deps.sh time). The trees are built in build-bench-memory/
# (this one) and bench/out/verdict-memory-base/ (the earlier one, from
# `git archive`); inputs live in a temporary directory removed at the end.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
base_rev="${1:-main}"
sizes="${2:-30 300}"

bash scripts/install-deps.sh time >/dev/null
build_tool() {  # build_tool SOURCE_DIR BUILD_DIR
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DBUILD_APP=OFF -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$2" -j2 --target sentiment >/dev/null
}
echo "building this tree and $base_rev ($(git rev-parse --short "$base_rev"))..." >&2
build_tool "$root" "$root/build-bench-memory"
base_src="$root/bench/out/verdict-memory-base"
rm -rf "$base_src/src" && mkdir -p "$base_src/src"
git archive "$base_rev" | tar -x -C "$base_src/src"
build_tool "$base_src/src" "$base_src/build"
after="$root/build-bench-memory/worker/sentiment"
before="$base_src/build/worker/sentiment"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp sample/sample-reviews.txt "$work/reviews.txt"
cp sample/sample-labels.txt "$work/labels.txt"
(cd "$work" && "$after" train >/dev/null)

# peak_mb TOOL ARGS... : the run's peak resident memory in MB.
peak_mb() {
  local tool=$1; shift
  (cd "$work" && /usr/bin/time -f %M -o "$work/peak" "$tool" test "$@" --out out.txt --percent percent.txt \
    >/dev/null 2>"$work/err") || { cat "$work/err" >&2; exit 1; }
  awk '{ printf "%.0f", $1 / 1024 }' "$work/peak"
}

printf '%-9s %-12s %10s %10s %8s\n' input "read from" "before MB" "after MB" ratio
for mb in $sizes; do
  # Sample reviews repeated up to the size: ordinary lines, Chinese and English.
  : >"$work/test.txt"
  while [ "$(stat -c %s "$work/test.txt")" -lt $((mb << 20)) ]; do
    cat "$work/reviews.txt" "$work/reviews.txt" "$work/reviews.txt" "$work/reviews.txt" >>"$work/test.txt"
  done
  b=$(peak_mb "$before" --input test.txt)
  a=$(peak_mb "$after" --input test.txt)
  lines=$(wc -l <"$work/out.txt")
  printf '%-9s %-12s %10s %10s %8s\n' "${mb} MB" file "$b" "$a" "$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f", a / b }')"
  p=$(peak_mb "$after" --input - <"$work/test.txt")
  [ "$(wc -l <"$work/out.txt")" -eq "$lines" ] || { echo "stdin run judged another number of lines" >&2; exit 1; }
  printf '%-9s %-12s %10s %10s %8s\n' "${mb} MB" "stdin (-)" "-" "$p" "-"
done
echo "(ratio: after / before; peak resident memory from GNU time, $(nproc) cores, $(date -u +%F))"
