// What the program knows about an expression before matching it, from one
// reading of its syntax: where it breaks the program's rules, how costly a
// walk over a line may be, whether it can only be tried line by line, and
// which strings every match contains. Pure functions; any thread.
#ifndef KORVEL_PATTERNFACTS_H
#define KORVEL_PATTERNFACTS_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// What a walk over an input may cost: Linear, a bounded number of steps per
// start position; Single (one repetition of varying length, of one
// character or class), the square of the input; Heavy, more (two or more
// such repetitions, one of a group or a back reference, one over a range
// wider than 64, lookarounds, back references, recursion, conditions,
// callouts and verbs). Errs towards heavier; "?" and "{n}" never count.
enum class TShape { Linear, Single, Heavy };

struct TPatternFacts {
  // Byte offset of a "+" right after a quantifier, which PCRE2 would read
  // as possessive ("C++"); npos when there is none.
  std::size_t Possessive = std::string_view::npos;
  // The first start-of-pattern verb that switches off matching's limits
  // ("NO_JIT", "NO_START_OPT", ...) and its offset; empty when none.
  std::string UnsafeVerb;
  std::size_t UnsafeVerbAt = std::string_view::npos;
  TShape Shape = TShape::Heavy;
  // Anchors, \G, \K, lookarounds, option settings or verbs: the expression
  // may match differently inside a long text than on one line.
  bool LooksAtEdges = true;
  // A match may hold a line break (".", a negated class, \s, ...).
  bool MaySpanLines = true;
  // Every match contains one of these (as typed; letters compare without
  // case): set only for expressions of literal text, groups, "|" and
  // zero-width assertions, with at most 64 strings, none empty.
  std::optional<std::vector<std::string>> Literals;
};

TPatternFacts AnalyzePattern(std::string_view expression);

}  // namespace korvel

#endif
