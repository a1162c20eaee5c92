#!/usr/bin/env bash
# Learning curve: accuracy on test/, training time and peak memory of our
# worker and its peers (fastText with default settings, LIBLINEAR logistic
# regression and LIBLINEAR NB-SVM on unigrams + bigrams) after training on
# the first 1k, 2k, 5k, 10k and 25k reviews of each shared data set (and on
# all of its train/ when it has fewer), plus the scale run (movie train/
# repeated; ours and fastText only, the python feature building of the
# LIBLINEAR peers would take longer than everything else), all tools interleaved in one run so that ratios share the load.
#
#   bash bench/learning_curve.sh [--sizes "1000 2000 5000 10000 25000"]
#                                [--sets "imdb-reviews-en movie-sentences-en takeout-reviews-zh"]
#                                [--no-scale] [--scale-repeat 200]
#
# BENCH_WORKER=/path/to/sentiment measures that binary instead of building
# one into build-bench/. Results: bench/out/curve.md (also printed) and the
# raw figures in bench/out/curve.tsv.
set -uo pipefail

SIZES="1000 2000 5000 10000 25000"
SETS="imdb-reviews-en movie-sentences-en takeout-reviews-zh"
SCALE=1
REPEAT=200
while [ $# -gt 0 ]; do
  case "$1" in
    --sizes) SIZES=${2:?}; shift ;;
    --sets) SETS=${2:?}; shift ;;
    --no-scale) SCALE=0 ;;
    --scale-repeat) REPEAT=${2:?}; shift ;;
    -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "learning_curve.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
  esac
  shift
