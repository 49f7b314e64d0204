// English inflection for query expansion: the other forms of a word's lemmas,
// written as "form|form|" so the caller can add the word and search for all.
//
// The forms come from english.lex beside the library (made from WordNet and
// SCOWL by tools/lexicon/build_lexicon.py): one family a line, a lemma and
// its forms, each word led by a digit ranking how common it is. Nothing is
// made up at run time, so every form written is a listed English word.
#include "MyDLL.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace {

using std::string_view;

constexpr size_t kOutMax = 67;   // characters of forms, the NUL not counted
constexpr size_t kMaxWord = 64;  // the data holds no longer word
constexpr const char* kDataFile = "english.lex";

// Every distinct word once, and for each the families it belongs to. Words
// are views into the file text; families list word ids, so comparing two
// forms is comparing two numbers.
class Lexicon {
 public:
  // False on a missing or malformed file: better no forms than wrong ones.
  bool load(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size <= 0) return false;
    text_.resize(static_cast<size_t>(size));
    if (!in.seekg(0).read(text_.data(), size)) return false;

    // (word, family) pairs in file order, grouped by word below.
    std::vector<std::pair<uint32_t, uint32_t>> memberships;
    memberships.reserve(text_.size() / 8);
    forms_.reserve(text_.size() / 8);
    words_.reserve(text_.size() / 8);
    slots_.assign(std::bit_ceil(text_.size() / 4 + 16), 0);  // well under half full
    familyStart_.push_back(0);
    size_t pos = 0;
    while (pos < text_.size()) {
      size_t end = text_.find('\n', pos);
      if (end == std::string::npos) end = text_.size();
      const string_view line(text_.data() + pos, end - pos);
      const size_t lineStart = pos;
      pos = end + 1;
      if (line.empty() || line[0] == '#') continue;
      const auto family = static_cast<uint32_t>(familyStart_.size() - 1);
      size_t i = 0;
      while (i < line.size()) {
        size_t j = line.find(' ', i);
        if (j == string_view::npos) j = line.size();
        const string_view token = line.substr(i, j - i);
        if (token.size() < 2 || token.size() > kMaxWord + 1 || token[0] < '0' || token[0] > '9')
          return false;
        const string_view word = token.substr(1);
        if (!std::all_of(word.begin(), word.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
          return false;
        const uint32_t id = intern(static_cast<uint32_t>(lineStart + i + 1), word, token[0] - '0');
        forms_.push_back(id);
        memberships.emplace_back(id, family);
        i = j + 1;
      }
      familyStart_.push_back(static_cast<uint32_t>(forms_.size()));
    }
    // Counting sort by word keeps each word's families in file order, which
    // runs from the commonest lemma down.
    memberStart_.assign(words_.size() + 1, 0);
    for (const auto& m : memberships) ++memberStart_[m.first + 1];
    for (size_t w = 0; w < words_.size(); ++w) memberStart_[w + 1] += memberStart_[w];
    members_.resize(memberships.size());
    std::vector<uint32_t> next(memberStart_.begin(), memberStart_.end() - 1);
    for (const auto& m : memberships) members_[next[m.first]++] = m.second;
    return true;
  }

  struct Word {
    uint32_t offset;
    uint8_t length;
    uint8_t rank;  // 0 = commonest
  };

  // Id of the word, or -1 when it is not in the lexicon.
  int64_t find(string_view w) const {
    for (size_t s = hash(w) & (slots_.size() - 1);; s = (s + 1) & (slots_.size() - 1)) {
      if (slots_[s] == 0) return -1;
      if (text(slots_[s] - 1) == w) return slots_[s] - 1;
    }
  }

  string_view text(uint32_t id) const { return {text_.data() + words_[id].offset, words_[id].length}; }
  const Word& word(uint32_t id) const { return words_[id]; }

  template <class F>
  void forEachFamily(uint32_t id, F&& f) const {
    for (uint32_t m = memberStart_[id]; m < memberStart_[id + 1]; ++m) {
      const uint32_t family = members_[m];
      f(forms_.data() + familyStart_[family], forms_.data() + familyStart_[family + 1]);
    }
  }

 private:
  static size_t hash(string_view w) {
    uint64_t h = 14695981039346656037ull;  // FNV-1a
    for (char c : w) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return static_cast<size_t>(h ^ (h >> 29));
  }

  uint32_t intern(uint32_t offset, string_view w, int rank) {
    size_t s = hash(w) & (slots_.size() - 1);
    for (; slots_[s] != 0; s = (s + 1) & (slots_.size() - 1))
      if (text(slots_[s] - 1) == w) return slots_[s] - 1;
    words_.push_back({offset, static_cast<uint8_t>(w.size()), static_cast<uint8_t>(rank)});
    slots_[s] = static_cast<uint32_t>(words_.size());
    return slots_[s] - 1;
  }

  std::string text_;
  std::vector<Word> words_;
  std::vector<uint32_t> slots_;        // word id + 1, or 0 for empty
  std::vector<uint32_t> forms_;        // word ids, family after family
  std::vector<uint32_t> familyStart_;  // family f is forms_[start[f], start[f + 1])
  std::vector<uint32_t> memberStart_;  // word w is in members_[start[w], start[w + 1])
  std::vector<uint32_t> members_;      // family ids
};

// Collects the union of the families, each form once, then writes what fits.
class Answer {
 public:
  Answer(const Lexicon& lex, uint32_t self) : lex_(lex), self_(self) {}

