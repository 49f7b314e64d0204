// File access for the engine: whole-file reads, crash-safe writes, paths.
// Paths are the file system's own bytes; DisplayPath turns them into UTF-8
// for messages and pages. Stateless; safe from any thread.
#ifndef KORVEL_FILEIO_H
#define KORVEL_FILEIO_H

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "Output.h"

namespace korvel {

// The running executable's folder, with a trailing "/".
const std::string& ExeDir();

// Whole file as bytes; throws "Cannot open file ..." on any failure. A
// pipe, device or /proc file (no stated size) is read up to the smallest of
// 4 GiB, half of MemAvailable and half the address space RLIMIT_AS leaves;
// past that: "... File too large".
std::string ReadFileBytes(const std::string& path);

// Whole file decoded to UTF-8 (see DecodeText).
std::string ReadTextFile(const std::string& path);

// The number of lines loading the file gives (DecodeText, then ForEachLine),
// read in parts and never held whole. `poll` is called between parts and
// may throw to abandon the count. Throws as ReadFileBytes does.
std::size_t CountTextLines(const std::string& path, const std::function<void()>& poll = {});

// Memory for the texts of many files, taken in one piece of huge pages (see
// BigMemory.h). Any thread may Take from it; it lives as long as a text in
// it is held.
class TTextArena {
 public:
  explicit TTextArena(std::size_t bytes);
  ~TTextArena();
  TTextArena(const TTextArena&) = delete;
  TTextArena& operator=(const TTextArena&) = delete;
  // `bytes` of it for one caller alone, or nullptr when too little is left.
  char* Take(std::size_t bytes);

 private:
  char* data_;
  std::size_t size_;
  std::atomic<std::size_t> used_{0};
};

// A corpus file's decoded text, held once: lines are views into it. Plain
// UTF-8 files are read straight into their final buffer (in `arena` when it
// has room), with no copy. `poll` is called between parts of the read and may
// throw to abandon it.
class THeldText {
 public:
  static THeldText Read(const std::string& path, const std::shared_ptr<TTextArena>& arena = nullptr,
                        const std::function<void()>& poll = {});
  // A text made elsewhere, already UTF-8.
  static THeldText Own(std::string text);
  // Decoded text that `owner` keeps alive (a mapped cache file).
  static THeldText View(std::string_view text, std::shared_ptr<const void> owner);
  std::string_view Text() const { return text_; }

 private:
  // Plain UTF-8 stays where it is; anything else is decoded into a string.
  static THeldText Hold(std::string_view bytes, std::shared_ptr<const void> owner);

  std::shared_ptr<const void> owner_;
  std::string_view text_;
};

// Replaces the file with `content` only once all of it is written, and as
// the shell's ">" would otherwise. Links are followed (a missing target is
// created; the link stays). A missing target, or a regular one with a single
// name that the user may write, gets an unnamed temporary file in its
// folder, named and renamed over it when complete; it keeps its mode, and
// its owner when root writes it. Written in place: this process's own
// descriptors (/dev/stdout, /dev/fd/N: through the descriptor, at its
// offset), devices and pipes, files with more than one name, and files the
// rename would give to another owner. Throws "Cannot create file ..." and
// leaves an earlier replaced file as it was; a write-protected file or a
// folder the user may not write: "... Permission denied".
void WriteFileReplacing(const std::string& path, std::string_view content);
// The same with the content made by `produce` as it is written: into the
// temporary file as it grows where the target is replaced (so a huge page
// is never held whole), whole first where it is written in place. What
// `produce` throws reaches the caller, and the target stays as it was.
void WriteFileReplacing(const std::string& path, const std::function<void(TOutput&)>& produce);

// True for a regular file, or a link to one.
bool IsRegularFile(const std::string& path);

// The last component of a path (text after the last "/").
std::string_view FileNamePart(std::string_view path);

// UTF-8 form of a path for messages and pages.
std::string DisplayPath(std::string_view path);

}  // namespace korvel

#endif
