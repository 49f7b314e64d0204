#include "LiteralScan.h"

#include <algorithm>
#include <cstring>

namespace korvel {
namespace {

constexpr std::size_t kMaxStrings = 64;
constexpr std::size_t kNone = std::string_view::npos;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool IsLetter(char c) { return (Lower(c) >= 'a' && Lower(c) <= 'z'); }

// How often a byte turns up in mixed English and Chinese text, roughly: the
// scan anchors each string on its rarest byte.
int Commonness(unsigned char c) {
  static const char* kByFrequency = " etaoinshrdlcumwfgypbvkjxqz";
  if (c >= 0x80) return c >= 0xE0 ? 40 : 12;  // lead bytes of CJK are everywhere
  const char* at = std::strchr(kByFrequency, Lower(static_cast<char>(c)));
  if (c && at) return 60 - static_cast<int>(at - kByFrequency) * 2;
  return 8;
}

// Letters other than ASCII fold under the matcher too (É/é), which a byte
// comparison cannot follow; CJK text has no case.
bool CaseFree(char32_t cp) {
  return cp < 0x80 || (cp >= 0x3000 && cp <= 0x9FFF) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0x20000 && cp <= 0x3FFFF);
}

// A tiny parser for the literal subset; any other syntax gives up.
class Expander {
 public:
  explicit Expander(std::string_view p) : p_(p) {}

  std::optional<std::vector<std::string>> Run() {
    auto result = Alternation();
    if (!result || pos_ != p_.size()) return std::nullopt;
    return result;
  }

 private:
  std::optional<std::vector<std::string>> Alternation() {
    std::vector<std::string> all;
    for (;;) {
      auto seq = Sequence();
      if (!seq) return std::nullopt;
      all.insert(all.end(), seq->begin(), seq->end());
      if (all.size() > kMaxStrings) return std::nullopt;
      if (pos_ < p_.size() && p_[pos_] == '|') {
        ++pos_;
        continue;
      }
      return all;
    }
  }

  std::optional<std::vector<std::string>> Sequence() {
    std::vector<std::string> strings{""};
    while (pos_ < p_.size() && p_[pos_] != '|' && p_[pos_] != ')') {
      const char c = p_[pos_];
      std::vector<std::string> item;
      if (c == '(') {
        ++pos_;
        if (p_.substr(pos_, 2) == "?:") pos_ += 2;
        else if (pos_ < p_.size() && (p_[pos_] == '?' || p_[pos_] == '*')) return std::nullopt;
        auto inner = Alternation();
        if (!inner || pos_ >= p_.size() || p_[pos_] != ')') return std::nullopt;
        ++pos_;
        item = std::move(*inner);
      } else if (c == '\\') {
        if (pos_ + 1 >= p_.size()) return std::nullopt;
        const char e = p_[pos_ + 1];
        pos_ += 2;
        if (e == 'b' || e == 'B' || e == 'A' || e == 'Z' || e == 'z') continue;  // zero-width
        if ((e >= 'a' && e <= 'z') || (e >= 'A' && e <= 'Z') || (e >= '0' && e <= '9') ||
            static_cast<unsigned char>(e) >= 0x80)
          return std::nullopt;
        item = {std::string(1, e)};
      } else if (c == '^' || c == '$') {
        ++pos_;
        continue;
      } else if (std::strchr("[]{}.*+?", c)) {
        return std::nullopt;
      } else {
        const std::size_t len = CharLength(pos_);
        if (!len) return std::nullopt;
        item = {std::string(p_.substr(pos_, len))};
        pos_ += len;
      }
      // A quantifier after the item makes it optional or repeated.
      if (pos_ < p_.size() && std::strchr("*+?{", p_[pos_])) return std::nullopt;
      std::vector<std::string> product;
      for (const std::string& s : strings)
        for (const std::string& t : item) product.push_back(s + t);
      if (product.size() > kMaxStrings) return std::nullopt;
      strings = std::move(product);
    }
    return strings;
  }

  // Length of the character at `at` when it is one the scan can compare.
  std::size_t CharLength(std::size_t at) const {
    const auto c = static_cast<unsigned char>(p_[at]);
    const std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (!len || at + len > p_.size()) return 0;
    char32_t cp = len == 1 ? c : (c & (0x7F >> len));
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(p_[at + k]) & 0x3F);
    return CaseFree(cp) ? len : 0;
  }

  std::string_view p_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<TLiteralScan> TLiteralScan::FromPattern(std::string_view pattern) {
  auto strings = Expander(pattern).Run();
  if (!strings || strings->empty()) return std::nullopt;
  TLiteralScan scan;
  for (std::string& s : *strings) {
    if (s.empty()) return std::nullopt;  // an empty alternative matches anywhere
    for (char& c : s) c = Lower(c);
    Needle n{s, 0, {}, {kNone, kNone}, {false, false}};
    for (std::size_t i = 1; i < s.size(); ++i)
      if (Commonness(static_cast<unsigned char>(s[i])) < Commonness(static_cast<unsigned char>(s[n.anchor]))) n.anchor = i;
    const char a = s[n.anchor];
    n.variants[0] = a;
    n.variants[1] = IsLetter(a) ? static_cast<char>(a - 32) : a;
    scan.needles_.push_back(std::move(n));
  }
  scan.Reset();
  return scan;
}

void TLiteralScan::Reset() {
  for (Needle& n : needles_) n.known[0] = n.known[1] = false;
}

std::size_t TLiteralScan::FindNeedle(Needle& n, std::string_view text, std::size_t from) {
  std::size_t best = kNone;
  const int variants = n.variants[0] == n.variants[1] ? 1 : 2;
  for (int v = 0; v < variants; ++v) {
    // Calls go forward, so an earlier answer at or after `from` still holds.
    if (!n.known[v] || (n.next[v] != kNone && n.next[v] < from)) {
      n.known[v] = true;
      n.next[v] = kNone;
      for (std::size_t at = from + n.anchor; at < text.size();) {
        const void* hit = std::memchr(text.data() + at, n.variants[v], text.size() - at);
        if (!hit) break;
        const std::size_t h = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        const std::size_t start = h - n.anchor;
        std::size_t k = 0;
        if (start + n.text.size() <= text.size())
          while (k < n.text.size() && Lower(text[start + k]) == n.text[k]) ++k;
        if (k == n.text.size()) {
          n.next[v] = start;
          break;
        }
        at = h + 1;
      }
    }
    best = std::min(best, n.next[v]);
  }
  return best;
}

std::size_t TLiteralScan::Find(std::string_view text, std::size_t from) {
  std::size_t best = kNone;
  for (Needle& n : needles_) best = std::min(best, FindNeedle(n, text, from));
  return best;
}

}  // namespace korvel
