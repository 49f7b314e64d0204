// Expressions: compiling random patterns, matching random text, and filling
// templates. Input: one flag byte, then pattern, text and template separated
// by 0xFF bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzUtil.h"
#include "RegExpr.h"
#include "TextDecode.h"

using namespace korvel;
using korvel::fuzz::Show;

namespace {

struct TMatch {
  std::size_t b, e;
};

bool IsBoundary(std::string_view text, std::size_t at) {
  return at == text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
}

std::vector<TMatch> Matches(const TRegExpr& re, std::string_view text) {
  std::vector<TMatch> found;
  re.ForEachMatch(text, [&](std::size_t b, std::size_t e) {
    auto where = [&] {
      return Show(re.Expression()) + " on " + Show(text) + " at " + std::to_string(b) + ".." + std::to_string(e);
    };
    KORVEL_CHECK(b <= e && e <= text.size(), where());
    // Left to right without overlap, and never the same empty match twice.
    if (!found.empty()) {
      const TMatch& last = found.back();
      KORVEL_CHECK(b >= last.e && (last.b < last.e || b > last.b), where());
    }
    found.push_back({b, e});
  });
  return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool caseless = data[0] & 1;
  const std::vector<std::string_view> parts =
      korvel::fuzz::SplitParts(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), 3);
  const std::string_view pattern = parts[0], text = parts[1], tmpl = parts[2];
  auto where = [&] { return Show(pattern) + " on " + Show(text); };

  try {
    const TRegExpr re(pattern, caseless);
    const std::vector<TMatch> found = Matches(re, text);

    if (IsValidUtf8(text))
      for (const TMatch& m : found)
        KORVEL_CHECK(IsBoundary(text, m.b) && IsBoundary(text, m.e), where() + " at " + std::to_string(m.b));
    KORVEL_CHECK(re.Exec(text) == !found.empty(), where());

    // A copy shares the compiled code but not the match state.
    const TRegExpr copy(re);
    KORVEL_CHECK(copy.Exec(text) == !found.empty(), where());

    KORVEL_CHECK(re.Replace(text, "$0") == text, where());
    KORVEL_CHECK(re.Replace(text, "${0}") == text, where());
    KORVEL_CHECK(re.Replace(text, "$&") == text, where());

    // A template without "$" or "\" is copied as it is over each match.
    const std::string literal = "<" + std::to_string(found.size()) + ">";
    const std::string replaced = re.Replace(text, literal);
    std::size_t removed = 0;
    for (const TMatch& m : found) removed += m.e - m.b;
    KORVEL_CHECK(replaced.size() == text.size() - removed + found.size() * literal.size(), where());

    const std::string filled = re.Replace(text, tmpl);
    if (IsValidUtf8(text) && IsValidUtf8(tmpl))
      KORVEL_CHECK(IsValidUtf8(filled), where() + " with " + Show(tmpl) + " -> " + Show(filled));
  } catch (const ERegExpr&) {
    // A bad expression, or a match that ran into its step or depth limit.
  }
  return 0;
}
