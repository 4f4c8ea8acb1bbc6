#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace zormix::cli {
namespace {

// Lock-free, so the handler may set it.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) { interrupted.store(true); }

}  // namespace

void CatchInterrupts() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;  // a second Ctrl-C ends the program
  sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() { return interrupted.load(); }

}  // namespace zormix::cli
