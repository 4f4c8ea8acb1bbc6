// Ctrl-C (SIGINT) during a solve: the first one asks the solve to stop at its next check, a second
// one ends the program at once. SIGTERM and SIGHUP end it at once. A program ended by a signal
// removes the temporary of a report it was writing first.
#ifndef ZORMIX_CLI_INTERRUPT_H_
#define ZORMIX_CLI_INTERRUPT_H_

namespace zormix::cli {

// Installs the handlers of SIGINT, SIGTERM and SIGHUP.
void CatchInterrupts();

// A write beyond the file size limit (ulimit -f) then fails with EFBIG, which the writers report,
// removing their temporaries, instead of SIGXFSZ ending the process with a core and no message.
void IgnoreFileSizeLimitSignal();
// True once SIGINT arrived; for SolveOptions::interrupted.
bool Interrupted();

// While an object of this class lives, a first Ctrl-C that the solve has not answered within
// kInterruptAnswerSeconds (a stage that polls rarely; a path being tracked is abandoned at its next
// step, within a step's time) ends the program as a second Ctrl-C would, with the
// interrupted solve's message and exit code 130, and without the temporary of a report. Arm it
// around the solve only: a report being written after the solve finishes is not cut short.
class InterruptDeadline {
 public:
  InterruptDeadline();
  ~InterruptDeadline();
  InterruptDeadline(const InterruptDeadline&) = delete;
  InterruptDeadline& operator=(const InterruptDeadline&) = delete;
};

inline constexpr double kInterruptAnswerSeconds = 0.5;

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_INTERRUPT_H_
