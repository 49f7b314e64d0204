// English inflection for query expansion: the other forms of a word's lemmas,
// written as "form|form|" so the caller can add the word and search for all.
//
// The forms come from english.lex beside the library (made from WordNet and
// SCOWL by tools/lexicon/build_lexicon.py): one family a line, a lemma and
// its forms, each word led by a digit ranking how common it is. Its parsed
// form is mapped (Lexicon.h). A word the
// lexicon lacks gets forms by the spelling rules below, never a listed word.
#include "MyDLL.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "Lexicon.h"

namespace {

using std::string_view;

constexpr size_t kOutMax = 67;   // characters of forms, the NUL not counted
constexpr const char* kDataFile = "english.lex";
using korvel::morph::kMaxWord;
using korvel::morph::Lexicon;

// Collects the union of the forms, each once, then writes what fits. Forms
// are views: into the lexicon's text, or into strings the rules made, which
// the caller keeps alive until write().
class Answer {
 public:
  explicit Answer(string_view self) : self_(self) {}

  void add(string_view form, uint8_t rank) {
    if (form.empty() || form == self_ || count_ == kCapacity) return;
    for (size_t i = 0; i < count_; ++i)
      if (items_[i].text == form) return;
    items_[count_++] = {form, rank};
  }

  void addFamily(const Lexicon& lex, const uint32_t* first, const uint32_t* last) {
    for (const uint32_t* p = first; p != last; ++p) add(lex.text(*p), lex.word(*p).rank);
  }

  // In family order when all fits; otherwise the commonest forms that fit,
  // still written in family order, and no form cut short.
  void write(char* out) const {
    std::array<bool, kCapacity> keep{};
    size_t total = 0;
    for (size_t i = 0; i < count_; ++i) total += items_[i].text.size() + 1;
    if (total <= kOutMax) {
      keep.fill(true);
    } else {
      std::array<uint16_t, kCapacity> order;
      for (size_t i = 0; i < count_; ++i) order[i] = static_cast<uint16_t>(i);
      std::stable_sort(order.begin(), order.begin() + count_,
                       [&](uint16_t a, uint16_t b) { return items_[a].rank < items_[b].rank; });
      size_t used = 0;
      for (size_t k = 0; k < count_; ++k) {
        const size_t need = items_[order[k]].text.size() + 1;
        if (used + need <= kOutMax) {
          keep[order[k]] = true;
          used += need;
        }
      }
    }
    size_t used = 0;
    for (size_t i = 0; i < count_; ++i) {
      if (!keep[i]) continue;
      const string_view w = items_[i].text;
      std::memcpy(out + used, w.data(), w.size());
      used += w.size();
      out[used++] = '|';
    }
    out[used] = '\0';
  }

