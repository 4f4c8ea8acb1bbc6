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
                        const std::function<bool()>& interrupted) {
  auto start = std::chrono::steady_clock::now();
  std::vector<SingularProof> proofs;
  TakeClassification(ClassifyRoots(system, result, threads, interrupted, certify), result, &proofs);
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

// Whether the finish gave the path up at a root that holds too many paths: a simple root reached
// twice, or a multiple root reached by more paths than its dual space's dimension.
bool GivenUpAtRoot(PathStatus status) {
  return status == PathStatus::kSurplusAtRoot || status == PathStatus::kSharedSimpleRoot;
}

PathRetracker MakeRetracker(const TrackedData& tracked) {
  const StartData& start = tracked.start.data();
  const PolySystem& system = tracked.target.data().system.scaled;
  if (start.route == Route::kTotalDegree)
    return MakeTotalDegreeRetracker(system, start.totalDegree, start.startCoefficients);
  return MakePolyhedralRetracker(system, start.startCoefficients, start.lifting, start.cells);
}

// Re-tracks the paths `result` gave up at a root that holds too many paths, from their start
// points with the jump check's careful limits, and puts every new end point in place of the old
// one in `tracking` (a copy of the tracking before the finish). Returns whether any path reached
// a new end point: then the finish runs again on all of them, and a path that lands on the same
// root again is given up as before.
bool RetrackGivenUpPaths(const TrackedData& tracked, const SolveResult& result,
                         TrackingOutcome& tracking) {
  std::vector<const PathRecord*> givenUp;
  for (const PathRecord& record : result.lostPaths)
    if (GivenUpAtRoot(record.status)) givenUp.push_back(&record);
  if (givenUp.empty()) return false;
  const PathRetracker retrack = MakeRetracker(tracked);
  bool changed = false;
  for (const PathRecord* record : givenUp) {
    const auto at =
        std::find_if(tracking.records.begin(), tracking.records.end(), [&](const PathRecord& r) {
          return r.cell == record->cell && r.startIndex == record->startIndex;
        });
    if (at == tracking.records.end()) continue;
    const RetrackedEndPoint again = retrack(*record);
    ++tracking.counts.retracked;
    if (!again.reached) continue;
    const std::int64_t column = at - tracking.records.begin();
    std::copy(again.endPoint.begin(), again.endPoint.end(), tracking.solutions.col(column));
    at->status = PathStatus::kJumped;
    at->windingNumber = again.windingNumber;
    at->steps += again.steps;
    ++at->retrackCount;
    changed = true;
  }
  return changed;
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
  FinishEndPoints(system, tracked.tracking, tracked.runtime, ThreadCount(options), options.certify,
                  result, options.interrupted);
  if (RetrackGivenUpPaths(tracked, result, before)) {
    result = unfinished;
    tracked.runtime = draws;
    FinishEndPoints(system, before, tracked.runtime, ThreadCount(options), options.certify, result,
                    options.interrupted);
  }
  if (!options.reportPath.empty()) WriteReportFile(result, options.reportPath);
  return result;
}

void FinishEndPoints(const NormalForm& system, TrackingOutcome& tracking, RuntimeUniform& runtime,
                     int threads, bool certify, SolveResult& result,
                     const std::function<bool()>& interrupted) {
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
  ClassifyAndCertify(system, certify, threads, result, interrupted);
}

}  // namespace zormix
