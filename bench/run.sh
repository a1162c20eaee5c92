#!/usr/bin/env bash
# Side-by-side benchmark of our `sentiment` worker against the established
# peers, fastText and LIBLINEAR NB-SVM, on the shared data sets, in one run so
# that the ratios are measured under the same machine load.
#
#   bash bench/run.sh            full run: 5 timed runs per tool + scale run
#   bash bench/run.sh --quick    1 run per tool, no scale run (development)
#
# Options: --runs N, --no-scale, --scale-repeat N (default 200), --keep
# (keep the temp work dir). BENCH_WORKER=/path/to/sentiment skips the build
# and measures that binary. BENCH_DATA overrides the data dir (default
# ../shared/data relative to the repo root). Results: bench/out/results.md
# (also printed), raw figures in bench/out/results.tsv, notes on anything odd
# the run saw in bench/out/issues.txt.
set -uo pipefail

RUNS=5
SCALE=1
REPEAT=200
KEEP=0
BETA=0.25   # NB-SVM interpolation (Wang & Manning 2012)
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) RUNS=1; SCALE=0 ;;
    --runs) RUNS=${2:?--runs needs a number}; shift ;;
    --no-scale) SCALE=0 ;;
    --scale) SCALE=1 ;;
    --scale-repeat) REPEAT=${2:?--scale-repeat needs a number}; shift ;;
    --keep) KEEP=1 ;;
    -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
  esac
  shift
done

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
DATA=$(realpath -m "${BENCH_DATA:-$ROOT/../shared/data}")
OUT=$HERE/out
BUILD=$ROOT/build-bench
mkdir -p "$OUT"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/sentiment-bench.XXXXXX")
mkdir -p "$WORK/logs"
cleanup() { if [ "$KEEP" = 1 ]; then echo "work files kept in $WORK" >&2; else rm -rf "$WORK"; fi; }
trap cleanup EXIT
trap 'exit 130' INT TERM

RES=$OUT/results.tsv      # set, tool, run, metric, value
ISSUES=$OUT/issues.txt
: >"$RES"
: >"$ISSUES"

