#include "solve/finish_retracks.h"

#include <algorithm>
#include <cmath>

#include "base/numeric.h"
#include "finish/parameters.h"

namespace zormix {
namespace {

using PathKey = std::pair<std::int32_t, std::int32_t>;  // cell, start index

PathKey KeyOf(const PathRecord& record) { return {record.cell, record.startIndex}; }

// Whether the finish gave the path up at a root that holds too many paths.
bool GivenUpAtRoot(PathStatus status) {
  return status == PathStatus::kSurplusAtRoot || status == PathStatus::kSharedSimpleRoot;
}

// The max-norm distance of two points in the scaled variables, and whether it is at most `tau`
// relative to the larger point's max-norm (at least 1: the scaled variables put roots at unit
// size).
double Gap(const Complex* a, const Complex* b, int n) {
  double gap = 0.0;
  for (int j = 0; j < n; ++j) gap = std::max(gap, std::abs(a[j] - b[j]));
  return gap;
}

bool Within(double tau, const Complex* a, const Complex* b, int n) {
  double size = 1.0;
  for (int j = 0; j < n; ++j) size = std::max({size, std::abs(a[j]), std::abs(b[j])});
  return Gap(a, b, n) <= tau * size;
}

// Whether two end points may be at one root: the widest distance at which the grouping joins end
// points (singular ones the end game did not extrapolate).
bool AtOneRoot(const Complex* a, const Complex* b, int n) {
  return Within(finish::kMaxSingularCoincidence, a, b, n);
}

// Whether a re-tracked end point stayed where its path ended before: within the largest distance
// at which a regular candidate is at another end point's root. A re-track that arrives at the same
// multiple root farther off counts as moved; the next finish gives it up again, and its partners
// are re-tracked then.
bool Stayed(const Complex* again, const Complex* before, int n) {
  return Within(finish::kMaxCoincidence, again, before, n);
}

// What the choice reads of a finish: the tracking column of every path by its key, and of every
// root of the result.
class FinishView {
 public:
  FinishView(const SolveResult& result, const TrackingOutcome& tracking)
      : result_(result), tracking_(tracking) {
    for (std::size_t k = 0; k < tracking.records.size(); ++k)
      column_.emplace(KeyOf(tracking.records[k]), static_cast<std::int64_t>(k));
    for (const PathRecord& record : result.records) rootColumn_.push_back(Column(record));
  }

  // -1: the path has no end point in the tracking (lost by the tracker).
  std::int64_t Column(const PathRecord& record) const {
    const auto at = column_.find(KeyOf(record));
    return at == column_.end() ? -1 : at->second;
  }

  const Complex* EndPoint(std::int64_t column) const { return tracking_.solutions.col(column); }

  // The columns of the paths kept at the root nearest `point` (its group), when `point` is at it.
  std::vector<std::int64_t> KeptAt(const Complex* point, int n) const {
    std::int64_t nearest = -1;
    double best = 0.0;
    for (std::size_t j = 0; j < rootColumn_.size(); ++j) {
      if (rootColumn_[j] < 0 || result_.rootStatus[j] == RootStatus::kPositiveDimensional) continue;
      const double gap = Gap(point, EndPoint(rootColumn_[j]), n);
      if (nearest < 0 || gap < best) nearest = static_cast<std::int64_t>(j), best = gap;
    }
    std::vector<std::int64_t> kept;
    if (nearest < 0 || !AtOneRoot(point, EndPoint(rootColumn_[nearest]), n)) return kept;
    for (std::size_t j = 0; j < rootColumn_.size(); ++j)
      if (result_.groupLeader[j] == result_.groupLeader[nearest] && rootColumn_[j] >= 0)
        kept.push_back(rootColumn_[j]);
    return kept;
  }

