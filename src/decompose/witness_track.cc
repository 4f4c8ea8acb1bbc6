#include "decompose/witness_track.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "solve/member_with_runner.h"
#include "zormix/error.h"

namespace zormix {

PointTracker::PointTracker(std::uint64_t seed, const DecomposeOptions& options,
                           const TrackingRunners& runners)
    : seed_(seed),
      threads_(options.threads > 0
                   ? options.threads
                   : std::max(1, static_cast<int>(std::thread::hardware_concurrency()))),
      options_(options),
      runners_(runners) {}

void PointTracker::SetDimension(int dimension, const char* step) {
  where_.dimension = dimension;
  where_.step = step;
  where_.paths = Progress{};
  if (options_.progress) options_.progress(where_);
}

void PointTracker::ReportPaths(const Progress& paths) {
  where_.paths = paths;
  if (options_.progress) options_.progress(where_);
}

void PointTracker::CheckInterrupted() const {
  if (options_.interrupted && options_.interrupted())
    throw Error(ErrorCode::kInterrupted, kInterruptedMessage);
}

MemberResult PointTracker::Track(const ParametricSystem& family, std::span<const Complex> from,
                                 std::span<const Complex> to, const ColMajorMatrix<Complex>& points,
                                 std::span<const std::int32_t> multiplicity) {
  CheckInterrupted();
  FamilyStart start;
  start.systemHash = FamilyHash(family);
  start.parameterNames = family.parameterNames;
  start.parameters.assign(from.begin(), from.end());
  start.roots = points;
  start.multiplicity.assign(multiplicity.begin(), multiplicity.end());
  if (start.multiplicity.empty()) start.multiplicity.assign(points.cols(), 1);
  start.seed = seed_;
  SweepOptions sweep;
  sweep.seed = seed_;
  sweep.memberThreads = threads_;
  sweep.keepEndPoints = true;
  sweep.interrupted = options_.interrupted;
  sweep.memberProgress = [this](const Progress& p) { ReportPaths(p); };
  // Instances count up from 2^32, far from the members a sweep of the same seed numbers.
  const std::int64_t instance = (std::int64_t{1} << 32) + ++instance_;
  MemberResult member = SolveMemberWith(family, start, to, instance, sweep, runners_.members);
  if (!member.solved)
    throw Error(ErrorCode::kInternal, "a homotopy of the decomposition: " + member.error);
  return member;
}

SolveOptions PointTracker::FreshSolve() {
  SolveOptions options;
  // A seed of its own per solve, as a member's draws are its own: mixed by SplitMix64's finalizer.
  std::uint64_t z = seed_ + 0x9e3779b97f4a7c15ull * static_cast<std::uint64_t>(++instance_);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  options.seed = z ^ (z >> 31);
  options.threads = threads_;
  options.interrupted = options_.interrupted;
  options.progress = [this](const Progress& p) { ReportPaths(p); };
  return options;
}

SolveResult PointTracker::Solve(const PolySystem& system, const SolveOptions& options) const {
  if (!runners_.solves) return SolveSystem(system, options);
  return SolveSystemWith(system, options, runners_.solves);
}

std::vector<std::optional<std::vector<Complex>>> EndOfEachStart(
    const MemberResult& member, std::span<const std::int32_t> multiplicity, std::int64_t starts) {
  // Path numbers (1-based) run through the starts, m of them for a start of multiplicity m.
  std::vector<std::int64_t> firstPath(static_cast<std::size_t>(starts) + 1, 1);
  for (std::int64_t k = 0; k < starts; ++k)
    firstPath[k + 1] = firstPath[k] + (multiplicity.empty() ? 1 : std::max(1, multiplicity[k]));
  const auto startOf = [&](std::int64_t path) {
    const auto it = std::upper_bound(firstPath.begin(), firstPath.end(), path);
    return static_cast<std::int64_t>(it - firstPath.begin()) - 1;
  };
  std::vector<std::optional<std::vector<Complex>>> ends(static_cast<std::size_t>(starts));
  const SolveResult& tracked = member.result;
  for (std::int64_t r = 0; r < tracked.rootCount; ++r) {
    const std::int64_t k = startOf(tracked.records[r].startIndex);
    if (k < 0 || k >= starts || ends[k]) continue;
    const std::int64_t leader = tracked.groupLeader.empty() ? r : tracked.groupLeader[r];
    const Complex* value = tracked.roots.col(leader);
    ends[k] = std::vector<Complex>(value, value + tracked.n);
  }
  std::vector<std::uint8_t> refused(static_cast<std::size_t>(starts), 0);
  for (const PathRecord& lost : tracked.lostPaths) {
    const std::int64_t k = startOf(lost.startIndex);
    if (k >= 0 && k < starts && lost.status == PathStatus::kRefusedAtTarget) refused[k] = 1;
  }
  for (std::int64_t e = 0; e < member.endPoints.cols(); ++e) {
    const std::int64_t k = startOf(member.endPointPaths[e]);
    if (k < 0 || k >= starts || ends[k] || !refused[k]) continue;
    const Complex* value = member.endPoints.col(e);
    ends[k] = std::vector<Complex>(value, value + member.endPoints.rows());
  }
  return ends;
}

double RelativeDistance(std::span<const Complex> x, std::span<const Complex> y) {
  double size = 1.0, distance = 0.0;
  for (std::size_t k = 0; k < y.size(); ++k) {
    size = std::max(size, std::abs(y[k]));
    distance = std::max(distance, std::abs(x[k] - y[k]));
  }
  return distance / size;
}

}  // namespace zormix
