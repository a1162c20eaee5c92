#!/usr/bin/env bash
# Cross-builds the Windows worker with mingw-w64 and runs it under wine: its
# decoder suites, then emotion.bat and test.bat through cmd.exe in a work
# directory whose path has spaces and Chinese, then the zip package.
#   windows_worker.sh SOURCE_DIR CROSS_BUILD_DIR VERSION
set -euo pipefail
src=$1 cross=$2 version=$3

for tool in x86_64-w64-mingw32-g++-posix wine; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (bash scripts/install-deps.sh test): skipped"; exit 77; }
done
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$tmp"' EXIT

echo "== cross build ($cross)"
cmake -S "$src" -B "$cross" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_APP=OFF -DBUILD_TESTING=ON >"$tmp/configure.log" 2>&1 ||
  { cat "$tmp/configure.log" >&2; fail "configuring the cross build"; }
cmake --build "$cross" -j2 >"$tmp/build.log" 2>&1 || { tail -n 40 "$tmp/build.log" >&2; fail "the cross build"; }
exe="$cross/worker/sentiment.exe"
if x86_64-w64-mingw32-objdump -p "$exe" | grep -iE 'DLL Name: (libstdc|libgcc|libwinpthread)'; then
  fail "sentiment.exe needs mingw's DLLs; it must run alone"
fi

# A prefix of our own, no display, no offer to install Mono or Gecko.
export WINEPREFIX="$tmp/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineboot -i >"$tmp/wineboot.log" 2>&1 || { cat "$tmp/wineboot.log" >&2; fail "wineboot"; }

echo "== decoder suites under wine"
ctest --test-dir "$cross" --output-on-failure || fail "the decoder suites under wine"

# run_bat DIR NAME: runs a batch file as the window does on Windows.
run_bat() { (cd "$1" && wine cmd /c "$2" >"$tmp/out.log" 2>"$tmp/err.log"); }
crlf_free() { tr -d '\r' <"$1"; }

echo "== emotion.bat and test.bat"
# Models record when they were trained; with a fixed time, the same files
# train byte-identical models, which the checks below compare.
export SOURCE_DATE_EPOCH=1765000000
work="$tmp/工作 目录 (测试)"
mkdir -p "$work"
cp "$exe" "$src/worker/scripts/windows/emotion.bat" "$src/worker/scripts/windows/test.bat" "$work/"
cp "$src/sample/sample-reviews.txt" "$work/reviews.txt"
cp "$src/sample/sample-labels.txt" "$work/labels.txt"
run_bat "$work" emotion.bat || { cat "$tmp/err.log" >&2; fail "emotion.bat exited with $?"; }
[ "$(crlf_free "$work/计数.txt")" = 1 ] || fail "计数.txt holds '$(cat "$work/计数.txt")' after training"
[ -s "$work/sentiment.model" ] || fail "training wrote no model"
utf8_model=$(cksum <"$work/sentiment.model")
cp "$src/sample/sample-test.txt" "$work/test.txt"
run_bat "$work" test.bat || { cat "$tmp/err.log" >&2; fail "test.bat exited with $?"; }
[ "$(wc -l <"$work/out.txt")" -eq "$(wc -l <"$work/test.txt")" ] ||
  fail "out.txt has $(wc -l <"$work/out.txt") lines for $(wc -l <"$work/test.txt")"
