// A stop request polled from the worker threads but asked of the caller on one thread only: a host
// such as MATLAB or Octave can tell whether Ctrl-C is pending only on the thread that called it.
#ifndef ZORMIX_MIXEDCELL_STOP_POLL_H_
#define ZORMIX_MIXEDCELL_STOP_POLL_H_

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

namespace zormix {

// Returns a callback that any thread may call: on the thread that made it, it asks `stop`; every
// thread returns the last answer seen there, so the others stop once that thread has seen the
// request. Once true, `stop` is not asked again. Empty `stop`: an empty callback.
inline std::function<bool()> PollOnThisThread(std::function<bool()> stop) {
  if (!stop) return {};
  struct State {
    std::function<bool()> stop;
    std::thread::id owner = std::this_thread::get_id();
    std::atomic<bool> stopped{false};
  };
  auto state = std::make_shared<State>();
  state->stop = std::move(stop);
  return [state] {
    if (state->stopped.load(std::memory_order_acquire)) return true;
    if (std::this_thread::get_id() != state->owner || !state->stop()) return false;
    state->stopped.store(true, std::memory_order_release);
    return true;
  };
}

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_STOP_POLL_H_
