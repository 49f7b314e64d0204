#include "RegExpr.h"

#include <gtest/gtest.h>

#include <string>

#include "TestUtil.h"

namespace korvel {
namespace {

bool Matches(const std::string& expr, const std::string& input, bool ci = true) {
  return TRegExpr(expr, ci).Exec(input);
}

std::string CompileError(const std::string& expr) {
  return test::ErrorOf([&] { TRegExpr(expr, true); });
}

TEST(Pattern, CaseFoldingIsAsciiOnlyAndOnlyWhenAskedFor) {
  EXPECT_TRUE(Matches("the", "The THE"));
  EXPECT_TRUE(Matches("[a-c]x", "Bx"));  // class members fold too
  EXPECT_FALSE(Matches("the", "The THE", false));
  EXPECT_TRUE(Matches("the", "tHe the", false));
  // U+4E2D and U+4EF2 share no case; a Chinese character matches only itself.
  EXPECT_FALSE(Matches("\xE4\xB8\xAD", "\xE4\xBB\xB2"));
}

TEST(Pattern, WordCharactersAreAsciiSoChineseAndAccentsFormBoundaries) {
  const std::string go = "\\b(go)\\b";
  EXPECT_TRUE(Matches(go, "go."));
  EXPECT_TRUE(Matches(go, "to go"));
  EXPECT_TRUE(Matches(go, "\xE5\x8E\xBBgo"));  // 去go
  EXPECT_FALSE(Matches(go, "going"));
  EXPECT_FALSE(Matches(go, "ago"));
  // "é" (C3 A9) is no word character, so "caf" ends a word inside "café".
  EXPECT_TRUE(Matches("\\bcaf\\b", "caf\xC3\xA9"));
  // \d is 0-9 only: the full-width digit one (EF BC 91) is not a digit.
  EXPECT_FALSE(Matches("\\d", "\xEF\xBC\x91"));
  // 中文 in boundaries needs ASCII word characters right beside it.
  const std::string zh = "\\b\xE4\xB8\xAD\xE6\x96\x87\\b";
  EXPECT_TRUE(Matches(zh, "x\xE4\xB8\xAD\xE6\x96\x87y"));
  EXPECT_FALSE(Matches(zh, "\xE4\xB8\xAD\xE6\x96\x87"));
  EXPECT_FALSE(Matches(zh, "\xE7\x9A\x84\xE4\xB8\xAD\xE6\x96\x87\xE4\xBA\x86"));
}

TEST(Pattern, DotMatchesLineBreaksAnchorsAreWholeInputUnknownEscapesAreLiteral) {
  EXPECT_TRUE(Matches("a.b", "a\nb"));
  EXPECT_FALSE(Matches("a$", "a\n"));  // "$" only at the very end
  EXPECT_FALSE(Matches("^b", "a\nb"));
  EXPECT_TRUE(Matches("\\y\\=\\x41\\x{4E2D}", "y=A\xE4\xB8\xAD"));
}

TEST(Pattern, ReplaceSubstitutesTemplateReferences) {
  EXPECT_EQ(TRegExpr("o", false).Replace("foo", "[$0]"), "f[o][o]");
  // $& and $1 are the match; ${1}0 is group 1 then "0" while $10 is a group
  // that does not exist; \$ and "$" before anything else stay literal.
  EXPECT_EQ(TRegExpr("(b)(z)?", false).Replace("abc", "[$&|$1|${1}0|$10|$2|\\$1|$x]"),
            "a[b|b|b0|||$1|$x]c");
}

TEST(Pattern, EmptyMatchAdvancesByOneWholeCharacter) {
  // A byte-wise step would split 中 (3 bytes) and yield invalid UTF-8.
  EXPECT_EQ(TRegExpr("x*", false).Replace("\xE4\xB8\xAD\xE6\x96\x87", "[$0]"),
            "[]\xE4\xB8\xAD[]\xE6\x96\x87[]");
  EXPECT_EQ(TRegExpr("x*", false).Replace("", "[$0]"), "[]");
}

TEST(Pattern, RepetitionAfterRepetitionIsRejectedWithItsPosition) {
  EXPECT_EQ(CompileError("A++"), "a repetition cannot follow a repetition (pos 2)");
  EXPECT_NE(CompileError("a*+"), "(no error)");
  EXPECT_NE(CompileError("a{2}+"), "(no error)");
  // Positions count characters, not bytes: 中文 is six bytes, two characters.
  EXPECT_EQ(CompileError("\xE4\xB8\xAD\xE6\x96\x87" "a?+"), "a repetition cannot follow a repetition (pos 4)");
  // An escaped or bracketed "+" is a literal; "+?" is the lazy form.
  EXPECT_TRUE(Matches("C\\++", "C++"));
  EXPECT_TRUE(Matches("[++]", "+"));
  EXPECT_TRUE(Matches("a+?b", "aab"));
  // The library's own errors share the format.
  const std::string unclosed = CompileError("\xE4\xB8\xAD(ab");
  EXPECT_EQ(unclosed.substr(unclosed.size() - 8), " (pos 4)") << unclosed;
}

// Regression: the braces of a code-point escape were read as "{n}", so the
// "+" after them counted as a second repetition and valid patterns failed.
TEST(Pattern, BracedEscapeBeforePlusWasRejectedAsPossessive) {
  EXPECT_TRUE(Matches("\\x{41}+", "xAAx"));
  EXPECT_EQ(TRegExpr("\\x{3000}+", false).Replace("a\xE3\x80\x80\xE3\x80\x80" "b", "_"), "a_b");  // ideographic spaces
  EXPECT_TRUE(Matches("(a)\\g{1}+", "aaa"));
  EXPECT_EQ(CompileError("\\x{41}++"), "a repetition cannot follow a repetition (pos 7)");
}

}  // namespace
}  // namespace korvel
