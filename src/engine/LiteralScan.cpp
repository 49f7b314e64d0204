#include "LiteralScan.h"

#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "PatternFacts.h"

namespace korvel {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

}  // namespace

std::optional<TLiteralScan> TLiteralScan::FromPattern(std::string_view pattern) {
  const auto strings = AnalyzePattern(pattern).Literals;
  return strings ? FromStrings(*strings) : std::nullopt;
}

std::optional<TLiteralScan> TLiteralScan::FromStrings(std::vector<std::string> strings) {
  if (strings.empty()) return std::nullopt;
  TLiteralScan scan;
  std::size_t shortest = kNone;
  for (std::string& s : strings) {
    if (s.empty()) return std::nullopt;  // an empty alternative matches anywhere
    for (char& c : s) c = Lower(c);
    shortest = std::min(shortest, s.size());
  }
  std::sort(strings.begin(), strings.end());
  strings.erase(std::unique(strings.begin(), strings.end()), strings.end());
  scan.width_ = std::min(shortest, kMaxWidth);
  // Strings sharing a prefix share a bucket, so its fingerprint stays as
  // sharp as it can with more strings than buckets.
  const std::size_t count = strings.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t bucket = i * kBuckets / count;
    const std::string& s = strings[i];
    for (std::size_t k = 0; k < scan.width_; ++k)
      for (const char variant : {s[k], Upper(s[k])}) {
        const auto v = static_cast<unsigned char>(variant);
        scan.low_[k][v & 15] |= static_cast<std::uint8_t>(1u << bucket);
        scan.high_[k][v >> 4] |= static_cast<std::uint8_t>(1u << bucket);
      }
    scan.buckets_[bucket].push_back(std::move(strings[i]));
  }
  return scan;
}

std::uint8_t TLiteralScan::Fingerprint(const char* at) const {
  std::uint8_t m = 0xFF;
  for (std::size_t k = 0; k < width_; ++k) {
    const auto c = static_cast<unsigned char>(at[k]);
    m &= low_[k][c & 15] & high_[k][c >> 4];
  }
  return m;
}

bool TLiteralScan::Confirm(std::string_view text, std::size_t at, std::uint8_t buckets) const {
  for (; buckets; buckets &= static_cast<std::uint8_t>(buckets - 1)) {
    for (const std::string& s : buckets_[std::countr_zero(buckets)]) {
      if (s.size() > text.size() - at) continue;
      std::size_t k = 0;
      while (k < s.size() && Lower(text[at + k]) == s[k]) ++k;
      if (k == s.size()) return true;
    }
  }
  return false;
}

#if defined(__x86_64__)
// Thirty-two positions at a time: each of the first bytes of a string picks
// a bucket set by its low and its high nibble (two byte shuffles), and the
// sets of consecutive bytes are intersected. The method is Teddy's, from
// Hyperscan.
template <std::size_t Width>
__attribute__((target("avx2"))) bool TLiteralScan::FindWide(std::string_view text, std::size_t& p) const {
  const char* s = text.data();
  const std::size_t n = text.size();
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  __m256i low[Width], high[Width];
  for (std::size_t k = 0; k < Width; ++k) {
    low[k] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low_[k])));
    high[k] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(high_[k])));
  }
  for (; p + 32 + Width - 1 <= n; p += 32) {
    __m256i m = _mm256_set1_epi8(-1);
    for (std::size_t k = 0; k < Width; ++k) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + p + k));
      const __m256i lo = _mm256_shuffle_epi8(low[k], _mm256_and_si256(v, nibble));
      const __m256i hi = _mm256_shuffle_epi8(high[k], _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble));
      m = _mm256_and_si256(m, _mm256_and_si256(lo, hi));
    }
    auto bits = ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(m, _mm256_setzero_si256())));
    if (!bits) continue;
    alignas(32) std::uint8_t sets[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(sets), m);
    for (; bits; bits &= bits - 1) {
      const int i = std::countr_zero(bits);
      if (Confirm(text, p + i, sets[i])) {
        p += i;
        return true;
      }
    }
  }
  return false;  // p is where the byte-by-byte scan takes over
}
#endif

std::size_t TLiteralScan::Find(std::string_view text, std::size_t from) const {
  std::size_t p = from;
#if defined(__x86_64__)
  static const bool kWide = __builtin_cpu_supports("avx2");
  if (kWide && wide_) {
    const bool found = width_ == 1 ? FindWide<1>(text, p) : width_ == 2 ? FindWide<2>(text, p) : FindWide<3>(text, p);
    if (found) return p;
  }
#endif
  for (; p + width_ <= text.size(); ++p) {
    const std::uint8_t sets = Fingerprint(text.data() + p);
    if (sets && Confirm(text, p, sets)) return p;
  }
  return kNone;
}

}  // namespace korvel
