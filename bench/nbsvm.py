#!/usr/bin/env python3
"""NB-SVM peer for the benchmark (Wang & Manning 2012, "Baselines and Bigrams").

Features are binarised unigrams + bigrams of the already tokenised text
(one review per line, tokens separated by spaces), each scaled by the
naive-Bayes log-count ratio r = log((p/|p|1) / (q/|q|1)), p = alpha + sum of
the positive reviews' binarised vectors, q likewise for the negative ones.
LIBLINEAR trains the L2-regularised L2-loss SVM on them; `interpolate` then
applies the paper's w' = (1-beta) * mean|w| + beta * w (beta = 0.25), which
trades between the naive-Bayes and the SVM weights. With `plain` the
features keep the value 1 (no NB scaling): the input of a plain
logistic-regression peer.

  nbsvm.py train-features TOKENS LABELS VOCAB_OUT SVM_OUT [plain]
  nbsvm.py test-features  TOKENS LABELS VOCAB     SVM_OUT
  nbsvm.py interpolate    MODEL_IN MODEL_OUT [BETA]
"""
import math
import sys

ALPHA = 1.0


def features(line):
    toks = line.split()
    feats = set(toks)
    feats.update(a + "\x01" + b for a, b in zip(toks, toks[1:]))
    return feats


def label_value(label):
    label = label.strip()
    if label == "positive":
        return 1
    if label == "negative":
        return -1
    raise SystemExit(f"nbsvm.py: unknown label {label!r}")


def read_pairs(tokens_path, labels_path):
    with open(tokens_path, encoding="utf-8") as t, open(labels_path, encoding="utf-8") as l:
        toks = t.read().split("\n")
        labs = l.read().split("\n")
    if toks and toks[-1] == "":
        toks.pop()
    if labs and labs[-1] == "":
        labs.pop()
    if len(toks) != len(labs):
        raise SystemExit(f"nbsvm.py: {len(toks)} token lines but {len(labs)} labels")
    return toks, [label_value(x) for x in labs]


def write_svm(path, rows):
    with open(path, "w", encoding="ascii") as out:
        for y, feats in rows:
            out.write(("+1" if y > 0 else "-1"))
            for idx, val in feats:
                out.write(f" {idx}:{val:.6g}")
            out.write("\n")


def train_features(tokens_path, labels_path, vocab_path, svm_path, plain=False):
    toks, labs = read_pairs(tokens_path, labels_path)
    index = {}
    pos = []
    neg = []
    docs = []
    for line, y in zip(toks, labs):
        ids = []
        for f in features(line):
            i = index.get(f)
            if i is None:
                i = len(index)
                index[f] = i
                pos.append(0)
                neg.append(0)
            ids.append(i)
            if y > 0:
                pos[i] += 1
            else:
                neg[i] += 1
        docs.append((y, ids))
    n = len(index)
    psum = sum(pos) + ALPHA * n
    qsum = sum(neg) + ALPHA * n
    r = [math.log((pos[i] + ALPHA) / psum) - math.log((neg[i] + ALPHA) / qsum) for i in range(n)]
    if plain:
        r = [1.0] * n
    with open(vocab_path, "w", encoding="utf-8") as v:
        for f, i in index.items():
            v.write(f"{f}\t{r[i]:.6g}\n")
    # LIBLINEAR indices are 1-based and must be ascending within a row.
    write_svm(svm_path, ((y, [(i + 1, r[i]) for i in sorted(ids)]) for y, ids in docs))


def test_features(tokens_path, labels_path, vocab_path, svm_path):
    toks, labs = read_pairs(tokens_path, labels_path)
    index = {}
    r = []
    with open(vocab_path, encoding="utf-8") as v:
        for n, line in enumerate(v):
            f, val = line.rstrip("\n").split("\t")
            index[f] = n
            r.append(float(val))
    rows = []
    for line, y in zip(toks, labs):
        ids = sorted(index[f] for f in features(line) if f in index)
        rows.append((y, [(i + 1, r[i]) for i in ids]))
    write_svm(svm_path, rows)


def interpolate(model_in, model_out, beta):
    with open(model_in, encoding="ascii") as m:
        lines = m.read().split("\n")
    head = lines.index("w")
    header = lines[:head + 1]
    weights = [float(x) for x in lines[head + 1:] if x.strip()]
    info = dict(l.split(" ", 1) for l in header[:-1])
    if int(info["nr_class"]) != 2:
        raise SystemExit("nbsvm.py: expected a two-class model")
    has_bias = float(info.get("bias", "-1")) >= 0
    feats = weights[:-1] if has_bias else weights
    # Decision values > 0 choose the first label listed; mean|w| has to point
    # towards "positive", which is where r is large.
    sign = 1.0 if info["label"].split()[0] in ("1", "+1") else -1.0
    wbar = sum(abs(w) for w in feats) / max(1, len(feats))
    new = [(1 - beta) * sign * wbar + beta * w for w in feats]
    if has_bias:
        new.append(beta * weights[-1])
    with open(model_out, "w", encoding="ascii") as out:
        out.write("\n".join(header) + "\n")
        out.write("".join(f"{w:.17g} \n" for w in new))


def main(argv):
    if len(argv) < 2:
        raise SystemExit(__doc__)
    cmd, args = argv[1], argv[2:]
    if cmd == "train-features" and len(args) == 4:
        train_features(*args)
    elif cmd == "train-features" and len(args) == 5 and args[4] == "plain":
        train_features(*args[:4], plain=True)
    elif cmd == "test-features" and len(args) == 4:
        test_features(*args)
    elif cmd == "interpolate" and len(args) in (2, 3):
        interpolate(args[0], args[1], float(args[2]) if len(args) == 3 else 0.25)
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
