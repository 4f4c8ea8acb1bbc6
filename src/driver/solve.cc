// One complete solve: normal form and scaling, one of the two homotopy routes, the scaling undone
// on the end points, and the report that refines and accepts them.
#include "zormix/solve.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "driver/cell_volumes.h"
#include "driver/coefficient_range.h"
#include "driver/normal_form.h"
#include "driver/random.h"
#include "mixedcell/mixed_cells.h"
#include "report/report.h"
#include "startsys/start_systems.h"
#include "tracker/tracking.h"

namespace zormix {
namespace {

constexpr double kE = 2.718281828459045;

void Announce(const SolveOptions& options, Stage stage, std::int64_t pathsTotal) {
  if (!options.progress) return;
  Progress progress;
  progress.stage = stage;
  progress.pathsTotal = pathsTotal;
  options.progress(progress);
}

struct RouteOutcome {
  TrackingOutcome tracking;
  std::int64_t pathCount = 0;
  std::int64_t cellCount = 0;
  bool tracked = false;  // false when only the path count was asked for
};

// Empty outcome for a route without paths: nothing to track, nothing recorded.
TrackingOutcome NoPaths(int n) {
  TrackingOutcome none;
  none.solutions.Assign(n, 0);
  return none;
}

RouteOutcome SolvePolyhedral(const PolySystem& system, const SolveOptions& options,
                             RuntimeUniform& runtime, RandomStream& stream,
                             const TrackingOptions& tracking) {
  RouteOutcome out;
  Announce(options, Stage::kMixedCells, 0);
  const MixedCellResult mixed =
      ComputeMixedCells(system.n, system.termCount, system.exponents, runtime);
  const std::vector<std::int64_t> cellVolume =
      CellVolumes(system.exponents, mixed.cells, out.pathCount);
  out.cellCount = mixed.cells.size();
  if (options.mixedVolumeOnly) return out;
  const std::vector<Complex> startCoefficients =
      RandomUnitCoefficients(static_cast<int>(system.termTotal()), runtime, stream);
  Announce(options, Stage::kTracking, out.pathCount);
  out.tracking = out.pathCount == 0 ? NoPaths(system.n)
                                    : TrackAllPaths(system, startCoefficients, mixed.lifting,
                                                    mixed.cells, cellVolume, runtime, tracking);
  out.tracked = true;
  return out;
}

// Start equation i: q[2i] x_i^d_i + q[2i+1] = 0, d_i the total degree of target equation i.
RouteOutcome SolveTotalDegree(const PolySystem& system, const SolveOptions& options,
                              RuntimeUniform& runtime, RandomStream& stream,
                              const TrackingOptions& tracking) {
  RouteOutcome out;
  const std::vector<std::int32_t> totalDegree = TotalDegrees(system);
  out.pathCount = BezoutNumber(totalDegree);
  if (options.mixedVolumeOnly) return out;
  const std::vector<Complex> startCoefficients =
      RandomUnitCoefficients(2 * system.n, runtime, stream);
  Announce(options, Stage::kTracking, out.pathCount);
  if (out.pathCount == 0) {
    out.tracking = NoPaths(system.n);
  } else {
    const ColMajorMatrix<Complex> startSolutions =
        TotalDegreeStartSolutions(startCoefficients, totalDegree, out.pathCount);
    out.tracking =
        TrackTotalDegree(system, totalDegree, startCoefficients, startSolutions, runtime, tracking);
  }
  out.tracked = true;
  return out;
}

// x_k = e^{s_k} y_k on every recorded end point.
void UndoVariableScaling(const PolySystem& system, TrackingOutcome& tracking) {
  for (int k = 0; k < system.n; ++k) {
    const double factor = std::pow(kE, system.scaleExponents[k]);
    for (std::int64_t r = 0; r < tracking.rootCount; ++r) tracking.solutions(k, r) *= factor;
  }
}

std::string TrimTrailingBlanks(std::string name) {
  name.erase(name.find_last_not_of(' ') + 1);
  return name;
}

SolveResult Solve(const PolySystem& input, const SolveOptions& options) {
  Announce(options, Stage::kReading, 0);
  CheckSystemAsRead(input, "system");
  PolySystem system = input;
  for (std::string& name : system.variableNames) name = PadVariableName(name);
  BringToNormalForm(system);

  SolveResult result;
  result.n = system.n;
  result.route = options.route;
  result.seed = options.seed ? *options.seed : FreshEntropySeed();
  const bool scaled = std::any_of(system.scaleExponents.begin(), system.scaleExponents.end(),
                                  [](double s) { return s != 0.0; });
  result.warnings = SystemWarnings(system, scaled);
  for (const std::string& name : system.variableNames) {
    result.variableNames.push_back(TrimTrailingBlanks(name));
  }
  RuntimeUniform runtime(result.seed);
  // A chosen seed replays the whole solve: the stream starts from its load state. Otherwise the
  // module's stream carries over from solve to solve.
  RandomStream localStream;
  RandomStream& stream = options.seed ? localStream : ModuleRandomStream();
  TrackingOptions tracking;
  tracking.threads = options.threads > 0
                         ? options.threads
                         : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  tracking.progress = options.progress;

  RouteOutcome route = options.route == Route::kTotalDegree
                           ? SolveTotalDegree(system, options, runtime, stream, tracking)
                           : SolvePolyhedral(system, options, runtime, stream, tracking);
  result.pathCount = route.pathCount;
  result.cellCount = route.cellCount;
  result.roots.Assign(system.n, 0);
  if (!route.tracked) return result;

  TrackingOutcome& tracked = route.tracking;
  UndoVariableScaling(system, tracked);
  Announce(options, Stage::kReport, route.pathCount);
  ReportOutcome report =
      WriteReport(system, tracked.solutions, tracked.rootCount, tracked.records,
                  tracked.blowUpCount, route.pathCount, options.reportPath, runtime);

  const std::int64_t accepted = report.acceptedCount;
  result.roots.Assign(system.n, accepted);
  std::copy_n(tracked.solutions.data(), system.n * accepted, result.roots.data());
  result.rootCount = accepted;
  result.realCount = report.realCount;
  result.blowUpCount = tracked.blowUpCount;
  result.endPointCount = tracked.rootCount;
  result.retrackedPaths = tracked.retrackedPaths;
  result.separatedPairs = tracked.separatedPairs;
  result.rescuedPaths = tracked.rescuedPaths;
  result.rescueAttempts = tracked.rescueAttempts;
  result.lostPaths = tracked.lostPaths;
  result.residues = std::move(report.residues);
  result.conditionNumbers = std::move(report.conditionNumbers);
  result.isReal = std::move(report.isReal);
  result.records = std::move(report.records);
  return result;
}

}  // namespace

SolveResult SolveSystem(const PolySystem& system, const SolveOptions& options) {
  try {
    return Solve(system, options);
  } catch (const std::bad_alloc&) {
    throw Error("not enough memory for this solve (" + std::to_string(system.n) +
                " variables); the path count or the system is too large for this machine");
  } catch (const std::length_error&) {
    throw Error("an array of this solve would exceed the largest size the machine can hold");
  }
}

}  // namespace zormix
