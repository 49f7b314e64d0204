// English inflection for query expansion: the other forms of a word's lemmas,
// written as "form|form|" so the caller can add the word and search for all.
#include "MyDLL.h"
#include "MorphData.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

using std::string_view;
using namespace korvel::morph;

constexpr size_t kOutMax = 67;   // characters of forms, the NUL not counted
constexpr size_t kMaxWord = 64;  // even the -s form of a longer word cannot fit

enum Flag : uint8_t {
  kVerb = 1,
  kNoun = 2,
  kAdjective = 4,
  kUninflected = 8,
  kClosed = 16,
  kStressed = 32,
};
constexpr uint8_t kRegular = kVerb | kNoun | kAdjective;

struct Entry {
  uint8_t flags = 0;
  std::vector<uint16_t> families;  // irregular families holding the word
};

template <class F>
void forEachWord(string_view text, F&& f) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\n')) ++i;
    size_t end = i;
    while (end < text.size() && text[end] != ' ' && text[end] != '\n') ++end;
    if (end > i) f(text.substr(i, end - i));
    i = end;
  }
}

// Keys are views into the compiled-in lists, so nothing is copied.
struct Tables {
  std::unordered_map<string_view, Entry> words;
  std::vector<string_view> familyWords;  // all families, one after another
  std::vector<uint32_t> familyStart;     // family i is [start[i], start[i+1])

  Tables() {
    words.reserve(4096);
    size_t line = 0;
    while (line < kFamilies.size()) {
      size_t end = kFamilies.find('\n', line);
      if (end == string_view::npos) end = kFamilies.size();
      const auto id = static_cast<uint16_t>(familyStart.size());
      const size_t first = familyWords.size();
      forEachWord(kFamilies.substr(line, end - line), [&](string_view w) {
        familyWords.push_back(w);
        auto& fams = words[w].families;
        if (fams.empty() || fams.back() != id) fams.push_back(id);
      });
      if (familyWords.size() > first) familyStart.push_back(static_cast<uint32_t>(first));
      line = end + 1;
    }
    familyStart.push_back(static_cast<uint32_t>(familyWords.size()));
    addList(kVerbs, kVerb);
    addList(kNouns, kNoun);
    addList(kAdjectives, kAdjective);
    addList(kUninflectedWords, kUninflected);
    addList(kClosedWords, kClosed);
  }

  void addList(string_view list, uint8_t flag) {
    forEachWord(list, [&](string_view w) {
      uint8_t f = flag;
      if (w.back() == '*') {
        w.remove_suffix(1);
        f |= kStressed;
      }
      words[w].flags |= f;
    });
  }

  const Entry* find(string_view w) const {
    auto it = words.find(w);
    return it == words.end() ? nullptr : &it->second;
  }
};

// A few generated words on the stack: a lookup never allocates.
class FormList {
 public:
  void add(string_view a, string_view b = {}, string_view c = {}) {
    const size_t n = a.size() + b.size() + c.size();
    if (count_ == kCapacity || n > kWidth) return;
    char* p = text_[count_].data();
    for (string_view part : {a, b, c}) {
      if (!part.empty()) std::memcpy(p, part.data(), part.size());
      p += part.size();
    }
    len_[count_++] = n;
  }
  size_t size() const { return count_; }
  string_view operator[](size_t i) const { return {text_[i].data(), len_[i]}; }
  bool contains(string_view w) const {
    for (size_t i = 0; i < count_; ++i)
      if ((*this)[i] == w) return true;
    return false;
  }

 private:
  static constexpr size_t kCapacity = 16;
  static constexpr size_t kWidth = kMaxWord + 8;
  std::array<std::array<char, kWidth>, kCapacity> text_;
  std::array<size_t, kCapacity> len_{};
  size_t count_ = 0;
};

// Fills the caller's buffer with whole forms while they fit. Callers offer
// forms most frequent first, so what gets dropped is the rarest.
class Output {
 public:
  Output(char* buf, string_view word) : buf_(buf), word_(word) { buf_[0] = '\0'; }
  void add(string_view form) {
    if (form.empty() || form == word_ || used_ + form.size() + 1 > kOutMax || has(form))
      return;
    std::memcpy(buf_ + used_, form.data(), form.size());
    used_ += form.size();
    buf_[used_++] = '|';
    buf_[used_] = '\0';
  }
  void add(const FormList& forms) {
    for (size_t i = 0; i < forms.size(); ++i) add(forms[i]);
  }

