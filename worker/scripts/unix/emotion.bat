#!/bin/sh
# Trains the model from the exchange files in the current directory.
exec "$(dirname "$0")/sentiment" train --reviews reviews.txt --labels labels.txt --model sentiment.model --progress 计数.txt
