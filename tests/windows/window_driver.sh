# Drives the installed Windows program under wine on an X display, as a user
# would: install, start from the Start menu, click, read what the window shows.
# Sourced by windows_program.sh; needs WINEPREFIX, DISPLAY and fail().

unix_path() { winepath -u "$1" 2>/dev/null; }

# wait_for SECONDS COMMAND...: until the command succeeds.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.3
  done
}

# Where the window's central widget starts below its top edge (the empty
# menu bar and tool bar), measured under wine.
central_top=13

window_named() { xdotool search --name "^$1\$" 2>/dev/null | head -n 1; }
has_window() { [ -n "$(window_named "$1")" ]; }

# click WINDOW X Y: clicks at a point of the window's client area, given in
# the coordinates of the window's central widget (below the menu and tool bar).
click() {
  local id=$1 x=$2 y=$3 wx wy
  eval "$(xdotool getwindowgeometry --shell "$id")"
  wx=$X wy=$Y
  xdotool mousemove "$((wx + x))" "$((wy + y + central_top))" click 1
}

# close_box TITLE: waits for a message box and presses its only button.
close_box() {
  wait_for 120 has_window "$1" || { screenshot "no-box-$1"; fail "no box titled $1"; }
  local box
  box=$(window_named "$1")
  eval "$(xdotool getwindowgeometry --shell "$box")"
  xdotool mousemove "$((X + 10))" "$((Y + 10))" click 1 key Return
  wait_for 20 bash -c "! xdotool search --name '^$1\$' >/dev/null 2>&1" || fail "the box $1 did not close"
}

# choose_file TEXT: types a name into the file dialog that is open and opens it.
choose_file() {
  wait_for 30 has_window "打开文件" || { screenshot no-dialog; fail "no file dialog"; }
  local dialog
  dialog=$(window_named "打开文件")
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  sleep 1
  xdotool type --delay 20 "$1"
  xdotool key Return
  wait_for 20 bash -c "! xdotool search --name '^打开文件\$' >/dev/null 2>&1" || { screenshot dialog; fail "the file dialog stayed open"; }
}

screenshot() {
  [ -n "${SCREENSHOTS:-}" ] || return 0
  xwd -root -silent >"$SCREENSHOTS/$1.xwd" 2>/dev/null || true
}

# What the result box holds: selected and copied, read from the clipboard.
result_text() {
  local id=$1
  click "$id" 770 305
  xdotool key ctrl+a ctrl+c
  sleep 0.5
  xclip -o -selection clipboard 2>/dev/null
}

run_installed_program() {
  local installer=$1 version=$2 log
  log=$(mktemp)
  wine "$installer" /S >"$log" 2>&1 || { cat "$log" >&2; fail "the installer exited with $?"; }
  local program_files
  program_files=$(unix_path 'C:\Program Files\qinggan-fenxi')
  for f in qinggan-fenxi-launcher.exe qinggan-fenxi.exe sentiment.exe Qt5Core.dll Qt5Widgets.dll \
           platforms/qwindows.dll scripts/emotion.bat scripts/test.bat sample/sample-reviews.txt; do
    [ -f "$program_files/$f" ] || fail "the installer did not install $f"
  done
  local shortcut
  shortcut=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name '情感分析.lnk' | head -n 1)
  [ -n "$shortcut" ] || fail "no Start-menu shortcut 情感分析.lnk"

  # The shortcut, as a double click in the Start menu would start it.
  wine start /unix "$shortcut" >"$log" 2>&1 &
  wait_for 60 has_window "情感分析" || { cat "$log" >&2; screenshot no-window; fail "no window titled 情感分析"; }
  local window work
  window=$(window_named "情感分析")
  work=
  for candidate in "$WINEPREFIX"/drive_c/users/*/Documents/情感分析; do
    [ -d "$candidate" ] && work=$candidate
  done
  [ -n "$work" ] || fail "the launcher prepared no work directory in Documents"
  for f in emotion.bat test.bat sentiment.exe sample-reviews.txt sample-labels.txt sample-test.txt; do
    [ -f "$work/$f" ] || fail "the work directory lacks $f"
  done
  sleep 2
  screenshot "window-$LANG"

  # Training: both files chosen in the window's dialogs, then 开始训练.
  click "$window" 225 110
  choose_file sample-reviews.txt
  click "$window" 225 220
  choose_file sample-labels.txt
  click "$window" 230 345
  close_box "训练完成"
  [ "$(tr -d '\r' <"$work/计数.txt")" = 1 ] || fail "计数.txt holds '$(cat "$work/计数.txt")' after training"
  [ -s "$work/sentiment.model" ] || fail "training wrote no model"

  # Testing the default sentences.
  click "$window" 860 225
  close_box "测试完成"
  has_window "测试异常" && fail "the test run ended with 测试异常"
  local expected
  expected=$'It is a terrible movie\r\nI like it\r\nIt is a lovely hero'
  # test.txt holds the sentences intact, as Windows writes text.
  [ "$(cat "$work/test.txt")" = "$expected" ] || fail "test.txt holds '$(cat -A "$work/test.txt")'"
  local shown
  shown=$(result_text "$window")
  screenshot "results-$LANG"
  grep -q '差评' <<<"$shown" || fail "the result box shows no 差评: $shown"
  grep -q '好评' <<<"$shown" || fail "the result box shows no 好评: $shown"
  [ "$(grep -c . <<<"$shown")" -eq 3 ] || fail "the result box shows $(grep -c . <<<"$shown") lines, not 3: $shown"
  [ "$(tr -d '\r' <"$work/percent.txt")" = 66.67 ] || fail "percent.txt holds '$(cat "$work/percent.txt")', not 66.67"

  # Chinese through the window: the sample sentences imported, then tested.
  # Every line comes back beside its verdict, in the Western code page too.
  click "$window" 685 225
  choose_file sample-test.txt
  click "$window" 860 225
  close_box "测试完成"
  shown=$(result_text "$window")
  local sentence
  while IFS= read -r sentence; do
    sentence=${sentence%$'\r'}
    [ -n "$sentence" ] || continue
    grep -qF -- "$sentence" <<<"$shown" || fail "the result box lacks '$sentence': $shown"
  done <"$work/sample-test.txt"
  head -c 3 "$work/test.txt" | cmp -s - <(printf '\xef\xbb\xbf') ||
    fail "test.txt with Chinese in it has no UTF-8 byte-order mark"

  # Closing the window ends the program; the uninstaller removes it again
  # and leaves the user's work directory alone.
  click "$window" 500 600
  xdotool key alt+F4
  wait_for 30 bash -c "! xdotool search --name '^情感分析\$' >/dev/null 2>&1" || fail "the window did not close"
  wait_for 30 bash -c "! pgrep -f 'qinggan-fenxi.qinggan-fenxi\\.exe' >/dev/null" || fail "the program kept running after its window closed"
  wine "$program_files/Uninstall.exe" /S >"$log" 2>&1 || true
  wait_for 30 test ! -e "$program_files/qinggan-fenxi.exe" || fail "the uninstaller left the program"
  [ -s "$work/sentiment.model" ] || fail "the uninstaller removed the user's model"
  rm -f "$log"
}
