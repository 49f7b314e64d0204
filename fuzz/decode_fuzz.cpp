// File decoding and line splitting: any bytes decode to valid UTF-8, the two
// line splitters agree, and decoding never moves or adds a line break.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzUtil.h"
#include "TextDecode.h"

using namespace korvel;
using korvel::fuzz::Show;

namespace {

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

// The line break that follows `line` (a view into `text`), or "".
std::string_view BreakAfter(std::string_view text, std::string_view line) {
  const std::string_view rest = text.substr(static_cast<std::size_t>(line.data() - text.data()) + line.size());
  if (rest.substr(0, 2) == "\r\n") return rest.substr(0, 2);
  return !rest.empty() && IsBreak(rest[0]) ? rest.substr(0, 1) : std::string_view();
}

// Length of the well-formed sequence at text[i] by RFC 3629 table 3-7,
// written out apart from the engine's validators; 0 when there is none.
std::size_t WellFormed(std::string_view text, std::size_t i) {
  auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  auto in = [&](std::size_t k, unsigned lo, unsigned hi) { return k < text.size() && at(k) >= lo && at(k) <= hi; };
  const unsigned c = at(i);
  if (c <= 0x7F) return 1;
  if (c >= 0xC2 && c <= 0xDF) return in(i + 1, 0x80, 0xBF) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    const unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    return in(i + 1, lo, hi) && in(i + 2, 0x80, 0xBF) ? 3 : 0;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    const unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    return in(i + 1, lo, hi) && in(i + 2, 0x80, 0xBF) && in(i + 3, 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}

bool ReferenceValid(std::string_view text) {
  for (std::size_t i = 0, n; i < text.size(); i += n)
    if ((n = WellFormed(text, i)) == 0) return false;
  return true;
}

std::string ReferenceSanitize(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = WellFormed(text, i);
    out.append(n ? text.substr(i, n) : std::string_view("\xEF\xBF\xBD"));
    i += n ? n : 1;
  }
  return out;
}

// The lines must be views into `text`, in order, and the text must be
// exactly the lines joined by single breaks (CR, LF or CR LF), a break after
// the last one being optional.
std::vector<std::string_view> CheckedLines(std::string_view text) {
  const std::vector<std::string_view> lines = SplitLines(text);
  TLineReader reader(text);
  std::size_t k = 0;
  for (std::string_view line; reader.Next(line); ++k) {
    KORVEL_CHECK(k < lines.size() && line.data() == lines[k].data() && line.size() == lines[k].size(),
                 "line " + std::to_string(k) + " of " + Show(text));
  }
  KORVEL_CHECK(k == lines.size(), Show(text));

  std::size_t at = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    KORVEL_CHECK(line.data() == text.data() + at, "line " + std::to_string(i) + " of " + Show(text));
    KORVEL_CHECK(line.find_first_of("\r\n") == std::string_view::npos, Show(line));
    at += line.size();
    const std::size_t brk = BreakAfter(text, line).size();
    KORVEL_CHECK(brk > 0 || at == text.size(), "no break after line " + std::to_string(i) + " of " + Show(text));
    at += brk;
  }
  KORVEL_CHECK(at == text.size(), "text left after the last line of " + Show(text));
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  const std::string text = DecodeText(bytes);
  KORVEL_CHECK(IsValidUtf8(text), Show(bytes) + " -> " + Show(text));
  if (IsPlainUtf8(bytes)) KORVEL_CHECK(text == bytes, Show(bytes) + " -> " + Show(text));

  // The validator reads sixteen bytes at a time where it can: try every
  // alignment of the text against the blocks.
  for (std::size_t skip = 0; skip < 16 && skip <= bytes.size(); ++skip) {
    const std::string_view part = std::string_view(bytes).substr(skip);
    KORVEL_CHECK(IsValidUtf8(part) == ReferenceValid(part), "from byte " + std::to_string(skip) + " of " + Show(bytes));
  }
  const std::string clean = SanitizeUtf8(bytes);
  KORVEL_CHECK(clean == ReferenceSanitize(bytes), Show(bytes) + " -> " + Show(clean));

  const std::vector<std::string_view> rawLines = CheckedLines(bytes);
  const std::vector<std::string_view> lines = CheckedLines(text);

  // Text that cannot be UTF-16 (no byte-order mark, no NUL near the start)
  // is decoded line by line: the lines and their breaks stay where they
  // were, and a line that was valid UTF-8 comes through unchanged. After a
  // UTF-8 byte-order mark, UTF-16 is never guessed.
  std::string_view body(bytes);
  bool lineByLine = true;
  if (body.substr(0, 3) == "\xEF\xBB\xBF")
    body.remove_prefix(3);
  else if (body.substr(0, 2) == "\xFF\xFE" || body.substr(0, 2) == "\xFE\xFF" ||
           body.substr(0, 64).find('\0') != std::string_view::npos)
    lineByLine = false;
  if (lineByLine) {
    const std::vector<std::string_view> bodyLines = body.size() == bytes.size() ? rawLines : SplitLines(body);
    KORVEL_CHECK(bodyLines.size() == lines.size(), Show(bytes) + " -> " + Show(text));
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (IsValidUtf8(bodyLines[i]))
        KORVEL_CHECK(bodyLines[i] == lines[i], "line " + std::to_string(i) + " of " + Show(bytes));
      KORVEL_CHECK(BreakAfter(body, bodyLines[i]) == BreakAfter(text, lines[i]),
                   "break after line " + std::to_string(i) + " of " + Show(bytes));
    }
  }
  return 0;
}
