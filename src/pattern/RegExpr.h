// TRegExpr — one compiled regular expression over UTF-8 text.
//
// The syntax and rules are the program's, not PCRE2's defaults: ASCII word
// characters and digits (\w, \b, \d), "." matches line breaks, "$" only at the
// very end, an unknown escape stands for its character, and possessive
// quantifiers ("a++") are rejected so that "C++" fails instead of matching
// every "c". Case-insensitive matching folds ASCII letters (PCRE2 also folds
// other cased letters such as É/é; Chinese characters match only themselves).
//
// Construction compiles and throws ERegExpr on a bad expression. A TRegExpr
// object is used by one thread at a time; copies share the compiled code and
// have their own match buffers, so give each thread its own copy.
#ifndef KORVEL_REGEXPR_H
#define KORVEL_REGEXPR_H

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korvel {

// Compile errors: reason, " (pos ", offset in characters, ")". Match-time
// faults (match or depth limit reached) carry the reason alone.
class ERegExpr : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TRegExpr {
 public:
  TRegExpr(std::string_view expression, bool caseInsensitive);
  TRegExpr(const TRegExpr& other);
  TRegExpr& operator=(const TRegExpr&) = delete;
  ~TRegExpr();

  const std::string& Expression() const { return expression_; }

  // True when the expression matches anywhere in the input.
  bool Exec(std::string_view input) const;

  // Calls onMatch(begin, end) for every match from left to right, without
  // overlap; after an empty match the scan moves on by one whole character.
  template <class F>
  void ForEachMatch(std::string_view input, F&& onMatch) const {
    std::size_t start = 0;
    std::size_t b = 0, e = 0;
    while (start <= input.size() && Find(input, start, b, e)) {
      onMatch(b, e);
      if (e > b) {
        start = e;
      } else {
        if (b >= input.size()) break;
        start = b + CharLength(input, b);
      }
    }
  }

  // The input with every match replaced by the template: "$0" and "$&" are
  // the whole match, "$n" and "${n}" group n (empty when unset or above 14),
  // a backslash copies the next template character, "$" before anything else
  // is itself.
  std::string Replace(std::string_view input, std::string_view tmpl) const;

  // First match starting at or after `start`; false when none.
  bool Find(std::string_view input, std::size_t start, std::size_t& matchBegin,
            std::size_t& matchEnd) const;

  static std::size_t CharLength(std::string_view text, std::size_t at);

  // Every match starts with one known byte (letter case aside), so a search
  // through long text can skip to its occurrences.
  bool HasFirstCodeUnit() const;

  // Two or more repetitions of varying length, or one of a group or a wide
  // range ("the.*of.*now", "(a+)+"): a failing match may cost the square of
  // the input's length. On long input such an expression is matched under a
  // step budget and ends with "match limit exceeded" rather than running on.
  bool BacktracksHeavily() const;

 private:
  struct Code;
  struct MatchState;
  std::string expression_;
  std::shared_ptr<const Code> code_;
  std::unique_ptr<MatchState> state_;
};

}  // namespace korvel

#endif
