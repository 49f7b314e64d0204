// The word lists shipped in dic/ (generated from CC-CEDICT): every line must
// be a name the engine can find and every value an alternation it can
// compile, highlight with and show above the query box.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Dictionary.h"
#include "Query.h"
#include "RegExpr.h"
#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

constexpr std::size_t kMaxAlternatives = 8;
const std::string kDicDir = std::string(KORVEL_SOURCE_DIR) + "/dic";

struct Line {
  int number;
  std::string name;
  std::string value;
};

struct WordList {
  bool present = false;
  std::string note;  // a first line without "=": held by the engine, never found
  std::vector<Line> lines;
};

WordList Read(const std::string& file) {
  WordList list;
  std::ifstream in(kDicDir + "/" + file, std::ios::binary);
  if (!in) return list;
  list.present = true;
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    std::size_t eq = text.find('=');
    if (number == 1 && eq == std::string::npos && text.rfind("#", 0) == 0) {
      list.note = text;
      continue;
    }
    list.lines.push_back({number, eq == std::string::npos ? text : text.substr(0, eq),
                          eq == std::string::npos ? std::string() : text.substr(eq + 1)});
  }
  return list;
}

std::vector<std::string> Alternatives(const std::string& value) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t bar; (bar = value.find('|', start)) != std::string::npos; start = bar + 1)
    out.push_back(value.substr(start, bar - start));
  out.push_back(value.substr(start));
  return out;
}

bool HasBlankAtEdge(std::string_view s) {
  return !s.empty() && (s.front() == ' ' || s.back() == ' ' || s.front() == '\t' || s.back() == '\t');
}

class ShippedWordList : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    list_ = Read(GetParam());
    if (!list_.present) GTEST_SKIP() << kDicDir << "/" << GetParam() << " is absent";
  }
  WordList list_;
};

TEST_P(ShippedWordList, EveryLineIsOneNameEqualsValueWithTheNameWrittenOnce) {
  ASSERT_GT(list_.lines.size(), 1000u);
  EXPECT_EQ(list_.note.find('='), std::string::npos);
  std::set<std::string> seen;
  for (const Line& l : list_.lines) {
    SCOPED_TRACE("line " + std::to_string(l.number) + ": " + l.name + "=" + l.value);
    ASSERT_FALSE(l.name.empty());
    ASSERT_FALSE(l.value.empty());
    // A blank before "=" would belong to the name, and nobody types it.
    EXPECT_FALSE(HasBlankAtEdge(l.name));
    EXPECT_FALSE(HasBlankAtEdge(l.value));
    EXPECT_EQ(l.value.find('\r'), std::string::npos);
    // The last duplicate wins, so a second spelling would hide the first.
    EXPECT_TRUE(seen.insert(FoldCase(l.name)).second) << "name written twice";
  }
}

TEST_P(ShippedWordList, EveryValueIsAShortAlternationOfPlainWordsThatCompiles) {
  for (const Line& l : list_.lines) {
    SCOPED_TRACE("line " + std::to_string(l.number) + ": " + l.name + "=" + l.value);
    // Only "|" may act as syntax: an equivalent is matched as written.
    ASSERT_EQ(l.value.find_first_of("[].+?(){},!$^\\=*\""), std::string::npos);
    const std::vector<std::string> alternatives = Alternatives(l.value);
    EXPECT_LE(alternatives.size(), kMaxAlternatives);
    std::set<std::string> distinct;
    for (const std::string& a : alternatives) {
      ASSERT_FALSE(a.empty()) << "stray |";
      EXPECT_FALSE(HasBlankAtEdge(a));
      EXPECT_TRUE(distinct.insert(FoldCase(a)).second) << "listed twice: " << a;
    }
    EXPECT_NO_THROW(TRegExpr(l.value, true));
  }
}

INSTANTIATE_TEST_SUITE_P(Dic, ShippedWordList, ::testing::Values("EN-ZH.txt", "ZH-EN.txt"),
                         [](const auto& info) { return std::string(info.param).substr(0, 2) + "to" +
                                                       std::string(info.param).substr(3, 2); });

