// The second stage: where the paths begin. Polyhedral: the mixed cells of a random lifting, their
// volumes and the random start coefficients. Total degree: the Bezout start points of
// q[2i] x_i^d_i + q[2i+1] = 0, d_i the total degree of equation i.
#include <chrono>
#include <memory>
#include <string_view>

#include "mixedcell/mixed_cells.h"
#include "model/total_degree.h"
#include "solve/path_budget.h"
#include "solve/stage_data.h"
#include "startsys/cell_volumes.h"
#include "startsys/start_systems.h"

namespace zormix {
namespace {

constexpr std::string_view kSingularStartSystemLine = " det = 0 !  ";

void PrintConsoleLine(const SolveOptions& options, std::string_view line) {
  if (options.console) options.console(line);
}

// A chosen seed replays the whole solve: the stream starts from its load state. A checkpointed
// solve can always be replayed from the seed in its file, so it starts from the load state too.
// Otherwise a caller's carried stream continues from solve to solve.
RandomStream* CarriedStream(const SolveOptions& options) {
  const bool replayable = options.seed || !options.checkpointPath.empty();
  return replayable ? nullptr : options.carriedStream;
}

std::vector<Complex> DrawStartCoefficients(int count, StartData& start,
                                           const SolveOptions& options) {
  RandomStream localStream;
  RandomStream* carried = CarriedStream(options);
  return RandomUnitCoefficients(count, start.runtime, carried ? *carried : localStream);
}

void MakePolyhedralStart(const NormalForm& system, const SolveOptions& options,
                         const BranchRunner& cellBranches, StartData& start) {
  Announce(options, Stage::kMixedCells, 0);
  const auto began = std::chrono::steady_clock::now();
  CellSearchControl search;
  search.threads = ThreadCount(options);
  search.stop = options.interrupted;
  search.runBranches = cellBranches;
  MixedCellResult mixed = ComputeMixedCells(system.scaled.n, system.scaled.termCount,
                                            system.scaled.exponents, start.runtime, search);
  start.mixedCellSeconds = SecondsSince(began);
  ThrowIfInterrupted(options);
  if (!mixed.complete) throw Error(ErrorCode::kInterrupted, kInterruptedMessage);
  std::int64_t zeroPivotRowCells = 0;
  start.cellVolume =
      CellVolumes(system.scaled.exponents, mixed.cells, start.pathCount, &zeroPivotRowCells);
  // A cell whose edge matrix is singular has no start solutions; users are told of each one.
  for (std::int64_t c = 0; c < zeroPivotRowCells; ++c)
    PrintConsoleLine(options, kSingularStartSystemLine);
  start.cellCount = mixed.cells.size();
  start.lifting = std::move(mixed.lifting);
  start.cells = std::move(mixed.cells);
  start.cellWarnings = std::move(mixed.warnings);
  if (options.mixedVolumeOnly) return;
  CheckPathBudget(BudgetOf(system.scaled, start.pathCount, ThreadCount(options)), options.maxPaths);
  start.startCoefficients =
      DrawStartCoefficients(static_cast<int>(system.scaled.termTotal()), start, options);
  start.trackable = true;
}

void MakeTotalDegreeStart(const NormalForm& system, const SolveOptions& options, StartData& start) {
  start.totalDegree = TotalDegrees(system.scaled);
  start.pathCount = BezoutNumber(start.totalDegree);
  if (options.mixedVolumeOnly) return;
  CheckPathBudget(BudgetOf(system.scaled, start.pathCount, ThreadCount(options)), options.maxPaths);
  // The start points are computed path by path as the paths begin (TrackTotalDegree).
  start.startCoefficients = DrawStartCoefficients(2 * system.scaled.n, start, options);
  start.trackable = true;
}

}  // namespace

StartSystem MakeStartSystemWith(const Problem& problem, const SolveOptions& options,
                                std::uint64_t seed, const BranchRunner& cellBranches) {
  auto start = std::make_shared<StartData>(problem, seed);
  start->route = options.route;
  const NormalForm& system = problem.data().system;
  if (options.route == Route::kTotalDegree) {
    MakeTotalDegreeStart(system, options, *start);
  } else {
    MakePolyhedralStart(system, options, cellBranches, *start);
  }
  return StartSystem(std::move(start));
}

StartSystem MakeStartSystem(const Problem& problem, const SolveOptions& options) {
  ThrowIfInvalid(options);
  return MakeStartSystemWith(problem, options, ChooseSeed(options), BranchRunner());
}

const StartData& StartSystem::data() const {
  if (!data_) ThrowMovedFrom("StartSystem");
  return *data_;
}

Route StartSystem::route() const { return data().route; }
std::uint64_t StartSystem::seed() const { return data().seed; }
std::int64_t StartSystem::pathCount() const { return data().pathCount; }
std::int64_t StartSystem::cellCount() const { return data().cellCount; }
bool StartSystem::trackable() const { return data().trackable; }

}  // namespace zormix
