// korvel-morph-bench — MyDLL's load time, lookup time and memory, each as a
// figure and as a share of its budget (LoadArrays 200 ms, Inflection 5 µs a
// call on average, 50 MiB). It reports and never fails: timings on a shared
// machine are no test.
//
// Usage: korvel-morph-bench [LEXICON]   (default: sys/english.lex beside it)
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "MyDLL.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// Heap in use, mmap'd blocks included: what the tables hold, not what the
// allocator kept.
double heapMiB() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<double>(m.uordblks + m.hblkhd) / (1 << 20);
}

double residentMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024;
  return 0;
}

std::string besideProgram(const std::string& name) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return name;
  std::string dir(self, static_cast<size_t>(n));
  return dir.substr(0, dir.rfind('/') + 1) + name;
}

struct Lexicon {
  std::vector<std::string> words;
  size_t families = 0;
  size_t bytes = 0;
};

Lexicon readLexicon(const std::string& path) {
  Lexicon lex;
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> all;
  for (std::string line; std::getline(in, line);) {
    lex.bytes += line.size() + 1;
    if (line.empty() || line[0] == '#') continue;
    ++lex.families;
    std::istringstream words(line);
    for (std::string w; words >> w;) all.push_back(w.substr(1));
  }
  std::sort(all.begin(), all.end());
  all.erase(std::unique(all.begin(), all.end()), all.end());
  lex.words = std::move(all);
  return lex;
}

// Average time of one Inflection call over `words`, repeated to `calls`.
double microsPerCall(const std::vector<std::string>& words, size_t calls, size_t& sink) {
  char out[68];
  const auto start = Clock::now();
  for (size_t i = 0; i < calls; ++i) {
    Inflection(words[i % words.size()].c_str(), out);
    sink += static_cast<unsigned char>(out[0]);
  }
  return msSince(start) * 1000 / static_cast<double>(calls);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : besideProgram("sys/english.lex");
  if (argc > 1) setenv("KORVEL_LEXICON", argv[1], 1);
  const Lexicon lex = readLexicon(path);
  if (lex.words.empty()) {
    std::fprintf(stderr, "korvel-morph-bench: no words in %s\n", path.c_str());
    return 2;
  }

  const double heapBefore = heapMiB(), residentBefore = residentMiB();
  auto start = Clock::now();
  if (LoadArrays() != 0) {
    std::fprintf(stderr, "korvel-morph-bench: LoadArrays failed on %s\n", path.c_str());
    return 2;
  }
  const double firstLoad = msSince(start);
  const double heap = heapMiB() - heapBefore, resident = residentMiB() - residentBefore;

  std::vector<double> reloads;
  for (int i = 0; i < 15; ++i) {
    FreeArrays();
    start = Clock::now();
    LoadArrays();
    reloads.push_back(msSince(start));
  }
  std::sort(reloads.begin(), reloads.end());

  // Words the lexicon knows, the same capitalised, and unknown words of the
  // same shapes (a letter added): the mix a query expansion sees.
  std::vector<std::string> known = lex.words, capitalised, unknown;
  for (const auto& w : lex.words) {
    std::string c = w;
    c[0] = static_cast<char>(c[0] - 'a' + 'A');
    capitalised.push_back(c);
    unknown.push_back(w + "q");
  }
  size_t sink = 0;
  const size_t calls = 2'000'000;
  microsPerCall(known, known.size(), sink);  // warm the caches
  const double knownUs = microsPerCall(known, calls, sink);
  const double capitalUs = microsPerCall(capitalised, calls, sink);
  const double unknownUs = microsPerCall(unknown, calls, sink);
  const double meanUs = (knownUs + capitalUs + unknownUs) / 3;

  std::printf("lexicon      %s: %zu bytes, %zu families, %zu words\n", path.c_str(), lex.bytes,
              lex.families, lex.words.size());
  std::printf("LoadArrays   first %.1f ms; 15 reloads: median %.1f ms, worst %.1f ms"
              "  (worst / 200 ms = %.2f)\n",
              firstLoad, reloads[reloads.size() / 2], reloads.back(), std::max(firstLoad, reloads.back()) / 200);
  std::printf("Inflection   %.3f us known, %.3f us capitalised, %.3f us unknown, %zu calls each"
              "  (mean / 5 us = %.3f)\n",
              knownUs, capitalUs, unknownUs, calls, meanUs / 5);
  std::printf("memory       %.1f MiB heap, %.1f MiB resident added by LoadArrays"
              "  (larger / 50 MiB = %.2f)\n",
              heap, resident, std::max(heap, resident) / 50);
  FreeArrays();
  return sink == 42 ? 1 : 0;  // keeps the calls from being optimised away
}
