#include "python/src/family.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "model/parametric_eval.h"
#include "python/src/python_callbacks.h"
#include "python/src/result_convert.h"
#include "python/src/system_parts.h"
#include "zormix/error.h"
#include "zormix/parametric.h"
#include "zormix/sweep.h"

namespace py = pybind11;

namespace zormix::python {
namespace {

std::vector<std::string> Trimmed(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const std::string& name : names)
    out.push_back(name.substr(0, name.find_last_not_of(' ') + 1));
  return out;
}

ParametricSystem ParseFamily(const std::string& text, const std::string& source) {
  py::gil_scoped_release release;
  return ParseParametricText(text, source);
}

// The member at one row of values, as an ordinary system.
py::tuple MemberSystem(const ParametricSystem& family, const ComplexArray& values) {
  if (values.ndim() != 1 || values.shape(0) != family.parameterCount()) {
    throw Error(ErrorCode::kBadArgument,
                "expected " + std::to_string(family.parameterCount()) + " parameter values");
  }
  const PolySystem member = EvaluateParametric(
      family, std::span<const Complex>(values.data(), static_cast<std::size_t>(values.shape(0))));
  return SystemToTuple(member);
}

struct RunSettings {
  std::optional<std::uint64_t> seed;
  int threads = 0;
  bool certify = false;
  std::string route;
};

SweepOptions OptionsOf(const RunSettings& s, PythonCallbacks& callbacks) {
  SweepOptions options;
  options.seed = s.seed;
  options.seed = SweepSeed(options);  // drawn once: the start and every member use it
  options.threads = s.threads;
  options.certify = s.certify;
  options.startRoute = s.route == "total-degree" ? Route::kTotalDegree : Route::kPolyhedral;
  options.interrupted = [&callbacks] { return callbacks.Interrupted(); };
  return options;
}

// Runs `work` without the GIL; a Python exception raised meanwhile (Ctrl-C, the progress
// callback) is raised in place of the solver's stop.
template <typename Work>
void RunReleased(PythonCallbacks& callbacks, Work&& work,
                 const char* interruptedMessage = kInterruptedMessage) {
  try {
    py::gil_scoped_release release;
    work();
  } catch (const Error&) {
    callbacks.RaisePending(interruptedMessage);
    throw;
  }
  callbacks.RaisePending(interruptedMessage);
}

FamilyStart SolveStart(const ParametricSystem& family, const RunSettings& settings) {
  PythonCallbacks callbacks{py::none()};
  const SweepOptions options = OptionsOf(settings, callbacks);
  FamilyStart start;
  RunReleased(callbacks, [&] { start = SolveFamilyStart(family, options); });
  return start;
}

std::vector<std::vector<Complex>> Rows(const ComplexArray& values, int parameterCount) {
  if (values.ndim() != 2 || values.shape(1) != parameterCount) {
    throw Error(ErrorCode::kBadArgument, "values: expected an array of shape (instances, " +
                                             std::to_string(parameterCount) + ")");
  }
  std::vector<std::vector<Complex>> rows;
  for (py::ssize_t r = 0; r < values.shape(0); ++r) {
    const Complex* row = values.data() + r * parameterCount;
    rows.emplace_back(row, row + parameterCount);
  }
  return rows;
}

// (the start used, one result per member in instance order). Without a start, the start is solved
// first with the sweep's seed, as `zormix sweep` does.
py::tuple Sweep(const ParametricSystem& family, std::optional<FamilyStart> start,
                const ComplexArray& values, const RunSettings& settings,
                const py::object& progress) {
  const std::vector<std::vector<Complex>> members = Rows(values, family.parameterCount());
  PythonCallbacks callbacks(progress);
  const SweepOptions options = OptionsOf(settings, callbacks);
  std::vector<MemberResult> done;
  done.reserve(members.size());
  const auto total = static_cast<std::int64_t>(members.size());
  std::int64_t unsolved = 0;
  const auto convert = [&] {
    py::list results;
    for (MemberResult& m : done) results.append(SolvedResult(std::move(m), family));
    done.clear();
    return results;
  };
  try {
    RunReleased(
        callbacks,
        [&] {
          if (!start) start.emplace(SolveFamilyStart(family, options));
          SweepFamily(family, *start, members, options, [&](MemberResult&& m) {
            unsolved += m.solved ? 0 : 1;
            done.push_back(std::move(m));
            const auto count = static_cast<std::int64_t>(done.size());
            callbacks.Report("sweep", count, total, count - unsolved, unsolved, count == 1);
          });
        },
        kSweepInterruptedMessage);
  } catch (py::error_already_set& error) {
    // Ctrl-C: the members finished before it go with the exception, as `results`.
    if (error.matches(PyExc_KeyboardInterrupt)) error.value().attr("results") = convert();
    throw;
  }
  const py::list results = convert();
  return py::make_tuple(std::move(*start), results);
}

py::dict StartArrays(const FamilyStart& s) {
  py::dict d;
  d["parameter_names"] = s.parameterNames;
  py::array_t<Complex> p0(static_cast<py::ssize_t>(s.parameters.size()));
  std::copy(s.parameters.begin(), s.parameters.end(), p0.mutable_data());
  d["parameters"] = p0;
  py::array_t<Complex> roots(
      {static_cast<py::ssize_t>(s.roots.cols()), static_cast<py::ssize_t>(s.roots.rows())});
  std::copy(s.roots.data(), s.roots.data() + s.roots.rows() * s.roots.cols(), roots.mutable_data());
  d["roots"] = roots;
  py::array_t<std::int32_t> multiplicity(static_cast<py::ssize_t>(s.multiplicity.size()));
  std::copy(s.multiplicity.begin(), s.multiplicity.end(), multiplicity.mutable_data());
  d["multiplicity"] = multiplicity;
  d["seed"] = s.seed;
  d["route"] = RouteName(s.route);
  d["path_count"] = s.pathCount;
  d["system_hash"] = s.systemHash;
  return d;
}

FamilyStart LoadStart(const std::string& path) {
  py::gil_scoped_release release;
  return ReadFamilyStartFile(path);
}

void SaveStart(const FamilyStart& start, const std::string& path) {
  py::gil_scoped_release release;
  WriteFamilyStartFile(start, path);
}

// A family as plain values for pickle, and back.
py::tuple FamilyState(const ParametricSystem& f) {
  return py::make_tuple(f.n, f.termCount, f.exponents.rows(), f.exponents.storage(),
                        f.variableNames, f.parameterNames, f.coefficientStart,
                        f.parameterExponents.rows(), f.parameterExponents.storage(),
                        f.coefficientValues);
}

ParametricSystem FamilyFromState(const py::tuple& t) {
  if (t.size() != 10) throw Error(ErrorCode::kBadArgument, "not the pickled state of a Family");
  ParametricSystem f;
  f.n = t[0].cast<int>();
  f.termCount = t[1].cast<std::vector<std::int32_t>>();
  const auto matrix = [](std::int64_t rows, std::vector<std::int32_t> values) {
    ColMajorMatrix<std::int32_t> m;
    const std::int64_t cols = rows > 0 ? static_cast<std::int64_t>(values.size()) / rows : 0;
    m.Assign(rows, cols);
    m.storage() = std::move(values);
    return m;
  };
  f.exponents = matrix(t[2].cast<std::int64_t>(), t[3].cast<std::vector<std::int32_t>>());
  f.variableNames = t[4].cast<std::vector<std::string>>();
  f.parameterNames = t[5].cast<std::vector<std::string>>();
  f.coefficientStart = t[6].cast<std::vector<std::int64_t>>();
  f.parameterExponents = matrix(t[7].cast<std::int64_t>(), t[8].cast<std::vector<std::int32_t>>());
  f.coefficientValues = t[9].cast<std::vector<Complex>>();
  CheckFamilyShape(f, "pickled family");
  return f;
}

}  // namespace

