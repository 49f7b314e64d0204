// korvel-cli — the concordance engine from the command line.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CorpusFolder.h"
#include "FileIO.h"
#include "KorvelVersion.h"
#include "Kwic.h"
#include "MyDLL.h"
#include "ProgramFolder.h"
#include "RunSearch.h"
#include "Sort.h"
#include "TextDecode.h"
#include "cache/CacheFolder.h"
#include "cache/CorpusCache.h"
#include "unKorvel.h"

using namespace korvel;

namespace {

constexpr const char* kHelp = R"HELP(Usage:
  korvel-cli search [options] QUERY PATH...
  korvel-cli spot [--top N] [search options] QUERY PATH...
  korvel-cli expand TEXT
  korvel-cli inflect WORD
  korvel-cli lookup [--dic DIR] TEXT
  korvel-cli cache info|clear
  korvel-cli --help
  korvel-cli --version

search: finds every aligned line pair whose line in the query's language
matches QUERY (a word, a phrase or a regular expression, English or Chinese).
PATH is a corpus folder or individual files. A folder gives every NAME.EN.txt
that has its NAME.ZH.txt twin, every NAME.en that has its NAME.zh twin (or
NAME.zh_CN, NAME.zh-CN, NAME.cmn; any letter case), and every .tmx and .tsv
file, which holds both languages. Files named one by one are paired the same
way; the English and Chinese ones must come to an even number.

Options (anywhere before "--", which ends them; VALUE may also follow "="):
  --lemma           widen the query's English words to all their forms
  --filter TEXT     the aligned line must match TEXT (a regular expression)
  --exclude         the aligned line must not match the filter
  --filter-lemma    widen the filter's English words to all their forms
  --zh-words        a Chinese query or filter matches whole words only
  --variants        Chinese characters of the query, the filter and the word-list
                    equivalents match their simplified and traditional forms
                    alike (发展 finds 發展 and 發展 finds 发展)
  --dic DIR         folder of EN-ZH.txt and ZH-EN.txt (default: the program's dic/)
  --no-cache        neither use nor write the corpus cache (see cache below)
  --skip-bad        a .tmx or .tsv file that cannot be read is left out, named
                    on standard error, and the rest is searched (without it
                    the run fails)
  --html FILE       write the result page to FILE ("-": standard output)
  --tsv FILE        write the tab-separated export to FILE ("-": standard output)
  --csv FILE        write the export as CSV for spreadsheets to FILE ("-":
                    standard output): UTF-8 with a byte-order mark, a header
                    row, the same six fields and marks, quoted as RFC 4180
  --tmx FILE        write the hits as a TMX 1.4b translation memory to FILE
                    ("-": standard output): one unit per hit, the English and
                    Chinese lines without marks, the searched file and line
                    as properties
  --xlsx FILE       write the hits as an Excel workbook to FILE: the six
                    fields under a header row, the marks as bold red (the
                    query), bold blue (equivalents) and underlined amber (the
                    filter) text; hits past a sheet's rows go on to sheets
                    "Hits 2", ..., lines past a cell's 32,767 characters are
                    cut and marked in a Cut column, and a note row says so
  --count           print only the number of hits
  --sort KEY[,KEY]  show the hits in this order (the page, the export and
                    --kwic): hit (the hit's text), 1L 2L 3L (the first,
                    second, third word left of it), 1R 2R 3R (right),
                    translation (the first row of the hits' translation
                    table, as spot prints it, that the aligned line holds;
                    lines with none last), file (file and line, the
                    default); each next key breaks the ties of the ones
                    before, corpus order the rest. Words compare ignoring
                    letter case; a missing word comes first
  --kwic            print key-word-in-context rows instead of the export
                    lines: left context, hit, right context, aligned line,
                    file, line number (tab-separated, CRLF line ends)
  --width N         characters of context on each side for --kwic (default 40)
  --page N          the result page (--html) shows the Nth 10,000 hits
                    (default 1); a page past the last hit is an error

Without --tsv, --csv, --tmx, --xlsx, --count and --kwic the export lines (six
tab-separated fields, CRLF line ends) go to standard output. The status line (seconds, hits,
direction, expression) goes to standard error.

spot: how the hits' aligned lines translate QUERY. Searches as search does
(with the options that select hits: --lemma, --filter, --exclude,
--filter-lemma, --zh-words, --variants, --dic, --skip-bad, --no-cache) and prints the translation table, best
first, one row per line: translation, hits whose aligned line contains it,
their share of the hits (3 decimals) and the log-likelihood score (1
decimal), separated by tabs; then "(none of these)" with the hits that
contain none of the rows.
  --top N           rows to print (default 10)
Chinese rows count where their string occurs; English rows stand for every
form of a word and count where one occurs as a whole word.

cache: search and spot keep what loading made of each pair of sources (the
decoded texts, the line records and an index of each side) in
$XDG_CACHE_HOME/korvel/corpora (default ~/.cache/korvel/corpora; the folder
private to the user), so that the next load of unchanged sources maps it
instead of reading them. A source is known by its path, size, modification
time, inode and first and last 64 KiB; a changed one is cached anew, and one
that cannot be read fails the run as ever. The cache is written after the
answer is printed, with standard output closed first so a pipeline goes on.
The folder is kept under 10 GiB or a fifth of the free disk, whichever is
less, the least recently used caches removed first. A folder that cannot be
written means no cache, with a note on standard error.
  cache info        the folder, its total size and each cache with its size
                    and sources, least recently used first
  cache clear       remove every corpus cache (nothing else in the folder)

expand prints the lemma expansion of TEXT; inflect prints the other forms of
WORD; lookup prints the dictionary equivalents of TEXT; --version prints
"korvel-cli" and the version.

Exit status of search and spot: 0 when there are hits, 1 when there are none, 2 on any
error. The other commands exit 0.
)HELP";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class Command { Search, Spot, Other };

struct Options {
  bool lemma = false, exclude = false, filterLemma = false, count = false, zhWords = false, variants = false, kwic = false;
  bool skipBad = false, noCache = false;
  std::string filter, dic, html, tsv, csv, tmx, xlsx;
  std::size_t top = 10, width = kKwicWidth, page = 1;
  bool widthGiven = false, pageGiven = false;
  TSortKeys sort;
  std::vector<std::string> positional;
};

Options Parse(const std::vector<std::string>& args, Command command) {
  const bool allowSearchOptions = command != Command::Other;
  Options o;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
      o.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = a, value;
    bool hasValue = false;
    if (std::size_t eq = a.find('='); eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      hasValue = true;
    }
    auto takeValue = [&]() -> std::string {
      if (hasValue) return value;
      if (i + 1 >= args.size()) throw UsageError("Option " + name + " needs a value");
      return args[++i];
    };
    auto flag = [&](bool& target) {
      if (hasValue) throw UsageError("Option " + name + " takes no value");
      target = true;
    };
    // An empty name would quietly write or read nothing.
    auto takePath = [&]() -> std::string {
      std::string path = takeValue();
      if (path.empty()) throw UsageError("empty file name for " + name);
      return path;
    };
    // A whole number from `low` to `high`.
    auto takeNumber = [&](std::size_t low, std::size_t high) -> std::size_t {
      const std::string n = takeValue();
      std::size_t used = 0;
      unsigned long long number = 0;
      try {
        number = std::stoull(n, &used);
      } catch (const std::exception&) {
        used = 0;
      }
      if (used == 0 || used != n.size() || n[0] == '-' || number < low || number > high)
        throw UsageError(name + " needs a number from " + std::to_string(low) + " to " + std::to_string(high) +
                         ", not \"" + n + "\"");
      return static_cast<std::size_t>(number);
    };
    if (name == "--dic") {
      o.dic = takePath();
    } else if (!allowSearchOptions) {
      throw UsageError("Unknown option " + name);
    } else if (name == "--lemma") {
      flag(o.lemma);
    } else if (name == "--exclude") {
      flag(o.exclude);
    } else if (name == "--filter-lemma") {
      flag(o.filterLemma);
    } else if (name == "--zh-words") {
      flag(o.zhWords);
    } else if (name == "--variants") {
      flag(o.variants);
    } else if (name == "--skip-bad") {
      flag(o.skipBad);
    } else if (name == "--no-cache") {
      flag(o.noCache);
    } else if (name == "--filter") {
      o.filter = takeValue();
    } else if (command == Command::Spot && name == "--top") {
      o.top = takeNumber(1, 100000);
    } else if (command == Command::Spot) {
      throw UsageError("Unknown option " + name);
    } else if (name == "--count") {
      flag(o.count);
    } else if (name == "--html") {
      o.html = takePath();
    } else if (name == "--tsv") {
      o.tsv = takePath();
    } else if (name == "--csv") {
      o.csv = takePath();
    } else if (name == "--tmx") {
      o.tmx = takePath();
    } else if (name == "--xlsx") {
      o.xlsx = takePath();
      // A workbook is a zip archive: no use on a terminal or in a pipe.
      if (o.xlsx == "-") throw UsageError("--xlsx needs a file name; a workbook does not go to standard output");
    } else if (name == "--sort") {
      const std::string keys = takeValue();
      const std::optional<TSortKeys> parsed = ParseSortKeys(keys);
      if (!parsed) throw UsageError("--sort takes hit, 1L, 2L, 3L, 1R, 2R, 3R, file or translation, not \"" + keys + "\"");
      o.sort = *parsed;
    } else if (name == "--kwic") {
      flag(o.kwic);
    } else if (name == "--width") {
      o.width = takeNumber(1, 100000);
      o.widthGiven = true;
    } else if (name == "--page") {
      o.page = takeNumber(1, 1000000);
      o.pageGiven = true;
    } else {
      throw UsageError("Unknown option " + name);
    }
  }
  // Options that would otherwise be quietly ignored.
  if (o.widthGiven && !o.kwic) throw UsageError("--width needs --kwic");
  if (o.pageGiven && o.html.empty()) throw UsageError("--page needs --html");
  if (o.kwic && o.count) throw UsageError("--kwic and --count cannot go together");
  return o;
}

