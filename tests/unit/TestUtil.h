// Helpers shared by the engine tests: a scratch folder and files written
// from exact bytes, so every test states the bytes it depends on.
#ifndef KORVEL_TESTUTIL_H
#define KORVEL_TESTUTIL_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
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

// Only "give" and "make" have other forms; tests never depend on real data.
inline std::string FakeInflect(const std::string& word) {
  if (word == "give") return "gives|gave|given|giving|";
  if (word == "make") return "makes|made|making|";
  return "";
}

}  // namespace korvel::test

#endif
