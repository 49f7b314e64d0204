// Large corpus files are copied into memory of huge pages when loaded.
// Another program may cut such a file short or rewrite it afterwards; the
// loaded corpus must not notice, let alone crash.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

TEST(LargeFile, TruncatedOrRewrittenAfterLoadingChangesNoResult) {
  test::TempDir dir;
  std::string en, zh;
  // Several megabytes each: past the size read into huge pages, with a
  // part-filled last page.
  for (int i = 0; i < 300000; ++i) {
    en += "line " + std::to_string(i) + (i % 3 ? " of work\n" : " of play\n");
    zh += "第" + std::to_string(i) + (i % 3 ? "行工作\n" : "行游戏\n");
  }
  std::vector<std::string> files = {dir.Write("big.EN.txt", en), dir.Write("big.ZH.txt", zh)};
  TKorvel engine;
  engine.SetFiles(files);
  ASSERT_EQ(engine.Data().size(), 300000u);
  engine.Search("work", false);
  const TIntArr hits = engine.Hits();
  const std::string exported = engine.RenderExport();
  ASSERT_EQ(hits.size(), 200000u);

  ASSERT_EQ(truncate(files[0].c_str(), 0), 0);
  dir.Write("big.ZH.txt", std::string(zh.size(), 'x'));
  engine.Search("work", false);
  EXPECT_EQ(engine.Hits(), hits);
  EXPECT_EQ(engine.RenderExport(), exported);
  engine.Search("工作", false);
  EXPECT_EQ(engine.Hits(), hits);
}

}  // namespace
}  // namespace korvel
