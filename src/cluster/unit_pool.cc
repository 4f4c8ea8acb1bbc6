#include "cluster/unit_pool.h"

#include <algorithm>
#include <utility>

namespace zormix::cluster {

UnitPool::UnitPool(int threads, std::function<UnitFunction()> makeWorker)
    : makeWorker_(std::move(makeWorker)) {
  for (int t = 0; t < std::max(1, threads); ++t) threads_.emplace_back([this] { Run(); });
}

UnitPool::~UnitPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void UnitPool::Run() {
  try {
    const UnitFunction work = makeWorker_();
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
      wake_.wait(lock, [this] { return closing_ || !waiting_.empty(); });
      if (closing_) return;
      const std::int64_t unit = waiting_.front();
      waiting_.pop_front();
      ++running_;
      lock.unlock();
      work(unit);
      lock.lock();
      --running_;
      finished_.push_back(unit);
    }
  } catch (...) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!error_) error_ = std::current_exception();
    closing_ = true;
    wake_.notify_all();
  }
}

void UnitPool::Push(const std::vector<std::int64_t>& units) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.insert(waiting_.end(), units.begin(), units.end());
  }
  wake_.notify_all();
}

std::size_t UnitPool::Waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_.size();
}

std::size_t UnitPool::Unfinished() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_.size() + static_cast<std::size_t>(running_);
}

bool UnitPool::Idle() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_.empty() && running_ == 0;
}

std::vector<std::int64_t> UnitPool::TakeFinished() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::int64_t> done;
  done.swap(finished_);
  return done;
}

void UnitPool::RethrowIfFailed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (error_) std::rethrow_exception(error_);
}

}  // namespace zormix::cluster
