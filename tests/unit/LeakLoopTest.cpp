// Two hundred rounds of loading, searching, rendering and exporting, with
// every error path among them, hold on to no file handle.
// Memory is LeakSanitizer's to check: the sanitizer build runs this test and
// reports any block still allocated at exit.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

std::size_t OpenHandles() {
  std::size_t n = 0;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd"); it != std::filesystem::directory_iterator();
       ++it)
    ++n;
  return n;
}

class LeakLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    // A small pair, a pair over 1 MiB (read into memory of its own), a GBK file
    // (decoded into a buffer of its own), a line on which "(a+)+$" runs into
    // the match limit, and a pair whose Chinese side is one line short.
    std::string big = "work\n", bigZh = "\xE5\xB7\xA5\xE4\xBD\x9C\n";  // 工作
    while (big.size() < (1u << 20) + 4096) {
      big += "the rest goes on and on\n";
      bigZh += "\xE5\x85\xB6\xE4\xBD\x99\n";  // 其余
    }
    good_ = {dir_.Write("a.EN.txt", "work\ngive up\n"), dir_.Write("a.ZH.txt", "\xE5\xB7\xA5\xE4\xBD\x9C\n\xE6\x94\xBE\xE5\xBC\x83\n"),
             dir_.Write("big.EN.txt", big), dir_.Write("big.ZH.txt", bigZh),
             dir_.Write("gbk.EN.txt", "work\n"), dir_.Write("gbk.ZH.txt", "\xB9\xA4\xD7\xF7\n"),  // 工作 in GBK
             dir_.Write("long.EN.txt", std::string(30, 'a') + "!\n"), dir_.Write("long.ZH.txt", "\xE4\xB8\x80\n")};
    shortPair_ = {dir_.Write("s.EN.txt", "one\ntwo\nthree\n"), dir_.Write("s.ZH.txt", "\xE4\xB8\x80\n")};
    missing_ = {dir_.Path("gone.EN.txt"), dir_.Path("gone.ZH.txt")};
    std::filesystem::create_directory(dir_.Path("dir.ZH.txt"));
    folderAsFile_ = {good_[0], dir_.Path("dir.ZH.txt")};
    dir_.Write("dic/EN-ZH.txt", "work=\xE5\xB7\xA5\xE4\xBD\x9C\ngive up=(\n");
    dir_.Write("dic/ZH-EN.txt", "\xE5\xB7\xA5\xE4\xBD\x9C=work\n");
    template_ = dir_.Write("result.tpl", "<table>\n{@content}\n</table>\n");
    noPlaceholder_ = dir_.Write("bare.tpl", "<table></table>\n");
  }

  // One round: everything that succeeds, then everything that fails.
  void Round() {
    TKorvel engine;
    engine.SetInflector(test::FakeInflect);
    engine.LoadDictionaries(dir_.Path("dic"));
    engine.SetTemplatePath(template_);
    std::vector<std::string> files = good_;
    engine.SetFiles(files);
    engine.SetFilter("\xE5\xB7\xA5\xE4\xBD\x9C", false, false);
    engine.Search("work", true);
    EXPECT_EQ(engine.HitCount(), 3);
    EXPECT_FALSE(engine.RenderResultPage().empty());
    engine.WriteResultPage(dir_.Path("page.html"));
    engine.ExportText(dir_.Path("export.tsv"));
    for (TExportFormat format : {TExportFormat::Csv, TExportFormat::Tmx, TExportFormat::Xlsx})
      engine.ExportAs(format, dir_.Path("export.other"));
    engine.SetFilter("", false, false);
    engine.Search("\xE5\xB7\xA5\xE4\xBD\x9C", false);  // 工作
    EXPECT_EQ(engine.HitCount(), 3);
    engine.ExportText(dir_.Path("export.tsv"));

    EXPECT_NE(test::ErrorOf([&] { engine.Search("(a", false); }), "(no error)");
    EXPECT_EQ(test::ErrorOf([&] { engine.Search("(a+)+$", false); }),
              "match limit exceeded: the expression backtracks too much on line 1 of \"long.EN.txt\"; make it more "
              "specific");
    EXPECT_NE(test::ErrorOf([&] { engine.ExportText("/dev/full"); }), "(no error)");
    EXPECT_NE(test::ErrorOf([&] { engine.ExportText(dir_.Path("no/such/folder.tsv")); }), "(no error)");
    EXPECT_NE(test::ErrorOf([&] { engine.ExportAs(TExportFormat::Xlsx, "/dev/full"); }), "(no error)");
    EXPECT_THROW(engine.ExportAs(TExportFormat::Xlsx, dir_.Path("export.xlsx"), [](std::size_t, std::size_t) {
      throw EAbort();
    }), EAbort);
    engine.SetTemplatePath(noPlaceholder_);
    EXPECT_NE(test::ErrorOf([&] { engine.WriteResultPage(dir_.Path("page.html")); }), "(no error)");
    engine.SetTemplatePath(dir_.Path("missing.tpl"));
    EXPECT_NE(test::ErrorOf([&] { engine.WriteResultPage(dir_.Path("page.html")); }), "(no error)");
    for (const auto* set : {&shortPair_, &missing_, &folderAsFile_}) {
      files = *set;
      EXPECT_NE(test::ErrorOf([&] { engine.SetFiles(files); }), "(no error)");
    }
    // Loading reports progress over the files and then the pairs (three
    // steps a pair). One thread, so the load reports at all, whatever the timing.
    const std::size_t pairs = good_.size() / 2;
    auto cancel = [pairs](std::size_t, std::size_t total) {
      if (total == 3 * pairs) throw EAbort();
    };
    TKorvel cancelled;
    cancelled.SetTuning({1, true});
    files = good_;
    EXPECT_THROW(cancelled.SetFiles(files, cancel), EAbort);
  }

  test::TempDir dir_;
  std::vector<std::string> good_, shortPair_, missing_, folderAsFile_;
  std::string template_, noPlaceholder_;
};

TEST_F(LeakLoop, TwoHundredRoundsWithEveryErrorPathKeepNoHandle) {
  Round();  // first use opens what stays open for good (ICU data, the inflection table)
  if (HasFailure()) return;
  const std::size_t handles = OpenHandles();
  for (int i = 1; i < 200 && !HasFailure(); ++i) Round();
  EXPECT_EQ(OpenHandles(), handles);
}

}  // namespace
}  // namespace korvel
