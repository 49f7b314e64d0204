// A corpus folder that changes between listing its pairs and loading them,
// the way the window lists a folder and loads it when the user searches.
// The command line lists and loads at once, so only this test can step in
// between.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CorpusFolder.h"
#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

class ChangedFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("a.EN.txt", "work\n");
    dir_.Write("a.ZH.txt", "\xE5\xB7\xA5\xE4\xBD\x9C\n");  // 工作
    dir_.Write("b.EN.txt", "more work\n");
    dir_.Write("b.ZH.txt", "\xE6\x9B\xB4\xE5\xA4\x9A\n");  // 更多
    listed_ = ListCorpusFolder(dir_.Root());
    ASSERT_EQ(listed_.size(), 4u);
  }

  // The message of loading what was listed, or "(no error)".
  std::string Load() {
    std::vector<std::string> files = listed_;
    return test::ErrorOf([&] { engine_.SetFiles(files); });
  }

  test::TempDir dir_;
  std::vector<std::string> listed_;
  TKorvel engine_;
};

// Deleted: reported by name, and the pairs before the failing one stay
// loaded, so the search finds what they hold and nothing of the rest. A
// folder in a file's place is reported by name too; an emptied file loads.
TEST_F(ChangedFolder, AChangedFileIsReportedByNameOrLoadsAsItIsNow) {
  ASSERT_EQ(unlink(dir_.Path("b.ZH.txt").c_str()), 0);
  EXPECT_EQ(Load(), "Cannot open file \"" + dir_.Path("b.ZH.txt") + "\". No such file or directory");
  engine_.Search("work", false);
  EXPECT_EQ(engine_.HitCount(), 1);
  dir_.Write("b.ZH.txt", "\xE6\x9B\xB4\xE5\xA4\x9A\n");
  ASSERT_EQ(unlink(dir_.Path("a.EN.txt").c_str()), 0);
  std::filesystem::create_directory(dir_.Path("a.EN.txt"));
  EXPECT_EQ(Load(), "Cannot open file \"" + dir_.Path("a.EN.txt") + "\". Is a directory");
  std::filesystem::remove(dir_.Path("a.EN.txt"));
  dir_.Write("a.EN.txt", "");
  EXPECT_EQ(Load(), "(no error)");
  engine_.Search("work", false);
  EXPECT_EQ(engine_.HitCount(), 1);
}

}  // namespace
}  // namespace korvel
