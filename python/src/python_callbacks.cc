#include "python/src/python_callbacks.h"

#include "python/src/errors.h"
#include "zormix/error.h"

namespace py = pybind11;

namespace zormix::python {
namespace {

// Signal handlers run at most this often: Ctrl-C is seen well within a second, and the GIL is
// taken a few dozen times a second at most, whatever the thread count.
constexpr auto kSignalCheckInterval = std::chrono::milliseconds(20);
// A progress callback is called at most this often, besides every change of stage.
constexpr auto kProgressInterval = std::chrono::milliseconds(200);

}  // namespace

bool PythonCallbacks::Due(std::atomic<Clock::rep>& last, Clock::duration interval, bool force) {
  const Clock::rep now = Clock::now().time_since_epoch().count();
  Clock::rep seen = last.load(std::memory_order_relaxed);
  if (!force && now - seen < interval.count()) return false;
  // One caller wins the slot; the others go on without the GIL.
  return last.compare_exchange_strong(seen, now, std::memory_order_relaxed);
}

void PythonCallbacks::Keep(py::error_already_set& error) {
  std::lock_guard<std::mutex> lock(pendingMutex_);
  if (!pending_) pending_.emplace(std::move(error));
  failed_ = true;
}

bool PythonCallbacks::Interrupted() {
  if (failed_) return true;
  if (!Due(lastSignalCheck_, kSignalCheckInterval, false)) return false;
  py::gil_scoped_acquire gil;
  CheckSignals();
  return failed_;
}

void PythonCallbacks::CheckSignals() {
  // Runs the handlers only on the main thread; a KeyboardInterrupt is left set and kept here.
  if (PyErr_CheckSignals() != 0) {
    py::error_already_set error;
    Keep(error);
  }
}

void PythonCallbacks::Progress(const zormix::Progress& progress) {
  const int stage = static_cast<int>(progress.stage);
  const bool newStage = lastStage_.exchange(stage) != stage;
  restored_.store(progress.pathsRestored, std::memory_order_relaxed);
  Report(StageName(progress.stage), progress.pathsDone, progress.pathsTotal, progress.pathsReached,
         progress.pathsFailed, newStage);
}

void PythonCallbacks::Report(const char* stage, std::int64_t done, std::int64_t total,
                             std::int64_t reached, std::int64_t failed, bool newStage) {
  if (progress_.is_none() || failed_) return;
  const bool last = total > 0 && done == total;
  if (!Due(lastProgress_, kProgressInterval, newStage || last)) return;
  py::gil_scoped_acquire gil;
  try {
    if (takesRestored_) progress_.attr("restored") = restored_.load(std::memory_order_relaxed);
    progress_(stage, done, total, reached, failed);
  } catch (py::error_already_set& error) {
    Keep(error);
  }
}

void PythonCallbacks::RaisePending() {
  if (!failed_) CheckSignals();
  std::lock_guard<std::mutex> lock(pendingMutex_);
  if (!pending_) return;
  if (pending_->matches(PyExc_KeyboardInterrupt)) {
    pending_.reset();
    RaiseError(kInterruptedId, kInterruptedMessage);
  }
  py::error_already_set error = std::move(*pending_);
  pending_.reset();
  throw error;
}

}  // namespace zormix::python
