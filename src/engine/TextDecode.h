// Text decoding: whatever bytes a corpus, dictionary or template file holds,
// the engine gets valid UTF-8 back. Stateless; safe from any thread.
#ifndef KORVEL_TEXTDECODE_H
#define KORVEL_TEXTDECODE_H

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

struct UConverter;

namespace korvel {

// Decodes a whole file. A UTF-8 byte-order mark is dropped; UTF-16 LE/BE with
// a byte-order mark, or without one when NUL bytes fill every other position
// at the start, is converted; a file that is valid UTF-8 as a whole is taken
// as it is; otherwise each line (bytes up to CR/LF) is decided on its own:
// valid UTF-8 stays, anything else is read as GB18030. Bytes no encoding
// explains become U+FFFD. NUL bytes are kept. Line ends are kept as they are.
std::string DecodeText(std::string bytes);

// True when DecodeText would give the bytes back unchanged: valid UTF-8 with
// no byte-order mark and no sign of UTF-16.
bool IsPlainUtf8(std::string_view bytes);

bool IsValidUtf8(std::string_view text);

// Each byte that does not belong to a valid UTF-8 sequence becomes U+FFFD.
std::string SanitizeUtf8(std::string_view text);

// Lines ending at CR, LF or CR LF; a line break at the very end adds no empty
// line. The views point into `text`.
std::vector<std::string_view> SplitLines(std::string_view text);

// Reads lines one at a time by the same rule, without allocating.
class TLineReader {
 public:
  explicit TLineReader(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

  bool Next(std::string_view& line) {
    if (p_ >= end_) return false;
    const char* nl = static_cast<const char*>(std::memchr(p_, '\n', static_cast<std::size_t>(end_ - p_)));
    const char* stop = nl ? nl : end_;
    // A CR ends a line too: before the LF (CR LF) or on its own.
    const char* cr = static_cast<const char*>(std::memchr(p_, '\r', static_cast<std::size_t>(stop - p_)));
    if (cr) {
      line = std::string_view(p_, static_cast<std::size_t>(cr - p_));
      p_ = (cr + 1 == nl) ? nl + 1 : cr + 1;
    } else {
      line = std::string_view(p_, static_cast<std::size_t>(stop - p_));
      p_ = nl ? nl + 1 : end_;
    }
    return true;
  }

 private:
  const char* p_;
  const char* end_;
};

// Counts the lines ForEachLine finds in what DecodeText makes of a file's
// bytes, fed in parts of any size, without decoding them: the UTF-8 and
// GB18030 paths copy CR and LF bytes through and make no others, and in
// UTF-16 they are units of their own.
class TLineCounter {
 public:
  void Add(std::string_view bytes);
  // Once every part has been added.
  std::size_t Lines();

 private:
  enum class TMode { kUndecided, kBytes, kLittle, kBig };
  void Decide();
  void CountBytes(std::string_view bytes);
  void CountUnits(std::string_view bytes);
  void Unit(char16_t u);

  TMode mode_ = TMode::kUndecided;
  std::string head_;  // the first bytes, until they tell the encoding
  int oddByte_ = -1;  // UTF-16: a byte still waiting for its pair
  std::size_t breaks_ = 0;
  bool afterCr_ = false;  // an LF next completes a CR LF already counted
  bool open_ = false;     // a line has begun since the last break
};

// Text in a character set named as an XML declaration names it, to UTF-8,
// given in parts of any size: a character split between parts is joined.
// GBK, GB2312, CP936 and the like are read as GB18030, their superset, as
// DecodeText reads them. Bytes the set does not explain become U+FFFD.
class TCharsetDecoder {
 public:
  explicit TCharsetDecoder(const std::string& charset);
  ~TCharsetDecoder();
  TCharsetDecoder(const TCharsetDecoder&) = delete;
  TCharsetDecoder& operator=(const TCharsetDecoder&) = delete;

  // False when the name is no character set the decoder knows.
  bool Known() const { return cnv_ != nullptr; }
  // Appends the UTF-8 of `part`; `last` completes a character left open.
  void Decode(std::string_view part, bool last, std::string& out);

  // One of the names that DecodeText's GB18030 reading covers, any case.
  static bool IsChinese(std::string_view charset);

 private:
  UConverter* cnv_ = nullptr;
};

template <class F>
void ForEachLine(std::string_view text, F&& f) {
  TLineReader reader(text);
  for (std::string_view line; reader.Next(line);) f(line);
}

}  // namespace korvel

#endif
