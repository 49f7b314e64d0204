// Errors the engine raises. Each carries the message a user is shown; front
// ends catch them at one edge (a window handler, the CLI's main).
#ifndef KORVEL_ERRORS_H
#define KORVEL_ERRORS_H

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

#include "Message.h"

namespace korvel {

// A failed file or list operation; what() is the user-facing message, in
// English, and Format() and Args() the same message to translate.
// Detail() says where the fault lies when the message alone cannot (the
// pair whose files disagree), or is "".
class EKorvel : public EMessage {
 public:
  // A message with no arguments of its own: its format is "%1".
  explicit EKorvel(const std::string& message, std::string detail = {})
      : EMessage(TMessage{"%1", {message}}), detail_(std::move(detail)) {}
  explicit EKorvel(TMessage message, std::string detail = {})
      : EMessage(std::move(message)), detail_(std::move(detail)) {}
  const std::string& Detail() const { return detail_; }

 private:
  std::string detail_;
};

// A TMX or TSV file that could not be read, while the other sources of the
// load might be: a front end may offer to search without it.
class EBadSource : public EKorvel {
 public:
  using EKorvel::EKorvel;
};

// Thrown by a progress callback to abandon a long operation. Front ends show
// nothing for it: the user asked for it.
class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

// What long operations report as they go: done of total. It may throw
// EAbort to stop the operation, which then leaves things as they were.
using TProgressFn = std::function<void(std::size_t done, std::size_t total)>;

// "Cannot open file "%s". %s" with the path and the system's reason for errno.
[[noreturn]] void ThrowCannotOpen(const std::string& path, int err);
// "Cannot create file "%s". %s"
[[noreturn]] void ThrowCannotCreate(const std::string& path, int err);
// "List index out of bounds (%d)", with an optional detail.
[[noreturn]] void ThrowListIndex(long long index, std::string detail = {});

// The message as a message box shows it: a full stop is appended when the
// last character sorts after "." (so ")" gets none, a letter gets one).
std::string WithFullStop(std::string message);

}  // namespace korvel

#endif
