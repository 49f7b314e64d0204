// korvel-startup-bench — what a process pays before its first search:
// LoadDictionaries and LoadArrays through their mapped tables, side by side
// with the same calls parsing the texts (a copy with no table and no cache,
// as every start did before the tables). Median of 15 runs each. It reports
// and never fails.
//
// Usage: korvel-startup-bench   (reads dic/ and sys/ beside it)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "FileIO.h"
#include "MyDLL.h"
#include "unKorvel.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double MedianMs(const std::function<void()>& f) {
  std::vector<double> ms;
  for (int i = 0; i < 15; ++i) {
    const auto t = Clock::now();
    f();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main() {
  const std::string program = korvel::ExeDir();
  char scratchName[] = "/tmp/korvel-startup-XXXXXX";
  if (mkdtemp(scratchName) == nullptr) return 1;
  const fs::path scratch = scratchName;
  fs::copy_file(program + "dic/EN-ZH.txt", scratch / "EN-ZH.txt");
  fs::copy_file(program + "dic/ZH-EN.txt", scratch / "ZH-EN.txt");
  fs::copy_file(program + "sys/english.lex", scratch / "english.lex");

  korvel::TKorvel engine;
  const auto arrays = [] {
    FreeArrays();
    LoadArrays();
  };
  engine.LoadDictionaries("");  // the page cache warm for both
  const double dicMapped = MedianMs([&] { engine.LoadDictionaries(""); });
  const double arraysMapped = MedianMs(arrays);
  // No cache can be made under a file: every call parses.
  setenv("XDG_CACHE_HOME", "/dev/null", 1);
  setenv("KORVEL_LEXICON", (scratch / "english.lex").c_str(), 1);
  const double dicParsed = MedianMs([&] { engine.LoadDictionaries(scratch.string()); });
  const double arraysParsed = MedianMs(arrays);
  fs::remove_all(scratch);

  std::printf("LoadDictionaries  mapped %6.2f ms   parsing the texts %7.2f ms   ratio %.3f\n", dicMapped, dicParsed,
              dicMapped / dicParsed);
  std::printf("LoadArrays        mapped %6.2f ms   parsing the text  %7.2f ms   ratio %.3f\n", arraysMapped,
              arraysParsed, arraysMapped / arraysParsed);
  return 0;
}
