#include "unKorvel.h"

#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unicode/ucol.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <numeric>
#include <optional>
#include <unordered_map>

#include "CorpusFolder.h"
#include "Export.h"
#include "FileIO.h"
#include "Highlight.h"
#include "LiteralScan.h"
#include "Parallel.h"
#include "ProgramFolder.h"
#include "ResultPage.h"
#include "Segment.h"
#include "TextDecode.h"
#include "sources/Source.h"
#include "Utf8.h"
#include "Variants.h"
#include "cache/CacheFolder.h"
#include "cache/CorpusCache.h"
#include "writers/Csv.h"
#include "writers/TmxWriter.h"
#include "writers/Xlsx.h"

namespace korvel {
namespace {

constexpr std::string_view kEnMarker = ".EN.";
constexpr std::string_view kZhMarker = ".ZH.";
// Long loops look for a cancel every this many lines (a power of two).
constexpr int32_t kLinesPerPoll = 1 << 12;
// Fewer lines than this are not worth a thread of their own.
constexpr std::size_t kMinChunk = 1 << 14;

// What marks a word's edge beside its first or last typed character. \b
// knows only ASCII word characters, so "café" would never end at a word's
// edge: beside a non-ASCII letter the edge is where no letter of an
// alphabetic script, digit or "_" stands (CJK is an edge, as \b makes it).
constexpr std::string_view kWordEdge = "\\b";
constexpr std::string_view kAfterNoLetter = "(?<![\\p{Latin}\\p{Greek}\\p{Cyrillic}\\p{N}_])";
constexpr std::string_view kBeforeNoLetter = "(?![\\p{Latin}\\p{Greek}\\p{Cyrillic}\\p{N}_])";

bool IsNonAsciiLetter(char32_t c) { return c >= 0x80 && u_isalpha(static_cast<UChar32>(c)); }

// The expression up to the words: the left edge and the group's opening.
// Words that begin with "*" would open a verb after "(" ("\b(*ACCEPT)\b"
// accepts every line), so they go into a group without a capture, where
// the "*" has nothing to repeat and compiling fails.
std::string WordsPrefix(std::string_view typed) {
  typed = Trim(typed);
  std::size_t length = 0;
  const bool accented = !typed.empty() && IsNonAsciiLetter(utf8::Decode(typed, 0, length));
  return std::string(accented ? kAfterNoLetter : kWordEdge) + (typed.starts_with('*') ? "(?:" : "(");
}

// The typed words (or their forms) as whole words: "\b(" + words + ")\b",
// with the edges above beside accented letters.
std::string WrapWords(std::string_view typed, const std::string& words) {
  typed = Trim(typed);
  std::size_t start = typed.size();
  char32_t last = 0;
  if (!typed.empty()) {
    start = typed.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(typed[start]) & 0xC0) == 0x80) --start;
    std::size_t length = 0;
    last = utf8::Decode(typed, start, length);
  }
  return WordsPrefix(typed) + words + ")" + std::string(IsNonAsciiLetter(last) ? kBeforeNoLetter : kWordEdge);
}

// Compiles the expression made from the typed text; a compile error's
// position then counts in what was typed, not in the wrapping, and the
// error names the box it came from.
std::shared_ptr<const TPattern> CompileTyped(const std::string& expression, std::string_view typed, bool wrapped,
                                             TExprPlace place) {
  try {
    return TPattern::Compile(expression, true);
  } catch (const ERegExpr& e) {
    if (!wrapped || e.Position() == ERegExpr::kNoPosition) throw ERegExpr(e.Reason(), e.Position(), place);
    const std::size_t prefix = utf8::CharCount(WordsPrefix(typed));
    throw ERegExpr(e.Reason(), std::min(e.Position() - std::min(e.Position(), prefix), utf8::CharCount(typed)),
                   place);
  }
}

// As CompileTyped, of the expression with its variants when `variants`; an
// error is told as in the expression before expanding, where its position
// means something to the user.
std::shared_ptr<const TPattern> CompileVariants(std::string& expression, std::string_view typed, bool wrapped,
                                                TExprPlace place, bool variants) {
  if (!variants) return CompileTyped(expression, typed, wrapped, place);
  std::string expanded = ExpandVariants(expression);
  try {
    std::shared_ptr<const TPattern> compiled = CompileTyped(expanded, typed, wrapped, place);
    expression = std::move(expanded);
    return compiled;
  } catch (const ERegExpr&) {
    CompileTyped(expression, typed, wrapped, place);
    throw;
  }
}

// Lines of a text as loading counts them.
std::size_t LineCount(std::string_view text) {
  std::size_t n = 0;
  ForEachLine(text, [&](std::string_view) { ++n; });
  return n;
}

// The user's locale for sorting file names; the root locale when the
// environment names none.
std::string CollationLocale() {
  for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(var);
    if (!value || !*value) continue;
    std::string locale = value;
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale == "C" || locale == "POSIX") return "";
    return locale;
  }
  return "";
}

