// korvel-bench — times the engine against ripgrep on one corpus folder, in
// one process, so that every ratio compares runs made side by side.
//
// Usage: korvel-bench [--runs N] [--csv FILE] [--page-hits N] [--export-hits N] FOLDER
// Prints the table described in bench/README.md; the last line is
// "worst search ratio: X.XX". --csv appends one row per measured item.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CorpusFolder.h"
#include "FileIO.h"
#include "MyDLL.h"
#include "unKorvel.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Options {
  std::string folder, csv;
  int runs = 5;
  long pageHits = 10'000, exportHits = 100'000;
};

[[noreturn]] void Usage(const std::string& why) {
  std::cerr << "korvel-bench: " << why
            << "\nUsage: korvel-bench [--runs N] [--csv FILE] [--page-hits N] [--export-hits N] FOLDER\n";
  std::exit(2);
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(a + " needs a value");
      return argv[++i];
    };
    if (a == "--runs") {
      o.runs = std::atoi(value().c_str());
    } else if (a == "--csv") {
      o.csv = value();
    } else if (a == "--page-hits") {
      o.pageHits = std::atol(value().c_str());
    } else if (a == "--export-hits") {
      o.exportHits = std::atol(value().c_str());
    } else if (!a.empty() && a[0] == '-') {
      Usage("unknown option " + a);
    } else if (o.folder.empty()) {
      o.folder = a;
    } else {
      Usage("only one folder");
    }
  }
  if (o.folder.empty()) Usage("no corpus folder");
  if (o.runs < 1) Usage("--runs must be at least 1");
  return o;
}

// Standard output of a child, without a shell so that no path or pattern
// needs quoting. rg exits 1 when nothing matched; only 2 and up are errors.
std::string Capture(const std::vector<std::string>& argv) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  std::vector<char*> args;
  for (const std::string& s : argv) args.push_back(const_cast<char*>(s.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    throw std::runtime_error("cannot run " + argv[0] + ": " + std::strerror(rc));
  }
  std::string out;
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n > 0) {
      out.append(buf, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1)
    throw std::runtime_error(argv[0] + " failed (status " + std::to_string(status) + ")");
  return out;
}

// rg -c --no-filename prints one count per file that matched.
long SumCounts(const std::string& out) {
  long sum = 0;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) sum += std::atol(line.c_str());
  return sum;
}

std::vector<std::string> RgCommand(const std::vector<std::string>& flags, const std::string& pattern,
                                   const std::vector<std::string>& files) {
  std::vector<std::string> cmd{"rg", "--no-config", "-c", "--no-filename"};
  cmd.insert(cmd.end(), flags.begin(), flags.end());
  cmd.push_back("-e");
  cmd.push_back(pattern);
  cmd.push_back("--");
  cmd.insert(cmd.end(), files.begin(), files.end());
  return cmd;
}

// A "Name:   123 kB" field of /proc/self/status, in bytes; -1 when absent.
long StatusBytes(const std::string& name) {
  std::ifstream in("/proc/self/status");
  const std::string key = name + ":";
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size()) * 1024;
  return -1;
}

long FileBytes(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

// Terminal columns of UTF-8 text: CJK and full-width characters take two.
std::size_t Columns(const std::string& s) {
  std::size_t cols = 0;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    cols += (len >= 3 && c >= 0xE3) ? 2 : 1;  // U+3000 and up
    i += len;
  }
  return cols;
}

std::string PadRight(const std::string& s, std::size_t width) {
  const std::size_t cols = Columns(s);
  return cols >= width ? s : s + std::string(width - cols, ' ');
}

std::string Fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

struct Query {
  std::string id;     // the CSV key
  std::string shown;  // the table's label
  std::string text;
  bool lemma = false;
  std::string filter;
  bool exclude = false;
  bool comparable = true;          // has an rg equivalent
  std::vector<std::string> rgFlags;
  std::string rgPattern;           // empty: derived from the engine's expression
};

