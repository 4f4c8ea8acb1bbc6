#include "tracker/path_units.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <mutex>
#include <thread>

namespace zormix {

void ProgressCounters::Report(const TrackingOptions& options, std::int64_t total) const {
  if (!options.progress) return;
  Progress progress;
  progress.stage = Stage::kTracking;
  progress.pathsDone = done.load(std::memory_order_acquire);
  progress.pathsTotal = total;
  progress.pathsReached = reached.load(std::memory_order_relaxed);
  progress.pathsFailed = failed.load(std::memory_order_relaxed);
  options.progress(progress);
}

void RunUnitsInParallel(std::int64_t unitCount, int threads,
                        const std::function<UnitFunction()>& makeWorker,
                        const std::function<void()>& poll) {
  std::atomic<std::int64_t> next{0};
  std::atomic<bool> abort{false};
  std::mutex errorMutex;
  std::exception_ptr error;
  auto remember = [&](std::exception_ptr e) {
    std::lock_guard<std::mutex> lock(errorMutex);
    if (!error) error = e;
    abort.store(true);
  };
  // Returns false when there is nothing left to do.
  auto runOne = [&](const UnitFunction& work) {
    if (abort.load(std::memory_order_relaxed)) return false;
    const std::int64_t unit = next.fetch_add(1, std::memory_order_relaxed);
    if (unit >= unitCount) return false;
    work(unit);
    return true;
  };
  const std::int64_t helpers =
      std::max<std::int64_t>(0, std::min<std::int64_t>(threads, unitCount) - 1);
  std::vector<std::thread> pool;
  pool.reserve(static_cast<std::size_t>(helpers));
  for (std::int64_t t = 0; t < helpers; ++t) {
    pool.emplace_back([&] {
      try {
        const UnitFunction work = makeWorker();
        while (runOne(work)) {
        }
      } catch (...) {
        remember(std::current_exception());
      }
    });
  }
  try {
    const UnitFunction work = makeWorker();
    auto lastPoll = std::chrono::steady_clock::now();
    while (runOne(work)) {
      const auto now = std::chrono::steady_clock::now();
      if (now - lastPoll >= std::chrono::milliseconds(100)) {
        poll();
        lastPoll = now;
      }
    }
  } catch (...) {
    remember(std::current_exception());
  }
  for (std::thread& thread : pool) thread.join();
  if (error) std::rethrow_exception(error);
  poll();
}

TrackingOutcome CollectOutcomes(ColMajorMatrix<Complex>&& endPoints,
                                const std::vector<UnitOutcome>& outcomes) {
  TrackingOutcome result;
  const std::int64_t n = endPoints.rows();
  std::int64_t r = 0;
  for (std::size_t u = 0; u < outcomes.size(); ++u) {
    const UnitOutcome& outcome = outcomes[u];
    result.counts.blowUps += outcome.blowUps;
    PathRecord record;
    record.cell = outcome.cell;
    record.startIndex = outcome.startIndex;
    record.steps = outcome.steps;
    record.status = outcome.status;
    if (!outcome.recorded()) {
      result.lostPaths.push_back(record);
      continue;
    }
    // Column u >= r, so moving forward in place never overwrites a column still to be read.
    if (static_cast<std::int64_t>(u) != r)
      std::copy(endPoints.col(static_cast<std::int64_t>(u)),
                endPoints.col(static_cast<std::int64_t>(u)) + n, endPoints.col(r));
    result.records.push_back(record);
    ++r;
  }
  endPoints.ResizeCols(r);
  result.solutions = std::move(endPoints);
  result.counts.endPoints = r;
  return result;
}

}  // namespace zormix
