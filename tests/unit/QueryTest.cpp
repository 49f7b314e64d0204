#include "Query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"

namespace korvel {
namespace {

using test::FakeInflect;

TEST(Query, RegexQueryNeedsOneOfTheSixteenCharacters) {
  for (const char* text : {"cat.", "a,b", "x=y", "C:\\", "a|b", "^go", "(x)", "why?", "hi!"})
    EXPECT_TRUE(IsRegexQuery(text)) << text;
  // The asterisk and full-width look-alikes (U+FF0C, U+FF1F) do not count.
  for (const char* text : {"cat", "cat*", "", " \t ", "a\xEF\xBC\x8C" "b", "why\xEF\xBC\x9F"})
    EXPECT_FALSE(IsRegexQuery(text)) << text;
}

TEST(Query, ChineseMeansCjkNotMerelyNonAscii) {
  // café, don’t, “so”, an em dash: non-ASCII, yet English.
  for (const char* text : {"caf\xC3\xA9", "don\xE2\x80\x99t", "\xE2\x80\x9Cso\xE2\x80\x9D", "a\xE2\x80\x94" "b",
                           "  cat  ", ""})
    EXPECT_FALSE(IsChinese(text)) << text;
  // 中 among Latin letters, a full-width comma, an ideographic space (not
  // trimmed), katakana ア, Bopomofo ㄅ.
  for (const char* text : {"ab\xE4\xB8\xAD" "cd", "\xEF\xBC\x8C", " \xE3\x80\x80 ", "\xE3\x82\xA2", "\xE3\x84\x85"})
    EXPECT_TRUE(IsChinese(text)) << text;
}

TEST(Query, ExpandLemmaShapes) {
  EXPECT_EQ(ExpandLemma("go", FakeInflect), "go");
  EXPECT_EQ(ExpandLemma(" give ", FakeInflect), "gives|gave|given|giving|give");
  EXPECT_EQ(ExpandLemma("give   up", FakeInflect), "(gives|gave|given|giving|give) up");
  EXPECT_EQ(ExpandLemma("a|b|c", FakeInflect), "a|b|c");
  EXPECT_EQ(ExpandLemma("a||b", FakeInflect), "a|b");
  EXPECT_EQ(ExpandLemma("a | b", FakeInflect), "a|b");
  EXPECT_EQ(ExpandLemma("a|", FakeInflect), "a");
  // A multi-word alternative falls apart into words.
  EXPECT_EQ(ExpandLemma("give up|quit", FakeInflect), "gives|gave|given|giving|give|up|quit");
  EXPECT_EQ(ExpandLemma("", FakeInflect), "");
  EXPECT_EQ(ExpandLemma(" | |\t", FakeInflect), "");
}

TEST(Query, QuotedItemReachesInflectionAsOneWord) {
  std::vector<std::string> asked;
  auto record = [&](const std::string& w) {
    asked.push_back(w);
    return std::string();
  };
  EXPECT_EQ(ExpandLemma("\"give up\"   now", record), "give up now");
  EXPECT_EQ(asked, (std::vector<std::string>{"give up", "now"}));
  // Doubled quotes inside stand for one; tabs separate like blanks.
  EXPECT_EQ(SplitItems("\"say \"\"hi\"\"\"|x\ty|", '|'), (std::vector<std::string>{"say \"hi\"", "x", "y", ""}));
}

// Regression: a NUL (kept in dictionary values, which a Chinese query's
// equivalents are expanded from) ended an item without being skipped, so
// splitting appended empty items until memory ran out.
TEST(Query, NulByteInListSplitForever) {
  using namespace std::string_literals;
  EXPECT_EQ(SplitItems("a\0b|\0c"s, '|'), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(ExpandLemma("give\0up|quit"s, FakeInflect), "gives|gave|given|giving|give|up|quit");
}

}  // namespace
}  // namespace korvel
