#!/usr/bin/env bash
# How often our encoding detector and ICU's (ucsdet) get the text right on
# samples of the shared corpora saved as UTF-8, GBK, Big5, UTF-16 and UTF-32
# with and without a mark, Windows-1252 and damaged UTF-8, and how often
# they garble files that must be refused: zero bytes, Big5-HKSCS, Japanese,
# Korean and other Western code pages (on sentences of compare.cpp's own),
# GBK and UTF-8 mixed, CESU-8 and overlong UTF-8. ICU is only measured here,
# not linked into the tool (the Windows build has no ICU).
#   bash bench/encoding.sh [shared-data-dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
data="${1:-$root/../shared/data}"
[ -d "$data" ] || { echo "no corpora at $data" >&2; exit 1; }
bash "$root/scripts/install-deps.sh" libicu-dev
build="$root/build-bench-encoding"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_APP=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target sentiment_text -j2 >/dev/null
g++ -std=c++17 -O2 -I"$root/worker/src" "$root/bench/encoding/compare.cpp" "$build/worker/libsentiment_text.a" \
  $(pkg-config --cflags --libs icu-i18n icu-uc) -o "$build/compare-encodings"
"$build/compare-encodings" "$data"
