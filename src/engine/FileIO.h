// File access for the engine: whole-file reads, crash-safe writes, paths.
// Paths are the file system's own bytes; DisplayPath turns them into UTF-8
// for messages and pages. Stateless; safe from any thread.
#ifndef KORVEL_FILEIO_H
#define KORVEL_FILEIO_H

#include <memory>
#include <string>
#include <string_view>

namespace korvel {

// The running executable's folder, with a trailing "/".
const std::string& ExeDir();

// Whole file as bytes; throws "Cannot open file ..." on any failure.
std::string ReadFileBytes(const std::string& path);

// Whole file decoded to UTF-8 (see DecodeText).
std::string ReadTextFile(const std::string& path);

// A corpus file's decoded text, held once: lines are views into it. Plain
// UTF-8 files are read straight into their final buffer, with no copy.
class THeldText {
 public:
  static THeldText Read(const std::string& path);
  std::string_view Text() const { return text_; }

 private:
  std::shared_ptr<const void> owner_;
  std::string_view text_;
};

// Replaces the file with `content` only once all of it is written: a regular
// or missing target gets a temporary file in its folder renamed over it
// (through a symbolic link to the real file, keeping its permissions); a
// device or pipe is written directly. Throws "Cannot create file ..." and
// leaves an earlier file as it was.
void WriteFileReplacing(const std::string& path, std::string_view content);

// True for a regular file, or a link to one.
bool IsRegularFile(const std::string& path);

// The last component of a path (text after the last "/").
std::string_view FileNamePart(std::string_view path);

// UTF-8 form of a path for messages and pages.
std::string DisplayPath(std::string_view path);

}  // namespace korvel

#endif
