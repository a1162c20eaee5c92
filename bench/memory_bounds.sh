#!/bin/sh
# Peak memory, time and the printed lines of two workers on the same runs:
# the shipped sample at --memory 1 and under `ulimit -v`, and the 200 MB
# training file of bench/reliability.sh (the sample repeated) at the
# default budget and at --memory 128.
# usage: bench/memory_bounds.sh BEFORE_WORKER AFTER_WORKER
set -eu
before=$1; after=$2
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sample" "$work/big"
cp "$root/sample/sample-reviews.txt" "$work/sample/reviews.txt"
cp "$root/sample/sample-labels.txt" "$work/sample/labels.txt"
for _ in $(seq 60); do cat "$work/sample/reviews.txt"; done >"$work/r60"
for _ in $(seq 60); do cat "$work/sample/labels.txt"; done >"$work/l60"
: >"$work/big/reviews.txt"; : >"$work/big/labels.txt"
while [ "$(stat -c %s "$work/big/reviews.txt")" -lt $((200 * 1024 * 1024)) ]; do
  cat "$work/r60" "$work/r60" "$work/r60" "$work/r60" >>"$work/big/reviews.txt"
  cat "$work/l60" "$work/l60" "$work/l60" "$work/l60" >>"$work/big/labels.txt"
done

# run NAME DIR LIMIT_KB TOOL ARGS...: one line of figures and the tool's own.
run() {
  name=$1; dir=$2; limit=$3; tool=$4; shift 4
  rc=0
  (cd "$dir" && /usr/bin/time -f '%M %e' -o "$work/time" sh -c "ulimit -v $limit; exec \"\$0\" \"\$@\"" \
    "$tool" train "$@" >"$work/out" 2>&1) || rc=$?
  set -- $(cat "$work/time" | tail -1)
  printf '%-34s exit %s, peak %6d MB, %7s s | %s\n' "$name" "$rc" $(($1 / 1024)) "$2" \
    "$(grep -E '^(trained|cross|held|no accuracy|error)' "$work/out" | tr '\n' ' ' | cut -c1-200)"
}

for label in before after; do
  eval tool=\$$label
  echo "== $label: $tool"
  run "sample, --memory 1" "$work/sample" unlimited "$tool" --memory 1
  run "sample, ulimit -v 300 MB" "$work/sample" 307200 "$tool"
  run "200 MB file, default" "$work/big" unlimited "$tool"
  run "200 MB file, --memory 128" "$work/big" unlimited "$tool" --memory 128
done