log() { printf '[bench %s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
issue() { log "ISSUE: $*"; printf '%s\n' "$*" >>"$ISSUES"; }
rec() { printf '%s\t%s\t%s\t%s\t%s\n' "$@" >>"$RES"; }

# --------------------------------------------------------------- setup ----
install_peers() {
  local need=()
  command -v fasttext >/dev/null || need+=(fasttext)
  command -v liblinear-train >/dev/null && command -v liblinear-predict >/dev/null || need+=(liblinear-tools)
  [ -x /usr/bin/time ] || need+=(time)
  # The project's installer also brings what the worker's build needs.
  bash "$ROOT/scripts/install-deps.sh" "${need[@]}" >"$OUT/install.log" 2>&1 ||
    { echo "could not install ${need[*]} (see bench/out/install.log)" >&2; exit 1; }
}

SENT=""
build_worker() {
  if [ -n "${BENCH_WORKER:-}" ]; then   # a ready binary, e.g. another build
    [ -x "$BENCH_WORKER" ] || { issue "worker: BENCH_WORKER=$BENCH_WORKER is not executable"; return 1; }
    SENT=$(realpath "$BENCH_WORKER"); log "worker: $SENT (BENCH_WORKER)"; return 0
  fi
  log "building our worker (Release) into build-bench/"
  if ! { cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DBUILD_APP=OFF -DBUILD_TESTING=OFF &&
         cmake --build "$BUILD" -j2 --target sentiment; } >"$OUT/build.log" 2>&1; then
    issue "worker: build of target sentiment failed (see bench/out/build.log); measuring the peers only"
    return 1
  fi
  local bin
  for bin in "$BUILD/worker/sentiment" "$BUILD/sentiment"; do
    [ -x "$bin" ] && { SENT=$bin; break; }
  done
  [ -n "$SENT" ] || SENT=$(find "$BUILD" -type f -name sentiment -perm -u+x | head -n 1)
  if [ -z "$SENT" ]; then
    issue "worker: build finished but no sentiment binary under build-bench/"
    return 1
  fi
  log "worker: $SENT"
}

LOAD_START=$(cut -d' ' -f1 /proc/loadavg)
install_peers
build_worker || true
# Which source the figures belong to: the worker is often mid-change.
WORKER_SRC="source at commit $(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo '?')"
[ -n "$(git -C "$ROOT" status --porcelain -- worker CMakeLists.txt 2>/dev/null)" ] &&
  WORKER_SRC="$WORKER_SRC with uncommitted or untracked changes under worker/"
[ -n "${BENCH_WORKER:-}" ] && WORKER_SRC="given by BENCH_WORKER"
PY=$(python3 -c 'import sys; print(sys.executable)')   # skip pyenv's shim in timings
export LC_ALL=C.UTF-8
cd "$WORK" || exit 1

# ------------------------------------------------------------- helpers ----
# measure NAME CMD... : runs CMD under /usr/bin/time -v; its stdout goes to
# $WORK/logs/NAME.out, stderr to NAME.err. Sets M_RC, M_WALL (s), M_RSS (MB).
measure() {
  local name=$1; shift
  local tf=$WORK/logs/$name.time t0 t1
  # Flush what earlier tools wrote (fastText's bigram models are ~800 MB), so
  # that an fsync in the measured tool does not pay for their writeback.
  sync
  t0=$EPOCHREALTIME
  /usr/bin/time -v -o "$tf" "$@" >"$WORK/logs/$name.out" 2>"$WORK/logs/$name.err"
  M_RC=$?
  t1=$EPOCHREALTIME
  M_WALL=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
  M_RSS=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$tf")
  M_CPU=$(cpu_of "$tf")
  if [ "$M_RC" -ne 0 ]; then
    log "$name exited with $M_RC: $(tail -n 3 "$WORK/logs/$name.err" | tr '\n' ' ')"
  fi
  return "$M_RC"
}

cpu_of() {  # user + system seconds from a /usr/bin/time -v report
  awk -F': ' '/User time \(seconds\)|System time \(seconds\)/ { s += $2 } END { printf "%.2f", s }' "$1"
}

# accuracy PRED LABELS MAPPING : share of lines whose predicted label (first
# field, mapped through MAPPING "pred=positive,pred=negative") matches.
accuracy() {
  awk -v map="$3" '
    BEGIN { n = split(map, kv, ","); for (i = 1; i <= n; i++) { split(kv[i], p, "="); m[p[1]] = p[2] } }
    NR == FNR { split($0, f, /[ \t]/); pred[FNR] = (f[1] in m) ? m[f[1]] : "?"; np = FNR; next }
    { nl = FNR; if (pred[FNR] == $1) ok++ }
    END { if (nl == 0 || np != nl) { print "NA"; exit } printf "%.4f", ok / nl }' "$1" "$2"
}

ft_format() {  # ft_format LABELS TOKENS > fastText training file
  awk 'NR == FNR { l[FNR] = $1; next } { print "__label__" l[FNR] " " $0 }' "$1" "$2"
}

tokenize() {  # tokenize INPUT OUTPUT : our worker's tokens, else the fallback
  if [ -n "$SENT" ]; then
    if "$SENT" tokenize --input "$1" >"$2" 2>"$WORK/logs/tokenize.err" &&
       [ "$(wc -l <"$2")" -eq "$(wc -l <"$1")" ]; then
      return 0
    fi
    issue "worker: 'sentiment tokenize --input $1' failed or gave $(wc -l <"$2") lines for $(wc -l <"$1") (stderr: $(head -c 200 "$WORK/logs/tokenize.err"))"
  fi
  TOKENS_NOTE="fallback tokens (bench/tokens.py), not our worker's"
  "$PY" "$HERE/tokens.py" fallback <"$1" >"$2"
}

# ------------------------------------------------------------ per set ----
bench_set() {
  local set=$1 d=$DATA/$1 f
  for f in train/reviews.txt train/labels.txt test/reviews.txt test/labels.txt; do
    if [ ! -f "$d/$f" ]; then log "skipping $set: $d/$f is missing"; return 0; fi
  done
  local S=$WORK/$set run
  mkdir -p "$S"
  local ntest
  ntest=$(wc -l <"$d/test/labels.txt")
  log "$set: $(wc -l <"$d/train/labels.txt") training, $ntest test reviews"
  SETS_DONE+=("$set")

  TOKENS_NOTE="our worker's tokens"
  tokenize "$d/train/reviews.txt" "$S/train.tok"
  tokenize "$d/test/reviews.txt" "$S/test.tok"
  ft_format "$d/train/labels.txt" "$S/train.tok" >"$S/train.ft"
  # Second fastText variant: word bigrams; for Chinese on characters, the
  # usual way fastText is run on unsegmented text.
  local ft2name="fastText bigrams" ft2tok=$S/train.tok ft2test=$S/test.tok
  case "$set" in
    *-zh)
      ft2name="fastText chars+bigrams"
      "$PY" "$HERE/tokens.py" chars <"$d/train/reviews.txt" >"$S/train.chr"
      "$PY" "$HERE/tokens.py" chars <"$d/test/reviews.txt" >"$S/test.chr"
      ft2tok=$S/train.chr ft2test=$S/test.chr ;;
  esac
  ft_format "$d/train/labels.txt" "$ft2tok" >"$S/train2.ft"
  printf '%s\t%s\n' "$set" "$TOKENS_NOTE" >>"$WORK/tokens_note"

  for run in $(seq 1 "$RUNS"); do
    log "$set: run $run/$RUNS"
    # Ours. Interleaved with the peers so that all see the same load.
    if [ -n "$SENT" ]; then
      if measure "$set.ours.train.$run" "$SENT" train --reviews "$d/train/reviews.txt" \
           --labels "$d/train/labels.txt" --model "$S/ours.model" --progress "$S/progress.txt"; then
        rec "$set" ours "$run" train_s "$M_WALL"; rec "$set" ours "$run" train_mb "$M_RSS"
        if measure "$set.ours.test.$run" "$SENT" test --input "$d/test/reviews.txt" \
             --model "$S/ours.model" --out "$S/ours.pred" --percent "$S/percent.txt"; then
          rec "$set" ours "$run" pred_s "$M_WALL"; rec "$set" ours "$run" pred_mb "$M_RSS"
          rec "$set" ours "$run" acc_test "$(accuracy "$S/ours.pred" "$d/test/labels.txt" '好评=positive,差评=negative')"
          [ "$run" = 1 ] && check_ours_output "$set" "$d/test/reviews.txt" "$S/ours.pred"
        else
          issue "worker: 'sentiment test' failed on $set (exit $M_RC): $(tail -n 2 "$WORK/logs/$set.ours.test.$run.err" | tr '\n' ' ')"
        fi
      else
        issue "worker: 'sentiment train' failed on $set (exit $M_RC): $(tail -n 2 "$WORK/logs/$set.ours.train.$run.err" | tr '\n' ' ')"
      fi
    fi

    # fastText, default settings, on the same tokens as ours.
    if measure "$set.ft.train.$run" fasttext supervised -input "$S/train.ft" -output "$S/ft" -thread 2; then
      rec "$set" fastText "$run" train_s "$M_WALL"; rec "$set" fastText "$run" train_mb "$M_RSS"
      if measure "$set.ft.pred.$run" fasttext predict-prob "$S/ft.bin" "$S/test.tok"; then
        rec "$set" fastText "$run" pred_s "$M_WALL"; rec "$set" fastText "$run" pred_mb "$M_RSS"
        rec "$set" fastText "$run" acc "$(accuracy "$WORK/logs/$set.ft.pred.$run.out" "$d/test/labels.txt" '__label__positive=positive,__label__negative=negative')"
      fi
    fi

    if measure "$set.ft2.train.$run" fasttext supervised -input "$S/train2.ft" -output "$S/ft2" -thread 2 -wordNgrams 2; then
      rec "$set" "$ft2name" "$run" train_s "$M_WALL"; rec "$set" "$ft2name" "$run" train_mb "$M_RSS"
      if measure "$set.ft2.pred.$run" fasttext predict-prob "$S/ft2.bin" "$ft2test"; then
        rec "$set" "$ft2name" "$run" pred_s "$M_WALL"; rec "$set" "$ft2name" "$run" pred_mb "$M_RSS"
        rec "$set" "$ft2name" "$run" acc "$(accuracy "$WORK/logs/$set.ft2.pred.$run.out" "$d/test/labels.txt" '__label__positive=positive,__label__negative=negative')"
      fi
    fi

    # NB-SVM: NB features + L2-regularised L2-loss SVM (dual), C = 1, then
    # the interpolation; feature building counts as training / prediction.
    if measure "$set.nb.train.$run" bash -c '
         "$1" "$2/nbsvm.py" train-features "$3/train.tok" "$4/train/labels.txt" "$3/nb.vocab" "$3/nb.train.svm" &&
         liblinear-train -s 1 -c 1 -B 1 -q "$3/nb.train.svm" "$3/nb.raw" &&
         "$1" "$2/nbsvm.py" interpolate "$3/nb.raw" "$3/nb.model" "$5"' _ "$PY" "$HERE" "$S" "$d" "$BETA"; then
      rec "$set" NB-SVM "$run" train_s "$M_WALL"; rec "$set" NB-SVM "$run" train_mb "$M_RSS"
      if measure "$set.nb.pred.$run" bash -c '
           "$1" "$2/nbsvm.py" test-features "$3/test.tok" "$4/test/labels.txt" "$3/nb.vocab" "$3/nb.test.svm" &&
           liblinear-predict -q "$3/nb.test.svm" "$3/nb.model" "$3/nb.pred"' _ "$PY" "$HERE" "$S" "$d"; then
        rec "$set" NB-SVM "$run" pred_s "$M_WALL"; rec "$set" NB-SVM "$run" pred_mb "$M_RSS"
        rec "$set" NB-SVM "$run" acc "$(accuracy "$S/nb.pred" "$d/test/labels.txt" '1=positive,-1=negative')"
      fi
    fi
  done

  # Our own accuracy figure, as `sentiment eval` reports it.
  if [ -n "$SENT" ] && [ -f "$S/ours.model" ]; then
    if measure "$set.ours.eval" "$SENT" eval --reviews "$d/test/reviews.txt" --labels "$d/test/labels.txt" --model "$S/ours.model"; then
      local acc
      acc=$(awk '$1 == "accuracy:" { print $2; exit }' "$WORK/logs/$set.ours.eval.out")
      if [ -z "$acc" ]; then
        issue "worker: 'sentiment eval' on $set printed no 'accuracy: X' line: $(head -c 300 "$WORK/logs/$set.ours.eval.out" | tr '\n' '|')"
      else
        rec "$set" ours 1 acc "$acc"
        local tacc
        tacc=$(awk -F'\t' -v s="$set" '$1 == s && $2 == "ours" && $4 == "acc_test" { v = $5 } END { print v }' "$RES")
        if [ -n "$tacc" ] && [ "$tacc" != NA ] &&
           awk -v a="$acc" -v b="$tacc" 'BEGIN { d = a - b; exit !(d > 0.0015 || d < -0.0015) }'; then
          issue "worker: on $set 'sentiment eval' says accuracy $acc but the labels written by 'sentiment test' score $tacc"
        fi
      fi
    else
      issue "worker: 'sentiment eval' failed on $set (exit $M_RC)"
    fi
  fi
}