 private:
  struct Item {
    string_view text;
    uint8_t rank;
  };
  // Far beyond any word's union; past it the rarest families are ignored.
  static constexpr size_t kCapacity = 128;
  string_view self_;
  std::array<Item, kCapacity> items_;
  size_t count_ = 0;
};

// Forms for words the lexicon lacks, by the regular spelling rules. Every
// form made here that the lexicon lists is dropped: the lexicon knows that
// word and its family, and this one is not in it (bred is not "bre" + d).
namespace rules {

using Forms = std::vector<std::pair<std::string, uint8_t>>;
constexpr uint8_t kRuleRank = 6;  // rarer than any listed word when space runs out

bool vowelAt(string_view w, size_t i) {
  switch (w[i]) {
    case 'a': case 'e': case 'i': case 'o': return true;
    case 'u': return i == 0 || w[i - 1] != 'q';    // the u of "quit" is not a vowel
    case 'y': return i > 0 && !vowelAt(w, i - 1);  // pointy, but not day or yes
    default: return false;
  }
}

size_t syllables(string_view w) {
  size_t n = 0;
  for (size_t i = 0; i < w.size(); ++i)
    if (vowelAt(w, i) && (i == 0 || !vowelAt(w, i - 1))) ++n;
  // A silent final e (hope), but not in -le after a consonant (table).
  if (n > 1 && w.ends_with('e') && !vowelAt(w, w.size() - 2) &&
      !(w.ends_with("le") && w.size() > 2 && !vowelAt(w, w.size() - 3)))
    --n;
  return n;
}

bool consonantY(string_view w) { return w.size() > 1 && w.back() == 'y' && !vowelAt(w, w.size() - 2); }

// Stress can only be told for one syllable: stop -> stopped, but visit ->
// visited. Longer words double through a prefix split instead (remix: mix).
bool doubles(string_view w) {
  const size_t n = w.size();
  if (n < 3 || syllables(w) != 1) return false;
  const char last = w[n - 1];
  return !vowelAt(w, n - 1) && last != 'w' && last != 'x' && last != 'y' && vowelAt(w, n - 2) &&
         !vowelAt(w, n - 3);
}

std::string withS(string_view w) {
  const std::string s(w);
  if (w.ends_with('s') || w.ends_with('x') || w.ends_with('z') || w.ends_with("ch") || w.ends_with("sh"))
    return s + "es";
  if (consonantY(w)) return s.substr(0, s.size() - 1) + "ies";
  return s + "s";
}

std::string withEd(string_view w) {
  const std::string s(w);
  if (w.ends_with('e')) return s + "d";
  if (consonantY(w)) return s.substr(0, s.size() - 1) + "ied";
  if (doubles(w)) return s + s.back() + "ed";
  return s + "ed";
}

std::string withIng(string_view w) {
  const std::string s(w);
  if (w.ends_with("ie")) return s.substr(0, s.size() - 2) + "ying";
  if (w.ends_with("ee") || w.ends_with("oe") || w.ends_with("ye")) return s + "ing";  // agreeing, hoeing, dyeing
  if (w.ends_with('e')) return s.substr(0, s.size() - 1) + "ing";
  if (doubles(w)) return s + s.back() + "ing";
  return s + "ing";
}

enum class Kind { none, noun, verb, nounVerb, consonantY };

// The word class guessed from the ending, most telling endings first.
Kind guess(string_view w) {
  const auto any = [&](std::initializer_list<string_view> ends) {
    return std::any_of(ends.begin(), ends.end(), [&](string_view e) { return w.ends_with(e); });
  };
  if (w.ends_with("ness")) return Kind::noun;
  // Adjectives, adverbs, and what looks inflected already: better nothing.
  if (any({"ly", "less", "ous", "ful", "ish", "est", "is"}) || (w.ends_with("ed") && !w.ends_with("eed")) ||
      (any({"able", "ible"}) && syllables(w) > 2))
    return Kind::none;
  // Adjectives that are nouns too (acoustics, natives, landings): a plural
  // that is no word harms no search.
  if (any({"ic", "al", "ive", "ing"})) return Kind::noun;
  if (w.ends_with("ss")) return Kind::nounVerb;
  if (w.ends_with("us")) return Kind::noun;
  if (w.ends_with('s')) return Kind::none;
  if (any({"ment", "tion", "sion", "ity", "ism", "ship", "hood", "ance", "ence", "ancy", "ency", "ist", "ian",
           "dom", "logy", "graphy", "ery", "ary", "ory", "eer", "ette", "um"}))
    return Kind::noun;
  if (any({"ize", "ise", "ify", "ate"})) return Kind::verb;
  if (consonantY(w)) return Kind::consonantY;
  return Kind::nounVerb;  // -er and -or too: answer, color
}

void byEnding(string_view w, Forms& out) {
  const Kind kind = guess(w);
  if (kind == Kind::none) return;
  out.emplace_back(withS(w), kRuleRank);
  if (kind != Kind::noun) {
    out.emplace_back(withEd(w), kRuleRank);
    out.emplace_back(withIng(w), kRuleRank);
  }
  // Compared only when the class cannot be told apart: pointy, and not a
  // one-syllable word, which the lexicon almost always knows.
  if (kind == Kind::consonantY && syllables(w) == 2) {
    const std::string stem(w.substr(0, w.size() - 1));
    out.emplace_back(stem + "ier", kRuleRank);
    out.emplace_back(stem + "iest", kRuleRank);
  }
}

// An unlisted word that the rules make from an unlisted lemma (blogged from
// blog, pointier from pointy) gets that lemma and its other forms.
bool fromLemma(const Lexicon& lex, string_view w, Forms& out) {
  // exceed is no "excee" + d, nor a word in -ous, -ss, -us or -is a plural.
  if (w.ends_with("eed") || w.ends_with("ss") || w.ends_with("us") || w.ends_with("is")) return false;
  const auto cut = [&](size_t n) { return std::string(w.substr(0, w.size() - n)); };
  // Which stems are no word without a final e: zorbled is zorble + d,
  // carved carve + d, while blarked is blark + ed.
  const auto needsE = [](string_view stem) {
    const size_t n = stem.size();
    return n > 2 && (stem.ends_with('v') || stem.ends_with('u') || (stem.ends_with('c') && stem[n - 2] != 'c') ||
                     stem.ends_with("dg") || (stem.ends_with('l') && !vowelAt(stem, n - 2) && stem[n - 2] != 'l'));
  };
  std::vector<std::string> lemmas;
  for (const auto& [ending, back] : {std::pair<string_view, string_view>{"ies", "y"}, {"es", ""}, {"s", ""},
                                     {"ied", "y"}, {"ed", ""}, {"ed", "e"}, {"ing", ""}, {"ing", "e"},
                                     {"ying", "ie"}, {"ier", "y"}, {"iest", "y"}}) {
    if (!w.ends_with(ending) || w.size() < ending.size() + 3) continue;
    const std::string stem = cut(ending.size());
    if (back.empty() && (ending == "ed" || ending == "ing") && needsE(stem)) continue;
    lemmas.push_back(stem + std::string(back));
    const std::string& l = lemmas.back();
    if (back.empty() && l.size() > 3 && l[l.size() - 1] == l[l.size() - 2]) lemmas.push_back(l.substr(0, l.size() - 1));
  }
  for (const auto& lemma : lemmas) {
    if (lex.find(lemma) >= 0) continue;
    Forms forms;
    byEnding(lemma, forms);
    if (std::none_of(forms.begin(), forms.end(), [&](const auto& f) { return f.first == w; })) continue;
    out.emplace_back(lemma, kRuleRank);
    out.insert(out.end(), forms.begin(), forms.end());
    return true;
  }
  return false;
}

// Prefixes that make verbs from verbs and keep the base's own inflection:
// mishear -> misheard as hear -> heard.
constexpr std::array<string_view, 12> kPrefixes = {"under", "over", "with", "fore", "mis", "out",
                                                   "pre", "re", "up", "be", "un", "co"};

// Those whose words keep the base's meaning, so that an inflected base may
// follow (misheard) and an irregular form may be added to a listed verb
// (retrod). "unfed" is no form of an "unfeed", nor "behave" be + have.
bool keepsMeaning(string_view p) { return p != "be" && p != "un" && p != "pre" && p != "co"; }

// The prefix of a word that is a prefix plus a verb of the lexicon, or "".
// Only its lemma may follow most prefixes, any of its forms a few.
string_view verbPrefix(const Lexicon& lex, string_view w) {
  for (string_view p : kPrefixes) {
    if (!w.starts_with(p) || w.size() < p.size() + 2) continue;
    const string_view base = w.substr(p.size());
    if (base != "be" && lex.inFamily(base, !keepsMeaning(p), true)) return p;
  }
  return {};
}

// Each member of the base's verb families with the prefix on; when
// irregularOnly, just the members no regular rule would make (heard, did).
void throughBase(const Lexicon& lex, string_view prefix, string_view base, bool ledOnly, bool irregularOnly,
                 Forms& out) {
  lex.forEachFamilyOf(base, ledOnly, true, [&](const uint32_t* first, const uint32_t* last) {
    for (const uint32_t* m = first; m != last; ++m) {
      const string_view form = lex.text(*m);
      if (irregularOnly && (m == first || form.ends_with('s') || form.ends_with("ed") || form.ends_with("ing")))
        continue;
      out.emplace_back(std::string(prefix) + std::string(form), lex.word(*m).rank);
    }
  });
}

// A closed compound of two listed words, inflected through its last part's
// own families: caseload -> caseloads as load -> loads. The last part must be
// a lemma with forms, the first at least four letters: "con" + "sent" and
// "con" + "test" are no compounds. Nor is a word whose ending says it is no
// noun or verb: "writ" + "able".
bool throughHead(const Lexicon& lex, string_view w, Forms& out) {
  for (size_t split = 4; split + 3 <= w.size(); ++split) {
    const string_view head = w.substr(split), modifier = w.substr(0, split);
    if (lex.find(modifier) < 0) continue;
    const size_t before = out.size();
    lex.forEachFamilyOf(head, true, false, [&](const uint32_t* first, const uint32_t* last) {
      for (const uint32_t* m = first + 1; m != last; ++m)
        out.emplace_back(std::string(modifier) + std::string(lex.text(*m)), kRuleRank);
    });
    if (out.size() > before) return true;
  }
  return false;
}

// Forms for a word the lexicon lacks. A prefixed form of a listed verb
// (misdid: misdo) names that verb in `listed` instead, to answer for it.
Forms unknownWord(const Lexicon& lex, string_view w, std::string& listed) {
  Forms out;
  if (w.size() < 3) return out;
  if (const string_view p = verbPrefix(lex, w); !p.empty()) {
    const string_view base = w.substr(p.size());
    lex.forEachFamilyOf(base, !keepsMeaning(p), true, [&](const uint32_t* first, const uint32_t*) {
      if (listed.empty() && lex.find(std::string(p) + std::string(lex.text(*first))) >= 0)
        listed = std::string(p) + std::string(lex.text(*first));
    });
    if (listed.empty()) throughBase(lex, p, base, !keepsMeaning(p), false, out);
  } else if ((guess(w) == Kind::none || !throughHead(lex, w, out)) && !fromLemma(lex, w, out)) {
    byEnding(w, out);
  }
  return out;
}

// Irregular forms a listed prefixed verb lacks: the lexicon has "misdo" and
// "retread" with regular forms only, not misdid or retrod.
Forms listedPrefixedVerb(const Lexicon& lex, string_view w) {
  Forms out;
  if (!lex.inFamily(w, true, true)) return out;
  const string_view p = verbPrefix(lex, w);
  if (p.empty() || !keepsMeaning(p) || !lex.inFamily(w.substr(p.size()), true, true)) return out;
  throughBase(lex, p, w.substr(p.size()), true, true, out);
  return out;
}

}  // namespace rules

// The data sits beside the library, wherever the program folder was put; an
// installed library (lib/korvel/) finds it in share/korvel/sys/. KORVEL_LEXICON
// names another file.
std::string dataPath() {
  if (const char* own = std::getenv("KORVEL_LEXICON"); own != nullptr && *own != '\0') return own;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LoadArrays), &info) == 0 || info.dli_fname == nullptr)
    return kDataFile;
  const string_view lib(info.dli_fname);
  const size_t slash = lib.rfind('/');
  if (slash == string_view::npos) return kDataFile;
  const std::string dir(lib.substr(0, slash + 1));
  const std::string beside = dir + kDataFile;
  if (access(beside.c_str(), F_OK) == 0) return beside;
  const std::string installed = dir + "../../share/korvel/sys/" + kDataFile;
  return access(installed.c_str(), F_OK) == 0 ? installed : beside;
}