// Case-insensitive order of the user's locale; byte order breaks ties so the
// result never depends on the order the names came in.
void SortFileNames(std::vector<std::string>& files) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open(CollationLocale().c_str(), &status);
  if (U_FAILURE(status)) {
    status = U_ZERO_ERROR;
    collator = ucol_open("", &status);
  }
  if (collator) ucol_setStrength(collator, UCOL_SECONDARY);
  std::vector<std::string> keys;
  keys.reserve(files.size());
  for (const std::string& f : files) keys.push_back(DisplayPath(f));
  std::vector<std::size_t> order(files.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (collator) {
      UErrorCode st = U_ZERO_ERROR;
      UCollationResult r = ucol_strcollUTF8(collator, keys[a].data(), static_cast<int32_t>(keys[a].size()),
                                            keys[b].data(), static_cast<int32_t>(keys[b].size()), &st);
      if (U_SUCCESS(st) && r != UCOL_EQUAL) return r == UCOL_LESS;
    }
    return files[a] < files[b];
  });
  if (collator) ucol_close(collator);
  std::vector<std::string> sorted;
  sorted.reserve(files.size());
  for (std::size_t i : order) sorted.push_back(std::move(files[i]));
  files = std::move(sorted);
}

// A match of `re` in `line` that is a whole word, the matches walked as
// the marks walk them: left to right, without overlap. An empty match is
// no word.
bool MatchesWholeWord(const TMatcher& re, TSegmenter& words, std::string_view line) {
  re.Begin(line);
  std::size_t start = 0, b = 0, e = 0;
  while (start <= line.size() && re.Find(line, start, b, e)) {
    if (e > b && words.IsWholeWord(line, b, e)) return true;
    if (e > b) {
      start = e;
    } else {
      if (b >= line.size()) break;
      start = b + TMatcher::CharLength(line, b);
    }
  }
  return false;
}

}  // namespace

TKorvel::TKorvel() : TKorvel(TEngineOptions{}) {}

TKorvel::TKorvel(TEngineOptions options)
    : programDir_(options.ProgramDir.empty() ? DataDir() : options.ProgramDir + "/"),
      tuning_(options.Tuning),
      templatePath_(options.TemplatePath.empty() ? programDir_ + "sys/result.tpl" : options.TemplatePath),
      inflect_(options.Inflect ? std::move(options.Inflect) : TInflector(MyDllInflection)) {
  if (!options.DictionaryDir.empty()) LoadDictionaries(options.DictionaryDir);
}

TKorvel::~TKorvel() = default;

void TKorvel::ClearData() {
  badSources_.clear();
  pairCaches_.clear();
  badSourceMessages_.clear();
  foldRecords_[0].reset();
  foldRecords_[1].reset();
  data_.clear();
  texts_.clear();
  result_.Hits.clear();
}

void TKorvel::SetFiles(std::vector<std::string>& Files, const TProgressFn& progress) {
  filePairs_.clear();
  ClearData();
  std::size_t weight = 0;
  for (const std::string& f : Files) weight += ListedEntryWeight(f);
  if (weight % 2 != 0) return;
  SortFileNames(Files);

  const std::size_t n = Files.size();
  std::vector<std::string> names;
  names.reserve(n);
  // Names are paths exactly as given: " sp" is not "sp".
  for (const std::string& f : Files) names.emplace_back(f);

  // A pair and the sorted position of its first name, which orders FilePairs.
  struct Slot {
    TFilePair pair;
    std::size_t first = SIZE_MAX;
  };
  std::vector<Slot> slots;
  std::vector<bool> used(n, false);

  // A TMX or TSV file is a pair of its own. A name ending in a Moses
  // extension is told by it; any other by its ".EN." or ".ZH." marker.
  enum class TLang { None, English, Chinese };
  std::vector<TLang> lang(n, TLang::None);
  std::vector<bool> moses(n, false);
  std::size_t wholes = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (const TSourceKind kind = SourceKindOf(names[i]); kind != TSourceKind::Text) {
      used[i] = true;
      ++wholes;
      slots.push_back({{names[i], names[i], kind}, i});
    } else if (IsMosesEnglish(names[i]) || MosesChineseRank(names[i]) >= 0) {
      moses[i] = true;
      lang[i] = IsMosesEnglish(names[i]) ? TLang::English : TLang::Chinese;
    } else if (FindMarker(names[i], kEnMarker) != std::string_view::npos) {
      lang[i] = TLang::English;
    } else if (FindMarker(names[i], kZhMarker) != std::string_view::npos) {
      lang[i] = TLang::Chinese;
    }
  }

  // An English name whose exact twin was ticked too is paired with it; a
  // Moses one with the twin of the preferred extension, which is then
  // gone for another English name of the same stem.
  std::unordered_map<std::string_view, std::vector<std::size_t>> chinese, mosesChinese;
  for (std::size_t i = n; i-- > 0;)
    if (lang[i] == TLang::Chinese) (moses[i] ? mosesChinese[MosesStem(names[i])] : chinese[names[i]]).push_back(i);
  for (auto& [stem, twins] : mosesChinese)
    std::stable_sort(twins.begin(), twins.end(), [&](std::size_t a, std::size_t b) {
      return MosesChineseRank(names[a]) > MosesChineseRank(names[b]);
    });
  for (std::size_t i = 0; i < n; ++i) {
    // Pairing is quick: the total progress counts in comes with loading.
    if (progress) progress(0, 0);
    if (lang[i] != TLang::English) continue;
    std::unordered_map<std::string_view, std::vector<std::size_t>>::iterator it;
    if (moses[i]) {
      it = mosesChinese.find(MosesStem(names[i]));
      if (it == mosesChinese.end()) continue;
    } else {
      std::string twin = names[i];
      twin.replace(FindMarker(names[i], kEnMarker), kEnMarker.size(), kZhMarker);
      it = chinese.find(twin);
      if (it == chinese.end()) continue;
    }
    if (it->second.empty()) continue;
    std::size_t j = it->second.back();
    it->second.pop_back();
    used[i] = used[j] = true;
    slots.push_back({{names[i], names[j]}, i});
  }

  // The names left over pair by position: each Chinese name closes the pair
  // the English names before it opened (a later English name replaces an
  // earlier one). Names beyond the last pair are ignored.
  const std::size_t twins = slots.size();
  const std::size_t extra = (n - wholes - 2 * (twins - wholes)) / 2;
  slots.resize(twins + extra);
  std::size_t k = twins;
  for (std::size_t i = 0; i < n && k < slots.size(); ++i) {
    if (used[i]) continue;
    Slot& slot = slots[k];
    if (lang[i] == TLang::English) {
      slot.pair.EnFile = names[i];
      slot.first = std::min(slot.first, i);
    } else if (lang[i] == TLang::Chinese) {
      slot.pair.ZhFile = names[i];
      slot.first = std::min(slot.first, i);
      ++k;
    }
  }
  std::stable_sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) { return a.first < b.first; });
  filePairs_.reserve(slots.size());
  for (Slot& s : slots) filePairs_.push_back(std::move(s.pair));

  LoadData(progress);
}

