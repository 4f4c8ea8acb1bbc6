#include "python/src/decompose.h"

#include <pybind11/complex.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "decompose/decompose_json.h"
#include "python/src/python_callbacks.h"
#include "zormix/decompose.h"
#include "zormix/error.h"
#include "zormix/io.h"

namespace py = pybind11;

namespace zormix::python {
namespace {

std::string Decompose(const std::string& text, const std::string& source,
                      std::optional<std::uint64_t> seed, int threads,
                      std::optional<int> topDimension,
                      const std::vector<std::vector<Complex>>& points, const py::object& progress) {
  PythonCallbacks callbacks(progress);
  DecomposeOptions options;
  options.seed = seed;
  options.threads = threads;
  options.topDimension = topDimension;
  options.interrupted = [&callbacks] { return callbacks.Interrupted(); };
  if (callbacks.WantsProgress()) {
    options.progress = [&callbacks](const DecomposeProgress& p) {
      const std::string stage = "dimension " + std::to_string(p.dimension) + ": " + p.step;
      callbacks.Report(stage.c_str(), p.paths.pathsDone, p.paths.pathsTotal, p.paths.pathsReached,
                       p.paths.pathsFailed, false);
    };
  }
  std::string json;
  try {
    py::gil_scoped_release release;
    const PolySystem system = ParseEquationsText(text, source);
    const Decomposition d = zormix::Decompose(system, options);
    DecomposeOptions again = options;
    again.seed = d.seed;
    std::vector<std::vector<int>> membership;
    for (const std::vector<Complex>& point : points)
      membership.push_back(ComponentsContaining(system, d, point, again));
    json = DecompositionToJson(d, points, membership).dump();
  } catch (const Error&) {
    callbacks.RaisePending();
    throw;
  }
  callbacks.RaisePending();
  return json;
}

}  // namespace

void BindDecompose(py::module_& m) {
  m.def("decompose", &Decompose, py::arg("text"), py::arg("source"), py::arg("seed"),
        py::arg("threads"), py::arg("top_dimension"), py::arg("points"), py::arg("progress"));
}

}  // namespace zormix::python
