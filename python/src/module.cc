// The extension module zormix._zormix: the solver's entry points for the Python package. Arguments
// arrive checked by the package; this layer only converts them, releases the GIL while the solver
// works, and turns errors into the package's exception classes.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/front_end.h"
#include "frontend/input.h"
#include "frontend/output.h"
#include "python/src/errors.h"
#include "python/src/family.h"
#include "python/src/monodromy.h"
#include "python/src/python_callbacks.h"
#include "python/src/result_convert.h"
#include "python/src/system_parts.h"
#include "zormix/error.h"
#include "zormix/io.h"
#include "zormix/solve.h"

namespace py = pybind11;

namespace zormix::python {
namespace {

py::tuple ParseText(const std::string& text, const std::string& source) {
  PolySystem system;
  {
    py::gil_scoped_release release;
    system = ParsePolynomialText(text, source);
  }
  return SystemToTuple(system);
}

// (system, the format that read it, a note when another format was tried first).
py::tuple ReadFile(const std::string& path, const std::string& format) {
  const frontend::FormatChoice asked = frontend::FormatChoiceNamed(format, "format");
  frontend::LoadedSystem loaded;
  {
    py::gil_scoped_release release;
    loaded = frontend::LoadSystem(path, asked);
  }
  return py::make_tuple(SystemToTuple(loaded.system), SystemFormatName(loaded.format), loaded.note);
}

std::string FormatSystem(const py::tuple& parts, const std::string& format) {
  const frontend::FormatChoice named = frontend::FormatChoiceNamed(format, "format");
  if (!named) throw Error(ErrorCode::kBadArgument, "format 'auto': name the format to write");
  return zormix::FormatSystem(SystemFromTuple(parts), *named);
}

void WriteFile(const py::tuple& parts, const std::string& path, const std::string& format) {
  const std::string text = FormatSystem(parts, format);
  py::gil_scoped_release release;
  frontend::WriteOutput(path, text, "output file");
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
  BindFamilies(m);
  BindMonodromy(m);
  m.attr("MAX_THREADS") = kMaxThreads;
  m.attr("VARIABLE_NAME_LENGTH") = kVariableNameLength;
  m.attr("VERSION") = ZORMIX_VERSION;
  m.def(
      "progress_line",
      [](const std::string& stage, std::int64_t done, std::int64_t total, std::int64_t reached,
         std::int64_t failed, std::int64_t restored, double seconds) {
        Progress p;
        for (Stage s : {Stage::kReading, Stage::kMixedCells, Stage::kTracking, Stage::kReport})
          if (stage == StageName(s)) p.stage = s;
        p.pathsDone = done;
        p.pathsTotal = total;
        p.pathsReached = reached;
        p.pathsFailed = failed;
        p.pathsRestored = restored;
        return ProgressLine(p, seconds);
      },
      py::arg("stage"), py::arg("done"), py::arg("total"), py::arg("reached"), py::arg("failed"),
      py::arg("restored"), py::arg("seconds"));
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