done

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
DATA=$(realpath -m "${BENCH_DATA:-$ROOT/../shared/data}")
OUT=$HERE/out
mkdir -p "$OUT"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/sentiment-curve.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
trap 'exit 130' INT TERM
TSV=$OUT/curve.tsv   # set, reviews, tool, accuracy, train seconds, peak MB
: >"$TSV"
log() { printf '[curve %s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }

# The peers come from Debian through the project's installer.
need=()
command -v fasttext >/dev/null || need+=(fasttext)
command -v liblinear-train >/dev/null || need+=(liblinear-tools)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
  bash "$ROOT/scripts/install-deps.sh" "${need[@]}" >"$OUT/install.log" 2>&1 ||
    { echo "could not install ${need[*]} (see bench/out/install.log)" >&2; exit 1; }
fi
PY=$(command -v python3) || { echo "python3 is needed for the LIBLINEAR features" >&2; exit 1; }

if [ -n "${BENCH_WORKER:-}" ]; then
  SENT=$(realpath "$BENCH_WORKER")
else
  log "building our worker (Release) into build-bench/"
  cmake -S "$ROOT" -B "$ROOT/build-bench" -DCMAKE_BUILD_TYPE=Release -DBUILD_APP=OFF -DBUILD_TESTING=OFF \
    >"$OUT/curve-build.log" 2>&1 &&
    cmake --build "$ROOT/build-bench" -j2 --target sentiment >>"$OUT/curve-build.log" 2>&1 ||
    { echo "build failed (see bench/out/curve-build.log)" >&2; exit 1; }
  SENT=$ROOT/build-bench/worker/sentiment
fi

# measure NAME CMD...: wall seconds in M_WALL, peak resident MB in M_RSS.
measure() {
  local tf=$WORK/$1.time t0 t1; shift
  sync
  t0=$EPOCHREALTIME
  /usr/bin/time -v -o "$tf" "$@" >"$WORK/last.out" 2>"$WORK/last.err"
  local rc=$?
  t1=$EPOCHREALTIME
  M_WALL=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
  M_RSS=$(awk -F': ' '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }' "$tf")
  [ "$rc" -eq 0 ] || log "$* exited with $rc: $(tail -n 2 "$WORK/last.err" | tr '\n' ' ')"
  return "$rc"
}
# share of lines whose first word (a label) matches the labels file
agree() {
  awk 'NR == FNR { p[FNR] = $1; next } { n++; if (p[FNR] == $1) ok++ } END { printf "%.4f", n ? ok / n : 0 }' "$1" "$2"
}
rec() { printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$@" >>"$TSV"; }

# run_tools SET N TRAIN_REVIEWS TRAIN_LABELS TEST_DIR TEST_TOKENS [ours-and-fastText-only]
run_tools() {
  local set=$1 n=$2 tr=$3 tl=$4 te=$5 tt=$6 d=$WORK/run only=${7:-}
  rm -rf "$d"; mkdir -p "$d"
  if measure ours "$SENT" train --reviews "$tr" --labels "$tl" --model "$d/m.model" --progress "$d/p.txt"; then
    local acc
    acc=$("$SENT" eval --reviews "$te/reviews.txt" --labels "$te/labels.txt" --model "$d/m.model" |
      awk '/^accuracy:/ { print $2 }')
    rec "$set" "$n" ours "$acc" "$M_WALL" "$M_RSS"
    grep -E '^trained' "$WORK/last.out" | sed "s/^/  $set $n: /" >&2
  fi
  "$SENT" tokenize --input "$tr" >"$d/tr.tok"
  awk 'NR == FNR { l[FNR] = $1; next } { print "__label__" l[FNR] " " $0 }' "$tl" "$d/tr.tok" >"$d/tr.ft"
  if measure fasttext fasttext supervised -input "$d/tr.ft" -output "$d/ft" -verbose 0; then
    fasttext predict "$d/ft.bin" "$tt" | sed 's/^__label__//' >"$d/ft.pred"
    rec "$set" "$n" "fastText" "$(agree "$d/ft.pred" "$te/labels.txt")" "$M_WALL" "$M_RSS"
  fi
  [ -n "$only" ] && return 0
  # LIBLINEAR peers; their times include the python feature building.
  if measure lr bash -c '"$1" "$2/nbsvm.py" train-features "$3/tr.tok" "$4" "$3/lr.vocab" "$3/lr.svm" plain &&
                         liblinear-train -s 0 -c 1 -B 1 -q "$3/lr.svm" "$3/lr.model"' _ "$PY" "$HERE" "$d" "$tl"; then
    "$PY" "$HERE/nbsvm.py" test-features "$tt" "$te/labels.txt" "$d/lr.vocab" "$d/lr.test.svm" &&
      liblinear-predict -q "$d/lr.test.svm" "$d/lr.model" "$d/lr.pred" >/dev/null &&
      rec "$set" "$n" "LIBLINEAR LR" "$(sed 's/^1$/positive/; s/^-1$/negative/' "$d/lr.pred" | agree /dev/stdin "$te/labels.txt")" \
        "$M_WALL" "$M_RSS"
  fi
  if measure nbsvm bash -c '"$1" "$2/nbsvm.py" train-features "$3/tr.tok" "$4" "$3/nb.vocab" "$3/nb.svm" &&
                            liblinear-train -s 1 -c 1 -B 1 -q "$3/nb.svm" "$3/nb.raw" &&
                            "$1" "$2/nbsvm.py" interpolate "$3/nb.raw" "$3/nb.model"' _ "$PY" "$HERE" "$d" "$tl"; then
    "$PY" "$HERE/nbsvm.py" test-features "$tt" "$te/labels.txt" "$d/nb.vocab" "$d/nb.test.svm" &&
      liblinear-predict -q "$d/nb.test.svm" "$d/nb.model" "$d/nb.pred" >/dev/null &&
      rec "$set" "$n" "NB-SVM" "$(sed 's/^1$/positive/; s/^-1$/negative/' "$d/nb.pred" | agree /dev/stdin "$te/labels.txt")" \
        "$M_WALL" "$M_RSS"
  fi
}

LOAD_START=$(cut -d' ' -f1 /proc/loadavg)
for set in $SETS; do
  src=$DATA/$set
  [ -f "$src/train/reviews.txt" ] && [ -f "$src/test/labels.txt" ] || { log "no $src; skipped"; continue; }
  rows=$(wc -l <"$src/train/labels.txt")
  "$SENT" tokenize --input "$src/test/reviews.txt" >"$WORK/test.tok"
  sizes=""
  for n in $SIZES; do [ "$n" -lt "$rows" ] && sizes="$sizes $n"; done
  sizes="$sizes $rows"
  for n in $sizes; do
    log "$set: first $n reviews"
    head -n "$n" "$src/train/reviews.txt" >"$WORK/tr.txt"
    head -n "$n" "$src/train/labels.txt" >"$WORK/tl.txt"
    run_tools "$set" "$n" "$WORK/tr.txt" "$WORK/tl.txt" "$src/test" "$WORK/test.tok"
  done
done

if [ "$SCALE" = 1 ] && [ -f "$DATA/movie-sentences-en/train/reviews.txt" ]; then
  m=$DATA/movie-sentences-en
  log "scale run: movie-sentences-en/train x $REPEAT"
  for _ in $(seq "$REPEAT"); do cat "$m/train/reviews.txt"; done >"$WORK/tr.txt"
  for _ in $(seq "$REPEAT"); do cat "$m/train/labels.txt"; done >"$WORK/tl.txt"
  "$SENT" tokenize --input "$m/test/reviews.txt" >"$WORK/test.tok"
  run_tools "scale (movie x $REPEAT)" "$(wc -l <"$WORK/tl.txt")" "$WORK/tr.txt" "$WORK/tl.txt" "$m/test" "$WORK/test.tok" \
    ours-and-fastText-only
fi
LOAD_END=$(cut -d' ' -f1 /proc/loadavg)

{
  echo "Learning curve, $(date -u '+%Y-%m-%d %H:%M UTC'); $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo);"
  echo "worker at commit $(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo '?'); load average $LOAD_START at the start, $LOAD_END at the end."
  echo
  echo "| set | reviews | ours | fastText | LIBLINEAR LR | NB-SVM | ours / fastText time |"
  echo "|---|---:|---|---|---|---|---:|"
  awk -F'\t' '
    { key = $1 SUBSEP $2; if (!(key in seen)) { seen[key] = 1; order[++k] = key }
      cell[key, $3] = sprintf("%.2f %% %.1f s %d MB", 100 * $4, $5, $6); t[key, $3] = $5 }
    END { for (i = 1; i <= k; i++) { split(order[i], p, SUBSEP); key = order[i]
            r = (t[key, "fastText"] > 0 && t[key, "ours"] > 0) ? sprintf("%.2f", t[key, "ours"] / t[key, "fastText"]) : "";
            printf "| %s | %s | %s | %s | %s | %s | %s |\n", p[1], p[2], cell[key, "ours"], cell[key, "fastText"],
                   cell[key, "LIBLINEAR LR"], cell[key, "NB-SVM"], r } }' "$TSV"
  echo
  echo "Each cell: accuracy on test/, training wall time, peak resident memory. Peers read text"
  echo "tokenised by our worker; LIBLINEAR times include the python feature building."
  # Our curve must not fall as reviews are added.
  awk -F'\t' '$3 == "ours" { if ($1 == last && prev - $4 > 0.005) printf "DROP: %s from %s to %s reviews: %.2f -> %.2f %%\n", $1, pn, $2, 100 * prev, 100 * $4;
                             last = $1; prev = $4; pn = $2 }' "$TSV"
} | tee "$OUT/curve.md"
