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

#include <csignal>

extern "C" {
extern std::sig_atomic_t octave_interrupt_state __attribute__((weak));
extern volatile std::sig_atomic_t octave_signal_caught __attribute__((weak));
bool utIsInterruptPending() __attribute__((weak));
}

namespace zormix::gateway {

bool HostInterruptPending() {
  if (&octave_interrupt_state != nullptr && octave_interrupt_state > 0) return true;
  return utIsInterruptPending != nullptr && utIsInterruptPending();
}

void ClearHostInterrupt() {
  if (&octave_interrupt_state != nullptr) octave_interrupt_state = 0;
  if (&octave_signal_caught != nullptr) octave_signal_caught = 0;
}

}  // namespace zormix::gateway
