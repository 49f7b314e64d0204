// Faults found while writing and running the fuzz targets (fuzz/).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

// "cat.*mat" matches from each line to the last "mat" of the file. The
// one-pass search used to look again from every following line, each time
// to the end of the text: hours for a large file. At this size that would
// run far past the test's time limit; linear, it takes a blink.
TEST(FuzzRegression, OnePassSearchForExpressionSpanningLinesStaysLinear) {
  test::TempDir dir;
  std::string en, zh;
  for (int i = 0; i < 200000; ++i) {
    en += i % 2 ? "a cat sat on the mat\n" : "another line of words\n";
    zh += "\xE7\x8C\xAB\n";
  }
  std::vector<std::string> files = {dir.Write("c.EN.txt", en), dir.Write("c.ZH.txt", zh)};
  auto run = [&](bool wholeText) {
    TKorvel engine;
    engine.SetTuning({1, wholeText});
    engine.SetFiles(files);
    engine.Search("cat.*mat", false);
    return engine.Hits();
  };
  const TIntArr want = run(false);
  EXPECT_EQ(want.size(), 100000u);
  EXPECT_EQ(run(true), want);
}

// An engine that loads its word lists again from a folder without them had
// kept the old lists instead of empty ones.
TEST(FuzzRegression, WordListsMissingFromTheNextFolderAreEmpty) {
  test::TempDir full, empty;
  full.Write("EN-ZH.txt", "apple=\xE8\x8B\xB9\xE6\x9E\x9C\n");
  full.Write("ZH-EN.txt", "\xE8\x8B\xB9\xE6\x9E\x9C=apple\n");
  TKorvel engine;
  engine.LoadDictionaries(full.Root());
  ASSERT_EQ(engine.Lookup("apple"), "\xE8\x8B\xB9\xE6\x9E\x9C");
  engine.LoadDictionaries(empty.Root());
  EXPECT_EQ(engine.Dictionary(0).Count() + engine.Dictionary(1).Count(), 0u);
  EXPECT_EQ(engine.Lookup("apple"), "");
}

}  // namespace
}  // namespace korvel