TEST(ShippedZhEn, EnglishEquivalentsAreBareWordsReadyForInflection) {
  const WordList list = Read("ZH-EN.txt");
  if (!list.present) GTEST_SKIP() << "ZH-EN.txt is absent";
  for (const Line& l : list.lines) {
    SCOPED_TRACE("line " + std::to_string(l.number) + ": " + l.name + "=" + l.value);
    // The name holds a Chinese character, or the engine would look in EN-ZH.
    EXPECT_TRUE(IsChinese(l.name));
    for (const std::string& a : Alternatives(l.value)) {
      // ASCII only: \b knows no other letters.
      EXPECT_TRUE(std::all_of(a.begin(), a.end(), [](unsigned char c) { return c >= 32 && c < 127; }));
      // Each word is inflected on its own: "to abandon" would widen "to",
      // and "sb"/"sth" never occur in English text.
      EXPECT_NE(a.rfind("to ", 0), 0u);
      const std::string padded = " " + a + " ";
      EXPECT_EQ(padded.find(" sb "), std::string::npos);
      EXPECT_EQ(padded.find(" sth "), std::string::npos);
    }
  }
}

TEST(ShippedEnZh, ChineseEquivalentsAreChineseWords) {
  const WordList list = Read("EN-ZH.txt");
  if (!list.present) GTEST_SKIP() << "EN-ZH.txt is absent";
  for (const Line& l : list.lines) {
    SCOPED_TRACE("line " + std::to_string(l.number) + ": " + l.name + "=" + l.value);
    EXPECT_FALSE(IsChinese(l.name));
    for (const std::string& a : Alternatives(l.value)) {
      EXPECT_TRUE(IsChinese(a));
      EXPECT_EQ(a.find(' '), std::string::npos);
    }
  }
}

// The whole path a user takes: look a word up, search it, and the
// equivalents highlight the aligned line, inflected English included. The
// test inflector keeps this about the lists, not about MyDLL's tables.
class ShippedLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kDicDir + "/EN-ZH.txt") || !std::filesystem::exists(kDicDir + "/ZH-EN.txt"))
      GTEST_SKIP() << "word lists absent";
    engine_.SetInflector(test::FakeInflect);
    engine_.LoadDictionaries(kDicDir);
    std::vector<std::string> files = {dir_.Write("a.EN.txt", "She gave up smoking and ate an apple.\n"),
                                      dir_.Write("a.ZH.txt", "她放弃了吸烟，吃了一个苹果。\n")};
    engine_.SetFiles(files);
  }
  bool EquivalentsHighlight(const std::string& query, const std::string& alignedLine) {
    engine_.Search(query, true);
    EXPECT_EQ(engine_.HitCount(), 1) << query;
    return !engine_.Equivalents().empty() && TRegExpr(engine_.Equivalents(), true).Exec(alignedLine);
  }
  test::TempDir dir_;
  TKorvel engine_;
};

TEST_F(ShippedLookup, CommonWordsFindTheirEquivalentsBothWays) {
  EXPECT_EQ(Alternatives(engine_.Lookup("give up"))[0], "放弃");
  EXPECT_EQ(Alternatives(engine_.Lookup("Apple"))[0], "苹果");
  const std::vector<std::string> giveUp = Alternatives(engine_.Lookup("放弃"));
  EXPECT_NE(std::find(giveUp.begin(), giveUp.end(), "give up"), giveUp.end());
  EXPECT_EQ(engine_.Lookup("苹果"), "apple");
}

TEST_F(ShippedLookup, EquivalentsHighlightTheAlignedLine) {
  EXPECT_TRUE(EquivalentsHighlight("放弃", "She gave up smoking"));
  EXPECT_TRUE(EquivalentsHighlight("苹果", "an apple"));
  EXPECT_TRUE(EquivalentsHighlight("give up", "她放弃了吸烟"));
  EXPECT_TRUE(EquivalentsHighlight("apple", "一个苹果"));
}

}  // namespace
}  // namespace korvel