 private:
  const SolveResult& result_;
  const TrackingOutcome& tracking_;
  std::map<PathKey, std::int64_t> column_;
  std::vector<std::int64_t> rootColumn_;
};

// The point of a root in the result's variables, in the scaled variables of the tracking:
// y_k = e^{-s_k} x_k.
std::vector<Complex> Scaled(const NormalForm& system, const std::vector<Complex>& point) {
  std::vector<Complex> y(point);
  for (std::size_t k = 0; k < y.size(); ++k) y[k] /= std::pow(kE, system.scaleExponents[k]);
  return y;
}

}  // namespace

std::vector<std::int64_t> ColumnsToRetrack(const NormalForm& system, const SolveResult& result,
                                           const std::vector<RootShortOfPaths>& shortOfPaths,
                                           const TrackingOutcome& tracking,
                                           const std::vector<std::uint8_t>& retracked) {
  const bool givenUp = std::any_of(result.lostPaths.begin(), result.lostPaths.end(),
                                   [](const PathRecord& p) { return GivenUpAtRoot(p.status); });
  if (!givenUp && shortOfPaths.empty()) return {};  // most solves: no view of their paths built
  const int n = system.scaled.n;
  const FinishView view(result, tracking);
  std::vector<std::uint8_t> chosen(tracking.records.size(), 0);
  const auto choose = [&](std::int64_t k) {
    if (k >= 0 && !retracked[k]) chosen[k] = 1;
  };
  for (const PathRecord& lost : result.lostPaths) {
    if (!GivenUpAtRoot(lost.status)) continue;
    const std::int64_t k = view.Column(lost);
    if (k < 0) continue;
    // A path whose careful re-track brought it to the same root again did not jump: the path
    // kept there did (the finish keeps the member nearest the root, or the first one a box
    // proves, whichever path that is).
    if (retracked[k]) {
      for (const std::int64_t partner : view.KeptAt(view.EndPoint(k), n)) choose(partner);
    } else {
      choose(k);
    }
  }
  // A root short of paths: the paths that reached it ended failed or at another root. Only those
  // with an end point can be told to be near it; a path the tracker lost keeps no last point, and
  // re-tracking every one of them for a few missing paths would cost a careful re-track each
  // (thousands on cyclic-8 by total degree). Those the finish gave up at another root are chosen
  // above already.
  for (const RootShortOfPaths& root : shortOfPaths) {
    const std::vector<Complex> point = Scaled(system, root.point);
    for (const PathRecord& lost : result.lostPaths) {
      const std::int64_t k = view.Column(lost);
      if (k >= 0 && AtOneRoot(view.EndPoint(k), point.data(), n)) choose(k);
    }
  }
  std::vector<std::int64_t> columns;
  for (std::size_t k = 0; k < chosen.size(); ++k)
    if (chosen[k]) columns.push_back(static_cast<std::int64_t>(k));
  return columns;
}

bool FinishRetracks::Run(const NormalForm& system, const SolveResult& result,
                         const std::vector<RootShortOfPaths>& shortOfPaths,
                         TrackingOutcome& tracking) {
  const int n = system.scaled.n;
  // Re-tracks that leave every path at its root change nothing of `result`: the partners of the
  // paths that landed again are then chosen from the same result.
  for (;;) {
    const std::vector<std::int64_t> columns =
        ColumnsToRetrack(system, result, shortOfPaths, tracking, retracked_);
    if (columns.empty()) return false;
    bool moved = false;
    for (const std::int64_t k : columns) {
      retracked_[k] = 1;
      if (!retrack_) retrack_ = makeRetracker_();
      PathRecord& record = tracking.records[k];
      const RetrackedEndPoint again = retrack_(record);
      ++tracking.counts.retracked;
      if (!again.reached) continue;
      record.steps += again.steps;
      ++record.retrackCount;
      if (Stayed(again.endPoint.data(), tracking.solutions.col(k), n)) continue;
      std::copy(again.endPoint.begin(), again.endPoint.end(), tracking.solutions.col(k));
      record.status = PathStatus::kJumped;
      record.windingNumber = again.windingNumber;
      moved = true;
    }
    if (moved) return true;
  }
}

void FinishRetracks::Record(const TrackingOutcome& tracking, SolveResult& result) const {
  result.counts.retracked = tracking.counts.retracked;
  if (std::none_of(retracked_.begin(), retracked_.end(), [](std::uint8_t r) { return r != 0; }))
    return;
  std::map<PathKey, const PathRecord*> byKey;
  for (std::size_t k = 0; k < retracked_.size(); ++k)
    if (retracked_[k]) byKey.emplace(KeyOf(tracking.records[k]), &tracking.records[k]);
  const auto take = [&](PathRecord& record) {
    const auto at = byKey.find(KeyOf(record));
    if (at == byKey.end()) return;
    record.steps = at->second->steps;
    record.retrackCount = at->second->retrackCount;
  };
  for (PathRecord& record : result.records) take(record);
  for (PathRecord& record : result.lostPaths) take(record);
}

}  // namespace zormix
