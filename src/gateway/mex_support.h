// What both MEX functions share: errors kept until the host hears of them, the solver's console
// lines and progress printed from the host's thread, and the solve options wired to the host.
//
// The host's error call (mexErrMsgIdAndTxt) never returns, and in MATLAB it does not unwind C++
// frames. So every host call that may end the call is made from mexFunction's own frame while no
// C++ object with storage is alive: the solver runs inside Guarded scopes that catch everything,
// copy the identifier and message into static buffers and close before the host hears of it.
#ifndef ZORMIX_GATEWAY_MEX_SUPPORT_H_
#define ZORMIX_GATEWAY_MEX_SUPPORT_H_

#include <exception>
#include <string>

#include "zormix/solve.h"

// The one exported symbol of a module (the build gives everything else hidden visibility).
#if defined(__GNUC__)
#define ZORMIX_MEX_EXPORT __attribute__((visibility("default")))
#else
#define ZORMIX_MEX_EXPORT
#endif

namespace zormix::gateway {

// Identifiers of the errors that only the MEX functions raise (docs/errors.md lists them all).
inline constexpr const char* kWrongInputCountId = "zormix:wrongInputCount";
inline constexpr const char* kWrongOutputCountId = "zormix:wrongOutputCount";
inline constexpr const char* kBadArgumentId = "zormix:badArgument";
inline constexpr const char* kUnknownOptionId = "zormix:unknownOption";
inline constexpr const char* kResultTooLargeId = "zormix:resultTooLarge";
inline constexpr const char* kInternalId = "zormix:internal";

// Keeps an error for RaiseKeptError.
void KeepError(const char* id, const std::string& message);
// Keeps the error that the exception in flight describes (call from a catch block).
void KeepCurrentException(const char* memoryContext);
// Ends the MEX call with the kept error. Never returns.
[[noreturn]] void RaiseKeptError();

// Runs body, keeping every exception as the error of the call. Returns whether body succeeded.
// memoryContext completes "out of memory while ...".
template <typename Body>
bool Guarded(const char* memoryContext, Body body) {
  try {
    body();
    return true;
  } catch (...) {
    KeepCurrentException(memoryContext);
  }
  return false;
}

// Wires a solve to the host: Ctrl-C polling, console lines kept for the host's thread, and (when
// showProgress) a progress line per second and the notice of a very large route.
void ConnectToHost(SolveOptions& options, bool showProgress);
// Prints what the solve left for the host's console; call after the solve, also after a failure.
void FlushConsole();

}  // namespace zormix::gateway

#endif  // ZORMIX_GATEWAY_MEX_SUPPORT_H_
