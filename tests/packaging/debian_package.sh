#!/usr/bin/env bash
# Builds the Debian package of a build and checks what apt would get from it:
# the files a desktop user needs and the packages they depend on.
#   debian_package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
command -v dpkg-shlibdeps >/dev/null || { echo "dpkg-dev is missing: skipped"; exit 77; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log" >&2; fail "cpack -G DEB"; }
debs=("$tmp"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made ${#debs[@]} packages: ${debs[*]}"
deb=${debs[0]}

[ "$(dpkg-deb -f "$deb" Package)" = qinggan-fenxi ] || fail "package name $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version), not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for need in fonts-wqy-microhei libqt5widgets5 libstdc++6 libc6; do
  [[ ", $depends," == *", $need "* || ", $depends," == *", $need,"* ]] || fail "Depends lacks $need: $depends"
done

contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in ./usr/bin/qinggan-fenxi ./usr/bin/sentiment ./usr/libexec/qinggan-fenxi/qinggan-fenxi \
            ./usr/share/qinggan-fenxi/scripts/emotion.bat ./usr/share/qinggan-fenxi/scripts/test.bat \
            ./usr/share/qinggan-fenxi/sample/sample-reviews.txt \
            ./usr/share/applications/org.qingganfenxi.QingganFenxi.desktop \
            ./usr/share/metainfo/org.qingganfenxi.QingganFenxi.metainfo.xml \
            ./usr/share/icons/hicolor/scalable/apps/org.qingganfenxi.QingganFenxi.svg \
            ./usr/share/icons/hicolor/48x48/apps/org.qingganfenxi.QingganFenxi.png; do
  grep -qxF "$path" <<<"$contents" || fail "the package lacks $path"
done
# Nothing of the build machine may leak into the package.
grep -v '^\./usr/' <<<"$contents" | grep -vx '\./' | grep . && fail "files outside /usr"
dpkg-deb -x "$deb" "$tmp/root"
[ "$("$tmp/root/usr/bin/sentiment" --version)" = "sentiment $version" ] || fail "the packaged sentiment --version"
echo "$(basename "$deb"): Depends: $depends"
