#!/usr/bin/env bash
# A shop's export against the same reviews as a plain pair: accuracy on the
# test export, training time and peak memory, table / plain, measured in
# this one run. The exports are built by shop_export.py from the shared
# takeout corpus: GBK CSV, stars by a fixed rule, 3-star rows, commas,
# quotes and line breaks in the reviews.
#   bash bench/table_export.sh [shared-data-dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
data="${1:-$root/../shared/data}/takeout-reviews-zh"
[ -d "$data" ] || { echo "no corpus at $data" >&2; exit 1; }
build="$root/build-bench-table"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_APP=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target sentiment -j2 >/dev/null
tool="$build/worker/sentiment"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

train_rows=$(wc -l <"$data/train/labels.txt")
test_rows=$(wc -l <"$data/test/labels.txt")
export_of() { python3 "$root/bench/shop_export.py" "$data/$1/reviews.txt" "$data/$1/labels.txt" "$2" "$work" "$3" "${4:-gbk}"; }
export_of test "$test_rows" test
export_of train "$train_rows" train
export_of train 50000 train50k
# The same 50,000 rows in UTF-8, to tell the table reader's figures from
# the decoder's verdict on the GBK bytes.
export_of train 50000 train50k-utf8 utf-8

# Runs a command; prints "seconds peak-MB", or "refused" when it fails.
# Its output goes to $work/last.log.
measure() {
  sync
  if /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/last.log" 2>&1; then
    awk '{ printf "%s %.1f\n", $1, $2 / 1024 }' "$work/time"
  else
    echo "refused -"
  fi
}
accuracy() { sed -n 's/^accuracy: \([0-9.]*\).*/\1/p' "$work/last.log"; }

# One table against its plain pair, both judged on the test export.
compare() {
  local set=$1 memory=$2 rows ts tm ta ps pm pa left learner
  rows=$(grep -c . "$work/${set%-utf8}-labels.txt")
  read -r ts tm < <(measure "$tool" train --table "$work/$set.csv" --model "$work/t.model" --memory "$memory" --progress "$work/p")
  if [ "$ts" = refused ]; then
    echo "| $set ($rows reviews) | $memory MB | CSV refused: $(grep '^error:' "$work/last.log" | sed "s|$work/||" | cut -c1-200) | | | |"
    return
  fi
  left=$(sed -n 's/.*; \([0-9,]*\) rated 3 stars left out.*/\1/p' "$work/last.log")
  learner=$(sed -n 's/^trained \(.*\) within.*/\1/p' "$work/last.log")
  measure "$tool" eval --table "$work/test.csv" --model "$work/t.model" >/dev/null
  ta=$(accuracy)
  read -r ps pm < <(measure "$tool" train --reviews "$work/${set%-utf8}-reviews.txt" --labels "$work/${set%-utf8}-labels.txt" \
    --model "$work/p.model" --memory "$memory" --progress "$work/p")
  measure "$tool" eval --reviews "$work/test-reviews.txt" --labels "$work/test-labels.txt" --model "$work/p.model" >/dev/null
  pa=$(accuracy)
  echo "| $set ($rows reviews) | $memory MB, $learner | CSV, $left 3-star rows left out | $ts | $tm | $ta |"
  echo "| $set ($rows reviews) | $memory MB | plain pair | $ps | $pm | $pa |"
  awk -v a="$ts" -v b="$ps" -v c="$tm" -v d="$pm" -v e="$ta" -v f="$pa" \
    'BEGIN { printf "| | | table / plain | %.2f | %.2f | %+.2f pts |\n", a / b, c / d, (e - f) * 100 }'
}

echo "load average at the start: $(cut -d' ' -f1 /proc/loadavg)"
echo "test export: $test_rows reviews of takeout test/ and their 3-star rows, GBK CSV"
echo "| data | memory | input | train s | train peak MB | accuracy on the test export |"
echo "|---|---|---|---:|---:|---:|"
for set in train train50k train50k-utf8; do
  # 16 MB is below what streaming needs, so training streams within its least.
  for memory in 0 16; do compare "$set" "$memory"; done
done
echo "load average at the end: $(cut -d' ' -f1 /proc/loadavg)"
