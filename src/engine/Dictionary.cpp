#include "Dictionary.h"

#include <algorithm>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "TextDecode.h"

namespace korvel {

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const int32_t n = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < n;) {
    if (s[i] < 0x80) {
      char c = static_cast<char>(s[i++]);
      out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
      continue;
    }
    int32_t start = i;
    UChar32 cp = 0;
    U8_NEXT(s, i, n, cp);
    if (cp < 0) {
      out.append(text.substr(start, i - start));
      continue;
    }
    UChar32 upper = u_toupper(cp);
    char buf[4];
    int32_t len = 0;
    U8_APPEND_UNSAFE(reinterpret_cast<uint8_t*>(buf), len, upper);
    out.append(buf, len);
  }
  return out;
}

void TDictionary::Clear() {
  lines_.clear();
  index_.clear();
}

void TDictionary::Assign(std::string_view text) {
  Clear();
  // Sized once: growing a table of a hundred thousand names costs more than
  // filling it.
  const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  lines_.reserve(lines);
  index_.reserve(lines);
  ForEachLine(text, [&](std::string_view line) {
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      lines_.push_back({std::string(line), std::string()});
      return;
    }
    lines_.push_back({std::string(line.substr(0, eq)), std::string(line.substr(eq + 1))});
    index_[FoldCase(lines_.back().name)] = lines_.size() - 1;  // later lines win
  });
}

const std::string* TDictionary::Find(std::string_view name) const {
  auto it = index_.find(FoldCase(name));
  return it == index_.end() ? nullptr : &lines_[it->second].value;
}

}  // namespace korvel
