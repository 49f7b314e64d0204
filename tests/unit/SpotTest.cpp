#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Segment.h"
#include "Spot.h"
#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

using test::TempDir;

std::vector<std::string> Words(const std::string& text) {
  TSegmenter s;
  std::vector<std::string> words;
  s.ForEachWord(text, [&](std::size_t b, std::size_t e) { words.push_back(text.substr(b, e - b)); });
  return words;
}

// Whatever the bytes, segmentation ends and every word lies inside the text
// on character boundaries.
TEST(Segment, OddTextAndLongLinesAreSegmentedWithoutFault) {
  EXPECT_EQ(Words("我们 like 卫生。"), (std::vector<std::string>{"我们", "like", "卫生"}));
  for (const std::string& text : {std::string("\xEF\xBF\xBD\xEF\xBF\xBD人\xFF\xC0们"), std::string("\xE4\xBA"),
                                 std::string(5 << 20, '\xE4'), std::string(3 << 20, 'a')}) {
    TSegmenter s;
    std::size_t last = 0;
    s.ForEachWord(text, [&](std::size_t b, std::size_t e) {
      EXPECT_LE(last, b);
      EXPECT_LT(b, e);
      EXPECT_LE(e, text.size());
      last = e;
    });
  }
  std::string line;  // one run of ideographs far longer than a window
  for (int i = 0; i < 200000; ++i) line += "人们";
  std::size_t words = 0;
  TSegmenter s;
  s.ForEachWord(line, [&](std::size_t, std::size_t) { ++words; });
  EXPECT_GT(words, 0u);
  EXPECT_TRUE(s.IsWholeWord(line, 0, 6));
  EXPECT_FALSE(s.IsWholeWord(line, line.size() - 6, line.size() - 3));  // 人 of the last 人们
}

class Spotting : public ::testing::Test {
 protected:
  // Every row's filter, and the exclude filter of the rows, select exactly
  // the lines the table counted.
  void ExpectFiltersAgree(const std::string& query, bool lemma, const TTranslationTable& table) {
    const TSearchResult hits = engine_.Result();
    for (const TSpotRow& row : table.Rows) {
      const TRowMarker marker({row});
      int32_t marked = 0;
      for (const int32_t h : hits.Hits) {
        const TData& d = engine_.Data()[h];
        marked += !marker.Mark(hits.QueryIsChinese ? d.EnLine : d.ZhLine).empty();
      }
      EXPECT_EQ(marked, row.Hits) << query << " / " << row.Text << " marked";
      const TSpotFilter f = RowFilter(row);
      engine_.SetFilter(f.Text, false, f.Lemmatize);
      engine_.Search(query, lemma);
      EXPECT_EQ(engine_.HitCount(), row.Hits) << query << " / " << row.Text;
    }
    engine_.SetFilter(NoneFilter(table.Rows), true, false);
    engine_.Search(query, lemma);
    EXPECT_EQ(engine_.HitCount(), table.NoneHits) << query;
    engine_.SetFilter("", false, false);
  }

  TTranslationTable Spot(const std::string& query, bool lemma = false, std::size_t top = 10) {
    engine_.SetFilter("", false, false);
    engine_.Search(query, lemma);
    TSpotOptions options;
    options.Top = top;
    return engine_.Spot(engine_.Result(), options);
  }

  TempDir dir_;
  TKorvel engine_;
};

// 卫生 stands with health in every hit; 生 also sits in 生活 elsewhere, so
// it is part of 卫生 with nearly its count among the hits and folds into it.
// "health" twice in one line counts once; an empty aligned line counts only
// as "none"; 的 is never a row.
TEST_F(Spotting, RanksFoldsAndCountsEachLineOnce) {
  std::vector<std::string> files = {
      dir_.Write("a.EN.txt",
                 "health and health\nhealth care\npublic health\nhealth\nlife\nlife again\nthe weather\nrain\n"),
      dir_.Write("a.ZH.txt", "卫生的卫生\n卫生保健\n公共卫生\n\n生活\n生活\n天气\n下雨\n")};
  engine_.SetFiles(files);
  const TTranslationTable t = Spot("health");
  ASSERT_FALSE(t.Rows.empty());
  EXPECT_EQ(t.HitCount, 4);
  EXPECT_EQ(t.Rows[0].Text, "卫生");
  EXPECT_EQ(t.Rows[0].Hits, 3);
  for (const TSpotRow& row : t.Rows) {
    EXPECT_NE(row.Text, "生");
    EXPECT_NE(row.Text, "的");
  }
  EXPECT_EQ(t.NoneHits, 1);
  TStringOutput out;
  WriteSpotTable(out, t);
  EXPECT_EQ(out.Take().substr(0, 15), "卫生\t3\t0.750\t");
  ExpectFiltersAgree("health", false, t);

  EXPECT_TRUE(Spot("nothing-here").Rows.empty());
  TStringOutput none;
  WriteSpotTable(none, Spot("nothing-here"));
  EXPECT_EQ(none.Take(), "");
}

