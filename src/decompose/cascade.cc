#include "decompose/cascade.h"

#include <algorithm>
#include <chrono>
#include <span>
#include <string>
#include <utility>

#include "decompose/witness_parameters.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

double SecondsSince(std::chrono::steady_clock::time_point begin) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

// The roots of a level, sorted into witness candidates and the starts of the next level.
struct SortedLevel {
  WitnessCandidates candidates;
  ColMajorMatrix<Complex> starts;
  std::vector<std::int32_t> startMultiplicity;
  std::int64_t startsOnSets = 0;  // end points off the slice on a set of g_k: no start
};

void AppendColumn(ColMajorMatrix<Complex>& matrix, const Complex* column, int n) {
  ColMajorMatrix<Complex> grown;
  grown.Assign(n, matrix.cols() + 1);
  std::copy_n(matrix.data(), matrix.cols() * n, grown.data());
  std::copy_n(column, n, grown.col(matrix.cols()));
  matrix = std::move(grown);
}

SortedLevel SortLevel(const SolveResult& level, const Embedding& embedding, int k) {
  SortedLevel sorted;
  const int n = level.n;
  sorted.candidates.dimension = k;
  sorted.candidates.points.Assign(n, 0);
  sorted.starts.Assign(n, 0);
  DimensionReport& report = sorted.candidates.report;
  report.dimension = k;
  report.pathCount = level.pathCount;
  report.atInfinity = level.classes.atInfinity;
  report.failed = level.classes.failed;
  for (std::int64_t r = 0; r < level.rootCount; ++r) {
    const Complex* x = level.roots.col(r);
    const bool onSlice = SliceResidual(embedding, k, std::span(x, n)) <= kOnSlice.value();
    const RootStatus status = level.rootStatus[r];
    if (status == RootStatus::kPositiveDimensional) {
      if (onSlice) {
        ++sorted.candidates.onSets;
        ++report.witnessSuperset;
        ++report.junk;
      } else {
        ++sorted.startsOnSets;
      }
      continue;
    }
    if (level.groupLeader[r] != r) continue;  // the group's leader stands for it
    const std::int32_t m = status == RootStatus::kRegular ? 1 : level.multiplicity[r];
    if (onSlice) {
      AppendColumn(sorted.candidates.points, x, n);
      sorted.candidates.multiplicity.push_back(m);
      report.witnessSuperset += m;
    } else {
      AppendColumn(sorted.starts, x, n);
      sorted.startMultiplicity.push_back(m);
      report.nonsolutions += m;
    }
  }
  return sorted;
}

std::int64_t PathsOf(std::span<const std::int32_t> multiplicity) {
  std::int64_t paths = 0;
  for (const std::int32_t m : multiplicity) paths += m;
  return paths;
}

// The mixed volume of a level: the paths of a fresh polyhedral solve of it.
std::int64_t MixedVolume(const PolySystem& system, PointTracker& tracker) {
  SolveOptions options = tracker.FreshSolve();
  options.mixedVolumeOnly = true;
  options.progress = {};
  return tracker.Solve(system, options).pathCount;
}

class CascadeRun {
 public:
  CascadeRun(Cascade& cascade, PointTracker& tracker) : c_(cascade), tracker_(tracker) {}

  // Level k from the starts of level k + 1 (or afresh at the top, or when that is cheaper).
  SolveResult Level(int k, const SortedLevel* above, DimensionReport& report) {
    const PolySystem system = LevelSystem(c_.equations, c_.embedding, k);
    const bool fresh = above == nullptr || ([&] {
                         const std::int64_t cascadePaths = PathsOf(above->startMultiplicity);
                         return cascadePaths > 0 && MixedVolume(system, tracker_) < cascadePaths;
                       })();
    if (fresh) {
      report.method = "solve";
      return tracker_.Solve(system, tracker_.FreshSolve());
    }
    report.method = "cascade";
    const ParametricSystem step = CascadeStep(c_.equations, c_.embedding, k + 1);
    const Complex on(1.0, 0.0), off(0.0, 0.0);
    return std::move(tracker_
                         .Track(step, std::span(&on, 1), std::span(&off, 1), above->starts,
                                above->startMultiplicity)
                         .result);
  }

  void Run() {
    const int top = c_.embedding.top;
    std::optional<SortedLevel> above;
    for (int k = top; k >= std::max(c_.lowest, 1); --k) {
      tracker_.SetDimension(k, "witness points");
      const auto begin = std::chrono::steady_clock::now();
      if (above && above->starts.cols() == 0) {
        // No path left: no isolated root of g_k, nothing on this dimension.
        WitnessCandidates empty;
        empty.dimension = k;
        empty.points.Assign(c_.equations.n, 0);
        empty.report.dimension = k;
        empty.report.method = "cascade";
        c_.levels.push_back(std::move(empty));
        continue;
      }
      DimensionReport method;
      const SolveResult level = Level(k, above ? &*above : nullptr, method);
      Warn(level, k);
      SortedLevel sorted = SortLevel(level, c_.embedding, k);
      sorted.candidates.report.method = method.method;
      sorted.candidates.report.seconds = SecondsSince(begin);
      if (sorted.startsOnSets > 0) {
        c_.warnings.push_back("dimension " + std::to_string(k) + ": " +
                              std::to_string(sorted.startsOnSets) +
                              " end points off the slice lie on sets and start no path");
      }
      c_.levels.push_back(sorted.candidates);
      above = std::move(sorted);
    }
    if (!c_.hasDimensionZero) return;
    tracker_.SetDimension(0, "witness points");
    const auto begin = std::chrono::steady_clock::now();
    if (!c_.equations.randomized) {
      // Exactly `zormix solve` with the decomposition's seed.
      SolveOptions options = tracker_.FreshSolve();
      options.seed = tracker_.seed();
      c_.dimensionZero = tracker_.Solve(c_.equations.asGiven, options);
      c_.dimensionZeroReport.method = "solve";
    } else if (above && above->starts.cols() == 0) {
      c_.dimensionZero.n = c_.equations.n;  // no path left: no isolated root
      c_.dimensionZeroReport.method = "cascade";
    } else {
      c_.dimensionZero = Level(0, above ? &*above : nullptr, c_.dimensionZeroReport);
    }
    Warn(c_.dimensionZero, 0);
    DimensionReport& report = c_.dimensionZeroReport;
    report.pathCount = c_.dimensionZero.pathCount;
    report.atInfinity = c_.dimensionZero.classes.atInfinity;
    report.failed = c_.dimensionZero.classes.failed;
    report.seconds = SecondsSince(begin);
  }

 private:
  void Warn(const SolveResult& level, int k) {
    if (level.classes.failed > 0) {
      c_.warnings.push_back("dimension " + std::to_string(k) + ": " +
                            std::to_string(level.classes.failed) +
                            " paths failed; witness points may be missing");
    }
  }

  Cascade& c_;
  PointTracker& tracker_;
};

}  // namespace

Cascade RunCascade(const Equations& equations, Embedding embedding, PointTracker& tracker) {
  Cascade cascade;
  cascade.equations = equations;
  cascade.embedding = std::move(embedding);
  cascade.lowest = std::max(0, equations.n - equations.given);
  cascade.hasDimensionZero = cascade.lowest == 0;
  CascadeRun(cascade, tracker).Run();
  return cascade;
}

}  // namespace zormix
