// The members of a sweep on several threads, read from their source as they are needed and handed
// on in instance order: at most a window of members is held at once, whatever the member count.
#ifndef ZORMIX_SOLVE_SWEEP_WINDOW_H_
#define ZORMIX_SOLVE_SWEEP_WINDOW_H_

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "zormix/sweep.h"

namespace zormix {

// Solves the member with these values as this instance (1-based); never throws for the member.
using MemberSolver =
    std::function<MemberResult(const std::vector<Complex>& values, std::int64_t instance)>;
using MemberSink = std::function<void(MemberResult&&)>;

// One thread: read, solve and hand on each member in turn; `interrupted` is asked between members
// and stops the sweep with Error kInterrupted.
void SweepSerially(const MemberSource& next, const MemberSolver& solve,
                   const std::function<bool()>& interrupted, const MemberSink& onMember);

// `threads` workers take the next member from the source while fewer than
// kMembersAheadPerThread * threads members are read and not yet handed on; the calling thread
// hands them on in order and asks `interrupted` at least every kPollSeconds.
class MemberWindow {
 public:
  MemberWindow(int threads, MemberSource next, MemberSolver solve);
  ~MemberWindow();  // stops the workers after their current member and joins them
  MemberWindow(const MemberWindow&) = delete;
  MemberWindow& operator=(const MemberWindow&) = delete;

  // Returns after the last member; rethrows the first exception of a worker, of the source, of
  // onMember or of the stop (Error kInterrupted, after the members finished so far were handed on).
  void HandOnAll(const std::function<bool()>& interrupted, const MemberSink& onMember);

 private:
  void Work();
  void Stop();
  bool Finished() const { return exhausted_ && handedOn_ == read_; }

  MemberSource next_;
  MemberSolver solve_;
  std::int64_t window_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::optional<MemberResult>> slots_;  // instance k (0-based) at k % window_
  std::int64_t read_ = 0;                           // members taken from the source
  std::int64_t handedOn_ = 0;                       // members handed on
  bool exhausted_ = false;                          // the source gave its last member
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::vector<std::thread> workers_;
};

}  // namespace zormix

#endif  // ZORMIX_SOLVE_SWEEP_WINDOW_H_
