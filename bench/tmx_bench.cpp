// korvel-tmx-bench — ReadTmx against expat alone on the same file.
//
// Usage: korvel-tmx-bench [--units N] [--runs N] CORPUS_FOLDER
// Writes a TMX of N units (default 1,000,000) from the folder's
// NAME.EN.txt/NAME.ZH.txt pairs, repeated, into a temporary folder; times
// expat with no handlers and ReadTmx on it in turn (medians of --runs,
// default 5); reads it once more in a child process for its peak resident
// memory, set against the bytes the same pairs take as .txt files. Prints
//   tmx: N units read in X ms vs expat alone Y ms, ratio R; peak P MiB vs .txt T MiB, ratio Q
// as its last line. The temporary folder goes when it ends, also on Ctrl-C.
#include <dirent.h>
#include <expat.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "FileIO.h"
#include "TextDecode.h"
#include "sources/Source.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// This process's processor time: on a shared machine it drifts less than
// the time on the clock.
double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Set once the folder exists, so that a signal can remove it.
char gFolder[PATH_MAX];
char gFile[PATH_MAX];

extern "C" void RemoveAndStop(int sig) {
  unlink(gFile);
  rmdir(gFolder);
  signal(sig, SIG_DFL);
  raise(sig);
}

struct TFolder {
  std::string path;
  TFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/korvel-tmx-bench-XXXXXX";
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path = tmpl;
    std::snprintf(gFolder, sizeof gFolder, "%s", path.c_str());
    std::snprintf(gFile, sizeof gFile, "%s/bench.tmx", path.c_str());
    signal(SIGINT, RemoveAndStop);
    signal(SIGTERM, RemoveAndStop);
  }
  ~TFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default:
        // XML 1.0 forbids most controls even as references.
        out += static_cast<unsigned char>(c) < 32 && c != '\t' ? ' ' : c;
    }
  }
}

// The pairs of every NAME.EN.txt with its NAME.ZH.txt, in name order.
std::vector<std::pair<std::string, std::string>> Pairs(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > 7 && name.compare(name.size() - 7, 7, ".EN.txt") == 0 &&
        std::filesystem::exists(folder + "/" + name.substr(0, name.size() - 7) + ".ZH.txt"))
      names.push_back(name.substr(0, name.size() - 7));
  }
  std::sort(names.begin(), names.end());
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const std::string& name : names) {
    const std::string en = korvel::ReadTextFile(folder + "/" + name + ".EN.txt");
    const std::string zh = korvel::ReadTextFile(folder + "/" + name + ".ZH.txt");
    const auto enLines = korvel::SplitLines(en), zhLines = korvel::SplitLines(zh);
    for (std::size_t i = 0; i < std::min(enLines.size(), zhLines.size()); ++i)
      pairs.emplace_back(enLines[i], zhLines[i]);
  }
  return pairs;
}

// Writes the TMX, laid out as translation tools export it; returns the
// bytes the same pairs take as two .txt files.
std::size_t WriteTmx(const std::string& path, const std::vector<std::pair<std::string, std::string>>& pairs,
                     std::size_t units) {
  std::ofstream out(path, std::ios::binary);
  std::string block =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tmx version=\"1.4\">\n"
      "  <header creationtool=\"korvel-tmx-bench\" creationtoolversion=\"1\" segtype=\"sentence\" "
      "o-tmf=\"txt\" adminlang=\"en\" srclang=\"en\" datatype=\"plaintext\"/>\n  <body>\n";
  std::size_t txt = 0;
  for (std::size_t i = 0; i < units; ++i) {
    const auto& [en, zh] = pairs[i % pairs.size()];
    txt += en.size() + zh.size() + 2;
    block += "    <tu tuid=\"" + std::to_string(i + 1) + "\">\n      <tuv xml:lang=\"en\">\n        <seg>";
    AppendEscaped(block, en);
    block += "</seg>\n      </tuv>\n      <tuv xml:lang=\"zh-CN\">\n        <seg>";
    AppendEscaped(block, zh);
    block += "</seg>\n      </tuv>\n    </tu>\n";
    if (block.size() > (1u << 20)) {
      out << block;
      block.clear();
    }
  }
  out << block << "  </body>\n</tmx>\n";
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
  return txt;
}

// Expat over the file with no handler set, fed as ReadTmx feeds it.
void ExpatAlone(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  XML_Parser p = XML_ParserCreate(nullptr);
  constexpr int kPart = 256 << 10;
  for (bool last = false; !last;) {
    void* buffer = XML_GetBuffer(p, kPart);
    const ssize_t n = buffer ? read(fd, buffer, kPart) : -1;
    if (n < 0) throw std::runtime_error("read failed");
    last = n == 0;
    if (XML_ParseBuffer(p, static_cast<int>(n), last) != XML_STATUS_OK)
      throw std::runtime_error(std::string("expat: ") + XML_ErrorString(XML_GetErrorCode(p)));
  }
  XML_ParserFree(p);
  close(fd);
}

