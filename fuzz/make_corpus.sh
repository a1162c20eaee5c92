#!/usr/bin/env bash
# Rebuilds the seed corpora in fuzz/corpus/ from scratch. The model seeds come
# from `sentiment train` on a tiny data set; pass the tool's path, or it is
# built in build-fuzz/ (needs a configured build-fuzz, see tools/fuzz.sh).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
tool="${1:-}"
if [ -z "$tool" ]; then
  cmake --build "$root/build-fuzz" --target sentiment -j2 >/dev/null
  tool="$root/build-fuzz/worker-build/sentiment"
fi

c="$here/corpus"
rm -rf "$c"
mkdir -p "$c"/{fuzz_decoder,fuzz_dataset,fuzz_tokenizer,fuzz_model_loader}

to() { iconv -f UTF-8 -t "$1"; }   # re-encode stdin
sep=$'\x01'                         # fuzz_dataset: reviews <0x01> labels

en='The room was clean, the staff were friendly.'
zh='质量很好，物流也快，下次还会再来！'
mixed="Not bad at all 不错，值得 buy again!"

# --- decoder: every encoding, with and without BOM, LF and CR LF, damage ---
d="$c/fuzz_decoder"
printf '%s\n%s\n' "$en" "$zh" >"$d/utf8.txt"
printf '\xEF\xBB\xBF%s\n%s\n' "$en" "$zh" >"$d/utf8-bom.txt"
printf '%s\r\n%s\r\n' "$en" "$mixed" >"$d/utf8-crlf.txt"
{ printf '\xFF\xFE'; printf '%s\r\n%s\n' "$zh" "$mixed" | to UTF-16LE; } >"$d/utf16le-bom.txt"
{ printf '\xFE\xFF'; printf '%s\n%s' "$zh" "$en" | to UTF-16BE; } >"$d/utf16be-bom.txt"
printf '%s\n%s\n' "$zh" "$mixed" | to GB18030 >"$d/gb18030.txt"
printf '表情 \xF0\x9F\x98\x80 ok\n' | to GB18030 >"$d/gb18030-4byte.txt"
printf '%s\n%s\n%s\n%s\n\xE5\xA5\n' "$zh" "$zh" "$zh" "$mixed" >"$d/utf8-damaged.txt"
printf '%s' "$zh" | head -c 7 >"$d/utf8-cut.txt"
{ printf '\xFF\xFE'; printf '%s' "$zh" | to UTF-16LE | head -c 9; } >"$d/utf16le-odd.txt"
printf '\xFF\xFE\x3D\xD8\x41\x00' >"$d/utf16le-lone-surrogate.txt"
printf 'last line without break\r' >"$d/cr-end.txt"
: >"$d/empty.txt"

# --- dataset: reviews, 0x01, labels ---
d="$c/fuzz_dataset"
pair() { printf '%s%s%s' "$1" "$sep" "$2"; }
pair "$(printf '%s\n%s\n' "$en" "$zh")" "$(printf 'positive\nnegative\n')" >"$d/en-words.txt"
pair "$(printf 'good\r\nbad\r\nfine\r\nawful\r\n')" "$(printf 'Pos\r\nneg\r\n1\r\n0\r\n\r\n')" >"$d/crlf-short.txt"
pair "$(printf '%s\n%s\n' "$zh" "$mixed")" "$(printf ' 正面 \n负面\n好评\n差评\n')" >"$d/zh-labels-extra.txt"
pair "$(printf '%s\n%s\n\n' "$zh" "$en")" "$(printf '好评\n\xE3\x80\x80差评\xE3\x80\x80\n')" >"$d/fullwidth-blank.txt"
{ printf '\xFF\xFE'; printf '%s\n%s\n' "$zh" "$en" | to UTF-16LE; printf '%s' "$sep";
  printf '\xFE\xFF'; printf 'POSITIVE\nNEGATIVE\n' | to UTF-16BE; } >"$d/utf16.txt"
{ printf '%s\n%s\n' "$zh" "$mixed" | to GB18030; printf '%s' "$sep"; printf '正面\n负面\n' | to GB18030; } >"$d/gb18030.txt"
{ printf '\xEF\xBB\xBF%s\n%s\n' "$en" "$mixed"; printf '%s' "$sep"; printf '\xEF\xBB\xBFnegative\npositive'; } >"$d/bom-nofinal.txt"
pair "$(printf 'one\ntwo\n')" "$(printf 'positive\nmaybe\n')" >"$d/bad-label.txt"
pair "$(printf 'one\ntwo\nthree\n')" "$(printf 'positive\nnegative\n')" >"$d/too-few-labels.txt"
pair "$(printf 'one\ntwo\n')" "$(printf '1\n1\n')" >"$d/one-class.txt"

# --- tokenizer: text as a line reaches it (already UTF-8), and raw bytes ---
d="$c/fuzz_tokenizer"
printf '%s' "$en" >"$d/en.txt"
printf '%s' "$zh" >"$d/zh.txt"
printf '%s' "$mixed" >"$d/mixed.txt"
printf "I don't think it's not good; never again. Don’t!" >"$d/negation.txt"
printf 'Ünïcödé ΕΛΛΗΝΙΚΆ Кириллица ｆｕｌｌ－ｗｉｄｔｈ！ ☺ 👍🏽 한국어 ひらがな' >"$d/scripts.txt"
printf 'bad\xFFbytes\xE4\xB8 cut\xC0\xAF overlong\xED\xA0\x80 surrogate' >"$d/invalid-utf8.txt"

# --- model loader: real models from a tiny training set, and damage ---
d="$c/fuzz_model_loader"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf '%s\n' "great film, loved it" "terrible, I hated it" "不错，很喜欢" "太差了，不推荐" \
  "not good at all" "really good value" >"$work/reviews.txt"
printf '%s\n' positive negative 好评 差评 negative positive >"$work/labels.txt"
train() {
  (cd "$work" && "$tool" train --reviews reviews.txt --labels labels.txt --model "$1" \
     --progress progress.txt --holdout 0 "${@:2}" >/dev/null)
  cp "$work/$1" "$d/$1"
}
train bits8.model --bits 8 --ngrams 1 --char-min 0 --char-max 0
train bits10.model --bits 10 --ngrams 2 --char-min 3 --char-max 4
train default-bits.model --ngrams 1 --char-min 0 --char-max 0
m="$d/bits10.model"
size=$(stat -c %s "$m")
head -c $((size - 1)) "$m" >"$d/cut-checksum.model"
head -c 24 "$m" >"$d/cut-header.model"
head -c $((size / 2)) "$m" >"$d/cut-half.model"
head -c 6 "$m" >"$d/cut-magic.model"
printf '\x89PNG\r\n\x1a\n\0\0\0\rIHDR' >"$d/foreign-png.model"
printf 'SENTIMDL\x02\0\0\0' >"$d/future-version.model"
du -sh "$c"
