// However the engine spreads its work (threads, one pass over a file's text,
// the corpus cache and its index), the hits, expression, page and export are
// those of the plain one-thread, line-by-line search.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

struct Outcome {
  TIntArr hits;
  std::string pattern, page, exportText;
};

class Tuning : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    // Enough lines for several chunks per pair, with what tempts a one-pass
    // search into mistakes: matches at line edges, padding blanks, empty
    // English lines, CR LF and CR-only line ends, lines that differ only in
    // a neighbouring letter, and the Kelvin sign and long s, which the
    // matcher folds to "k" and "s" and a byte scan cannot (regression: the
    // literal scan missed them, so only "(?#)kind" found "xKind").
    const char* en[] = {"Give up the work.", "  work  ", "homework and working", "The end. work",
                        "", "give  up", "WORK\tIT", "colour colourful \xC5\xBFo", "Xwork workX work_ x\xE2\x84\xAAind",
                        "up give up, work"};
    const char* zh[] = {"放弃工作。", "工作", "家庭作业", "结束了。工作", "空", "放弃", "工作吧", "颜色", "无", "放弃吧"};
    for (int pair = 0; pair < 3; ++pair) {
      std::string e, z;
      const std::string eol = pair == 1 ? "\r\n" : pair == 2 ? "\r" : "\n";
      for (int i = 0; i < 12000; ++i) {
        e += std::string(en[(i * 7 + pair) % 10]) + (i % 13 == 0 ? " 发展" : "") + eol;
        z += std::string(zh[(i * 7 + pair) % 10]) + (i % 11 == 0 ? " 发展 work" : "") + eol;
      }
      dir_->Write("p" + std::to_string(pair) + ".EN.txt", e);
      dir_->Write("p" + std::to_string(pair) + ".ZH.txt", z);
    }
    dir_->Write("tpl", "<table>\n{@content}\n</table>\n");
    TKorvel engine;
    engine.SetCacheDir(dir_->Path("cache"));
    std::vector<std::string> files = Files();
    engine.SetFiles(files);
    ASSERT_EQ(engine.BuildCache(), 3u);
  }
  static std::vector<std::string> Files() {
    std::vector<std::string> files;
    for (int pair = 0; pair < 3; ++pair)
      for (const char* side : {".EN.txt", ".ZH.txt"}) files.push_back(dir_->Path("p" + std::to_string(pair) + side));
    return files;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  Outcome Run(TTuning tuning, const std::string& query, bool lemma, const std::string& filter, bool exclude,
              bool words = false, bool cached = false) {
    TKorvel engine;
    if (cached) engine.SetCacheDir(dir_->Path("cache"));
    engine.SetChineseWords(words);
    engine.SetTuning(tuning);
    engine.SetInflector(test::FakeInflect);
    engine.SetTemplatePath(dir_->Path("tpl"));
    std::vector<std::string> files = Files();
    engine.SetFiles(files);
    EXPECT_EQ(engine.LoadedFromCache(), cached);
    engine.SetFilter(filter, exclude, false);
    engine.Search(query, lemma);
    return {engine.Hits(), engine.Pattern(), engine.RenderResultPage(), engine.RenderExport()};
  }

  static test::TempDir* dir_;
};
// Regression: made as the program started, so every run of the test program
// for another suite (one per test under ctest) left an empty folder behind.
test::TempDir* Tuning::dir_ = nullptr;

TEST_F(Tuning, EveryWayOfSearchingGivesTheSameResult) {
  struct Case {
    const char* query;
    bool lemma;
    const char* filter;
    bool exclude;
    bool words = false;  // whole Chinese words
  };
  const Case cases[] = {
      {"work", false, "", false},      {"give up", true, "", false},       {"colou?r", false, "", false},
      {"^work", false, "", false},     {"work$", false, "", false},        {"(?<=\\s)work", false, "", false},
      {"work(?!\\w)", false, "", false}, {"\\swork\\s", false, "", false},   {"up.give", false, "", false},
      {"发展", false, "", false},      {"工作|放弃", false, "", false},      {"work", false, "工作", false},
      {"work", false, "工作", true},   {"home|WORK|end", false, "", false}, {"zebra", false, "", false},
      {"^(?:up|the) (give|end)", false, "", false}, {"work\\b", false, "", false}, {"结束|工作吧$", false, "", false},
      {"kind", false, "", false},      {"(?#)kind|so", false, "", false},
      // 作 and 颜 are words of their own nowhere: 工作, 作业 (家庭|作业) and 颜色
      // are. A Chinese query never takes the expression pass; "colou?r" does.
      {"作业|作", false, "", false, true}, {"作[业]|作", false, "", false, true},
      {"work", false, "工作|作", false, true}, {"work", false, "作业|作", true, true},
      {"colou?r", false, "颜", true, true}, {"xylophone|HOMEWORK", false, "", false}, {"Work\\tIt", false, "", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    const Outcome plain = Run({1, false}, c.query, c.lemma, c.filter, c.exclude, c.words);
    for (TTuning t : {TTuning{1, true}, TTuning{4, true}, TTuning{3, false}}) {
      const Outcome tuned = Run(t, c.query, c.lemma, c.filter, c.exclude, c.words);
      EXPECT_EQ(tuned.hits, plain.hits) << t.Threads << " threads, whole text " << t.ScanWholeText;
      EXPECT_EQ(tuned.pattern, plain.pattern);
      EXPECT_TRUE(test::SameBytes(tuned.page, plain.page));
      EXPECT_TRUE(test::SameBytes(tuned.exportText, plain.exportText));
    }
    // Loaded from the cache: with its index, and scanning its mapped text.
    for (TTuning t : {TTuning{2, true, true}, TTuning{1, true, false}}) {
      const Outcome tuned = Run(t, c.query, c.lemma, c.filter, c.exclude, c.words, true);
      EXPECT_EQ(tuned.hits, plain.hits) << "cached, index " << t.UseIndex;
      EXPECT_EQ(tuned.pattern, plain.pattern);
      EXPECT_TRUE(test::SameBytes(tuned.page, plain.page));
      EXPECT_TRUE(test::SameBytes(tuned.exportText, plain.exportText));
    }
    EXPECT_FALSE(plain.hits.empty() && std::string(c.query) != "zebra");
    // Strictly ascending: the slices' hits were joined in order.
    EXPECT_EQ(std::adjacent_find(plain.hits.begin(), plain.hits.end(), std::greater_equal<>()), plain.hits.end());
  }
}

TEST_F(Tuning, PageStopsAtTheLimitWhileTheExportKeepsEveryHit) {
  const Outcome all = Run({}, "work", false, "", false);
  ASSERT_GT(all.hits.size(), kPageHitLimit);
  ASSERT_GT(all.hits.back(), 1 << 14);  // beyond the first slice
  const std::string n = std::to_string(all.hits.size());
  const std::string grouped = n.substr(0, n.size() - 3) + "," + n.substr(n.size() - 3);
  EXPECT_NE(all.page.find("<td>Showing the first 10,000 of " + grouped + " hits. Save exports all of them.</td>"),
            std::string::npos);
  EXPECT_NE(all.page.find(">10000</td>"), std::string::npos);
  EXPECT_EQ(all.page.find(">10001</td>"), std::string::npos);
  std::size_t lines = 0;
  for (char ch : all.exportText) lines += ch == '\n';
  EXPECT_EQ(lines, all.hits.size());
}

}  // namespace
}  // namespace korvel
