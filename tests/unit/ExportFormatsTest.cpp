// The CSV and TMX exports byte for byte; tests/export/check_exports.py reads
// them, and the workbook, back with readers that did not write them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KorvelVersion.h"
#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

class ExportFormats : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_.SetInflector(test::FakeInflect);
    // A comma in the file names, quotes and a comma in a line: CSV must
    // quote them. Markup, a control character, U+FFFF and a tab: TMX must
    // escape the first, drop the next two and keep the tab.
    std::vector<std::string> files = {
        dir_.Write("q,1.EN.txt", "He said \"go, go\" & <left>\ngo\n"),
        dir_.Write("q,1.ZH.txt",
                   "\xE4\xBB\x96\xE8\xAF\xB4\xE8\xB5\xB0\x01\xEF\xBF\xBF\xE4\xBA\x86\n"  // 他说走.了
                   "\xE8\xB5\xB0\t\xE5\x90\xA7\n")};                                     // 走	吧
    engine_.SetFiles(files);
    dir_.Write("dic/EN-ZH.txt", "go=\xE8\xB5\xB0\n");
    engine_.LoadDictionaries(dir_.Path("dic"));
  }

  std::string Export(TExportFormat format, const std::string& query) {
    engine_.Search(query, false);
    engine_.ExportAs(format, dir_.Path("out"));
    return test::ReadBytes(dir_.Path("out"));
  }

  test::TempDir dir_;
  TKorvel engine_;
};

TEST_F(ExportFormats, CsvHasABomAHeaderAndTheTsvFieldsQuotedWhereNeeded) {
  EXPECT_TRUE(
      test::SameBytes(Export(TExportFormat::Csv, "go"),
                      "\xEF\xBB\xBFHit,Searched file,Aligned file,Line,Searched line,Aligned line\r\n"
                      "1,\"q,1.EN.txt\",\"q,1.ZH.txt\",1,"
                      "\"He said \"\"\xE3\x80\x90go\xE3\x80\x91, \xE3\x80\x90go\xE3\x80\x91\"\" & <left>\","
                      "\xE4\xBB\x96\xE8\xAF\xB4\xE3\x80\x90\xE8\xB5\xB0\xE3\x80\x91\x01\xEF\xBF\xBF\xE4\xBA\x86\r\n"
                      "2,\"q,1.EN.txt\",\"q,1.ZH.txt\",2,\xE3\x80\x90go\xE3\x80\x91,"
                      "\xE3\x80\x90\xE8\xB5\xB0\xE3\x80\x91 \xE5\x90\xA7\r\n"));
}

TEST_F(ExportFormats, TmxHasOneUnitPerHitInTheQuerysLanguage) {
  EXPECT_TRUE(test::SameBytes(
      Export(TExportFormat::Tmx, "\xE8\xB5\xB0"),  // 走
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<tmx version=\"1.4\">\r\n"
      "  <header creationtool=\"Korvel\" creationtoolversion=\"" KORVEL_VERSION
      "\" segtype=\"sentence\" o-tmf=\"Korvel\" adminlang=\"en\" srclang=\"zh\" datatype=\"plaintext\"/>\r\n"
      "  <body>\r\n"
      "    <tu tuid=\"1\">\r\n      <prop type=\"x-file\">q,1.ZH.txt</prop>\r\n"
      "      <prop type=\"x-line\">1</prop>\r\n"
      "      <tuv xml:lang=\"en\"><seg>He said \"go, go\" &amp; &lt;left&gt;</seg></tuv>\r\n"
      "      <tuv xml:lang=\"zh\"><seg>\xE4\xBB\x96\xE8\xAF\xB4\xE8\xB5\xB0\xE4\xBA\x86</seg></tuv>\r\n"
      "    </tu>\r\n"
      "    <tu tuid=\"2\">\r\n      <prop type=\"x-file\">q,1.ZH.txt</prop>\r\n"
      "      <prop type=\"x-line\">2</prop>\r\n"
      "      <tuv xml:lang=\"en\"><seg>go</seg></tuv>\r\n"
      "      <tuv xml:lang=\"zh\"><seg>\xE8\xB5\xB0\t\xE5\x90\xA7</seg></tuv>\r\n"
      "    </tu>\r\n"
      "  </body>\r\n</tmx>\r\n"));
}

TEST(ExportFormatOf, GoesByTheFileNamesExtensionInAnyCase) {
  EXPECT_EQ(ExportFormatOf("/a/hits.CSV"), TExportFormat::Csv);
  EXPECT_EQ(ExportFormatOf("hits.tmx"), TExportFormat::Tmx);
  EXPECT_EQ(ExportFormatOf("hits.Xlsx"), TExportFormat::Xlsx);
  EXPECT_EQ(ExportFormatOf("hits.txt"), TExportFormat::Tsv);
  EXPECT_EQ(ExportFormatOf("hits.xlsx.bak"), TExportFormat::Tsv);
  EXPECT_EQ(ExportFormatOf("old.csv/hits"), TExportFormat::Tsv);  // a folder's extension is not the file's
}

}  // namespace
}  // namespace korvel