struct Row {
  const Query* q;
  long hits = 0, rgHits = -1;
  double ms = 0, rgMs = -1;
};

// The lemma expansion as rg should see it: the engine's "\b(...)\b" without
// the boundaries, which rg -w supplies.
std::string InnerOfWordPattern(const std::string& pattern) {
  if (pattern.size() >= 7 && pattern.rfind("\\b(", 0) == 0 && pattern.compare(pattern.size() - 3, 3, ")\\b") == 0)
    return pattern.substr(3, pattern.size() - 6);
  return pattern;
}

// Words spanning common to rare, to find one whose hit count is near a target.
const char* const kCandidates[] = {"the", "and", "to", "is", "with", "this", "not", "from", "will", "said",
                                   "people", "house", "time", "year", "work", "give", "world", "water",
                                   "life", "country", "river", "money"};

// The candidate whose hit count is nearest `target` on a log scale.
std::string PickWord(korvel::TKorvel& engine, long target, long& hits) {
  std::string best;
  double bestDistance = INFINITY;
  for (const char* w : kCandidates) {
    engine.SetFilter("", false, false);
    engine.Search(w, false);
    const long h = engine.HitCount();
    if (h == 0) continue;
    const double d = std::fabs(std::log(static_cast<double>(h) / static_cast<double>(target)));
    if (d < bestDistance) {
      bestDistance = d;
      best = w;
      hits = h;
    }
  }
  return best;
}

