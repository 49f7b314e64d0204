#!/usr/bin/env python3
"""Builds MyDLL's English lexicon (sys/english.lex) from WordNet and SCOWL.

    python3 tools/lexicon/build_lexicon.py            # needs wordnet-base, scowl

WordNet says which words are nouns, verbs, adjectives and adverbs and lists
the irregular forms; SCOWL attests the regular ones and ranks every word by
how common it is. A form is only written when SCOWL knows it as a word at
FORM_LEVEL or below, so spelling rules can propose freely: "goodder" or
"childs" never get through.

Output: one family a line, the lemma first and then its forms in the order
callers should see them (verbs: -s, past, past participle, -ing, then extra
forms; nouns: plural; adjectives and adverbs: comparative, superlative). Each
word carries a leading digit, its SCOWL size class (0 = in the 10 list, the
commonest); MyDLL keeps the lowest digits when a union of families does not
fit its buffer. Lines run from the commonest lemma down.
"""

import argparse
import collections
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))

# SCOWL size classes. 60 still holds everyday words; 70 adds plurals made
# by machine for every noun ("amativenesses"), 80 the Scrabble lists and 95
# everything, where "stoped" and "childs" live.
LEVELS = (10, 20, 35, 40, 50, 55, 60)
LEMMA_LEVEL = 60
FORM_LEVEL = 60
# Irregular forms from WordNet's exception lists must be commoner still:
# past 50 they are mostly rare senses (kent, gan, lustra), while 50 keeps
# corpora, minima and rethought.
EXCEPTION_LEVEL = 50

# SCOWL sizes up to this one hold every word common enough that a missing
# form means it has none: "until" and "whether", not a rare noun whose plural
# SCOWL files further down.
CLOSED_CLASS_LEVEL = 20

# Never a lemma, never made by rule: WordNet's odd entries would otherwise
# give "his" from the greeting "hi", "its" from "it" (information
# technology), "ares" from "are" (a hundred square metres).
FUNCTION_WORDS = set("""
a an the this that these those his her hers its our ours your yours their
theirs us we you they them me my mine him he she it i as at by in on of or
and but if so than then thus to too up yes no nor not who whom whose which
what there here off am is are was were
""".split())

# Spelling categories read from SCOWL. The variant_3 lists ("seldom used and
# may not even be considered correct") are left out.
SCOWL_CATEGORIES = (
    "english", "american", "british", "british_z", "canadian", "australian",
    "variant_1", "variant_2", "british_variant_1", "british_variant_2",
    "canadian_variant_1", "canadian_variant_2",
    "australian_variant_1", "australian_variant_2",
)

NOUN, VERB, ADJ, ADV = "noun", "verb", "adj", "adv"
POS_FILES = {NOUN: "noun", VERB: "verb", ADJ: "adj", ADV: "adv"}
SENSE_POS = {"1": NOUN, "2": VERB, "3": ADJ, "4": ADV, "5": ADJ}

WORD = re.compile(r"[a-z]+\Z")
VOWELS = set("aeiou")


