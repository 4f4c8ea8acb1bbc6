// Ctrl-C in the host (Octave or MATLAB), seen from inside a MEX function.
#ifndef ZORMIX_GATEWAY_HOST_INTERRUPT_H_
#define ZORMIX_GATEWAY_HOST_INTERRUPT_H_

namespace zormix::gateway {

// True when the user pressed Ctrl-C in the host since the call began, or SIGTERM or SIGHUP came
// while termination was watched. Safe from any thread; never calls into the interpreter.
bool HostInterruptPending();

// SIGTERM and SIGHUP (a batch system's time limit, a closed terminal) reach a host's handlers, but
// the host acts on them only between commands, never while a MEX function runs. For the length of
// a solve the module takes them itself: WatchTermination() installs its handlers, and
// EndTermination() puts the host's back and, when one of the signals came, raises it again so
// that the host ends as it would have. Call EndTermination() once the solve has stopped, before
// the host hears of the call's error.
void WatchTermination();
void EndTermination();

// Takes the pending interrupt off the host's books once the solve has stopped for it, so that the
// host reports the module's error (identifier zormix:interrupted) instead of a bare interrupt, and
// the next call starts clean.
void ClearHostInterrupt();

}  // namespace zormix::gateway

#endif  // ZORMIX_GATEWAY_HOST_INTERRUPT_H_
