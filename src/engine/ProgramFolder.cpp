#include "ProgramFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "Errors.h"
#include "FileIO.h"
#include "MyDLL.h"

namespace korvel {

namespace {

struct TDataDir {
  std::string dir;
  bool installed = false;
};

const TDataDir& Resolved() {
  static const TDataDir resolved = [] {
    const std::string& exe = ExeDir();  // ".../bin/"
    const std::size_t slash = exe.size() > 1 ? exe.rfind('/', exe.size() - 2) : std::string::npos;
    if (slash != std::string::npos) {
      const std::string shared = exe.substr(0, slash + 1) + "share/korvel/";
      struct stat st {};
      if (stat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return TDataDir{shared, true};
    }
    return TDataDir{exe, false};
  }();
  return resolved;
}

}  // namespace

const std::string& DataDir() { return Resolved().dir; }

bool IsInstalled() { return Resolved().installed; }

std::string LexiconPath() {
  if (const char* own = std::getenv("KORVEL_LEXICON"); own != nullptr && *own != '\0') return own;
  return DataDir() + "sys/english.lex";
}

void LoadInflectionTables() {
  if (LoadArrays() == 0) return;
  const std::string path = LexiconPath();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowCannotOpen(path, errno);
  close(fd);
  // It opens, so MyDLL found it unreadable as a lexicon.
  ThrowCannotOpen(path, EINVAL);
}

}  // namespace korvel