def read_lines(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            yield line.rstrip("\n")


def load_scowl(scowl_dir):
    """word -> the smallest SCOWL size it appears in."""
    level = {}
    for name in sorted(os.listdir(scowl_dir)):
        category, _, size = name.rpartition(".")
        if not category.endswith("-words") or not size.isdigit():
            continue
        if category[: -len("-words")] not in SCOWL_CATEGORIES or int(size) > FORM_LEVEL:
            continue
        for word in read_lines(os.path.join(scowl_dir, name)):
            if WORD.match(word):
                level[word] = min(level.get(word, 100), int(size))
    return level


def wordnet_licence(wordnet_dir):
    """The licence text every WordNet index file starts with, verbatim."""
    lines = []
    for line in read_lines(os.path.join(wordnet_dir, "index.noun")):
        if not line.startswith("  "):
            break
        lines.append(line.split(" ", 3)[3].rstrip() if line.count(" ") >= 3 else "")
    return "".join(f"#   {l}".rstrip() + "\n" for l in lines)


def load_wordnet(wordnet_dir):
    """Lemmas by part of speech, SemCor counts, exceptions by part of speech."""
    lemmas = {}
    for pos, suffix in POS_FILES.items():
        lemmas[pos] = set()
        for line in read_lines(os.path.join(wordnet_dir, "index." + suffix)):
            if line.startswith(" "):
                continue  # licence
            lemma = line.split(" ", 1)[0]
            if WORD.match(lemma):
                lemmas[pos].add(lemma)
    # How often each lemma was tagged in each part of speech in the SemCor
    # corpus: tells a word's main use (good: adjective) from a marginal one.
    counts = collections.Counter()
    for line in read_lines(os.path.join(wordnet_dir, "cntlist.rev")):
        key, _, count = line.split(" ")
        lemma, _, sense = key.partition("%")
        counts[lemma, SENSE_POS[sense[0]]] += int(count)
    exceptions = {}
    for pos, suffix in POS_FILES.items():
        table = collections.defaultdict(list)
        for line in read_lines(os.path.join(wordnet_dir, suffix + ".exc")):
            form, *bases = line.split()
            for base in bases:
                if base != form and WORD.match(form) and WORD.match(base):
                    table[base].append(form)
        exceptions[pos] = table
    return lemmas, counts, exceptions


def load_supplement(path):
    """Hand-checked overrides: whole families and links to drop."""
    families, denied = {}, set()
    for line in read_lines(path):
        line = line.split("#", 1)[0].split()
        if not line:
            continue
        if line[0] == "family":
            pos, lemma, *forms = line[1:]
            families[pos, lemma] = forms
        elif line[0] == "deny":
            pos, lemma, form = line[1:]
            denied.add((pos, lemma, form))
        else:
            sys.exit(f"{path}: unknown entry {line[0]}")
    return families, denied


# --- Spelling rules. Each proposes candidates; SCOWL decides which are words.

def syllables(w):
    count, in_vowel = 0, False
    for i, c in enumerate(w):
        v = c in VOWELS or (c == "y" and i > 0 and w[i - 1] not in VOWELS)
        if c == "u" and i > 0 and w[i - 1] == "q":
            v = False
        count += v and not in_vowel
        in_vowel = v
    return count


def ends_cvc(w):
    """Consonant, single vowel, consonant: the shape whose last letter doubles."""
    if len(w) < 3 or w[-1] in VOWELS or w[-1] in "wxyc" or w[-2] not in VOWELS:
        return False
    return w[-3] not in VOWELS or w[-4:-2] == "qu"


def doubled(w):
    """Doubling candidates: stop only doubles, travel may go either way."""
    if not ends_cvc(w):
        return (False,)
    return (True,) if syllables(w) == 1 else (False, True)


def consonant_y(w):
    return len(w) > 1 and w[-1] == "y" and w[-2] not in VOWELS


def s_forms(w):
    # Doubled (quizzes) and -ves (knives) plurals are all in WordNet's
    # exception list; made by rule they hit other words (discusses, serves).
    if w.endswith(("s", "x", "z", "ch", "sh")):
        return [w + "es"]
    if consonant_y(w):
        return [w[:-1] + "ies"]
    if w.endswith("o"):
        return [w + "es", w + "s"]
    return [w + "s"]


def ed_forms(w):
    if w.endswith("e"):
        return [w + "d"]
    if consonant_y(w):
        return [w[:-1] + "ied"]
    if w.endswith("c"):
        return [w + "ked", w + "ed"]
    return [w + w[-1] + "ed" if d else w + "ed" for d in doubled(w)]


def ing_forms(w):
    if w.endswith("ie"):
        return [w[:-2] + "ying"]
    if w.endswith("e") and len(w) > 2 and w[-2] not in "eoy":
        return [w[:-1] + "ing", w + "ing"]  # making; ageing next to aging
    if w.endswith("c"):
        return [w + "king", w + "ing"]
    return [w + w[-1] + "ing" if d else w + "ing" for d in doubled(w)]


def comparison_forms(w):
    if w.endswith("e"):
        return [(w + "r", w + "st")]
    if consonant_y(w):
        return [(w[:-1] + "ier", w[:-1] + "iest"), (w + "er", w + "est")]
    return [(w + w[-1] + "er" if d else w + "er", w + w[-1] + "est" if d else w + "est")
            for d in doubled(w)]


# --- Irregular verb forms come unlabelled; their shape says which slot.

def pp_shaped(form):
    return form.endswith(("en", "wn", "rn", "ain"))


def classify_verb_exceptions(lemma, forms):
    """Splits exception forms into (-s, past, participle, -ing) lists."""
    third = [f for f in forms if f.endswith("s") and not f.endswith("ss") and f != "was"]
    ing = [f for f in forms if f.endswith("ing") and f not in third]
    rest = [f for f in forms if f not in third and f not in ing]
    past, participle = [], []
    for f in rest:
        vowel_shift = any(
            len(g) == len(f) and sum(a != b for a, b in zip(f, g)) == 1
            and [(a, b) for a, b in zip(f, g) if a != b][0] == ("u", "a")
            for g in rest)  # begun next to began
        if pp_shaped(f) or vowel_shift or (f.endswith("ne") and len(rest) > 1):
            participle.append(f)
        else:
            past.append(f)
    return third, past, participle, ing


class Builder:
    def __init__(self, level, lemmas, counts, exceptions, supplement):
        self.level = level
        self.lemmas = lemmas
        self.counts = counts
        self.exceptions = exceptions
        self.families_override, self.denied = supplement
        self.any_lemma = set().union(*lemmas.values())

    def attested(self, form, limit=FORM_LEVEL):
        return self.level.get(form, 100) <= limit

    def count(self, lemma, pos):
        return self.counts.get((lemma, pos), 0)

    def marginal(self, lemma, pos):
        """A use SemCor barely sees next to a well-attested main one (the noun
        good next to the adjective). Below 20 tagged uses the counts are noise."""
        best = max(self.count(lemma, p) for p in POS_FILES)
        return best >= 20 and self.count(lemma, pos) * 8 < best

    def usable_lemma(self, lemma, pos):
        return self.attested(lemma, LEMMA_LEVEL) and len(lemma) > 1 and lemma not in FUNCTION_WORDS

    def rules_apply(self, lemma, pos):
        """Two-letter entries are mostly symbols (he, us, it: helium, United
        States, information technology) whose "plurals" by rule are other
        words. Only verbs with tagged uses take rules (go, do, be); ox still
        gets oxen from the exception list."""
        return len(lemma) > 2 or (pos == VERB and self.count(lemma, pos) > 0)

    def regular(self, lemma, pos, candidates):
        """Attested candidates that belong to this lemma."""
        if not self.rules_apply(lemma, pos):
            return []
        out = []
        for form in candidates:
            if form == lemma or not self.attested(form) or form in FUNCTION_WORDS:
                continue
            # putted is putt's, not a doubled put. A doubled s or z is only
            # spelling (bussed, whizzed), whatever buss and whizz may be.
            if len(form) > len(lemma) + 1 and form.startswith(lemma + lemma[-1]) \
                    and lemma[-1] not in "sz" and lemma + lemma[-1] in self.lemmas[pos]:
                continue
            if self.belongs_to_e_word(form, lemma, pos):
                continue
            out.append(form)
        return out

    def belongs_to_e_word(self, form, lemma, pos):
        """corps + es is corpse's plural, human + er humane's comparative:
        a suffix starting with e also fits the lemma with a final e. Cross
        keeps crosses, being commoner than crosse; adjectives always yield,
        since non-gradable ones (human, urban) are the ones with such twins."""
        twin = lemma + "e"
        if not form.startswith(twin) or twin not in self.lemmas[pos]:
            return False
        return pos in (ADJ, ADV) or self.level.get(twin, 100) <= self.level[lemma]

    def s_form_of_other(self, form, lemma):
        """Whether the -s form is rather this lemma's verb's or another word's."""
        if lemma in self.lemmas[VERB] and form in s_forms(lemma):
            return True
        stems = [form[:-1], form[:-2], form[:-3] + "y"]
        return any(s != lemma and s in self.any_lemma and form in s_forms(s) for s in stems)

    def irregular(self, lemma, pos):
        forms = list(self.exceptions[pos].get(lemma, []))
        if pos == NOUN and lemma.endswith("man"):
            # WordNet derives women and firemen by rule, so its list omits them.
            forms.append(lemma[:-3] + "men")
        return [f for f in forms
                if self.attested(f, EXCEPTION_LEVEL) and (pos, lemma, f) not in self.denied]

    def by_level(self, forms):
        return sorted(forms, key=lambda f: self.level[f])  # stable: ties keep rule order

    def made(self, lemma, pos, candidates, exceptions):
        """Candidates that are this lemma's, in rule order. The exception list
        also holds forms the rules make but WordNet's lemmatiser cannot undo
        (travelled, putting); those stand even where a rule would doubt them."""
        ok = set(self.regular(lemma, pos, candidates)) | (set(exceptions) & set(candidates))
        return [c for c in candidates if c in ok]

    def verb(self, lemma):
        exceptions = self.irregular(lemma, VERB)
        rule_made = set(s_forms(lemma) + ed_forms(lemma) + ing_forms(lemma))
        third, past, participle, ing = classify_verb_exceptions(
            lemma, [f for f in exceptions if f not in rule_made])
        if not third:  # has, not haves
            third = self.made(lemma, VERB, s_forms(lemma), exceptions)
        if lemma + "es" in third and lemma + "s" in third:
            third.remove(lemma + "s")  # does; dos is only the noun's
        ing += self.made(lemma, VERB, ing_forms(lemma), exceptions)
        # A past that is a verb of its own is no past: see + d is seed,
        # wee + d weed.
        ed = [f for f in self.made(lemma, VERB, ed_forms(lemma), exceptions)
              if f not in self.lemmas[VERB] or f in exceptions]
        extra = []
        if past:
            # A regular past next to an irregular one is the same verb's
            # variant (learned, learnt) or another sense (lied, hanged), but
            # not when another verb makes it: singed is singe's, not sing's.
            ed = [f for f in ed if not any(
                other != lemma and f in ed_forms(other)
                for other in (f[:-1], f[:-2]) if other in self.lemmas[VERB])]
            t_variant = any(f.endswith("t") and any(e[:-2] == f[:-1] or e[:-3] == f[:-1] for e in ed)
                            for f in past)
            # worked outranks wrought; lay stays the past of lie, lied
            # coming after the family as the other verb's.
            commoner = ed and min(self.level[e] for e in ed) < min(self.level[p] for p in past)
            if t_variant or commoner:
                past = ed + past
            else:
                extra = ed
        else:
            past = ed
        return [f for slot in (third, past, participle, ing) for f in self.by_level(slot)] + extra

    def noun(self, lemma):
        # "goods" is no plural of the good in "for your own good"; plurals of
        # such marginal uses of adjectives (larges, reals) mislead.
        if self.marginal(lemma, NOUN):
            return []
        irregular = self.irregular(lemma, NOUN)
        # Listed plurals that only double a letter (busses, quizzes) are
        # spelling variants and follow the plain rule's.
        respelled = [f for f in irregular if f == lemma + lemma[-1] + "es"]
        irregular = [f for f in irregular if f not in respelled]
        regular = self.regular(lemma, NOUN, s_forms(lemma))
        if irregular:
            # men, not mans; emphases, not emphasises: with an irregular plural
            # at hand, a regular one SCOWL knows is another word's -s form
            # (to man, to emphasise).
            regular = [f for f in regular if not self.s_form_of_other(f, lemma)]
        return self.by_level(irregular + regular + respelled)

    def compared(self, lemma, pos):
        irregular = self.irregular(lemma, pos)
        # better before best: the list keeps them in alphabetical order.
        forms = [f for f in irregular if not f.endswith("st")] + \
                [f for f in irregular if f.endswith("st")]
        for er, est in comparison_forms(lemma):
            # Both or neither: an -er alone is usually a noun (backer, opener).
            pair = self.regular(lemma, pos, [er, est])
            if len(pair) == 2:
                forms += pair
        return forms

    def family(self, lemma, pos):
        if (pos, lemma) in self.families_override:
            return self.families_override[pos, lemma]
        if pos == VERB:
            forms = self.verb(lemma)
        elif pos == NOUN:
            forms = self.noun(lemma)
        else:
            forms = self.compared(lemma, pos)
        seen, out = {lemma}, []
        for f in forms:
            if f not in seen and (pos, lemma, f) not in self.denied:
                seen.add(f)
                out.append(f)
        return out

    def build(self):
        families = []
        for pos in POS_FILES:
            for lemma in sorted(self.lemmas[pos]):
                if not self.usable_lemma(lemma, pos):
                    continue
                forms = self.family(lemma, pos)
                if forms:
                    families.append((lemma, pos, forms))
        # A family inside another of the same lemma (the noun work inside the
        # verb) adds nothing to any answer.
        by_lemma = collections.defaultdict(list)
        for lemma, pos, forms in families:
            by_lemma[lemma].append((pos, set(forms)))

        def redundant(lemma, pos, forms):
            mine = set(forms)
            return any(p != pos and (mine < other or (mine == other and POS_ORDER[p] < POS_ORDER[pos]))
                       for p, other in by_lemma[lemma])

        def uses(lemma, pos, forms):
            """SemCor uses of the family and of those it takes in: the verb
            light speaks for the noun too, which is commoner than the adjective."""
            mine = set(forms)
            return max(self.count(lemma, p) for p, other in by_lemma[lemma] if p == pos or other <= mine)

        kept = [f for f in families if not redundant(*f)]
        kept.sort(key=lambda f: (self.level[f[0]], -uses(*f), f[0], POS_ORDER[f[1]]))
        return kept

    def formless(self, families):
        """Lemmas with no other forms (sheep, series, often, human) and the
        function words: listed alone, so that MyDLL's rules for words it does
        not know leave them be instead of making "sheeps" or "thes"."""
        listed = {w for lemma, _, forms in families for w in [lemma] + forms}
        words = {lemma for pos in POS_FILES for lemma in self.lemmas[pos]
                 if self.usable_lemma(lemma, pos)}
        words |= {w for w in FUNCTION_WORDS if self.attested(w)}
        # Closed-class words WordNet has no entry for (during, unto, whether):
        # among SCOWL's commonest, neither a form of another word nor with a
        # form of their own as common ("hows" and "whens" are rarer).
        def candidates(w):
            return s_forms(w) + ed_forms(w) + ing_forms(w) + [f for p in comparison_forms(w) for f in p]
        common = [w for w, size in self.level.items() if size <= CLOSED_CLASS_LEVEL]
        forms_of_others = {f for w in self.level for f in candidates(w) if f != w}
        for w in common:
            if w not in forms_of_others and not any(self.attested(f, CLOSED_CLASS_LEVEL) for f in candidates(w)):
                words.add(w)
        return sorted((w for w in words - listed if WORD.match(w)), key=lambda w: (self.level[w], w))


POS_ORDER = {VERB: 0, NOUN: 1, ADJ: 2, ADV: 3}


def rank(level):
    return str(LEVELS.index(level))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--wordnet", default="/usr/share/wordnet")
    parser.add_argument("--scowl", default="/usr/share/dict/scowl")
    parser.add_argument("--supplement", default=os.path.join(HERE, "supplement.txt"))
    parser.add_argument("--header", default=os.path.join(HERE, "header.txt"))
    parser.add_argument("--output", default=os.path.join(ROOT, "sys", "english.lex"))
    args = parser.parse_args()

    level = load_scowl(args.scowl)
    lemmas, counts, exceptions = load_wordnet(args.wordnet)
    supplement = load_supplement(args.supplement)
    for (pos, lemma), forms in supplement[0].items():
        for w in [lemma] + forms:
            if w not in level:
                sys.exit(f"supplement: {w} is not in SCOWL")
        lemmas[pos].add(lemma)
    builder = Builder(level, lemmas, counts, exceptions, supplement)
    families = builder.build()
    alone = builder.formless(families)

    with open(args.header, encoding="utf-8") as f:
        header = f.read().replace("{wordnet_licence}", wordnet_licence(args.wordnet))
    with open(args.output, "w", encoding="utf-8", newline="\n") as out:
        out.write(header)
        for lemma, pos, forms in families:
            out.write(" ".join(rank(level[w]) + w for w in [lemma] + forms) + "\n")
        for w in alone:
            out.write(rank(level[w]) + w + "\n")
    words = {w for lemma, _, forms in families for w in [lemma] + forms}
    print(f"{args.output}: {len(families)} families, {len(words)} words, {len(alone)} without forms",
          file=sys.stderr)


if __name__ == "__main__":
    main()
