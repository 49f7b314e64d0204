// Helpers shared by the fuzz targets: invariant checks that abort (so both
// libFuzzer and the seed replay report them), input splitting, a scratch
// folder per process, and the real inflection tables.
#ifndef KORVEL_FUZZUTIL_H
#define KORVEL_FUZZUTIL_H

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "MyDLL.h"

namespace korvel::fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
  if (!detail.empty()) std::fprintf(stderr, "  %s\n", detail.c_str());
  std::abort();
}

// Bytes as a C-escaped string, cut short, for failure messages.
inline std::string Show(std::string_view s) {
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size() && i < 200; ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 32 && c < 127 && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  if (s.size() > 200) out += "...";
  return out + "\"";
}

#define KORVEL_CHECK(cond, detail)                                          \
  do {                                                                      \
    if (!(cond)) ::korvel::fuzz::Fail(__FILE__, __LINE__, #cond, (detail)); \
  } while (0)

// Parts of an input separated by 0xFF, a byte valid UTF-8 never holds, so
// every text a part can be stays reachable except that one byte.
inline std::vector<std::string_view> SplitParts(std::string_view input, std::size_t count) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < count) {
    const std::size_t at = input.find('\xFF');
    if (at == std::string_view::npos) break;
    parts.push_back(input.substr(0, at));
    input.remove_prefix(at + 1);
  }
  parts.push_back(input);
  parts.resize(count);
  return parts;
}

// One scratch folder per process: files are rewritten for every input
// rather than created anew.
class TScratch {
 public:
  static TScratch& Get() {
    static TScratch scratch;
    return scratch;
  }
  const std::string& Root() const { return root_; }
  // A folder inside the scratch folder, made on first use.
  std::string Folder(const std::string& name) const {
    const std::string path = root_ + "/" + name;
    std::filesystem::create_directories(path);
    return path;
  }
  // Overwrites in place and then cuts to size: truncating first makes ext4
  // flush the file on close, which costs milliseconds per input.
  std::string Write(const std::string& name, std::string_view bytes) const {
    const std::string path = root_ + "/" + name;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    for (std::size_t done = 0; ok && done < bytes.size();) {
      const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
      ok = n > 0;
      done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    if (fd >= 0 && close(fd) != 0) ok = false;
    if (!ok) {
      std::perror(path.c_str());
      std::abort();
    }
    return path;
  }

 private:
  TScratch() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "korvel-fuzz-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    root_ = tmpl;
  }
  ~TScratch() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  std::string root_;
};

// The real lexicon from the source tree unless KORVEL_LEXICON names another;
// a fuzzer that silently ran without forms would test much less.
inline void LoadInflectionTables() {
  setenv("KORVEL_LEXICON", KORVEL_LEXICON_PATH, 0);
  if (LoadArrays() != 0) {
    std::fprintf(stderr, "Cannot load the inflection lexicon %s\n", std::getenv("KORVEL_LEXICON"));
    std::abort();
  }
}

}  // namespace korvel::fuzz

#endif