long VmHwmKb() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// The child: one ReadTmx, then "UNITS PEAK_KB".
int PeakChild(const std::string& path) {
  const korvel::TSourceText text = korvel::ReadTmx(path);
  std::printf("%zu %ld\n", text.Units, VmHwmKb());
  return 0;
}

std::string Capture(const std::vector<std::string>& argv) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  std::vector<char*> args;
  for (const std::string& s : argv) args.push_back(const_cast<char*>(s.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) throw std::runtime_error("cannot run " + argv[0] + ": " + std::strerror(rc));
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("the measuring child failed");
  return out;
}

[[noreturn]] void Usage(const std::string& why) {
  std::cerr << "korvel-tmx-bench: " << why << "\nUsage: korvel-tmx-bench [--units N] [--runs N] CORPUS_FOLDER\n";
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) try {
  if (argc == 3 && std::string(argv[1]) == "--peak") return PeakChild(argv[2]);
  std::size_t units = 1'000'000;
  int runs = 5;
  std::string folder;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if ((a == "--units" || a == "--runs") && i + 1 < argc) {
      if (a == "--units")
        units = std::strtoull(argv[++i], nullptr, 10);
      else
        runs = std::atoi(argv[++i]);
    } else if (!a.empty() && a[0] != '-' && folder.empty()) {
      folder = a;
    } else {
      Usage("unexpected " + a);
    }
  }
  if (folder.empty()) Usage("no corpus folder");
  if (units == 0 || runs < 1) Usage("--units and --runs must be positive");

  TFolder temp;
  const std::string tmx = temp.path + "/bench.tmx";
  std::size_t txtBytes = 0;
  {
    const auto pairs = Pairs(folder);
    if (pairs.empty()) Usage("no NAME.EN.txt/NAME.ZH.txt pairs in " + folder);
    txtBytes = WriteTmx(tmx, pairs, units);
  }
  const auto tmxBytes = std::filesystem::file_size(tmx);
  std::printf("tmx file: %zu units, %.1f MiB; the pairs as .txt: %.1f MiB\n", units, tmxBytes / 1048576.0,
              txtBytes / 1048576.0);

  // Once each untimed: the file in the page cache, the allocator warm.
  ExpatAlone(tmx);
  if (korvel::ReadTmx(tmx).Units != units) throw std::runtime_error("ReadTmx read a different number of units");
  std::vector<double> expat, reader, expatCpu, readerCpu;
  for (int r = 0; r < runs; ++r) {
    auto start = Clock::now();
    double cpu = CpuMs();
    ExpatAlone(tmx);
    expatCpu.push_back(CpuMs() - cpu);
    expat.push_back(MsSince(start));
    start = Clock::now();
    cpu = CpuMs();
    const korvel::TSourceText text = korvel::ReadTmx(tmx);
    readerCpu.push_back(CpuMs() - cpu);
    reader.push_back(MsSince(start));
  }
  const double expatMs = Median(expat), readerMs = Median(reader);
  auto show = [](const char* what, const std::vector<double>& ms, const std::vector<double>& cpu) {
    std::printf("%-12s", what);
    for (std::size_t i = 0; i < ms.size(); ++i) std::printf(" %.0f (cpu %.0f)", ms[i], cpu[i]);
    std::printf(" ms\n");
  };
  show("expat alone", expat, expatCpu);
  show("ReadTmx", reader, readerCpu);
  std::printf("processor time: ReadTmx %.0f ms vs expat alone %.0f ms, ratio %.2f\n", Median(readerCpu),
              Median(expatCpu), Median(readerCpu) / Median(expatCpu));
  // The fastest run of each is the nearest to an idle machine.
  const double bestReader = *std::min_element(reader.begin(), reader.end());
  const double bestExpat = *std::min_element(expat.begin(), expat.end());
  std::printf("fastest runs: ReadTmx %.0f ms vs expat alone %.0f ms, ratio %.2f\n", bestReader, bestExpat,
              bestReader / bestExpat);

  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) throw std::runtime_error("cannot find this program");
  self[n] = '\0';
  std::size_t childUnits = 0;
  long peakKb = -1;
  if (std::sscanf(Capture({self, "--peak", tmx}).c_str(), "%zu %ld", &childUnits, &peakKb) != 2 ||
      childUnits != units)
    throw std::runtime_error("the measuring child read something else");
  const double peakMiB = peakKb / 1024.0, txtMiB = txtBytes / 1048576.0;
  std::printf("tmx: %zu units read in %.0f ms vs expat alone %.0f ms, ratio %.2f; peak %.0f MiB vs .txt %.0f MiB, "
              "ratio %.2f\n",
              units, readerMs, expatMs, readerMs / expatMs, peakMiB, txtMiB, peakMiB / txtMiB);
  return 0;
} catch (const std::exception& e) {
  std::cerr << "korvel-tmx-bench: " << e.what() << "\n";
  return 1;
}
