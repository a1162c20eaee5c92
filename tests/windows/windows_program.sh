#!/usr/bin/env bash
# The whole program for Windows, used as a Windows user would use it, under
# wine on a virtual display: the installer runs silently into a private wine
# prefix, the Start-menu shortcut starts the launcher, and a training run and
# a test run are clicked in the window, through the real batch files and
# sentiment.exe. Once on a Chinese (936) and once on a Western (1252) code
# page. Before that, the window's QtTest suites run under wine.
#   windows_program.sh SOURCE_DIR CROSS_BUILD_DIR VERSION
set -euo pipefail
src=$1 cross=$2 version=$3

for tool in x86_64-w64-mingw32-g++-posix wine makensis Xvfb xdotool xclip; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (bash scripts/install-deps.sh test windows): skipped"; exit 77; }
done
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d)
display=
# Every step may find its process gone already; none of that may fail the run.
cleanup() {
  local prefix
  for prefix in "$tmp"/suites* "$tmp"/prefix-*; do
    [ -d "$prefix" ] || continue
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1 || true
  done
  if [ -n "$display" ]; then kill "$display" 2>/dev/null || true; fi
  rm -rf "$tmp" || true
}
trap cleanup EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

echo "== cross build of the program, its suites and its installer ($cross)"
bash "$src/scripts/windows.sh" --tests "$cross" >"$tmp/build.log" 2>&1 || { tail -n 40 "$tmp/build.log" >&2; fail "scripts/windows.sh"; }
installer="$cross/qinggan-fenxi-$version-win64.exe"
[ -f "$installer" ] || fail "no installer $installer"

# A virtual display of our own for the window and the dialogs.
for n in $(seq 90 120); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
display=$!
export DISPLAY=":$n"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

echo "== the window's suites under wine (code page 1252)"
export WINEPREFIX="$tmp/suites" LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8
wineboot -i >/dev/null 2>&1 || fail "wineboot"
ctest --test-dir "$cross" --output-on-failure -L wine || fail "the suites under wine"
wineserver -k >/dev/null 2>&1 || true

# The suites where the code page matters, again on a Chinese one: the text
# files exchanged with the worker, imports, the claim and the real workers.
echo "== the same, where the code page matters (code page 936)"
export WINEPREFIX="$tmp/suites-936" LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
wineboot -i >/dev/null 2>&1 || fail "wineboot"
ctest --test-dir "$cross" --output-on-failure -L wine -R 'tst_(exchange|import|runclaim|endtoend)$' ||
  fail "the suites under wine, code page 936"
wineserver -k >/dev/null 2>&1 || true

. "$src/tests/windows/window_driver.sh"

for locale in zh_CN.UTF-8 en_US.UTF-8; do
  export LANG=$locale LC_ALL=$locale WINEPREFIX="$tmp/prefix-$locale"
  echo "== installed program, $locale (code page $( [ "$locale" = zh_CN.UTF-8 ] && echo 936 || echo 1252 ))"
  wineboot -i >/dev/null 2>&1 || fail "wineboot"
  run_installed_program "$installer" "$version" || fail "the installed program under $locale"
  wineserver -k >/dev/null 2>&1 || true
done
echo "windows program: all checks passed ($(basename "$installer"))"
