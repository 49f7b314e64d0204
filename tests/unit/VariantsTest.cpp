#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "Variants.h"
#include "unKorvel.h"

namespace korvel {
namespace {

// 发 has two traditional forms (發 and 髮); 展 is the same in both scripts.
TEST(Variants, CharactersBecomeClassesOfTheirFormsInBothScripts) {
  EXPECT_EQ(VariantsOf(U'发'), U"發髮");
  EXPECT_EQ(VariantsOf(U'發'), U"发");
  EXPECT_TRUE(VariantsOf(U'展').empty());
  EXPECT_TRUE(VariantsOf(U'a').empty());

  EXPECT_EQ(ExpandVariants("发展"), "[发發髮]展");
  EXPECT_EQ(ExpandVariants("發展+"), "[發发]展+");  // the quantifier takes the whole class
  // Listed in a class: the variants join it, "]" first or after "^" is
  // listed, and a POSIX class is left whole.
  EXPECT_EQ(ExpandVariants("[发展]"), "[发發髮展]");
  EXPECT_EQ(ExpandVariants("[^后]"), "[^后後]");
  EXPECT_EQ(ExpandVariants("[]发]"), "[]发發髮]");
  EXPECT_EQ(ExpandVariants("[[:alpha:]发]"), "[[:alpha:]发發髮]");
  // A range's ends stay put: 后 in 发-后 would widen it.
  for (const char* same : {"[一-龥]", "[发-后]", "[\\x{53D1}-\\x{9FA5}]", "[a-z]+"}) EXPECT_EQ(ExpandVariants(same), same);
  EXPECT_EQ(ExpandVariants("[a-z发]"), "[a-z发發髮]");
  EXPECT_EQ(ExpandVariants("[\\x{53D1}-\\x{9FA5}后]"), "[\\x{53D1}-\\x{9FA5}后後]");
  // Whatever follows a backslash is as typed.
  for (const char* same : {"\\x{53D1}", "\\Q发\\E", "\\发", "\\p{Han}", "\\b(give|gave) up\\b", "(?i)a.c"})
    EXPECT_EQ(ExpandVariants(same), same);
  EXPECT_EQ(ExpandVariants("\\Q发\\E发"), "\\Q发\\E[发發髮]");
}

class VariantsSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::string> files = {dir_.Write("v.EN.txt", "Growth.\nDevelopment.\nProgress.\n"),
                                      dir_.Write("v.ZH.txt", "增长。\n经济發展。\n社会发展。\n")};
    engine_.SetFiles(files);
    dir_.Write("dic/EN-ZH.txt", "development=发展\n");
    dir_.Write("dic/ZH-EN.txt", "发展=development\n");
    engine_.LoadDictionaries(dir_.Path("dic"));
  }

  std::string Run(const std::string& query, bool variants, const std::string& filter = "") {
    engine_.SetVariants(variants);
    engine_.SetFilter(filter, false, false);
    engine_.Search(query, false);
    engine_.ExportText(dir_.Path("out.txt"));
    return test::ReadBytes(dir_.Path("out.txt"));
  }

  test::TempDir dir_;
  TKorvel engine_;
};

TEST_F(VariantsSearch, EachScriptFindsTheOtherOnlyWithTheOption) {
  Run("发展", false);
  EXPECT_EQ(engine_.Hits(), TIntArr({2}));
  EXPECT_EQ(engine_.Pattern(), "发展");
  Run("發展", false);
  EXPECT_EQ(engine_.Hits(), TIntArr({1}));
  // The traditional hit is marked too: the literal text would miss it.
  EXPECT_EQ(Run("发展", true), "1\tv.ZH.txt\tv.EN.txt\t2\t经济【發展】。\t【Development】.\r\n"
                               "2\tv.ZH.txt\tv.EN.txt\t3\t社会【发展】。\tProgress.\r\n");
  EXPECT_EQ(engine_.Pattern(), "[发發髮]展");
  engine_.SetTemplatePath(dir_.Write("result.tpl", "{@content}"));
  engine_.WriteResultPage(dir_.Path("result.html"));
  EXPECT_NE(test::ReadBytes(dir_.Path("result.html")).find("经济<span class=\"zh\">發展</span>"), std::string::npos);
  // The word list, keyed 发展, gives the traditional query its equivalents.
  EXPECT_EQ(Run("發展", true), "1\tv.ZH.txt\tv.EN.txt\t2\t经济【發展】。\t【Development】.\r\n"
                               "2\tv.ZH.txt\tv.EN.txt\t3\t社会【发展】。\tProgress.\r\n");
  // An error's position counts in what was typed, not in the classes.
  auto position = [&](bool on) {
    engine_.SetVariants(on);
    try {
      engine_.Search("发展发(", false);
    } catch (const ERegExpr& e) {
      return e.Position();
    }
    return std::size_t{0};
  };
  EXPECT_EQ(position(true), position(false));
  EXPECT_EQ(position(true), 4u);
}

// The word list's 发展 marks 發展 as well; the filter finds and marks both.
TEST_F(VariantsSearch, EquivalentsAndTheFilterFollowTheOption) {
  EXPECT_EQ(Run("development", false), "1\tv.EN.txt\tv.ZH.txt\t2\t【Development】.\t经济發展。\r\n");
  EXPECT_EQ(Run("development", true), "1\tv.EN.txt\tv.ZH.txt\t2\t【Development】.\t经济【發展】。\r\n");
  Run("\\.", false, "发展");
  EXPECT_EQ(engine_.Hits(), TIntArr({2}));
  EXPECT_EQ(Run("\\.", true, "发展"), "1\tv.EN.txt\tv.ZH.txt\t2\tDevelopment【.】\t经济〖發展〗。\r\n"
                                      "2\tv.EN.txt\tv.ZH.txt\t3\tProgress【.】\t社会〖发展〗。\r\n");
}

// 髮 (hair) is a variant of 发 too, so 头髮展开 holds a match that is no word.
TEST_F(VariantsSearch, WholeWordsStillHoldWithTheOption) {
  std::vector<std::string> files = {dir_.Write("w.EN.txt", "Hair unfolds.\nDevelopment.\n"),
                                    dir_.Write("w.ZH.txt", "头髮展开。\n经济發展很快。\n")};
  engine_.SetFiles(files);
  engine_.SetChineseWords(true);
  EXPECT_EQ(Run("发展", true), "1\tw.ZH.txt\tw.EN.txt\t2\t经济【發展】很快。\t【Development】.\r\n");
}

}  // namespace
}  // namespace korvel
