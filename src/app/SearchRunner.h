// TSearchRunner — runs the window's searches and exports on a worker thread,
// one at a time. The window hands it a request; the run goes on there, and
// its progress, report or error comes back as signals on the GUI thread.
#ifndef KORVEL_SEARCHRUNNER_H
#define KORVEL_SEARCHRUNNER_H

#include <QObject>
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

  explicit TSearchRunner(QObject* parent = nullptr);
  ~TSearchRunner() override;  // stops a run and waits for it

  bool Running() const { return thread_ != nullptr; }
  // Start a run unless one is under way; `engine` must outlive it.
  void Search(korvel::TKorvel& engine, korvel::TRunRequest request);
  void Export(const korvel::TKorvel& engine, std::string path);
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
  void searched(const korvel::TRunReport& report);
  void exported();
  // The run's exception; EAbort after a Cancel.
  void failed(std::exception_ptr error);

 private:
  void Start(std::function<void(std::stop_token, const korvel::TRunProgressFn&)> task, std::function<void()> succeeded);

  QThread* thread_ = nullptr;
  std::stop_source stop_;
  std::exception_ptr error_;
  korvel::TRunReport report_;
};

#endif
