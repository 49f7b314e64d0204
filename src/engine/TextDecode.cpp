#include "TextDecode.h"

#include <unicode/ucnv.h>

#include <algorithm>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#include <cstdint>
#include <cstring>
#include <iterator>

namespace korvel {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

bool AllAscii8(const unsigned char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return (w & 0x8080808080808080ULL) == 0;
}

bool IsTrail(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the valid multi-byte sequence at p (lead byte >= 0x80), or 0.
// The second-byte ranges are what rule out overlongs, surrogates and values
// past U+10FFFF.
std::size_t SequenceLength(const unsigned char* p, std::size_t avail) {
  const unsigned char c = p[0];
  std::size_t len;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (avail < len || p[1] < lo || p[1] > hi) return 0;
  for (std::size_t k = 2; k < len; ++k)
    if (!IsTrail(p[k])) return 0;
  return len;
}

// Offset of the first byte that starts no valid sequence; size() if none.
// ASCII runs go eight bytes at a time and three-byte sequences (all of CJK)
// have a path of their own: corpora are hundreds of megabytes of these two.
std::size_t ValidPrefixScalar(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      while (i + 8 <= n && AllAscii8(p + i)) i += 8;
      continue;
    }
    if ((c & 0xF0) == 0xE0 && i + 3 <= n) {
      const unsigned char c1 = p[i + 1];
      const bool trails = IsTrail(c1) && IsTrail(p[i + 2]);
      const bool inRange = c == 0xE0 ? c1 >= 0xA0 : c == 0xED ? c1 <= 0x9F : true;
      if (!trails || !inRange) return i;
      i += 3;
      continue;
    }
    const std::size_t len = SequenceLength(p + i, n - i);
    if (len == 0) return i;
    i += len;
  }
  return n;
}

#if defined(__x86_64__) || defined(__i386__)
// Sixteen bytes at a time with byte-table lookups (the method of Keiser and
// Lemire): each byte pair is classified by the high nibble of the first,
// its low nibble and the high nibble of the second, and the three tables
// agree on a bit only where the pair breaks a rule. Returns how far the text
// is known valid, at a character boundary; the scalar check takes over from
// there.
__attribute__((target("ssse3"))) std::size_t ValidBlocks(const unsigned char* p, std::size_t n) {
  constexpr uint8_t kTooShort = 1 << 0, kTooLong = 1 << 1, kOverlong3 = 1 << 2, kTooLarge = 1 << 3,
                    kSurrogate = 1 << 4, kOverlong2 = 1 << 5, kTooLarge1000 = 1 << 6, kOverlong4 = 1 << 6,
                    kTwoConts = 1 << 7;
  constexpr uint8_t kCarry = kTooShort | kTooLong | kTwoConts;
  const __m128i byte1High = _mm_setr_epi8(
      kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTwoConts, kTwoConts,
      kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort, kTooShort | kOverlong3 | kSurrogate,
      static_cast<char>(kTooShort | kTooLarge | kTooLarge1000 | kOverlong4));
  const __m128i byte1Low = _mm_setr_epi8(
      static_cast<char>(kCarry | kOverlong3 | kOverlong2 | kOverlong4), static_cast<char>(kCarry | kOverlong2),
      static_cast<char>(kCarry), static_cast<char>(kCarry), static_cast<char>(kCarry | kTooLarge),
      static_cast<char>(kCarry | kTooLarge | kTooLarge1000), static_cast<char>(kCarry | kTooLarge | kTooLarge1000),
      static_cast<char>(kCarry | kTooLarge | kTooLarge1000), static_cast<char>(kCarry | kTooLarge | kTooLarge1000),
      static_cast<char>(kCarry | kTooLarge | kTooLarge1000), static_cast<char>(kCarry | kTooLarge | kTooLarge1000),
      static_cast<char>(kCarry | kTooLarge | kTooLarge1000), static_cast<char>(kCarry | kTooLarge | kTooLarge1000),
      static_cast<char>(kCarry | kTooLarge | kTooLarge1000 | kSurrogate),
      static_cast<char>(kCarry | kTooLarge | kTooLarge1000), static_cast<char>(kCarry | kTooLarge | kTooLarge1000));
  const __m128i byte2High = _mm_setr_epi8(
      kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
      static_cast<char>(kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4),
      static_cast<char>(kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge),
      static_cast<char>(kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge),
      static_cast<char>(kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge), kTooShort, kTooShort, kTooShort,
      kTooShort);
  const __m128i nibble = _mm_set1_epi8(0x0F);
  __m128i prev = _mm_setzero_si128();
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    if (_mm_movemask_epi8(in) == 0 && _mm_movemask_epi8(prev) == 0) {
      prev = in;
      continue;
    }
    const __m128i prev1 = _mm_alignr_epi8(in, prev, 15);
    const __m128i sc = _mm_and_si128(
        _mm_and_si128(_mm_shuffle_epi8(byte1High, _mm_and_si128(_mm_srli_epi16(prev1, 4), nibble)),
                      _mm_shuffle_epi8(byte1Low, _mm_and_si128(prev1, nibble))),
        _mm_shuffle_epi8(byte2High, _mm_and_si128(_mm_srli_epi16(in, 4), nibble)));
    const __m128i prev2 = _mm_alignr_epi8(in, prev, 14);
    const __m128i prev3 = _mm_alignr_epi8(in, prev, 13);
    const __m128i must23 = _mm_or_si128(_mm_subs_epu8(prev2, _mm_set1_epi8(0xE0 - 0x80)),
                                        _mm_subs_epu8(prev3, _mm_set1_epi8(static_cast<char>(0xF0 - 0x80))));
    const __m128i error = _mm_xor_si128(_mm_and_si128(must23, _mm_set1_epi8(static_cast<char>(0x80))), sc);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(error, _mm_setzero_si128())) != 0xFFFF) break;
    prev = in;
  }
  // Sequences that end before i are known good. One that starts in the last
  // three bytes before i may run on, so the scalar check starts from the
  // first character that begins there.
  std::size_t j = i - std::min<std::size_t>(i, 3);
  while (j < i && (p[j] & 0xC0) == 0x80) ++j;
  return j;
}
#endif

