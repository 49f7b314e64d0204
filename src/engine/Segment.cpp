#include "Segment.h"

#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Utf8.h"

namespace korvel {
namespace {

// ICU's word breaker, made once: building it loads the dictionary. Clones
// share that data. Null when ICU cannot give one: then every ideograph is
// a word on its own.
const icu::BreakIterator* Prototype() {
  static std::unique_ptr<icu::BreakIterator> prototype = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createWordInstance(icu::Locale("zh"), status));
    if (U_FAILURE(status)) it.reset();
    return it;
  }();
  return prototype.get();
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t CharStartAtOrBefore(std::string_view text, std::size_t at) {
  std::size_t back = 0;  // a UTF-8 character has at most three continuation bytes
  while (at > 0 && at < text.size() && IsContinuation(text[at]) && back++ < 3) --at;
  return at;
}

// Where to end a window that must not pass `limit`: after a blank or an
// ASCII or CJK punctuation mark in its last quarter when there is one, so
// words are rarely cut; otherwise at the character boundary before it.
std::size_t WindowEnd(std::string_view text, std::size_t start, std::size_t limit) {
  if (limit >= text.size()) return text.size();
  const std::size_t floor = start + (limit - start) * 3 / 4;
  for (std::size_t at = limit; at > floor; --at) {
    const unsigned char c = static_cast<unsigned char>(text[at - 1]);
    if (c < 0x80 && !(c >= '0' && c <= '9') && !((c | 0x20) >= 'a' && (c | 0x20) <= 'z')) return at;
    // 、。 and the like (U+3000..U+303F), and full-width ，！？ (U+FF00..)
    if (at >= 3 && ((text[at - 3] == '\xE3' && text[at - 2] == '\x80') || text[at - 3] == '\xEF') &&
        IsContinuation(text[at - 1]))
      return at;
  }
  const std::size_t cut = CharStartAtOrBefore(text, limit);
  return cut > start ? cut : limit;
}

bool IsIdeograph(char32_t c) {
  return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0x20000 && c <= 0x3FFFF);
}

bool IsLetter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c < 0x3000 && c != 0xD7 && c != 0xF7) ||
         (c >= 0x3040 && c <= 0x30FF);
}

}  // namespace

struct TSegmenter::TImpl {
  std::unique_ptr<icu::BreakIterator> words;
  // The window in UTF-16, which ICU's breaker reads many times faster than
  // UTF-8 through a UText, and where each UTF-16 unit's character starts
  // in the window's bytes.
  icu::UnicodeString text;
  std::vector<uint32_t> byteAt;

  // Points the breaker at `window`; false when ICU refuses it.
  bool Set(std::string_view window) {
    text.remove();
    byteAt.clear();
    for (std::size_t i = 0, len = 0; i < window.size(); i += len) {
      const char32_t c = utf8::Decode(window, i, len);
      const int32_t before = text.length();
      text.append(static_cast<UChar32>(c));
      for (int32_t k = before; k < text.length(); ++k) byteAt.push_back(static_cast<uint32_t>(i));
    }
    byteAt.push_back(static_cast<uint32_t>(window.size()));
    words->setText(text);
    return true;
  }

  // The window's byte offset of a UTF-16 boundary.
  std::size_t Byte(int32_t unit) const { return byteAt[static_cast<std::size_t>(unit)]; }
  // The UTF-16 boundary at a byte offset of a character start; -1 for none.
  int32_t Unit(std::size_t byte) const {
    const auto at = std::lower_bound(byteAt.begin(), byteAt.end(), static_cast<uint32_t>(byte));
    return at != byteAt.end() && *at == byte ? static_cast<int32_t>(at - byteAt.begin()) : -1;
  }

