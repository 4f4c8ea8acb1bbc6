// The third stage: every path of a start system to a target with the same supports.
#include <chrono>
#include <memory>

#include "solve/checkpoint.h"
#include "solve/path_budget.h"
#include "solve/stage_data.h"

namespace zormix {
namespace {

// Empty outcome for a route without paths: nothing to track, nothing recorded.
TrackingOutcome NoPaths(int n) {
  TrackingOutcome none;
  none.solutions.Assign(n, 0);
  return none;
}

TrackingOutcome TrackRouteOf(const StartData& start, const NormalForm& target,
                             RuntimeUniform& runtime, const TrackingOptions& tracking) {
  if (start.pathCount == 0) return NoPaths(target.scaled.n);
  if (start.route == Route::kTotalDegree) {
    return TrackTotalDegree(target.scaled, start.totalDegree, start.startCoefficients, runtime,
                            tracking);
  }
  return TrackPolyhedral(target.scaled, start.startCoefficients, start.lifting, start.cells,
                         start.cellVolume, runtime, tracking);
}

void CheckTrackable(const StartSystem& start, const Problem& target) {
  if (!start.trackable()) {
    throw Error(ErrorCode::kBadArgument,
                "the start system was made with mixedVolumeOnly: it has no start points to track");
  }
  if (!start.data().problem.SameSupports(target)) {
    throw Error(ErrorCode::kBadArgument,
                "the target system has other supports than the system of the start system "
                "(other equations, terms or exponents): its paths cannot reach it");
  }
}

}  // namespace

std::unique_ptr<Checkpoint> OpenCheckpoint(const SolveOptions& options, const Problem& target,
                                           Route route, std::uint64_t seed) {
  if (options.checkpointPath.empty() || options.mixedVolumeOnly) return nullptr;
  const NormalForm& system = target.data().system;
  CheckpointIdentity identity;
  identity.systemHash = SystemHash(system);
  identity.seed = seed;
  identity.route = route;
  identity.n = system.scaled.n;
  return std::make_unique<Checkpoint>(options.checkpointPath, identity);
}

TrackedPaths TrackWith(const StartSystem& start, const Problem& target, const SolveOptions& options,
                       const UnitRunner& units, bool firstTrackingOnly) {
  CheckTrackable(start, target);
  auto tracked = std::make_unique<TrackedData>(target, start);
  TrackingOptions tracking;
  tracking.threads = ThreadCount(options);
  tracking.progress = options.progress;
  tracking.interrupted = options.interrupted;
  tracking.runUnits = units;
  tracking.firstTrackingOnly = firstTrackingOnly;
  // Tracking is about to take memory for every path: refused first when they will not fit.
  const PathBudget budget =
      BudgetOf(target.data().system.scaled, start.pathCount(), ThreadCount(options));
  CheckPathBudget(budget, options.maxPaths);
  Announce(options, Stage::kTracking, start.pathCount(), budget.trackingSeconds);
  const auto began = std::chrono::steady_clock::now();
  tracked->tracking = TrackRouteOf(start.data(), target.data().system, tracked->runtime, tracking);
  tracked->trackingSeconds = SecondsSince(began);
  if (!firstTrackingOnly) ThrowIfInterrupted(options);
  return TrackedPaths(std::move(tracked));
}

TrackedPaths Track(const StartSystem& start, const Problem& target, const SolveOptions& options) {
  ThrowIfInvalid(options);
  CheckTrackable(start, target);
  std::unique_ptr<Checkpoint> checkpoint =
      OpenCheckpoint(options, target, start.route(), start.seed());
  ExpectStartPaths(checkpoint.get(), start);
  UnitRunner units;
  if (checkpoint) units = CheckpointRunner(*checkpoint, ThreadCount(options));
  TrackedPaths paths =
      TrackWith(start, target, WithRestoredPaths(options, checkpoint.get()), units);
  if (checkpoint) paths.data().restoredPaths = checkpoint->restoredPaths();
  return paths;
}

SolveOptions WithRestoredPaths(const SolveOptions& options, const Checkpoint* checkpoint) {
  SolveOptions reporting = options;
  if (!checkpoint || !options.progress) return reporting;
  reporting.progress = [checkpoint, progress = options.progress](Progress p) {
    p.pathsRestored = checkpoint->restoredPaths();
    progress(p);
  };
  return reporting;
}

void ExpectStartPaths(Checkpoint* checkpoint, const StartSystem& start) {
  if (checkpoint && start.route() == Route::kPolyhedral)
    checkpoint->ExpectCells(start.data().cellVolume);
}

TrackedPaths::TrackedPaths(std::unique_ptr<TrackedData> data) : data_(std::move(data)) {}
TrackedPaths::TrackedPaths(TrackedPaths&&) noexcept = default;
TrackedPaths& TrackedPaths::operator=(TrackedPaths&&) noexcept = default;
TrackedPaths::~TrackedPaths() = default;

std::int64_t TrackedPaths::pathCount() const { return data_->start.pathCount(); }
std::int64_t TrackedPaths::endPointCount() const { return data_->tracking.counts.endPoints; }

}  // namespace zormix
