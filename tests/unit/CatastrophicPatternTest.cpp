// Expressions whose backtracking grows with the square of the input or
// worse: over long lines they end with a limit error or the right answer,
// never run on for minutes.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "RegExpr.h"
#include "TestUtil.h"

namespace korvel {
namespace {

std::string Repeat(const std::string& piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// "match when it ends", "no match", or the error it ended with.
std::string Outcome(const std::string& expr, const std::string& input) {
  std::string result = "no match";
  const std::string error = test::ErrorOf([&] {
    if (TRegExpr(expr, true).Exec(input)) result = "match";
  });
  return error == "(no error)" ? result : error;
}

TEST(CatastrophicPattern, HeavyBacktrackersAreTheOnesWithTwoVaryingRepeatsARepeatedGroupOrALookaround) {
  for (const char* heavy : {"(a+)+$", "(x+x+)+y", "(.*a){12}", ".*.*=", "give.*up.*now", "a.{0,65535}=",
                            "(?:ab)*c", "(a)\\1*", "[a-z]+[0-9]+", "\\w+\\s+\\d", "x{2,}y*", "(?!#)[^#]*[%`]",
                            "(?<=a)b", "(a)\\1", "(*pla:a)b", "(?1)(a)", "a(?C1)b"})
    EXPECT_TRUE(TRegExpr(heavy, true).BacktracksHeavily()) << heavy;
  // One repetition of one character is not heavy, but only "?", fixed
  // counts and alternatives are linear.
  for (const char* light : {"give.*up", "\\w+ing\\b", "[*+]{1,}", "\\x{41}+b", "a.{0,64}b"}) {
    EXPECT_FALSE(TRegExpr(light, true).BacktracksHeavily()) << light;
    EXPECT_FALSE(TRegExpr(light, true).IsLinear()) << light;
  }
  for (const char* linear : {"\\b(give up)\\b", "colou?r", "a{3}b{2}", "\\Q.*.*\\E", "(?#x*y*)z", "(gives|gave)? up",
                             "(?:ab)c", "(?i)ab"})
    EXPECT_TRUE(TRegExpr(linear, true).IsLinear()) << linear;
}

// Each input is the worst case of its expression. PCRE2 counts its match
// limit afresh at every start position and its JIT does not count
// one-character repetitions, so ".*.*=" over a million letters and a
// lookaround before a repetition ("(?!#)[^#]*[%`]": 8.6 s over 100,000
// characters) ran for minutes; the budget now spans the walk.
TEST(CatastrophicPattern, RunawayExpressionsEndWithTheLimitOnShortAndLongLines) {
  const std::string letters(100000, 'a');
  const std::pair<const char*, std::string> cases[] = {
      {"(a+)+$", std::string(30, 'a') + "!"},  {"(a+)+$", letters + "!"},
      {"(x+x+)+y", std::string(30, 'x') + "!y"}, {".*.*.*=", "=" + std::string(5000, 'a')},
      {".*.*=", "=" + std::string(1000000, 'a')}, {"give.*up.*now", Repeat("give it up ", 100000)},
      {"a.{0,60000}=", std::string(1000000, 'a')}, {"(?!#)[^#]*[%`]", letters}};
  for (const auto& [expr, input] : cases) EXPECT_EQ(Outcome(expr, input), "match limit exceeded") << expr;
  // Found at once, but marking every "x" retries the costly branch after it:
  // all marks of a line share one budget.
  std::size_t marks = 0;
  const std::string error = test::ErrorOf([&] {
    TRegExpr("x|a*a*b", true).ForEachMatch("x" + letters, [&](std::size_t, std::size_t) { ++marks; });
  });
  EXPECT_EQ(error, "match limit exceeded");
  EXPECT_EQ(marks, 1u);
}

TEST(CatastrophicPattern, VerbsThatSwitchOffTheLimitsAreRefusedAndCalloutsIgnored) {
  for (const char* verb : {"NO_JIT", "NO_START_OPT", "NO_AUTO_POSSESS", "NO_DOTSTAR_ANCHOR"}) {
    const std::string expected = std::string("(*") + verb +
                                 ") is not allowed: it switches off the limits that keep matching short (pos ";
    EXPECT_EQ(Outcome(std::string("(*") + verb + ")a", "a"), expected + "0)");
    EXPECT_EQ(Outcome(std::string("(*UTF)(*") + verb + ")a", "a"), expected + "6)");
  }
  EXPECT_EQ(Outcome("(*LIMIT_MATCH=10)a", "a"), "match");  // limits may only be lowered
  // A "(?C)" of the user's own is ignored, and not charged to the budget.
  EXPECT_EQ(Outcome("a(?C1)b", "xab"), "match");
  EXPECT_EQ(Outcome("a(?C1).*b.*c", Repeat("ab ", 10000) + "c"), "match");
}

TEST(CatastrophicPattern, HeavyBacktrackersStillAnswerOrdinaryLongLines) {
  // 21 MB of words and blanks on one line: every start costs a word.
  const std::string text = Repeat("the quick brown fox jumps over a lazy dog ", 500000);
  EXPECT_EQ(Outcome("[a-z]+[0-9]+", text), "no match");
  EXPECT_EQ(Outcome("\\w+\\s+\\d", text), "no match");
  EXPECT_EQ(Outcome("(.*a){12}", text), "match");
  EXPECT_EQ(Outcome("fox.*dog.*lazy", text), "match");
  // Short lines take the plain path, whatever the expression.
  EXPECT_EQ(Outcome(".*.*=", "a=b"), "match");
  EXPECT_EQ(Outcome("give.*up.*now", "give it up now"), "match");
}


}  // namespace
}  // namespace korvel
