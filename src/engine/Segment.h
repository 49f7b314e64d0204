// TSegmenter — Chinese (and any other) text split into words by ICU's
// dictionary-based word breaks.
//
// Only the text that needs it is segmented, and never more than
// kSegmentWindow bytes at a time: a longer line is cut into windows at
// character boundaries (after a blank or punctuation mark where one is
// near), so a 50 MB line costs time in proportion to its length and no
// memory beyond one window. A word running across a cut is split there.
// Invalid UTF-8 and U+FFFD are words of their own or gaps, never errors.
//
// One thread uses one segmenter; make one per thread (they share ICU's
// dictionary).
#ifndef KORVEL_SEGMENT_H
#define KORVEL_SEGMENT_H

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>

namespace korvel {

inline constexpr std::size_t kSegmentWindow = 16 * 1024;

class TSegmenter {
 public:
  TSegmenter();
  ~TSegmenter();
  TSegmenter(const TSegmenter&) = delete;
  TSegmenter& operator=(const TSegmenter&) = delete;

  // Calls word(begin, end) for each word of `text` holding a letter or an
  // ideograph, left to right; blanks, punctuation and numbers are skipped.
  void ForEachWord(std::string_view text, const std::function<void(std::size_t, std::size_t)>& word);

  // [begin, end) of `line` starts and ends on word boundaries. Decided in a
  // window around the span, so it costs the same on any length of line.
  bool IsWholeWord(std::string_view line, std::size_t begin, std::size_t end);

  // The words around [begin, end): from the word boundary at or before
  // `begin` to the one at or after `end`. Decided in a window like
  // IsWholeWord; the span itself when it cannot tell.
  std::pair<std::size_t, std::size_t> WordsAround(std::string_view line, std::size_t begin, std::size_t end);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace korvel

#endif
