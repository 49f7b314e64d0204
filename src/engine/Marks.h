// Helpers shared by the result page and the export (engine-internal).
#ifndef KORVEL_MARKS_H
#define KORVEL_MARKS_H

#include <array>
#include <cstring>
#include <string>
#include <string_view>

namespace korvel {

// Calls f(begin, end) for each occurrence of `needle` in `text`, left to
// right without overlap, compared byte for byte. Both are valid UTF-8, so an
// occurrence always starts and ends on character boundaries.
template <class F>
void ForEachLiteral(std::string_view text, std::string_view needle, F&& f) {
  if (needle.empty()) return;
  for (std::size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + needle.size()))
    f(at, at + needle.size());
}

// Calls text(piece) for the runs of `text` between the bytes of `set` (up
// to eight) and byte(c) for each such byte, in order. One memchr stream per
// byte of the set: several times faster than a byte loop on long lines.
template <class T, class B>
void SplitAtBytes(std::string_view text, std::string_view set, T&& piece, B&& byte) {
  const char* p = text.data();
  const char* const end = p + text.size();
  auto next = [end](char c, const char* from) {
    const void* at = std::memchr(from, c, static_cast<std::size_t>(end - from));
    return at ? static_cast<const char*>(at) : end;
  };
  std::array<const char*, 8> at{};
  const std::size_t n = set.size() < at.size() ? set.size() : at.size();
  for (std::size_t k = 0; k < n; ++k) at[k] = next(set[k], p);
  for (;;) {
    std::size_t first = 0;
    for (std::size_t k = 1; k < n; ++k)
      if (at[k] < at[first]) first = k;
    const char* const hit = n ? at[first] : end;
    piece(std::string_view(p, static_cast<std::size_t>(hit - p)));
    if (hit == end) return;
    byte(*hit);
    p = hit + 1;
    at[first] = next(set[first], p);
  }
}

}  // namespace korvel

#endif
