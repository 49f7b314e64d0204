// The literal scan against the obvious search it replaces: position by
// position, every string compared with ASCII case folded.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "LiteralScan.h"

namespace korvel {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::size_t NaiveFind(const std::vector<std::string>& strings, std::string_view text, std::size_t from) {
  for (std::size_t p = from; p < text.size(); ++p)
    for (const std::string& s : strings) {
      if (s.size() > text.size() - p) continue;
      std::size_t k = 0;
      while (k < s.size() && Lower(text[p + k]) == Lower(s[k])) ++k;
      if (k == s.size()) return p;
    }
  return kNone;
}

std::string Alternation(const std::vector<std::string>& strings) {
  std::string p;
  for (const std::string& s : strings) p += (p.empty() ? "" : "|") + s;
  return p;
}

// Few letters, so strings occur often and share prefixes; upper case to test
// the folding; the bytes of 工 (E5 B7 A5) and 作 (E4 BD 9C), whose low
// nibbles collide with letters' in the fingerprint tables; and lengths from
// nothing to a few vector blocks, so matches fall on every block edge and in
// the tail the vector loop leaves.
TEST(LiteralScan, FindsWhatAPositionByPositionSearchFinds) {
  std::mt19937 random(11);
  const std::string alphabet = "abcEUwork \n";
  const std::vector<std::string> cjk = {"工", "作"};
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> strings(1 + pick(round % 2 ? 20 : 4));
    for (std::string& s : strings) {
      for (std::size_t len = 1 + pick(4); s.size() < len;)
        s += pick(5) == 0 ? cjk[pick(2)] : std::string(1, alphabet[pick(alphabet.size() - 2)]);
    }
    std::string text;
    for (std::size_t len = pick(150); text.size() < len;) {
      text += pick(8) == 0 ? cjk[pick(2)] : std::string(1, alphabet[pick(alphabet.size())]);
      if (pick(30) == 0) text += strings[pick(strings.size())];
    }
    SCOPED_TRACE(Alternation(strings) + " in \"" + text + "\"");
    auto scan = TLiteralScan::FromPattern(Alternation(strings));
    ASSERT_TRUE(scan);
    for (bool vectors : {true, false}) {
      scan->SetVectors(vectors);
      for (std::size_t from = 0; from <= text.size(); from += 1 + pick(7))
        ASSERT_EQ(scan->Find(text, from), NaiveFind(strings, text, from)) << "from " << from << ", vectors " << vectors;
    }
  }
}

TEST(LiteralScan, TakesOnlyExpressionsEveryMatchOfWhichHoldsOneOfItsStrings) {
  for (const char* p : {"work", "\\b(give up)\\b", "\\b((gives|gave|give) up)\\b", "发展|经济", "a\\.b", "^(?:x|y)z$"})
    EXPECT_TRUE(TLiteralScan::FromPattern(p)) << p;
  // Optional or repeated parts, classes, an empty alternative, letters
  // other than ASCII (which fold beyond bytes), escapes standing for classes.
  for (const char* p : {"colou?r", "a+", "[ab]c", "a|", "Émile", "\\d1", "a.c", "(?i)a"})
    EXPECT_FALSE(TLiteralScan::FromPattern(p)) << p;
}

}  // namespace
}  // namespace korvel
