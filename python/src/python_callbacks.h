// The solve's callbacks while it runs without the GIL: the interrupt check runs Python's signal
// handlers (so Ctrl-C stops the solve), the progress callback calls a Python function, and the
// first Python exception either raises stops the solve and is raised again afterwards.
#ifndef ZORMIX_PYTHON_PYTHON_CALLBACKS_H_
#define ZORMIX_PYTHON_PYTHON_CALLBACKS_H_

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

#include "zormix/types.h"

namespace zormix::python {

class PythonCallbacks {
 public:
  // progress: a callable taking (stage, paths_done, paths_total, paths_reached, paths_failed), or
  // None.
  // A callable with an attribute `restored` (the package's own progress line) gets there the
  // paths a checkpoint restored before each call.
  explicit PythonCallbacks(pybind11::object progress)
      : progress_(std::move(progress)), takesRestored_(pybind11::hasattr(progress_, "restored")) {}

  // For SolveOptions::interrupted; safe from any thread, takes the GIL.
  bool Interrupted();
  // For SolveOptions::progress; takes the GIL.
  void Progress(const zormix::Progress& progress);
  // The same call for any stage (a sweep counts its instances as paths); takes the GIL.
  void Report(const char* stage, std::int64_t done, std::int64_t total, std::int64_t reached,
              std::int64_t failed, bool newStage);
  bool WantsProgress() const { return !progress_.is_none(); }

  // With the GIL held, after the solve: raises the exception a callback caught, if any, or the
  // one of a signal that arrived while no check ran (stages that do not poll). A
  // KeyboardInterrupt becomes zormix.Interrupted.
  void RaisePending();

 private:
  using Clock = std::chrono::steady_clock;
  void Keep(pybind11::error_already_set& error);
  // Runs the signal handlers (GIL held) and keeps what they raise.
  void CheckSignals();
  bool Due(std::atomic<Clock::rep>& last, Clock::duration interval, bool force);

  pybind11::object progress_;
  bool takesRestored_ = false;
  std::atomic<std::int64_t> restored_{0};
  std::mutex pendingMutex_;
  std::optional<pybind11::error_already_set> pending_;
  std::atomic<bool> failed_{false};
  std::atomic<Clock::rep> lastSignalCheck_{0};
  std::atomic<Clock::rep> lastProgress_{0};
  std::atomic<int> lastStage_{-1};
};

}  // namespace zormix::python

#endif  // ZORMIX_PYTHON_PYTHON_CALLBACKS_H_