# Windows readers take text without a byte-order mark in the ANSI code page.
[ "$(head -c 3 "$work/out.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "out.txt has no UTF-8 byte-order mark"
grep -qE '^(100|[0-9]{1,2})(\.[0-9]+)?$' <(crlf_free "$work/percent.txt") || fail "percent.txt holds '$(cat "$work/percent.txt")'"

# A refused input: exit status 1 through cmd.exe, the message, the model kept.
sed '$d' "$src/sample/sample-labels.txt" >"$work/labels.txt"
if run_bat "$work" emotion.bat; then fail "emotion.bat accepted a short label file"; fi
grep -q '^error: reviews.txt line' <(crlf_free "$tmp/err.log") || fail "no message for a short label file: $(cat "$tmp/err.log")"
[ "$(cksum <"$work/sentiment.model")" = "$utf8_model" ] || fail "a refused training run changed the model"

# GB18030 reviews through the Windows decoder give the very same model.
iconv -f UTF-8 -t GB18030 "$src/sample/sample-reviews.txt" >"$work/reviews.txt"
cp "$src/sample/sample-labels.txt" "$work/labels.txt"
run_bat "$work" emotion.bat || { cat "$tmp/err.log" >&2; fail "emotion.bat on GB18030 reviews exited with $?"; }
[ "$(cksum <"$work/sentiment.model")" = "$utf8_model" ] || fail "GB18030 reviews gave another model than UTF-8 ones"

# Chinese file names on the command line (the wide-character command line).
cp "$src/sample/sample-test.txt" "$work/测试 句子.txt"
(cd "$work" && wine sentiment.exe test --input "测试 句子.txt" --out "结果.txt" --percent "好评率.txt" >/dev/null 2>"$tmp/err.log") ||
  { cat "$tmp/err.log" >&2; fail "sentiment.exe with Chinese file names"; }
cmp -s "$work/结果.txt" "$work/out.txt" || fail "结果.txt differs from out.txt for the same sentences"

echo "== standard input and output"
# "-" reads standard input through a copy in the temporary directory, which
# the system deletes with its last handle, and writes standard output as bytes.
(cd "$work" && wine sentiment.exe test --input - --out - --percent piped.txt <test.txt >piped-out.txt 2>"$tmp/err.log") ||
  { cat "$tmp/err.log" >&2; fail "sentiment.exe test --input - --out -"; }
cmp -s "$work/piped-out.txt" "$work/out.txt" || fail "verdicts on standard output differ from out.txt"
cmp -s "$work/piped.txt" "$work/percent.txt" || fail "the percentage of piped sentences differs"
(cd "$work" && wine sentiment.exe train --reviews - --model piped.model --progress piped.txt <reviews.txt >/dev/null 2>"$tmp/err.log") ||
  { cat "$tmp/err.log" >&2; fail "sentiment.exe train --reviews -"; }
[ "$(cksum <"$work/piped.model")" = "$utf8_model" ] || fail "piped reviews gave another model than the file"
leftover=$(find "$WINEPREFIX/drive_c" -name 'sentiment-stdin-*' | head -n 1)
[ -z "$leftover" ] || fail "the copy of standard input was left behind: $leftover"

echo "== zip package"
cpack -G ZIP --config "$cross/CPackConfig.cmake" -B "$tmp/zip" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log" >&2; fail "cpack -G ZIP"; }
zip=$(ls "$tmp"/zip/*.zip)
[[ "$(basename "$zip")" == qinggan-fenxi-worker-"$version"-* ]] || fail "package name $(basename "$zip")"
unpacked="$tmp/解压 后"
mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$zip")
top=$(ls "$unpacked")
for f in sentiment.exe emotion.bat test.bat README.txt sample/sample-reviews.txt; do
  [ -f "$unpacked/$top/$f" ] || fail "the zip lacks $f"
done
pkg="$unpacked/$top"
cp "$pkg/sample/sample-reviews.txt" "$pkg/reviews.txt"
cp "$pkg/sample/sample-labels.txt" "$pkg/labels.txt"
run_bat "$pkg" emotion.bat || { cat "$tmp/err.log" >&2; fail "emotion.bat from the zip exited with $?"; }
[ "$(cksum <"$pkg/sentiment.model")" = "$utf8_model" ] || fail "the zip's worker trained another model"
[ "$(cd "$pkg" && wine sentiment.exe --version | tr -d '\r')" = "sentiment $version" ] || fail "sentiment.exe --version"
echo "windows worker: all checks passed ($(basename "$zip"))"
