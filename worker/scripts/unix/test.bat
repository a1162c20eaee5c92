#!/bin/sh
# Judges test.txt with the model in the current directory.
# The tool is the one beside this script; ${0%/*} keeps any directory name
# whole, where $(dirname "$0") would drop a trailing newline.
case $0 in */*) here=${0%/*} ;; *) here=. ;; esac
exec "$here/sentiment" test --input test.txt --model sentiment.model --out out.txt --percent percent.txt
