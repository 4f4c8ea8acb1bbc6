#include "python/src/monodromy.h"

#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frontend/monodromy_symmetry.h"
#include "python/src/python_callbacks.h"
#include "zormix/error.h"
#include "zormix/monodromy.h"
#include "zormix/parametric.h"
#include "zormix/sweep.h"

namespace py = pybind11;

namespace zormix::python {
namespace {

py::dict Info(const FamilyMonodromyResult& r) {
  py::dict d;
  d["solution_count"] = r.start.roots.cols();
  d["trace_test_passed"] = r.trace == FamilyTraceVerdict::kPassed;
  d["trace_test"] = FamilyTraceVerdictName(r.trace);
  d["trace_residual"] = r.traceResidual;
  d["trace_threshold"] = r.traceThreshold;
  d["linear_parameters"] = r.linearParameters;
  d["stop"] = MonodromyStopName(r.stop);
  d["loops"] = r.loops;
  d["paths_tracked"] = r.pathsTracked;
  d["paths_failed"] = r.pathsFailed;
  d["first_root_attempts"] = r.firstRootAttempts;
  d["seconds"] = r.seconds;
  return d;
}

// (the start, a dict of what the loops did). Symmetries are texts as the command line takes them
// ("y, x, -z").
py::tuple Monodromy(const ParametricSystem& family, std::optional<std::uint64_t> seed, int threads,
                    std::optional<std::int64_t> count, const std::vector<std::string>& symmetries,
                    const py::object& progress) {
  FamilyMonodromyOptions options;
  options.seed = seed;
  options.threads = threads;
  options.count = count;
  for (const std::string& text : symmetries)
    options.symmetries.push_back(frontend::ParseSymmetry(text, family));
  PythonCallbacks callbacks(progress);
  options.interrupted = [&callbacks] { return callbacks.Interrupted(); };
  if (callbacks.WantsProgress()) {
    options.progress = [&callbacks, count](const FamilyMonodromyProgress& p) {
      callbacks.Report("monodromy", p.roots, count.value_or(0), p.roots, 0, false);
    };
  }
  FamilyMonodromyResult result;
  try {
    py::gil_scoped_release release;
    result = SolveFamilyByMonodromy(family, options);
  } catch (const Error&) {
    callbacks.RaisePending();
    throw;
  }
  callbacks.RaisePending();
  py::dict info = Info(result);
  return py::make_tuple(std::move(result.start), info);
}

}  // namespace

void BindMonodromy(py::module_& m) {
  m.def("monodromy", &Monodromy, py::arg("family"), py::arg("seed"), py::arg("threads"),
        py::arg("count"), py::arg("symmetries"), py::arg("progress"));
}

}  // namespace zormix::python
