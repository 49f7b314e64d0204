// What the source readers share: opening the file, the message for a
// malformed one, and room for the texts they write.
#ifndef KORVEL_SOURCES_SOURCEUTIL_H
#define KORVEL_SOURCES_SOURCEUTIL_H

#include <sys/stat.h>

#include <cstddef>
#include <string>

#include "sources/Source.h"

namespace korvel {

// A file open for reading; a folder is refused as THeldText::Read refuses it.
struct TFile {
  int fd = -1;
  TFile(const std::string& path, struct stat& st);
  ~TFile();
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;
};

// "Cannot read "NAME": line L, column C: REASON"
[[noreturn]] void ThrowCannotRead(const std::string& path, unsigned long long line, unsigned long long column,
                                  const char* reason);

// Reserves `bytes` for each text when the system grants it. Only pages
// written are ever resident, and a text that never outgrows its room is
// never copied (a copy holds two of it at once).
void ReserveUpTo(TSourceText& text, std::size_t bytes);

}  // namespace korvel

#endif
