#!/usr/bin/env python3
"""Scores MyDLL against the hand-written list in eval_irregulars.txt.

    python3 tools/lexicon/evaluate.py [--lib build/bin/sys/libMyDLL.so]

For every entry the library is asked for the forms of the base word.
Precision: the share of its forms that the list accepts (required or "also").
Recall: the share of the required forms it gives. "Irregular" narrows both
to the columns that hold the irregular forms (verbs: past and participle;
nouns: plural; adjectives: comparison). Lookup from the other side: asked for
an irregular form (went, mice), does the answer hold the base word?
"""

import argparse
import ctypes
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
IRREGULAR_COLUMNS = {"V": (1, 2), "N": (0,), "A": (0, 1)}  # after the base
NAMES = {"V": "verbs", "N": "nouns", "A": "adjectives"}


def load_entries(path):
    entries = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            main, _, also = line.partition(";")
            kind, base, *columns = main.split()
            expected_columns = {"V": 4, "N": 1, "A": 2}[kind]
            if len(columns) != expected_columns:
                sys.exit(f"{path}:{number}: {base} needs {expected_columns} columns")
            columns = [[] if c == "-" else c.split("/") for c in columns]
            entries.append((kind, base, columns, set(also.split())))
    return entries


class Library:
    def __init__(self, path):
        self.lib = ctypes.CDLL(path)
        if self.lib.LoadArrays() != 0:
            sys.exit(f"{path}: LoadArrays failed")
        self.lib.Inflection.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        self.lib.Inflection.restype = None

    def forms(self, word):
        buf = ctypes.create_string_buffer(128)
        self.lib.Inflection(word.encode(), buf)
        return [f for f in buf.value.decode().split("|") if f]


def ratio(a, b):
    return a / b if b else 1.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--lib", default=os.path.join(ROOT, "build", "bin", "sys", "libMyDLL.so"))
    parser.add_argument("--list", default=os.path.join(HERE, "eval_irregulars.txt"))
    parser.add_argument("-v", "--verbose", action="store_true", help="list every miss and extra")
    args = parser.parse_args()

    lib = Library(args.lib)
    totals = {}
    problems = []
    for kind, base, columns, also in load_entries(args.list):
        required = {f for c in columns for f in c} - {base}
        irregular = {f for i in IRREGULAR_COLUMNS[kind] for f in columns[i]} - {base}
        got = set(lib.forms(base))
        t = totals.setdefault(kind, dict.fromkeys(
            ("entries", "given", "accepted", "required", "found",
             "irr_given", "irr_accepted", "irr_required", "irr_found", "back", "back_found"), 0))
        t["entries"] += 1
        t["given"] += len(got)
        t["accepted"] += len(got & (required | also))
        t["required"] += len(required)
        t["found"] += len(got & required)
        # Irregular precision: forms not in the regular columns nor "also".
        regular_columns = {f for i, c in enumerate(columns)
                           if i not in IRREGULAR_COLUMNS[kind] for f in c}
        irr_got = got - regular_columns - also
        t["irr_given"] += len(irr_got)
        t["irr_accepted"] += len(irr_got & irregular)
        t["irr_required"] += len(irregular)
        t["irr_found"] += len(got & irregular)
        missing, extra = sorted(required - got), sorted(got - required - also)
        back_missing = []
        for form in sorted(irregular):
            t["back"] += 1
            if base in lib.forms(form):
                t["back_found"] += 1
            else:
                back_missing.append(form)
        if missing or extra or back_missing:
            problems.append((base, missing, extra, back_missing))

    print(f"{'':12}{'entries':>8}{'precision':>11}{'recall':>9}{'irr. prec.':>12}{'irr. recall':>13}{'form -> base':>14}")
    grand = {}
    for kind in ("V", "N", "A"):
        if kind not in totals:
            continue
        t = totals[kind]
        for k, v in t.items():
            grand[k] = grand.get(k, 0) + v
        print_row(NAMES[kind], t)
    print_row("all", grand)
    print()
    shown = problems if args.verbose else problems[:40]
    for base, missing, extra, back in shown:
        parts = []
        if missing:
            parts.append("missing " + " ".join(missing))
        if extra:
            parts.append("extra " + " ".join(extra))
        if back:
            parts.append("not led back from " + " ".join(back))
        print(f"  {base}: {'; '.join(parts)}")
    if len(problems) > len(shown):
        print(f"  ... {len(problems) - len(shown)} more (-v lists all)")


def print_row(name, t):
    print(f"{name:12}{t['entries']:>8}{ratio(t['accepted'], t['given']):>11.3f}"
          f"{ratio(t['found'], t['required']):>9.3f}"
          f"{ratio(t['irr_accepted'], t['irr_given']):>12.3f}"
          f"{ratio(t['irr_found'], t['irr_required']):>13.3f}"
          f"{ratio(t['back_found'], t['back']):>14.3f}")


if __name__ == "__main__":
    main()