void TKorvel::LoadData(const TProgressFn& progress) {
  ClearData();
  // Two passes, in parallel: the first reads every file and counts each
  // pair's records, so that the second writes them straight into their
  // place in Data, never holding them twice. The first failing pair
  // reports as if they had loaded one by one, with the records before its
  // failure kept.
  struct Loaded {
    THeldText en, zh;
    std::size_t records = 0;  // counted, then written
    std::exception_ptr error, zhError;
  };
  const std::size_t pairs = filePairs_.size();
  std::vector<Loaded> loaded(pairs);
  // A pair whose cache is whole is mapped, not read; one whose sources
  // cannot be read has no key and fails below as it always did.
  std::vector<TPairCache> caches(pairs);
  if (!cacheDir_.empty()) {
    const TProgressFn checking = progress ? [&progress](std::size_t, std::size_t) { progress(0, 0); } : TProgressFn{};
    ParallelFor(pairs, WorkerCount(tuning_.Threads), checking, [&](std::size_t i, unsigned, auto&) {
      std::optional<TCacheKey> key = CacheKeyOf(filePairs_[i]);
      if (!key) return;
      caches[i].Key = std::make_shared<const TCacheKey>(std::move(*key));
      caches[i].Cached = TCachedCorpus::Open(cacheDir_, *caches[i].Key);
      caches[i].Loaded = caches[i].Cached != nullptr;
    });
  }

  // Every text read in one piece of memory, sized by what the files hold now.
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < pairs; ++i)
    for (const std::string* path : {&filePairs_[i].EnFile, &filePairs_[i].ZhFile}) {
      // TMX and TSV files are read into strings of their own; cached pairs are mapped.
      if (filePairs_[i].Kind != TSourceKind::Text || caches[i].Cached) break;
      struct stat st {};
      if (stat(path->c_str(), &st) == 0 && S_ISREG(st.st_mode)) bytes += static_cast<std::size_t>(st.st_size);
    }
  const auto arena = bytes ? std::make_shared<TTextArena>(bytes) : nullptr;
  // Progress runs over the files of the first pass, then the pairs.
  auto pass = [&](std::size_t first) -> TProgressFn {
    if (!progress) return {};
    return [&progress, first, pairs](std::size_t done, std::size_t) { progress(first + done, 3 * pairs); };
  };
  auto guarded = [&](std::exception_ptr& error, auto&& work) {
    try {
      work();
    } catch (const EAbort&) {
      throw;
    } catch (...) {
      error = std::current_exception();
    }
  };

  // Abandoned half way, the lines written so far would point into texts
  // about to be freed: a cancel leaves no lines, as a failed first pair does.
  struct ClearUnlessKept {
    TKorvel& engine;
    bool kept = false;
    ~ClearUnlessKept() {
      if (!kept) engine.ClearData();
    }
  } clearOnCancel{*this};

  // Each file on its own, so that even a single pair loads on two cores.
  ParallelFor(2 * pairs, WorkerCount(tuning_.Threads), pass(0), [&](std::size_t k, unsigned, auto& poll) {
    Loaded& out = loaded[k / 2];
    const TFilePair& pair = filePairs_[k / 2];
    if (const auto& cached = caches[k / 2].Cached) {
      if (k % 2 == 0) {
        out.en = THeldText::View(cached->En(), cached);
        out.zh = THeldText::View(cached->Zh(), cached);
        out.records = cached->RecordCount();
      }
      return;
    }
    if (k % 2) {
      if (pair.Kind == TSourceKind::Text)
        guarded(out.zhError, [&] { out.zh = THeldText::Read(pair.ZhFile, arena, poll); });
      return;
    }
    guarded(out.error, [&] {
      if (pair.Kind == TSourceKind::Text) {
        out.en = THeldText::Read(pair.EnFile, arena, poll);
      } else {
        TSourceText source = pair.Kind == TSourceKind::Tmx ? ReadTmx(pair.EnFile, poll) : ReadTsv(pair.EnFile, poll);
        out.en = THeldText::Own(std::move(source.En));
        out.zh = THeldText::Own(std::move(source.Zh));
      }
      std::size_t records = 0;
      int32_t j = 0;
      ForEachLine(out.en.Text(), [&](std::string_view line) {
        if ((++j & (kLinesPerPoll - 1)) == 0) poll();
        records += !Trim(line).empty();
      });
      out.records = records;
    });
  });
  // The English file's failure is the one a pair reports, as when read
  // first; a pair that failed here has no records. A TMX or TSV file that
  // could not be read is left out when the user chose so.
  for (std::size_t i = 0; i < pairs; ++i) {
    Loaded& l = loaded[i];
    if (!l.error) l.error = l.zhError;
    if (l.error && filePairs_[i].Kind != TSourceKind::Text) {
      try {
        std::rethrow_exception(l.error);
      } catch (const EKorvel& e) {
        if (skipBadSources_) {
          badSources_.push_back(e.what());
          badSourceMessages_.push_back(e.Message());
          l = Loaded{};
          caches[i] = {};  // no cache stands for a source that failed
        } else {
          l.error = std::make_exception_ptr(EBadSource(e.Message(), e.Detail()));
        }
      } catch (...) {  // out of memory is no fault of the file
      }
    }
    if (l.error) l.records = 0;
  }

  // Records read from sources go into one array, in corpus order; a
  // cached pair's are read where they lie, so it costs nothing here.
  std::size_t readable = 0, heldCount = 0;
  std::vector<std::size_t> heldAt(pairs, 0);
  for (; readable < pairs && !loaded[readable].error; ++readable) {
    heldAt[readable] = heldCount;
    if (!caches[readable].Cached) heldCount += loaded[readable].records;
  }
  const TProgressFn filling = pass(2 * pairs);
  TData* const held = data_.HeldSpace(heldCount, [&filling] {
    if (filling) filling(0, 0);
  });
  ParallelFor(readable, WorkerCount(tuning_.Threads), pass(2 * pairs), [&](std::size_t i, unsigned, auto& poll) {
    Loaded& out = loaded[i];
    if (caches[i].Cached) return;
    TData* const slot = held + heldAt[i];
    std::size_t written = 0;
    guarded(out.error, [&] {
      // The Chinese file is read in step with the English one: line j of
      // each is needed only for a non-empty English line j.
      TLineReader zh(out.zh.Text());
      std::string_view zhLine;
      int32_t zhRead = 0, j = 0;
      ForEachLine(out.en.Text(), [&](std::string_view line) {
        if ((j & (kLinesPerPoll - 1)) == kLinesPerPoll - 1) poll();
        std::string_view enLine = Trim(line);
        if (!enLine.empty()) {
          while (zhRead <= j && zh.Next(zhLine)) ++zhRead;
          if (zhRead <= j) {
            const TFilePair& fp = filePairs_[i];
            ThrowListIndex(j, PairLineCounts(fp.ZhFile, LineCount(out.zh.Text()), fp.EnFile, LineCount(out.en.Text())));
          }
          slot[written++] = {Trim(zhLine), enLine, static_cast<int32_t>(i), j};
        }
        ++j;
      });
    });
    if (out.error) out.records = written;
  });

  clearOnCancel.kept = true;
  texts_.reserve(2 * pairs);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < pairs; ++i) {
    Loaded& l = loaded[i];
    texts_.push_back(std::move(l.en));
    texts_.push_back(std::move(l.zh));
    if (caches[i].Cached)
      data_.AddCached(static_cast<int32_t>(i), caches[i].Cached, l.records);
    else
      data_.AddHeld(static_cast<int32_t>(i), heldAt[i], l.records);
    caches[i].First = kept;
    caches[i].Records = l.error ? 0 : l.records;
    if (!l.error) pairCaches_.push_back(std::move(caches[i]));
    kept += l.records;
    if (l.error) std::rethrow_exception(l.error);
  }
}