# Checks the `test` output format: "好评|差评 <TAB> probability <TAB> text",
# one line per input line, the text unchanged.
check_ours_output() {
  local set=$1 input=$2 pred=$3 report
  report=$(awk -F'\t' '
    NR == FNR { text[FNR] = $0; nin = FNR; next }
    {
      nout = FNR
      if ($1 != "好评" && $1 != "差评") { badlabel++; if (!ex1) ex1 = FNR ": " substr($0, 1, 60) }
      if ($2 !~ /^[0-9]*\.?[0-9]+([eE][-+]?[0-9]+)?$/ || $2 + 0 > 1) { badprob++; if (!ex2) ex2 = FNR ": " substr($0, 1, 60) }
      t = $3; for (i = 4; i <= NF; i++) t = t "\t" $i
      if (t != text[FNR]) { badtext++; if (!ex3) ex3 = FNR ": " substr($0, 1, 60) }
    }
    END {
      if (nout != nin) printf "%d output lines for %d input lines; ", nout, nin
      if (badlabel) printf "%d lines without 好评/差评 (first: %s); ", badlabel, ex1
      if (badprob) printf "%d lines with no probability in [0,1] (first: %s); ", badprob, ex2
      if (badtext) printf "%d lines whose text differs from the input (first: %s); ", badtext, ex3
    }' "$input" "$pred")
  [ -n "$report" ] && issue "worker: 'sentiment test' output on $set: $report"
  return 0
}

# ----------------------------------------------------------- scale run ----
scale_run() {
  local src=$DATA/movie-sentences-en/train
  if [ ! -f "$src/reviews.txt" ] || [ ! -f "$src/labels.txt" ]; then
    log "skipping the scale run: $src is missing"; return 0
  fi
  local B=$WORK/scale i
  mkdir -p "$B"
  log "scale: writing movie-sentences-en/train x $REPEAT"
  for i in $(seq 1 "$REPEAT"); do cat "$src/reviews.txt"; done >"$B/reviews.txt"
  for i in $(seq 1 "$REPEAT"); do cat "$src/labels.txt"; done >"$B/labels.txt"
  local tokfile=$WORK/movie-sentences-en/train.tok
  [ -f "$tokfile" ] || { tokfile=$B/one.tok; tokenize "$src/reviews.txt" "$tokfile"; }
  local one=$B/one.ft
  ft_format "$src/labels.txt" "$tokfile" >"$one"
  for i in $(seq 1 "$REPEAT"); do cat "$one"; done >"$B/train.ft"
  rm -f "$one"
  SCALE_LINES=$(wc -l <"$B/reviews.txt")
  SCALE_MB=$(du -m "$B/reviews.txt" | cut -f1)
  log "scale: $SCALE_LINES lines, $SCALE_MB MB"

  if [ -n "$SENT" ]; then
    log "scale: our worker (progress sampled every 100 ms)"
    local prog=$B/progress.txt tf=$WORK/logs/scale.ours.time samples=$B/progress.samples
    : >"$samples"
    local t0 t1 pid rc v prev=""
    sync
    LOAD_BEFORE=$(cut -d' ' -f1 /proc/loadavg)
    t0=$EPOCHREALTIME
    /usr/bin/time -v -o "$tf" "$SENT" train --reviews "$B/reviews.txt" --labels "$B/labels.txt" \
      --model "$B/ours.model" --progress "$prog" >"$WORK/logs/scale.ours.out" 2>"$WORK/logs/scale.ours.err" &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
      v=""
      [ -f "$prog" ] && { IFS= read -r v <"$prog" || true; }
      if [ -n "$v" ] && [ "$v" != "$prev" ]; then
        printf '%s %s\n' "$EPOCHREALTIME" "$v" >>"$samples"; prev=$v
      fi
      sleep 0.1
    done
    wait "$pid"; rc=$?
    t1=$EPOCHREALTIME
    # One more look: the final value may be written just before exit.
    v=""; [ -f "$prog" ] && { IFS= read -r v <"$prog" || true; }
    [ -n "$v" ] && [ "$v" != "$prev" ] && printf '%s %s\n' "$t1" "$v" >>"$samples"
    if [ "$rc" -ne 0 ]; then
      issue "worker: 'sentiment train' on the scale set ($SCALE_LINES lines) exited with $rc: $(tail -n 2 "$WORK/logs/scale.ours.err" | tr '\n' ' ')"
    else
      rec scale ours 1 train_s "$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')"
      rec scale ours 1 train_mb "$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$tf")"
      rec scale ours 1 cpu_s "$(cpu_of "$tf")"
      rec scale ours 1 load "$LOAD_BEFORE / $(cut -d' ' -f1 /proc/loadavg)"
      local T=$DATA/movie-sentences-en/test
      if [ -f "$T/labels.txt" ] &&
         "$SENT" eval --reviews "$T/reviews.txt" --labels "$T/labels.txt" --model "$B/ours.model" >"$WORK/logs/scale.ours.eval" 2>&1; then
        rec scale ours 1 acc "$(awk '$1 == "accuracy:" { print $2; exit }' "$WORK/logs/scale.ours.eval")"
      fi
    fi
    awk -v t0="$t0" -v t1="$t1" '
      { t[++n] = $1; v[n] = $2 }
      END {
        if (n == 0) { print "progress\tvalues\t0"; exit }
        maxgap = 0; mono = 1; maxjump = v[1] + 0; jfrom = "start"; jto = v[1]
        for (i = 2; i <= n; i++) {
          g = t[i] - t[i-1]; if (g > maxgap) { maxgap = g; at = v[i-1] }
          if (v[i] + 0 < v[i-1] + 0) mono = 0
          if (v[i] - v[i-1] > maxjump) { maxjump = v[i] - v[i-1]; jfrom = v[i-1]; jto = v[i] }
        }
        printf "progress\tvalues\t%d\n", n
        printf "progress\tmax_gap_s\t%.2f\n", maxgap
        printf "progress\tmax_gap_after\t%s\n", (n > 1 ? at : "-")
        printf "progress\tlead_in_s\t%.2f\n", t[1] - t0
        printf "progress\ttail_s\t%.2f\n", t1 - t[n]
        printf "progress\tfirst\t%s\n", v[1]
        printf "progress\tlast\t%s\n", v[n]
        printf "progress\tmonotone\t%s\n", (mono ? "yes" : "no")
        printf "progress\tmax_jump\t%.2f (%s to %s)\n", maxjump, jfrom, jto
        printf "progress\teven_gap_s\t%.2f\n", (t1 - t0) / 100
      }' "$samples" | while IFS=$'\t' read -r _ k val; do rec scale ours 1 "progress_$k" "$val"; done
    local pv plast pmono
    pv=$(awk -F'\t' '$1 == "scale" && $4 == "progress_values" { print $5 }' "$RES")
    plast=$(awk -F'\t' '$1 == "scale" && $4 == "progress_last" { print $5 }' "$RES")
    pmono=$(awk -F'\t' '$1 == "scale" && $4 == "progress_monotone" { print $5 }' "$RES")
    [ "${pv:-0}" -lt 10 ] && issue "worker: the progress file took only ${pv:-0} distinct values during the scale run"
    [ "$pmono" = no ] && issue "worker: the progress file went backwards during the scale run (samples in bench/out/progress.samples)"
    [ -n "$plast" ] && awk -v x="$plast" 'BEGIN { exit !(x + 0 < 0.999) }' &&
      issue "worker: the progress file ended at $plast, not 1, after the scale run"
    cp "$samples" "$OUT/progress.samples"
  fi

  log "scale: fastText"
  LOAD_BEFORE=$(cut -d' ' -f1 /proc/loadavg)
  if measure scale.ft fasttext supervised -input "$B/train.ft" -output "$B/ft" -thread 2; then
    rec scale fastText 1 train_s "$M_WALL"; rec scale fastText 1 train_mb "$M_RSS"
    rec scale fastText 1 cpu_s "$M_CPU"; rec scale fastText 1 load "$LOAD_BEFORE / $(cut -d' ' -f1 /proc/loadavg)"
    local T=$DATA/movie-sentences-en/test
    if [ -f "$T/labels.txt" ] && [ -f "$WORK/movie-sentences-en/test.tok" ] &&
       fasttext predict "$B/ft.bin" "$WORK/movie-sentences-en/test.tok" >"$B/ft.pred" 2>/dev/null; then
      rec scale fastText 1 acc "$(accuracy "$B/ft.pred" "$T/labels.txt" '__label__positive=positive,__label__negative=negative')"
    fi
  fi
  rm -rf "$B"
}

