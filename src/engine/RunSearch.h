// RunSearch — one search as the front ends run it: the files loaded when
// they changed, the filter, the search and the result page, timed together,
// with one progress for the whole run and a stop token to abandon it.
#ifndef KORVEL_RUNSEARCH_H
#define KORVEL_RUNSEARCH_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "unKorvel.h"

namespace korvel {

struct TRunRequest {
  std::optional<std::vector<std::string>> Files;  // loaded first when given
  bool SkipBadSources = false;                     // for that load: see TKorvel::SetSkipBadSources
  std::string Filter;
  bool Exclude = false;
  bool FilterLemma = false;
  std::string Query;
  bool Lemma = false;
  bool ChineseWords = false;  // a Chinese query or filter matches whole words only
  bool Variants = false;      // Chinese characters match simplified and traditional alike
  TSortKeys Sort;                       // the hits' order; none: corpus order. Translation
                                        // spots the hits' table first, ten rows
  std::size_t Page = 0;                 // which page of hits the result page shows, 0 the first
  bool Kwic = false;                    // the page shows key words in context, not the two-row table
  std::optional<std::string> PagePath;  // the result page is written there when given
};

// The last search shown again another way: in another order, another page
// of its hits, or the other view. Nothing is searched.
struct TRenderRequest {
  TSortKeys Sort;
  std::size_t Page = 0;
  bool Kwic = false;
  std::string PagePath;
};

struct TRunReport {
  double Seconds = 0;  // loading to the page written
  int32_t HitCount = 0;
  std::string Direction;  // "EN-ZH" or "ZH-EN"
  std::string Pattern;    // the expression searched for
  std::string Note;       // what the page's rendering noted, or ""
  TMessage NoteMessage;   // the same, to translate
  std::string Status;     // the status line (StatusLine with Seconds to three decimals)
  bool Loaded = false;     // the run loaded the files
  bool FromCache = false;  // ... and took every pair from the corpus cache
};

enum class TRunStep { Load, Search, Sort, Page, Spot, Export, Done };

// Where a run is. Done never goes down over a run, nor past StepEnd within
// a step.
struct TRunProgress {
  TRunStep Step = TRunStep::Load;
  double Done = 0;     // of the whole run, 0..1
  double StepEnd = 0;  // where this step's share of the run ends
  bool Known = false;  // false while the step has reported no total yet
};
using TRunProgressFn = std::function<void(const TRunProgress&)>;

// "<seconds> second(s), <hits> item(s).   <direction>   @search=<pattern>"
std::string StatusLine(std::string_view seconds, int32_t hits, std::string_view direction, std::string_view pattern);

// Runs the request on `engine`. Throws what the engine throws, and EAbort
// soon after a stop is requested: a stop while loading leaves the engine with
// no lines, one while searching leaves the last search as it was.
TRunReport RunSearch(TKorvel& engine, const TRunRequest& request, std::stop_token stop = {},
                     const TRunProgressFn& progress = {});

// Writes the last search's page as `request` asks, reported as a search is
// (with this rendering's seconds). A failure or stop leaves the engine
// showing the hits as before.
TRunReport RunRender(TKorvel& engine, const TRenderRequest& request, std::stop_token stop = {},
                     const TRunProgressFn& progress = {});

// The export in `format`, stopped and reported the same way.
void RunExport(const TKorvel& engine, const std::string& path, std::stop_token stop = {},
               const TRunProgressFn& progress = {}, TExportFormat format = TExportFormat::Tsv);

}  // namespace korvel

#endif
