// Text decoding: whatever bytes a corpus, dictionary or template file holds,
// the engine gets valid UTF-8 back. Stateless; safe from any thread.
#ifndef KORVEL_TEXTDECODE_H
#define KORVEL_TEXTDECODE_H

#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// Decodes a whole file. A UTF-8 byte-order mark is dropped; UTF-16 LE/BE with
// a byte-order mark, or without one when NUL bytes fill every other position
// at the start, is converted; a file that is valid UTF-8 as a whole is taken
// as it is; otherwise each line (bytes up to CR/LF) is decided on its own:
// valid UTF-8 stays, anything else is read as GB18030. Bytes no encoding
// explains become U+FFFD. NUL bytes are kept. Line ends are kept as they are.
std::string DecodeText(std::string bytes);

bool IsValidUtf8(std::string_view text);

// Each byte that does not belong to a valid UTF-8 sequence becomes U+FFFD.
std::string SanitizeUtf8(std::string_view text);

// Lines ending at CR, LF or CR LF; a line break at the very end adds no empty
// line. The views point into `text`.
std::vector<std::string_view> SplitLines(std::string_view text);

// Calls f(line) for each line by the same rule, without allocating.
template <class F>
void ForEachLine(std::string_view text, F&& f) {
  std::size_t pos = 0;
  const std::size_t n = text.size();
  while (pos < n) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      f(text.substr(pos));
      return;
    }
    f(text.substr(pos, end - pos));
    pos = end + ((text[end] == '\r' && end + 1 < n && text[end + 1] == '\n') ? 2 : 1);
  }
}

}  // namespace korvel

#endif
