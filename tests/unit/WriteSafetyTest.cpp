// The result page and the export replace their file only when complete: a
// full disk, a device without space or a folder the user may not write to
// leaves the earlier file byte for byte and no temporary file behind.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

using test::ErrorInChild;

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

void Throw(const std::string& what) { throw std::runtime_error(what); }

class WriteSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_.SetInflector(test::FakeInflect);
    // 3,000 hits of about 40 bytes each in the export and some 400 on the
    // page: far beyond the 4 KiB the full-disk tests allow.
    std::string en, zh;
    for (int i = 0; i < 3000; ++i) {
      en += "go " + std::to_string(i) + "\n";
      zh += "\xE8\xB5\xB0 " + std::to_string(i) + "\n";  // 走
    }
    std::vector<std::string> files = {corpus_.Write("c.EN.txt", en), corpus_.Write("c.ZH.txt", zh)};
    engine_.SetFiles(files);
    engine_.SetTemplatePath(corpus_.Write("result.tpl", "<table>\n{@content}\n</table>\n"));
    engine_.Search("go", false);
    ASSERT_EQ(engine_.HitCount(), 3000);
  }
  void TearDown() override {
    if (!out_.empty()) chmod(out_.c_str(), 0755);  // so the folder can go
  }

  // The folder written to, with an earlier export and page in it.
  std::string Folder() {
    if (out_.empty()) {
      out_ = dir_.Root() + "/out";
      std::filesystem::create_directory(out_);
      Put("old.tsv", kOldExport);
      Put("old.html", kOldPage);
    }
    return out_;
  }
  void Put(const std::string& name, const std::string& bytes) { dir_.Write("out/" + name, bytes); }

  // Bytes no run of the program writes: a replaced file cannot pass for kept.
  static constexpr const char* kOldExport = "1\told.EN.txt\told.ZH.txt\t1\tearlier\texport\r\n";
  static constexpr const char* kOldPage = "<p>an earlier page\xE2\x80\x94kept</p>\r\n";

  test::TempDir corpus_;
  test::TempDir dir_;
  std::string out_;
  TKorvel engine_;
};

// setrlimit(RLIMIT_FSIZE) stands in for a full disk: writes past the limit
// fail with EFBIG once SIGXFSZ no longer kills the process.
void LimitFileSize() {
  signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{4096, 4096};
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) Throw("setrlimit");
}

TEST_F(WriteSafety, FullDiskLeavesTheEarlierExportAndPageByteIdentical) {
  const std::string folder = Folder();
  EXPECT_EQ(ErrorInChild(LimitFileSize, [&] { engine_.ExportText(folder + "/old.tsv"); }),
            "Cannot create file \"" + folder + "/old.tsv\". File too large");
  EXPECT_EQ(ErrorInChild(LimitFileSize, [&] { engine_.WriteResultPage(folder + "/old.html"); }),
            "Cannot create file \"" + folder + "/old.html\". File too large");
  EXPECT_EQ(test::ReadBytes(folder + "/old.tsv"), kOldExport);
  EXPECT_EQ(test::ReadBytes(folder + "/old.html"), kOldPage);
  // A new name fails the same way and leaves nothing at all.
  EXPECT_EQ(ErrorInChild(LimitFileSize, [&] { engine_.ExportText(folder + "/new.tsv"); }),
            "Cannot create file \"" + folder + "/new.tsv\". File too large");
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{"old.html", "old.tsv"}));
}

TEST_F(WriteSafety, ExportThatFitsUnderTheLimitStillReplacesTheFile) {
  // The same child without a limit: the failure above is the limit's.
  const std::string folder = Folder();
  EXPECT_EQ(ErrorInChild([] {}, [&] { engine_.ExportText(folder + "/old.tsv"); }), "(no error)");
  EXPECT_EQ(test::ReadBytes(folder + "/old.tsv"), engine_.RenderExport());
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{"old.html", "old.tsv"}));
}

TEST_F(WriteSafety, DeviceWithoutSpaceGivesTheSystemsReasonAndALinkToItStaysALink) {
  EXPECT_EQ(test::ErrorOf([&] { engine_.ExportText("/dev/full"); }),
            "Cannot create file \"/dev/full\". No space left on device");
  EXPECT_EQ(test::ErrorOf([&] { engine_.WriteResultPage("/dev/full"); }),
            "Cannot create file \"/dev/full\". No space left on device");
  // Through a link the device is written, not replaced by a regular file.
  const std::string link = Folder() + "/full.tsv";
  ASSERT_EQ(symlink("/dev/full", link.c_str()), 0);
  EXPECT_EQ(test::ErrorOf([&] { engine_.ExportText(link); }),
            "Cannot create file \"" + link + "\". No space left on device");
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(Entries(Folder()), (std::vector<std::string>{"full.tsv", "old.html", "old.tsv"}));
}

TEST_F(WriteSafety, ReadOnlyFolderRefusesAnUnprivilegedUserAndKeepsTheEarlierFiles) {
  const std::string folder = Folder();
  // Root writes anywhere: the child becomes "nobody" (65534) when it is
  // root, and the folders on the way become searchable for it.
  ASSERT_EQ(chmod(dir_.Root().c_str(), 0755), 0);
  ASSERT_EQ(chmod(corpus_.Root().c_str(), 0755), 0);  // the page's template
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  auto unprivileged = [] {
    if (geteuid() != 0) return;
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) Throw("cannot become nobody");
  };
  EXPECT_EQ(ErrorInChild(unprivileged, [&] { engine_.ExportText(folder + "/old.tsv"); }),
            "Cannot create file \"" + folder + "/old.tsv\". Permission denied");
  EXPECT_EQ(ErrorInChild(unprivileged, [&] { engine_.WriteResultPage(folder + "/new.html"); }),
            "Cannot create file \"" + folder + "/new.html\". Permission denied");
  EXPECT_EQ(test::ReadBytes(folder + "/old.tsv"), kOldExport);
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{"old.html", "old.tsv"}));
}

TEST_F(WriteSafety, CancelledExportLeavesTheEarlierFileAndNoTemporaryFile) {
  const std::string folder = Folder();
  auto cancelHalfway = [](std::size_t done, std::size_t total) {
    if (done == total / 2) throw EAbort();
  };
  EXPECT_THROW(engine_.ExportText(folder + "/old.tsv", cancelHalfway), EAbort);
  EXPECT_THROW(engine_.WriteResultPage(folder + "/old.html", cancelHalfway), EAbort);
  EXPECT_EQ(test::ReadBytes(folder + "/old.tsv"), kOldExport);
  EXPECT_EQ(test::ReadBytes(folder + "/old.html"), kOldPage);
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{"old.html", "old.tsv"}));
}

}  // namespace
}  // namespace korvel
