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
//
// Matching is bounded: every walk over one input (an Exec, a ForEachMatch,
// a Replace, or the Find calls after a Begin) has one step budget, shared
// by all its start positions and matches and proportional to the input's
// length. Past it the walk ends with EMatchLimit, so no expression runs on
// for minutes on a long line, whatever its shape.
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
  explicit ERegExpr(const std::string& reason, std::size_t position = kNoPosition)
      : std::runtime_error(position == kNoPosition ? reason : reason + " (pos " + std::to_string(position) + ")"),
        reason_(reason),
        position_(position) {}
  static constexpr std::size_t kNoPosition = static_cast<std::size_t>(-1);
  const std::string& Reason() const { return reason_; }
  // Characters into the expression where compiling stopped; kNoPosition at
  // match time.
  std::size_t Position() const { return position_; }

 private:
  std::string reason_;
  std::size_t position_;
};

// A match that ran out of its step budget, depth, heap or JIT stack: the
// expression backtracks too much on that input.
class EMatchLimit : public ERegExpr {
 public:
  using ERegExpr::ERegExpr;
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
  // One walk: all matches share one budget.
  template <class F>
  void ForEachMatch(std::string_view input, F&& onMatch) const {
    Begin(input);
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

  // Starts a walk over `input` with a fresh budget.
  void Begin(std::string_view input) const;
  // First match starting at or after `start`; false when none. Continues the
  // walk over the same input, or begins one over another.
  bool Find(std::string_view input, std::size_t start, std::size_t& matchBegin,
            std::size_t& matchEnd) const;

  static std::size_t CharLength(std::string_view text, std::size_t at);

  // Every match starts with one known byte (letter case aside), so a search
  // through long text can skip to its occurrences.
  bool HasFirstCodeUnit() const;

  // Two or more repetitions of varying length, one of a group or a wide
  // range, a lookaround, a back reference or a verb ("the.*of.*now",
  // "(a+)+", "(?!#)[^#]*x"): a failing walk may cost the cube of the input's
  // length or worse. Such expressions are always matched under the budget.
  bool BacktracksHeavily() const;
  // No repetition of varying length and nothing heavy ("colou?r",
  // \b(give|gave) up\b): every start position costs a bounded number of
  // steps, so a walk over any text costs its length.
  bool IsLinear() const;

 private:
  struct Code;
  struct MatchState;
  std::string expression_;
  std::shared_ptr<const Code> code_;
  std::unique_ptr<MatchState> state_;
};

}  // namespace korvel

#endif
