#include "Spot.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "Lines.h"
#include "Parallel.h"
#include "Segment.h"
#include "Utf8.h"

namespace korvel {
namespace {

// Hit lines segmented for candidates: enough to find every translation
// worth a row, evenly spread; all hits are counted exactly afterwards.
constexpr std::size_t kSampleLines = 2000;
// Bytes of an aligned line segmented for candidates; counting reads it whole.
constexpr std::size_t kLineCap = 64 * 1024;
// Candidates counted across the corpus: the most frequent among the hits.
constexpr std::size_t kCandidates = 300;

// Grammatical words no query is translated by alone: they only crowd the
// table and make two-word runs of no use ("的发展", "of the").
const std::unordered_set<std::string_view>& ChineseStopWords() {
  static const std::unordered_set<std::string_view> words = {
      "的", "地", "得", "了", "着", "过", "吗", "呢", "吧", "啊", "呀", "之", "和", "与", "及", "而", "或",
      "也", "都", "就", "是", "在", "这", "那", "一", "个", "把", "被", "对", "从", "为", "以", "于", "将",
      "等", "其", "所", "并", "又", "还", "很", "但", "则", "即", "该", "此", "以及", "或者", "而且", "但是",
      "因为", "所以", "如果", "虽然", "这个", "那个", "这些", "那些", "一个", "这样", "那样"};
  return words;
}

const std::unordered_set<std::string_view>& EnglishStopWords() {
  static const std::unordered_set<std::string_view> words = {
      "a", "an", "the", "of", "to", "in", "on", "at", "by", "for", "from", "with", "about", "as", "into", "onto",
      "and", "or", "but", "nor", "so", "if", "then", "than", "that", "this", "these", "those", "there", "here",
      "is", "are", "was", "were", "be", "been", "being", "am", "it", "its", "which", "who", "whom", "whose",
      "not", "no", "s", "t", "d", "ll", "m", "re", "ve", "up", "out", "down", "off", "over", "away", "back"};
  return words;
}

// Words that translate on their own (他们 -> they) but make a two-word run
// no better than its other word: pronouns, auxiliaries, negation.
const std::unordered_set<std::string_view>& ChineseEdgeWords() {
  static const std::unordered_set<std::string_view> words = {
      "我", "你", "他", "她", "它", "我们", "你们", "他们", "它们", "咱们", "不", "没", "没有", "要", "会", "能",
      "可以", "必须", "应该", "已经", "正在", "曾经", "将要", "不会", "不要", "不能", "可能"};
  return words;
}

const std::unordered_set<std::string_view>& EnglishEdgeWords() {
  static const std::unordered_set<std::string_view> words = {
      "i", "you", "he", "she", "we", "they", "me", "him", "her", "us", "them", "my", "your", "his", "our",
      "their", "do", "does", "did", "don", "doesn", "didn", "have", "has", "had", "haven", "hasn", "will", "would",
      "can", "could", "should", "may", "might", "must", "shall", "won", "wouldn", "couldn", "shouldn", "isn",
      "aren", "wasn", "weren", "cannot", "can't", "also", "just", "very", "too"};
  return words;
}

// Particles that make a phrasal verb: "give up" is a candidate although
// "up" alone is not.
bool IsParticle(std::string_view w) {
  static const std::unordered_set<std::string_view> words = {"up", "out", "down", "off", "over", "away", "back"};
  return words.count(w) > 0;
}

constexpr auto kWordBytes = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  return t;
}();

inline bool IsWordByte(unsigned char c) { return kWordBytes[c]; }

constexpr auto kLower = [] {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return t;
}();

inline unsigned char Lower(unsigned char c) { return kLower[c]; }

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(Lower(static_cast<unsigned char>(c)));
  return out;
}

bool IsIdeograph(char32_t c) {
  return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0x20000 && c <= 0x3FFFF);
}

// A word of the aligned line: where it lies and the key it is counted by.
struct TToken {
  std::size_t begin, end;
  std::string key;
};

