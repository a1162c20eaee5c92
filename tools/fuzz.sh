#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ (into build-fuzz/), replays the saved
# regression inputs, then fuzzes each target for a bounded time on a scratch
# copy of its seed corpus and prints a summary.
#
#   tools/fuzz.sh [seconds-per-target]     (default 90)
#
# Environment: FUZZ_TARGETS="fuzz_decoder ..." to run only some targets;
# FUZZ_JOBS for the build (default 2).
# Exits non-zero if a regression input fails or fuzzing finds a crash, leak,
# timeout or out-of-memory; the reproducer's path is printed.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-90}"
case "$seconds" in ''|*[!0-9]*) echo "usage: $0 [seconds-per-target]" >&2; exit 2 ;; esac
build="$root/build-fuzz"
jobs="${FUZZ_JOBS:-2}"
targets=(${FUZZ_TARGETS:-fuzz_decoder fuzz_dataset fuzz_tokenizer fuzz_model_loader})

# ---- tools -----------------------------------------------------------------
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

fuzzer_links() {
  command -v clang++ >/dev/null || return 1
  printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
    >"$scratch/probe.cpp"
  clang++ -fsanitize=fuzzer,address,undefined "$scratch/probe.cpp" -o "$scratch/probe" 2>/dev/null
}

missing=()
fuzzer_links || missing+=(clang libclang-rt-14-dev)
# The installer also brings cmake and the headers the worker library needs.
bash "$root/scripts/install-deps.sh" "${missing[@]}"
if [ ${#missing[@]} -gt 0 ]; then
  fuzzer_links || { echo "clang still cannot link a libFuzzer target" >&2; exit 1; }
fi

# ---- build -----------------------------------------------------------------
# A build-fuzz/ configured from fuzz/ alone, as it once was, is made afresh.
if grep -qs '^CMAKE_HOME_DIRECTORY:INTERNAL=.*/fuzz$' "$build/CMakeCache.txt"; then rm -rf "$build"; fi
generator=()
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
(cd "$root" && cmake --preset fuzz "${generator[@]}") >"$build.configure.log" 2>&1 ||
  { cat "$build.configure.log" >&2; exit 1; }
rm -f "$build.configure.log"
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

# Limits: the model loader must never ask for much more than a full table
# (2^24 floats = 64 MiB), whatever file it is given.
fuzz_flags() {
  local t="$1"
  local flags=(-timeout=10 -print_final_stats=1)
  if [ "$t" = fuzz_model_loader ]; then
    flags+=(-rss_limit_mb=512 -malloc_limit_mb=256)
  else
    flags+=(-rss_limit_mb=2048)
  fi
  [ -f "$root/fuzz/dicts/$t.dict" ] && flags+=("-dict=$root/fuzz/dicts/$t.dict")
  printf '%s\n' "${flags[@]}"
}
# A smaller quarantine keeps ASan's own hold on freed 64 MiB tables from
# counting against the RSS limit; it does not hide use-after-free of recent blocks.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

status=0
findings=()

# Prints a log from the first report of trouble on: the check that failed, the stack.
trouble() {
  awk '/==FUZZ_CHECK==|ERROR: |runtime error:|WARNING: / {on=1} on && !/^INFO:/' "$1" | head -80
}

# ---- regressions -----------------------------------------------------------
echo
echo "== Replaying fuzz/regressions/"
for t in "${targets[@]}"; do
  dir="$root/fuzz/regressions/$t"
  if [ ! -d "$dir" ]; then printf '%-18s   0 inputs\n' "$t"; continue; fi
  mapfile -t flags < <(fuzz_flags "$t")
  n=0; bad=0
  while IFS= read -r -d '' f; do
    n=$((n + 1))
    if ! "$build/fuzz/$t" "${flags[@]}" -runs=1 "$f" >"$scratch/replay.log" 2>&1; then
      bad=$((bad + 1)); status=1
      findings+=("$t: regression input fails: $f")
      echo "--- $t FAILS on $f:"; trouble "$scratch/replay.log"
    fi
  done < <(find "$dir" -type f ! -name '.*' ! -name '*.md' -print0 | sort -z)
  printf '%-18s %3d inputs, %d failing\n' "$t" "$n" "$bad"
done

# ---- fuzzing ---------------------------------------------------------------
echo
echo "== Fuzzing each target for ${seconds}s (logs and findings in build-fuzz/runs/<target>/)"
rows=()
for t in "${targets[@]}"; do
  run="$build/runs/$t"
  rm -rf "$run"
  mkdir -p "$run/corpus" "$run/artifacts"
  [ -d "$root/fuzz/corpus/$t" ] && cp -r "$root/fuzz/corpus/$t/." "$run/corpus/"
  mapfile -t flags < <(fuzz_flags "$t")
  echo "-- $t"
  rc=0
  started=$SECONDS
  "$build/fuzz/$t" "${flags[@]}" -max_total_time="$seconds" -artifact_prefix="$run/artifacts/" \
    "$run/corpus" >"$run/log.txt" 2>&1 || rc=$?

  took=$((SECONDS - started))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/log.txt" | tail -1)
  [ -n "$execs" ] || execs=$(grep -o '^#[0-9]*' "$run/log.txt" | tail -1 | tr -d '#')
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$run/log.txt" | tail -1)
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$run/log.txt" | tail -1)
  last=$(grep -E '^#[0-9]+' "$run/log.txt" | grep 'cov:' | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  files=$(find "$run/corpus" -type f | wc -l)
  kb=$(( ($(du -sb "$run/corpus" | cut -f1) + 1023) / 1024 ))
  mapfile -t found < <(find "$run/artifacts" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
    -o -name 'oom-*' -o -name 'malloc-*' \) | sort)
  if [ "$rc" -ne 0 ] || [ ${#found[@]} -gt 0 ]; then
    status=1
    if [ ${#found[@]} -eq 0 ]; then
      findings+=("$t: fuzzer exited with $rc, no reproducer written; see $run/log.txt")
    fi
    for f in "${found[@]}"; do
      findings+=("$t: $(basename "$f" | cut -d- -f1) -> $f")
    done
    trouble "$run/log.txt"
  fi
  rows+=("$(printf '%-18s %5s %10s %8s %6s %7s %7s %8s %6s %8s' "$t" "${took}s" "${execs:-?}" "${speed:-?}" "${cov:-?}" \
    "${ft:-?}" "$files" "${kb}K" "${rss:-?}M" "${#found[@]}")")
done

echo
echo "== Summary (${seconds}s per target)"
printf '%-18s %5s %10s %8s %6s %7s %7s %8s %6s %8s\n' target time runs exec/s cov ft corpus size rss crashes
printf '%s\n' "${rows[@]}"
if [ ${#findings[@]} -gt 0 ]; then
  echo
  echo "== Findings"
  printf '  %s\n' "${findings[@]}"
  echo "Reproduce with: build-fuzz/fuzz/<target> <reproducer>; keep it as fuzz/regressions/<target>/<name> once understood."
fi
exit "$status"