 private:
  bool has(string_view form) const {
    string_view s(buf_, used_);
    while (!s.empty()) {
      const size_t bar = s.find('|');
      if (s.substr(0, bar) == form) return true;
      s.remove_prefix(bar + 1);
    }
    return false;
  }
  char* buf_;
  string_view word_;
  size_t used_ = 0;
};

bool isVowel(char c) { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u'; }

// Vowel groups; a 'y' after a consonant counts as a vowel, a 'u' after 'q' not.
int syllables(string_view w) {
  int count = 0;
  bool inVowel = false;
  for (size_t i = 0; i < w.size(); ++i) {
    bool v = isVowel(w[i]) || (w[i] == 'y' && i > 0 && !isVowel(w[i - 1]));
    if (w[i] == 'u' && i > 0 && w[i - 1] == 'q') v = false;
    if (v && !inVowel) ++count;
    inVowel = v;
  }
  return count;
}

// Consonant, single vowel, consonant at the end (stop, admit, quit): the shape
// whose last letter doubles. w, x and y never double; c would need a k.
bool endsCVC(string_view w) {
  const size_t n = w.size();
  if (n < 3) return false;
  const char last = w[n - 1];
  if (isVowel(last) || string_view("wxyc").find(last) != string_view::npos) return false;
  if (!isVowel(w[n - 2])) return false;
  return !isVowel(w[n - 3]) || (w[n - 3] == 'u' && n >= 4 && w[n - 4] == 'q');
}

// kBoth: travel gives traveled and the British travelled, both found in text.
enum class Doubling { kNo, kYes, kBoth };

Doubling doubling(string_view w, bool stressed) {
  if (!endsCVC(w)) return Doubling::kNo;
  if (stressed || syllables(w) == 1) return Doubling::kYes;
  return w.back() == 'l' ? Doubling::kBoth : Doubling::kNo;
}

bool endsSibilant(string_view w) {
  const char last = w.back();
  return last == 's' || last == 'x' || last == 'z' || w.ends_with("ch") || w.ends_with("sh");
}

// Forms by rule, most frequent first: -s, -ed, -ing, then the British
// doubled spellings, then -er, -est.
void addRegularForms(string_view w, uint8_t flags, FormList& out) {
  const size_t n = w.size();
  if (n < 2) return;
  const char last = w.back();
  const bool consonantY = last == 'y' && !isVowel(w[n - 2]);
  const string_view stem = w.substr(0, n - 1);
  const string_view lastLetter = w.substr(n - 1);
  if (flags & (kVerb | kNoun)) {
    if (endsSibilant(w))
      out.add(w, "es");
    else if (consonantY)
      out.add(stem, "ies");
    else  // -o words with -oes (echo, potato) have families of their own
      out.add(w, "s");
  }
  if (flags & kVerb) {
    const Doubling d = doubling(w, flags & kStressed);
    if (last == 'e')
      out.add(w, "d");
    else if (consonantY)
      out.add(stem, "ied");
    else if (d == Doubling::kYes)
      out.add(w, lastLetter, "ed");
    else
      out.add(w, "ed");
    if (w.ends_with("ie"))
      out.add(w.substr(0, n - 2), "ying");
    else if (last == 'e' && n >= 3 && string_view("eoy").find(w[n - 2]) == string_view::npos)
      out.add(stem, "ing");  // make: making, but agree: agreeing, dye: dyeing
    else if (d == Doubling::kYes)
      out.add(w, lastLetter, "ing");
    else
      out.add(w, "ing");
    if (d == Doubling::kBoth) {
      out.add(w, lastLetter, "ed");
      out.add(w, lastLetter, "ing");
    }
  }
  if (flags & kAdjective) {
    if (last == 'e') {
      out.add(w, "r");
      out.add(w, "st");
    } else if (consonantY) {
      out.add(stem, "ier");
      out.add(stem, "iest");
    } else if (doubling(w, false) == Doubling::kYes) {
      out.add(w, lastLetter, "er");
      out.add(w, lastLetter, "est");
    } else {
      out.add(w, "er");
      out.add(w, "est");
    }
  }
}

// Every lemma the rules could have made w from. Generous on purpose: a
// candidate counts only if it is listed and its own forms include w.
void addLemmaCandidates(string_view w, FormList& out) {
  const size_t n = w.size();
  auto cut = [&](size_t k) { return w.substr(0, n - k); };
  auto undouble = [&](string_view stem) {
    const size_t k = stem.size();
    if (k >= 3 && stem[k - 1] == stem[k - 2]) out.add(stem.substr(0, k - 1));
  };
  if (n >= 3 && w.ends_with('s') && !w.ends_with("ss")) {
    out.add(cut(1));
    if (w.ends_with("es")) out.add(cut(2));
    if (n >= 4 && w.ends_with("ies")) out.add(cut(3), "y");
  } else if (n >= 4 && w.ends_with("ed")) {
    out.add(cut(2));
    out.add(cut(1));
    if (w.ends_with("ied")) out.add(cut(3), "y");
    undouble(cut(2));
  } else if (n >= 5 && w.ends_with("ing")) {
    out.add(cut(3));
    out.add(cut(3), "e");
    if (w.ends_with("ying")) out.add(cut(4), "ie");
    undouble(cut(3));
  } else if (n >= 4 && w.ends_with("er")) {
    out.add(cut(2));
    out.add(cut(1));
    if (w.ends_with("ier")) out.add(cut(3), "y");
    undouble(cut(2));
  } else if (n >= 5 && w.ends_with("est")) {
    out.add(cut(3));
    out.add(cut(2));
    if (w.ends_with("iest")) out.add(cut(4), "y");
    undouble(cut(3));
  }
}

// Whether an unlisted word may get forms by rule: not when it already looks
// inflected or is shaped like an adjective or adverb. Plurals cannot be told
// from lemmas (bus, lens), so only -ss and -us words count as lemmas.
bool mayGenerate(string_view w) {
  if (w.size() < 3) return false;
  for (string_view suffix : {"ing", "ed", "ly", "ous", "less", "ful"})
    if (w.ends_with(suffix)) return false;
  return !w.ends_with('s') || w.ends_with("ss") || w.ends_with("us");
}

void inflect(const Tables& t, string_view w, Output& out) {
  const Entry* self = t.find(w);
  if (self && (self->flags & kClosed)) return;
  bool known = self != nullptr;
  if (self) {
    for (uint16_t id : self->families)
      for (uint32_t i = t.familyStart[id]; i < t.familyStart[id + 1]; ++i) out.add(t.familyWords[i]);
    if (self->flags & kRegular) {
      FormList forms;
      addRegularForms(w, self->flags, forms);
      out.add(forms);
    }
  }
  FormList lemmas;
  addLemmaCandidates(w, lemmas);
  for (size_t i = 0; i < lemmas.size(); ++i) {
    const Entry* e = t.find(lemmas[i]);
    if (!e || !(e->flags & kRegular)) continue;
    FormList forms;
    addRegularForms(lemmas[i], e->flags, forms);
    if (!forms.contains(w)) continue;
    known = true;
    out.add(lemmas[i]);
    out.add(forms);
  }
  if (!known && mayGenerate(w)) {
    FormList forms;
    addRegularForms(w, kVerb | kNoun, forms);
    out.add(forms);
  }
}

std::mutex g_loadMutex;
std::atomic<const Tables*> g_tables{nullptr};

}  // namespace

extern "C" int LoadArrays(void) {
  try {
    std::lock_guard lock(g_loadMutex);
    if (g_tables.load(std::memory_order_acquire) == nullptr)
      g_tables.store(new Tables, std::memory_order_release);
    return 0;
  } catch (...) {
    return 1;  // out of memory; Inflection then keeps returning ""
  }
}

extern "C" int FreeArrays(void) {
  try {
    std::lock_guard lock(g_loadMutex);
    delete g_tables.exchange(nullptr, std::memory_order_acq_rel);
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
  const Tables* t = g_tables.load(std::memory_order_acquire);
  if (t == nullptr) {
    // A caller that forgot LoadArrays still gets answers.
    LoadArrays();
    t = g_tables.load(std::memory_order_acquire);
    if (t == nullptr) return;
  }
  const string_view w(lower, n);
  Output out(forms, w);
  inflect(*t, w, out);
}