// An English row stands for the family of its most frequent form and
// counts a line where any form occurs as a whole word, any case:
// "Developing" counts, "redeveloped" does not.
TEST_F(Spotting, EnglishFormsFormOneRowNamedByTheMostFrequent) {
  engine_.SetInflector([](const std::string& w) -> std::string {
    if (w == "develop" || w == "developed" || w == "developing") return "develop|develops|developed|developing|";
    return "";
  });
  std::vector<std::string> files = {
      dir_.Write("b.EN.txt", "They developed it.\nDeveloping now.\nWe developed more.\nredeveloped land\nrain\nsun\n"),
      dir_.Write("b.ZH.txt", "他们发展了它。\n正在发展。\n我们发展更多。\n土地\n下雨\n太阳\n")};
  engine_.SetFiles(files);
  const TTranslationTable t = Spot("发展");
  ASSERT_FALSE(t.Rows.empty());
  EXPECT_EQ(t.Rows[0].Text, "developed");
  EXPECT_EQ(t.Rows[0].Hits, 3);
  EXPECT_EQ(t.Rows[0].Lines, 3);
  for (const TSpotRow& row : t.Rows) EXPECT_NE(row.Text, "developing");
  ExpectFiltersAgree("发展", false, t);
}

// A line past the segmenting cap gives candidates from its start and says
// so; counting still reads all of it. Cancelling stops the table.
TEST_F(Spotting, LongLinesAreCappedAndCancelStopsIt) {
  std::string longZh;
  for (int i = 0; i < 20000; ++i) longZh += "我们讨论健康";
  std::vector<std::string> files = {dir_.Write("c.EN.txt", "health\nhealth\nrain\n"),
                                    dir_.Write("c.ZH.txt", longZh + "\n健康\n下雨\n")};
  engine_.SetFiles(files);
  const TTranslationTable t = Spot("health");
  EXPECT_TRUE(t.Capped);
  ASSERT_FALSE(t.Rows.empty());
  EXPECT_EQ(t.Rows[0].Text, "健康");
  EXPECT_EQ(t.Rows[0].Hits, 2);

  TSpotOptions options;
  options.Progress = [](std::size_t, std::size_t) { throw EAbort(); };
  EXPECT_THROW(engine_.Spot(engine_.Result(), options), EAbort);
}

TEST(SpotFormat, DecimalsUseADotAndNeverShowMinusZero) {
  EXPECT_EQ(FormatDecimal(1234.56, 1), "1234.6");
  EXPECT_EQ(FormatDecimal(-0.01, 1), "0.0");
  EXPECT_EQ(FormatDecimal(2.0 / 3, 3), "0.667");
}

// The real corpus beside the repository: the table finds translations, and
// every row's filter selects what the row counted.
TEST_F(Spotting, FindsTranslationsOnTheSharedCorpus) {
  const std::filesystem::path corpus = std::filesystem::path(KORVEL_SOURCE_DIR) / ".." / "shared" / "corpus";
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const std::string name = entry.path().filename().string();
    if (name.ends_with(".EN.txt") || name.ends_with(".ZH.txt")) files.push_back(entry.path().string());
  }
  engine_.SetFiles(files);

  std::ifstream fixture(std::string(KORVEL_FIXTURES) + "/spot/quality.txt");
  int queries = 0, first = 0, top3 = 0;
  std::string line, misses;
  while (std::getline(fixture, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::string query = line.substr(0, line.find('\t'));
    const std::string accepted = "|" + line.substr(line.find('\t') + 1) + "|";
    const TTranslationTable t = Spot(query, false, 3);
    ++queries;
    for (std::size_t k = 0; k < t.Rows.size(); ++k)
      if (accepted.find("|" + t.Rows[k].Text + "|") != std::string::npos) {
        first += k == 0;
        ++top3;
        break;
      }
    if (t.Rows.empty() || accepted.find("|" + t.Rows[0].Text + "|") == std::string::npos)
      misses += " " + query + "->" + (t.Rows.empty() ? "(none)" : t.Rows[0].Text);
  }
  ASSERT_EQ(queries, 60);
  std::cout << "top row correct " << first << "/60, top 3 " << top3 << "/60; misses:" << misses << "\n";
  EXPECT_GE(first * 100, 80 * queries) << misses;
  EXPECT_GE(top3 * 100, 95 * queries) << misses;

  ExpectFiltersAgree("people", false, Spot("people"));
  ExpectFiltersAgree("give up", true, Spot("give up", true));
  ExpectFiltersAgree("问题", false, Spot("问题"));
}

}  // namespace
}  // namespace korvel