  void addFamily(const uint32_t* first, const uint32_t* last) {
    for (const uint32_t* p = first; p != last; ++p) {
      if (*p == self_ || count_ == kCapacity || std::find(ids_.begin(), ids_.begin() + count_, *p) != ids_.begin() + count_)
        continue;
      ids_[count_++] = *p;
    }
  }

  // In family order when all fits; otherwise the commonest forms that fit,
  // still written in family order, and no form cut short.
  void write(char* out) const {
    std::array<bool, kCapacity> keep{};
    size_t total = 0;
    for (size_t i = 0; i < count_; ++i) total += lex_.word(ids_[i]).length + 1;
    if (total <= kOutMax) {
      keep.fill(true);
    } else {
      std::array<uint16_t, kCapacity> order;
      for (size_t i = 0; i < count_; ++i) order[i] = static_cast<uint16_t>(i);
      std::stable_sort(order.begin(), order.begin() + count_,
                       [&](uint16_t a, uint16_t b) { return lex_.word(ids_[a]).rank < lex_.word(ids_[b]).rank; });
      size_t used = 0;
      for (size_t k = 0; k < count_; ++k) {
        const size_t need = lex_.word(ids_[order[k]]).length + 1;
        if (used + need <= kOutMax) {
          keep[order[k]] = true;
          used += need;
        }
      }
    }
    size_t used = 0;
    for (size_t i = 0; i < count_; ++i) {
      if (!keep[i]) continue;
      const string_view w = lex_.text(ids_[i]);
      std::memcpy(out + used, w.data(), w.size());
      used += w.size();
      out[used++] = '|';
    }
    out[used] = '\0';
  }

 private:
  // Far beyond any word's union; past it the rarest families are ignored.
  static constexpr size_t kCapacity = 128;
  const Lexicon& lex_;
  uint32_t self_;
  std::array<uint32_t, kCapacity> ids_;
  size_t count_ = 0;
};

// The data sits beside the library, wherever the program folder was put,
// unless KORVEL_LEXICON names another file.
std::string dataPath() {
  if (const char* own = std::getenv("KORVEL_LEXICON"); own != nullptr && *own != '\0') return own;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LoadArrays), &info) == 0 || info.dli_fname == nullptr)
    return kDataFile;
  const string_view lib(info.dli_fname);
  const size_t slash = lib.rfind('/');
  return slash == string_view::npos ? kDataFile : std::string(lib.substr(0, slash + 1)) + kDataFile;
}

std::mutex g_loadMutex;
std::atomic<const Lexicon*> g_lexicon{nullptr};

}  // namespace

extern "C" int LoadArrays(void) {
  try {
    std::lock_guard lock(g_loadMutex);
    if (g_lexicon.load(std::memory_order_acquire) != nullptr) return 0;
    auto lex = std::make_unique<Lexicon>();
    if (!lex->load(dataPath())) return 1;  // Inflection then keeps returning ""
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
  const int64_t id = lex->find(string_view(lower, n));
  if (id < 0) return;
  Answer answer(*lex, static_cast<uint32_t>(id));
  lex->forEachFamily(static_cast<uint32_t>(id), [&](const uint32_t* first, const uint32_t* last) {
    answer.addFamily(first, last);
  });
  answer.write(forms);
}
