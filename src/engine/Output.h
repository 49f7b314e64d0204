// TOutput — where the result page and the export put their bytes: a string,
// or a file that is written as it grows, so that a page of a huge line
// never has to be held whole. One thread writes to one output.
#ifndef KORVEL_OUTPUT_H
#define KORVEL_OUTPUT_H

#include <cstddef>
#include <string>
#include <string_view>

namespace korvel {

class TOutput {
 public:
  virtual ~TOutput() = default;
  void Append(std::string_view text) {
    if (buffer_.size() + text.size() < flushAt_) {
      buffer_.append(text);
      return;
    }
    Flush();
    if (text.size() >= flushAt_)
      Write(text);
    else
      buffer_.append(text);
  }
  void Append(char c) {
    buffer_ += c;
    if (buffer_.size() >= flushAt_) Flush();
  }

 protected:
  explicit TOutput(std::size_t flushAt) : flushAt_(flushAt) {}
  // Takes bytes that no longer fit the buffer; outputs that hold everything
  // never see it.
  virtual void Write(std::string_view) {}
  void Flush() {
    if (buffer_.empty()) return;
    Write(buffer_);
    buffer_.clear();
  }
  std::string buffer_;

 private:
  std::size_t flushAt_;
};

// Everything in memory, for a caller that wants the whole text.
class TStringOutput : public TOutput {
 public:
  TStringOutput() : TOutput(static_cast<std::size_t>(-1)) {}
  std::string Take() { return std::move(buffer_); }
};

}  // namespace korvel

#endif
