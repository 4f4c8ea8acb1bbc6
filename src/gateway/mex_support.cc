#include "gateway/mex_support.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string_view>
#include <thread>
#include <vector>

#include "frontend/front_end.h"
#include "gateway/host_interrupt.h"
#include "mex.h"
#include "zormix/error.h"

namespace zormix::gateway {
namespace {

// Static, so that they outlive the scope that wrote them.
char errorId[64];
char errorMessage[4096];

// Lines for the host's console. A tracking thread must not call into the host, so lines wait here
// until the host's thread prints them.
std::mutex consoleMutex;
std::vector<std::string> consoleLines;
std::thread::id hostThread;

void KeepConsoleLine(std::string_view line) {
  {
    std::lock_guard<std::mutex> lock(consoleMutex);
    consoleLines.emplace_back(line);
  }
  if (std::this_thread::get_id() == hostThread) FlushConsole();
}

// One line per stage and at most one per second while paths are tracked.
class ConsoleProgress {
 public:
  void operator()(const Progress& p) {
    const std::string notice = LargeRouteNotice(p);
    if (!notice.empty() && !announced_) {
      announced_ = true;
      KeepConsoleLine(notice);
    }
    const auto now = std::chrono::steady_clock::now();
    const bool finished = p.stage == Stage::kTracking && p.pathsDone == p.pathsTotal;
    if (drawn_ && p.stage == stage_ && !finished && now - last_ < std::chrono::seconds(1)) return;
    drawn_ = true;
    stage_ = p.stage;
    last_ = now;
    KeepConsoleLine(ProgressLine(p, 0.0));
  }

 private:
  bool drawn_ = false;
  bool announced_ = false;
  Stage stage_ = Stage::kReading;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace

void KeepError(const char* id, const std::string& message) {
  std::snprintf(errorId, sizeof errorId, "%s", id);
  std::snprintf(errorMessage, sizeof errorMessage, "%s", message.c_str());
}

void KeepCurrentException(const char* memoryContext) {
  HostError error = CurrentHostError();
  if (error.code == ErrorCode::kInterrupted) ClearHostInterrupt();
  if (error.code == ErrorCode::kOutOfMemory && error.message == "out of memory")
    error.message += std::string(" while ") + memoryContext;
  KeepError(ErrorIdentifier(error.code), error.message);
}

void RaiseKeptError() {
  mexErrMsgIdAndTxt(errorId, "%s", errorMessage);
  std::abort();  // not reached: the host's error call does not return
}

void ConnectToHost(SolveOptions& options, bool showProgress) {
  hostThread = std::this_thread::get_id();
  options.interrupted = HostInterruptPending;
  options.console = KeepConsoleLine;
  if (showProgress) options.progress = ConsoleProgress();
  options.progress = WithTestFault(std::move(options.progress));
}

void FlushConsole() {
  std::vector<std::string> lines;
  {
    std::lock_guard<std::mutex> lock(consoleMutex);
    lines.swap(consoleLines);
  }
  for (const std::string& line : lines) mexPrintf("%s\n", line.c_str());
  // Octave holds mexPrintf output until the call returns unless told to flush. A pending
  // interrupt would be acted on inside the evaluation, so none is made then.
  if (!lines.empty() && !HostInterruptPending()) {
    mexEvalString("if exist('OCTAVE_VERSION', 'builtin'), fflush(stdout); else, drawnow; end");
  }
}

}  // namespace zormix::gateway
