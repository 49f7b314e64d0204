// Translation memories and tab-separated files read into aligned texts.
#include <gtest/gtest.h>

#include <string>

#include "Errors.h"
#include "TestUtil.h"
#include "sources/Source.h"

namespace korvel {
namespace {

using namespace std::string_literals;

TEST(Source, KindByExtensionInAnyCase) {
  EXPECT_EQ(SourceKindOf("/data/memory.TMX"), TSourceKind::Tmx);
  EXPECT_EQ(SourceKindOf("pairs.Tsv"), TSourceKind::Tsv);
  EXPECT_EQ(SourceKindOf("x.tmx.txt"), TSourceKind::Text);
  EXPECT_EQ(SourceKindOf("tmx"), TSourceKind::Text);
  // The folder's name is not the file's.
  EXPECT_EQ(SourceKindOf("/data/in.tsv/part"), TSourceKind::Text);
}

// ---- TMX -------------------------------------------------------------------

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<tmx version=\"1.4\"><header srclang=\"en\" datatype=\"plaintext\"/><body>\n";
const std::string kTail = "</body></tmx>\n";

TSourceText Tmx(const std::string& bytes) {
  test::TempDir dir;
  return ReadTmx(dir.Write("f.tmx", bytes));
}

TEST(Tmx, UnitsGiveAlignedSegments) {
  // A DOCTYPE naming a DTD that is nowhere (it must not be fetched), the
  // language in several spellings and both attributes, a segment across
  // lines, inline code dropped with its content but <hi> text kept,
  // entities, CDATA and a character reference to CR; a unit with no
  // Chinese, one whose English is only blanks, and one that repeats both
  // languages after its first English and Chinese.
  const std::string bytes =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE tmx SYSTEM \"tmx14.dtd\">\n"
      "<tmx version=\"1.4\"><header srclang=\"en\"/><body>\n"
      "<tu><tuv xml:lang=\"EN-US\"><seg> Hello,\n world </seg></tuv>"
      "<tuv xml:lang=\"zh-CN\"><seg>\xE4\xBD\xA0\xE5\xA5\xBD</seg></tuv></tu>\n"
      "<tu><tuv lang=\"en\"><seg>Press <bpt i=\"1\">&lt;b&gt;</bpt>Save<ept i=\"1\">&lt;/b&gt;</ept>"
      "<ph>{0}<sub>note</sub></ph> <it pos=\"begin\">&lt;i&gt;</it>now<ut>\\par</ut>.</seg></tuv>"
      "<tuv xml:lang=\"ZH_tw\"><seg>\xE6\x8C\x89<hi x=\"1\">\xE5\x84\xB2\xE5\xAD\x98</hi></seg></tuv></tu>\n"
      "<tu><tuv xml:lang=\"en\"><seg>only English</seg></tuv><tuv xml:lang=\"fr\"><seg>seulement</seg></tuv></tu>\n"
      "<tu><tuv xml:lang=\"cmn-Hans\" lang=\"fr\"><seg>\xE5\x85\x88</seg></tuv>"
      "<tuv lang=\"de\" xml:lang=\"en-GB\"><seg>Tom &amp; <![CDATA[<Jerry>]]>&#13;&#x41;</seg></tuv>"
      "<tuv xml:lang=\"en\"><seg>second English</seg></tuv><tuv xml:lang=\"zh\"><seg>second</seg></tuv></tu>\n"
      "<tu><tuv xml:lang=\"en\"><seg> \t </seg></tuv><tuv xml:lang=\"zh\"><seg>\xE7\xA9\xBA</seg></tuv></tu>\n"
      "<tu/>\n" +
      kTail;
  const TSourceText got = Tmx(bytes);
  EXPECT_EQ(got.En, "Hello,  world\nPress Save now.\n\nTom & <Jerry> A\n\n\n");
  EXPECT_EQ(got.Zh, "\xE4\xBD\xA0\xE5\xA5\xBD\n\xE6\x8C\x89\xE5\x84\xB2\xE5\xAD\x98\n\n\xE5\x85\x88\n\n\n");
  EXPECT_EQ(got.Units, 6u);
  EXPECT_EQ(got.Skipped, 3u);
}

// UTF-16 with a byte-order mark, as Windows tools write TMX: the bytes are
// the code units below, low byte first, a character outside the BMP (U+20000)
// as a surrogate pair.
TEST(Tmx, EncodingsExpatReadsAndGbkDecodedFirst) {
  const std::u16string units =
      u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<tmx><body><tu>"
      u"<tuv xml:lang=\"en\"><seg>tea</seg></tuv><tuv xml:lang=\"zh\"><seg>\u8336\U00020000</seg></tuv>"
      u"</tu></body></tmx>";
  std::string utf16;
  for (char16_t u : units) {
    utf16 += static_cast<char>(u & 0xFF);
    utf16 += static_cast<char>(u >> 8);
  }
  TSourceText got = Tmx(utf16);
  EXPECT_EQ(got.En, "tea\n");
  EXPECT_EQ(got.Zh, "\xE8\x8C\xB6\xF0\xA0\x80\x80\n");

  // Declared GBK in lower case. C2 A0 would be valid UTF-8 (a no-break
  // space), so only the declaration says it is GBK's 聽 (U+807D).
  got = Tmx("<?xml version='1.0' encoding = 'gbk'?><tmx><body><tu>"
            "<tuv xml:lang=\"en\"><seg>listen</seg></tuv><tuv xml:lang=\"zh\"><seg>\xC2\xA0</seg></tuv>"
            "</tu></body></tmx>");
  EXPECT_EQ(got.En, "listen\n");
  EXPECT_EQ(got.Zh, "\xE8\x81\xBD\n");

  // 你 (C4 E3) 300,000 times from an odd offset: the file passes to the
  // decoder in parts, and every part of an even size splits a character.
  const std::string start =
      "<?xml version=\"1.0\" encoding=\"GB18030\"?><tmx><body><tu ><tuv xml:lang=\"en\"><seg>you</seg></tuv>"
      "<tuv xml:lang=\"zh\"><seg>";
  ASSERT_EQ(start.size() % 2, 1u);
  std::string gbk = start, want;
  for (int i = 0; i < 300000; ++i) {
    gbk += "\xC4\xE3";
    want += "\xE4\xBD\xA0";
  }
  got = Tmx(gbk + "</seg></tuv></tu></body></tmx>");
  EXPECT_TRUE(test::SameBytes(got.Zh, want + "\n"));
  EXPECT_EQ(got.Units, 1u);
}

TEST(Tmx, BadInputRefusedWithItsPlace) {
  test::TempDir dir;
  // </tu> while <tuv> is open: line 2, at the name in </tu>.
  const std::string bad = dir.Write("f.tmx", "<tmx><body>\n<tu><tuv></tu></tuv></body></tmx>\n");
  EXPECT_EQ(test::ErrorOf([&] { ReadTmx(bad); }), "Cannot read \"f.tmx\": line 2, column 12: mismatched tag");
  // A file that stops inside a unit.
  const std::string cut = dir.Write("cut.tmx", kHead + "<tu><tuv xml:lang=\"en\"><seg>a");
  EXPECT_EQ(test::ErrorOf([&] { ReadTmx(cut); }), "Cannot read \"cut.tmx\": line 3, column 30: no element found");
  EXPECT_EQ(test::ErrorOf([&] { ReadTmx(dir.Path("none.tmx")); }),
            "Cannot open file \"" + dir.Path("none.tmx") + "\". No such file or directory");

  // "Billion laughs": ten levels of ten references, 10^9 copies of "lol".
  std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE tmx [\n<!ENTITY l0 \"lol\">\n";
  for (int i = 1; i <= 9; ++i) {
    bomb += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) bomb += "&l" + std::to_string(i - 1) + ";";
    bomb += "\">\n";
  }
  bomb += "]>\n<tmx><body><tu><tuv xml:lang=\"en\"><seg>&l9;</seg></tuv></tu></body></tmx>\n";
  const std::string message = test::ErrorOf([&] { ReadTmx(dir.Write("bomb.tmx", bomb)); });
  EXPECT_EQ(message.rfind("Cannot read \"bomb.tmx\": line ", 0), 0u) << message;
  EXPECT_NE(message.find("amplification"), std::string::npos) << message;
}

// External entities, general and parameter, by absolute and relative name
// (the secret sits beside the file): none is read, the references vanish.
TEST(Tmx, ExternalEntitiesNeverRead) {
  test::TempDir dir;
  dir.Write("secret.txt", "SECRET");
  const std::string bytes = "<?xml version=\"1.0\"?>\n<!DOCTYPE tmx [\n"
                            "<!ENTITY pw SYSTEM \"file:///etc/passwd\">\n"
                            "<!ENTITY near SYSTEM \"secret.txt\">\n"
                            "<!ENTITY far SYSTEM \"file://" +
                            dir.Path("secret.txt") +
                            "\">\n"
                            "<!ENTITY % pe SYSTEM \"secret.txt\"> %pe;\n]>\n"
                            "<tmx><body><tu><tuv xml:lang=\"en\"><seg>a&pw;b&near;c&far;d</seg></tuv>"
                            "<tuv xml:lang=\"zh\"><seg>z</seg></tuv></tu></body></tmx>\n";
  const TSourceText got = ReadTmx(dir.Write("x.tmx", bytes));
  EXPECT_EQ(got.En, "abcd\n");
  EXPECT_EQ(got.Zh, "z\n");
}

// What poll throws ends the read: here from inside the parse, at the
// 4,096th unit, the file being read in one part before that.
TEST(Tmx, PollStopsTheRead) {
  test::TempDir dir;
  std::string bytes = kHead;
  for (int i = 0; i < 5000; ++i) bytes += "<tu/>";
  const std::string path = dir.Write("f.tmx", bytes + kTail);
  int polls = 0;
  EXPECT_THROW(ReadTmx(path, [&] {
    if (++polls == 2) throw EAbort();
  }),
               EAbort);
  EXPECT_EQ(polls, 2);
  EXPECT_EQ(ReadTmx(path).Units, 5000u);
}

// ---- TSV -------------------------------------------------------------------

TSourceText Tsv(const std::string& bytes) {
  test::TempDir dir;
  return ReadTsv(dir.Write("f.tsv", bytes));
}

TEST(Tsv, RecordsAndColumns) {
  // CR LF, a lone CR and LF; a row without its Chinese field, one with an
  // empty English field, an extra column, a NUL, blanks to trim; the last
  // break starts no record.
  TSourceText got = Tsv(" a \t b\r\nonly\r\tzh\nc\0d\te\textra\r\n"s);
  EXPECT_EQ(got.En, "a\n\n\nc d\n");
  EXPECT_EQ(got.Zh, "b\n\n\ne\n");
  EXPECT_EQ(got.Units, 4u);
  EXPECT_EQ(got.Skipped, 2u);

  // A header naming Chinese first, English third: those columns, and the
  // header is no record.
  got = Tsv(" ZH-CN \tnote\tEnglish\n\xE4\xB8\xAD\tx\tmiddle\n");
  EXPECT_EQ(got.En, "middle\n");
  EXPECT_EQ(got.Zh, "\xE4\xB8\xAD\n");
  EXPECT_EQ(got.Units, 1u);

  // A first row naming only one language is data.
  got = Tsv("en\tword\nb\tc");
  EXPECT_EQ(got.En, "en\nb\n");
  EXPECT_EQ(got.Units, 2u);
}

TEST(Tsv, QuotedFields) {
  // Doubled quotes and a tab inside quotes; a CR LF inside quotes becomes
  // one blank; text after a closing quote is kept; quotes inside an
  // unquoted field are literal; a quote left open runs to the end.
  const TSourceText got = Tsv(
      "\"say \"\"hi\"\"\tnow\"\t\"line1\r\nline2\"\n"
      "\"a\"b\tplain \"quoted\" text\n"
      "x\t\"open\tto\nend");
  EXPECT_EQ(got.En, "say \"hi\"\tnow\nab\nx\n");
  EXPECT_EQ(got.Zh, "line1 line2\nplain \"quoted\" text\nopen\tto end\n");
  EXPECT_EQ(got.Units, 3u);
  EXPECT_EQ(got.Skipped, 0u);
}

}  // namespace
}  // namespace korvel