std::mutex g_loadMutex;
std::atomic<const Lexicon*> g_lexicon{nullptr};

}  // namespace

extern "C" int LoadArrays(void) {
  try {
    std::lock_guard lock(g_loadMutex);
    if (g_lexicon.load(std::memory_order_acquire) != nullptr) return 0;
    // Mapped from english.bin beside the text when that was made from it,
    // else from the user's cache, else parsed (and cached).
    const std::string path = dataPath();
    const std::string_view p(path);
    const std::string beside = (p.ends_with(".lex") ? path.substr(0, p.size() - 4) : path) + ".bin";
    auto lex = std::make_unique<Lexicon>();
    if (!korvel::tables::OpenOrParse(path, beside, Lexicon::TableKind(), &Lexicon::Build,
                                     [&](korvel::tables::TTable t) { return lex->adopt(std::move(t)); }))
      return 1;  // Inflection then keeps returning ""
    g_lexicon.store(lex.release(), std::memory_order_release);
    return 0;
  } catch (...) {
    return 1;
  }
}

extern "C" int FreeArrays(void) {
  try {
    std::lock_guard lock(g_loadMutex);
    delete g_lexicon.exchange(nullptr, std::memory_order_acq_rel);
    return 0;
  } catch (...) {
    return 1;
  }
}

