#include "RunSearch.h"

#include <algorithm>
#include <charconv>
#include <chrono>

namespace korvel {
namespace {

// Each step's share of a run, from runs on 10M pairs (16 file pairs, two
// busy cores, files in the page cache): loading took 0.7-0.8 s, a word
// search 0.1-0.2 s ("the", 5.6M hits: 0.4 s), the page of the first 10,000
// hits 0.01-0.05 s. An expression tried line by line ("^.*work.*$") searches
// for seconds; the bar then runs slower through the search's share. Steps a
// run leaves out give their share to the others.
constexpr double kLoadShare = 0.80, kSearchShare = 0.16, kPageShare = 0.04;
// Sorting 100,000 hits takes about as long as a word search; spotting
// their translations for the order, a few times that.
constexpr double kSortShare = 0.04, kSpotShare = 0.12;
// Rows of the table a translation order ranks hits by.
constexpr std::size_t kOrderRows = 10;

bool SortsByTranslation(const TSortKeys& keys) {
  return std::find(keys.begin(), keys.end(), TSortKey::Translation) != keys.end();
}

// Turns the engine's done/total of each step into the run's one progress,
// and throws EAbort at the engine's next report once a stop is requested.
class TMeter {
 public:
  TMeter(std::stop_token stop, const TRunProgressFn& report, double total)
      : stop_(std::move(stop)), report_(report), total_(total) {}

  // No check here: a stop is taken at the engine's first report, so that
  // one in the load step always finds the old lines gone.
  TProgressFn Begin(TRunStep step, double share) {
    begin_ = end_;
    end_ = std::min(1.0, begin_ + share / total_);
    at_.Step = step;
    at_.StepEnd = end_;
    at_.Known = false;
    at_.Done = std::max(at_.Done, begin_);
    Report();
    return [this](std::size_t done, std::size_t total) {
      Check();
      if (total > 0) {
        at_.Known = true;
        const double part = static_cast<double>(std::min(done, total)) / static_cast<double>(total);
        at_.Done = std::max(at_.Done, begin_ + (end_ - begin_) * part);
      }
      Report();
    };
  }

  // A stop that comes after the last step has nothing left to stop.
  void Finish() {
    at_ = {TRunStep::Done, 1.0, 1.0, true};
    Report();
  }

 private:
  void Check() const {
    if (stop_.stop_requested()) throw EAbort();
  }
  void Report() const {
    if (report_) report_(at_);
  }

  std::stop_token stop_;
  const TRunProgressFn& report_;
  double total_;
  double begin_ = 0, end_ = 0;
  TRunProgress at_;
};

// The report of a run that began at `start`.
TRunReport Report(const TKorvel& engine, std::chrono::steady_clock::time_point start, bool page) {
  TRunReport report;
  report.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  report.HitCount = engine.HitCount();
  report.Direction = engine.QueryIsChinese() ? "ZH-EN" : "EN-ZH";
  report.Pattern = engine.Pattern();
  report.Note = page ? engine.Note() : std::string();
  if (page) report.NoteMessage = engine.NoteMessage();
  // Fixed notation in any locale: the status line is the same everywhere.
  char seconds[32];
  const auto end = std::to_chars(seconds, seconds + sizeof seconds, report.Seconds, std::chars_format::fixed, 3).ptr;
  report.Status = StatusLine({seconds, end}, report.HitCount, report.Direction, report.Pattern);
  return report;
}

}  // namespace

std::string StatusLine(std::string_view seconds, int32_t hits, std::string_view direction, std::string_view pattern) {
  std::string line(seconds);
  line += " second(s), " + std::to_string(hits) + " item(s).   ";
  line += direction;
  line += "   @search=";
  line += pattern;
  return line;
}

TRunReport RunSearch(TKorvel& engine, const TRunRequest& request, std::stop_token stop,
                     const TRunProgressFn& progress) {
  const auto start = std::chrono::steady_clock::now();
  const bool load = request.Files.has_value(), page = request.PagePath.has_value(), sort = !request.Sort.empty();
  const bool spot = SortsByTranslation(request.Sort);
  TMeter meter(std::move(stop), progress,
               (load ? kLoadShare : 0) + kSearchShare + (spot ? kSpotShare : 0) + (sort ? kSortShare : 0) +
                   (page ? kPageShare : 0));

  if (load) {
    std::vector<std::string> files = *request.Files;
    engine.SetSkipBadSources(request.SkipBadSources);
    engine.SetFiles(files, meter.Begin(TRunStep::Load, kLoadShare));
  }
  const TProgressFn searching = meter.Begin(TRunStep::Search, kSearchShare);
  engine.SetFilter(request.Filter, request.Exclude, request.FilterLemma);
  engine.SetChineseWords(request.ChineseWords);
  engine.SetVariants(request.Variants);
  engine.Search(request.Query, request.Lemma, searching);
  if (spot) {
    TSpotOptions options;
    options.Top = kOrderRows;
    options.Progress = meter.Begin(TRunStep::Spot, kSpotShare);
    engine.SetTranslationOrder(engine.Spot(engine.Result(), options).Rows);
  }
  if (sort) engine.Sort(request.Sort, meter.Begin(TRunStep::Sort, kSortShare));
  engine.SetPage(request.Page);
  engine.SetKwicPage(request.Kwic);
  if (page) engine.WriteResultPage(*request.PagePath, meter.Begin(TRunStep::Page, kPageShare));
  meter.Finish();
  TRunReport report = Report(engine, start, page);
  report.Loaded = load;
  report.FromCache = load && engine.LoadedFromCache();
  return report;
}

TRunReport RunRender(TKorvel& engine, const TRenderRequest& request, std::stop_token stop,
                     const TRunProgressFn& progress) {
  const auto start = std::chrono::steady_clock::now();
  TMeter meter(std::move(stop), progress, kSortShare + kPageShare);
  TKorvel::TShownAs before = engine.ShownAs();
  try {
    engine.Sort(request.Sort, meter.Begin(TRunStep::Sort, kSortShare));
    engine.SetPage(request.Page);
    engine.SetKwicPage(request.Kwic);
    engine.WriteResultPage(request.PagePath, meter.Begin(TRunStep::Page, kPageShare));
    meter.Finish();
  } catch (...) {
    // The page on view is still the one before.
    engine.ShowAs(std::move(before));
    throw;
  }
  return Report(engine, start, true);
}

void RunExport(const TKorvel& engine, const std::string& path, std::stop_token stop, const TRunProgressFn& progress,
               TExportFormat format) {
  TMeter meter(std::move(stop), progress, 1.0);
  engine.ExportAs(format, path, meter.Begin(TRunStep::Export, 1.0));
  meter.Finish();
}

}  // namespace korvel
