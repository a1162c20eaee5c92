#!/usr/bin/env bash
# Builds Qt 5 for 64-bit Windows with mingw-w64 from Debian's own qtbase
# source, once, into a cache outside the clone, and prints its prefix as the
# last line. A later run with the same Qt version and options reuses it.
#
#   bash scripts/build-qt-windows.sh
#
# The cache is $QINGGAN_CACHE (default ~/.cache/qinggan-fenxi). Only what a
# Widgets program and its QtTest suites need is built: about 65 CPU-minutes.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh windows >&2

package=qtbase-opensource-src
version=$(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -V | tail -n 1)
[ -n "$version" ] || { echo "no source package $package: is there a deb-src entry?" >&2; exit 1; }

# The dfsg tarball lacks sqlite, wintab and iaccessible2, hence their options.
options=(
  -opensource -confirm-license -release -shared
  -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32-
  -qt-zlib -qt-libpng -qt-pcre -qt-harfbuzz -qt-freetype
  -no-opengl -no-dbus -no-icu -no-openssl -no-vulkan -no-libjpeg
  -no-sql-sqlite -no-feature-tabletevent
  -nomake examples -nomake tests
)
# What a Widgets program and its tests need (make targets in src/ and in
# src/plugins/*; their dependencies, moc, rcc, uic and the bundled libraries,
# come along).
libraries=(winmain testlib platformsupport)
installs=(moc rcc uic tracegen corelib gui widgets winmain testlib platformsupport)
plugins=(platforms/windows platforms/offscreen styles/windowsvista)

key=$( { echo "$version"; printf '%s\n' "${options[@]}" "${libraries[@]}" "${plugins[@]}"; } | sha256sum | cut -c1-12)
cache=${QINGGAN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/qinggan-fenxi}
prefix="$cache/qt5-win64-${version%%+*}-$key"
mkdir -p "$cache"

# Two builds at once would share one folder: the second waits for the first.
exec 9>"$cache/qt5-win64.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work="$cache/build-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work"
cd "$work"
echo "Building Qt $version for Windows into $prefix (once; about 65 CPU-minutes)" >&2
apt-get source -qq "$package=$version" >source.log 2>&1 || { cat source.log >&2; exit 1; }
src=$(find . -maxdepth 1 -type d -name "qtbase-*" | head -n 1)
mkdir build
cd build
jobs=$(nproc 2>/dev/null || echo 2)
"../$src/configure" -prefix "$prefix" "${options[@]}" >configure.log 2>&1 ||
  { tail -n 40 configure.log >&2; exit 1; }
log="$work/build/build.log"
step() { "$@" >>"$log" 2>&1 || { tail -n 40 "$log" >&2; exit 1; }; }
step make -s sub-src-qmake_all
echo "  libraries: ${libraries[*]}" >&2
targets=("${libraries[@]/#/sub-}")
step nice make -s -j"$jobs" -C src "${targets[@]/%/-make_first}"
targets=("${installs[@]/#/sub-}")
step make -s -C src "${targets[@]/%/-install_subtargets}"
for plugin in "${plugins[@]}"; do
  echo "  plugin: $plugin" >&2
  kind=${plugin%/*} name=${plugin#*/}
  step make -s -C src/plugins "sub-$kind-qmake_all"
  step make -s -C "src/plugins/$kind" "sub-$name-qmake_all"
  step nice make -s -j"$jobs" -C "src/plugins/$plugin"
  step make -s -C "src/plugins/$plugin" install
done
step make -s install_mkspecs install_syncqt sub-qmake-qmake-aux-pro-install_subtargets
touch "$prefix/.complete"
cd "$cache"
rm -rf "$work"
echo "$prefix"