std::size_t ValidPrefix(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t known = 0;
#if defined(__x86_64__) || defined(__i386__)
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (ssse3) known = ValidBlocks(p, text.size());
#endif
  return known + ValidPrefixScalar(text.substr(known));
}

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// unit(i) yields the i-th UTF-16 code unit of n.
template <class Unit>
void AppendUtf16(Unit unit, std::size_t n, std::string& out) {
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
      const char16_t v = unit(i + 1);
      if (v >= 0xDC00 && v <= 0xDFFF) {
        AppendUtf8(0x10000 + ((char32_t(u) - 0xD800) << 10) + (v - 0xDC00), out);
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF)
      out += kReplacement;
    else
      AppendUtf8(u, out);
  }
}

std::string DecodeUtf16(std::string_view bytes, bool little_endian) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t units = bytes.size() / 2;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  if (little_endian)
    AppendUtf16([p](std::size_t i) { return char16_t(p[2 * i] | (p[2 * i + 1] << 8)); },
                units, out);
  else
    AppendUtf16([p](std::size_t i) { return char16_t((p[2 * i] << 8) | p[2 * i + 1]); },
                units, out);
  if (bytes.size() % 2 != 0) out += kReplacement;
  return out;
}

enum class Utf16Guess { kNone, kLittle, kBig };

// ASCII-heavy UTF-16 without a byte-order mark shows as zero bytes at every
// other position; UTF-8 and GB18030 text practically never does.
Utf16Guess GuessUtf16(std::string_view bytes) {
  const std::size_t n = std::min<std::size_t>(bytes.size(), 64) & ~std::size_t{1};
  if (n < 4) return Utf16Guess::kNone;
  bool even_zero = true, odd_zero = true;
  for (std::size_t i = 0; i < n; i += 2) {
    even_zero = even_zero && bytes[i] == 0;
    odd_zero = odd_zero && bytes[i + 1] == 0;
  }
  if (odd_zero && !even_zero) return Utf16Guess::kLittle;
  if (even_zero && !odd_zero) return Utf16Guess::kBig;
  return Utf16Guess::kNone;
}

// Opened lazily: most files never need it.
class Gb18030Decoder {
 public:
  Gb18030Decoder() = default;
  Gb18030Decoder(const Gb18030Decoder&) = delete;
  Gb18030Decoder& operator=(const Gb18030Decoder&) = delete;
  ~Gb18030Decoder() {
    if (cnv_) ucnv_close(cnv_);
  }

