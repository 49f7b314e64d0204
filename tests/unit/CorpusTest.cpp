#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;

class Corpus : public ::testing::Test {
 protected:
  // Loads the names and returns the error message, or "(no error)".
  std::string Load(Strings files) {
    return test::ErrorOf([&] { engine_.SetFiles(files); });
  }
  std::string LoadPair(const std::string& en, const std::string& zh) {
    return Load({dir_.Write("p.EN.txt", en), dir_.Write("p.ZH.txt", zh)});
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

TEST_F(Corpus, LineEndsBlankEnglishLinesAndTrimming) {
  // CRLF, lone CR and LF all end lines; the blank/tab English line is dropped
  // but line 3 keeps its number; a blank Chinese line keeps its record; the
  // extra Chinese line is never read; a final LF adds no line.
  LoadPair("a\r\n \t\r\nb\r c \n", "x\ny\r\n z\t\n   \nextra\n");
  EXPECT_EQ(Rows(), (Strings{"x|a|0|0", "z|b|0|2", "|c|0|3"}));
}

TEST_F(Corpus, NulStaysInItsLineAndGbkIsDecoded) {
  // D6 D0 CE C4 is 中文 in GBK, not valid UTF-8.
  LoadPair("one\0two\nthree\n"s, "\xD6\xD0\xCE\xC4\r\n2\n");
  EXPECT_EQ(Rows(), (Strings{"\xE4\xB8\xAD\xE6\x96\x87|one\0two|0|0"s, "2|three|0|1"}));
  engine_.Search("two", false);  // NUL is no word character
  EXPECT_EQ(engine_.Hits(), TIntArr({0}));
}

TEST_F(Corpus, ShortChineseFileStopsLoadingAtTheMissingLineAndNamesBothCounts) {
  EXPECT_EQ(LoadPair("a\nb\nc\n", "x\ny\n"), "List index out of bounds (2)");
  EXPECT_EQ(engine_.FilePairs().size(), 1u);
  EXPECT_EQ(Rows(), (Strings{"x|a|0|0", "y|b|0|1"}));
  // The detail counts lines as loading does: a blank English line too.
  std::vector<std::string> files = {dir_.Write("p.EN.txt", "a\n\nc\nd"), dir_.Write("p.ZH.txt", "x\n")};
  try {
    engine_.SetFiles(files);
    ADD_FAILURE() << "no error";
  } catch (const EKorvel& e) {
    EXPECT_EQ(std::string(e.what()), "List index out of bounds (2)");
    EXPECT_EQ(e.Detail(), "\"p.ZH.txt\" has 1 line, \"p.EN.txt\" has 4.");
  }
}

// Pairs load in parallel, in two passes (reading, then records); whichever
// pair fails first in order is reported, and Data holds what a one-by-one
// load would have: the pairs before it and the records of its own before
// the failure. The pair after a failure here is always worse.
TEST_F(Corpus, FirstFailingPairInOrderIsReportedWithEveryRecordBeforeIt) {
  const std::string a = dir_.Write("a.EN.txt", "a1\na2\n"), az = dir_.Write("a.ZH.txt", "x1\nx2\n");
  const std::string b = dir_.Write("b.EN.txt", "b1\n\nb3\n"), bz = dir_.Write("b.ZH.txt", "y1\ny2\n");
  const std::string c = dir_.Write("c.EN.txt", "c1\n"), cz = dir_.Path("c.ZH.txt");  // missing
  for (unsigned threads : {1u, 3u}) {
    SCOPED_TRACE(threads);
    engine_.SetTuning({threads, true});
    // b's Chinese file is a line short, c's is missing.
    EXPECT_EQ(Load({a, az, b, bz, c, cz}), "List index out of bounds (2)");
    EXPECT_EQ(Rows(), (Strings{"x1|a1|0|0", "x2|a2|0|1", "y1|b1|1|0"}));
    // Now b's own file is missing too: reading fails before any record.
    EXPECT_EQ(Load({a, az, b, dir_.Path("b2.ZH.txt"), c, cz}).rfind("Cannot open file", 0), 0u);
    EXPECT_EQ(Rows(), (Strings{"x1|a1|0|0", "x2|a2|0|1"}));
    engine_.Search("b1", false);
    EXPECT_EQ(engine_.HitCount(), 0);
    // Both files of a pair missing: the English one is named, as if read first.
    const std::string error = Load({a, az, dir_.Path("x.EN.txt"), dir_.Path("x.ZH.txt")});
    EXPECT_NE(error.find("x.EN.txt"), std::string::npos) << error;
  }
}

TEST_F(Corpus, NamesAreSortedIgnoringCaseWithByteOrderBreakingTies) {
  // Byte order alone would put "B" before "a"; "A" and "a" tie without case.
  Strings files;
  for (const char* name : {"B.ZH.txt", "a.ZH.txt", "B.EN.txt", "a.EN.txt", "A.EN.txt", "A.ZH.txt"})
    files.push_back(dir_.Write(name, std::string(name, 1) + "\n"));
  engine_.SetFiles(files);
  Strings names;
  for (const std::string& f : files) names.push_back(f.substr(f.rfind('/') + 1));
  EXPECT_EQ(names, (Strings{"A.EN.txt", "a.EN.txt", "A.ZH.txt", "a.ZH.txt", "B.EN.txt", "B.ZH.txt"}));
  EXPECT_EQ(Rows(), (Strings{"A|A|0|0", "a|a|1|0", "B|B|2|0"}));
}

TEST_F(Corpus, TwinsPairByNameAndMarkersCountOnlyInTheFileName) {
  // Sorted: report.EN, report.Final.EN, report.Final.ZH, report.ZH; pairing
  // by position alone would lose report.EN. The folder's ".EN." is no marker.
  EXPECT_EQ(Load({dir_.Write("proj.EN.v2/report.ZH.txt", "R\n"), dir_.Write("proj.EN.v2/report.Final.ZH.txt", "F\n"),
                  dir_.Write("proj.EN.v2/report.EN.txt", "r\n"), dir_.Write("proj.EN.v2/report.Final.EN.txt", "f\n")}),
            "(no error)");
  EXPECT_EQ(Rows(), (Strings{"R|r|0|0", "F|f|1|0"}));
  EXPECT_EQ(engine_.FilePairs()[0].ZhFile, dir_.Path("proj.EN.v2/report.ZH.txt"));
}

TEST_F(Corpus, LeftoverNamesPairByPosition) {
  const std::string aEn = dir_.Write("a.EN.txt", "one\ntwo\n"), aZh = dir_.Write("a.ZH.txt", "A1\nA2\n");
  const std::string bEn = dir_.Write("b.EN.txt", "uno\n"), bZh = dir_.Write("b.ZH.txt", "B1\nB2\n");
  EXPECT_EQ(Load({aEn, bZh}), "(no error)");
  EXPECT_EQ(Rows(), (Strings{"B1|one|0|0", "B2|two|0|1"}));
  // The Chinese name sorts first and closes a pair with no English file.
  EXPECT_EQ(Load({bEn, aZh}).rfind("Cannot open file \"\". ", 0), 0u);
  // A second English name replaces the first; the pair has no Chinese file.
  EXPECT_EQ(Load({aEn, bEn}).rfind("Cannot open file \"\". ", 0), 0u);
  ASSERT_EQ(engine_.FilePairs().size(), 1u);
  EXPECT_EQ(engine_.FilePairs()[0].EnFile, bEn);
}

// Hits index Data, so no reload may leave them behind: neither a refused
// odd list nor one whose file cannot be read.
TEST_F(Corpus, ReloadDropsTheLastSearchsHits) {
  const std::string en = dir_.Write("o.EN.txt", "one\n"), zh = dir_.Write("o.ZH.txt", "1\n");
  for (const Strings& reload : {Strings{en, zh, en}, Strings{en, dir_.Path("gone.ZH.txt")}}) {
    Load({en, zh});
    engine_.Search("one", false);
    ASSERT_EQ(engine_.HitCount(), 1);
    Load(reload);
    EXPECT_EQ(engine_.FilePairs().size(), reload.size() % 2 ? 0u : 1u);
    EXPECT_TRUE(engine_.Data().empty());
    EXPECT_TRUE(engine_.Hits().empty());
    EXPECT_EQ(engine_.HitCount(), 0);
    EXPECT_EQ(engine_.RenderExport(), "");
  }
}

}  // namespace
}  // namespace korvel
