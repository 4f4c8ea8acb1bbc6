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

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_INTERRUPT_H_