void BindFamilies(py::module_& m) {
  py::class_<ParametricSystem>(m, "Family", "A parsed family of systems.")
      .def_property_readonly("variables",
                             [](const ParametricSystem& f) { return Trimmed(f.variableNames); })
      .def_property_readonly("parameters",
                             [](const ParametricSystem& f) { return f.parameterNames; })
      .def("member", &MemberSystem, py::arg("values"))
      .def("check_start", [](const ParametricSystem& f, const FamilyStart& s,
                             const std::string& source) { CheckStartBelongs(f, s, source); })
      .def(py::pickle(&FamilyState, &FamilyFromState));
  py::class_<FamilyStart>(m, "Start", "The roots of a family at generic parameters.")
      .def("arrays", &StartArrays)
      .def("save", &SaveStart, py::arg("path"))
      .def("json", &FormatFamilyStart)
      .def(py::pickle(&FormatFamilyStart, [](const std::string& text) {
        return ParseFamilyStart(text, "pickled start");
      }));
  m.def("parse_family", &ParseFamily, py::arg("text"), py::arg("source"));
  m.def("load_start", &LoadStart, py::arg("path"));
  m.def(
      "solve_start",
      [](const ParametricSystem& family, std::optional<std::uint64_t> seed, int threads,
         const std::string& route) {
        return SolveStart(family, RunSettings{seed, threads, false, route});
      },
      py::arg("family"), py::arg("seed"), py::arg("threads"), py::arg("route"));
  m.def(
      "sweep",
      [](const ParametricSystem& family, std::optional<FamilyStart> start,
         const ComplexArray& values, std::optional<std::uint64_t> seed, int threads, bool certify,
         const py::object& progress) {
        return Sweep(family, std::move(start), values, RunSettings{seed, threads, certify, ""},
                     progress);
      },
      py::arg("family"), py::arg("start"), py::arg("values"), py::arg("seed"), py::arg("threads"),
      py::arg("certify"), py::arg("progress"));
}

}  // namespace zormix::python
