// Translation memories and tab-separated files: any bytes, read as either,
// give two texts of one line per unit, trimmed valid UTF-8 with no CR or
// NUL, or (TMX only) the "Cannot read" message with its place.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Errors.h"
#include "FuzzUtil.h"
#include "TextDecode.h"
#include "sources/Source.h"

using namespace korvel;
using korvel::fuzz::Show;

namespace {

std::size_t Count(std::string_view text, char c) {
  std::size_t n = 0;
  for (char x : text) n += x == c;
  return n;
}

void CheckTexts(const TSourceText& got, std::string_view input) {
  KORVEL_CHECK(got.Skipped <= got.Units, Show(input));
  KORVEL_CHECK(Count(got.En, '\n') == got.Units && Count(got.Zh, '\n') == got.Units, Show(input));
  KORVEL_CHECK(got.En.empty() || got.En.back() == '\n', Show(input));
  KORVEL_CHECK(got.Zh.empty() || got.Zh.back() == '\n', Show(input));
  KORVEL_CHECK(IsValidUtf8(got.En) && IsValidUtf8(got.Zh), Show(input));
  KORVEL_CHECK(Count(got.En, '\r') + Count(got.Zh, '\r') + Count(got.En, '\0') + Count(got.Zh, '\0') == 0,
               Show(input));
  // Line by line: both empty (a skipped unit) or both trimmed and not empty.
  const auto en = SplitLines(got.En), zh = SplitLines(got.Zh);
  KORVEL_CHECK(en.size() == zh.size(), Show(input));
  std::size_t empty = 0;
  for (std::size_t i = 0; i < en.size(); ++i) {
    KORVEL_CHECK(en[i].empty() == zh[i].empty(), "line " + std::to_string(i) + " of " + Show(input));
    empty += en[i].empty();
    for (std::string_view line : {en[i], zh[i]})
      KORVEL_CHECK(line.empty() || (static_cast<unsigned char>(line.front()) > 32 &&
                                    static_cast<unsigned char>(line.back()) > 32),
                   Show(line) + " from " + Show(input));
  }
  KORVEL_CHECK(empty == got.Skipped, Show(input));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fuzz::TScratch& scratch = fuzz::TScratch::Get();

  try {
    CheckTexts(ReadTmx(scratch.Write("f.tmx", bytes)), bytes);
  } catch (const EKorvel& e) {
    const std::string_view message = e.what();
    KORVEL_CHECK(message.substr(0, 26) == "Cannot read \"f.tmx\": line ", std::string(message));
  }

  const TSourceText tsv = ReadTsv(scratch.Write("f.tsv", bytes));
  CheckTexts(tsv, bytes);
  // Without quotes every line is a record, but a header.
  const std::string text = DecodeText(std::string(bytes));
  if (text.find('"') == std::string::npos) {
    const std::size_t lines = SplitLines(text).size();
    KORVEL_CHECK(tsv.Units == lines || tsv.Units + 1 == lines, Show(bytes));
  }
  return 0;
}
