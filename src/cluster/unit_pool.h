// Threads that track the units a process is handed, one batch after another, while the process's
// main thread talks to the other processes.
#ifndef ZORMIX_CLUSTER_UNIT_POOL_H_
#define ZORMIX_CLUSTER_UNIT_POOL_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/parallel.h"

namespace zormix::cluster {

class UnitPool {
 public:
  // Starts `threads` threads; each calls makeWorker once and runs its unit function on the
  // units pushed here, in the order pushed.
  UnitPool(int threads, std::function<UnitFunction()> makeWorker);
  ~UnitPool();  // lets the running units finish, then joins
  UnitPool(const UnitPool&) = delete;
  UnitPool& operator=(const UnitPool&) = delete;

  void Push(const std::vector<std::int64_t>& units);
  // Units pushed and not yet started.
  std::size_t Waiting() const;
  // Units pushed and not yet finished (waiting or running).
  std::size_t Unfinished() const;
  // Nothing waiting and nothing running.
  bool Idle() const;
  // The units finished since the last call, in the order they finished.
  std::vector<std::int64_t> TakeFinished();
  // Rethrows the first exception of a unit; the pool takes no unit after one.
  void RethrowIfFailed() const;

 private:
  void Run();

  const std::function<UnitFunction()> makeWorker_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::int64_t> waiting_;
  std::vector<std::int64_t> finished_;
  int running_ = 0;
  bool closing_ = false;
  std::exception_ptr error_;
  std::vector<std::thread> threads_;
};

}  // namespace zormix::cluster

#endif  // ZORMIX_CLUSTER_UNIT_POOL_H_
