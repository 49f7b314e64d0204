// TKorvel — the corpus engine: the ticked file pairs, every aligned line pair
// read from them, the two word lists, and the state of the last search.
//
// The engine owns all of it. Line pairs are views into one decoded UTF-8
// buffer per file (two for a TMX or TSV file, one per language), also
// owned here, so they live until the next SetFiles.
// One thread drives an engine; loading and searching spread their work over
// all cores internally. The long operations take a progress callback, called
// on the driving thread with done/total as the work advances (total 0 while
// it is not known yet), and abandon the work when it throws (EAbort for a
// user's cancel). Errors are EKorvel or ERegExpr with the message a user is
// shown.
//
// While one thread runs SetFiles, Search or a rendering, another may call
// only Lookup (the word lists change only in LoadDictionaries) and the
// settings' getters; everything else waits for the run to end.
#ifndef KORVEL_UNKORVEL_H
#define KORVEL_UNKORVEL_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Corpus.h"
#include "Dictionary.h"
#include "Errors.h"
#include "Export.h"
#include "FileIO.h"
#include "Kwic.h"
#include "Lines.h"
#include "Output.h"
#include "Query.h"
#include "RegExpr.h"
#include "ResultPage.h"
#include "SearchResult.h"
#include "Sort.h"
#include "Spot.h"

namespace korvel {

class TLiteralScan;
class TCachedCorpus;
struct TCacheKey;

// How the engine spreads its work. Results never depend on it: every
// setting gives the same hits, page and export.
struct TTuning {
  unsigned Threads = 0;       // 0: one per core
  bool ScanWholeText = true;  // search a file's text in one pass where the expression allows
  bool UseIndex = true;       // try only the lines a cached corpus's trigram index names
};

// What an engine is made with. Blank paths take the program's own: its data
// folder (DataDir), its sys/result.tpl; no word lists unless a
// folder is named.
struct TEngineOptions {
  std::string ProgramDir;     // holds sys/ and dic/
  std::string TemplatePath;   // the result page's template
  std::string DictionaryDir;  // EN-ZH.txt and ZH-EN.txt, loaded at once
  TInflector Inflect;         // how words are inflected; MyDLL when empty
  TTuning Tuning;
};

class TKorvel {
 public:
  // The program's defaults; the word lists are loaded by LoadDictionaries.
  TKorvel();
  explicit TKorvel(TEngineOptions options);
  ~TKorvel();
  TKorvel(const TKorvel&) = delete;
  TKorvel& operator=(const TKorvel&) = delete;

  // Sorts Files in place, pairs English and Chinese names and loads every
  // pair; a TMX or TSV file is a pair on its own and counts as two names.
  // An odd number of names is refused: pairs, lines and hits empty.
  void SetFiles(std::vector<std::string>& Files, const TProgressFn& progress = {});
  // Whether a TMX or TSV file that cannot be read fails the load (off, the
  // default) or is left out with no lines while the rest load. The messages
  // of those left out, in FilePairs order, until the next SetFiles.
  void SetSkipBadSources(bool on) { skipBadSources_ = on; }
  bool SkipBadSources() const { return skipBadSources_; }
  const std::vector<std::string>& BadSources() const { return badSources_; }
  const std::vector<TMessage>& BadSourceMessages() const { return badSourceMessages_; }  // the same, to translate

  // The corpus cache (cache/CorpusCache.h): loads take a pair from `dir`
  // when its cache is there and whole, and BuildCache writes the others.
  // "" (the default) keeps no cache. `limit` caps the folder's total size
  // (0: DefaultCacheLimit); the least recently used caches go first.
  void SetCacheDir(std::string dir, std::uint64_t limit = 0);
  const std::string& CacheDir() const { return cacheDir_; }
  // Whether the last load took every pair (at least one) from the cache.
  bool LoadedFromCache() const;
  // Whether a pair of the last load has no cache yet.
  bool CacheMissing() const;
  // Writes the cache of every pair loaded from its sources (unchanged since),
  // then keeps to the limit; searches use their indexes from then on. How
  // many were written. Throws EKorvel when the folder cannot be written.
  // It changes nothing a search shows: while it runs, another thread may
  // read the last search (Result, Hits, FilePairs, Data) as well.
  std::size_t BuildCache(const TProgressFn& progress = {});