// English words as the filter's \b sees them: maximal runs of [A-Za-z0-9_]
// that are letters only, lower case. A run against an accented letter is
// part of a longer word and left out.
void EnglishTokens(std::string_view line, std::vector<TToken>& out) {
  for (std::size_t i = 0; i < line.size();) {
    if (!IsWordByte(static_cast<unsigned char>(line[i]))) {
      ++i;
      continue;
    }
    std::size_t e = i;
    bool letters = true;
    while (e < line.size() && IsWordByte(static_cast<unsigned char>(line[e]))) {
      const unsigned char c = static_cast<unsigned char>(line[e]);
      letters = letters && ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
      ++e;
    }
    auto accented = [&](std::size_t at) {
      const unsigned char c = static_cast<unsigned char>(line[at]);
      return c >= 0xC3 && c <= 0xC9;  // lead bytes of U+00C0..U+027F
    };
    const bool joined = (i > 0 && (static_cast<unsigned char>(line[i - 1]) >= 0x80)) ||
                        (e < line.size() && accented(e)) || (i >= 2 && accented(i - 2));
    // "don" of "don't" and "didn" of "didn’t" are no words of their own.
    const std::string_view rest = line.substr(e);
    const bool negation = rest.starts_with("'t") || rest.starts_with("\xE2\x80\x99t");
    if (letters && !joined && !negation) out.push_back({i, e, LowerAscii(line.substr(i, e - i))});
    i = e;
  }
}

// Chinese words from the segmenter: ideographs only, or ASCII letters only
// (names and terms left untranslated), lower case.
void ChineseTokens(TSegmenter& segmenter, std::string_view line, std::vector<TToken>& out) {
  segmenter.ForEachWord(line, [&](std::size_t b, std::size_t e) {
    const std::string_view w = line.substr(b, e - b);
    bool han = true, ascii = true;
    for (std::size_t i = 0, len = 0; i < w.size() && (han || ascii); i += len) {
      const char32_t c = utf8::Decode(w, i, len);
      han = han && IsIdeograph(c);
      ascii = ascii && c < 0x80 && ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
    }
    if (han || (ascii && w.size() >= 2)) out.push_back({b, e, ascii ? LowerAscii(w) : std::string(w)});
  });
}

// The candidates of one aligned line, each once: words and runs of two
// adjacent words, without grammatical words at either end (a particle may
// end an English run).
void Candidates(bool english, const std::vector<TToken>& tokens, std::string_view line,
                std::unordered_set<std::string>& out) {
  const auto& stop = english ? EnglishStopWords() : ChineseStopWords();
  const auto& edge = english ? EnglishEdgeWords() : ChineseEdgeWords();
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    const TToken& t = tokens[k];
    const bool stopped = stop.count(t.key) > 0;
    if (!stopped && (!english || t.key.size() > 1)) out.insert(t.key);
    if (k + 1 == tokens.size() || stopped || edge.count(t.key)) continue;
    const TToken& u = tokens[k + 1];
    const bool adjacent = english ? u.begin == t.end + 1 && line[t.end] == ' ' : u.begin == t.end;
    if (!adjacent || edge.count(u.key)) continue;
    if (stop.count(u.key) && !(english && IsParticle(u.key))) continue;
    out.insert(english ? t.key + ' ' + u.key : t.key + u.key);
  }
}

std::vector<std::string> Split(const std::string& text, char at) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t p; (p = text.find(at, from)) != std::string::npos; from = p + 1)
    if (p > from) parts.push_back(text.substr(from, p - from));
  if (from < text.size()) parts.push_back(text.substr(from));
  return parts;
}

// Every form of an English word or two-word run, as a lemmatised filter
// finds it: the word's forms from the inflector, and the word.
std::vector<std::string> EnglishForms(const std::string& key, const TInflector& inflect) {
  auto formsOf = [&](const std::string& w) {
    std::vector<std::string> f = Split(inflect(w), '|');
    for (std::string& s : f) s = LowerAscii(s);
    if (std::find(f.begin(), f.end(), w) == f.end()) f.push_back(w);
    return f;
  };
  const std::size_t space = key.find(' ');
  if (space == std::string::npos) return formsOf(key);
  std::vector<std::string> forms;
  for (const std::string& a : formsOf(key.substr(0, space)))
    for (const std::string& b : formsOf(key.substr(space + 1))) forms.push_back(a + ' ' + b);
  return forms;
}

