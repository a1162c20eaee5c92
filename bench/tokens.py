#!/usr/bin/env python3
"""Token helpers for the benchmark's peers.

  tokens.py chars    < text   one token per character (whitespace dropped),
                              the usual fastText input for Chinese
  tokens.py fallback < text   lower-cased words with every CJK character its
                              own token; used only when our worker could not
                              be built, so the peers can still be measured
"""
import re
import sys

CJK = re.compile(r"([\u3000-\u303f\u3400-\u4dbf\u4e00-\u9fff\uf900-\ufaff\uff00-\uffef])")


def chars(line):
    return " ".join(ch for ch in line if not ch.isspace())


def fallback(line):
    return " ".join(CJK.sub(r" \1 ", line.lower()).split())


def main():
    mode = sys.argv[1] if len(sys.argv) > 1 else ""
    fn = {"chars": chars, "fallback": fallback}.get(mode)
    if fn is None:
        raise SystemExit(__doc__)
    inp = open(sys.stdin.fileno(), encoding="utf-8", errors="replace", newline="\n")
    out = open(sys.stdout.fileno(), "w", encoding="utf-8", newline="\n")
    for line in inp:
        out.write(fn(line.rstrip("\n")) + "\n")


if __name__ == "__main__":
    main()
