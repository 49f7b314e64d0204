// TSearchRunner — runs the window's searches and exports on a worker thread,
// one at a time. The window hands it a request; the run goes on there, and
// its progress, report or error comes back as signals on the GUI thread.
#ifndef KORVEL_SEARCHRUNNER_H
#define KORVEL_SEARCHRUNNER_H

#include <QObject>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "RunSearch.h"

class QThread;

class TSearchRunner : public QObject {
  Q_OBJECT
 public:
  // Progress comes in these units of the whole run.
  static constexpr int kScale = 1000;
  // Rows of a translation table.
  static constexpr std::size_t kTableRows = 10;

  explicit TSearchRunner(QObject* parent = nullptr);
  ~TSearchRunner() override;  // stops a run and waits for it

  bool Running() const { return thread_ != nullptr; }
  // Start a run unless one is under way; `engine` must outlive it. With
  // `spot`, the run goes on after the page: the result's translation table,
  // then the page written again with the table's rows marked (and, when the
  // request sorts by translation, in that order; the first page is not).
  void Search(korvel::TKorvel& engine, korvel::TRunRequest request, bool spot = false);
  // The table of the engine's last search, and its page written again.
  void Spot(korvel::TKorvel& engine, std::string pagePath);
  void Export(const korvel::TKorvel& engine, std::string path,
              korvel::TExportFormat format = korvel::TExportFormat::Tsv);
  // The last search's page again in another order, page or view.
  void Render(korvel::TKorvel& engine, korvel::TRenderRequest request);
  // Writes the corpus cache of the engine's last load (TKorvel::BuildCache).
  // A cache that cannot be written is no error: `cached` follows either way,
  // unless Stop ends the run first.
  void Cache(korvel::TKorvel& engine);
  // The run's table is no longer wanted: spotting is left out or stopped,
  // and `failed` follows with EAbort unless the run was already done.
  void DropSpot() { spot_ = false; }
  // Asks the run to stop; `failed` follows with EAbort, or its result if it
  // was already done.
  void Cancel();
  // Stops the run and waits for it; nothing is signalled after.
  void Stop();

 signals:
  // `done` of kScale; `stepEnd` where the current step's share ends;
  // `known` false while the step has reported no total.
  void progressed(int done, int stepEnd, bool known);
  // The run has loaded its files into the engine.
  void loaded();
  // The search and its page. A run that spots is still under way.
  void searched(const korvel::TRunReport& report);
  // The table, its rows marked on the page (RowsToMark: the page is written
  // again only when it picks some, or the hits were sorted by translation);
  // ends a run that spots. A search without
  // hits gives a table without hits and leaves the page alone.
  void spotted(const korvel::TTranslationTable& table);
  void exported();
  // The page of a Render is written.
  void rendered(const korvel::TRunReport& report);
  void cached();
  // The run's exception; EAbort after a Cancel.
  void failed(std::exception_ptr error);

 private:
  void Start(std::function<void(std::stop_token, const korvel::TRunProgressFn&)> task, std::function<void()> succeeded,
             bool spot);
  // The table and the page again, reported over [from, 1] of the run.
  void SpotResult(korvel::TKorvel& engine, const std::string& pagePath, const std::stop_token& stop,
                  const korvel::TRunProgressFn& progress, double from, const korvel::TSortKeys& sortAfter);
  // From the worker: `call` runs on the GUI thread, unless Stop ends the run first.
  static void Post(std::function<void()> call);

  QThread* thread_ = nullptr;
  std::stop_source stop_;
  std::atomic<bool> spot_ = false;
  std::exception_ptr error_;
  korvel::TRunReport report_;
  korvel::TTranslationTable table_;
};

#endif
