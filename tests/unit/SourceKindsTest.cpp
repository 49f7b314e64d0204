// Corpora beside the NAME.EN.txt/NAME.ZH.txt pairs: Moses pairs (NAME.en
// with NAME.zh), and TMX and TSV files that hold both languages. They are
// listed, paired, loaded and named on the page and in the export together
// with the text pairs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CorpusFolder.h"
#include "RunSearch.h"
#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

using Strings = std::vector<std::string>;

// Unit 1 has no English segment, so its record is dropped as a blank
// English line is, and the last hit is unit 3. "&lt;b&gt;" shows the
// segment is unescaped.
constexpr const char* kTmx =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<tmx version=\"1.4\"><header srclang=\"en\"/><body>\n"
    "<tu><tuv xml:lang=\"en\"><seg>hello</seg></tuv><tuv xml:lang=\"zh\"><seg>\xE4\xBD\xA0\xE5\xA5\xBD</seg></tuv></tu>\n"
    "<tu><tuv xml:lang=\"zh\"><seg>\xE7\x94\xB2</seg></tuv></tu>\n"
    "<tu><tuv xml:lang=\"en\"><seg>hello &lt;b&gt;</seg></tuv><tuv xml:lang=\"zh\"><seg>\xE4\xB9\x99</seg></tuv></tu>\n"
    "</body></tmx>\n";
// A header, then a record without English: records count from after the
// header, so "three" is record 3.
constexpr const char* kTsv = "en\tzh\none\t\xE4\xB8\x80\n\t\xE4\xBA\x8C\nthree\t\xE4\xB8\x89\n";

class SourceKinds : public ::testing::Test {
 protected:
  std::string Load(Strings files) {
    return test::ErrorOf([&] { engine_.SetFiles(files); });
  }
  // Data as "zh|en|pair|line" rows.
  Strings Rows() const {
    Strings rows;
    for (const TData& d : engine_.Data())
      rows.push_back(std::string(d.ZhLine) + "|" + std::string(d.EnLine) + "|" + std::to_string(d.PairIndex) + "|" +
                     std::to_string(d.LineIndex));
    return rows;
  }
  test::TempDir dir_;
  TKorvel engine_;
};

TEST_F(SourceKinds, FolderListsEveryKindInNameOrderEachEnglishFileBeforeItsTwin) {
  for (const char* name : {"a.EN.txt", "a.ZH.txt", "b.en", "b.zh", "c.en-zh.en", "c.en-zh.zh",
                           // .zh_CN is preferred to .cmn; the .cmn twin is left unlisted.
                           "d.En", "d.cmn", "d.zh_CN",
                           // A lone English file, a lone Chinese one and a stray text file.
                           "e.en", "h.ZH.txt", "notes.txt", "f.tmx", "g.TSV"})
    dir_.Write(name, "x\n");
  std::filesystem::create_directory(dir_.Path("folder.tmx"));
  Strings listed;
  std::size_t weight = 0;
  for (const std::string& path : ListCorpusFolder(dir_.Root())) {
    listed.push_back(path.substr(dir_.Root().size() + 1));
    weight += ListedEntryWeight(path);
  }
  EXPECT_EQ(listed, (Strings{"a.EN.txt", "a.ZH.txt", "b.en", "b.zh", "c.en-zh.en", "c.en-zh.zh", "d.En", "d.zh_CN",
                             "f.tmx", "g.TSV"}));
  EXPECT_EQ(weight, 12u);  // a TMX or TSV file counts for two names
}

TEST_F(SourceKinds, EachKindLoadsWithItsOrdinalAsLineAndBlankEnglishDropped) {
  const std::string tmx = dir_.Write("k.tmx", kTmx), tsv = dir_.Write("t.tsv", kTsv);
  // Line 2 of the English file is blank; ".zh" is the twin before ".cmn".
  const std::string en = dir_.Write("m.en-zh.en", "m1\n\nm3\n"), zh = dir_.Write("m.en-zh.zh", "M1\nM2\nM3\n");
  const std::string other = dir_.Write("m.en-zh.cmn", "C1\nC2\nC3\n");
  const std::string text = dir_.Write("a.EN.txt", "a1\n"), textZh = dir_.Write("a.ZH.txt", "A1\n");
  for (unsigned threads : {1u, 3u}) {
    SCOPED_TRACE(threads);
    engine_.SetTuning({threads, true});
    // Four names, two of them counting for two.
    EXPECT_EQ(Load({tsv, zh, tmx, en}), "(no error)");
    ASSERT_EQ(engine_.FilePairs().size(), 3u);
    EXPECT_EQ(engine_.FilePairs()[0].Kind, TSourceKind::Tmx);
    EXPECT_EQ(engine_.FilePairs()[0].EnFile, tmx);
    EXPECT_EQ(engine_.FilePairs()[0].ZhFile, tmx);
    EXPECT_EQ(engine_.FilePairs()[1].Kind, TSourceKind::Text);
    EXPECT_EQ(engine_.FilePairs()[2].Kind, TSourceKind::Tsv);
    EXPECT_EQ(Rows(), (Strings{"\xE4\xBD\xA0\xE5\xA5\xBD|hello|0|0", "\xE4\xB9\x99|hello <b>|0|2", "M1|m1|1|0",
                               "M3|m3|1|2", "\xE4\xB8\x80|one|2|0", "\xE4\xB8\x89|three|2|2"}));
    // Without the .zh twin, the .cmn one.
    EXPECT_EQ(Load({en, other, tmx, text, textZh}), "(no error)");
    EXPECT_EQ(engine_.FilePairs()[2].ZhFile, other);
  }
  // A TMX file alone is a whole pair; beside one English file it is refused.
  EXPECT_EQ(Load({tmx}), "(no error)");
  EXPECT_EQ(engine_.Data().size(), 2u);
  EXPECT_EQ(Load({tmx, en}), "(no error)");
  EXPECT_TRUE(engine_.FilePairs().empty());
  EXPECT_TRUE(engine_.Data().empty());
  // A Moses pair that disagrees fails as a text pair does.
  EXPECT_EQ(Load({dir_.Write("s.en", "a\nb\n"), dir_.Write("s.zh", "x\n")}), "List index out of bounds (1)");
}

