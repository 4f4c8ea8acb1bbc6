#include "finish/classify.h"

#include <algorithm>
#include <vector>

#include "base/parallel.h"
#include "finish/drop_end_points.h"
#include "finish/finish.h"
#include "finish/finish_stop.h"
#include "finish/grouping.h"
#include "finish/local_dimension.h"
#include "finish/point_evidence.h"
#include "finish/set_points.h"
#include "finish/singular_groups.h"
#include "finish/verdict_warnings.h"

namespace zormix {
namespace {

bool Approached(const SolveResult& r, std::int64_t k) {
  return k < static_cast<std::int64_t>(r.records.size()) && ApproachedEndPoint(r.records[k]);
}

// Each point's verdict depends on that point alone: any thread count gives the same verdicts.
std::vector<EndPointVerdict> DecidePoints(const NormalForm& normalized, const SolveResult& r,
                                          int threads, const FinishStop& stop) {
  const std::int64_t count = r.roots.cols();
  std::vector<EndPointVerdict> points(static_cast<std::size_t>(count));
  const UnitsEvaluation evaluation(normalized);
  RunUnitsInParallel(
      count, std::max(1, threads),
      [&]() -> UnitFunction {
        return [&](std::int64_t k) {
          EndPointEvidence evidence(evaluation, r.roots.col(k), Approached(r, k),
                                    WindingNumber(r, k));
          points[k] = DecidePoint(evidence);
        };
      },
      stop.Poll());
  return points;
}

std::int64_t ColumnOf(std::int64_t k) { return k; }
std::int64_t ColumnOf(const DroppedEndPoint& d) { return d.column; }

// Whether root k is real with the value classification leaves it (its accurate value, when
// classification computed one: a regular root refined in double-double is real although double
// left it 1e-6 off the real axis), as TakeClassification will flag it.
bool RealAfterClassification(const Classification& c, const SolveResult& r, std::int64_t k) {
  const auto accurate =
      std::lower_bound(c.accurateValues.begin(), c.accurateValues.end(), k,
                       [](const auto& entry, std::int64_t column) { return entry.first < column; });
  if (accurate != c.accurateValues.end() && accurate->first == k)
    return IsRealPoint(accurate->second.data(), r.n);
  return r.isReal[k] != 0;
}

RootClassCounts CountPaths(const Classification& c, const SolveResult& r) {
  RootClassCounts counts;
  for (std::size_t k = 0; k < c.status.size(); ++k) {
    const auto column = static_cast<std::int64_t>(k);
    if (std::binary_search(
            c.dropped.begin(), c.dropped.end(), column,
            [](const auto& a, const auto& b) { return ColumnOf(a) < ColumnOf(b); })) {
      ++counts.failed;
      continue;
    }
    switch (c.status[k]) {
      case RootStatus::kRegular:
        ++counts.regular;
        counts.realRegular += RealAfterClassification(c, r, column) ? 1 : 0;
        break;
      case RootStatus::kPositiveDimensional:
        ++counts.positiveDimensional;
        break;
      case RootStatus::kSingular:
        ++counts.singularEndPoints;
        counts.singular += c.groupLeader[k] == column ? 1 : 0;
        break;
    }
  }
  for (const PathRecord& lost : r.lostPaths)
    ++(IsAtInfinity(lost.status) ? counts.atInfinity : counts.failed);
  counts.rescued = r.counts.of(PathStatus::kRescued);
  return counts;
}

// The columns of each group, ascending, by leader.
std::vector<std::vector<std::int64_t>> Groups(const std::vector<std::int64_t>& leader) {
  std::vector<std::vector<std::int64_t>> groups(leader.size());
  for (std::size_t k = 0; k < leader.size(); ++k)
    groups[leader[k]].push_back(static_cast<std::int64_t>(k));
  return groups;
}

// The member that keeps each group's simple root (SimpleRootKeeper), -1 where none does; asked of
// the groups of several end points with a regular candidate.
std::vector<std::int64_t> Keepers(const NormalForm& normalized,
                                  const std::vector<EndPointVerdict>& points, int threads,
                                  const FinishStop& stop,
                                  const std::vector<std::vector<std::int64_t>>& groups) {
  std::vector<std::int64_t> asked, keeper(groups.size(), -1);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const auto& members = groups[g];
    if (members.size() >= 2 && std::any_of(members.begin(), members.end(), [&](std::int64_t k) {
          return points[k].kind == PointClass::kRegularCandidate;
        }))
      asked.push_back(static_cast<std::int64_t>(g));
  }
  RunUnitsInParallel(
      static_cast<std::int64_t>(asked.size()), std::max(1, threads),
      [&]() -> UnitFunction {
        return [&](std::int64_t u) {
          keeper[asked[u]] = SimpleRootKeeper(normalized, points, groups[asked[u]]);
        };
      },
      stop.Poll());
  return keeper;
}

// The verdicts of the groups' members, from their points' verdicts and their groups.
void DecideRoots(const NormalForm& normalized, const SolveResult& r,
                 std::vector<EndPointVerdict>& points, int threads, const FinishStop& stop,
                 Classification& c) {
  const auto count = static_cast<std::int64_t>(points.size());
  const std::vector<std::vector<std::int64_t>> groups = Groups(c.groupLeader);
  const std::vector<std::int64_t> keeper = Keepers(normalized, points, threads, stop, groups);
  c.multiplicity.assign(count, 0);
  for (std::int64_t k = 0; k < count; ++k)
    c.multiplicity[k] = static_cast<std::int32_t>(groups[c.groupLeader[k]].size());
  c.status.resize(count);
  c.scaledConditionNumbers.resize(count);
  c.localDimension.resize(count);
  c.pointRule.resize(count);
  c.rootRule.resize(count);
  for (std::int64_t k = 0; k < count; ++k) {
    EndPointVerdict& point = points[k];
    const std::int64_t kept = keeper[c.groupLeader[k]];
    const RootVerdict verdict =
        DecideRoot({point, WindingNumber(r, k), c.multiplicity[k], kept >= 0, kept == k});
    c.status[k] = StatusOf(verdict.kind);
    c.pointRule[k] = point.rule;
    c.rootRule[k] = verdict.rule;
    c.scaledConditionNumbers[k] = point.measures.scaledCondition;
    c.localDimension[k] = point.kind == PointClass::kOnSet ? point.dimension : 0;
    if (verdict.kind == RootClass::kUnresolved) c.dropped.push_back({k});
    if (verdict.kind == RootClass::kSharedSimpleRoot)
      c.dropped.push_back({k, PathStatus::kSharedSimpleRoot});
    // The member that keeps a simple root several paths reached is its own group.
    if (verdict.rule == RootRule::kSimpleRootReachedTwice) {
      c.groupLeader[k] = k;
      c.multiplicity[k] = 1;
    }
    // A regular root keeps its accurate value; so does every point whose value is not the root's
    // own estimate but a point its tests computed (a multiple root, a point of a subspace).
    const bool accurate = point.source == ValueSource::kMultipleRoot ||
                          point.source == ValueSource::kSubspacePoint ||
                          (verdict.kind == RootClass::kRegular && IsAccurate(point.source));
    if (accurate) c.accurateValues.emplace_back(k, std::move(point.value));
  }
}

// The warnings on the groups whose winding numbers do not form cycles, over the end points that
// stay roots, numbered as the result will number them; a group whose multiplicity its dual space
// confirmed (`confirmed`) needs none: its windings are taken as unknown.
std::vector<std::string> GroupWarnings(const Classification& c, const SolveResult& r,
                                       const std::vector<std::uint8_t>& confirmed) {
  std::vector<std::int64_t> newColumn(c.status.size(), -1), leader;
  std::vector<RootStatus> status;
  std::vector<PathRecord> records;
  std::size_t next = 0;
  for (std::size_t k = 0; k < c.status.size(); ++k) {
    const auto column = static_cast<std::int64_t>(k);
    const bool dropped = next < c.dropped.size() && c.dropped[next].column == column;
    next += dropped ? 1 : 0;
    if (dropped) continue;
    newColumn[k] = static_cast<std::int64_t>(status.size());
    status.push_back(c.status[k]);
    records.push_back(k < r.records.size() ? r.records[k] : PathRecord{});
    if (confirmed[k]) records.back().windingNumber = 0;
  }
  for (std::size_t k = 0; k < c.status.size(); ++k)
    if (newColumn[k] >= 0) leader.push_back(newColumn[c.groupLeader[k]]);
  return InconsistentGroupWarnings(leader, status, records);
}

}  // namespace