void TKorvel::SetCacheDir(std::string dir, std::uint64_t limit) {
  cacheDir_ = std::move(dir);
  cacheLimit_ = limit;
}

bool TKorvel::LoadedFromCache() const {
  return !pairCaches_.empty() &&
         std::all_of(pairCaches_.begin(), pairCaches_.end(), [](const TPairCache& c) { return c.Loaded; });
}

bool TKorvel::CacheMissing() const {
  return std::any_of(pairCaches_.begin(), pairCaches_.end(), [](const TPairCache& c) { return c.Key && !c.Cached; });
}

std::size_t TKorvel::BuildCache(const TProgressFn& progress) {
  if (cacheDir_.empty()) return 0;
  const std::uint64_t limit = cacheLimit_ ? cacheLimit_ : DefaultCacheLimit(cacheDir_);
  // The loaded corpus's caches never evict each other: a pair whose cache
  // would not fit beside the rest is not cached at all, rather than
  // written and evicted again at every run.
  std::vector<std::string> ours;
  std::uint64_t room = limit;
  for (const TPairCache& c : pairCaches_) {
    if (!c.Key || !c.Cached) continue;
    ours.push_back(cacheDir_ + "/" + c.Key->FileName);
    struct stat st {};
    if (stat(ours.back().c_str(), &st) == 0)
      room -= std::min<std::uint64_t>(room, static_cast<std::uint64_t>(st.st_size));
  }
  std::vector<std::size_t> todo;
  for (std::size_t i = 0; i < pairCaches_.size(); ++i) {
    const TPairCache& c = pairCaches_[i];
    if (!c.Key || c.Cached) continue;
    const std::uint64_t bytes =
        EstimateCorpusCacheBytes(texts_[2 * i].Text().size(), texts_[2 * i + 1].Text().size(), c.Records);
    if (bytes > room) continue;
    room -= bytes;
    todo.push_back(i);
  }
  std::vector<std::shared_ptr<const TCachedCorpus>> written(todo.size());
  const unsigned workers = WorkerCount(tuning_.Threads);
  // Fewer pairs than cores: each pair's two sides on two of them.
  std::vector<TCacheWriter> writers(std::min<std::size_t>(workers, std::max<std::size_t>(todo.size(), 1)));
  for (TCacheWriter& w : writers) w.BothSides = todo.size() < workers;
  ParallelFor(todo.size(), workers, progress, [&](std::size_t k, unsigned worker, auto& poll) {
    const std::size_t i = todo[k];
    const TPairCache& c = pairCaches_[i];
    // A source changed since it was read would be cached under the key of
    // what it holds now.
    const std::optional<TCacheKey> now = CacheKeyOf(filePairs_[i]);
    if (!now || now->Bytes != c.Key->Bytes) return;
    const std::string_view en = texts_[2 * i].Text(), zh = texts_[2 * i + 1].Text();
    std::vector<TCachedRecord> records(c.Records);
    for (std::size_t r = 0; r < c.Records; ++r) {
      const TData& d = data_[c.First + r];
      if (d.EnLine.size() > UINT32_MAX || d.ZhLine.size() > UINT32_MAX) return;  // a record holds 32-bit lengths
      records[r] = {static_cast<std::uint64_t>(d.EnLine.data() - en.data()),
                    static_cast<std::uint64_t>(d.ZhLine.data() - zh.data()),
                    static_cast<std::uint32_t>(d.EnLine.size()),
                    static_cast<std::uint32_t>(d.ZhLine.size()),
                    d.LineIndex,
                    0};
    }
    for (const TCachedRecord& r : records)
      if (r.EnOffset + r.EnLength > en.size() || r.ZhOffset + r.ZhLength > zh.size()) return;
    written[k] = WriteCorpusCache(cacheDir_, *c.Key, en, zh, records, [&poll] { poll(); }, &writers[worker]);
  });
  std::size_t count = 0;
  for (std::size_t k = 0; k < todo.size(); ++k) {
    if (!written[k]) continue;
    pairCaches_[todo[k]].Cached = std::move(written[k]);
    ours.push_back(cacheDir_ + "/" + pairCaches_[todo[k]].Key->FileName);
    ++count;
  }
  if (count > 0) EvictCorpusCaches(cacheDir_, limit, ours);
  return count;
}

