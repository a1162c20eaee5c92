#!/usr/bin/env bash
# The one place that installs packages from Debian's archive. Safe to run
# again: it does nothing when all is there.
#
#   bash scripts/install-deps.sh [SET|PACKAGE]...
#
# Sets: build (always: what the build needs), run (a CJK font for the window),
# test (the packaging checks and the Windows build under wine), windows (what
# building Qt for Windows from Debian's source and the installer need). Any
# other word is taken as a package name (e.g. the benchmark's peers).
set -euo pipefail

sources=no
locales=()
packages=(
  build-essential cmake pkg-config
  qtbase5-dev
  libgtest-dev
  libcli11-dev
  libxxhash-dev
)
for word in "$@"; do
  case "$word" in
    build) ;;
    # Without a CJK font the window's Chinese texts show as empty boxes.
    run) packages+=(fonts-wqy-microhei) ;;
    # desktop-file-validate and appstreamcli check the menu entry and the
    # metainfo; dpkg-dev and file let CPack work out the package's
    # dependencies; mingw-w64 and wine build and run the Windows worker.
    test) packages+=(desktop-file-utils appstream dpkg-dev file
                     g++-mingw-w64-x86-64-posix wine wine64) ;;
    # Qt's source comes through apt-get source (a deb-src entry, below);
    # nsis makes the installer; xvfb gives wine a display for the window,
    # xdotool clicks in it and xclip reads what it copies. wine takes its
    # code page from the locale and names files in its character set, so the
    # Chinese and the Western locale must exist (below).
    windows) packages+=(dpkg-dev g++-mingw-w64-x86-64-posix wine wine64 nsis
                        xvfb xauth xdotool xclip x11-utils fonts-wqy-microhei perl python3 locales)
             sources=yes locales=(zh_CN.UTF-8 en_US.UTF-8) ;;
    *) packages+=("$word") ;;
  esac
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive

# apt-get source needs a deb-src entry beside each of Debian's deb entries.
# They go into files of our own; the machine's own lists stay as they are.
has_sources() { apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -qx Sources; }
add_deb_src() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && [[ "$f" != */qinggan-fenxi-* ]] || continue
    # deb822 stanzas that carry Debian's archive, read as deb-src.
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /URIs:[^\n]*debian/ && /Types:[^\n]*deb/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f"
  done | $sudo tee /etc/apt/sources.list.d/qinggan-fenxi-deb-src.sources >/dev/null
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb \(.*debian.*\)$/deb-src \1/p' /etc/apt/sources.list |
      $sudo tee /etc/apt/sources.list.d/qinggan-fenxi-deb-src.list >/dev/null
  fi
  $sudo apt-get update -qq
}
if [ "$sources" = yes ] && ! has_sources; then
  add_deb_src
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ -n "$sudo" ] && ! command -v sudo >/dev/null; then
    echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1
  fi
  # A stale package list is the usual reason an install fails on a fresh
  # machine; refresh it only then, it takes a while.
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    { $sudo apt-get update -qq && $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; }
fi

for locale in "${locales[@]}"; do
  if ! locale -a 2>/dev/null | grep -qix "$(sed 's/UTF-8/utf8/' <<<"$locale")"; then
    grep -qx "$locale UTF-8" /etc/locale.gen 2>/dev/null || echo "$locale UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
    generate=yes
  fi
done
if [ "${generate:-no}" = yes ]; then
  $sudo locale-gen >/dev/null
fi
