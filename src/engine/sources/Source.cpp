#include "sources/Source.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>

#include "Errors.h"
#include "FileIO.h"
#include "sources/SourceUtil.h"

namespace korvel {

TSourceKind SourceKindOf(std::string_view path) {
  const std::string_view name = FileNamePart(path);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return TSourceKind::Text;
  std::string ext(name.substr(dot + 1));
  for (char& c : ext) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (ext == "tmx") return TSourceKind::Tmx;
  if (ext == "tsv") return TSourceKind::Tsv;
  return TSourceKind::Text;
}

TFile::TFile(const std::string& path, struct stat& st) {
  fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowCannotOpen(path, errno);
  const int err = fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  if (err) {
    close(fd);
    ThrowCannotOpen(path, err);
  }
}

TFile::~TFile() { close(fd); }

void ThrowCannotRead(const std::string& path, unsigned long long line, unsigned long long column,
                     const char* reason) {
  throw EKorvel(TMessage{"Cannot read \"%1\": line %2, column %3: %4",
                         {DisplayPath(FileNamePart(path)), std::to_string(line), std::to_string(column), reason}});
}

namespace {

// Filling hundreds of megabytes costs a page fault per 4 KiB page, and
// faults are dear on a virtual machine: huge pages where the system allows.
void PreferHugePages(std::string& s) {
  constexpr std::uintptr_t kHuge = 2u << 20;
  const auto begin = (reinterpret_cast<std::uintptr_t>(s.data()) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(s.data()) + s.capacity()) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

void ReserveUpTo(TSourceText& text, std::size_t bytes) {
  try {
    text.En.reserve(bytes);
    PreferHugePages(text.En);
    text.Zh.reserve(bytes);
    PreferHugePages(text.Zh);
  } catch (const std::bad_alloc&) {
    // Growing as needed works too, only with copies on the way.
  }
}

}  // namespace korvel