# --------------------------------------------------------------- report ----
report() {
  local md=$OUT/results.md
  {
    echo "# Benchmark: our sentiment worker vs fastText and NB-SVM"
    echo
    echo "- date: $(date)"
    echo "- machine: $(nproc) cores, $(lscpu | awk -F': *' '/Model name/ { print $2; exit }'), $(free -g | awk '/^Mem:/ { print $2 }') GiB memory"
    echo "- runs per tool: $RUNS (medians); all tools measured interleaved in this one run"
    echo "- load average (1 min) at the start of the run: $LOAD_START, at the end: $(cut -d' ' -f1 /proc/loadavg) (the machine is shared; read ratios, not absolute times)"
    # Paths relative to the repository: the report must not name this machine.
    echo "- worker: ${SENT:+$(realpath --relative-to="$ROOT" "$SENT")}${SENT:-not built}${SENT:+, $WORKER_SRC}"
    [ -f "$WORK/tokens_note" ] && awk -F'\t' '{ printf "- %s: fastText and NB-SVM fed %s\n", $1, $2 }' "$WORK/tokens_note"
    echo
    awk -F'\t' -v order="${SETS_DONE[*]:-}" '
      function median(key,   n, i, j, a, tmp, parts) {
        n = split(vals[key], a, " "); if (n == 0) return ""
        for (i = 2; i <= n; i++) { tmp = a[i] + 0; for (j = i - 1; j >= 1 && a[j] + 0 > tmp; j--) a[j+1] = a[j]; a[j+1] = tmp }
        return (n % 2) ? a[(n+1)/2] : (a[n/2] + a[n/2+1]) / 2
      }
      function fmt(x, p) { return (x == "") ? "-" : sprintf("%." p "f", x) }
      function ratio(a, b) { return (a == "" || b == "" || b + 0 == 0) ? "-" : sprintf((a / b < 0.1) ? "%.3f" : "%.2f", a / b) }
      $1 != "scale" && $5 != "NA" && $5 != "" {
        k = $1 SUBSEP $2 SUBSEP $4; vals[k] = vals[k] " " $5
        if (!(($1 SUBSEP $2) in seen)) { seen[$1 SUBSEP $2] = 1; tools[$1] = tools[$1] "\t" $2 }
      }
      END {
        print "| set | tool | accuracy | train s (median) | predict s (median) | train peak MB | predict peak MB |"
        print "|---|---|---:|---:|---:|---:|---:|"
        ns = split(order, sets, " ")
        for (s = 1; s <= ns; s++) {
          set = sets[s]; nt = split(substr(tools[set], 2), tl, "\t")
          for (t = 1; t <= nt; t++) {
            k = set SUBSEP tl[t]
            printf "| %s | %s | %s | %s | %s | %s | %s |\n", set, tl[t], fmt(median(k SUBSEP "acc"), 4),
              fmt(median(k SUBSEP "train_s"), 3), fmt(median(k SUBSEP "pred_s"), 3),
              fmt(median(k SUBSEP "train_mb"), 1), fmt(median(k SUBSEP "pred_mb"), 1)
          }
        }
        print ""
        print "Ratios, ours / peer (below 1: ours is faster or smaller):"
        print ""
        print "| set | peer | train time | train memory | predict time | predict memory | accuracy, ours - peer |"
        print "|---|---|---:|---:|---:|---:|---:|"
        for (s = 1; s <= ns; s++) {
          set = sets[s]; o = set SUBSEP "ours"
          if (!((o) in seen)) { printf "| %s | - | no figures for ours | | | | |\n", set; continue }
          nt = split(substr(tools[set], 2), tl, "\t")
          for (t = 1; t <= nt; t++) {
            if (tl[t] == "ours") continue
            p = set SUBSEP tl[t]
            oa = median(o SUBSEP "acc"); pa = median(p SUBSEP "acc")
            printf "| %s | %s | %s | %s | %s | %s | %s |\n", set, tl[t],
              ratio(median(o SUBSEP "train_s"), median(p SUBSEP "train_s")),
              ratio(median(o SUBSEP "train_mb"), median(p SUBSEP "train_mb")),
              ratio(median(o SUBSEP "pred_s"), median(p SUBSEP "pred_s")),
              ratio(median(o SUBSEP "pred_mb"), median(p SUBSEP "pred_mb")),
              (oa == "" || pa == "") ? "-" : sprintf("%+.2f pts", 100 * (oa - pa))
          }
        }
      }' "$RES"
    if [ "$SCALE" = 1 ] && grep -q '^scale' "$RES"; then
      echo
      echo "Scale run: movie-sentences-en/train repeated $REPEAT times (${SCALE_LINES:-?} lines, ${SCALE_MB:-?} MB), one run each:"
      echo
      awk -F'\t' '
        $1 == "scale" { v[$2 SUBSEP $4] = $5 }
        function g(t, m) { return ((t SUBSEP m) in v) ? v[t SUBSEP m] : "" }
        function ratio(a, b) { return (a == "" || b == "" || b + 0 == 0) ? "-" : sprintf((a / b < 0.1) ? "%.3f" : "%.2f", a / b) }
        END {
          print "| tool | train s (wall) | train CPU s (user+sys) | train peak MB | accuracy on movie test/ | load avg before / after |"
          print "|---|---:|---:|---:|---:|---|"
          for (i = 1; i <= 2; i++) { t = (i == 1) ? "ours" : "fastText"
            if (g(t, "train_s") != "") printf "| %s | %.1f | %.1f | %.1f | %s | %s |\n", t, g(t, "train_s"), g(t, "cpu_s"), g(t, "train_mb"), (g(t, "acc") == "" ? "-" : g(t, "acc")), g(t, "load") }
          printf "| ours / fastText | %s | %s | %s | | |\n", ratio(g("ours", "train_s"), g("fastText", "train_s")),
                 ratio(g("ours", "cpu_s"), g("fastText", "cpu_s")), ratio(g("ours", "train_mb"), g("fastText", "train_mb"))
          if (g("ours", "progress_values") != "") {
            print ""
            printf "Progress file of ours, sampled every 100 ms: %s distinct values; largest gap between changes %s s (after value %s), against %s s for an even 1/100 per step; largest jump in value %s; %s s before the first value, %s s from the last change to exit; first %s, last %s, never decreasing: %s.\n",
              g("ours", "progress_values"), g("ours", "progress_max_gap_s"), g("ours", "progress_max_gap_after"),
              g("ours", "progress_even_gap_s"), g("ours", "progress_max_jump"),
              g("ours", "progress_lead_in_s"), g("ours", "progress_tail_s"),
              g("ours", "progress_first"), g("ours", "progress_last"), g("ours", "progress_monotone")
          }
        }' "$RES"
    fi
    echo
    echo "Training times include each tool's own preprocessing except tokenisation"
    echo "for the peers: fastText and NB-SVM read text already tokenised by"
    echo "'sentiment tokenize' (or characters), ours reads the raw reviews."
    echo "NB-SVM times include the python feature building (bench/nbsvm.py)."
    echo "Peak memory is the largest resident set of any process of the tool."
    echo "The disk is synced before each measured command, outside its time."
    if [ -s "$ISSUES" ]; then
      echo
      echo "Issues seen in this run:"
      echo
      sed 's/^/- /' "$ISSUES"
    fi
  } >"$md"
  cat "$md"
}

SETS_DONE=()
for set in movie-sentences-en takeout-reviews-zh; do
  bench_set "$set"
done
[ "$SCALE" = 1 ] && scale_run
report