std::optional<TIntArr> TKorvel::IndexCandidates(const std::vector<std::string>& literals, bool chinese) const {
  if (pairCaches_.empty()) return std::nullopt;
  TIntArr candidates;
  std::vector<std::uint32_t> lines;
  for (const TPairCache& c : pairCaches_) {
    if (c.Records == 0) continue;
    const TTrigramIndex* index = c.Cached ? c.Cached->Index(chinese) : nullptr;
    if (!index) return std::nullopt;
    lines.clear();
    for (const std::string& literal : literals) {
      std::optional<std::vector<std::uint32_t>> found = index->Candidates(literal);
      if (!found) return std::nullopt;
      lines.insert(lines.end(), found->begin(), found->end());
    }
    if (literals.size() > 1) {
      std::sort(lines.begin(), lines.end());
      lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    }
    // A line number past the pair's records would name another pair's.
    if (!lines.empty() && lines.back() >= c.Records) return std::nullopt;
    for (std::uint32_t line : lines) candidates.push_back(static_cast<int32_t>(c.First + line));
  }
  return candidates;
}

void TKorvel::LoadDictionaries(const std::string& Dir) {
  const std::string dir = Trim(Dir).empty() ? programDir_ + "dic/" : Dir + "/";
  const char* files[2] = {"EN-ZH.txt", "ZH-EN.txt"};
  for (int i = 0; i < 2; ++i) {
    std::string path = dir + files[i];
    if (IsRegularFile(path))
      dictionaries_[i].Load(path);
    else
      dictionaries_[i].Clear();
  }
}

std::string TKorvel::Lookup(std::string_view Query) const {
  std::string_view q = Trim(Query);
  const TDictionary& dic = dictionaries_[IsChinese(q) ? 1 : 0];
  if (dic.Count() == 0) return "";
  const std::optional<std::string_view> value = dic.Find(q);
  return value ? std::string(Trim(*value)) : std::string();
}

void TKorvel::SetFilter(std::string_view filter, bool exclude, bool lemmatize) {
  std::string_view f = Trim(filter);
  pendingFilter_ = f;
  pendingFilterText_ = f;
  pendingExclude_ = exclude;
  pendingFilterWrapped_ = !f.empty() && lemmatize && !IsChinese(f) && !IsRegexQuery(f);
  if (pendingFilterWrapped_) pendingFilter_ = WrapWords(f, ExpandLemma(f, inflect_));
}

