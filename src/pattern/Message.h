// A message for the user kept as its English format, "%1" to "%9" standing
// for its arguments, and the arguments. The exceptions that carry one have
// the filled-in English text as what(); a front end that speaks another
// language looks the format up and fills in the same arguments (file
// names, the system's and PCRE2's reasons stay as they are). Plain values;
// any thread.
#ifndef KORVEL_MESSAGE_H
#define KORVEL_MESSAGE_H

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvel {

// `format` with each %N (N from 1 to 9) replaced by args[N-1]; a "%" not
// followed by the number of an argument stays. Arguments are not scanned
// again, so a file name holding "%1" comes out as it is.
inline std::string FillMessage(std::string_view format, const std::vector<std::string>& args) {
  std::string out;
  out.reserve(format.size());
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '%' && i + 1 < format.size() && format[i + 1] >= '1' && format[i + 1] <= '9' &&
        static_cast<std::size_t>(format[i + 1] - '1') < args.size()) {
      out += args[static_cast<std::size_t>(format[i + 1] - '1')];
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

struct TMessage {
  std::string Format;
  std::vector<std::string> Args;
  std::string Text() const { return FillMessage(Format, Args); }
};

// The base of the exceptions whose message a user is shown.
class EMessage : public std::runtime_error {
 public:
  explicit EMessage(TMessage message) : std::runtime_error(message.Text()), message_(std::move(message)) {}
  const std::string& Format() const { return message_.Format; }
  const std::vector<std::string>& Args() const { return message_.Args; }
  const TMessage& Message() const { return message_; }

 private:
  TMessage message_;
};

}  // namespace korvel

#endif
