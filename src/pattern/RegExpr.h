// The program's regular expressions over UTF-8 text: TPattern, one compiled
// expression, immutable and shared by any number of threads; TMatcher, the
// state of matching one pattern (match data, JIT stack, step budget), used
// by one thread; TRegExpr, the two together for callers with one thread.
//
// The syntax and rules are the program's, not PCRE2's defaults: ASCII word
// characters and digits (\w, \b, \d), "." matches line breaks, "$" only at the
// very end, an unknown escape stands for its character, and possessive
// quantifiers ("a++") are rejected so that "C++" fails instead of matching
// every "c". Case-insensitive matching folds ASCII letters (PCRE2 also folds
// other cased letters such as É/é; Chinese characters match only themselves).
//
// Compiling throws ERegExpr on a bad expression.
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

#include "Message.h"
#include "PatternFacts.h"

namespace korvel {

// Which of the user's expressions an error is in, where the caller knows.
enum class TExprPlace { Unknown, Query, Filter };

// Compile errors: reason, " (pos ", offset in characters, ")". Match-time
// faults (match or depth limit reached) carry the reason alone. The place
// never shows in the message: front ends say it their own way.
class ERegExpr : public EMessage {
 public:
  explicit ERegExpr(const std::string& reason, std::size_t position = kNoPosition,
                    TExprPlace place = TExprPlace::Unknown)
      : EMessage(position == kNoPosition ? TMessage{"%1", {reason}}
                                         : TMessage{"%1 (pos %2)", {reason, std::to_string(position)}}),
        reason_(reason),
        position_(position),
        place_(place) {}
  // A message of the caller's own about a match-time fault.
  explicit ERegExpr(TMessage message) : EMessage(message), reason_(message.Text()), position_(kNoPosition),
                                        place_(TExprPlace::Unknown) {}
  static constexpr std::size_t kNoPosition = static_cast<std::size_t>(-1);
  const std::string& Reason() const { return reason_; }
  // Characters into the expression where compiling stopped; kNoPosition at
  // match time.
  std::size_t Position() const { return position_; }
  TExprPlace Place() const { return place_; }

 private:
  std::string reason_;
  std::size_t position_;
  TExprPlace place_;
};

// A match that ran out of its step budget, depth, heap or JIT stack: the
// expression backtracks too much on that input.
class EMatchLimit : public ERegExpr {
 public:
  using ERegExpr::ERegExpr;
};

class TPattern {
 public:
  static std::shared_ptr<const TPattern> Compile(std::string_view expression, bool caseInsensitive);
  ~TPattern();
  TPattern(const TPattern&) = delete;
  TPattern& operator=(const TPattern&) = delete;

  const std::string& Expression() const { return expression_; }
  const TPatternFacts& Facts() const { return facts_; }
  // Every match starts with one known byte (letter case aside), so a search
  // through long text can skip to its occurrences.
  bool HasFirstCodeUnit() const;
  bool BacktracksHeavily() const { return facts_.Shape == TShape::Heavy; }
  bool IsLinear() const { return facts_.Shape == TShape::Linear; }

 private:
  friend class TMatcher;
  struct Code;
  TPattern(std::string_view expression, bool caseInsensitive);
  std::string expression_;
  TPatternFacts facts_;
  std::unique_ptr<Code> code_;
};

class TMatcher {
 public:
  explicit TMatcher(std::shared_ptr<const TPattern> pattern);
  TMatcher(const TMatcher& other);
  TMatcher& operator=(const TMatcher&) = delete;
  ~TMatcher();

  const TPattern& Pattern() const { return *pattern_; }
  const std::string& Expression() const { return pattern_->Expression(); }

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
  bool Find(std::string_view input, std::size_t start, std::size_t& matchBegin, std::size_t& matchEnd) const;

  static std::size_t CharLength(std::string_view text, std::size_t at);

 private:
  struct MatchState;
  std::shared_ptr<const TPattern> pattern_;
  std::unique_ptr<MatchState> state_;
};

class TRegExpr : public TMatcher {
 public:
  TRegExpr(std::string_view expression, bool caseInsensitive)
      : TMatcher(TPattern::Compile(expression, caseInsensitive)) {}
  bool HasFirstCodeUnit() const { return Pattern().HasFirstCodeUnit(); }
  bool BacktracksHeavily() const { return Pattern().BacktracksHeavily(); }
  bool IsLinear() const { return Pattern().IsLinear(); }
};

}  // namespace korvel

#endif
