#!/usr/bin/env bash
# The worker scripts in folders whose names hold percent signs and other
# characters that shells and cmd.exe treat specially: the Unix scripts with
# the real tool, trained on the sample and tested; the Windows batch files
# through wine's cmd with a stand-in tool (built with mingw-w64) that
# records how it was called and exits with 3.
#   worker_scripts_folder_names.sh SOURCE_DIR SENTIMENT_BIN
set -euo pipefail
src=$1 tool=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'WINEPREFIX="$tmp/wine" wineserver -k >/dev/null 2>&1 || true; rm -rf "$tmp"' EXIT

names=('100%' 'a%PATH%b' '50% off & more' '测试 %USERNAME% 目录' "it's (1)" 'x!y^z')

echo "== Unix scripts"
for name in "${names[@]}"; do
  work="$tmp/unix/$name"
  mkdir -p "$work"
  cp "$tool" "$src/worker/scripts/unix/emotion.bat" "$src/worker/scripts/unix/test.bat" "$work/"
  cp "$src/sample/sample-reviews.txt" "$work/reviews.txt"
  cp "$src/sample/sample-labels.txt" "$work/labels.txt"
  cp "$src/sample/sample-test.txt" "$work/test.txt"
  (cd "$work" && ./emotion.bat >/dev/null 2>"$tmp/err.log") || fail "[$name] emotion.bat: $(cat "$tmp/err.log")"
  [ "$(cat "$work/计数.txt")" = 1 ] || fail "[$name] 计数.txt holds '$(cat "$work/计数.txt")'"
  (cd "$work" && ./test.bat >/dev/null 2>"$tmp/err.log") || fail "[$name] test.bat: $(cat "$tmp/err.log")"
  [ "$(wc -l <"$work/out.txt")" -eq "$(wc -l <"$work/test.txt")" ] || fail "[$name] out.txt has $(wc -l <"$work/out.txt") lines"
  echo "ok: $name"
done

for cmd in x86_64-w64-mingw32-g++-posix wine; do
  command -v "$cmd" >/dev/null || { echo "$cmd is missing (bash scripts/install-deps.sh test): batch files not run"; exit 0; }
done

echo "== Windows batch files under wine"
cat >"$tmp/stand_in.cpp" <<'CPP'
#include <cstdio>
int main(int argc, char **argv)
{
    std::FILE *f = std::fopen("called.txt", "w");
    for (int i = 1; i < argc; ++i)
        std::fprintf(f, "%s\n", argv[i]);
    std::fclose(f);
    return 3;
}
CPP
x86_64-w64-mingw32-g++-posix -O2 -static "$tmp/stand_in.cpp" -o "$tmp/sentiment.exe"
export WINEPREFIX="$tmp/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineboot -i >"$tmp/wineboot.log" 2>&1 || { cat "$tmp/wineboot.log" >&2; fail "wineboot"; }

# run_bat DIR SCRIPT WORDS...: the window's way, `cmd /c SCRIPT` in DIR; the
# tool must be called with WORDS and its exit status come back.
run_bat() {
  local dir=$1 script=$2
  shift 2
  rm -f "$dir/called.txt"
  local status=0
  (cd "$dir" && wine cmd /c "$script" >"$tmp/out.log" 2>"$tmp/err.log") || status=$?
  [ "$status" -eq 3 ] || fail "[$dir] $script exited with $status: $(cat "$tmp/err.log")"
  [ "$(tr -d '\r' <"$dir/called.txt" | tr '\n' ' ')" = "$* " ] ||
    fail "[$dir] $script called the tool with: $(cat "$dir/called.txt" 2>/dev/null)"
}
train=(train --reviews reviews.txt --labels labels.txt --model sentiment.model)
judge=(test --input test.txt --model sentiment.model --out out.txt --percent percent.txt)
for name in plain "${names[@]}"; do
  work="$tmp/windows/$name"
  mkdir -p "$work"
  cp "$tmp/sentiment.exe" "$src/worker/scripts/windows/emotion.bat" "$src/worker/scripts/windows/test.bat" "$work/"
  run_bat "$work" emotion.bat "${train[@]}"
  run_bat "$work" test.bat "${judge[@]}"
  echo "ok: $name"
done
# Started from another directory, a script takes the tool beside itself.
mkdir -p "$tmp/windows/elsewhere"
run_bat "$tmp/windows/elsewhere" '..\plain\emotion.bat' "${train[@]}"
echo "ok: started from another directory"
