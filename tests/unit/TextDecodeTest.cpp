#include "TextDecode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvel {
namespace {

using namespace std::string_literals;  // "\0" must survive in literals

const std::string kZhong = "\xE4\xB8\xAD";  // 中 in UTF-8
const std::string kWen = "\xE6\x96\x87";    // 文
const std::string kFffd = "\xEF\xBF\xBD";

TEST(TextDecode, Utf8KeptAndBomDropped) {
  EXPECT_EQ(DecodeText("a" + kZhong + "\n"), "a" + kZhong + "\n");
  EXPECT_EQ(DecodeText("\xEF\xBB\xBF" + kZhong), kZhong);
  EXPECT_EQ(DecodeText("\xEF\xBB\xBF"), "");
}

TEST(TextDecode, Utf16WithBom) {
  // "a中" then U+20000 as the pair D840 DC00, in both byte orders.
  EXPECT_EQ(DecodeText("\xFF\xFE" "a\0\x2D\x4E\x40\xD8\x00\xDC"s),
            "a" + kZhong + "\xF0\xA0\x80\x80");
  EXPECT_EQ(DecodeText("\xFE\xFF" "\0a\x4E\x2D\xD8\x40\xDC\x00"s),
            "a" + kZhong + "\xF0\xA0\x80\x80");
  // A NUL unit stays; lone surrogates and an odd last byte do not vanish.
  EXPECT_EQ(DecodeText("\xFF\xFE" "\0\0\x00\xDC" "b\0" "\x40\xD8" "c"s),
            "\0"s + kFffd + "b" + kFffd + kFffd);
}

TEST(TextDecode, Utf16LeWithoutBom) {
  // "ab\r\n" with the zero high bytes that give it away.
  EXPECT_EQ(DecodeText("a\0b\0\r\0\n\0"s), "ab\r\n");
  EXPECT_EQ(DecodeText("\0a\0b"s), "ab");
  // Only the start is sniffed: CJK units later have no zero byte.
  std::string le;
  for (int i = 0; i < 40; ++i) le += "a\0"s;
  EXPECT_EQ(DecodeText(le + "\x2D\x4E"), std::string(40, 'a') + kZhong);
  // Too short to judge, or zero throughout: taken as they are.
  EXPECT_EQ(DecodeText("a\0b"s), "a\0b"s);
  EXPECT_EQ(DecodeText(std::string(8, '\0')), std::string(8, '\0'));
}

TEST(TextDecode, GbkLines) {
  const std::string gbk = "\xD6\xD0\xCE\xC4";  // 中文 in GBK, invalid as UTF-8
  EXPECT_EQ(DecodeText(gbk), kZhong + kWen);
  // Each line is judged apart; CR-only and CR LF ends are copied through.
  EXPECT_EQ(DecodeText(kZhong + "\r" + gbk + "\r\n\r\n" + kWen + "\n" + gbk),
            kZhong + "\r" + kZhong + kWen + "\r\n\r\n" + kWen + "\n" + kZhong + kWen);
}

TEST(TextDecode, BadBytesBecomeReplacement) {
  // 0xFF is no GB18030 byte; a lead byte cut off by the line end is neither.
  EXPECT_EQ(DecodeText("x\xFFy\n\xD6\nnext"), "x" + kFffd + "y\n" + kFffd + "\nnext");
}

TEST(TextDecode, NulBytesKept) {
  // Past the 64 bytes that are sniffed for UTF-16, on both decode paths.
  const std::string pad(70, 'a');
  const std::string with_nul = pad + "\0z"s;
  EXPECT_EQ(DecodeText(with_nul), with_nul);
  EXPECT_EQ(DecodeText(with_nul + "\n\xD6\xD0\0"s), with_nul + "\n" + kZhong + "\0"s);
}

// The validator reads sixteen bytes at a time where the processor allows;
// compared here with a plain reading of the UTF-8 rules (overlong forms,
// surrogates, past U+10FFFF, truncated) on text cut across block
// boundaries at every kind of fault.
bool ReferenceValid(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t len = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (!len || i + len > s.size()) return false;
    char32_t cp = len == 1 ? c : c & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

TEST(TextDecode, BlockValidatorAgreesWithTheRulesEverywhere) {
  const char* pieces[] = {"a", "abcdefghijklmno", "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\xA0\x80\x80", "\xED\x9F\xBF",
                          "\x80", "\xC0\xAF", "\xE0\x9F\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5", "\xE4\xB8"};
  unsigned seed = 7;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int t = 0; t < 100000; ++t) {
    std::string s;
    const std::size_t len = next() % 70;
    const unsigned faults = 1 + next() % 30;  // how rarely a faulty piece comes
    while (s.size() < len) s += pieces[next() % faults == 0 ? 6 + next() % 7 : next() % 6];
    ASSERT_EQ(IsValidUtf8(s), ReferenceValid(s)) << testing::PrintToString(s);
  }
}

TEST(TextDecode, SanitizeUtf8) {
  EXPECT_EQ(SanitizeUtf8("r\xFFport" + kZhong + ".txt"), "r" + kFffd + "port" + kZhong + ".txt");
  // Each byte of a broken sequence is replaced on its own.
  EXPECT_EQ(SanitizeUtf8("\xE4\xB8" "a"), kFffd + kFffd + "a");
}

TEST(TextDecode, SplitLines) {
  using V = std::vector<std::string_view>;
  EXPECT_EQ(SplitLines(""), V{});
  EXPECT_EQ(SplitLines("\n"), V{""});
  EXPECT_EQ(SplitLines("a\n\nb"), (V{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\r\nb\rc\n"), (V{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\n\r"), (V{"a", ""}));  // LF CR is two breaks
}

}  // namespace
}  // namespace korvel
