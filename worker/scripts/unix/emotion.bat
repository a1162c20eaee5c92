#!/bin/sh
# Trains the model from the exchange files in the current directory.
# The tool is the one beside this script; ${0%/*} keeps any directory name
# whole, where $(dirname "$0") would drop a trailing newline.
case $0 in */*) here=${0%/*} ;; *) here=. ;; esac
exec "$here/sentiment" train --reviews reviews.txt --labels labels.txt --model sentiment.model --progress 计数.txt