// Dunning's log-likelihood of a 2x2 table, signed: negative where the
// candidate is rarer among hits than elsewhere.
double LogLikelihood(double k11, double k12, double k21, double k22) {
  auto xlx = [](double x) { return x > 0 ? x * std::log(x) : 0.0; };
  const double n = k11 + k12 + k21 + k22;
  const double g = 2 * (xlx(k11) + xlx(k12) + xlx(k21) + xlx(k22) - xlx(k11 + k12) - xlx(k21 + k22) -
                        xlx(k11 + k21) - xlx(k12 + k22) + xlx(n));
  const bool under = k11 * n < (k11 + k12) * (k11 + k21);
  return under ? -std::max(0.0, g) : std::max(0.0, g);
}

// Finds which of many strings a line contains, in one pass. English text
// is read word by word: a bit per hash of the whole word rules out nearly
// every word at once, and the rest are compared with the forms whose first
// word has that hash. Chinese text is read character by character: a table
// by code point gives the forms starting with each.
class TContainment {
 public:
  explicit TContainment(const std::vector<TSpotRow>& rows) : english_(!rows.empty() && rows[0].English) {
    std::vector<std::pair<uint32_t, uint32_t>> keyed;  // hash, form
    for (std::size_t r = 0; r < rows.size(); ++r)
      for (const std::string& f : rows[r].Forms) {
        if (f.empty()) continue;
        keyed.emplace_back(Hash(f, 0), static_cast<uint32_t>(forms_.size()));
        const bool cased = std::any_of(f.begin(), f.end(), [](char c) { return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); });
        forms_.push_back({LowerAscii(f), static_cast<uint32_t>(r), cased, std::min(f.size(), f.find(' '))});
      }
    std::sort(keyed.begin(), keyed.end());
    start_.assign(kSlots + 1, 0);
    for (const auto& [h, f] : keyed) {
      bits_[h >> 6] |= uint64_t{1} << (h & 63);
      ++start_[h + 1];
      order_.push_back(f);
    }
    for (std::size_t k = 0; k < kSlots; ++k) start_[k + 1] += start_[k];
    for (const TForm& f : forms_) asciiFirst_[static_cast<unsigned char>(f.text[0])] = true;
    // Chinese forms: one ideograph by a bit per code point; two or more by
    // a bit per hash of their first two, the forms of each hash side by
    // side; the odd few (an ideograph, then a Latin letter) by their first.
    std::vector<std::vector<uint32_t>> byFirst(1 << 16), byPair(kSlots);
    singleRow_.assign(1 << 16, 0);
    for (uint32_t k = 0; k < forms_.size(); ++k) {
      const std::string& t = forms_[k].text;
      const auto* q = reinterpret_cast<const unsigned char*>(t.data());
      if (t.size() < 3 || (q[0] & 0xF0) != 0xE0) continue;
      const uint32_t cp = CodePoint(q);
      if (t.size() == 3) {
        singleBits_[cp >> 6] |= uint64_t{1} << (cp & 63);
        singleRow_[cp] = forms_[k].row;
      } else if (t.size() >= 6 && (q[3] & 0xF0) == 0xE0) {
        const uint32_t h = PairHash(cp, CodePoint(q + 3));
        pairBits_[h >> 6] |= uint64_t{1} << (h & 63);
        byPair[h].push_back(k);
      } else {
        firstBits_[cp >> 6] |= uint64_t{1} << (cp & 63);
        byFirst[cp].push_back(k);
        odd_ = true;
      }
    }
    auto lay = [&](const std::vector<std::vector<uint32_t>>& by, std::vector<uint32_t>& start, std::vector<TFlat>& flat,
                   std::size_t skip) {
      start.assign(by.size() + 1, 0);
      for (std::size_t key = 0; key < by.size(); ++key) {
        start[key + 1] = start[key] + static_cast<uint32_t>(by[key].size());
        for (uint32_t k : by[key]) {
          const TForm& f = forms_[k];
          const auto* q = reinterpret_cast<const unsigned char*>(f.text.data());
          flat.push_back({f.text.data() + skip, static_cast<uint32_t>(f.text.size() - skip), f.row, f.cased,
                          skip == 6 ? CodePoint(q) : 0, skip == 6 ? CodePoint(q + 3) : 0});
        }
      }
    };
    lay(byFirst, firstStart_, flat_, 3);
    lay(byPair, pairStart_, pairFlat_, 6);
  }

  // Calls row(r) for each row found in `line`, possibly more than once.
  template <class F>
  void ForEachRow(std::string_view line, F&& row) const {
    const std::size_t n = line.size();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(line.data());
    if (english_) {
      ForEachWord(p, n, [&](std::size_t i, std::size_t e) {
        const uint32_t h = WordHash(p + i, e - i);  // as the forms were hashed
        if (bits_[h >> 6] >> (h & 63) & 1) Confirm(line, i, h, row, e - i);
      });
      return;
    }
    // Chinese text is nearly all three-byte characters: their code points
    // index a bit table of the first characters wanted.
    const uint64_t* const singleBits = singleBits_;
    const uint64_t* const pairBits = pairBits_;
    const bool odd = odd_;
    std::size_t i = 0;
    while (i < n) {
      const unsigned char c = p[i];
      if ((c & 0xF0) == 0xE0 && i + 2 < n) {
        // Runs of ideographs go by without a call or a reload; nearly every
        // character fails both bit tests, so the branches stay predictable.
        uint32_t prev = ~0u;
        do {
          const uint32_t cp = CodePoint(p + i);
          if (singleBits[cp >> 6] >> (cp & 63) & 1) row(singleRow_[cp]);
          if (prev != ~0u) {
            const uint32_t h = PairHash(prev, cp);
            if (pairBits[h >> 6] >> (h & 63) & 1) ConfirmPair(p + i + 3, n - i - 3, h, prev, cp, row);
          }
          if (odd && firstBits_[cp >> 6] >> (cp & 63) & 1) ConfirmAfterFirst(p + i + 3, n - i - 3, cp, row);
          prev = cp;
          i += 3;
        } while (i + 2 < n && (p[i] & 0xF0) == 0xE0);
        continue;
      }
      if (c >= 0x80 || asciiFirst_[Lower(c)]) {
        const uint32_t h = Hash(line, i);
        if (bits_[h >> 6] >> (h & 63) & 1) Confirm(line, i, h, row);
      }
      i += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    }
  }

 private:
  static constexpr std::size_t kSlots = 1 << 16;

  // Bit k: p[k] is one of [A-Za-z0-9_], for k < count <= 64.
  static uint64_t WordBits(const unsigned char* p, std::size_t count) {
#ifdef __SSE2__
    unsigned char tail[64] = {};
    if (count < 64) {
      std::memcpy(tail, p, count);  // never read past the text
      p = tail;
    }
    uint64_t bits = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
      // Bytes from 0x80 are negative here, so no range test takes them.
      const __m128i folded = _mm_or_si128(v, _mm_set1_epi8(0x20));
      const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(folded, _mm_set1_epi8('a' - 1)),
                                           _mm_cmplt_epi8(folded, _mm_set1_epi8('z' + 1)));
      const __m128i digit =
          _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('0' - 1)), _mm_cmplt_epi8(v, _mm_set1_epi8('9' + 1)));
      const __m128i word = _mm_or_si128(_mm_or_si128(letter, digit), _mm_cmpeq_epi8(v, _mm_set1_epi8('_')));
      bits |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(word))) << (16 * k);
    }
    return bits;