extern "C" void Inflection(const char* word, char* forms) {
  if (forms == nullptr) return;
  forms[0] = '\0';
  if (word == nullptr) return;
  char lower[kMaxWord];
  size_t n = 0;
  for (const char* p = word; *p != '\0'; ++p) {
    if (n == kMaxWord) return;
    char c = *p;
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    else if (c < 'a' || c > 'z')
      return;  // digits, hyphens, apostrophes, any non-ASCII byte
    lower[n++] = c;
  }
  if (n == 0) return;
  const Lexicon* lex = g_lexicon.load(std::memory_order_acquire);
  if (lex == nullptr) {
    // A caller that forgot LoadArrays still gets answers.
    LoadArrays();
    lex = g_lexicon.load(std::memory_order_acquire);
    if (lex == nullptr) return;
  }
  const string_view w(lower, n);
  int64_t id = lex->find(w);
  try {
    std::string listed;
    rules::Forms made = id < 0 ? rules::unknownWord(*lex, w, listed) : rules::listedPrefixedVerb(*lex, w);
    Answer answer(w);
    if (!listed.empty()) {
      id = lex->find(listed);
      answer.add(lex->text(static_cast<uint32_t>(id)), lex->word(static_cast<uint32_t>(id)).rank);
      made = rules::listedPrefixedVerb(*lex, listed);
    }
    // Rule-made forms last, so that what the lexicon lists is kept first.
    if (id >= 0) {
      lex->forEachFamily(static_cast<uint32_t>(id), [&](const uint32_t* first, const uint32_t* last) {
        answer.addFamily(*lex, first, last);
      });
    }
    for (const auto& [form, rank] : made)
      if (form.size() <= kMaxWord && lex->find(form) < 0) answer.add(form, rank);
    answer.write(forms);
  } catch (...) {
    forms[0] = '\0';  // out of memory for the rules' strings: no forms rather than a throw into C
  }
}
