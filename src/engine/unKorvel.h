// TKorvel — the corpus engine: the ticked file pairs, every aligned line pair
// read from them, the two word lists, and the state of the last search.
//
// The engine owns all of it. Line pairs are views into one decoded UTF-8
// buffer per file, also owned here, so they live until the next SetFiles.
// One thread drives an engine; loading and searching spread their work over
// all cores internally. The long operations take a progress callback, called
// on the driving thread with done/total as the work advances, and abandon
// the work when it throws (EAbort for a user's cancel). Errors are EKorvel or ERegExpr with
// the message a user is shown.
#ifndef KORVEL_UNKORVEL_H
#define KORVEL_UNKORVEL_H

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "BigMemory.h"
#include "Dictionary.h"
#include "Errors.h"
#include "FileIO.h"
#include "Output.h"
#include "Query.h"
#include "RegExpr.h"

namespace korvel {

struct TFilePair {
  std::string EnFile;  // full path, holds ".EN." in its file name
  std::string ZhFile;  // full path, holds ".ZH." in its file name
};
using TFilePairArr = std::vector<TFilePair>;

struct TData {
  std::string_view ZhLine;  // trimmed; may be empty
  std::string_view EnLine;  // trimmed; never empty
  int32_t PairIndex;        // into FilePairs
  int32_t LineIndex;        // 0-based, the same in both files
};
using TDataArr = std::vector<TData, TBigAllocator<TData>>;
using TIntArr = std::vector<int32_t>;

using TProgressFn = std::function<void(std::size_t done, std::size_t total)>;

// How the engine spreads its work. Results never depend on it: every
// setting gives the same hits, page and export.
struct TTuning {
  unsigned Threads = 0;       // 0: one per core
  bool ScanWholeText = true;  // search a file's text in one pass where the expression allows
};

// The result page shows at most this many hits; the export has them all.
constexpr std::size_t kPageHitLimit = 10000;

class TKorvel {
 public:
  TKorvel();
  ~TKorvel();
  TKorvel(const TKorvel&) = delete;
  TKorvel& operator=(const TKorvel&) = delete;

  // Sorts Files in place, pairs English and Chinese names and loads every
  // pair. An odd number of names is refused: pairs, lines and hits empty.
  void SetFiles(std::vector<std::string>& Files, const TProgressFn& progress = {});

  // Reads "EN-ZH.txt" and "ZH-EN.txt" from Dir (the program's "dic" folder
  // when Dir is blank); a missing file leaves its list empty.
  void LoadDictionaries(const std::string& Dir);
  // Trimmed equivalents of the trimmed query in its language's list, or "".
  std::string Lookup(std::string_view Query) const;

  // Records the filter for the next Search.
  void SetFilter(std::string_view filter, bool exclude, bool lemmatize);
  // Searches the loaded line pairs. Compiles the query and the filter first;
  // a failure (bad expression, cancel) leaves the previous search whole.
  void Search(std::string_view query, bool lemmatize, const TProgressFn& progress = {});

  // The result page from the template, and the tab-separated export.
  // Equivalents that backtrack too much on a line lose their marks there;
  // Note() then says so until the next rendering.
  void WriteResultPage(const std::string& path, const TProgressFn& progress = {}) const;
  void ExportText(const std::string& path, const TProgressFn& progress = {}) const;
  std::string RenderResultPage(const TProgressFn& progress = {}) const;
  std::string RenderExport(const TProgressFn& progress = {}) const;
  void RenderResultPage(TOutput& out, const TProgressFn& progress = {}) const;
  void RenderExport(TOutput& out, const TProgressFn& progress = {}) const;
  const std::string& Note() const { return note_; }

  const TFilePairArr& FilePairs() const { return filePairs_; }
  const TDataArr& Data() const { return data_; }
  const TDictionary& Dictionary(int index) const { return dictionaries_[index]; }
  bool QueryIsChinese() const { return queryIsChinese_; }
  const TIntArr& Hits() const { return hits_; }
  const std::string& Pattern() const { return pattern_; }
  const std::string& Filter() const { return filter_; }
  bool ExcludeFilter() const { return excludeFilter_; }
  const std::string& Equivalents() const { return equivalents_; }
  int32_t HitCount() const { return hitCount_; }
  // The last query, trimmed, as it was typed.
  const std::string& QueryText() const { return queryText_; }

  // Where the result page's template is read from (default: the program's
  // sys/result.tpl) and how words are inflected (default: MyDLL).
  void SetTemplatePath(std::string path) { templatePath_ = std::move(path); }
  const std::string& TemplatePath() const { return templatePath_; }
  void SetInflector(TInflector inflect) { inflect_ = std::move(inflect); }
  void SetTuning(TTuning tuning) { tuning_ = tuning; }

 private:
  void LoadData(const TProgressFn& progress);
  // Lines: each line on its own; Expression: the expression through each
  // file's text; Literals: the strings every match contains, then the lines
  // they occur in.
  enum class TScan { Lines, Expression, Literals };
  TIntArr SearchLines(const TRegExpr& query, const TRegExpr* filter, bool exclude, bool chinese, TScan scan,
                      const TProgressFn& progress) const;
  void ClearData();

  TFilePairArr filePairs_;
  TDataArr data_;
  TDictionary dictionaries_[2];  // 0: English->Chinese, 1: Chinese->English
  bool queryIsChinese_ = false;
  TIntArr hits_;
  std::string pattern_;
  std::string filter_;
  bool excludeFilter_ = false;
  std::string equivalents_;
  int32_t hitCount_ = 0;
  std::string queryText_;
  mutable std::string note_;

  // Recorded by SetFilter; becomes Filter/ExcludeFilter when a search succeeds.
  std::string pendingFilter_;
  std::string pendingFilterText_;  // trimmed, as typed
  bool pendingFilterWrapped_ = false;
  bool pendingExclude_ = false;

  std::vector<THeldText> texts_;  // decoded files the lines point into
  TTuning tuning_;
  std::string templatePath_;
  TInflector inflect_;
};

}  // namespace korvel

#endif
