// The word lists shipped in dic/ (generated from CC-CEDICT), as a user
// meets them. Their format is checked by the generator
// (tools/wordlists/check_wordlists.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "RegExpr.h"
#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

const std::string kDicDir = std::string(KORVEL_SOURCE_DIR) + "/dic";

std::vector<std::string> Alternatives(const std::string& value) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t bar; (bar = value.find('|', start)) != std::string::npos; start = bar + 1)
    out.push_back(value.substr(start, bar - start));
  out.push_back(value.substr(start));
  return out;
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
