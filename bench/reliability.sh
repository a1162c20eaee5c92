#!/usr/bin/env bash
# Reliability report: how many bad inputs were tried, how many faults were
# injected, and what came of them (crashes, hangs, data lost).
#
#   bash bench/reliability.sh [fuzz-seconds-per-target]   (default 60)
#
# 1. the fault tests of the suite (window and worker, label "fault");
# 2. a kill storm: training runs of the real worker killed with SIGKILL at
#    random moments, each followed by a check that the model still loads and
#    is either the previous one or a complete new one;
# 3. a 200 MB reviews file (bounded memory or a clear refusal);
# 4. the libFuzzer targets (tools/fuzz.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
fuzz_seconds="${1:-60}"
kills="${KILLS:-30}"

bash scripts/install-deps.sh time
build="$root/build-reliability"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
tool="$build/worker/sentiment"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

crashes=0; hangs=0; lost=0

echo "== 1. Fault tests (ctest -L fault)"
ctest_log="$work/ctest.log"
ctest --test-dir "$build" -L fault --timeout 600 >"$ctest_log" 2>&1 || true
fault_tests=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2/p' "$ctest_log")
fault_failed=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1/p' "$ctest_log")
grep -E "tests passed|Failed|Timeout" "$ctest_log" || true
hangs=$((hangs + $(grep -c "\*\*\*Timeout" "$ctest_log" || true)))
crashes=$((crashes + $(grep -cE "SEGFAULT|Subprocess aborted|Exception" "$ctest_log" || true)))

echo
echo "== 2. Kill storm: $kills training runs killed at random moments"
# Training data large enough that a kill can land anywhere in a run.
for _ in $(seq 60); do cat sample/sample-reviews.txt; done >"$work/reviews.txt"
for _ in $(seq 60); do cat sample/sample-labels.txt; done >"$work/labels.txt"
printf 'good film\n很好吃\nterrible service\n' >"$work/test.txt"
# A model records when it was trained; a fixed clock makes every finished
# run write the same bytes, so that a changed model means a damaged one.
export SOURCE_DATE_EPOCH=1765000000
(cd "$work" && "$tool" train >/dev/null 2>&1)
cp "$work/sentiment.model" "$work/good.model"
start=$(date +%s%N)
(cd "$work" && "$tool" train >/dev/null 2>&1)
run_ms=$(( ($(date +%s%N) - start) / 1000000 ))
killed=0; finished=0
RANDOM=20261207
for i in $(seq "$kills"); do
  (cd "$work" && exec "$tool" train >/dev/null 2>&1) &
  pid=$!
  delay_ms=$((RANDOM % (run_ms + 50)))
  sleep "$(awk -v ms="$delay_ms" 'BEGIN { print ms / 1000 }')"
  kill -9 "$pid" 2>/dev/null || true
  # A run that had already exited reports its own status, not the signal.
  rc=0; wait "$pid" 2>/dev/null || rc=$?
  if [ "$rc" -eq 137 ]; then killed=$((killed + 1)); else finished=$((finished + 1)); fi
  # Same data and seed: a finished run writes the same model; a killed one
  # must leave the previous model untouched.
  if ! cmp -s "$work/sentiment.model" "$work/good.model"; then
    lost=$((lost + 1)); echo "run $i: model changed after kill"
  fi
  if ! (cd "$work" && "$tool" test >/dev/null 2>&1); then
    lost=$((lost + 1)); echo "run $i: model unusable after kill"
  fi
done
echo "one run takes ${run_ms} ms; killed mid-run: $killed, finished before the kill: $finished"
unset SOURCE_DATE_EPOCH

echo
echo "== 3. A 200 MB reviews file"
big="$work/big"; mkdir -p "$big"
: >"$big/reviews.txt"; : >"$big/labels.txt"
while [ "$(stat -c %s "$big/reviews.txt")" -lt $((200 * 1024 * 1024)) ]; do
  cat "$work/reviews.txt" "$work/reviews.txt" "$work/reviews.txt" "$work/reviews.txt" >>"$big/reviews.txt"
  cat "$work/labels.txt" "$work/labels.txt" "$work/labels.txt" "$work/labels.txt" >>"$big/labels.txt"
done
big_mb=$(( $(stat -c %s "$big/reviews.txt") / 1024 / 1024 ))
big_rc=0
(cd "$big" && timeout 1200 /usr/bin/time -v "$tool" train >"$big/out.log" 2>"$big/time.log") || big_rc=$?
big_rss=$(( $(sed -n 's/.*Maximum resident set size (kbytes): //p' "$big/time.log") / 1024 ))
big_s=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$big/time.log")
[ "$big_rc" -eq 124 ] && hangs=$((hangs + 1))
[ "$big_rc" -gt 128 ] && crashes=$((crashes + 1))
echo "${big_mb} MB: exit $big_rc, ${big_s} wall, peak ${big_rss} MB"

echo
echo "== 4. Fuzzing, ${fuzz_seconds}s per target"
fuzz_log="$work/fuzz.log"
fuzz_rc=0
bash tools/fuzz.sh "$fuzz_seconds" >"$fuzz_log" 2>&1 || fuzz_rc=$?
sed -n '/== Summary/,$p' "$fuzz_log"
fuzz_runs=$(awk '/== Summary/ {on=1; next} on && /^fuzz_/ {s += $3} END {print s + 0}' "$fuzz_log")
fuzz_found=$(awk '/== Summary/ {on=1; next} on && /^fuzz_/ {s += $10} END {print s + 0}' "$fuzz_log")
crashes=$((crashes + fuzz_found))
# A fuzz script that fails with no finding did not fuzz (a target that no
# longer builds, say): that is no pass.
fuzz_note=""
if [ "$fuzz_rc" -ne 0 ] && [ "$fuzz_found" -eq 0 ]; then
  fuzz_note=" (fuzz script failed with exit $fuzz_rc; the end of its log is above)"
  tail -n 20 "$fuzz_log"
fi

echo
echo "== Reliability report ($(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores)"
printf '%-44s %s\n' "bad inputs tried (fuzzing)" "$fuzz_runs$fuzz_note"
printf '%-44s %s\n' "hostile files and fault tests run" "${fault_tests:-0} (failed: ${fault_failed:-?})"
printf '%-44s %s\n' "workers killed mid-training (SIGKILL)" "$killed of $kills"
printf '%-44s %s\n' "200 MB training file" "exit $big_rc, peak ${big_rss} MB"
printf '%-44s %s\n' "crashes" "$crashes"
printf '%-44s %s\n' "hangs" "$hangs"
printf '%-44s %s\n' "data lost (model changed or unusable)" "$lost"
[ "$crashes" -eq 0 ] && [ "$hangs" -eq 0 ] && [ "$lost" -eq 0 ] && [ "${fault_failed:-1}" -eq 0 ] && [ -z "$fuzz_note" ]
