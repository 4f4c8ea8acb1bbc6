#include "cli/interrupt.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/atomic_file.h"
#include "zormix/error.h"

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

namespace {

// The watcher of the armed deadline: it wakes every kWatchInterval to look at the flag, and at
// once when disarmed.
std::mutex deadlineMutex;
std::condition_variable deadlineChanged;
bool deadlineArmed = false;
std::thread deadlineWatcher;
constexpr auto kWatchInterval = std::chrono::milliseconds(50);

[[noreturn]] void EndUnanswered() {
  RemovePendingTemporaries();
  const std::string text =
      std::string("zormix: ") + kInterruptedMessage + "\nzormix: no report written\n";
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, text.data(), text.size());
  _exit(130);
}

void WatchDeadline() {
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> seen;
  std::unique_lock<std::mutex> lock(deadlineMutex);
  while (deadlineArmed) {
    deadlineChanged.wait_for(lock, kWatchInterval);
    if (!deadlineArmed || !interrupted.load()) continue;
    const auto now = Clock::now();
    if (!seen) seen = now;
    if (now - *seen >= std::chrono::duration<double>(kInterruptAnswerSeconds)) EndUnanswered();
  }
}

}  // namespace

InterruptDeadline::InterruptDeadline() {
  std::lock_guard<std::mutex> lock(deadlineMutex);
  deadlineArmed = true;
  deadlineWatcher = std::thread(WatchDeadline);
}

InterruptDeadline::~InterruptDeadline() {
  {
    std::lock_guard<std::mutex> lock(deadlineMutex);
    deadlineArmed = false;
  }
  deadlineChanged.notify_all();
  deadlineWatcher.join();
}

}  // namespace zormix::cli
