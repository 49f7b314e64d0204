// TLiteralScan — finds where a match of an expression could be, fast.
//
// Built from the literal strings of which every match contains one (the
// pattern's facts give them for plain and lemmatised queries and word
// alternations), it finds them in a long text many positions at a time, far
// faster than trying the expression at every position. Each occurrence is
// then checked on its line by the real matcher. Immutable once built: any
// thread may call Find.
#ifndef KORVEL_LITERALSCAN_H
#define KORVEL_LITERALSCAN_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

class TLiteralScan {
 public:
  // Nothing for no strings or an empty one.
  static std::optional<TLiteralScan> FromStrings(std::vector<std::string> strings);
  // From the expression's literal strings; nothing when it has none.
  static std::optional<TLiteralScan> FromPattern(std::string_view pattern);

  // Position of the first occurrence of one of the strings starting at or
  // after `from`, ASCII letters compared without regard to case; npos when
  // there is none.
  std::size_t Find(std::string_view text, std::size_t from) const;

  // Off: byte by byte even where the processor has vector instructions, so
  // tests can hold the two ways against each other.
  void SetVectors(bool on) { wide_ = on; }

 private:
  static constexpr std::size_t kBuckets = 8;
  static constexpr std::size_t kMaxWidth = 3;

  // The buckets whose strings may start at `at`, judged by the first
  // width_ bytes: a superset, never missing one.
  std::uint8_t Fingerprint(const char* at) const;
  bool Confirm(std::string_view text, std::size_t at, std::uint8_t buckets) const;
  template <std::size_t Width>
  bool FindWide(std::string_view text, std::size_t& from) const;

  std::vector<std::string> buckets_[kBuckets];  // lower case
  std::size_t width_ = 1;
  // Bit b of low_[k][x] (high_[k][x]): some string of bucket b has a byte
  // at offset k whose low (high) nibble is x, in either case.
  std::uint8_t low_[kMaxWidth][16] = {};
  std::uint8_t high_[kMaxWidth][16] = {};
  bool wide_ = true;
};

}  // namespace korvel

#endif
