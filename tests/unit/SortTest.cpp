#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ResultPage.h"
#include "Sort.h"
#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

using test::TempDir;

TIntArr Order(TKorvel& engine, const std::string& query, const std::string& keys) {
  engine.Search(query, false);
  engine.Sort(*ParseSortKeys(keys));
  return engine.Result().Order;
}

// Each line tells one rule apart: "sat"/"Sat" tie but for letter case, so
// corpus order or the next key decides; "a cat" has no word right of it.
TEST(Sort, KeysCompareWordsIgnoringCaseMissingFirstTiesInCorpusOrder) {
  TempDir dir;
  std::vector<std::string> files = {
      dir.Write("a.EN.txt", "the cat sat up.\nThe CAT ran home.\na cat\nBlack cat Sat down.\nWe set a cat free.\n"),
      dir.Write("a.ZH.txt", "一\n二\n三\n四\n五\n"),
      // 喝 sorts after 吃 whichever way ICU splits the words after 猫.
      dir.Write("b.EN.txt", "x\ny\nz\n"), dir.Write("b.ZH.txt", "猫喝水\n猫吃鱼\n猫\n")};
  TKorvel engine;
  engine.SetFiles(files);
  EXPECT_EQ(Order(engine, "cat", "1R"), TIntArr({2, 4, 1, 0, 3}));
  EXPECT_EQ(Order(engine, "cat", "1r,2R"), TIntArr({2, 4, 1, 3, 0}));
  EXPECT_EQ(Order(engine, "cat", "1L"), TIntArr({2, 4, 3, 0, 1}));
  EXPECT_EQ(Order(engine, "cat", "2L"), TIntArr({0, 1, 2, 3, 4}));  // only "We set a cat" has one
  EXPECT_EQ(Order(engine, "up|down|home|free", "hit"), TIntArr({2, 3, 1, 0}));
  EXPECT_EQ(Order(engine, "cat", "file,1R"), TIntArr());  // corpus order
  EXPECT_EQ(Order(engine, "猫", "1R"), TIntArr({2, 1, 0}));

  EXPECT_FALSE(ParseSortKeys("1R,4R"));
  EXPECT_FALSE(ParseSortKeys("1R,"));
  EXPECT_FALSE(ParseSortKeys(""));
}

TSpotRow Row(std::string text, bool english, std::vector<std::string> forms) {
  TSpotRow row;
  row.Text = std::move(text);
  row.English = english;
  row.Forms = std::move(forms);
  return row;
}

// A hit goes with the first row its aligned line contains, whatever else
// it holds; lines with none come last. English rows are whole words, so
// "concatenate" holds no "cat". Without rows every hit ties.
TEST(Sort, ByTranslationTheFirstRowTheAlignedLineHoldsNoneLast) {
  TempDir dir;
  std::vector<std::string> files = {dir.Write("a.EN.txt", "cat z\ncat y\ncat x\ncat w\ncat v\n"),
                                    dir.Write("a.ZH.txt", "狗\n猫\n小猫咪和猫\n猫\n无\n"),
                                    dir.Write("b.EN.txt", "concatenate\nCats here\na cat\n"),
                                    dir.Write("b.ZH.txt", "甲猫\n乙猫\n丙猫\n")};
  TKorvel engine;
  engine.SetFiles(files);
  EXPECT_EQ(Order(engine, "cat", "translation"), TIntArr({0, 1, 2, 3, 4, 5}));
  engine.SetTranslationOrder({Row("猫咪", false, {"猫咪"}), Row("猫", false, {"猫"})});
  EXPECT_EQ(Order(engine, "cat", "translation"), TIntArr({2, 1, 3, 5, 0, 4}));
  EXPECT_EQ(Order(engine, "cat", "translation,1R"), TIntArr({2, 5, 3, 1, 4, 0}));
  engine.SetTranslationOrder({Row("cat", true, {"cat", "cats"})});
  EXPECT_EQ(Order(engine, "猫", "Translation"), TIntArr({0, 1, 2, 4, 5, 3}));
}

// Enough hits for several workers and two pages: line i's word right of
// "cat" ranks (7 * i) mod n, its case alternating. Every thread count gives
// that order; the export and the second page follow it, numbered in it.
TEST(Sort, ManyHitsSortTheSameOnAnyThreadsAndPagesAndExportFollow) {
  constexpr std::size_t n = kPageHitLimit + 5;
  std::string en, zh;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string rank = std::to_string(100000 + (7 * i) % n);
    en += "a cat " + std::string(i % 2 ? "W" : "w") + rank + "\n";
    zh += "猫\n";
  }
  TempDir dir;
  std::vector<std::string> files = {dir.Write("m.EN.txt", en), dir.Write("m.ZH.txt", zh)};
  TIntArr want(n);
  for (std::size_t i = 0; i < n; ++i) want[(7 * i) % n] = static_cast<int32_t>(i);

  for (unsigned threads : {1u, 3u}) {
    SCOPED_TRACE(threads);
    TEngineOptions options;
    options.TemplatePath = dir.Write("t.tpl", "<t>\n{@content}\n</t>\n");
    options.Tuning = {threads, true};
    TKorvel engine(options);
    engine.SetFiles(files);
    EXPECT_EQ(Order(engine, "cat", "1R"), want);

    const std::string exported = engine.RenderExport();
    EXPECT_EQ(exported.substr(0, exported.find("\r\n")),
              "1\tm.EN.txt\tm.ZH.txt\t" + std::to_string(want[0] + 1) + "\ta 【cat】 w100000\t猫");

    engine.SetPage(1);
    const std::string page = engine.RenderResultPage();
    const std::string last = std::to_string(want[n - 1] + 1);
    EXPECT_TRUE(page.starts_with(
        "<t>\r\n<tr class=\"o\" >\r\n\t<td class=\"no\" rowspan=\"2\" >10001</td>\r\n\t<td>a <span "
        "class=\"en\">cat</span> W110000"));
    // The last shown hit, then the row that says which hits these are.
    EXPECT_TRUE(page.ends_with("(m.ZH.txt, line " + last +
                               ")</span></td>\r\n<tr class=\"more\">\r\n\t<td class=\"no\"></td>\r\n\t<td>Showing "
                               "hits 10,001\xE2\x80\x93" "10,005 of 10,005. Save exports all of them.</td>\r\n"
                               "</tr>\r\n\r\n</t>\r\n"));
    engine.SetPage(2);
    EXPECT_EQ(test::ErrorOf([&] { engine.RenderResultPage(); }), "There is no page 3 of 10,005 hits");
  }
}

}  // namespace
}  // namespace korvel