void WriteStdout(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  if (std::ferror(stdout)) throw EKorvel(std::string("Cannot write to standard output. ") + std::strerror(errno));
}

// "-" names standard output, as it does for most tools. What stdio holds
// goes first, since the file is written through its descriptor.
std::string OutputPath(const std::string& path) {
  std::fflush(stdout);
  return path == "-" ? "/dev/stdout" : path;
}

// The word lists are optional, but a folder named by mistake should not
// pass for one without equivalents.
void LoadWordLists(TKorvel& engine, const std::string& dir) {
  struct stat st {};
  if (!dir.empty() && (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
    std::cerr << "korvel-cli: note: no word-list folder \"" << DisplayPath(dir) << "\"; no equivalents are marked\n";
  engine.LoadDictionaries(dir);
}

// What a rendering noted, once however many outputs noted it.
void PrintNote(const TKorvel& engine, std::string& printed) {
  if (engine.Note().empty() || engine.Note() == printed) return;
  printed = engine.Note();
  std::cerr << "korvel-cli: note: " << WithFullStop(printed) << "\n";
}

// RAII for the inflection tables: loaded before any expansion, freed last.
// A missing lexicon ends the run rather than leave --lemma quietly off.
struct InflectionTables {
  InflectionTables() { LoadInflectionTables(); }
  ~InflectionTables() { FreeArrays(); }
};

std::vector<std::string> CorpusFiles(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) ThrowCannotOpen(path, errno);
    if (!S_ISDIR(st.st_mode)) {
      files.push_back(path);
      continue;
    }
    std::vector<std::string> listed = ListCorpusFolder(path);
    if (listed.empty())
      throw EKorvel("The folder \"" + DisplayPath(path) + "\" holds no pair of .EN. and .ZH. text files");
    files.insert(files.end(), listed.begin(), listed.end());
  }
  // A TMX or TSV file is a pair in itself; the others must pair up.
  std::size_t toPair = 0;
  for (const std::string& file : files) toPair += ListedEntryWeight(file) == 1;
  if (toPair % 2 != 0)
    throw EKorvel("Cannot pair an odd number of files (" + std::to_string(toPair) +
                  "): every English file needs its Chinese twin");
  return files;
}