const TIntArr& TKorvel::FoldRecords(bool chinese, const TProgressFn& progress) const {
  std::optional<TIntArr>& known = foldRecords_[chinese];
  if (known) return *known;
  // A cache knows them without reading its text.
  if (!pairCaches_.empty() && std::all_of(pairCaches_.begin(), pairCaches_.end(), [](const TPairCache& c) {
        return c.Records == 0 || c.Cached;
      })) {
    known.emplace();
    for (const TPairCache& c : pairCaches_)
      if (c.Records > 0)
        for (std::uint32_t line : c.Cached->FoldLines(chinese)) known->push_back(static_cast<int32_t>(c.First + line));
    return *known;
  }
  // Records come pair by pair, in the order of their text.
  std::vector<std::size_t> first = {0};
  while (first.back() < data_.size()) first.push_back(data_.PairEnd(first.back()));
  std::vector<TIntArr> found(first.size() - 1);
  ParallelFor(found.size(), WorkerCount(tuning_.Threads), progress, [&](std::size_t k, unsigned, auto& poll) {
    auto line = [&](std::size_t r) { return chinese ? data_[r].ZhLine : data_[r].EnLine; };
    const char* base = line(first[k]).data();
    const std::string_view last = line(first[k + 1] - 1);
    const std::string_view text(base, static_cast<std::size_t>(last.data() + last.size() - base));
    for (std::string_view fold : {"\xE2\x84\xAA", "\xC5\xBF"}) {  // KELVIN SIGN, LATIN SMALL LETTER LONG S
      std::size_t r = first[k];
      for (std::size_t at = text.find(fold); at != std::string_view::npos; at = text.find(fold, at + 1)) {
        poll();
        while (r < first[k + 1] && line(r).data() + line(r).size() <= base + at) ++r;
        if (r == first[k + 1]) break;
        if (line(r).data() <= base + at && (found[k].empty() || found[k].back() != static_cast<int32_t>(r)))
          found[k].push_back(static_cast<int32_t>(r));
      }
    }
    std::sort(found[k].begin(), found[k].end());
    found[k].erase(std::unique(found[k].begin(), found[k].end()), found[k].end());
  });
  known.emplace();
  for (const TIntArr& f : found) known->insert(known->end(), f.begin(), f.end());
  return *known;
}

TIntArr TKorvel::SearchLines(const std::shared_ptr<const TPattern>& query, const std::shared_ptr<const TPattern>& filter,
                             bool exclude, bool chinese, TWords words, TScan scan, const TLiteralScan* literal,
                             const TIntArr& extra, const TProgressFn& progress) const {
  const std::size_t n = data_.size();
  const unsigned workers = WorkerCount(tuning_.Threads);
  const std::size_t chunkSize = std::max<std::size_t>(kMinChunk, n / (workers * 8) + 1);
  const std::size_t chunks = (n + chunkSize - 1) / chunkSize;
  // Each worker matches with its own matchers over the shared patterns;
  // each chunk keeps its own hits, joined in order, so any number of
  // workers gives the same list.
  std::vector<std::unique_ptr<TMatcher>> queries, filters;
  std::vector<std::unique_ptr<TSegmenter>> segmenters;
  for (unsigned w = 0; w < workers; ++w) {
    queries.push_back(std::make_unique<TMatcher>(query));
    filters.push_back(filter ? std::make_unique<TMatcher>(filter) : nullptr);
    segmenters.push_back(words.query || words.filter ? std::make_unique<TSegmenter>() : nullptr);
  }
  std::vector<TIntArr> found(chunks);

  ParallelFor(chunks, workers, progress, [&](std::size_t c, unsigned w, auto& poll) {
    const TMatcher& re = *queries[w];
    const TMatcher* aligned = filters[w].get();
    TIntArr& out = found[c];
    auto searched = [chinese](const TData& d) { return chinese ? d.ZhLine : d.EnLine; };
    TSegmenter* const segmenter = segmenters[w].get();
    // A line the expression or filter runs out of budget on ends the
    // search with a message that names it.
    auto matches = [&](std::size_t i) {
      try {
        if (words.query) return MatchesWholeWord(re, *segmenter, searched(data_[i]));
        return re.Exec(searched(data_[i]));
      } catch (const EMatchLimit& e) {
        const TFilePair& fp = filePairs_[data_[i].PairIndex];
        ThrowBacktracks(e, "the expression", chinese ? fp.ZhFile : fp.EnFile, fp.Kind, data_[i].LineIndex);
      }
    };
    auto take = [&](std::size_t i) {
      if (aligned) {
        try {
          const std::string_view line = chinese ? data_[i].EnLine : data_[i].ZhLine;
          if ((words.filter ? MatchesWholeWord(*aligned, *segmenter, line) : aligned->Exec(line)) == exclude) return;
        } catch (const EMatchLimit& e) {
          const TFilePair& fp = filePairs_[data_[i].PairIndex];
          ThrowBacktracks(e, "the filter", chinese ? fp.EnFile : fp.ZhFile, fp.Kind, data_[i].LineIndex);
        }
      }
      out.push_back(static_cast<int32_t>(i));
    };
    const std::size_t lo = c * chunkSize, hi = std::min(n, lo + chunkSize);
    if (scan == TScan::Index) {
      std::size_t tried = 0;
      for (auto x = std::lower_bound(extra.begin(), extra.end(), static_cast<int32_t>(lo));
           x != extra.end() && *x < static_cast<int32_t>(hi); ++x) {
        if ((++tried & (kLinesPerPoll - 1)) == 0) poll();
        if (matches(static_cast<std::size_t>(*x))) take(static_cast<std::size_t>(*x));
      }
      return;
    }
    if (scan == TScan::Lines) {
      for (std::size_t i = lo; i < hi; ++i) {
        if ((i & (kLinesPerPoll - 1)) == 0) poll();
        if (matches(i)) take(i);
      }
      return;
    }
    // One pass over the text of each file: lines without a candidate are
    // never visited one by one. A candidate is a match of the expression, or
    // an occurrence of one of the strings every match contains. A match that
    // lies within one line is a match of that line; any other candidate is
    // checked on its line alone.
    // A limit reached over a whole text says nothing of one line: the lines
    // left are then tried one by one.
    auto next = [&](std::string_view text, std::size_t pos, std::size_t& b, std::size_t& e) {
      if (!literal) {
        try {
          return re.Find(text, pos, b, e);
        } catch (const EMatchLimit&) {
          b = pos;
          e = std::string_view::npos;
          return true;
        }
      }
      b = literal->Find(text, pos);
      e = std::string_view::npos;
      return b != std::string_view::npos;
    };
    std::size_t candidates = 0;
    for (std::size_t i = lo; i < hi;) {
      poll();
      const std::size_t end = std::min(hi, data_.PairEnd(i));
      const char* base = searched(data_[i]).data();
      const std::string_view lastLine = searched(data_[end - 1]);
      const std::string_view text(base, static_cast<std::size_t>(lastLine.data() + lastLine.size() - base));
      auto startOf = [&](std::size_t r) { return static_cast<std::size_t>(searched(data_[r]).data() - base); };
      auto endOf = [&](std::size_t r) { return startOf(r) + searched(data_[r]).size(); };
      std::size_t r = i, pos = 0, b = 0, e = 0;
      bool spans = false;
      while (r < end && next(text, pos, b, e)) {
        while (r < end && endOf(r) < b) ++r;
        if (r == end) break;
        // A match running past its line shows the expression can span lines;
        // then ("cat.*mat") one may reach far down the text from every line,
        // a cost growing with the square of the file: go line by line.
        if (!literal && e > endOf(r)) {
          spans = true;
          break;
        }
        if (b >= startOf(r)) {
          // Only whole words: the first match of a line need not be one.
          if ((e <= endOf(r) && !words.query) || matches(r)) take(r);
          ++r;
        }
        if (r < end) pos = startOf(r);
        if ((++candidates & 255) == 0) poll();
      }
      for (; spans && r < end; ++r) {
        if ((r & (kLinesPerPoll - 1)) == 0) poll();
        if (matches(r)) take(r);
      }
      i = end;
    }
    // Lines the scan cannot see as candidates, tried on their own.
    const std::size_t taken = out.size();
    for (auto x = std::lower_bound(extra.begin(), extra.end(), static_cast<int32_t>(lo));
         x != extra.end() && *x < static_cast<int32_t>(hi); ++x)
      if (!std::binary_search(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(taken), *x) && matches(*x))
        take(*x);
    if (out.size() > taken) std::sort(out.begin(), out.end());
  });

  TIntArr hits;
  std::size_t total = 0;
  for (const TIntArr& f : found) total += f.size();
  hits.reserve(total);
  for (const TIntArr& f : found) hits.insert(hits.end(), f.begin(), f.end());
  return hits;
}

