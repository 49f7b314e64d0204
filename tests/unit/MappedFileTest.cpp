// Large corpus files are mapped, not copied. Another program may cut such a
// file short while it is loaded; the lost part must read as empty, never
// bring the program down.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

TEST(MappedFile, TruncatedWhileLoadedDoesNotCrashASearch) {
  test::TempDir dir;
  std::string en, zh;
  for (int i = 0; i < 100000; ++i) {  // over a megabyte each, so both are mapped
    en += "line " + std::to_string(i) + " of work\n";
    zh += "第" + std::to_string(i) + "行工作\n";
  }
  std::vector<std::string> files = {dir.Write("big.EN.txt", en), dir.Write("big.ZH.txt", zh)};
  TKorvel engine;
  engine.SetFiles(files);
  ASSERT_EQ(engine.Data().size(), 100000u);

  ASSERT_EQ(truncate(files[0].c_str(), 0), 0);
  ASSERT_EQ(truncate(files[1].c_str(), 100), 0);
  engine.Search("work", false);
  engine.Search("工作", false);
  EXPECT_LE(engine.HitCount(), 100000);
  EXPECT_NO_THROW(engine.RenderExport());
}

}  // namespace
}  // namespace korvel
