// UTF-8 steps shared by the pattern layer and the engine: the length and
// code point of one character, and character counts. Bytes that do not form
// a valid sequence count as one character each. Stateless.
#ifndef KORVEL_UTF8_H
#define KORVEL_UTF8_H

#include <cstddef>
#include <string_view>

namespace korvel::utf8 {

// Bytes of the character at `at`: 1 for ASCII and for a byte that starts no
// valid sequence.
inline std::size_t CharLength(std::string_view text, std::size_t at) {
  const auto c = static_cast<unsigned char>(text[at]);
  std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
  if (at + len > text.size()) return 1;
  for (std::size_t k = 1; k < len; ++k)
    if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 1;
  return len;
}

// The code point at `at` and its length; a byte that starts no valid
// sequence gives itself (0x80..0xFF) with length 1.
inline char32_t Decode(std::string_view text, std::size_t at, std::size_t& length) {
  length = CharLength(text, at);
  const auto c = static_cast<unsigned char>(text[at]);
  if (length == 1) return c;
  char32_t cp = c & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
  return cp;
}

// Characters that begin in the first `bytes` bytes of the text.
inline std::size_t CharCount(std::string_view text, std::size_t bytes = std::string_view::npos) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < bytes && i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++count;
  return count;
}

}  // namespace korvel::utf8

#endif
