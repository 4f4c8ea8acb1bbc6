// Ctrl-C in the host (Octave or MATLAB), seen from inside a MEX function.
#ifndef ZORMIX_GATEWAY_HOST_INTERRUPT_H_
#define ZORMIX_GATEWAY_HOST_INTERRUPT_H_

namespace zormix::gateway {

// True when the user pressed Ctrl-C in the host since the call began. Safe from any thread; never
// calls into the interpreter.
bool HostInterruptPending();

// Takes the pending interrupt off the host's books once the solve has stopped for it, so that the
// host reports the module's error (identifier zormix:interrupted) instead of a bare interrupt, and
// the next call starts clean.
void ClearHostInterrupt();

}  // namespace zormix::gateway

#endif  // ZORMIX_GATEWAY_HOST_INTERRUPT_H_
