// The C MEX API has no call that asks for a pending Ctrl-C, so the module looks at the host's own
// flag. Each host exports one; the declarations below are weak, so the module loads in either host
// (the other host's symbol resolves to null) and links without the host's libraries:
//
//   Octave (liboctave, quit.h):   sig_atomic_t octave_interrupt_state  > 0 while an interrupt is
//                                 pending; volatile sig_atomic_t octave_signal_caught  set by the
//                                 signal handler until the interpreter handles the signal.
//   MATLAB (libut, undocumented): bool utIsInterruptPending()  true after Ctrl-C.
//
// The SIGINT handler of Octave raises octave_interrupt_state and sets octave_signal_caught; the
// interpreter acts on them at its next check, which does not come while a MEX function runs.
#include "gateway/host_interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

extern "C" {
extern std::sig_atomic_t octave_interrupt_state __attribute__((weak));
extern volatile std::sig_atomic_t octave_signal_caught __attribute__((weak));
bool utIsInterruptPending() __attribute__((weak));
void octave_handle_signal() __attribute__((weak));
}

namespace zormix::gateway {
namespace {

constexpr int kTerminationSignals[] = {SIGTERM, SIGHUP};
constexpr int kTerminationSignalCount = 2;

// The termination signal that came while watched (0: none), and the host's handlers meanwhile.
std::atomic<int> caughtTermination{0};
static_assert(std::atomic<int>::is_always_lock_free);
struct sigaction hostHandlers[kTerminationSignalCount];
bool watching = false;

extern "C" void OnTermination(int signal) { caughtTermination.store(signal); }

// Longest wait for the host to take a signal raised again, and the step of the wait.
constexpr int kRaiseWaitSteps = 400;
constexpr useconds_t kRaiseWaitStep = 5000;  // 2 s in all

// The signal came to whichever thread of the host left it unblocked: with a multithreaded BLAS,
// one of the BLAS's threads, started before the host blocked the signal in its own threads to
// take it on a thread of its own (sigwait). Raised on the calling thread, where the host blocks
// it, it would stay pending there for ever. So it goes to the process, where the host's thread
// (or the host's handler, on a thread that does not block it) takes it; the host's flag is awaited
// so that the call ends only once the host knows.
void RaiseOnTheProcess(int signal) {
  kill(getpid(), signal);
  if (&octave_signal_caught == nullptr) return;
  for (int step = 0; step < kRaiseWaitSteps && octave_signal_caught == 0; ++step)
    usleep(kRaiseWaitStep);
}

}  // namespace

void WatchTermination() {
  caughtTermination.store(0);
  struct sigaction ours = {};
  ours.sa_handler = OnTermination;
  sigemptyset(&ours.sa_mask);
  for (int k = 0; k < kTerminationSignalCount; ++k)
    sigaction(kTerminationSignals[k], &ours, &hostHandlers[k]);
  watching = true;
}

void EndTermination() {
  if (!watching) return;
  for (int k = 0; k < kTerminationSignalCount; ++k)
    sigaction(kTerminationSignals[k], &hostHandlers[k], nullptr);
  watching = false;
  if (const int signal = caughtTermination.exchange(0)) RaiseOnTheProcess(signal);
  // A signal other than Ctrl-C still pending in Octave is acted on now, as octave_quit() would:
  // the error that ends the call would make Octave drop it.
  const bool ctrlC = &octave_interrupt_state != nullptr && octave_interrupt_state > 0;
  if (octave_handle_signal != nullptr && &octave_signal_caught != nullptr &&
      octave_signal_caught != 0 && !ctrlC) {
    octave_signal_caught = 0;
    octave_handle_signal();
  }
}

bool HostInterruptPending() {
  if (caughtTermination.load() != 0) return true;
  if (&octave_interrupt_state != nullptr && octave_interrupt_state > 0) return true;
  // Octave takes SIGTERM and SIGHUP in a thread of its own (sigwait), past any handler of ours,
  // and only raises octave_signal_caught for them.
  if (&octave_signal_caught != nullptr && octave_signal_caught != 0) return true;
  return utIsInterruptPending != nullptr && utIsInterruptPending();
}

void ClearHostInterrupt() {
  // Only a Ctrl-C is taken off the books: a pending SIGTERM or SIGHUP must still end the host.
  if (&octave_interrupt_state == nullptr || octave_interrupt_state <= 0) return;
  octave_interrupt_state = 0;
  if (&octave_signal_caught != nullptr) octave_signal_caught = 0;
}

}  // namespace zormix::gateway
