#!/usr/bin/env python3
"""Measures how the word lists mark equivalents on an aligned corpus.

    python3 tools/wordlists/evaluate_marks.py --corpus DIR [--dic DIR] [--missing]

For the 20 most frequent English and Chinese query words of DIR/*.EN.txt and
DIR/*.ZH.txt (with an entry in the lists), it marks each hit's aligned line
as the engine would: the value's alternatives, longest first at each place,
not overlapping; Chinese by substring, English by ASCII word edges and case
blind, widened to plain inflections. It prints the share of hits with a mark
and the share of marks that are whole words (for Chinese, a mark whose edges
fall on edges of jieba's segmentation).

--cli PATH takes the marks from PATH's search export (korvel-cli search
QUERY DIR) instead, so the engine's own placing is judged.

--missing also lists, for the 1,000 most frequent English content words, the
CC-CEDICT words glossed by the word (or its singular) that occur in at least
a tenth of the aligned lines yet are not in its value. Needs python3-jieba.
"""

import argparse
import collections
import glob
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PER_QUERY = 1500  # hits looked at per query, enough for a stable share
# Words no list translates usefully; they would crowd out content words.
STOP = set("""a an the and or but if of to in on at by for with from as is are was were be been
being have has had do does did not no so than then that this these those there here it its
he she they we you i me him her them us my your his our their what which who whom whose when
where why how all any some each every more most other such only own same too very can will
just should would could may might must shall about into over after before again once also
up down out off under while because until against between through during above below
one two three four five new said says mr mrs ms thou thee thy ye unto used made like now""".split())


def read_list(path):
    out = {}
    with open(path, encoding="utf-8") as f:
        next(f)
        for line in f:
            name, _, value = line.rstrip("\n").partition("=")
            out[name] = value.split("|")
    return out


def read_corpus(folder):
    pairs = []
    for en_path in sorted(glob.glob(os.path.join(folder, "*.EN.txt"))):
        zh_path = en_path[:-len("EN.txt")] + "ZH.txt"
        with open(en_path, encoding="utf-8") as e, open(zh_path, encoding="utf-8") as z:
            pairs.extend(zip((l.rstrip("\n") for l in e), (l.rstrip("\n") for l in z)))
    return pairs


def marks_zh(line, alternatives):
    """Spans of Chinese equivalents, longest first at each place."""
    alts = sorted(set(a for a in alternatives if a), key=len, reverse=True)
    spans, i = [], 0
    while i < len(line):
        for a in alts:
            if line.startswith(a, i):
                spans.append((i, i + len(a)))
                i += len(a)
                break
        else:
            i += 1
    return spans


def engine_marks(cli, corpus, query, dic):
    """(clean aligned line, spans of its 【】 marks) of the engine's first hits."""
    import subprocess
    out = subprocess.run([cli, "search", "--dic", dic, "--", query, corpus], capture_output=True,
                         text=True, check=True).stdout
    rows = []
    for line in out.splitlines()[:PER_QUERY]:
        fields = line.split("\t")
        if len(fields) < 6:
            continue
        marked = fields[5]  # the aligned line comes last either way
        clean, spans, at = [], [], 0
        for part in re.split("(【|】)", marked):
            if part == "【":
                start = at
            elif part == "】":
                spans.append((start, at))
            else:
                clean.append(part)
                at += len(part)
        rows.append(("".join(clean), spans))
    return rows


def english_pattern(value):
    words = sorted({w.lower() for alt in value for w in alt.split() if w}, key=len, reverse=True)
    if not words:
        return None
    forms = "|".join(re.escape(w) + r"(?:s|es|ed|d|ing)?" for w in words)
    return re.compile(r"\b(?:" + forms + r")\b", re.I)


def en_words(text):
    return re.findall(r"[a-z]+", text.lower())


def top_queries(pairs, en_zh, zh_en, jieba, n=20):
    en = collections.Counter(w for e, _ in pairs for w in set(en_words(e)))
    en_q = [w for w, _ in en.most_common() if w in en_zh and w not in STOP and len(w) > 2][:n]
    zh = collections.Counter()
    for _, z in pairs[::7]:  # a sample is enough to rank the commonest words
        zh.update(set(t for t in jieba.cut(z) if len(t) > 1 and t in zh_en))
    zh_q = [w for w, _ in zh.most_common(n)]
    return en_q, zh_q


def whole(span, cuts):
    return span[0] in cuts and span[1] in cuts


def token_edges(jieba, line, cache):
    if line not in cache:
        edges, at = {0}, 0
        for t in jieba.cut(line):
            at += len(t)
            edges.add(at)
        cache[line] = edges
    return cache[line]


def totals(rows):
    total = collections.Counter()
    for side, q, hits, marked, n_marks, n_whole in rows:
        total[side, "hits"] += hits
        total[side, "marked"] += marked
        total[side, "marks"] += n_marks
        total[side, "whole"] += n_whole
    return total