#else
    uint64_t bits = 0;
    for (std::size_t k = 0; k < count; ++k) bits |= uint64_t{IsWordByte(p[k])} << k;
    return bits;
#endif
  }

  // Calls word(begin, end) for each maximal run of [A-Za-z0-9_] in p[0, n),
  // sixty-four bytes classified at a time.
  template <class F>
  static void ForEachWord(const unsigned char* p, std::size_t n, F&& word) {
    std::size_t start = 0;
    bool inWord = false;
    for (std::size_t base = 0; base < n; base += 64) {
      const std::size_t count = std::min<std::size_t>(64, n - base);
      const uint64_t bits = WordBits(p + base, count);
      // Where the class changes: a word starts or ends there.
      uint64_t edges = bits ^ ((bits << 1) | uint64_t{inWord});
      if (count < 64) edges &= (uint64_t{1} << count) - 1;
      while (edges) {
        const std::size_t at = base + static_cast<std::size_t>(__builtin_ctzll(edges));
        edges &= edges - 1;
        if (!inWord) {
          start = at;
        } else {
          word(start, at);
        }
        inWord = !inWord;
      }
    }
    if (inWord) word(start, n);
  }

  // Of a whole word, letter case ignored.
  static uint32_t WordHash(const unsigned char* p, std::size_t len) {
    uint32_t x = 2166136261u;
    for (std::size_t k = 0; k < len; ++k) x = (x ^ Lower(p[k])) * 16777619u;
    return (x * 0x9E3779B1u) >> 16;
  }

  uint32_t Hash(std::string_view s, std::size_t at) const {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data()) + at;
    const std::size_t left = s.size() - at;
    uint32_t x = 0;
    if (p[0] >= 0x80) {
      const std::size_t len = std::min<std::size_t>(left, p[0] < 0xE0 ? 2 : 3);
      for (std::size_t k = 0; k < len; ++k) x |= uint32_t{p[k]} << (8 * k);
    } else if (english_) {
      std::size_t len = 0;
      while (len < left && IsWordByte(p[len])) ++len;
      return WordHash(p, len);
    } else {
      x = Lower(p[0]) | (left > 1 ? uint32_t{Lower(p[1])} << 8 : 0);
    }
    return (x * 0x9E3779B1u) >> 16;
  }

  template <class F>
  // `wordEnd`: the length of the word at `at` when known (English), or 0.
  void Confirm(std::string_view line, std::size_t at, uint32_t h, F&& row, std::size_t wordEnd = 0) const {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(line.data()) + at;
    const std::size_t left = line.size() - at;
    for (uint32_t k = start_[h]; k < start_[h + 1]; ++k) {
      const TForm& form = forms_[order_[k]];
      const std::size_t len = form.text.size();
      if (len > left || (wordEnd && form.firstWord != wordEnd)) continue;
      bool same = true;
      for (std::size_t j = 0; j < len && same; ++j) same = Lower(p[j]) == static_cast<unsigned char>(form.text[j]);
      if (!same || (english_ && len < left && IsWordByte(p[len]))) continue;
      row(form.row);
    }
  }

  // The forms starting with character cp, whose rest would stand at p.
  template <class F>
  void ConfirmAfterFirst(const unsigned char* p, std::size_t left, uint32_t cp, F&& row) const {
    for (uint32_t k = firstStart_[cp], end = firstStart_[cp + 1]; k < end; ++k) {
      const TFlat& form = flat_[k];
      if (form.len > left) continue;
      bool same = true;
      if (!form.cased) {
        // Mostly one or two characters more: a loop beats a call.
        for (uint32_t j = 0; j < form.len && same; ++j) same = p[j] == static_cast<unsigned char>(form.rest[j]);
      } else {
        for (uint32_t j = 0; j < form.len && same; ++j) same = Lower(p[j]) == static_cast<unsigned char>(form.rest[j]);
      }
      if (same) row(form.row);
    }
  }

  // The forms whose first two characters hash to h, if they are a and b,
  // and whose rest would stand at p.
  template <class F>
  void ConfirmPair(const unsigned char* p, std::size_t left, uint32_t h, uint32_t a, uint32_t b, F&& row) const {
    for (uint32_t k = pairStart_[h], end = pairStart_[h + 1]; k < end; ++k) {
      const TFlat& form = pairFlat_[k];
      if (form.first != a || form.second != b || form.len > left) continue;
      bool same = true;
      for (uint32_t j = 0; j < form.len && same; ++j)
        same = (form.cased ? Lower(p[j]) : p[j]) == static_cast<unsigned char>(form.rest[j]);
      if (same) row(form.row);
    }
  }

  static uint32_t CodePoint(const unsigned char* q) {
    return (q[0] & 0x0Fu) << 12 | (q[1] & 0x3Fu) << 6 | (q[2] & 0x3Fu);
  }
  static uint32_t PairHash(uint32_t a, uint32_t b) { return ((a * 0x9E3779B1u) ^ (b * 0x85EBCA77u)) >> 16; }

  struct TFlat {
    const char* rest;  // after the characters the form was found by, in forms_
    uint32_t len;
    uint32_t row;
    bool cased;
    uint32_t first, second;  // a pair's two characters
  };

  struct TForm {
    std::string text;  // lower case
    uint32_t row;
    bool cased;              // holds an ASCII letter, compared without regard to case
    std::size_t firstWord;   // length of its first word
  };
  bool english_;
  uint64_t bits_[kSlots / 64] = {};
  std::vector<uint32_t> start_, order_;
  bool asciiFirst_[256] = {};     // some form starts with this byte, lower case
  uint64_t singleBits_[(1 << 16) / 64] = {};  // one-ideograph forms
  std::vector<uint32_t> singleRow_;            // by code point
  uint64_t pairBits_[kSlots / 64] = {};        // hashes of forms' first two ideographs
  std::vector<uint32_t> pairStart_;            // by hash: its forms in pairFlat_
  std::vector<TFlat> pairFlat_;
  bool odd_ = false;                           // some form is an ideograph, then no ideograph
  uint64_t firstBits_[(1 << 16) / 64] = {};   // their first code points
  std::vector<uint32_t> firstStart_;           // by code point: its forms in flat_
  std::vector<TFlat> flat_;
  std::vector<TForm> forms_;
};

