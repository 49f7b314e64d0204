#include "SearchRunner.h"

#include <QThread>
#include <algorithm>
#include <cmath>
#include <thread>
#include <utility>

using namespace korvel;

namespace {

// A run's shares as RunSearch gives them: loading 0.80, the search and its
// page 0.20. Spotting is one counting pass over the loaded lines, lighter
// than most searches, and the page again; until it is timed it gets a
// quarter of the search's share, so the bar still moves through the search
// at nearly its usual pace.
constexpr double kLoadingRun = 1.0, kSearchRun = 0.20, kSpotRun = 0.05;
// Of that share, the page again takes its part in a search.
constexpr double kSpotPart = 0.80;

}  // namespace

TSearchRunner::TSearchRunner(QObject* parent) : QObject(parent) {}

TSearchRunner::~TSearchRunner() { Stop(); }

void TSearchRunner::Search(TKorvel& engine, TRunRequest request, bool spot) {
  const bool loads = request.Files.has_value();
  spot = spot && request.PagePath.has_value();
  const double search = loads ? kLoadingRun : kSearchRun, upTo = spot ? search / (search + kSpotRun) : 1.0;
  // An order by translation waits for the run's own table, made below.
  TSortKeys sortAfter;
  if (spot && std::find(request.Sort.begin(), request.Sort.end(), TSortKey::Translation) != request.Sort.end())
    sortAfter = std::exchange(request.Sort, {});
  Start(
      [this, &engine, request = std::move(request), loads, spot, upTo, sortAfter](std::stop_token stop,
                                                                                  const TRunProgressFn& progress) {
        // An earlier table's marks and order never reach this result's page.
        engine.SetTranslationMarks({});
        engine.SetTranslationOrder({});
        bool loading = loads;
        report_ = RunSearch(engine, request, stop, [&](const TRunProgress& p) {
          if (loading && p.Step != TRunStep::Load) {
            loading = false;
            Post([this] { emit loaded(); });
          }
          progress({p.Step, p.Done * upTo, p.StepEnd * upTo, p.Known});
        });
        if (!spot) return;
        Post([this, report = report_] { emit searched(report); });
        SpotResult(engine, *request.PagePath, stop, progress, upTo, sortAfter);
      },
      [this, spot] {
        if (spot)
          emit spotted(table_);
        else
          emit searched(report_);
      },
      spot);
}

void TSearchRunner::Spot(TKorvel& engine, std::string pagePath) {
  Start(
      [this, &engine, path = std::move(pagePath)](std::stop_token stop, const TRunProgressFn& progress) {
        SpotResult(engine, path, stop, progress, 0, {});
      },
      [this] { emit spotted(table_); }, true);
}

void TSearchRunner::SpotResult(TKorvel& engine, const std::string& pagePath, const std::stop_token& stop,
                               const TRunProgressFn& progress, double from, const TSortKeys& sortAfter) {
  table_ = {};
  double at = from;
  auto step = [&](double begin, double end) -> TProgressFn {
    return [&, begin, end](std::size_t done, std::size_t total) {
      if (stop.stop_requested() || !spot_) throw EAbort();
      if (total > 0) at = std::max(at, begin + (end - begin) * static_cast<double>(std::min(done, total)) / total);
      progress({TRunStep::Spot, std::max(at, begin), end, total > 0});
    };
  };
  const double pageFrom = from + (1 - from) * kSpotPart;
  if (engine.HitCount() > 0) {
    TSpotOptions options;
    options.Top = kTableRows;
    // One core is left to the window: spotting at full width starves its
    // thread (timer gaps past a third of a second on two cores) for little
    // gain, since the view's renderer wants a core as well.
    options.Threads = std::max(1u, std::thread::hardware_concurrency() - 1);
    options.Progress = step(from, pageFrom);
    options.Progress(0, 0);
    TTranslationTable table = engine.Spot(engine.Result(), options);
    engine.SetTranslationOrder(table.Rows);
    if (!sortAfter.empty()) engine.Sort(sortAfter, step(pageFrom, pageFrom));
    // No row to mark and no new order: the page already written is the page.
    std::vector<TSpotRow> marks = RowsToMark(table);
    if (!marks.empty() || !sortAfter.empty()) {
      engine.SetTranslationMarks(std::move(marks));
      engine.WriteResultPage(pagePath, step(pageFrom, 1.0));
    }
    table_ = std::move(table);
  }
  progress({TRunStep::Done, 1.0, 1.0, true});
}

void TSearchRunner::Export(const TKorvel& engine, std::string path, TExportFormat format) {
  Start(
      [&engine, path = std::move(path), format](std::stop_token stop, const TRunProgressFn& progress) {
        RunExport(engine, path, std::move(stop), progress, format);
      },
      [this] { emit exported(); }, false);
}

void TSearchRunner::Render(TKorvel& engine, TRenderRequest request) {
  Start(
      [this, &engine, request = std::move(request)](std::stop_token stop, const TRunProgressFn& progress) {
        report_ = RunRender(engine, request, std::move(stop), progress);
      },
      [this] { emit rendered(report_); }, false);
}

void TSearchRunner::Cache(TKorvel& engine) {
  Start(
      [&engine](std::stop_token stop, const TRunProgressFn&) {
        try {
          engine.BuildCache([&stop](std::size_t, std::size_t) {
            if (stop.stop_requested()) throw EAbort();
          });
        } catch (const EAbort&) {
          throw;
        } catch (const std::exception&) {
          // No cache, silently: the corpus is searched from memory as before.
        }
      },
      [this] { emit cached(); }, false);
}

void TSearchRunner::Post(std::function<void()> call) {
  // The worker's thread object lives on the GUI thread and goes with the
  // run: calls still queued when Stop deletes it are dropped with it.
  QMetaObject::invokeMethod(QThread::currentThread(), std::move(call), Qt::QueuedConnection);
}

void TSearchRunner::Start(std::function<void(std::stop_token, const TRunProgressFn&)> task,
                          std::function<void()> succeeded, bool spot) {
  if (thread_) return;
  stop_ = std::stop_source();
  spot_ = spot;
  error_ = nullptr;
  thread_ = QThread::create([this, task = std::move(task), stop = stop_.get_token()] {
    // The engine reports far more often than the bar can show: only a
    // change of what is shown crosses to the GUI thread.
    int shownDone = -1, shownEnd = -1;
    bool shownKnown = false;
    try {
      task(stop, [&](const TRunProgress& p) {
        const int done = static_cast<int>(std::floor(p.Done * kScale)),
                  end = static_cast<int>(std::floor(p.StepEnd * kScale));
        if (done == shownDone && end == shownEnd && p.Known == shownKnown) return;
        shownDone = done;
        shownEnd = end;
        shownKnown = p.Known;
        Post([this, done, end, known = p.Known] { emit progressed(done, end, known); });
      });
    } catch (...) {
      error_ = std::current_exception();
    }
  });
  // The thread is the context: a run that Stop ended never reports.
  connect(thread_, &QThread::finished, thread_, [this, succeeded = std::move(succeeded)] {
    thread_->wait();
    thread_->deleteLater();
    thread_ = nullptr;
    if (error_)
      emit failed(error_);
    else
      succeeded();
  });
  thread_->start();
}

void TSearchRunner::Cancel() {
  if (thread_) stop_.request_stop();
}

void TSearchRunner::Stop() {
  if (!thread_) return;
  stop_.request_stop();
  thread_->wait();
  delete thread_;
  thread_ = nullptr;
}