  // Without ICU: runs of letters are words, each ideograph is one.
  template <class F>
  static void Fallback(std::string_view text, F&& word) {
    std::size_t runStart = std::string_view::npos, len = 0;
    for (std::size_t i = 0; i <= text.size(); i += len) {
      const char32_t c = i < text.size() ? utf8::Decode(text, i, len) : U' ';
      if (i == text.size()) len = 1;
      const bool letter = IsLetter(c);
      if (runStart != std::string_view::npos && !letter) {
        word(runStart, i);
        runStart = std::string_view::npos;
      }
      if (IsIdeograph(c))
        word(i, i + len);
      else if (letter && runStart == std::string_view::npos)
        runStart = i;
    }
  }
};

TSegmenter::TSegmenter() : impl_(std::make_unique<TImpl>()) {
  if (const icu::BreakIterator* p = Prototype()) impl_->words.reset(p->clone());
}

TSegmenter::~TSegmenter() = default;

void TSegmenter::ForEachWord(std::string_view text, const std::function<void(std::size_t, std::size_t)>& word) {
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = WindowEnd(text, start, start + kSegmentWindow);
    const std::string_view window = text.substr(start, end - start);
    if (!impl_->words || !impl_->Set(window)) {
      TImpl::Fallback(window, [&](std::size_t b, std::size_t e) { word(start + b, start + e); });
    } else {
      icu::BreakIterator& it = *impl_->words;
      for (int32_t prev = it.first(), at = it.next(); at != icu::BreakIterator::DONE; prev = at, at = it.next()) {
        const int32_t status = it.getRuleStatus();
        if (status >= UBRK_WORD_LETTER && status < UBRK_WORD_IDEO_LIMIT)
          word(start + impl_->Byte(prev), start + impl_->Byte(at));
      }
    }
    start = end;
  }
}

namespace {

constexpr std::size_t kContext = 256;
// Enough for the words around a short span; ICU's cost grows with the run
// of ideographs it is given, and marks are placed on every shown hit.
constexpr std::size_t kNearContext = 48;

// The part of `line` around [begin, end) that decides its word boundaries.
std::size_t ContextFrom(std::string_view line, std::size_t begin, std::size_t context = kContext) {
  return CharStartAtOrBefore(line, begin > context ? begin - context : 0);
}

std::size_t ContextTo(std::string_view line, std::size_t end, std::size_t context = kContext) {
  const std::size_t to = std::min(line.size(), end + context);
  return to < line.size() ? std::max(end, CharStartAtOrBefore(line, to)) : to;
}

}  // namespace

bool TSegmenter::IsWholeWord(std::string_view line, std::size_t begin, std::size_t end) {
  const std::size_t from = ContextFrom(line, begin);
  const std::string_view window = line.substr(from, ContextTo(line, end) - from);
  const std::size_t b = begin - from, e = end - from;
  if (impl_->words && impl_->Set(window)) {
    icu::BreakIterator& it = *impl_->words;
    const int32_t ub = impl_->Unit(b), ue = impl_->Unit(e);
    return ub >= 0 && ue >= 0 && it.isBoundary(ub) && it.isBoundary(ue);
  }
  bool startOk = b == 0, endOk = e == window.size();
  TImpl::Fallback(window, [&](std::size_t wb, std::size_t we) {
    startOk = startOk || wb == b || we == b;
    endOk = endOk || we == e || wb == e;
  });
  return startOk && endOk;
}

std::pair<std::size_t, std::size_t> TSegmenter::WordsAround(std::string_view line, std::size_t begin,
                                                            std::size_t end) {
  const std::size_t from = ContextFrom(line, begin, kNearContext);
  const std::string_view window = line.substr(from, ContextTo(line, end, kNearContext) - from);
  if (end <= begin || !impl_->words || !impl_->Set(window)) return {begin, end};
  icu::BreakIterator& it = *impl_->words;
  int32_t ub = impl_->Unit(begin - from), ue = impl_->Unit(end - from);
  if (ub < 0 || ue < 0) return {begin, end};
  if (!it.isBoundary(ub)) ub = it.preceding(ub);
  if (!it.isBoundary(ue)) ue = it.following(ue);
  if (ub == icu::BreakIterator::DONE || ue == icu::BreakIterator::DONE) return {begin, end};
  return {from + impl_->Byte(ub), from + impl_->Byte(ue)};
}

}  // namespace korvel