  // Reads "EN-ZH.txt" and "ZH-EN.txt" from Dir (the program folder's "dic"
  // when Dir is blank), mapped from their tables where they are current
  // (see Dictionary.h); a missing file leaves its list empty.
  void LoadDictionaries(const std::string& Dir);
  // Trimmed equivalents of the trimmed query in its language's list, or "".
  std::string Lookup(std::string_view Query) const;

  // Records the filter for the next Search.
  void SetFilter(std::string_view filter, bool exclude, bool lemmatize);
  // Records for the next Search whether a Chinese query or filter matches
  // only whole words (segmented by ICU): off, 人 matches inside 人们.
  void SetChineseWords(bool on) { pendingChineseWords_ = on; }
  // Records for the next Search whether Chinese characters of the query,
  // the filter and the equivalents match their simplified and traditional
  // variants alike (发展 finds 發展): Pattern() then shows the expanded
  // expression (see ExpandVariants).
  void SetVariants(bool on) { pendingVariants_ = on; }
  // Searches the loaded line pairs. Compiles the query and the filter first;
  // a failure (bad expression, cancel) leaves the previous search whole.
  void Search(std::string_view query, bool lemmatize, const TProgressFn& progress = {});

  // Shows the last search's hits in the order of `keys` (see Sort.h) in
  // every rendering from the next on; no keys is corpus order. A cancel
  // leaves the order as it was; a new search starts in corpus order.
  void Sort(const TSortKeys& keys, const TProgressFn& progress = {});
  // The keys of the order shown; none after a search.
  const TSortKeys& SortKeys() const { return sortKeys_; }
  // How the last search's hits are shown: order, page and view. A front
  // end takes it before showing them another way and gives it back when
  // that fails, so what it shows and what Save writes stay one.
  struct TShownAs {
    TSortKeys Keys;
    TIntArr Order;
    std::size_t Page = 0;
    bool Kwic = false;
  };
  TShownAs ShownAs() const { return {sortKeys_, result_.Order, page_, kwicPage_}; }
  void ShowAs(TShownAs shown);
  // Which page of kPageHitLimit hits the result pages show from the next
  // rendering on: 0, the first, unless told; a new search goes back to it.
  void SetPage(std::size_t page) { page_ = page; }
  std::size_t Page() const { return page_; }
  // WriteResultPage writes the key-word-in-context page instead of the
  // two-row table from the next rendering on; kept across searches.
  void SetKwicPage(bool on) { kwicPage_ = on; }
  // The row a page ends with when it does not show every hit, from the
  // next rendering on (ResultPage.h); English by default.
  void SetPageRowFormats(TPageRowFormats formats) { pageRowFormats_ = std::move(formats); }
  bool KwicPage() const { return kwicPage_; }

  // The result page from the template, and the tab-separated export.
  // Equivalents that backtrack too much on a line lose their marks there;
  // Note() then says so until the next rendering.
  void WriteResultPage(const std::string& path, const TProgressFn& progress = {}) const;
  void ExportText(const std::string& path, const TProgressFn& progress = {}) const;
  // The export in any of its formats (Export.h, writers/); ExportText is
  // the tab-separated one.
  void ExportAs(TExportFormat format, const std::string& path, const TProgressFn& progress = {}) const;
  std::string RenderResultPage(const TProgressFn& progress = {}) const;
  std::string RenderExport(const TProgressFn& progress = {}) const;
  void RenderResultPage(TOutput& out, const TProgressFn& progress = {}) const;
  void RenderExport(TOutput& out, const TProgressFn& progress = {}) const;
  // Key word in context (Kwic.h): the rows as text, every hit, and as a
  // page from the template, the page SetPage chose.
  void RenderKwic(TOutput& out, std::size_t width = kKwicWidth, const TProgressFn& progress = {}) const;
  void RenderKwicPage(TOutput& out, std::size_t width = kKwicPageColumns, const TProgressFn& progress = {}) const;
  const std::string& Note() const { return note_; }
  // The same, to translate (Message.h); no format when there is none.
  const TMessage& NoteMessage() const { return noteMessage_; }

