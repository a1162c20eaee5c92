#!/usr/bin/env bash
# The one place that installs packages from Debian's archive. Safe to run
# again: it does nothing when all is there.
#
#   bash scripts/install-deps.sh [SET|PACKAGE]...
#
# Sets: build (always: what the build needs), run (a CJK font for the window),
# test (the packaging checks and the Windows worker under wine). Any other
# word is taken as a package name (e.g. the benchmark's peers).
set -euo pipefail

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
    *) packages+=("$word") ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
# A stale package list is the usual reason an install fails on a fresh
# machine; refresh it only then, it takes a while.
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
  { $sudo apt-get update -qq && $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"; }