// The lower row is part of the higher: a substring of it (Chinese), or one
// of its forms a word of one of the higher's forms (English).
bool IsPartOf(const TSpotRow& lower, const TSpotRow& higher) {
  if (!lower.English) return higher.Text.size() > lower.Text.size() && higher.Text.find(lower.Text) != std::string::npos;
  if (higher.Text.find(' ') == std::string::npos) return false;
  for (const std::string& big : higher.Forms) {
    const std::size_t space = big.find(' ');
    if (space == std::string::npos) continue;
    const std::string_view a = std::string_view(big).substr(0, space), b = std::string_view(big).substr(space + 1);
    for (const std::string& f : lower.Forms)
      if (f == a || f == b) return true;
  }
  return false;
}

}  // namespace

TTranslationTable Spot(const TDataArr& data, const TSearchResult& result, const TSpotOptions& options) {
  TTranslationTable table;
  table.HitCount = result.HitCount();
  if (result.Hits.empty()) return table;
  const bool english = result.QueryIsChinese;  // the aligned side's language
  const TInflector inflect = options.Inflect ? options.Inflect : TInflector(MyDllInflection);
  const unsigned workers = WorkerCount(options.Threads);
  auto aligned = [&](const TData& d) { return english ? d.EnLine : d.ZhLine; };

  // Progress: a fifth for the candidates, the rest for the counting.
  auto phase = [&](double from, double share) -> TProgressFn {
    if (!options.Progress) return {};
    return [&options, from, share](std::size_t done, std::size_t total) {
      const double f = total ? from + share * static_cast<double>(done) / static_cast<double>(total) : from;
      options.Progress(static_cast<std::size_t>(f * 1000), 1000);
    };
  };

  // 1. Candidates from the hits' aligned lines, by the number of lines.
  const std::size_t hits = result.Hits.size();
  const std::size_t sample = std::min(hits, kSampleLines);
  const std::size_t chunk = 64;
  std::vector<std::unordered_map<std::string, int32_t>> counted((sample + chunk - 1) / chunk);
  std::vector<std::unique_ptr<TSegmenter>> segmenters(workers);
  std::atomic<bool> capped{false};
  ParallelFor(counted.size(), workers, phase(0, 0.2), [&](std::size_t c, unsigned w, auto& poll) {
    if (!english && !segmenters[w]) segmenters[w] = std::make_unique<TSegmenter>();
    std::vector<TToken> tokens;
    std::unordered_set<std::string> seen;
    for (std::size_t s = c * chunk; s < std::min(sample, (c + 1) * chunk); ++s) {
      poll();
      const TData& d = data[result.Hits[s * hits / sample]];
      std::string_view line = aligned(d);
      if (line.size() > kLineCap) {
        capped = true;
        line = line.substr(0, kLineCap);
      }
      tokens.clear();
      seen.clear();
      if (english)
        EnglishTokens(line, tokens);
      else
        ChineseTokens(*segmenters[w], line, tokens);
      Candidates(english, tokens, line, seen);
      for (const std::string& key : seen) ++counted[c][key];
    }
  });
  table.Capped = capped;
  std::unordered_map<std::string, int32_t> total;
  for (auto& m : counted)
    for (auto& [key, n] : m) total[key] += n;
  std::vector<std::pair<std::string, int32_t>> keys(total.begin(), total.end());
  const auto byCount = [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second > b.second : a.first < b.first;
  };
  const std::size_t wanted = std::min(keys.size(), kCandidates);
  std::partial_sort(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(wanted), keys.end(), byCount);
  keys.resize(wanted);

  // 2. Rows: a Chinese candidate on its own; English ones by family, named
  // by the most frequent form and looked for as every form of it.
  std::vector<TSpotRow> rows;
  std::vector<int32_t> alone;  // sampled hit lines in which the row was a word of its own
  std::vector<bool> taken(keys.size());
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (taken[k]) continue;
    alone.push_back(keys[k].second);
    TSpotRow row;
    row.Text = keys[k].first;
    row.English = english;
    if (english) {
      row.Forms = EnglishForms(row.Text, inflect);
      for (std::size_t j = k + 1; j < keys.size(); ++j)
        if (!taken[j] && std::find(row.Forms.begin(), row.Forms.end(), keys[j].first) != row.Forms.end())
          taken[j] = true;
    } else {
      row.Forms = {row.Text};
    }
    rows.push_back(std::move(row));
  }

  // 3. One pass over the aligned side of every line pair: which rows each
  // line contains, counted for the corpus and kept for the hits.
  const auto contains = std::make_unique<TContainment>(rows);
  const std::size_t n = data.size();
  const std::size_t span = std::max<std::size_t>(4096, n / (workers * 8) + 1);
  const std::size_t spans = (n + span - 1) / span;
  std::vector<std::vector<int64_t>> lines(workers, std::vector<int64_t>(rows.size()));
  std::vector<std::vector<std::vector<uint32_t>>> hitRows(spans);  // rows of each hit, by span
  ParallelFor(spans, workers, phase(0.2, 0.8), [&](std::size_t s, unsigned w, auto& poll) {
    std::vector<std::size_t> stamp(rows.size(), 0);
    const std::size_t lo = s * span, hi = std::min(n, lo + span);
    auto h = std::lower_bound(result.Hits.begin(), result.Hits.end(), static_cast<int32_t>(lo));
    std::vector<uint32_t> found;
    for (std::size_t i = lo; i < hi; ++i) {
      if ((i & 1023) == 0) poll();
      const bool isHit = h != result.Hits.end() && *h == static_cast<int32_t>(i);
      found.clear();
      contains->ForEachRow(aligned(data[i]), [&](uint32_t r) {
        if (stamp[r] == i + 1) return;
        stamp[r] = i + 1;
        ++lines[w][r];
        if (isHit) found.push_back(r);
      });
      if (isHit) {
        hitRows[s].push_back(found);
        ++h;
      }
    }
  });
  std::vector<int32_t> hitCount(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (unsigned w = 0; w < workers; ++w) rows[r].Lines += lines[w][r];
  }
  for (const auto& spanRows : hitRows)
    for (const auto& found : spanRows)
      for (uint32_t r : found) ++hitCount[r];

  // 4. Ranked by association, ties by hits, then by code point.
  const double hitTotal = static_cast<double>(hits), all = static_cast<double>(n);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    TSpotRow& row = rows[r];
    row.Hits = hitCount[r];
    row.Share = row.Hits / hitTotal;
    const double k11 = row.Hits, k12 = hitTotal - k11, k21 = static_cast<double>(row.Lines) - k11;
    row.Score = LogLikelihood(k11, k12, k21, all - k11 - k12 - k21);
  }
  std::vector<std::size_t> order(rows.size());
  for (std::size_t r = 0; r < order.size(); ++r) order[r] = r;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (rows[a].Score != rows[b].Score) return rows[a].Score > rows[b].Score;
    if (rows[a].Hits != rows[b].Hits) return rows[a].Hits > rows[b].Hits;
    return rows[a].Text < rows[b].Text;
  });

  // 5. The best rows. A row that is part of another with nearly its count
  // (生 in 卫生, 健 in 健康, "give" in "give up") stands for the other's
  // lines: the longer, more telling one is kept, wherever it ranks.
  auto nearly = [](int32_t part, int32_t whole) { return part - whole <= part * 15 / 100; };
  std::vector<bool> folded(rows.size());
  // One character that stands on its own in under a fifth of the hit lines
  // holding it (生 in 医生, 产生 and 卫生 for "health") is no translation of
  // its own, though its string occurs in many of them.
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::string& t = rows[r].Text;
    const bool oneIdeograph = !english && t.size() == 3 && static_cast<unsigned char>(t[0]) >= 0xE0;
    if (oneIdeograph && 5.0 * alone[r] / static_cast<double>(sample) < rows[r].Share) folded[r] = true;
  }
  for (std::size_t a = 0; a < rows.size(); ++a)
    for (std::size_t b = 0; b < rows.size() && !folded[a]; ++b)
      if (b != a && rows[b].Score > 0 && IsPartOf(rows[a], rows[b]) && nearly(rows[a].Hits, rows[b].Hits))
        folded[a] = true;
  std::vector<std::size_t> kept;
  for (std::size_t r : order) {
    if (kept.size() == options.Top) break;
    if (rows[r].Hits > 0 && rows[r].Score > 0 && !folded[r]) kept.push_back(r);
  }
  std::vector<bool> shown(rows.size());
  for (std::size_t r : kept) {
    shown[r] = true;
    table.Rows.push_back(rows[r]);
  }
  for (const auto& spanRows : hitRows)
    for (const auto& found : spanRows)
      if (std::none_of(found.begin(), found.end(), [&](uint32_t r) { return shown[r]; })) ++table.NoneHits;
  return table;
}