  // The translation table of `result` (a search over the loaded pairs).
  TTranslationTable Spot(const TSearchResult& result, TSpotOptions options) const;
  // Rows the result page marks in every aligned line, in their own style,
  // from the next rendering on; none (the default) leaves the page as it
  // was. The export never shows them.
  void SetTranslationMarks(std::vector<TSpotRow> rows) { translationMarks_ = std::move(rows); }
  // The table rows TSortKey::Translation ranks hits by, from the next Sort
  // on; none leaves all hits tied on it.
  void SetTranslationOrder(std::vector<TSpotRow> rows) { translationOrder_ = std::move(rows); }

  const TFilePairArr& FilePairs() const { return filePairs_; }
  const TDataArr& Data() const { return data_; }
  const TDictionary& Dictionary(int index) const { return dictionaries_[index]; }
  // The last search; its fields under the names the window and writers use.
  const TSearchResult& Result() const { return result_; }
  bool QueryIsChinese() const { return result_.QueryIsChinese; }
  const TIntArr& Hits() const { return result_.Hits; }
  const std::string& Pattern() const { return result_.Pattern; }
  const std::string& Filter() const { return result_.Filter; }
  bool ExcludeFilter() const { return result_.ExcludeFilter; }
  const std::string& Equivalents() const { return result_.Equivalents; }
  int32_t HitCount() const { return result_.HitCount(); }
  const std::string& QueryText() const { return result_.QueryText; }

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
  // Index: only the records in `extra`.
  enum class TScan { Lines, Expression, Literals, Index };
  // `literal`: the scan's strings, for Literals; `extra`: records to try
  // besides the scan's candidates, ascending. `words`: where only a match
  // that is a whole word counts.
  struct TWords {
    bool query = false, filter = false;
  };
  TIntArr SearchLines(const std::shared_ptr<const TPattern>& query, const std::shared_ptr<const TPattern>& filter,
                      bool exclude, bool chinese, TWords words, TScan scan, const TLiteralScan* literal,
                      const TIntArr& extra, const TProgressFn& progress) const;
  // Records whose English (Chinese) line holds a character the matcher
  // folds to an ASCII letter; found on first use after a load.
  const TIntArr& FoldRecords(bool chinese, const TProgressFn& progress) const;
  // Records whose searched line may hold one of `literals`, ascending, from
  // the pairs' trigram indexes; nothing when a pair or literal has none.
  std::optional<TIntArr> IndexCandidates(const std::vector<std::string>& literals, bool chinese) const;
  void ClearData();

  TFilePairArr filePairs_;
  TDataArr data_;
  TDictionary dictionaries_[2];  // 0: English->Chinese, 1: Chinese->English
  TSearchResult result_;
  std::size_t page_ = 0;
  TPageRowFormats pageRowFormats_;
  bool kwicPage_ = false;
  mutable std::string note_;  // of the last rendering
  mutable TMessage noteMessage_;
  void SetNote(TMessage note) const {
    note_ = note.Text();
    noteMessage_ = std::move(note);
  }
  mutable std::optional<TIntArr> foldRecords_[2];

  // Recorded by SetFilter; becomes Filter/ExcludeFilter when a search succeeds.
  std::string pendingFilter_;
  std::string pendingFilterText_;  // trimmed, as typed
  bool pendingFilterWrapped_ = false;
  bool pendingExclude_ = false;
  bool pendingChineseWords_ = false;
  bool pendingVariants_ = false;
  std::vector<TSpotRow> translationMarks_;
  std::vector<TSpotRow> translationOrder_;
  TSortKeys sortKeys_;

  bool skipBadSources_ = false;
  std::vector<std::string> badSources_;
  std::vector<TMessage> badSourceMessages_;
  std::vector<THeldText> texts_;  // decoded files the lines point into

  // Each loaded pair's place in Data and its cache, when there is one.
  struct TPairCache {
    std::shared_ptr<const TCacheKey> Key;  // as the sources stood when loaded
    std::shared_ptr<const TCachedCorpus> Cached;
    bool Loaded = false;      // from the cache
    std::size_t First = 0, Records = 0;
  };
  std::vector<TPairCache> pairCaches_;
  std::string cacheDir_;
  std::uint64_t cacheLimit_ = 0;
  std::string programDir_;        // with a trailing "/"
  TTuning tuning_;
  std::string templatePath_;
  TInflector inflect_;
};

}  // namespace korvel

#endif
