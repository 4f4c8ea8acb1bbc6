// The last stage: end points become roots (scaling undone, refined, accepted), classified,
// certified when asked, and the report written when asked.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "base/numeric.h"
#include "finish/certify.h"
#include "finish/classify.h"
#include "finish/drop_end_points.h"
#include "finish/finish.h"
#include "finish/report.h"
#include "solve/finish_retracks.h"
#include "solve/stage_data.h"
#include "tracker/tracking.h"

namespace zormix {
namespace {

// x_k = e^{s_k} y_k on every recorded end point.
void UndoVariableScaling(const NormalForm& system, TrackingOutcome& tracking) {
  for (int k = 0; k < system.scaled.n; ++k) {
    const double factor = std::pow(kE, system.scaleExponents[k]);
    for (std::int64_t r = 0; r < tracking.counts.endPoints; ++r) tracking.solutions(k, r) *= factor;
  }
}

void TakeRoots(FinishedRoots&& finished, SolveResult& result) {
  result.rootCount = finished.roots.cols();
  result.realCount = finished.realCount;
  result.roots = std::move(finished.roots);
  result.residuals = std::move(finished.residuals);
  result.conditionNumbers = std::move(finished.conditionNumbers);
  result.isReal = std::move(finished.isReal);
  result.zeroJacobian = std::move(finished.zeroJacobian);
  result.records = std::move(finished.records);
}

void ClassifyAndCertify(const NormalForm& system, bool certify, int threads, SolveResult& result,
                        const std::function<bool()>& interrupted,
                        std::vector<RootShortOfPaths>& shortOfPaths) {
  auto start = std::chrono::steady_clock::now();
  std::vector<SingularProof> proofs;
  Classification classification = ClassifyRoots(system, result, threads, interrupted, certify);
  shortOfPaths = std::move(classification.shortOfPaths);
  TakeClassification(std::move(classification), result, &proofs);
  result.timings.classification = SecondsSince(start);
  if (!certify) return;
  start = std::chrono::steady_clock::now();
  TakeCertification(CertifyRoots(system, result, interrupted), result);
  ApplySingularProofs(proofs, result);
  result.timings.certification = SecondsSince(start);
}

// Paths in the order of the serial loop: cell by cell, start solution by start solution.
void CountStatuses(SolveResult& result) {
  for (const PathRecord& record : result.records)
    ++result.counts.byStatus[static_cast<int>(record.status)];
  for (const PathRecord& record : result.lostPaths)
    ++result.counts.byStatus[static_cast<int>(record.status)];
}

PathRetracker MakeRetracker(const TrackedData& tracked) {
  const StartData& start = tracked.start.data();
  const PolySystem& system = tracked.target.data().system.scaled;
  if (start.route == Route::kTotalDegree)
    return MakeTotalDegreeRetracker(system, start.totalDegree, start.startCoefficients);
  return MakePolyhedralRetracker(system, start.startCoefficients, start.lifting, start.cells);
}

// The finishes after the first, each on the end points re-tracked after the one before
// (finish_retracks.h). Each path is re-tracked at most once, so the finishes end; the bound keeps
// the work of a chain of moves (the given-up paths, their partners, the paths their moves gave up)
// to a few finishes of the whole solve.
constexpr int kMostFinishesAfterRetracks = 4;

// FinishEndPoints, and the roots whose dual space counts more paths than reached them.
void FinishEndPointsShort(const NormalForm& system, TrackingOutcome& tracking,
                          RuntimeUniform& runtime, int threads, bool certify, SolveResult& result,
                          const std::function<bool()>& interrupted,
                          std::vector<RootShortOfPaths>& shortOfPaths) {
  UndoVariableScaling(system, tracking);
  const auto began = std::chrono::steady_clock::now();
  FinishedRoots finished = FinishRoots(system, tracking.solutions, tracking.counts.endPoints,
                                       tracking.records, runtime, threads, interrupted);
  result.lostPaths = std::move(tracking.lostPaths);
  result.lostPaths.insert(result.lostPaths.end(), finished.refused.begin(), finished.refused.end());
  TakeRoots(std::move(finished), result);
  result.counts = tracking.counts;
  tracking = TrackingOutcome{};
  std::sort(result.lostPaths.begin(), result.lostPaths.end(), InSerialOrder);
  CountStatuses(result);
  result.timings.finishing = SecondsSince(began);
  ClassifyAndCertify(system, certify, threads, result, interrupted, shortOfPaths);
}

}  // namespace

SolveResult PathCountResult(const StartSystem& start) {
  const Problem& problem = start.data().problem;
  SolveResult result;
  result.n = problem.n();
  result.route = start.route();
  result.seed = start.seed();
  result.pathCount = start.pathCount();
  result.cellCount = start.cellCount();
  result.warnings = problem.warnings();
  const std::vector<std::string>& cellWarnings = start.data().cellWarnings;
  result.warnings.insert(result.warnings.end(), cellWarnings.begin(), cellWarnings.end());
  result.variableNames = problem.variableNames();
  result.roots.Assign(result.n, 0);
  return result;
}

SolveResult Finish(TrackedPaths&& paths, const SolveOptions& options) {
  ThrowIfInvalid(options);
  // Taken over: the end points and their records move into the result, and classification and
  // the report must not find them still held (16 n bytes per path).
  const std::unique_ptr<TrackedData> owned = std::make_unique<TrackedData>(std::move(paths.data()));
  paths = TrackedPaths(nullptr);  // taken: a second Finish of it is refused, not run on nothing
  TrackedData& tracked = *owned;
  const NormalForm& system = tracked.target.data().system;
  SolveResult result = PathCountResult(tracked.start);
  // The target's own warnings, then those of the start's mixed cells.
  result.warnings = tracked.target.warnings();
  const std::vector<std::string>& cellWarnings = tracked.start.data().cellWarnings;
  result.warnings.insert(result.warnings.end(), cellWarnings.begin(), cellWarnings.end());
  result.variableNames = tracked.target.variableNames();
  result.timings.mixedCells = tracked.start.data().mixedCellSeconds;
  result.timings.tracking = tracked.trackingSeconds;
  result.restoredPaths = tracked.restoredPaths;
  Announce(options, Stage::kReport, result.pathCount);
  // Kept for a second finish should paths be re-tracked: the end points, and the draws.
  TrackingOutcome before = tracked.tracking;
  const RuntimeUniform draws = tracked.runtime;
  const SolveResult unfinished = result;
  std::vector<RootShortOfPaths> shortOfPaths;
  FinishEndPointsShort(system, tracked.tracking, tracked.runtime, ThreadCount(options),
                       options.certify, result, options.interrupted, shortOfPaths);
  FinishRetracks retracks([&tracked] { return MakeRetracker(tracked); }, before);
  for (int finish = 0;
       finish < kMostFinishesAfterRetracks && retracks.Run(system, result, shortOfPaths, before);
       ++finish) {
    result = unfinished;
    tracked.runtime = draws;
    TrackingOutcome tracking = before;
    FinishEndPointsShort(system, tracking, tracked.runtime, ThreadCount(options), options.certify,
                         result, options.interrupted, shortOfPaths);
  }
  retracks.Record(before, result);
  if (!options.reportPath.empty()) WriteReportFile(result, options.reportPath);
  return result;
}

void FinishEndPoints(const NormalForm& system, TrackingOutcome& tracking, RuntimeUniform& runtime,
                     int threads, bool certify, SolveResult& result,
                     const std::function<bool()>& interrupted) {
  std::vector<RootShortOfPaths> shortOfPaths;
  FinishEndPointsShort(system, tracking, runtime, threads, certify, result, interrupted,
                       shortOfPaths);
}

}  // namespace zormix
