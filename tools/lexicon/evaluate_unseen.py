#!/usr/bin/env python3
"""Scores MyDLL's rules on words its lexicon lacks.

    python3 tools/lexicon/evaluate_unseen.py [--lib build/bin/sys/libMyDLL.so]

A sample of lexicon lemmas met in the shared corpus is held out: they and
every family they belong to are removed from a copy of sys/english.lex, the
library loads that copy (KORVEL_LEXICON), and each held-out lemma is asked
for. The families removed are the answer key, so the rules are scored on
words they have never seen, against forms they did not make.

Recall: the share of the key's forms given. Precision counts only the harm
that matters in a search: a form outside the key that is a real word (listed
by the full lexicon or /usr/share/dict/words); non-words match nothing.
"Strict" precision counts every form outside the key as wrong.
"""

import argparse
import collections
import glob
import os
import random
import re
import sys
import tempfile

from evaluate import HERE, ROOT, Library, ratio

WORD_LISTS = ("/usr/share/dict/words",)  # Debian's wamerican


def read_families(path):
    header, families = [], []
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                header.append(line)
            else:
                families.append(line.split())
    return header, families


def corpus_counts(pattern):
    counts = collections.Counter()
    for path in glob.glob(pattern):
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                counts.update(re.findall(r"[a-z]+", line.lower()))
    return counts


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--lib", default=os.path.join(ROOT, "build", "bin", "sys", "libMyDLL.so"))
    parser.add_argument("--lexicon", default=os.path.join(ROOT, "sys", "english.lex"))
    parser.add_argument("--corpus", default="/work/shared/corpus/*.EN.txt")
    parser.add_argument("--count", type=int, default=500)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("-v", "--verbose", action="store_true", help="list every miss and harmful form")
    args = parser.parse_args()

    header, families = read_families(args.lexicon)
    strip = lambda token: token[1:]
    all_words = {strip(t) for fam in families for t in fam}
    real_words = set(all_words)
    for path in WORD_LISTS:
        if os.path.exists(path):
            with open(path, encoding="utf-8", errors="replace") as f:
                real_words.update(w.strip().lower() for w in f if w.strip().isalpha())

    # Lemmas with forms, of three letters or more, seen at least twice in the
    # corpus; without a corpus, any such lemma.
    counts = corpus_counts(args.corpus)
    lemmas = sorted({strip(fam[0]) for fam in families if len(fam) > 1 and len(fam[0]) > 3})
    seen = [w for w in lemmas if counts[w] >= 2] or lemmas
    held = set(random.Random(args.seed).sample(seen, min(args.count, len(seen))))

    key = collections.defaultdict(set)
    kept = []
    for fam in families:
        words = [strip(t) for t in fam]
        hit = held.intersection(words)
        for w in hit:
            key[w].update(words)
        if not hit:
            kept.append(fam)
    with tempfile.TemporaryDirectory() as tmp:
        lex_path = os.path.join(tmp, "held-out.lex")
        with open(lex_path, "w", encoding="utf-8") as f:
            f.writelines(header)
            f.writelines(" ".join(fam) + "\n" for fam in kept)
        os.environ["KORVEL_LEXICON"] = lex_path
        lib = Library(args.lib)
        answers = {w: set(lib.forms(w)) for w in sorted(held)}

    t = collections.Counter()
    problems = []
    for w, got in answers.items():
        required = key[w] - {w}
        harmful = {f for f in got - required if f in real_words}
        t["given"] += len(got)
        t["correct"] += len(got & required)
        t["harmful"] += len(harmful)
        t["required"] += len(required)
        t["answered"] += bool(got)
        if harmful or required - got:
            problems.append((w, sorted(required - got), sorted(harmful)))

    print(f"held out {len(held)} lemmas seen in the corpus (seed {args.seed}); "
          f"{t['answered']} got forms")
    print(f"recall {ratio(t['correct'], t['required']):.3f}  "
          f"precision {ratio(t['correct'], t['correct'] + t['harmful']):.3f}  "
          f"strict precision {ratio(t['correct'], t['given']):.3f}  "
          f"({t['correct']} right of {t['required']}, {t['harmful']} real words outside the family, "
          f"{t['given'] - t['correct'] - t['harmful']} non-words)")
    shown = problems if args.verbose else problems[:30]
    for w, missing, harmful in shown:
        parts = (["missing " + " ".join(missing)] if missing else []) + (
            ["harmful " + " ".join(harmful)] if harmful else [])
        print(f"  {w}: {'; '.join(parts)}")
    if len(problems) > len(shown):
        print(f"  ... {len(problems) - len(shown)} more (-v lists all)")


if __name__ == "__main__":
    sys.exit(main())
