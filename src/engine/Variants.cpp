#include "Variants.h"

#include <algorithm>
#include <iterator>

#include "Utf8.h"

namespace korvel {

namespace {

#include "VariantTable.inc"

static_assert(std::size(kVariantStart) == std::size(kVariantKeys) + 1);

void Append(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The end of the item at `at` that a backslash begins: the escaped
// character and, for \x{..}, \p{..}, \N{..}, \o{..}, \g{..} and the like, its
// braces; \Q runs to \E.
std::size_t EscapeEnd(std::string_view e, std::size_t at) {
  std::size_t i = at + 1;
  if (i >= e.size()) return e.size();
  if (e[i] == 'Q') {
    const std::size_t end = e.find("\\E", i + 1);
    return end == std::string_view::npos ? e.size() : end + 2;
  }
  i += utf8::CharLength(e, i);
  // \pL takes one letter; \p{..} and the others a braced name.
  if ((e[at + 1] == 'p' || e[at + 1] == 'P') && i < e.size() && e[i] != '{') return i + utf8::CharLength(e, i);
  if (i < e.size() && e[i] == '{' && std::string_view("xopPNgk").find(e[at + 1]) != std::string_view::npos) {
    const std::size_t close = e.find('}', i);
    return close == std::string_view::npos ? e.size() : close + 1;
  }
  return i;
}

// The end of one item in a class at `at`: a character, an escape or a POSIX
// class such as [:alpha:].
std::size_t ClassItemEnd(std::string_view e, std::size_t at) {
  if (e[at] == '\\') return EscapeEnd(e, at);
  if (e[at] == '[' && at + 1 < e.size() && (e[at + 1] == ':' || e[at + 1] == '.' || e[at + 1] == '=')) {
    // As PCRE reads it: a "]" on the way means no POSIX class.
    const std::size_t close = e.find(std::string{e[at + 1], ']'}, at + 2);
    if (close != std::string_view::npos && e.substr(at + 2, close - at - 2).find(']') == std::string_view::npos)
      return close + 2;
  }
  return at + utf8::CharLength(e, at);
}

}  // namespace

std::u32string_view VariantsOf(char32_t c) {
  const auto key = std::lower_bound(std::begin(kVariantKeys), std::end(kVariantKeys), c);
  if (key == std::end(kVariantKeys) || *key != c) return {};
  const std::size_t k = static_cast<std::size_t>(key - std::begin(kVariantKeys));
  return {kVariantPool + kVariantStart[k], static_cast<std::size_t>(kVariantStart[k + 1] - kVariantStart[k])};
}

std::string ExpandVariants(std::string_view e) {
  std::string out;
  out.reserve(e.size() * 2);
  std::size_t i = 0;
  while (i < e.size()) {
    if (e[i] == '\\') {
      const std::size_t end = EscapeEnd(e, i);
      out.append(e, i, end - i);
      i = end;
    } else if (e[i] == '[') {
      // A class: "]" right after "[" or "[^" is one of its characters.
      std::size_t j = i + 1;
      if (j < e.size() && e[j] == '^') ++j;
      bool first = true;
      out.append(e, i, j - i);
      while (j < e.size() && (first || e[j] != ']')) {
        first = false;
        const std::size_t end = ClassItemEnd(e, j);
        const bool range = end + 1 < e.size() && e[end] == '-' && e[end + 1] != ']';
        out.append(e, j, end - j);
        if (range) {
          const std::size_t last = ClassItemEnd(e, end + 1);
          out.append(e, end, last - end);
          j = last;
          continue;
        }
        if (end - j > 1 && e[j] != '\\' && e[j] != '[') {
          std::size_t len = 0;
          for (char32_t v : VariantsOf(utf8::Decode(e, j, len))) Append(out, v);
        }
        j = end;
      }
      if (j < e.size()) out += e[j++];  // the closing "]"
      i = j;
    } else {
      std::size_t len = 0;
      const char32_t c = utf8::Decode(e, i, len);
      const std::u32string_view variants = VariantsOf(c);
      if (variants.empty()) {
        out.append(e, i, len);
      } else {
        out += '[';
        out.append(e, i, len);
        for (char32_t v : variants) Append(out, v);
        out += ']';
      }
      i += len;
    }
  }
  return out;
}

std::vector<std::string> VariantSpellings(std::string_view text, std::size_t limit) {
  std::vector<std::string> spellings = {""};
  for (std::size_t i = 0, len = 0; i < text.size(); i += len) {
    const char32_t c = utf8::Decode(text, i, len);
    const std::u32string_view others = VariantsOf(c);
    std::vector<std::string> longer;
    for (const std::string& s : spellings)
      for (std::size_t k = 0; k <= others.size() && longer.size() < limit; ++k) {
        longer.push_back(s);
        if (k == 0)
          longer.back().append(text.substr(i, len));  // the character as typed, even if not valid UTF-8
        else
          Append(longer.back(), others[k - 1]);
      }
    spellings = std::move(longer);
  }
  return spellings;
}

}  // namespace korvel
