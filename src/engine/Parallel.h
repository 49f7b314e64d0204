// ParallelFor — the engine's one way of using several cores (engine-internal).
#ifndef KORVEL_PARALLEL_H
#define KORVEL_PARALLEL_H

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "Errors.h"

namespace korvel {

// Workers the engine uses: every core, or `requested` when not 0.
inline unsigned WorkerCount(unsigned requested) {
  if (requested) return requested;
  return std::max(1u, std::thread::hardware_concurrency());
}

// Runs item(i, worker, poll) for every i in [0, n), items taken in order by
// up to `workers` threads, the calling thread among them (worker 0). Items
// call poll() now and then; it throws EAbort once the run is abandoned.
// `progress` is called on the calling thread only. The first exception to
// escape an item or `progress` stops the other workers at their next poll
// and reaches the caller.
template <class Item>
void ParallelFor(std::size_t n, unsigned workers, const std::function<void(std::size_t, std::size_t)>& progress,
                 Item&& item) {
  workers = static_cast<unsigned>(std::clamp<std::size_t>(n, 1, std::max(1u, workers)));
  std::atomic<std::size_t> next{0}, done{0};
  std::atomic<bool> stop{false};
  std::atomic<unsigned> others{workers - 1};
  std::mutex errorLock, finishing;
  std::condition_variable finished;
  std::exception_ptr firstError;

  auto fail = [&](std::exception_ptr e) {
    std::lock_guard<std::mutex> lock(errorLock);
    if (!firstError) firstError = e;  // later ones are the stop it caused
    stop = true;
  };
  auto callerPoll = [&] {
    if (stop.load(std::memory_order_relaxed)) throw EAbort();
    if (progress) progress(done.load(std::memory_order_relaxed), n);
  };
  auto workerPoll = [&] {
    if (stop.load(std::memory_order_relaxed)) throw EAbort();
  };
  auto run = [&](unsigned w) {
    try {
      for (std::size_t i; (i = next.fetch_add(1)) < n && !stop.load();) {
        if (w == 0) {
          item(i, w, callerPoll);
          done.fetch_add(1);
          callerPoll();
        } else {
          item(i, w, workerPoll);
          done.fetch_add(1);
        }
      }
    } catch (...) {
      fail(std::current_exception());
    }
  };

  std::vector<std::thread> threads;
  threads.reserve(workers - 1);
  for (unsigned w = 1; w < workers; ++w)
    threads.emplace_back([&, w] {
      run(w);
      {
        std::lock_guard<std::mutex> lock(finishing);
        others.fetch_sub(1);
      }
      finished.notify_all();
    });
  run(0);
  // Keep reporting while the others finish, so a cancel still gets through;
  // woken by the last of them, since a fixed nap would add its length to
  // every short run.
  while (others.load() > 0 && !stop.load()) {
    try {
      callerPoll();
    } catch (...) {
      fail(std::current_exception());
    }
    std::unique_lock<std::mutex> lock(finishing);
    finished.wait_for(lock, std::chrono::milliseconds(5), [&] { return others.load() == 0; });
  }
  for (std::thread& t : threads) t.join();
  if (firstError) std::rethrow_exception(firstError);
}

}  // namespace korvel

#endif
