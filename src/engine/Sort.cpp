#include "Sort.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <numeric>
#include <string>
#include <utility>

#include "Highlight.h"
#include "Lines.h"
#include "Parallel.h"
#include "Segment.h"
#include "Utf8.h"

namespace korvel {
namespace {

using TSpan = std::pair<std::size_t, std::size_t>;

// Hits one worker takes at a time.
constexpr std::size_t kHitsPerItem = 2048;
// Bytes of a Chinese line segmented on each side of the hit: three words
// fit many times over, and a huge line costs no more than a short one.
constexpr std::size_t kSegmentReach = 512;

struct TCollatorClose {
  void operator()(UCollator* c) const { ucol_close(c); }
};
using TCollator = std::unique_ptr<UCollator, TCollatorClose>;

// The root collator at secondary strength; null when ICU cannot give one
// (then words compare by their bytes).
TCollator RootCollator() {
  UErrorCode status = U_ZERO_ERROR;
  TCollator c(ucol_open("", &status));
  if (U_FAILURE(status)) return nullptr;
  ucol_setStrength(c.get(), UCOL_SECONDARY);
  return c;
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t CharStartAtOrBefore(std::string_view text, std::size_t at) {
  while (at > 0 && at < text.size() && IsContinuation(text[at])) --at;
  return at;
}

// The character that ends at `at`, and where it starts.
char32_t DecodeBefore(std::string_view text, std::size_t at, std::size_t& start) {
  start = at - 1;
  while (start > 0 && at - start < 4 && IsContinuation(text[start])) --start;
  std::size_t length = 0;
  const char32_t c = utf8::Decode(text, start, length);
  if (start + length == at) return c;
  start = at - 1;  // not one valid sequence: the last byte on its own
  return static_cast<unsigned char>(text[start]);
}

bool IsWordChar(char32_t c) { return u_isalnum(static_cast<UChar32>(c)); }

// Up to `count` runs of letters and digits before `at`, nearest first.
void EnglishLeft(std::string_view line, std::size_t at, std::size_t count, std::vector<TSpan>& out) {
  std::size_t end = std::string_view::npos;
  while (at > 0 && out.size() < count) {
    std::size_t start = 0;
    const bool word = IsWordChar(DecodeBefore(line, at, start));
    if (word && end == std::string_view::npos) end = at;
    if (!word && end != std::string_view::npos) {
      out.emplace_back(at, end);
      end = std::string_view::npos;
    }
    at = start;
  }
  if (end != std::string_view::npos && out.size() < count) out.emplace_back(0, end);
}

// Up to `count` runs of letters and digits from `at` on, nearest first.
void EnglishRight(std::string_view line, std::size_t at, std::size_t count, std::vector<TSpan>& out) {
  std::size_t begin = std::string_view::npos, length = 0;
  for (; at < line.size() && out.size() < count; at += length) {
    const bool word = IsWordChar(utf8::Decode(line, at, length));
    if (word && begin == std::string_view::npos) begin = at;
    if (!word && begin != std::string_view::npos) {
      out.emplace_back(begin, at);
      begin = std::string_view::npos;
    }
  }
  if (begin != std::string_view::npos && out.size() < count) out.emplace_back(begin, at);
}

// The segmenter's words of line[from, to), nearest `at` first: the last
// ones when the span ends at the hit, the first ones when it starts there.
void SegmentedWords(TSegmenter& words, std::string_view line, std::size_t from, std::size_t to, bool left,
                    std::size_t count, std::vector<TSpan>& out) {
  std::vector<TSpan> all;
  words.ForEachWord(line.substr(from, to - from),
                    [&](std::size_t b, std::size_t e) { all.emplace_back(from + b, from + e); });
  if (left) std::reverse(all.begin(), all.end());
  all.resize(std::min(all.size(), count));
  out = std::move(all);
}

// Appends the word's collation key with its terminating 0, so keys laid
// end to end compare word by word.
void AppendWordKey(UCollator* collator, std::string_view word, std::u16string& wide, std::string& bytes,
                   std::string& key) {
  if (!collator) {
    key.append(word);
    key += '\1';  // above the missing word's 0, below every UTF-8 byte of a word
    key += '\0';
    return;
  }
  wide.clear();
  for (std::size_t i = 0, length = 0; i < word.size(); i += length) {
    const char32_t c = utf8::Decode(word, i, length);
    if (c < 0x10000) {
      wide += static_cast<char16_t>(c);
    } else {
      wide += static_cast<char16_t>(0xD7C0 + (c >> 10));
      wide += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    }
  }
  const auto* src = reinterpret_cast<const UChar*>(wide.data());
  const int32_t n = static_cast<int32_t>(wide.size());
  if (bytes.size() < 64) bytes.resize(64);
  int32_t need =
      ucol_getSortKey(collator, src, n, reinterpret_cast<uint8_t*>(bytes.data()), static_cast<int32_t>(bytes.size()));
  if (need > static_cast<int32_t>(bytes.size())) {
    bytes.resize(static_cast<std::size_t>(need));
    need = ucol_getSortKey(collator, src, n, reinterpret_cast<uint8_t*>(bytes.data()), need);
  }
  key.append(bytes.data(), static_cast<std::size_t>(need));
}

}  // namespace

std::optional<TSortKeys> ParseSortKeys(std::string_view text) {
  static const std::pair<std::string_view, TSortKey> kNames[] = {
      {"hit", TSortKey::Hit},   {"1l", TSortKey::Left1},  {"2l", TSortKey::Left2},  {"3l", TSortKey::Left3},
      {"1r", TSortKey::Right1}, {"2r", TSortKey::Right2}, {"3r", TSortKey::Right3}, {"file", TSortKey::File},
      {"translation", TSortKey::Translation}};
  TSortKeys keys;
  for (std::size_t at = 0;;) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    std::string name(text.substr(at, comma - at));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto* found =
        std::find_if(std::begin(kNames), std::end(kNames), [&](const auto& n) { return n.first == name; });
    if (found == std::end(kNames)) return std::nullopt;
    keys.push_back(found->second);
    if (comma == text.size()) return keys;
    at = comma + 1;
  }
}

TIntArr SortOrder(const TFilePairArr& pairs, const TDataArr& data, const TSearchResult& result, const TSortKeys& keys,
                  unsigned threads, const TProgressFn& progress, const std::vector<TSpotRow>& translations) {
  if (keys.empty() || keys.front() == TSortKey::File || result.Hits.empty()) return {};
  std::size_t leftWords = 0, rightWords = 0;
  for (TSortKey k : keys) {
    if (k == TSortKey::File) break;
    if (k >= TSortKey::Left1 && k <= TSortKey::Left3)
      leftWords = std::max<std::size_t>(leftWords, int(k) - int(TSortKey::Left1) + 1);
    if (k >= TSortKey::Right1 && k <= TSortKey::Right3)
      rightWords = std::max<std::size_t>(rightWords, int(k) - int(TSortKey::Right1) + 1);
  }

  // Each hit's keys are made once, laid end to end in one string of bytes,
  // so the sort compares bytes alone.
  const std::size_t n = result.Hits.size();
  const std::size_t items = (n + kHitsPerItem - 1) / kHitsPerItem;
  const unsigned workers = WorkerCount(threads);
  struct TWorker {
    std::unique_ptr<THighlighter> marks;
    std::unique_ptr<TSegmenter> words;
    std::unique_ptr<TRowMarker> rows;
    TCollator collator;
    std::u16string wide;
    std::string bytes;
    std::vector<TSpan> left, right;
  };
  std::vector<TWorker> state(std::min<std::size_t>(workers, items));
  std::vector<std::string> keyText(items);
  std::vector<uint32_t> keyEnd(n);

  ParallelFor(items, workers, progress, [&](std::size_t item, unsigned w, auto& poll) {
    TWorker& s = state[w];
    if (!s.marks) {
      s.marks = std::make_unique<THighlighter>(pairs, result);
      if (result.QueryIsChinese) s.words = std::make_unique<TSegmenter>();
      s.collator = RootCollator();
      s.rows = std::make_unique<TRowMarker>(translations);
    }
    std::string& text = keyText[item];
    const std::size_t lo = item * kHitsPerItem, hi = std::min(n, lo + kHitsPerItem);
    for (std::size_t k = lo; k < hi; ++k) {
      if ((k & 255) == 0) poll();
      const TData& d = data[result.Hits[k]];
      const std::string_view line = s.marks->Searched(d);
      const auto [b, e] = s.marks->FirstQueryMark(d);
      s.left.clear();
      s.right.clear();
      if (s.words) {
        if (leftWords)
          SegmentedWords(*s.words, line, CharStartAtOrBefore(line, b > kSegmentReach ? b - kSegmentReach : 0), b, true,
                         leftWords, s.left);
        if (rightWords)
          SegmentedWords(*s.words, line, e,
                         std::max(e, CharStartAtOrBefore(line, std::min(line.size(), e + kSegmentReach))), false,
                         rightWords, s.right);
      } else {
        EnglishLeft(line, b, leftWords, s.left);
        EnglishRight(line, e, rightWords, s.right);
      }
      for (TSortKey key : keys) {
        if (key == TSortKey::File) {
          // Every hit has its own place: nothing after this key can count.
          for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>((k >> shift) & 0xFF);
          break;
        }
        if (key == TSortKey::Translation) {
          const std::size_t rank = s.rows->FirstContained(s.marks->Aligned(d));
          text += static_cast<char>((rank >> 8) & 0xFF);
          text += static_cast<char>(rank & 0xFF);
          continue;
        }
        const std::vector<TSpan>& side = key >= TSortKey::Right1 ? s.right : s.left;
        const std::size_t nth = key == TSortKey::Hit      ? 0
                                : key >= TSortKey::Right1 ? int(key) - int(TSortKey::Right1)
                                                          : int(key) - int(TSortKey::Left1);
        if (key != TSortKey::Hit && nth >= side.size()) {
          text += '\0';  // the line ended first: before every word
          continue;
        }
        const TSpan span = key == TSortKey::Hit ? TSpan{b, e} : side[nth];
        AppendWordKey(s.collator.get(), line.substr(span.first, span.second - span.first), s.wide, s.bytes, text);
      }
      keyEnd[k] = static_cast<uint32_t>(text.size());
    }
  });

  std::vector<std::string_view> key(n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::string& text = keyText[k / kHitsPerItem];
    const std::size_t begin = k % kHitsPerItem ? keyEnd[k - 1] : 0;
    key[k] = std::string_view(text).substr(begin, keyEnd[k] - begin);
  }
  TIntArr order(n);
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    const int c = key[static_cast<std::size_t>(a)].compare(key[static_cast<std::size_t>(b)]);
    return c != 0 ? c < 0 : a < b;
  });
  return order;
}

}  // namespace korvel
