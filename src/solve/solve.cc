// One complete solve: normal form and scaling, one of the two homotopy routes, the scaling undone
// on the end points, and the report that refines and accepts them.
#include "zormix/solve.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/random.h"
#include "base/text.h"
#include "mixedcell/mixed_cells.h"
#include "model/check_system.h"
#include "model/coefficient_range.h"
#include "model/normal_form.h"
#include "model/total_degree.h"
#include "report/certify.h"
#include "report/classify.h"
#include "report/finish.h"
#include "report/report.h"
#include "solve/checkpoint.h"
#include "solve/solve_with_runner.h"
#include "startsys/cell_volumes.h"
#include "startsys/start_systems.h"
#include "tracker/tracking.h"

namespace zormix {
namespace {

constexpr double kE = 2.718281828459045;
constexpr std::string_view kSingularStartSystemLine = " det = 0 !  ";

void PrintConsoleLine(const SolveOptions& options, std::string_view line) {
  if (options.console) {
    options.console(line);
    return;
  }
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void ThrowIfInterrupted(const SolveOptions& options) {
  if (options.interrupted && options.interrupted())
    throw Error(kInterruptedId, kInterruptedMessage);
}

void Announce(const SolveOptions& options, Stage stage, std::int64_t pathsTotal) {
  if (!options.progress) return;
  Progress progress;
  progress.stage = stage;
  progress.pathsTotal = pathsTotal;
  options.progress(progress);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct RouteOutcome {
  TrackingOutcome tracking;
  double mixedCellSeconds = 0.0;
  std::int64_t pathCount = 0;
  std::int64_t cellCount = 0;
  bool tracked = false;               // false when only the path count was asked for
  std::vector<std::string> warnings;  // of the mixed cells' audit
};

// Empty outcome for a route without paths: nothing to track, nothing recorded.
TrackingOutcome NoPaths(int n) {
  TrackingOutcome none;
  none.solutions.Assign(n, 0);
  return none;
}

RouteOutcome SolvePolyhedral(const PolySystem& system, const SolveOptions& options,
                             RuntimeUniform& runtime, RandomStream& stream,
                             const TrackingOptions& tracking, const BranchRunner& cellBranches) {
  RouteOutcome out;
  Announce(options, Stage::kMixedCells, 0);
  const auto start = std::chrono::steady_clock::now();
  CellSearchControl search;
  search.threads = tracking.threads;
  search.stop = options.interrupted;
  search.runBranches = cellBranches;
  const MixedCellResult mixed =
      ComputeMixedCells(system.n, system.termCount, system.exponents, runtime, search);
  out.mixedCellSeconds = SecondsSince(start);
  ThrowIfInterrupted(options);
  if (!mixed.complete) throw Error(kInterruptedId, kInterruptedMessage);
  out.warnings = mixed.warnings;
  std::int64_t zeroPivotRowCells = 0;
  const std::vector<std::int64_t> cellVolume =
      CellVolumes(system.exponents, mixed.cells, out.pathCount, &zeroPivotRowCells);
  // A cell whose edge matrix is singular has no start solutions; users are told of each one.
  for (std::int64_t c = 0; c < zeroPivotRowCells; ++c) {
    PrintConsoleLine(options, kSingularStartSystemLine);
  }
  out.cellCount = mixed.cells.size();
  if (options.mixedVolumeOnly) return out;
  const std::vector<Complex> startCoefficients =
      RandomUnitCoefficients(static_cast<int>(system.termTotal()), runtime, stream);
  Announce(options, Stage::kTracking, out.pathCount);
  out.tracking = out.pathCount == 0 ? NoPaths(system.n)
                                    : TrackPolyhedral(system, startCoefficients, mixed.lifting,
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
void UndoVariableScaling(const NormalForm& system, TrackingOutcome& tracking) {
  for (int k = 0; k < system.n; ++k) {
    const double factor = std::pow(kE, system.scaleExponents[k]);
    for (std::int64_t r = 0; r < tracking.counts.endPoints; ++r) tracking.solutions(k, r) *= factor;
  }
}

void TakeRoots(FinishedRoots&& finished, SolveResult& result) {
  result.rootCount = finished.roots.cols();
  result.realCount = finished.realCount;
  result.roots = std::move(finished.roots);
  result.residues = std::move(finished.residues);
  result.conditionNumbers = std::move(finished.conditionNumbers);
  result.isReal = std::move(finished.isReal);
  result.zeroJacobian = std::move(finished.zeroJacobian);
  result.records = std::move(finished.records);
}

void ClassifyAndCertify(const NormalForm& system, bool certify, SolveResult& result) {
  auto start = std::chrono::steady_clock::now();
  ClassifyRoots(system, result);
  result.timings.classification = SecondsSince(start);
  if (!certify) return;
  start = std::chrono::steady_clock::now();
  CertifyRoots(system, result);
  result.timings.certification = SecondsSince(start);
}

// Paths in the order of the serial loop: cell by cell, start solution by start solution.
bool SerialOrder(const PathRecord& a, const PathRecord& b) {
  return a.cell != b.cell ? a.cell < b.cell : a.startIndex < b.startIndex;
}

void CountStatuses(SolveResult& result) {
  for (const PathRecord& record : result.records)
    ++result.counts.byStatus[static_cast<int>(record.status)];
  for (const PathRecord& record : result.lostPaths)
    ++result.counts.byStatus[static_cast<int>(record.status)];
}

// Opened before the mixed cells, so that a checkpoint of another solve is refused at once.
std::unique_ptr<Checkpoint> OpenCheckpoint(const SolveOptions& options, const NormalForm& system,
                                           std::uint64_t seed) {
  if (options.checkpointPath.empty() || options.mixedVolumeOnly) return nullptr;
  CheckpointIdentity identity;
  identity.systemHash = SystemHash(system);
  identity.seed = seed;
  identity.route = options.route;
  identity.n = system.n;
  return std::make_unique<Checkpoint>(options.checkpointPath, identity);
}

SolveResult Solve(const PolySystem& input, const SolveOptions& options,
                  const RunnerFactory& makeRunners) {
  Announce(options, Stage::kReading, 0);
  ValidateSystem(input, "system");
  PolySystem padded = input;
  for (std::string& name : padded.variableNames) name = PadVariableName(name);
  const NormalForm system = BringToNormalForm(padded);

  SolveResult result;
  result.n = system.n;
  result.route = options.route;
  result.seed = ChooseSeed(options);
  const bool scaled = std::any_of(system.scaleExponents.begin(), system.scaleExponents.end(),
                                  [](double s) { return s != 0.0; });
  result.warnings = SystemWarnings(system, scaled);
  for (const std::string& name : system.variableNames) {
    result.variableNames.push_back(TrimTrailingBlanks(name));
  }
  RuntimeUniform runtime(result.seed);
  // A chosen seed replays the whole solve: the stream starts from its load state. Otherwise the
  // module's stream carries over from solve to solve. A checkpointed solve can always be replayed
  // from the seed in its file, so it starts from the load state too.
  const bool replayable = options.seed || !options.checkpointPath.empty();
  RandomStream localStream;
  RandomStream& stream = replayable ? localStream : ModuleRandomStream();
  const std::unique_ptr<Checkpoint> checkpoint = OpenCheckpoint(options, system, result.seed);
  TrackingOptions tracking;
  tracking.threads = options.threads > 0
                         ? options.threads
                         : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  tracking.progress = options.progress;
  tracking.interrupted = options.interrupted;
  SolveRunners runners;
  if (makeRunners) runners = makeRunners(checkpoint.get(), tracking.threads);
  tracking.runUnits = runners.units;

  auto start = std::chrono::steady_clock::now();
  RouteOutcome route =
      options.route == Route::kTotalDegree
          ? SolveTotalDegree(system, options, runtime, stream, tracking)
          : SolvePolyhedral(system, options, runtime, stream, tracking, runners.cellBranches);
  result.pathCount = route.pathCount;
  result.cellCount = route.cellCount;
  result.warnings.insert(result.warnings.end(), route.warnings.begin(), route.warnings.end());
  result.roots.Assign(system.n, 0);
  if (!route.tracked) return result;
  ThrowIfInterrupted(options);

  TrackingOutcome& tracked = route.tracking;
  UndoVariableScaling(system, tracked);
  result.timings.mixedCells = route.mixedCellSeconds;
  result.timings.tracking = SecondsSince(start) - route.mixedCellSeconds;
  Announce(options, Stage::kReport, route.pathCount);
  start = std::chrono::steady_clock::now();
  FinishedRoots finished = FinishRoots(system, tracked.solutions, tracked.counts.endPoints,
                                       tracked.records, runtime, tracking.threads);
  result.lostPaths = std::move(tracked.lostPaths);
  result.lostPaths.insert(result.lostPaths.end(), finished.refused.begin(), finished.refused.end());
  TakeRoots(std::move(finished), result);
  result.counts = tracked.counts;
  // The end points and their records are in the result now; classification and the report must
  // not find them still held (16 n bytes per path).
  route.tracking = TrackingOutcome{};
  std::sort(result.lostPaths.begin(), result.lostPaths.end(), SerialOrder);
  CountStatuses(result);
  result.timings.finishing = SecondsSince(start);
  ClassifyAndCertify(system, options.certify, result);
  if (!options.reportPath.empty()) WriteReportFile(result, options.reportPath);
  return result;
}

}  // namespace

std::uint64_t ChooseSeed(const SolveOptions& options) {
  if (options.seed) return *options.seed;
  if (!options.checkpointPath.empty()) {
    if (const std::optional<std::uint64_t> stored = CheckpointSeed(options.checkpointPath))
      return *stored;
  }
  return FreshEntropySeed();
}

SolveResult SolveSystem(const PolySystem& system, const SolveOptions& options) {
  return SolveSystemWith(system, options, [](Checkpoint* checkpoint, int threads) {
    SolveRunners runners;
    if (checkpoint) runners.units = CheckpointRunner(*checkpoint, threads);
    return runners;
  });
}

SolveResult SolveSystemWith(const PolySystem& system, const SolveOptions& options,
                            const RunnerFactory& makeRunners) {
  try {
    return Solve(system, options, makeRunners);
  } catch (const std::bad_alloc&) {
    throw Error("not enough memory for this solve (" + std::to_string(system.n) +
                " variables); the path count or the system is too large for this machine");
  } catch (const std::length_error&) {
    throw Error("an array of this solve would exceed the largest size the machine can hold");
  }
}

}  // namespace zormix
