#include "SearchRunner.h"

#include <QThread>
#include <cmath>

using namespace korvel;

TSearchRunner::TSearchRunner(QObject* parent) : QObject(parent) {}

TSearchRunner::~TSearchRunner() { Stop(); }

void TSearchRunner::Search(TKorvel& engine, TRunRequest request) {
  const bool loads = request.Files.has_value();
  Start(
      [this, &engine, request = std::move(request), loads](std::stop_token stop, const TRunProgressFn& progress) {
        bool loading = loads;
        report_ = RunSearch(engine, request, std::move(stop), [&](const TRunProgress& p) {
          if (loading && p.Step != TRunStep::Load) {
            loading = false;
            emit loaded();
          }
          progress(p);
        });
      },
      [this] { emit searched(report_); });
}

void TSearchRunner::Export(const TKorvel& engine, std::string path) {
  Start(
      [&engine, path = std::move(path)](std::stop_token stop, const TRunProgressFn& progress) {
        RunExport(engine, path, std::move(stop), progress);
      },
      [this] { emit exported(); });
}

void TSearchRunner::Start(std::function<void(std::stop_token, const TRunProgressFn&)> task,
                          std::function<void()> succeeded) {
  if (thread_) return;
  stop_ = std::stop_source();
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
        emit progressed(done, end, p.Known);
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