  void Append(std::string_view line, std::string& out) {
    if (!Open()) {
      out += SanitizeUtf8(line);
      return;
    }
    ucnv_resetToUnicode(cnv_);
    const char* src = line.data();
    const char* const src_end = src + line.size();
    UChar buf[2048];
    for (;;) {
      UChar* dst = buf;
      UErrorCode err = U_ZERO_ERROR;
      ucnv_toUnicode(cnv_, &dst, buf + std::size(buf), &src, src_end, nullptr, true, &err);
      AppendUtf16([&buf](std::size_t i) { return char16_t(buf[i]); },
                  static_cast<std::size_t>(dst - buf), out);
      if (err != U_BUFFER_OVERFLOW_ERROR) break;
    }
  }

 private:
  bool Open() {
    if (cnv_ || failed_) return cnv_ != nullptr;
    UErrorCode err = U_ZERO_ERROR;
    // ICU's default to-Unicode callback already substitutes U+FFFD for
    // bytes GB18030 cannot explain, without swallowing following ASCII.
    cnv_ = ucnv_open("GB18030", &err);
    if (U_FAILURE(err)) cnv_ = nullptr;
    failed_ = cnv_ == nullptr;
    return cnv_ != nullptr;
  }

  UConverter* cnv_ = nullptr;
  bool failed_ = false;
};

}  // namespace

bool IsPlainUtf8(std::string_view bytes) {
  const auto starts = [bytes](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };
  return !starts("\xEF\xBB\xBF") && !starts("\xFF\xFE") && !starts("\xFE\xFF") &&
         GuessUtf16(bytes) == Utf16Guess::kNone && ValidPrefix(bytes) == bytes.size();
}

std::string DecodeText(std::string bytes) {
  const auto starts = [&bytes](std::string_view prefix) {
    return std::string_view(bytes).substr(0, prefix.size()) == prefix;
  };
  if (starts("\xEF\xBB\xBF")) {
    bytes.erase(0, 3);
  } else if (starts("\xFF\xFE")) {
    return DecodeUtf16(std::string_view(bytes).substr(2), true);
  } else if (starts("\xFE\xFF")) {
    return DecodeUtf16(std::string_view(bytes).substr(2), false);
  } else if (const Utf16Guess g = GuessUtf16(bytes); g != Utf16Guess::kNone) {
    return DecodeUtf16(bytes, g == Utf16Guess::kLittle);
  }

  const std::string_view text(bytes);
  const std::size_t bad = ValidPrefix(text);
  if (bad == text.size()) return bytes;

  // Everything before the line holding the first bad byte is known valid.
  const std::size_t prev_end = text.find_last_of("\r\n", bad);
  std::size_t pos = prev_end == std::string_view::npos ? 0 : prev_end + 1;
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  out.append(text.substr(0, pos));
  Gb18030Decoder gb;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    if (ValidPrefix(line) == line.size())
      out.append(line);
    else
      gb.Append(line, out);
    // Line ends are copied byte for byte so CR-only and CR LF files keep them.
    pos = text.find_first_not_of("\r\n", end);
    if (pos == std::string_view::npos) pos = text.size();
    out.append(text.substr(end, pos - end));
  }
  return out;
}

bool IsValidUtf8(std::string_view text) { return ValidPrefix(text) == text.size(); }

std::string SanitizeUtf8(std::string_view text) {
  std::size_t i = ValidPrefix(text);
  if (i == text.size()) return std::string(text);
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::string out(text.substr(0, i));
  while (i < text.size()) {
    if (p[i] < 0x80) {
      out += text[i++];
      continue;
    }
    const std::size_t len = SequenceLength(p + i, text.size() - i);
    if (len == 0) {
      out += kReplacement;
      ++i;
    } else {
      out.append(text.substr(i, len));
      i += len;
    }
  }
  return out;
}

// Enough to tell a byte-order mark or the zero bytes of UTF-16 (GuessUtf16).
constexpr std::size_t kHeadBytes = 64;

void TLineCounter::Add(std::string_view bytes) {
  if (mode_ == TMode::kUndecided) {
    head_.append(bytes);
    if (head_.size() < kHeadBytes) return;
    Decide();
    return;
  }
  if (mode_ == TMode::kBytes)
    CountBytes(bytes);
  else
    CountUnits(bytes);
}

std::size_t TLineCounter::Lines() {
  if (mode_ == TMode::kUndecided) Decide();
  // DecodeUtf16 makes an odd last byte a U+FFFD.
  if (oddByte_ >= 0) {
    oddByte_ = -1;
    open_ = true;
  }
  return breaks_ + (open_ ? 1 : 0);
}

