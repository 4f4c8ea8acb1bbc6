// Runs independent tasks on a few threads: each task index is taken once, in increasing order, by
// whichever thread is free; the calling thread works too. The first exception is rethrown.
#ifndef ZORMIX_MIXEDCELL_PARALLEL_FOR_H_
#define ZORMIX_MIXEDCELL_PARALLEL_FOR_H_

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace zormix {

// makeWorker() is called once per thread and returns the callable run(index) of that thread (so
// that each thread can keep its own scratch state).
template <class MakeWorker>
void ParallelFor(std::size_t count, int threads, MakeWorker makeWorker) {
  const std::size_t workers = std::min<std::size_t>(std::max(threads, 1), count);
  if (workers <= 1) {
    auto run = makeWorker();
    for (std::size_t i = 0; i < count; ++i) run(i);
    return;
  }
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failureMutex;
  auto work = [&]() {
    try {
      auto run = makeWorker();
      for (std::size_t i = next++; i < count; i = next++) run(i);
    } catch (...) {
      std::lock_guard<std::mutex> lock(failureMutex);
      if (!failure) failure = std::current_exception();
      next = count;
    }
  };
  std::vector<std::thread> pool;
  for (std::size_t w = 1; w < workers; ++w) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_PARALLEL_FOR_H_
