// The solve's request to stop, heard by the finishing stage (refinement, classification,
// certification), which takes seconds on a system of many end points.
#ifndef ZORMIX_FINISH_FINISH_STOP_H_
#define ZORMIX_FINISH_FINISH_STOP_H_

#include <chrono>
#include <functional>

#include "zormix/error.h"

namespace zormix {

// Asks `interrupted` on the thread that made it only (a host such as Octave tells of a pending
// Ctrl-C on the thread that called it alone): between the units of a parallel loop, as its poll,
// and every kInterval of a serial loop. A true answer throws Error kInterruptedId; what the stage
// computed so far is dropped. An empty `interrupted` never stops.
class FinishStop {
 public:
  static constexpr std::chrono::milliseconds kInterval{50};

  explicit FinishStop(const std::function<bool()>& interrupted) : interrupted_(interrupted) {}

  void Ask() const {
    if (interrupted_ && interrupted_()) throw Error(ErrorCode::kInterrupted, kInterruptedMessage);
  }
  // The poll of RunUnitsInParallel (called on this thread).
  std::function<void()> Poll() const {
    return [this] { Ask(); };
  }
  // In a serial loop, at every unit: asks at the first and then once kInterval has passed since
  // the last time.
  void AskIfDue() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastAsked_ < kInterval) return;
    lastAsked_ = now;
    Ask();
  }

 private:
  const std::function<bool()>& interrupted_;
  std::chrono::steady_clock::time_point lastAsked_;  // the epoch: never asked
};

}  // namespace zormix

#endif  // ZORMIX_FINISH_FINISH_STOP_H_
