#!/bin/sh
# Judges test.txt with the model in the current directory.
exec "$(dirname "$0")/sentiment" test --input test.txt --model sentiment.model --out out.txt --percent percent.txt