// Standard output is closed first (it then goes to /dev/null), so a pipeline
// reading it goes on while the cache is written.
void BuildCache(TKorvel& engine) {
  if (!engine.CacheMissing()) return;
  std::fflush(stdout);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) {
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  try {
    engine.BuildCache();
  } catch (const EKorvel& e) {
    std::cerr << "korvel-cli: note: " << WithFullStop(e.what()) << " No corpus cache is kept.\n";
  } catch (const std::exception&) {
  }
}

std::string Size(std::uint64_t bytes) {
  char text[32];
  if (bytes < 1024 * 1024)
    std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024);
  else
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024 * 1024));
  return text;
}

int Cache(const Options& o) {
  if (o.positional.size() != 1) throw UsageError("cache needs info or clear");
  const std::string dir = DefaultCorpusCacheDir();
  if (dir.empty()) throw EKorvel("No cache folder: neither XDG_CACHE_HOME nor HOME names one");
  if (o.positional[0] == "clear") {
    const std::size_t removed = ClearCorpusCaches(dir);
    WriteStdout("Removed " + std::to_string(removed) + (removed == 1 ? " file" : " files") + " from " +
                DisplayPath(dir) + "\n");
    return 0;
  }
  if (o.positional[0] != "info") throw UsageError("cache needs info or clear, not \"" + o.positional[0] + "\"");
  const std::vector<TCacheEntry> entries = ListCorpusCaches(dir);
  std::uint64_t total = 0;
  for (const TCacheEntry& e : entries) total += e.Bytes;
  std::string out = "Location: " + DisplayPath(dir) + "\nTotal: " + Size(total) + " in " +
                    std::to_string(entries.size()) + (entries.size() == 1 ? " cache" : " caches") + " (limit " +
                    Size(DefaultCacheLimit(dir)) + ")\n";
  for (const TCacheEntry& e : entries) {
    out += Size(e.Bytes) + "\t";
    for (std::size_t i = 0; i < e.Sources.size(); ++i) {
      if (i) out += '\t';
      out += DisplayPath(e.Sources[i]);
    }
    if (e.Sources.empty()) {
      out += "(unreadable) ";
      out += DisplayPath(e.Path);
    }
    out += "\n";
  }
  WriteStdout(out);
  return 0;
}