// The page says "unit" where the hit stands in a TMX file, "line" in a TSV
// file (its record, the header not counted); the export, the KWIC rows and
// both file-name fields give the ordinal and the one file's name.
TEST_F(SourceKinds, PageExportAndKwicNameTheSourceAndItsOrdinal) {
  Load({dir_.Write("k.tmx", kTmx), dir_.Write("t.tsv", kTsv)});
  engine_.SetTemplatePath(dir_.Write("result.tpl", "{@content}"));
  engine_.Search("hello|three", false);
  ASSERT_EQ(engine_.HitCount(), 3);
  const std::string page = engine_.RenderResultPage();
  for (const char* place : {"(k.tmx, unit 1)", "(k.tmx, unit 3)", "(t.tsv, line 3)"})
    EXPECT_NE(page.find(place), std::string::npos) << place;
  EXPECT_EQ(page.find("k.tmx, line"), std::string::npos);
  EXPECT_EQ(engine_.RenderExport(),
            "1\tk.tmx\tk.tmx\t1\t\xE3\x80\x90hello\xE3\x80\x91\t\xE4\xBD\xA0\xE5\xA5\xBD\r\n"
            "2\tk.tmx\tk.tmx\t3\t\xE3\x80\x90hello\xE3\x80\x91 <b>\t\xE4\xB9\x99\r\n"
            "3\tt.tsv\tt.tsv\t3\t\xE3\x80\x90three\xE3\x80\x91\t\xE4\xB8\x89\r\n");
  TStringOutput kwic;
  engine_.RenderKwic(kwic, 4);
  EXPECT_EQ(kwic.Take(), "\thello\t\t\xE4\xBD\xA0\xE5\xA5\xBD\tk.tmx\t1\r\n"
                         "\thello\t <b>\t\xE4\xB9\x99\tk.tmx\t3\r\n"
                         "\tthree\t\t\xE4\xB8\x89\tt.tsv\t3\r\n");
  TStringOutput kwicPage;
  engine_.RenderKwicPage(kwicPage);
  EXPECT_NE(kwicPage.Take().find("k.tmx, unit 3</span>"), std::string::npos);
}

// A TMX or TSV file that cannot be read, malformed or gone, fails the load
// unless the user chose to go on without it; a text file never is left out.
TEST_F(SourceKinds, BadSourceFailsTheLoadOrIsLeftOutWhenAsked) {
  // Cut off inside its only unit.
  const std::string bad = dir_.Write("bad.tmx", "<?xml version=\"1.0\"?>\n<tmx version=\"1.4\"><body><tu><tuv xml:lang=\"en\"><seg>cut");
  const std::string gone = dir_.Path("gone.tsv");
  const Strings files = {dir_.Write("a.EN.txt", "hello\n"), dir_.Write("a.ZH.txt", "A\n"), bad, gone,
                         dir_.Write("z.tmx", kTmx)};
  for (unsigned threads : {1u, 3u}) {
    SCOPED_TRACE(threads);
    engine_.SetTuning({threads, true});
    // Off: the first bad source's message, the pairs before it loaded.
    EXPECT_EQ(Load(files).rfind("Cannot read \"bad.tmx\": line ", 0), 0u);
    EXPECT_EQ(Rows(), (Strings{"A|hello|0|0"}));
    EXPECT_TRUE(engine_.BadSources().empty());

    TRunRequest request;
    request.Files = files;
    request.SkipBadSources = true;
    request.Query = "hello";
    EXPECT_EQ(RunSearch(engine_, request).HitCount, 3);
    ASSERT_EQ(engine_.BadSources().size(), 2u);
    EXPECT_EQ(engine_.BadSources()[0].rfind("Cannot read \"bad.tmx\": line ", 0), 0u);
    EXPECT_EQ(engine_.BadSources()[1], "Cannot open file \"" + gone + "\". No such file or directory");
    EXPECT_EQ(engine_.FilePairs().size(), 4u);
    EXPECT_EQ(engine_.Data().back().PairIndex, 3);

    // Text files fail as ever.
    EXPECT_EQ(Load({files[0], dir_.Path("b.ZH.txt"), files[4]}).rfind("Cannot open file", 0), 0u);
    EXPECT_TRUE(engine_.BadSources().empty());
    engine_.SetSkipBadSources(false);
  }
}

}  // namespace
}  // namespace korvel