void TKorvel::Search(std::string_view query, bool lemmatize, const TProgressFn& progress) {
  const std::string q(Trim(query));
  const bool chinese = IsChinese(q);
  const bool regex = IsRegexQuery(q);
  const bool plain = !chinese && !regex;
  const std::string base = lemmatize && plain ? ExpandLemma(q, inflect_) : q;
  std::string pattern = plain ? WrapWords(q, base) : base;
  const bool variants = pendingVariants_;

  // Both expressions compile before anything changes, so a bad one leaves
  // the last search as it was.
  const std::shared_ptr<const TPattern> queryRe = CompileVariants(pattern, q, plain, TExprPlace::Query, variants);
  std::shared_ptr<const TPattern> filterRe;
  std::string filter = pendingFilter_;
  if (!filter.empty())
    filterRe = CompileVariants(filter, pendingFilterText_, pendingFilterWrapped_, TExprPlace::Filter, variants);

  // One pass through each file's text: for the strings every match holds,
  // or for the expression itself when it matches a line exactly where it
  // matches inside the text (it looks at no edge and takes no line break;
  // a blank, CR or LF beside every trimmed line keeps \b the same) and
  // costs a bounded number of steps per position (a failing "the.*of.*x"
  // over a whole file costs its square). The expression pass pays only
  // when matches begin with a known byte; otherwise every position of the
  // text is tried, which costs more than trying line by line.
  const TPatternFacts& facts = queryRe->Facts();
  TScan scan = TScan::Lines;
  std::optional<TLiteralScan> literal;
  static const TIntArr none;
  const TIntArr* extra = &none;
  TIntArr candidates;
  std::optional<TIntArr> indexed;
  if (tuning_.UseIndex && facts.Literals) indexed = IndexCandidates(*facts.Literals, chinese);
  if (indexed) {
    // The index knows the lines that hold every trigram of a literal,
    // folded as a byte scan folds; the fold records stand beside them.
    scan = TScan::Index;
    candidates = std::move(*indexed);
    for (const std::string& s : *facts.Literals)
      if (s.find_first_of("kKsS") != std::string::npos) {
        const TIntArr& fold = FoldRecords(chinese, {});
        TIntArr both;
        both.reserve(candidates.size() + fold.size());
        std::set_union(candidates.begin(), candidates.end(), fold.begin(), fold.end(), std::back_inserter(both));
        candidates.swap(both);
        break;
      }
    extra = &candidates;
  } else if (tuning_.ScanWholeText) {
    if (facts.Literals) literal = TLiteralScan::FromStrings(*facts.Literals);
    if (literal) {
      scan = TScan::Literals;
      // The matcher folds the Kelvin sign to "k" and the long s to "s",
      // which a byte scan cannot follow: lines holding them are tried as
      // well. They are rare, and where they stand is found once per load.
      for (const std::string& s : *facts.Literals)
        if (s.find_first_of("kKsS") != std::string::npos) {
          extra = &FoldRecords(chinese, {});
          break;
        }
    } else if (!facts.LooksAtEdges && !facts.MaySpanLines && queryRe->IsLinear() && queryRe->HasFirstCodeUnit()) {
      scan = TScan::Expression;
    }
  }
  const TWords words = {pendingChineseWords_ && chinese, pendingChineseWords_ && filterRe && IsChinese(filter)};
  TIntArr hits = SearchLines(queryRe, filterRe, pendingExclude_, chinese, words, scan, literal ? &*literal : nullptr,
                             *extra, progress);

  std::string equivalents;
  if (dictionaries_[0].Count() + dictionaries_[1].Count() > 0) {
    equivalents = Lookup(q);
    if (variants && chinese && equivalents.empty())  // the lists are keyed in simplified script
      for (const std::string& spelling : VariantSpellings(q))
        if (!(equivalents = Lookup(spelling)).empty()) break;
    if (chinese && !equivalents.empty()) equivalents = "\\b(" + ExpandLemma(equivalents, inflect_) + ")\\b";
    // Ordered while the items are still plain words, which expanding ends.
    if (variants && !equivalents.empty()) {
      const std::string longest = LongestFirst(equivalents);
      equivalents = ExpandVariants(longest.empty() ? equivalents : longest);
    }
  }
  // A word-list value that does not compile only loses its highlighting.
  std::shared_ptr<const TPattern> equivalentsRe;
  if (!equivalents.empty()) {
    try {
      equivalentsRe = TPattern::Compile(equivalents, true);
    } catch (const ERegExpr&) {
      equivalents.clear();
    }
  }

  TSearchResult result;
  result.QueryIsChinese = chinese;
  result.QueryText = q;
  result.Pattern = pattern;
  result.Filter = std::move(filter);
  result.ExcludeFilter = pendingExclude_;
  result.ChineseWords = pendingChineseWords_;
  result.Variants = variants;
  result.Equivalents = std::move(equivalents);
  result.Hits = std::move(hits);
  result.CompiledPattern = queryRe;
  result.CompiledFilter = filterRe;
  result.CompiledEquivalents = equivalentsRe;
  result_ = std::move(result);
  sortKeys_.clear();
  page_ = 0;
}

