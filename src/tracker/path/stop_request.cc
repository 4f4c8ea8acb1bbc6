#include "tracker/path/path_state.h"
#include "tracker/tracking.h"
#include "zormix/error.h"

namespace zormix {

void StopRequest::Watch(const std::function<bool()>* interrupted) {
  interrupted_ = interrupted != nullptr && *interrupted ? interrupted : nullptr;
  solvingThread_ = std::this_thread::get_id();
  lastAsked_ = std::chrono::steady_clock::now();
}

bool StopRequest::Ask() {
  lastAsked_ = std::chrono::steady_clock::now();
  if (interrupted_ != nullptr && (*interrupted_)()) requested_.store(true);
  return requested_.load(std::memory_order_relaxed);
}

bool StopRequest::AskIfDue() {
  if (interrupted_ == nullptr) return false;
  if (std::chrono::steady_clock::now() - lastAsked_ < kStopPollInterval) return false;
  return Ask();
}

bool PathContext::StopRequested() const { return stop != nullptr && stop->Requested(); }

void StopRequest::ThrowIfRequested() const {
  if (requested_.load(std::memory_order_relaxed))
    throw Error(ErrorCode::kInterrupted, kInterruptedMessage);
}

}  // namespace zormix