void TLineCounter::Decide() {
  std::string head = std::move(head_);
  head_.clear();
  const std::string_view h(head);
  if (h.substr(0, 3) == "\xEF\xBB\xBF") {
    mode_ = TMode::kBytes;
    CountBytes(h.substr(3));
  } else if (h.substr(0, 2) == "\xFF\xFE" || h.substr(0, 2) == "\xFE\xFF") {
    mode_ = h[0] == '\xFF' ? TMode::kLittle : TMode::kBig;
    CountUnits(h.substr(2));
  } else {
    const Utf16Guess g = GuessUtf16(h);
    mode_ = g == Utf16Guess::kLittle ? TMode::kLittle : g == Utf16Guess::kBig ? TMode::kBig : TMode::kBytes;
    if (mode_ == TMode::kBytes)
      CountBytes(h);
    else
      CountUnits(h);
  }
}

void TLineCounter::CountBytes(std::string_view bytes) {
  if (bytes.empty()) return;
  // Most parts hold no CR: their LFs are counted in one vectorised pass.
  if (!std::memchr(bytes.data(), '\r', bytes.size())) {
    breaks_ += static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    if (afterCr_ && bytes[0] == '\n') --breaks_;
    afterCr_ = false;
    open_ = bytes.back() != '\n';
    return;
  }
  for (const char c : bytes) Unit(static_cast<unsigned char>(c));
}

void TLineCounter::CountUnits(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t i = 0;
  auto unit = [this](unsigned char first, unsigned char second) {
    Unit(mode_ == TMode::kLittle ? char16_t(first | (second << 8)) : char16_t((first << 8) | second));
  };
  if (oddByte_ >= 0 && !bytes.empty()) {
    unit(static_cast<unsigned char>(oddByte_), p[0]);
    oddByte_ = -1;
    i = 1;
  }
  for (; i + 1 < bytes.size(); i += 2) unit(p[i], p[i + 1]);
  if (i < bytes.size()) oddByte_ = p[i];
}

void TLineCounter::Unit(char16_t u) {
  if (u == '\n') {
    if (!afterCr_) ++breaks_;
    afterCr_ = false;
    open_ = false;
  } else if (u == '\r') {
    ++breaks_;
    afterCr_ = true;
    open_ = false;
  } else {
    afterCr_ = false;
    open_ = true;
  }
}

bool TCharsetDecoder::IsChinese(std::string_view charset) {
  static constexpr std::string_view kNames[] = {"gbk",    "gb2312",      "gb18030", "cp936", "ms936",
                                                "x-gbk",  "windows-936", "euc-cn",  "csgb2312"};
  std::string lower(charset);
  for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return std::find(std::begin(kNames), std::end(kNames), lower) != std::end(kNames);
}

TCharsetDecoder::TCharsetDecoder(const std::string& charset) {
  UErrorCode err = U_ZERO_ERROR;
  cnv_ = ucnv_open(IsChinese(charset) ? "GB18030" : charset.c_str(), &err);
  if (U_FAILURE(err)) cnv_ = nullptr;
}

TCharsetDecoder::~TCharsetDecoder() {
  if (cnv_) ucnv_close(cnv_);
}

void TCharsetDecoder::Decode(std::string_view part, bool last, std::string& out) {
  if (!cnv_) {
    out += SanitizeUtf8(part);
    return;
  }
  const char* src = part.data();
  const char* const end = src + part.size();
  UChar buf[4096];
  // A surrogate pair may be split across two rounds of the buffer.
  char16_t pending = 0;
  for (;;) {
    UChar* dst = buf;
    if (pending) *dst++ = pending;
    pending = 0;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_toUnicode(cnv_, &dst, buf + std::size(buf), &src, end, nullptr, last, &err);
    std::size_t n = static_cast<std::size_t>(dst - buf);
    const bool more = err == U_BUFFER_OVERFLOW_ERROR;
    if (more && n > 0 && buf[n - 1] >= 0xD800 && buf[n - 1] <= 0xDBFF) pending = buf[--n];
    AppendUtf16([&buf](std::size_t i) { return char16_t(buf[i]); }, n, out);
    if (!more) break;
  }
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  ForEachLine(text, [&lines](std::string_view line) { lines.push_back(line); });
  return lines;
}

}  // namespace korvel
