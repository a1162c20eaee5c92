# Sourced by the benchmarks that set this version of the worker against an
# earlier one in the same run, so that the ratios they print are measured
# under the same machine load.
#
#   worker_now            builds the working tree's worker; sets WORKER_NOW
#   worker_at REV         builds the worker of commit REV; sets WORKER_BASE
#
# BENCH_WORKER and BENCH_BASE_WORKER name ready binaries instead. Builds go
# to build-bench/ and build-bench-REV/ below the project, which later runs
# reuse.
WB_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

wb_build() {  # wb_build SOURCE_DIR BUILD_DIR LOG
  { cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DBUILD_APP=OFF -DBUILD_TESTING=OFF &&
    cmake --build "$2" -j2 --target sentiment; } >"$3" 2>&1 ||
    { echo "build in $2 failed; see $3" >&2; return 1; }
}

worker_now() {
  if [ -n "${BENCH_WORKER:-}" ]; then WORKER_NOW=$(realpath "$BENCH_WORKER"); return; fi
  wb_build "$WB_ROOT" "$WB_ROOT/build-bench" "$WB_ROOT/build-bench.log" || return 1
  WORKER_NOW=$WB_ROOT/build-bench/worker/sentiment
}

worker_at() {
  if [ -n "${BENCH_BASE_WORKER:-}" ]; then WORKER_BASE=$(realpath "$BENCH_BASE_WORKER"); return; fi
  local rev src
  rev=$(git -C "$WB_ROOT" rev-parse --short "$1") || return 1
  src=$WB_ROOT/build-bench-$rev/src
  if [ ! -x "$WB_ROOT/build-bench-$rev/worker/sentiment" ]; then
    rm -rf "$src" && mkdir -p "$src"
    git -C "$WB_ROOT" archive "$rev" | tar -x -C "$src" || return 1
    wb_build "$src" "$WB_ROOT/build-bench-$rev" "$WB_ROOT/build-bench-$rev.log" || return 1
  fi
  WORKER_BASE=$WB_ROOT/build-bench-$rev/worker/sentiment
}

# seconds CMD... : wall-clock seconds of CMD (its output dropped), or
# ">LIMIT" when it had not finished after BENCH_LIMIT seconds (default 120).
seconds() {
  local limit=${BENCH_LIMIT:-120} t0 rc=0
  t0=$EPOCHREALTIME
  timeout "$limit" "$@" >/dev/null 2>&1 || rc=$?
  if [ "$rc" -eq 124 ]; then echo ">$limit"; return; fi
  [ "$rc" -eq 0 ] || { echo "failed($rc)"; return; }
  awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }'
}

# ratio A B : A / B with two decimals, or "-" when either is not a number.
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 == 0 || b + 0 == 0 || a ~ /[^0-9.]/ || b ~ /[^0-9.]/) print "-"; else printf "%.2f", a / b }'
}