int Answer(const Options& o, Command command, TKorvel& engine, std::vector<std::string> files);

int Search(const Options& o, Command command) {
  const std::string name = command == Command::Spot ? "spot" : "search";
  if (o.positional.size() < 2) throw UsageError(name + " needs a QUERY and at least one PATH");
  const std::string query = SanitizeUtf8(o.positional[0]);
  if (Trim(query).empty()) throw EKorvel("The query is empty");
  std::vector<std::string> files = CorpusFiles({o.positional.begin() + 1, o.positional.end()});

  InflectionTables tables;
  TKorvel engine;
  LoadWordLists(engine, o.dic);
  if (!o.noCache) engine.SetCacheDir(DefaultCorpusCacheDir());
  const int status = Answer(o, command, engine, std::move(files));
  BuildCache(engine);
  // For bench/oneshot.sh: what the process holds at its end.
  if (std::getenv("KORVEL_REPORT_MEMORY")) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
      if (line.starts_with("Rss")) std::cerr << line << "\n";
  }
  // Unmapping a large cache and freeing every line cost more than a search:
  // the process ends here and leaves that to the kernel.
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  std::_Exit(status);
}

int Answer(const Options& o, Command command, TKorvel& engine, std::vector<std::string> files) {
  const std::string query = SanitizeUtf8(o.positional[0]);
  TRunRequest request;
  request.Files = std::move(files);
  request.SkipBadSources = o.skipBad;
  request.Filter = SanitizeUtf8(o.filter);
  request.Exclude = o.exclude;
  request.FilterLemma = o.filterLemma;
  request.Query = query;
  request.Lemma = o.lemma;
  request.ChineseWords = o.zhWords;
  request.Variants = o.variants;
  request.Sort = o.sort;
  request.Page = o.page - 1;
  if (!o.html.empty()) request.PagePath = OutputPath(o.html);
  // What was left out is said even when the search then fails.
  auto saySkipped = [&engine] {
    for (const std::string& skipped : engine.BadSources())
      std::cerr << "korvel-cli: skipped: " << WithFullStop(skipped) << "\n";
  };
  TRunReport report;
  try {
    report = RunSearch(engine, request);
  } catch (...) {
    saySkipped();
    throw;
  }
  saySkipped();
  std::string noted;
  if (!o.html.empty()) PrintNote(engine, noted);
  std::cerr << report.Status << std::endl;

  if (command == Command::Spot) {
    TSpotOptions spot;
    spot.Top = o.top;
    const TTranslationTable table = engine.Spot(engine.Result(), spot);
    if (table.Capped)
      std::cerr << "korvel-cli: note: candidates came from the first 64 KiB of each longer aligned line.\n";
    TStringOutput out;
    WriteSpotTable(out, table);
    WriteStdout(out.Take());
    return engine.HitCount() > 0 ? 0 : 1;
  }
  const std::pair<const std::string*, TExportFormat> exports[] = {
      {&o.tsv, TExportFormat::Tsv}, {&o.csv, TExportFormat::Csv}, {&o.tmx, TExportFormat::Tmx}, {&o.xlsx, TExportFormat::Xlsx}};
  bool exported = false;
  for (const auto& [path, format] : exports) {
    if (path->empty()) continue;
    engine.ExportAs(format, OutputPath(*path));
    PrintNote(engine, noted);
    exported = true;
  }
  if (o.count) {
    WriteStdout(std::to_string(engine.HitCount()) + "\n");
  } else if (o.kwic) {
    TStringOutput out;
    engine.RenderKwic(out, o.width);
    WriteStdout(out.Take());
    PrintNote(engine, noted);
  } else if (!exported) {
    WriteStdout(engine.RenderExport());
    PrintNote(engine, noted);
  }
  return engine.HitCount() > 0 ? 0 : 1;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("Missing command");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    WriteStdout(kHelp);
    return 0;
  }
  if (command == "--version") {
    WriteStdout("korvel-cli " KORVEL_VERSION "\n");
    return 0;
  }
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "search") return Search(Parse(rest, Command::Search), Command::Search);
  if (command == "spot") return Search(Parse(rest, Command::Spot), Command::Spot);

  Options o = Parse(rest, Command::Other);
  if (command != "lookup" && !o.dic.empty()) throw UsageError("Unknown option --dic");
  if (command == "cache") return Cache(o);
  if (o.positional.size() != 1) throw UsageError(command + " needs exactly one argument");
  const std::string text = SanitizeUtf8(o.positional[0]);
  std::string result;
  if (command == "expand") {
    InflectionTables tables;
    result = ExpandLemma(text);
  } else if (command == "inflect") {
    InflectionTables tables;
    result = MyDllInflection(std::string(Trim(text)));
  } else if (command == "lookup") {
    TKorvel engine;
    LoadWordLists(engine, o.dic);
    result = engine.Lookup(text);
  } else {
    throw UsageError("Unknown command " + command);
  }
  WriteStdout(result + "\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    std::cerr << "korvel-cli: " << WithFullStop(e.what()) << "\nTry 'korvel-cli --help'.\n";
  } catch (const EAbort&) {
  } catch (const std::bad_alloc&) {
    std::cerr << "korvel-cli: Out of memory.\n";
  } catch (const std::exception& e) {
    std::cerr << "korvel-cli: " << WithFullStop(e.what()) << "\n";
    // Where the fault lies, on a line of its own so the message stays as it was.
    std::string place;
    if (const auto* bad = dynamic_cast<const ERegExpr*>(&e)) {
      if (bad->Place() == TExprPlace::Query) place = "in the query";
      if (bad->Place() == TExprPlace::Filter) place = "in the filter";
    } else if (const auto* failed = dynamic_cast<const EKorvel*>(&e)) {
      place = failed->Detail();
    }
    if (!place.empty()) std::cerr << "korvel-cli: " << place << "\n";
  }
  return 2;
}