void TKorvel::Sort(const TSortKeys& keys, const TProgressFn& progress) {
  result_.Order = SortOrder(filePairs_, data_, result_, keys, tuning_.Threads, progress, translationOrder_);
  sortKeys_ = keys;
}

void TKorvel::ShowAs(TShownAs shown) {
  sortKeys_ = std::move(shown.Keys);
  result_.Order = std::move(shown.Order);
  page_ = shown.Page;
  kwicPage_ = shown.Kwic;
}

TTranslationTable TKorvel::Spot(const TSearchResult& result, TSpotOptions options) const {
  if (!options.Inflect) options.Inflect = inflect_;
  if (!options.Threads) options.Threads = tuning_.Threads;
  return korvel::Spot(data_, result, options);
}

void TKorvel::RenderResultPage(TOutput& out, const TProgressFn& progress) const {
  THighlighter marks(filePairs_, result_, translationMarks_);
  korvel::RenderResultPage(out, ReadTextFile(templatePath_), data_, result_, marks, progress, page_, pageRowFormats_);
  SetNote(marks.NoteMessage());
}

void TKorvel::RenderKwic(TOutput& out, std::size_t width, const TProgressFn& progress) const {
  THighlighter marks(filePairs_, result_);
  korvel::RenderKwic(out, data_, result_, marks, width, progress);
  SetNote(marks.NoteMessage());
}

void TKorvel::RenderKwicPage(TOutput& out, std::size_t width, const TProgressFn& progress) const {
  THighlighter marks(filePairs_, result_);
  korvel::RenderKwicPage(out, ReadTextFile(templatePath_), data_, result_, marks, width, page_, progress,
                         pageRowFormats_);
  SetNote(marks.NoteMessage());
}

void TKorvel::RenderExport(TOutput& out, const TProgressFn& progress) const {
  THighlighter marks(filePairs_, result_);
  korvel::RenderExport(out, filePairs_, data_, result_, marks, progress);
  SetNote(marks.NoteMessage());
}

std::string TKorvel::RenderResultPage(const TProgressFn& progress) const {
  TStringOutput out;
  RenderResultPage(out, progress);
  return out.Take();
}

std::string TKorvel::RenderExport(const TProgressFn& progress) const {
  TStringOutput out;
  RenderExport(out, progress);
  return out.Take();
}

void TKorvel::WriteResultPage(const std::string& path, const TProgressFn& progress) const {
  WriteFileReplacing(path, [&](TOutput& out) {
    if (kwicPage_)
      RenderKwicPage(out, kKwicPageColumns, progress);
    else
      RenderResultPage(out, progress);
  });
}

void TKorvel::ExportText(const std::string& path, const TProgressFn& progress) const {
  ExportAs(TExportFormat::Tsv, path, progress);
}

void TKorvel::ExportAs(TExportFormat format, const std::string& path, const TProgressFn& progress) const {
  THighlighter marks(filePairs_, result_);
  switch (format) {
    case TExportFormat::Tsv:
      WriteFileReplacing(path, [&](TOutput& out) { korvel::RenderExport(out, filePairs_, data_, result_, marks, progress); });
      break;
    case TExportFormat::Csv:
      WriteFileReplacing(path, [&](TOutput& out) { RenderCsv(out, data_, result_, marks, progress); });
      break;
    case TExportFormat::Tmx:
      WriteFileReplacing(path, [&](TOutput& out) { RenderTmx(out, data_, result_, marks, progress); });
      break;
    case TExportFormat::Xlsx:
      TXlsxWriter().Write(path, filePairs_, data_, result_, marks, progress);
      break;
  }
  SetNote(marks.NoteMessage());
}

}  // namespace korvel
