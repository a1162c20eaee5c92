#!/bin/sh
# Peak memory of streamed training on many short reviews ("good 123" / "1")
# under --memory 64, for two workers in the same run: 5 M and 50 M lines,
# and 50 M lines again at the need the second worker names when it refuses.
# usage: bench/streamed_memory.sh BEFORE_WORKER AFTER_WORKER [LINES...]
set -eu
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
before=$(absolute "$1"); after=$(absolute "$2"); shift 2
[ $# -gt 0 ] || set -- 5000000 50000000
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

# run TOOL LINES MEMORY: "exit E, peak P MB, T s | what the tool said".
run() {
  rc=0
  (cd "$work" && /usr/bin/time -f '%M %e' -o "$work/time" "$1" train --reviews "r$2" --labels "l$2" \
    --memory "$3" --model m.model --progress p >"$work/out" 2>&1) || rc=$?
  set -- $(tail -1 "$work/time")
  printf 'exit %s, peak %5d MB, %7s s | %s\n' "$rc" $(($1 / 1024)) "$2" \
    "$(grep -E '^(trained|held|error)' "$work/out" | sed 's/needs about [0-9]* MB in memory, over the budget//' |
       tr '\n' ' ' | cut -c1-230)"
}

for lines in "$@"; do
  awk -v n="$lines" 'BEGIN { for (i = 0; i < n; i++) { if (i % 2) { print "good " i > "'"$work/r$lines"'"; print "1" > "'"$work/l$lines"'" }
                                                      else { print "bad " i > "'"$work/r$lines"'"; print "0" > "'"$work/l$lines"'" } } }'
  echo "== $lines lines, --memory 64"
  printf 'before: '; run "$before" "$lines" 64
  printf 'after:  '; run "$after" "$lines" 64
  need=$(sed -n 's/^error: --memory 64 is less than .* needs: at least \([0-9]*\) MB.*/\1/p' "$work/out")
  if [ -n "$need" ]; then
    echo "== $lines lines, --memory $need (what the refusal named)"
    printf 'after:  '; run "$after" "$lines" "$need"
  fi
  rm -f "$work/r$lines" "$work/l$lines"
done
