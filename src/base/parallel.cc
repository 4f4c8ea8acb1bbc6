#include "base/parallel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace zormix {

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

}  // namespace zormix