def evaluate_engine(cli, corpus, dic, en_q, zh_q, jieba):
    cache, rows = {}, []
    for side, queries in (("en", en_q), ("zh", zh_q)):
        for q in queries:
            hits = engine_marks(cli, corpus, q, dic)
            marked = sum(bool(spans) for _, spans in hits)
            n_marks = sum(len(spans) for _, spans in hits)
            n_whole = n_marks if side == "zh" else sum(
                whole(s, token_edges(jieba, z, cache)) for z, spans in hits for s in spans)
            rows.append((side, q, len(hits), marked, n_marks, n_whole))
    return rows, totals(rows)


def evaluate(pairs, en_zh, zh_en, en_q, zh_q, jieba):
    cache = {}
    rows = []
    for q in en_q:
        rx = re.compile(r"\b" + re.escape(q) + r"\b", re.I)
        hits = [z for e, z in pairs if rx.search(e)][:PER_QUERY]
        marked = n_marks = n_whole = 0
        for z in hits:
            spans = marks_zh(z, en_zh[q])
            marked += bool(spans)
            if spans:
                edges = token_edges(jieba, z, cache)
                n_marks += len(spans)
                n_whole += sum(whole(s, edges) for s in spans)
        rows.append(("en", q, len(hits), marked, n_marks, n_whole))
    for q in zh_q:
        rx = english_pattern(zh_en[q])
        hits = [e for e, z in pairs if q in z][:PER_QUERY]
        marked = n_marks = 0
        for e in hits:
            found = rx.findall(e) if rx else []
            marked += bool(found)
            n_marks += len(found)
        rows.append(("zh", q, len(hits), marked, n_marks, n_marks))  # \b: whole by construction
    return rows, totals(rows)


def singular(word):
    irregular = {"children": "child", "people": "person", "men": "man", "women": "woman"}
    if word in irregular:
        return irregular[word]
    if word.endswith("ies"):
        return word[:-3] + "y"
    if word.endswith("s") and not word.endswith("ss"):
        return word[:-1]
    return word


def missing(pairs, en_zh, jieba):
    import cedict
    heads = cedict.headwords(cedict.load_cedict().entries)
    glossed = collections.defaultdict(set)
    for simplified, hw in heads.items():
        for g in hw.glosses:
            glossed[g.text.lower()].add(simplified)
    en = collections.Counter(w for e, _ in pairs for w in set(en_words(e)))
    words = [w for w, _ in en.most_common() if w not in STOP and len(w) > 2 and w in en_zh][:1000]
    for w in words:
        cands = glossed.get(w, set()) | glossed.get(singular(w), set())
        cands = {c for c in cands if len(c) > 1}
        if not cands:
            continue
        rx = re.compile(r"\b" + re.escape(w) + r"\b", re.I)
        lines = [z for e, z in pairs if rx.search(e)][:PER_QUERY]
        seen = collections.Counter(c for z in lines for c in cands if c in z)
        lacking = [(c, n) for c, n in seen.most_common() if n >= len(lines) / 10 and c not in en_zh[w]]
        if lacking:
            print(f"{w} ({len(lines)} lines): " + ", ".join(f"{c} {n}" for c, n in lacking))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--corpus", required=True, help="folder of aligned *.EN.txt / *.ZH.txt")
    ap.add_argument("--dic", default=os.path.join(REPO, "dic"))
    ap.add_argument("--missing", action="store_true")
    ap.add_argument("--cli", help="korvel-cli whose marks are judged")
    args = ap.parse_args()
    try:
        import jieba
    except ImportError:  # Debian's package, run from another Python
        sys.path.append("/usr/lib/python3/dist-packages")
        import jieba
    jieba.setLogLevel(60)
    en_zh = read_list(os.path.join(args.dic, "EN-ZH.txt"))
    zh_en = read_list(os.path.join(args.dic, "ZH-EN.txt"))
    pairs = read_corpus(args.corpus)
    en_q, zh_q = top_queries(pairs, en_zh, zh_en, jieba)
    if args.cli:
        rows, total = evaluate_engine(args.cli, args.corpus, args.dic, en_q, zh_q, jieba)
    else:
        rows, total = evaluate(pairs, en_zh, zh_en, en_q, zh_q, jieba)
    for side, q, hits, marked, n_marks, n_whole in rows:
        print(f"{side} {q}: {hits} hits, {marked} marked, {n_marks} marks, {n_whole} whole")
    for side, name in (("en", "English queries"), ("zh", "Chinese queries")):
        t = total
        print(f"{name}: hits marked {t[side, 'marked']}/{t[side, 'hits']} "
              f"= {t[side, 'marked'] / max(1, t[side, 'hits']):.1%}; whole marks "
              f"{t[side, 'whole']}/{t[side, 'marks']} = {t[side, 'whole'] / max(1, t[side, 'marks']):.1%}")
    if args.missing:
        missing(pairs, en_zh, jieba)


if __name__ == "__main__":
    main()
