#include "unKorvel.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <optional>
#include <unordered_map>

#include "CorpusFolder.h"
#include "FileIO.h"
#include "TextDecode.h"

namespace korvel {
namespace {

constexpr std::string_view kEnMarker = ".EN.";
constexpr std::string_view kZhMarker = ".ZH.";
// Loading reports progress per pair and every this many lines.
constexpr std::size_t kLinesPerProgressStep = 1 << 16;

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

}  // namespace

TKorvel::TKorvel() : templatePath_(ExeDir() + "sys/result.tpl"), inflect_(MyDllInflection) {}

TKorvel::~TKorvel() = default;

void TKorvel::ClearData() {
  data_.clear();
  texts_.clear();
  hits_.clear();
  hitCount_ = 0;
}

void TKorvel::SetFiles(std::vector<std::string>& Files, const TProgressFn& progress) {
  filePairs_.clear();
  ClearData();
  if (Files.size() % 2 != 0) return;
  SortFileNames(Files);

  const std::size_t n = Files.size();
  std::vector<std::string> names;
  names.reserve(n);
  for (const std::string& f : Files) names.emplace_back(Trim(f));

  // A pair and the sorted position of its first name, which orders FilePairs.
  struct Slot {
    TFilePair pair;
    std::size_t first = SIZE_MAX;
  };
  std::vector<Slot> slots;
  std::vector<bool> used(n, false);

  // An English name whose exact twin was ticked too is paired with it.
  std::unordered_map<std::string_view, std::vector<std::size_t>> chinese;
  for (std::size_t i = n; i-- > 0;)
    if (FindMarker(names[i], kEnMarker) == std::string_view::npos && FindMarker(names[i], kZhMarker) != std::string_view::npos)
      chinese[names[i]].push_back(i);
  for (std::size_t i = 0; i < n; ++i) {
    if (progress) progress(i, n);
    std::size_t en = FindMarker(names[i], kEnMarker);
    if (en == std::string_view::npos) continue;
    std::string twin = names[i];
    twin.replace(en, kEnMarker.size(), kZhMarker);
    auto it = chinese.find(twin);
    if (it == chinese.end() || it->second.empty()) continue;
    std::size_t j = it->second.back();
    it->second.pop_back();
    used[i] = used[j] = true;
    slots.push_back({{names[i], names[j]}, i});
  }

  // The names left over pair by position: each Chinese name closes the pair
  // the English names before it opened (a later English name replaces an
  // earlier one). Names beyond the last pair are ignored.
  const std::size_t twins = slots.size();
  const std::size_t extra = (n - 2 * twins) / 2;
  slots.resize(twins + extra);
  std::size_t k = twins;
  for (std::size_t i = 0; i < n && k < slots.size(); ++i) {
    if (used[i]) continue;
    Slot& slot = slots[k];
    if (FindMarker(names[i], kEnMarker) != std::string_view::npos) {
      slot.pair.EnFile = names[i];
      slot.first = std::min(slot.first, i);
    } else if (FindMarker(names[i], kZhMarker) != std::string_view::npos) {
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
  std::vector<std::string_view> zhLines;
  const std::size_t pairs = filePairs_.size();
  for (std::size_t i = 0; i < pairs; ++i) {
    if (progress) progress(i, pairs);
    const TFilePair& pair = filePairs_[i];
    texts_.push_back(std::make_unique<const std::string>(ReadTextFile(pair.EnFile)));
    const std::string& en = *texts_.back();
    texts_.push_back(std::make_unique<const std::string>(ReadTextFile(pair.ZhFile)));
    zhLines = SplitLines(*texts_.back());

    int32_t j = 0;
    ForEachLine(en, [&](std::string_view line) {
      if (progress && j > 0 && j % kLinesPerProgressStep == 0) progress(i, pairs);
      std::string_view enLine = Trim(line);
      if (!enLine.empty()) {
        if (static_cast<std::size_t>(j) >= zhLines.size()) ThrowListIndex(j);
        data_.push_back({Trim(zhLines[j]), enLine, static_cast<int32_t>(i), j});
      }
      ++j;
    });
  }
}

void TKorvel::LoadDictionaries(const std::string& Dir) {
  std::string dir(Trim(Dir));
  dir = dir.empty() ? ExeDir() + "dic/" : dir + "/";
  const char* files[2] = {"EN-ZH.txt", "ZH-EN.txt"};
  for (int i = 0; i < 2; ++i) {
    std::string path = dir + files[i];
    if (IsRegularFile(path)) dictionaries_[i].Assign(ReadTextFile(path));
  }
}

std::string TKorvel::Lookup(std::string_view Query) const {
  std::string_view q = Trim(Query);
  const TDictionary& dic = dictionaries_[IsChinese(q) ? 1 : 0];
  if (dic.Count() == 0) return "";
  const std::string* value = dic.Find(q);
  return value ? std::string(Trim(*value)) : std::string();
}

void TKorvel::SetFilter(std::string_view filter, bool exclude, bool lemmatize) {
  std::string_view f = Trim(filter);
  pendingFilter_ = f;
  pendingExclude_ = exclude;
  if (!f.empty() && lemmatize && !IsChinese(f) && !IsRegexQuery(f))
    pendingFilter_ = "\\b(" + ExpandLemma(f, inflect_) + ")\\b";
}

void TKorvel::Search(std::string_view query, bool lemmatize, const TProgressFn& progress) {
  const std::string q(Trim(query));
  const bool chinese = IsChinese(q);
  const bool regex = IsRegexQuery(q);
  const bool plain = !chinese && !regex;
  const std::string base = lemmatize && plain ? ExpandLemma(q, inflect_) : q;
  const std::string pattern = plain ? "\\b(" + base + ")\\b" : base;

  // Both expressions compile before anything changes, so a bad one leaves
  // the last search as it was.
  const TRegExpr queryRe(pattern, true);
  std::optional<TRegExpr> filterRe;
  if (!pendingFilter_.empty()) filterRe.emplace(pendingFilter_, true);

  TIntArr hits;
  const std::size_t n = data_.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (progress) progress(i, n);
    const TData& d = data_[i];
    std::string_view searched = chinese ? d.ZhLine : d.EnLine;
    if (!queryRe.Exec(searched)) continue;
    if (filterRe) {
      std::string_view aligned = chinese ? d.EnLine : d.ZhLine;
      if (filterRe->Exec(aligned) == pendingExclude_) continue;
    }
    hits.push_back(static_cast<int32_t>(i));
  }

  std::string equivalents;
  if (dictionaries_[0].Count() + dictionaries_[1].Count() > 0) {
    equivalents = Lookup(q);
    if (chinese && !equivalents.empty()) equivalents = "\\b(" + ExpandLemma(equivalents, inflect_) + ")\\b";
    // A word-list value that does not compile only loses its highlighting.
    if (!equivalents.empty()) {
      try {
        TRegExpr check(equivalents, true);
      } catch (const ERegExpr&) {
        equivalents.clear();
      }
    }
  }

  queryIsChinese_ = chinese;
  hits_ = std::move(hits);
  hitCount_ = static_cast<int32_t>(hits_.size());
  pattern_ = pattern;
  filter_ = pendingFilter_;
  excludeFilter_ = pendingExclude_;
  equivalents_ = std::move(equivalents);
}

}  // namespace korvel