std::string FormatDecimal(double value, int decimals) {
  const double unit = std::pow(10.0, -decimals) / 2;
  if (std::fabs(value) < unit) value = 0;  // no "-0.0"
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

void WriteSpotTable(TOutput& out, const TTranslationTable& table) {
  if (table.HitCount == 0) return;
  const double hits = table.HitCount;
  for (const TSpotRow& row : table.Rows)
    out.Append(row.Text + '\t' + std::to_string(row.Hits) + '\t' + FormatDecimal(row.Hits / hits, 3) + '\t' +
               FormatDecimal(row.Score, 1) + '\n');
  out.Append("(none of these)\t" + std::to_string(table.NoneHits) + '\t' + FormatDecimal(table.NoneHits / hits, 3) +
             "\t\n");
}

namespace {

std::string EscapeLiteral(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (std::string_view("[](){}.+*?^$|\\").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

TSpotFilter RowFilter(const TSpotRow& row) {
  if (row.English) return {row.Text, true};
  return {IsRegexQuery(row.Text) ? EscapeLiteral(row.Text) : row.Text, false};
}

std::string NoneFilter(const std::vector<TSpotRow>& rows) {
  std::string expression;
  for (const TSpotRow& row : rows) {
    if (!expression.empty()) expression += '|';
    if (!row.English) {
      expression += EscapeLiteral(row.Text);
      continue;
    }
    std::string forms;
    for (const std::string& f : row.Forms) forms += (forms.empty() ? "" : "|") + EscapeLiteral(f);
    expression += "\\b(?:" + forms + ")\\b";
  }
  return expression;
}

}  // namespace korvel
