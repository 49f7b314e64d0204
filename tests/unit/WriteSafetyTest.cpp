// The result page and the export replace their file only when complete: a
// full disk, a device without space, a folder or file the user may not
// write to, or a stop in the middle leaves the earlier file byte for byte
// and no temporary file behind; and replacing keeps what the file system
// holds about the file besides its content.
#include <fcntl.h>
#include <grp.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <iterator>
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
  // The workbook is made in the temporary folder first: a full disk there
  // fails the same way.
  EXPECT_EQ(ErrorInChild(LimitFileSize, [&] { engine_.ExportAs(TExportFormat::Xlsx, folder + "/old.tsv"); }),
            "Cannot create file \"" + folder + "/old.tsv\". File too large");
  EXPECT_EQ(test::ReadBytes(folder + "/old.tsv"), kOldExport);
  EXPECT_EQ(test::ReadBytes(folder + "/old.html"), kOldPage);
  // A new name fails the same way and leaves nothing at all.
  EXPECT_EQ(ErrorInChild(LimitFileSize, [&] { engine_.ExportText(folder + "/new.tsv"); }),
            "Cannot create file \"" + folder + "/new.tsv\". File too large");
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{"old.html", "old.tsv"}));
  // The same child without a limit: the failure above is the limit's.
  EXPECT_EQ(ErrorInChild([] {}, [&] { engine_.ExportText(folder + "/old.tsv"); }), "(no error)");
  EXPECT_EQ(test::ReadBytes(folder + "/old.tsv"), engine_.RenderExport());
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{"old.html", "old.tsv"}));
}

TEST_F(WriteSafety, DeviceWithoutSpaceGivesTheSystemsReasonAndALinkToItStaysALink) {
  EXPECT_EQ(test::ErrorOf([&] { engine_.ExportText("/dev/full"); }),
            "Cannot create file \"/dev/full\". No space left on device");
  EXPECT_EQ(test::ErrorOf([&] { engine_.WriteResultPage("/dev/full"); }),
            "Cannot create file \"/dev/full\". No space left on device");
  EXPECT_EQ(test::ErrorOf([&] { engine_.ExportAs(TExportFormat::Xlsx, "/dev/full"); }),
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

// Root writes anywhere: the child becomes "nobody" (65534) when it is root.
void Unprivileged() {
  if (geteuid() != 0) return;
  if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) Throw("cannot become nobody");
}

TEST_F(WriteSafety, WriteProtectionHoldsForAnUnprivilegedUserAndKeepsTheEarlierFiles) {
  const std::string folder = Folder();
  // The folders on the way become searchable for "nobody".
  ASSERT_EQ(chmod(dir_.Root().c_str(), 0755), 0);
  ASSERT_EQ(chmod(corpus_.Root().c_str(), 0755), 0);  // the page's template
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  EXPECT_EQ(ErrorInChild(Unprivileged, [&] { engine_.ExportText(folder + "/old.tsv"); }),
            "Cannot create file \"" + folder + "/old.tsv\". Permission denied");
  EXPECT_EQ(ErrorInChild(Unprivileged, [&] { engine_.WriteResultPage(folder + "/new.html"); }),
            "Cannot create file \"" + folder + "/new.html\". Permission denied");
  EXPECT_EQ(test::ReadBytes(folder + "/old.tsv"), kOldExport);
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{"old.html", "old.tsv"}));

  // In a folder open to all a rename would pass, yet a file the user may
  // not write is refused as the shell refuses it: one of mode 444 of the
  // user's own and, run as root, one of root's.
  const std::string open = dir_.Root() + "/open";
  std::filesystem::create_directory(open);
  ASSERT_EQ(chmod(open.c_str(), 0777), 0);
  const std::string mine = dir_.Write("open/mine.tsv", kOldExport);
  ASSERT_EQ(chmod(mine.c_str(), 0444), 0);
  std::vector<std::string> files = {mine};
  if (geteuid() == 0) {
    ASSERT_EQ(chown(mine.c_str(), 65534, 65534), 0);
    files.push_back(dir_.Write("open/roots.tsv", kOldExport));
  }
  for (const std::string& file : files) {
    EXPECT_EQ(ErrorInChild(Unprivileged, [&] { engine_.ExportText(file); }),
              "Cannot create file \"" + file + "\". Permission denied");
    EXPECT_EQ(test::ReadBytes(file), kOldExport);
  }
  struct stat st {};
  ASSERT_EQ(stat(files.back().c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, geteuid() == 0 ? 0u : geteuid());
  EXPECT_EQ(Entries(open).size(), files.size());
}

