#!/usr/bin/env python3
"""Checks the word lists the engine ships: every line one name=value that a
trimmed lookup can find, every value a short alternation of plain words.

    python3 tools/wordlists/check_wordlists.py [--dic DIR]

build_wordlists.py runs it on what it writes; exit status 1 on any fault,
each printed with its line.
"""

import argparse
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cedict  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# Characters the engine takes for Chinese (its IsChinese).
CJK = re.compile("[\u3000-\u303f\u3040-\u30ff\u3100-\u312f\u31a0-\u31bf\u31f0-\u31ff"
                 "\u3400-\u4dbf\u4e00-\u9fff\uf900-\ufaff\uff00-\uffef\U00020000-\U0003ffff]")
# Only "|" may act as syntax: an equivalent is matched as written.
SYNTAX = set('[].+?(){},!$^\\=*"')


def faults(path, chinese_names):
    found = []
    with open(path, encoding="utf-8", newline="") as f:
        lines = f.read().split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    seen = set()
    for number, text in enumerate(lines, 1):
        def fault(what):
            found.append(f"{path}:{number}: {what}: {text}")
        if number == 1 and "=" not in text and text.startswith("#"):
            continue  # a note, held but never found
        name, eq, value = text.partition("=")
        if not eq or not name or not value:
            fault("not name=value")
            continue
        # A blank at an edge would belong to the name; nobody types it.
        if name != name.strip(" \t") or value != value.strip(" \t") or "\r" in value:
            fault("blank or CR at an edge")
        # The last duplicate wins, so a second spelling would hide the first.
        if name.upper() in seen:
            fault("name written twice")
        seen.add(name.upper())
        if bool(CJK.search(name)) != chinese_names:
            fault("name in the wrong language")
        if SYNTAX & set(value):
            fault("pattern characters in the value")
        alternatives = value.split("|")
        if len(alternatives) > cedict.MAX_ALTERNATIVES:
            fault("too many alternatives")
        if len({a.upper() for a in alternatives}) != len(alternatives) or "" in alternatives:
            fault("an alternative empty or listed twice")
        for a in alternatives:
            if a != a.strip(" \t"):
                fault("blank at an alternative's edge")
            if chinese_names:
                # ASCII only, for \b; each word is inflected on its own.
                if not all(32 <= ord(c) < 127 for c in a) or a.startswith("to ") or \
                        " sb " in f" {a} " or " sth " in f" {a} ":
                    fault(f"not a bare English word or phrase: {a}")
            elif not CJK.search(a) or " " in a:
                fault(f"not a Chinese word: {a}")
    if len(lines) < 1000:
        found.append(f"{path}: only {len(lines)} lines")
    return found


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--dic", default=os.path.join(REPO, "dic"))
    args = ap.parse_args()
    found = faults(os.path.join(args.dic, "EN-ZH.txt"), False) + faults(os.path.join(args.dic, "ZH-EN.txt"), True)
    for f in found:
        print(f)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
