// Helpers shared by the engine tests: a scratch folder and files written
// from exact bytes, so every test states the bytes it depends on.
#ifndef KORVEL_TESTUTIL_H
#define KORVEL_TESTUTIL_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

namespace korvel::test {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "korvel-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) ADD_FAILURE() << "mkdtemp failed";
    path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }

  std::string Root() const { return path_.string(); }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

  // Writes the bytes as they are and returns the full path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = Path(name);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Equal bytes; when not, the sizes, hashes and the first differing offset
// with a little context, never the whole texts (pages run to megabytes).
inline ::testing::AssertionResult SameBytes(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  const std::hash<std::string> hash;
  return ::testing::AssertionFailure() << got.size() << " bytes (hash " << hash(got) << ") instead of " << want.size()
                                       << " (hash " << hash(want) << "), first difference at " << at << ": \""
                                       << got.substr(at, 40) << "\" instead of \"" << want.substr(at, 40) << "\"";
}

// The message of what f throws, or "(no error)".
template <class F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no error)";
}

// Runs `write` in a child process after `prepare` and returns the message
// it failed with, or "(no error)". Limits and a changed user stay in the
// child; callers load the engine before the fork, so the child starts no
// thread.
inline std::string ErrorInChild(const std::function<void()>& prepare, const std::function<void()>& write) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string message;
    try {
      prepare();
      message = ErrorOf(write);
    } catch (const std::exception& e) {
      message = std::string("prepare failed: ") + e.what();
    }
    const char* p = message.data();
    std::size_t left = message.size();
    while (left > 0) {
      const ssize_t n = ::write(fds[1], p, left);
      if (n <= 0) break;
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    _exit(0);
  }
  close(fds[1]);
  std::string message;
  char buffer[4096];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) message.append(buffer, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child ended abnormally: " + std::to_string(status);
  return message;
}

// Only "give" and "make" have other forms; tests never depend on real data.
inline std::string FakeInflect(const std::string& word) {
  if (word == "give") return "gives|gave|given|giving|";
  if (word == "make") return "makes|made|making|";
  return "";
}

}  // namespace korvel::test

#endif
