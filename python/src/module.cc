// The extension module zormix._zormix: the solver's entry points for the Python package. Arguments
// arrive checked by the package; this layer only converts them, releases the GIL while the solver
// works, and turns errors into the package's exception classes.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/input.h"
#include "cli/output.h"
#include "python/src/errors.h"
#include "python/src/python_callbacks.h"
#include "python/src/result_convert.h"
#include "solve/front_end.h"
#include "zormix/error.h"
#include "zormix/io.h"
#include "zormix/solve.h"

namespace py = pybind11;

namespace zormix::python {
namespace {

constexpr const char* kBadArgumentId = "zormix:badArgument";

using IntArray = py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>;
using ComplexArray = py::array_t<Complex, py::array::c_style | py::array::forcecast>;

// A system crosses the boundary as (term counts (n), exponents (m x n, one row per term),
// coefficients (m), variable names): the row-major m x n array is the column-major n x m matrix.
py::tuple SystemToTuple(const PolySystem& system) {
  const auto n = static_cast<py::ssize_t>(system.n);
  const auto m = static_cast<py::ssize_t>(system.termTotal());
  IntArray counts(n);
  std::copy(system.termCount.begin(), system.termCount.end(), counts.mutable_data());
  IntArray exponents({m, n});
  std::copy(system.exponents.storage().begin(), system.exponents.storage().end(),
            exponents.mutable_data());
  ComplexArray coefficients(m);
  std::copy(system.coefficients.begin(), system.coefficients.end(), coefficients.mutable_data());
  py::list names;
  for (const std::string& name : system.variableNames) {
    names.append(name.substr(0, name.find_last_not_of(' ') + 1));
  }
  return py::make_tuple(counts, exponents, coefficients, names);
}

PolySystem SystemFromParts(const IntArray& counts, const IntArray& exponents,
                           const ComplexArray& coefficients,
                           const std::vector<std::string>& names) {
  const std::int64_t n = static_cast<std::int64_t>(names.size());
  const std::int64_t m = coefficients.ndim() == 1 ? coefficients.shape(0) : -1;
  if (counts.ndim() != 1 || counts.shape(0) != n || exponents.ndim() != 2 ||
      exponents.shape(0) != m || exponents.shape(1) != n) {
    throw Error(ErrorCode::kBadArgument,
                "the system's arrays do not fit together: term counts (n), "
                "exponents (terms x n), coefficients (terms), n names");
  }
  PolySystem system;
  system.n = static_cast<int>(n);
  system.termCount.assign(counts.data(), counts.data() + n);
  system.exponents.Assign(n, m);
  std::copy(exponents.data(), exponents.data() + n * m, system.exponents.data());
  system.coefficients.assign(coefficients.data(), coefficients.data() + m);
  for (const std::string& name : names) system.variableNames.push_back(PadVariableName(name));
  return system;
}

PolySystem SystemFromTuple(const py::tuple& parts) {
  if (parts.size() != 4) throw Error(ErrorCode::kBadArgument, "a system is a tuple of four parts");
  return SystemFromParts(parts[0].cast<IntArray>(), parts[1].cast<IntArray>(),
                         parts[2].cast<ComplexArray>(), parts[3].cast<std::vector<std::string>>());
}

cli::InputFormat FormatNamed(const std::string& name) {
  if (name == "psnum") return cli::InputFormat::kPsNum;
  if (name == "text") return cli::InputFormat::kText;
  if (name == "auto") return cli::InputFormat::kAuto;
  throw Error(ErrorCode::kBadArgument, "format '" + name + "': expected auto, psnum or text");
}

py::tuple ParseText(const std::string& text, const std::string& source) {
  PolySystem system;
  {
    py::gil_scoped_release release;
    system = ParsePolynomialText(text, source);
  }
  return SystemToTuple(system);
}

// (system, the format that read it, a note when the other format was tried first).
py::tuple ReadFile(const std::string& path, const std::string& format) {
  const cli::InputFormat asked = FormatNamed(format);
  cli::LoadedSystem loaded;
  {
    py::gil_scoped_release release;
    loaded = cli::LoadSystem(path, asked);
  }
  return py::make_tuple(SystemToTuple(loaded.system),
                        loaded.format == cli::InputFormat::kPsNum ? "psnum" : "text", loaded.note);
}

std::string FormatSystem(const py::tuple& parts, const std::string& format) {
  const PolySystem system = SystemFromTuple(parts);
  if (FormatNamed(format) == cli::InputFormat::kPsNum) return FormatSystemFile(system);
  return FormatPolynomialText(system);
}

void WriteFile(const py::tuple& parts, const std::string& path, const std::string& format) {
  const std::string text = FormatSystem(parts, format);
  py::gil_scoped_release release;
  cli::WriteOutput(path, text, "output file");
}

struct SolveArguments {
  std::string route;
  std::optional<std::uint64_t> seed;
  int threads = 0;
  bool certify = false;
  std::string reportPath;
  std::string checkpointPath;
  bool mixedVolumeOnly = false;
};

SolveOptions OptionsOf(const SolveArguments& a) {
  SolveOptions options;
  options.route = a.route == "total-degree" ? Route::kTotalDegree : Route::kPolyhedral;
  options.seed = a.seed;
  options.threads = a.threads;
  options.certify = a.certify;
  options.reportPath = a.reportPath;
  options.checkpointPath = a.checkpointPath;
  options.mixedVolumeOnly = a.mixedVolumeOnly;
  return options;
}

// The lines the solve prints (" det = 0 !  ") go to Python's sys.stdout, after the solve, so
// that notebooks and redirections see them.
void PrintConsoleLines(const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  const py::object out = py::module_::import("sys").attr("stdout");
  for (const std::string& line : lines) out.attr("write")(line + "\n");
}

SolvedResult Solve(const py::tuple& parts, const SolveArguments& a, const py::object& progress) {
  const PolySystem system = SystemFromTuple(parts);
  PythonCallbacks callbacks(progress);
  SolveOptions options = OptionsOf(a);
  options.interrupted = [&callbacks] { return callbacks.Interrupted(); };
  if (callbacks.WantsProgress()) {
    options.progress = [&callbacks](const Progress& p) { callbacks.Progress(p); };
  }
  std::vector<std::string> consoleLines;
  options.console = [&consoleLines](std::string_view line) { consoleLines.emplace_back(line); };
  std::optional<SolveResult> result;
  try {
    py::gil_scoped_release release;
    result.emplace(SolveSystem(system, options));
  } catch (const Error&) {
    callbacks.RaisePending();  // a Python exception stopped the solve: it, not the stop
    throw;
  }
  callbacks.RaisePending();
  PrintConsoleLines(consoleLines);
  return SolvedResult(std::move(*result), a.mixedVolumeOnly);
}

}  // namespace

void DefineModule(py::module_& m) {
  m.doc() = "The zormix solver's entry points; use the package zormix, not this module.";
  RegisterErrorTranslator();
  BindResult(m);
  m.attr("MAX_THREADS") = kMaxThreads;
  m.attr("VARIABLE_NAME_LENGTH") = kVariableNameLength;
  m.attr("VERSION") = ZORMIX_VERSION;
  m.def("parse_text", &ParseText, py::arg("text"), py::arg("source"));
  m.def("read_file", &ReadFile, py::arg("path"), py::arg("format"));
  m.def("format_system", &FormatSystem, py::arg("system"), py::arg("format"));
  m.def("write_file", &WriteFile, py::arg("system"), py::arg("path"), py::arg("format"));
  m.def(
      "solve",
      [](const py::tuple& parts, const std::string& route, std::optional<std::uint64_t> seed,
         int threads, bool certify, const py::object& progress, const std::string& reportPath,
         const std::string& checkpointPath, bool mixedVolumeOnly) {
        return Solve(parts,
                     SolveArguments{route, seed, threads, certify, reportPath, checkpointPath,
                                    mixedVolumeOnly},
                     progress);
      },
      py::arg("system"), py::arg("route"), py::arg("seed"), py::arg("threads"), py::arg("certify"),
      py::arg("progress"), py::arg("report_path"), py::arg("checkpoint_path"),
      py::arg("mixed_volume_only"));
}

}  // namespace zormix::python

PYBIND11_MODULE(_zormix, m) { zormix::python::DefineModule(m); }