bool IsAtInfinity(PathStatus status) { return status == PathStatus::kDiverged; }

Classification ClassifyRoots(const NormalForm& system, const SolveResult& r, int threads,
                             const std::function<bool()>& interrupted,
                             bool analyseEverySingularRoot) {
  const FinishStop stop(interrupted);
  const NormalForm normalized = WithEquationsNormalized(system);
  std::vector<EndPointVerdict> points = DecidePoints(normalized, r, threads, stop);
  const std::vector<double> origin = OriginScales(system);
  SeparateSearchedRoots(normalized, r, points);
  TestSetPoints(normalized, r, origin, threads, stop, points);
  JoinSetsAtTheirPoints(r, origin, threads, stop, points);
  Classification c;
  c.groupLeader = GroupLeaders(r, points, origin, threads, stop);
  DecideRoots(normalized, r, points, threads, stop, c);
  std::vector<std::uint8_t> confirmed;
  ResolveSingularGroups(
      AnalyzeSingularGroups(normalized, r, c, analyseEverySingularRoot, threads, stop), r, c,
      c.proofs, confirmed);
  c.counts = CountPaths(c, r);
  const std::vector<std::string> groupWarnings = GroupWarnings(c, r, confirmed);
  c.warnings.insert(c.warnings.begin(), groupWarnings.begin(), groupWarnings.end());
  const std::string noPath = NoPathWarning(r.route, r.pathCount);
  if (!noPath.empty()) c.warnings.push_back(noPath);
  return c;
}

void TakeClassification(Classification&& c, SolveResult& result,
                        std::vector<SingularProof>* proofs) {
  if (proofs != nullptr) {
    // Columns after the drop: a column moves back by the dropped columns before it.
    for (SingularProof& proof : c.proofs) {
      for (std::int64_t& k : proof.members) {
        k -= std::lower_bound(c.dropped.begin(), c.dropped.end(), DroppedEndPoint{k},
                              [](const DroppedEndPoint& a, const DroppedEndPoint& b) {
                                return a.column < b.column;
                              }) -
             c.dropped.begin();
      }
    }
    *proofs = std::move(c.proofs);
  }
  result.rootStatus = std::move(c.status);
  result.scaledConditionNumbers = std::move(c.scaledConditionNumbers);
  result.multiplicity = std::move(c.multiplicity);
  result.groupLeader = std::move(c.groupLeader);
  result.localDimension = std::move(c.localDimension);
  for (const auto& [k, value] : c.accurateValues) {
    std::copy(value.begin(), value.end(), result.roots.col(k));
    const std::uint8_t real = IsRealPoint(value.data(), result.n) ? 1 : 0;
    result.realCount += real - result.isReal[k];
    result.isReal[k] = real;
  }
  result.classes = c.counts;
  DropEndPoints(result, c.dropped);
  result.warnings.insert(result.warnings.end(), c.warnings.begin(), c.warnings.end());
}

}  // namespace zormix
