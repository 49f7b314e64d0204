// Large corpus files are copied into memory of huge pages when loaded.
// Another program may cut such a file short or rewrite it afterwards; the
// loaded corpus must not notice, let alone crash.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "FileIO.h"
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

// Files share one arena sized beforehand; whatever does not fit (a file
// grown since it was measured, or an arena too small) is read on its own,
// and either way plain UTF-8 stays as read while GBK is decoded.
TEST(LargeFile, TextsReadTheSameInTheArenaAndBesideIt) {
  test::TempDir dir;
  const std::string utf8 = "工作 work\n" + std::string(5000, 'x') + "\n";
  const std::string gbk = "\xB9\xA4\xD7\xF7 work\n";  // 工作 in GBK
  const std::string a = dir.Write("a.txt", utf8), b = dir.Write("b.txt", gbk);
  auto arena = std::make_shared<TTextArena>(utf8.size() + 3);
  const THeldText first = THeldText::Read(a, arena);  // fits
  const THeldText second = THeldText::Read(a, arena);  // 3 bytes left
  const THeldText third = THeldText::Read(b, arena);   // no room either
  const THeldText fourth = THeldText::Read(b, std::make_shared<TTextArena>(64));
  for (const THeldText* t : {&first, &second}) EXPECT_EQ(t->Text(), utf8);
  for (const THeldText* t : {&third, &fourth}) EXPECT_EQ(t->Text(), "工作 work\n");
  arena.reset();  // the texts keep it alive
  EXPECT_EQ(first.Text(), utf8);
}

}  // namespace
}  // namespace korvel
