#include "solve/sweep_window.h"

#include <chrono>
#include <utility>

#include "zormix/error.h"

namespace zormix {
namespace {

// Members read ahead of the one handed on next, per thread: enough that a slow member does not
// idle the other threads, few enough that a sweep's memory does not grow with its length.
constexpr std::int64_t kMembersAheadPerThread = 4;

// Longest wait of the calling thread between two questions to `interrupted`.
constexpr auto kPollInterval = std::chrono::milliseconds(100);

void ThrowIfInterrupted(const std::function<bool()>& interrupted) {
  if (interrupted && interrupted()) throw Error(ErrorCode::kInterrupted, kSweepInterruptedMessage);
}

}  // namespace

void SweepSerially(const MemberSource& next, const MemberSolver& solve,
                   const std::function<bool()>& interrupted, const MemberSink& onMember) {
  for (std::int64_t instance = 1;; ++instance) {
    ThrowIfInterrupted(interrupted);
    const std::optional<std::vector<Complex>> values = next();
    if (!values) return;
    onMember(solve(*values, instance));
  }
}

MemberWindow::MemberWindow(int threads, MemberSource next, MemberSolver solve)
    : next_(std::move(next)),
      solve_(std::move(solve)),
      window_(kMembersAheadPerThread * threads),
      slots_(window_) {
  for (int t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
}

MemberWindow::~MemberWindow() {
  Stop();
  for (std::thread& worker : workers_) worker.join();
}

void MemberWindow::Stop() {
  const std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  changed_.notify_all();
}

void MemberWindow::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || exhausted_ || read_ < handedOn_ + window_; });
    if (stopping_ || exhausted_) return;
    try {
      std::optional<std::vector<Complex>> values = next_();  // under the lock: one reader at a time
      if (!values) {
        exhausted_ = true;
        changed_.notify_all();
        return;
      }
      const std::int64_t k = read_++;
      lock.unlock();
      MemberResult member = solve_(*values, k + 1);
      lock.lock();
      slots_[k % window_] = std::move(member);
    } catch (...) {
      if (!lock.owns_lock()) lock.lock();
      if (!failure_) failure_ = std::current_exception();
      stopping_ = true;
    }
    changed_.notify_all();
  }
}

void MemberWindow::HandOnAll(const std::function<bool()>& interrupted, const MemberSink& onMember) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait_for(lock, kPollInterval, [&] {
      return failure_ || Finished() || slots_[handedOn_ % window_].has_value();
    });
    if (failure_) std::rethrow_exception(failure_);
    while (std::optional<MemberResult>& slot = slots_[handedOn_ % window_]) {
      MemberResult member = std::move(*slot);
      slot.reset();
      lock.unlock();
      onMember(std::move(member));
      lock.lock();
      ++handedOn_;  // only now: the member handed on counts against the window until it is gone
      changed_.notify_all();
    }
    if (Finished()) return;
    lock.unlock();
    ThrowIfInterrupted(interrupted);
    lock.lock();
  }
}

}  // namespace zormix