// A rename would change more than the content of some targets: those are
// written in place, or given their owner back.
TEST_F(WriteSafety, ReplacingKeepsLinksOwnerModeAndLongNames) {
  const std::string folder = Folder();
  const std::string exported = engine_.RenderExport();
  // A link whose target is missing creates the target and stays a link.
  const std::string dangling = folder + "/link.tsv";
  ASSERT_EQ(symlink("made.tsv", dangling.c_str()), 0);
  // A file with a second name keeps both in step.
  const std::string twin = folder + "/twin.tsv";
  ASSERT_EQ(link((folder + "/old.tsv").c_str(), twin.c_str()), 0);
  // A name of 255 bytes, the most a folder takes, leaves no room for a
  // temporary name built from it.
  const std::string longName = std::string(251, 'n') + ".tsv";
  Put(longName, kOldExport);
  // Another user's file, when root writes it, stays theirs; any file
  // keeps its mode.
  const std::string theirs = folder + "/theirs.tsv";
  Put("theirs.tsv", kOldExport);
  ASSERT_EQ(chmod(theirs.c_str(), 0640), 0);
  const uid_t owner = geteuid() == 0 ? 65534 : geteuid();
  if (geteuid() == 0) {
    ASSERT_EQ(chown(theirs.c_str(), owner, owner), 0);
  }

  for (const std::string& target : {dangling, twin, folder + "/" + longName, theirs})
    EXPECT_EQ(test::ErrorOf([&] { engine_.ExportText(target); }), "(no error)") << target;
  struct stat st {};
  ASSERT_EQ(lstat(dangling.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  for (const std::string& name : {std::string("made.tsv"), std::string("old.tsv"), std::string("theirs.tsv"), longName})
    EXPECT_TRUE(test::ReadBytes(folder + "/" + name) == exported) << name;
  ASSERT_EQ(stat(twin.c_str(), &st), 0);
  EXPECT_EQ(st.st_nlink, 2u);
  ASSERT_EQ(stat(theirs.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, owner);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{"link.tsv", "made.tsv", longName, "old.html", "old.tsv",
                                                       "theirs.tsv", "twin.tsv"}));
}

// Makes O_TMPFILE fail as on a file system without it, so that writes go
// through a named temporary file.
void WithoutTmpfile() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),  // the flags' low half
      BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
    Throw("seccomp unavailable");
}

void StopAtFileSizeLimit(void (*onLimit)(int)) {
  WithoutTmpfile();
  signal(SIGXFSZ, onLimit);
  const rlimit limit{4096, 4096};
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) Throw("setrlimit");
}

TEST_F(WriteSafety, WithoutUnnamedFilesATemporaryNameGoesOnStopOrWithTheNextRun) {
  const std::string folder = Folder();
  const std::string target = folder + "/old.tsv";
  if (const std::string probe = ErrorInChild(WithoutTmpfile, [] {}); probe != "(no error)") GTEST_SKIP() << probe;
  // SIGTERM in the middle of the write (raised as the file passes 4 KiB)
  // removes the temporary file, then ends the process.
  EXPECT_EQ(ErrorInChild([] { StopAtFileSizeLimit([](int) { raise(SIGTERM); }); }, [&] { engine_.ExportText(target); }),
            "child ended abnormally: " + std::to_string(SIGTERM));
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{"old.html", "old.tsv"}));
  // Ended where no handler runs (SIGXFSZ's default, as kill -9), the write
  // leaves it behind ...
  EXPECT_NE(ErrorInChild([] { StopAtFileSizeLimit(SIG_DFL); }, [&] { engine_.ExportText(target); }), "(no error)");
  const std::vector<std::string> left = Entries(folder);
  ASSERT_EQ(left.size(), 3u);
  EXPECT_EQ(test::ReadBytes(target), kOldExport);
  // ... and a later run removes it, as it is older than that run.
  const timespec hourAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (folder + "/" + left[0]).c_str(), hourAgo, 0), 0);
  EXPECT_EQ(ErrorInChild(WithoutTmpfile, [&] { engine_.ExportText(target); }), "(no error)");
  EXPECT_EQ(test::ReadBytes(target), engine_.RenderExport());
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{"old.html", "old.tsv"}));
}

TEST_F(WriteSafety, CancelledExportLeavesTheEarlierFileAndNoTemporaryFile) {
  const std::string folder = Folder();
  auto cancelHalfway = [](std::size_t done, std::size_t total) {
    if (done == total / 2) throw EAbort();
  };
  EXPECT_THROW(engine_.ExportText(folder + "/old.tsv", cancelHalfway), EAbort);
  EXPECT_THROW(engine_.WriteResultPage(folder + "/old.html", cancelHalfway), EAbort);
  for (TExportFormat format : {TExportFormat::Csv, TExportFormat::Tmx, TExportFormat::Xlsx})
    EXPECT_THROW(engine_.ExportAs(format, folder + "/old.tsv", cancelHalfway), EAbort);
  EXPECT_EQ(test::ReadBytes(folder + "/old.tsv"), kOldExport);
  EXPECT_EQ(test::ReadBytes(folder + "/old.html"), kOldPage);
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{"old.html", "old.tsv"}));
}

}  // namespace
}  // namespace korvel