int Run(const Options& o) {
  auto start = Clock::now();
  LoadArrays();
  const double arraysMs = MsSince(start);
  korvel::TKorvel engine;
  start = Clock::now();
  engine.LoadDictionaries("");
  const double dictionariesMs = MsSince(start);

  std::vector<std::string> files = korvel::ListCorpusFolder(o.folder);
  if (files.empty()) throw std::runtime_error("no .EN./.ZH. file pairs in " + o.folder);
  std::vector<std::string> en, zh;
  long corpusBytes = 0;
  for (const std::string& f : files) {
    (korvel::FindMarker(f, ".EN.") != std::string::npos ? en : zh).push_back(f);
    corpusBytes += FileBytes(f);
  }

  // rg reads every file once first, so both sides start from the page cache.
  const std::vector<std::string> rgLoad = RgCommand({}, "", files);
  Capture(rgLoad);
  auto timeLoad = [&] {
    const auto t = Clock::now();
    engine.SetFiles(files);
    return MsSince(t);
  };
  std::vector<double> loadTimes = {timeLoad()};
  const long peak = StatusBytes("VmHWM");
  const long anon = StatusBytes("RssAnon"), fileBacked = StatusBytes("RssFile");
  const long pairs = static_cast<long>(engine.Data().size());
  // Loads and rg runs take turns, so a busy moment of the machine falls on
  // both alike. A load replaces the last one, freeing it first.
  std::vector<double> rgLoadTimes;
  long rgLines = 0;
  for (int i = 0; i < o.runs; ++i) {
    const auto t = Clock::now();
    rgLines = SumCounts(Capture(rgLoad));
    rgLoadTimes.push_back(MsSince(t));
    if (i > 0) loadTimes.push_back(timeLoad());
  }
  const double firstLoadMs = loadTimes.front();
  const double loadMs = Median(loadTimes);
  const double rgLoadMs = Median(rgLoadTimes);

  const std::vector<Query> queries = {
      {"word", "work", "work", false, "", false, true, {"-i", "-w"}, "work"},
      {"phrase", "give up", "give up", false, "", false, true, {"-i", "-w"}, "give up"},
      {"lemma_phrase", "give up (lemma)", "give up", true, "", false, true, {"-i", "-w"}, ""},
      {"absent_word", "xylophonequartz", "xylophonequartz", false, "", false, true, {"-i", "-w"}, "xylophonequartz"},
      {"regex", "colou?r", "colou?r", false, "", false, true, {"-i"}, "colou?r"},
      {"alternation5", "house|river|garden|money|letter", "house|river|garden|money|letter", false, "", false, true,
       {"-i"}, "house|river|garden|money|letter"},
      {"zh_word", "发展", "发展", false, "", false, true, {"-F"}, "发展"},
      {"zh_alternation", "发展|经济|政府", "发展|经济|政府", false, "", false, true, {}, "发展|经济|政府"},
      {"filter_include", "work, filter 工作", "work", false, "工作", false, false, {}, ""},
      {"filter_exclude", "work, exclude 工作", "work", false, "工作", true, false, {}, ""},
  };

  std::vector<Row> rows;
  for (const Query& q : queries) {
    Row row{&q};
    auto search = [&] {
      engine.SetFilter(q.filter, q.exclude, false);
      engine.Search(q.text, q.lemma);
    };
    search();  // untimed, like rg's first run
    row.hits = engine.HitCount();
    std::vector<std::string> rg;
    if (q.comparable) {
      const std::string pattern = q.rgPattern.empty() ? InnerOfWordPattern(engine.Pattern()) : q.rgPattern;
      rg = RgCommand(q.rgFlags, pattern, engine.QueryIsChinese() ? zh : en);
      row.rgHits = SumCounts(Capture(rg));
    }
    // Alternating the two spreads any drift of the machine over both.
    std::vector<double> times, rgTimes;
    for (int i = 0; i < o.runs; ++i) {
      auto t = Clock::now();
      search();
      times.push_back(MsSince(t));
      if (!rg.empty()) {
        t = Clock::now();
        Capture(rg);
        rgTimes.push_back(MsSince(t));
      }
    }
    row.ms = Median(times);
    if (!rgTimes.empty()) row.rgMs = Median(rgTimes);
    rows.push_back(row);
  }

  // The translation table, from the end of the search to the finished
  // table, against one rg pass over the aligned side's files.
  struct SpotRow {
    std::string word;
    long hits = 0;
    double ms = 0, rgMs = 0;
  };
  std::vector<SpotRow> spots;
  {
    long commonHits = 0;
    std::string common = PickWord(engine, 20000, commonHits);
    for (const std::string& word : {common, std::string("发展")}) {
      SpotRow row{word};
      engine.SetFilter("", false, false);
      engine.Search(word, false);
      row.hits = engine.HitCount();
      const std::vector<std::string> rg = RgCommand({"-F"}, word, engine.QueryIsChinese() ? en : zh);
      korvel::TSpotOptions options;
      engine.Spot(engine.Result(), options);  // untimed, like rg's first run
      Capture(rg);
      std::vector<double> times, rgTimes;
      for (int i = 0; i < o.runs; ++i) {
        auto t = Clock::now();
        engine.Spot(engine.Result(), options);
        times.push_back(MsSince(t));
        t = Clock::now();
        Capture(rg);
        rgTimes.push_back(MsSince(t));
      }
      row.ms = Median(times);
      row.rgMs = Median(rgTimes);
      spots.push_back(row);
    }
  }

  // Page and export of about the wanted number of hits, picked by hit count
  // since the engine has no "first N hits". Written outside the corpus
  // folder, which may be read-only.
  const char* tmpdir = std::getenv("TMPDIR");
  std::string outDir = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/korvel-bench-out.XXXXXX";
  if (!mkdtemp(outDir.data())) throw std::runtime_error("cannot create a folder in " + outDir);
  const std::string out = outDir + "/out";
  long pageRows = -1;
  auto timeOutput = [&](long target, bool page, std::string& word, long& hits) {
    word = PickWord(engine, target, hits);
    engine.SetFilter("", false, false);
    engine.Search(word, false);
    std::vector<double> times;
    for (int i = 0; i < o.runs; ++i) {
      const auto t = Clock::now();
      if (page)
        engine.WriteResultPage(out);
      else
        engine.ExportText(out);
      times.push_back(MsSince(t));
    }
    // The page may hold fewer hits than the search found; each hit's block
    // has one number cell spanning its two rows.
    if (page) {
      const std::string html = korvel::ReadFileBytes(out);
      const std::string cell = "<td class=\"no\" rowspan=";
      pageRows = 0;
      for (std::size_t at = html.find(cell); at != std::string::npos; at = html.find(cell, at + 1)) ++pageRows;
    }
    std::remove(out.c_str());
    return Median(times);
  };
  std::string pageWord, exportWord;
  long pageHits = 0, exportHits = 0;
  const double pageMs = timeOutput(o.pageHits, true, pageWord, pageHits);
  const double exportMs = timeOutput(o.exportHits, false, exportWord, exportHits);
  rmdir(outDir.c_str());

  // Sorting the export's hits by the word right of each: every hit's key
  // made, then the order.
  engine.Search(exportWord, false);
  std::vector<double> sortTimes;
  for (int i = 0; i < o.runs; ++i) {
    const auto t = Clock::now();
    engine.Sort({korvel::TSortKey::Right1});
    sortTimes.push_back(MsSince(t));
  }
  const double sortMs = Median(sortTimes);
  // The same hits by the first row of their translation table (made once,
  // untimed) that each aligned line holds.
  korvel::TSpotOptions spotOptions;
  engine.SetTranslationOrder(engine.Spot(engine.Result(), spotOptions).Rows);
  std::vector<double> byTranslation;
  for (int i = 0; i < o.runs; ++i) {
    const auto t = Clock::now();
    engine.Sort({korvel::TSortKey::Translation});
    byTranslation.push_back(MsSince(t));
  }
  const double translationSortMs = Median(byTranslation);

  // The table.
  const double mib = 1024.0 * 1024.0;
  std::cout << "Korvel benchmark: " << pairs << " pairs in " << en.size() << " file pairs, "
            << Fixed(corpusBytes / mib, 1) << " MiB; median of " << o.runs << " runs\n\n";
  const std::size_t w0 = 34;
  auto line = [&](const std::string& a, const std::string& b, const std::string& c, const std::string& d,
                  const std::string& e, const std::string& f) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "%9s %9s %10s %9s %7s", b.c_str(), c.c_str(), d.c_str(), e.c_str(), f.c_str());
    std::cout << PadRight(a, w0) << buf << "\n";
  };
  line("query", "hits", "rg hits", "Korvel ms", "rg ms", "ratio");
  double worst = 0;
  bool mismatch = false;
  const Row* plain = nullptr;
  for (const Row& r : rows) {
    if (r.q->id == "word") plain = &r;
    if (r.q->comparable) {
      const double ratio = r.ms / r.rgMs;
      worst = std::max(worst, ratio);
      const bool differ = r.hits != r.rgHits;
      mismatch = mismatch || differ;
      line(r.q->shown, std::to_string(r.hits), std::to_string(r.rgHits) + (differ ? "*" : ""), Fixed(r.ms, 1),
           Fixed(r.rgMs, 1), Fixed(ratio, 2));
    } else {
      line(r.q->shown, std::to_string(r.hits), "-", Fixed(r.ms, 1), "-", "-");
    }
  }
  std::cout << "\n";
  if (mismatch) std::cout << "* hit counts differ (see bench/README.md)\n";
  if (plain) {
    std::cout << "filters: plain \"work\" " << Fixed(plain->ms, 1) << " ms";
    for (const Row& r : rows)
      if (!r.q->comparable)
        std::cout << ", " << (r.q->exclude ? "exclude" : "include") << " " << Fixed(r.ms, 1) << " ms ("
                  << Fixed(r.ms / plain->ms, 2) << "x)";
    std::cout << "\n";
  }
  const long pageShown = pageRows > 0 ? pageRows : pageHits;
  std::cout << "result page: " << pageShown << " shown of " << pageHits << " hits of \"" << pageWord << "\" in "
            << Fixed(pageMs, 1) << " ms (" << Fixed(pageShown / pageMs, 1) << " hits/ms)\n";
  std::cout << "export: " << exportHits << " hits of \"" << exportWord << "\" in " << Fixed(exportMs, 1) << " ms ("
            << Fixed(exportHits / exportMs, 1) << " hits/ms)\n";
  std::cout << "sort: " << exportHits << " hits by 1R in " << Fixed(sortMs, 1) << " ms, by translation in "
            << Fixed(translationSortMs, 1) << " ms\n";
  for (const SpotRow& r : spots)
    std::cout << "spot: " << r.hits << " hits of \"" << r.word << "\" in " << Fixed(r.ms, 1)
              << " ms vs rg -c over the aligned side " << Fixed(r.rgMs, 1) << " ms, ratio " << Fixed(r.ms / r.rgMs, 2)
              << "\n";
  std::cout << "startup: LoadArrays " << Fixed(arraysMs, 1) << " ms, LoadDictionaries " << Fixed(dictionariesMs, 1)
            << " ms\n";
  std::cout << "load: SetFiles " << Fixed(loadMs, 1) << " ms (first of " << loadTimes.size() << " loads "
            << Fixed(firstLoadMs, 1) << " ms) vs rg -c '' " << Fixed(rgLoadMs, 1) << " ms (" << rgLines
            << " lines), ratio " << Fixed(loadMs / rgLoadMs, 2) << "\n";
  const double budget = 1.3 * static_cast<double>(corpusBytes) + 64 * mib;
  std::cout << "memory: peak resident " << Fixed(peak / mib, 1) << " MiB after load, corpus "
            << Fixed(corpusBytes / mib, 1) << " MiB on disk, " << Fixed(peak / static_cast<double>(corpusBytes), 2)
            << "x corpus (resident then: " << Fixed(anon / mib, 1) << " MiB anonymous, " << Fixed(fileBacked / mib, 1)
            << " MiB file-backed); ratio to 1.3 x corpus + 64 MiB: " << Fixed(peak / budget, 2) << "\n";
  char last[64];
  std::snprintf(last, sizeof last, "worst search ratio: %.2f", worst);
  std::cout << last << std::endl;

  if (!o.csv.empty()) {
    std::ofstream csv(o.csv, std::ios::app);
    if (FileBytes(o.csv) == 0) csv << "pairs,corpus_bytes,peak_rss_bytes,item,hits,rg_hits,korvel_ms,rg_ms\n";
    auto put = [&](const std::string& item, long hits, long rgHits, double ms, double rgMs) {
      csv << pairs << ',' << corpusBytes << ',' << peak << ',' << item << ',' << hits << ',' << rgHits << ','
          << Fixed(ms, 3) << ',' << Fixed(rgMs, 3) << '\n';
    };
    put("load_arrays", -1, -1, arraysMs, -1);
    put("load_dictionaries", -1, -1, dictionariesMs, -1);
    put("load", pairs, rgLines, loadMs, rgLoadMs);
    put("load_first", pairs, rgLines, firstLoadMs, rgLoadMs);
    for (const Row& r : rows) put(r.q->id, r.hits, r.rgHits, r.ms, r.rgMs);
    for (const SpotRow& r : spots) put(r.word == "发展" ? "spot_zh" : "spot_common", r.hits, -1, r.ms, r.rgMs);
    put("page", pageShown, -1, pageMs, -1);
    put("export", exportHits, -1, exportMs, -1);
    put("sort", exportHits, -1, sortMs, -1);
    put("sort_translation", exportHits, -1, translationSortMs, -1);
    if (!csv) throw std::runtime_error("cannot write " + o.csv);
  }
  FreeArrays();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(Parse(argc, argv));
  } catch (const std::exception& e) {
    std::cerr << "korvel-bench: " << e.what() << std::endl;
    return 2;
  }
}
