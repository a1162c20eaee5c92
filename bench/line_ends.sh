#!/usr/bin/env bash
# Reading lines that end in CR alone (old Mac files, some spreadsheet
# exports) against LF, in this version of the worker and an earlier one,
# side by side in one run.
#
#   bash bench/line_ends.sh [--base REV] [--lines N]
#
# REV defaults to where this branch left main; N (default 2,000,000) lines
# of about 50 bytes are tokenized with each line end, and a 200 MB file of
# label words ending in CR is read through. Runs over BENCH_LIMIT seconds
# (default 120) are cut and shown as ">120".
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/worker_builds.sh"
base=$(git -C "$WB_ROOT" merge-base HEAD main)
lines=2000000
while [ $# -gt 0 ]; do
  case "$1" in
    --base) base=${2:?--base needs a commit}; shift ;;
    --lines) lines=${2:?--lines needs a number}; shift ;;
    *) echo "line_ends.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
worker_now
worker_at "$base"
work=$(mktemp -d -t line-ends.XXXXXX)
trap 'rm -rf "$work"' EXIT

awk -v n="$lines" 'BEGIN { for (i = 0; i < n; i++) printf "review %d says the food was good and came in time\n", i }' >"$work/lf.txt"
tr '\n' '\r' <"$work/lf.txt" >"$work/cr.txt"
awk 'BEGIN { while (bytes < 200 * 1048576) { printf "positive\rnegative\r"; bytes += 18 } }' >"$work/labels-cr.txt"

printf '%-40s %12s %12s %8s\n' "input (tokenize)" "before (s)" "now (s)" "ratio"
for f in lf cr labels-cr; do
  b=$(seconds "$WORKER_BASE" tokenize --input "$work/$f.txt")
  n=$(seconds "$WORKER_NOW" tokenize --input "$work/$f.txt")
  r=$(ratio "${b#>}" "$n"); [ "${b:0:1}" = ">" ] && r=">$r"
  printf '%-40s %12s %12s %8s\n' "$f ($(( $(stat -c %s "$work/$f.txt") >> 20 )) MB)" "$b" "$n" "$r"
done
