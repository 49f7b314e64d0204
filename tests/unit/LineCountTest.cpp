#include <gtest/gtest.h>

#include <string>

#include "Errors.h"
#include "FileIO.h"
#include "TestUtil.h"
#include "TextDecode.h"

namespace korvel {
namespace {

using namespace std::string_literals;  // "\0" must survive in literals

// The count must be the number of lines loading gives, whatever the encoding.
struct Sample {
  const char* name;
  std::string bytes;
  std::size_t lines;
};

std::string Utf16LeRun(int units) {
  std::string s;
  for (int i = 0; i < units; ++i) s += "a\0"s;
  return s;
}

const Sample kSamples[] = {
    {"empty", "", 0},
    {"no final break", "a\nb", 2},
    {"empty lines count", "\n\n", 2},
    {"CR, CR LF and LF", "a\r\nb\rc\n", 3},
    {"CR then CR LF", "\r\r\n", 2},
    {"UTF-8 mark alone is no line", "\xEF\xBB\xBF", 0},
    {"UTF-8 mark then text", "\xEF\xBB\xBF" "a\nb", 2},
    // 中文 in GBK, then CR LF: GB18030 bytes never hold a CR or LF.
    {"GBK", "\xD6\xD0\xCE\xC4\r\n\xD6\xD0\r\n", 2},
    // U+0D0A as UTF-16 LE is the bytes LF CR: one character, no break.
    {"UTF-16 LE unit whose bytes are LF CR", "\xFF\xFE" "\x0A\x0D" "\r\0\n\0" "b\0"s, 2},
    {"UTF-16 BE", "\xFE\xFF" "\0a\0\r\0b\0\n"s, 2},
    // Without a mark, told by the zero bytes of the first 64; an odd last
    // byte becomes U+FFFD, which opens a line of its own.
    {"UTF-16 LE without mark, odd end", Utf16LeRun(40) + "\n\0"s + "x", 2},
};

TEST(LineCount, EqualsTheLinesLoadingGives) {
  test::TempDir dir;
  for (const Sample& s : kSamples) {
    SCOPED_TRACE(s.name);
    ASSERT_EQ(SplitLines(DecodeText(s.bytes)).size(), s.lines);
    TLineCounter whole;
    whole.Add(s.bytes);
    EXPECT_EQ(whole.Lines(), s.lines);
    // Byte by byte: a CR LF, a UTF-16 unit and the head all split across parts.
    TLineCounter bytewise;
    for (char c : s.bytes) bytewise.Add(std::string_view(&c, 1));
    EXPECT_EQ(bytewise.Lines(), s.lines);
    EXPECT_EQ(CountTextLines(dir.Write("f.txt", s.bytes)), s.lines);
  }
}

TEST(LineCount, FileReadInPartsAndFailures) {
  test::TempDir dir;
  // The CR ends the first 1 MiB read and its LF starts the next.
  const std::string path = dir.Write("big.txt", std::string((1u << 20) - 1, 'a') + "\r\nb");
  EXPECT_EQ(CountTextLines(path), 2u);
  EXPECT_THROW(CountTextLines(path, [] { throw EAbort(); }), EAbort);
  try {
    CountTextLines(dir.Path("missing.txt"));
    FAIL();
  } catch (const EKorvel& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + dir.Path("missing.txt") + "\".", 0), 0u);
  }
}

}  // namespace
}  // namespace korvel
