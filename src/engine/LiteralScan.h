// TLiteralScan — finds where a match of an expression could be, fast.
//
// Built from an expression made only of literal text, groups, alternation
// and zero-width assertions (the shape of plain and lemmatised queries and
// of word alternations), it knows a few literal strings of which every
// match contains one. Searching a long text for those with memchr on their
// rarest byte is much faster than trying the expression at every position;
// each candidate is then checked on its line by the real matcher. One
// object per thread: it caches where it found things.
#ifndef KORVEL_LITERALSCAN_H
#define KORVEL_LITERALSCAN_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

class TLiteralScan {
 public:
  // Nothing when the expression holds anything but literal text, groups,
  // "|" and assertions, or expands to too many strings.
  static std::optional<TLiteralScan> FromPattern(std::string_view pattern);

  // Position of the first occurrence of one of the strings starting at or
  // after `from`, ASCII letters compared without regard to case; npos when
  // there is none. Calls must go forward through one text; Reset() before
  // the next text.
  std::size_t Find(std::string_view text, std::size_t from);
  void Reset();

 private:
  struct Needle {
    std::string text;       // lower case
    std::size_t anchor;     // offset of its rarest byte
    char variants[2];       // the anchor byte in both cases (the same twice when caseless)
    std::size_t next[2];    // where each variant was last found (npos: nowhere further)
    bool known[2];          // next[] holds an answer for this text
  };
  std::size_t FindNeedle(Needle& n, std::string_view text, std::size_t from);
  std::vector<Needle> needles_;
};

}  // namespace korvel

#endif
