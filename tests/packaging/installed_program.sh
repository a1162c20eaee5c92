#!/usr/bin/env bash
# Installs the build into a staging directory (DESTDIR) and uses it as a user
# would: the launcher prepares the work directory and starts the window there,
# the installed scripts train and test the sample, and a second start keeps
# everything of the user's.
#   installed_program.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2

# A path with a space and Chinese characters, as users' home folders have.
tmp=$(mktemp -d "${TMPDIR:-/tmp}/安装 测试.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$tmp/stage" cmake --install "$build" --prefix /usr >"$tmp/install.log" ||
  { cat "$tmp/install.log" >&2; fail "cmake --install"; }
bin="$tmp/stage/usr/bin"
share="$tmp/stage/usr/share/qinggan-fenxi"

got=$("$bin/sentiment" --version) || fail "sentiment --version exited with $?"
[ "$got" = "sentiment $version" ] || fail "sentiment --version printed '$got', not 'sentiment $version'"

# A stand-in for the window records where and how the launcher started it.
standin="$tmp/window-standin"
cat >"$standin" <<'STANDIN'
#!/bin/sh
{ pwd; locale charmap; echo "$@"; } >"$SEEN"
STANDIN
chmod +x "$standin"
export SEEN="$tmp/seen"

launch() {  # launch HOME [XDG_DATA_HOME]: runs the installed launcher, C locale
  rm -f "$SEEN"
  env -u LANGUAGE -u LC_CTYPE HOME="$1" XDG_DATA_HOME="${2:-}" LANG=C LC_ALL= \
    QINGGAN_FENXI_WINDOW="$standin" "$bin/qinggan-fenxi" -style fusion
}

home="$tmp/home"
mkdir -p "$home"
launch "$home" || fail "the launcher exited with $?"
work="$home/.local/share/qinggan-fenxi"
[ -f "$SEEN" ] || fail "the launcher did not start the window"
{ read -r cwd; read -r charmap; read -r args; } <"$SEEN"
[ "$cwd" = "$work" ] || fail "the window started in '$cwd', not in '$work'"
[ "$charmap" = UTF-8 ] || fail "the window got the character map '$charmap', not UTF-8"
[ "$args" = "-style fusion" ] || fail "the window got the arguments '$args'"
for f in emotion.bat test.bat sentiment sample-reviews.txt sample-labels.txt sample-test.txt; do
  [ -e "$work/$f" ] || fail "the work directory lacks $f"
done
[ "$(readlink "$work/sentiment")" = "$bin/sentiment" ] || fail "sentiment links to $(readlink "$work/sentiment")"

# Train and test the sample through the installed scripts, as the window does.
cd "$work"
cp sample-reviews.txt reviews.txt
cp sample-labels.txt labels.txt
LC_ALL=C.UTF-8 ./emotion.bat >"$tmp/train.log" 2>&1 || { cat "$tmp/train.log" >&2; fail "emotion.bat exited with $?"; }
[ "$(cat 计数.txt)" = 1 ] || fail "计数.txt holds '$(cat 计数.txt)' after training"
[ -s sentiment.model ] || fail "training wrote no model"
cp sample-test.txt test.txt
LC_ALL=C.UTF-8 ./test.bat >"$tmp/test.log" 2>&1 || { cat "$tmp/test.log" >&2; fail "test.bat exited with $?"; }
[ "$(wc -l <out.txt)" -eq "$(wc -l <test.txt)" ] || fail "out.txt has $(wc -l <out.txt) lines for $(wc -l <test.txt)"
grep -qE '^(100|[0-9]{1,2})(\.[0-9]+)?$' percent.txt || fail "percent.txt holds '$(cat percent.txt)'"

# A refused input: the script passes on the tool's failure and message, and
# the model stays.
model_sum=$(cksum <sentiment.model)
sed '$d' sample-labels.txt >labels.txt
if LC_ALL=C.UTF-8 ./emotion.bat >"$tmp/refused.log" 2>&1; then fail "emotion.bat accepted a short label file"; fi
grep -q '^error: ' "$tmp/refused.log" || fail "no message for a short label file: $(cat "$tmp/refused.log")"
[ "$(cksum <sentiment.model)" = "$model_sum" ] || fail "a refused training run changed the model"

# The user's own choices survive the next start; the scripts and the link
# are put right.
echo "my own review" >>sample-reviews.txt
echo "mine" >notes.txt
reviews_sum=$(cksum <sample-reviews.txt)
echo 'exit 3' >emotion.bat
ln -sfn /nonexistent sentiment
cd "$tmp"
launch "$home" || fail "the second start exited with $?"
[ "$(cksum <"$work/sentiment.model")" = "$model_sum" ] || fail "the second start changed the model"
[ "$(cksum <"$work/sample-reviews.txt")" = "$reviews_sum" ] || fail "the second start overwrote the user's sample-reviews.txt"
[ "$(cat "$work/notes.txt")" = mine ] || fail "the second start changed the user's notes.txt"
cmp -s "$work/emotion.bat" "$share/scripts/emotion.bat" || fail "the second start left a broken emotion.bat"
[ "$(readlink "$work/sentiment")" = "$bin/sentiment" ] || fail "the second start left sentiment linked to $(readlink "$work/sentiment")"
ls -A "$work" | grep -q '^\.' && fail "the launcher left temporary files: $(ls -A "$work" | grep '^\.')"

# XDG_DATA_HOME is used when absolute and ignored when relative; started
# through a link, the launcher still finds the installed files.
launch "$home" "$tmp/data home" || fail "the launcher exited with $? under XDG_DATA_HOME"
[ "$(head -n 1 "$SEEN")" = "$tmp/data home/qinggan-fenxi" ] || fail "XDG_DATA_HOME ignored: started in $(head -n 1 "$SEEN")"
launch "$home" "relative/dir" || fail "the launcher exited with $? under a relative XDG_DATA_HOME"
[ "$(head -n 1 "$SEEN")" = "$work" ] || fail "a relative XDG_DATA_HOME was used: started in $(head -n 1 "$SEEN")"
mkdir -p "$tmp/elsewhere"
ln -s "$bin/qinggan-fenxi" "$tmp/elsewhere/qg"
rm -f "$SEEN"
HOME="$tmp/home2" LANG=C.UTF-8 QINGGAN_FENXI_WINDOW="$standin" "$tmp/elsewhere/qg" ||
  fail "the launcher started through a link exited with $?"
[ -x "$tmp/home2/.local/share/qinggan-fenxi/emotion.bat" ] || fail "started through a link, the launcher prepared nothing"

# The development build names its own work directory (scripts/run.sh).
rm -f "$SEEN"
HOME="$tmp/home" LANG=C.UTF-8 QINGGAN_FENXI_WORKDIR="$tmp/dev work" QINGGAN_FENXI_WINDOW="$standin" "$bin/qinggan-fenxi" ||
  fail "the launcher exited with $? for a named work directory"
[ "$(head -n 1 "$SEEN")" = "$tmp/dev work" ] || fail "QINGGAN_FENXI_WORKDIR ignored: started in $(head -n 1 "$SEEN")"
[ -x "$tmp/dev work/test.bat" ] || fail "the named work directory was not prepared"

# A work directory that cannot be made: a clear message, and no window.
mkdir -p "$tmp/home3/.local/share"
echo "not a directory" >"$tmp/home3/.local/share/qinggan-fenxi"
if launch "$tmp/home3" 2>"$tmp/err.log"; then fail "the launcher accepted a file as its work directory"; fi
grep -q '^error: cannot use the work directory' "$tmp/err.log" || fail "no message for a bad work directory: $(cat "$tmp/err.log")"
[ ! -e "$SEEN" ] || fail "the window was started without a work directory"

# The real window comes up in the installed layout (offscreen) and keeps
# running until it is stopped.
status=0
env HOME="$home" QT_QPA_PLATFORM=offscreen timeout 5 "$bin/qinggan-fenxi" >"$tmp/window.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || { cat "$tmp/window.log" >&2; fail "the installed window ended with $status within 5 s"; }
echo "installed program: all checks passed"
