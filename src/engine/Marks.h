// Helpers shared by the result page and the export (engine-internal).
#ifndef KORVEL_MARKS_H
#define KORVEL_MARKS_H

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

}  // namespace korvel

#endif
