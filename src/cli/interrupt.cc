#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

#include "base/atomic_file.h"

namespace zormix::cli {
namespace {

// Lock-free, so the handler may set it.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Ends the process as the signal's default action would, without leaving the temporary of a
// report being written behind.
void DieOf(int signal) {
  RemovePendingTemporaries();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// The first Ctrl-C asks the solve to stop (it polls the flag and unwinds, and the writers remove
// their temporaries); a second one, for a run that does not stop fast enough, ends it at once.
extern "C" void OnInterrupt(int signal) {
  if (interrupted.exchange(true)) DieOf(signal);
}

// A job's time limit or a kill: no time to unwind, only to clean up.
extern "C" void OnTerminate(int signal) { DieOf(signal); }

void Catch(int signal, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

}  // namespace

void CatchInterrupts() {
  Catch(SIGINT, OnInterrupt);
  Catch(SIGTERM, OnTerminate);
  Catch(SIGHUP, OnTerminate);
}

void IgnoreFileSizeLimitSignal() { std::signal(SIGXFSZ, SIG_IGN); }

bool Interrupted() { return interrupted.load(); }

}  // namespace zormix::cli
