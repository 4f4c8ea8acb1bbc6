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
#include "finish/verdict_warnings.h"

namespace zormix {
namespace {

bool Approached(const SolveResult& r, std::int64_t k) {
  return k < static_cast<std::int64_t>(r.records.size()) && ApproachedEndPoint(r.records[k]);
}

// Each point's verdict depends on that point alone: any thread count gives the same verdicts.
std::vector<PointVerdict> DecidePoints(const NormalForm& normalized, const SolveResult& r,
                                       int threads, const FinishStop& stop) {
  const std::int64_t count = r.roots.cols();
  std::vector<PointVerdict> points(static_cast<std::size_t>(count));
  RunUnitsInParallel(
      count, std::max(1, threads),
      [&]() -> UnitFunction {
        return [&](std::int64_t k) {
          EndPointEvidence evidence(normalized, r.roots.col(k), Approached(r, k),
                                    WindingNumber(r, k));
          points[k] = DecidePoint(evidence);
        };
      },
      stop.Poll());
  return points;
}

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
    if (std::binary_search(c.unresolved.begin(), c.unresolved.end(), column)) {
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

// The verdicts of the groups' members, from their points' verdicts and their groups.
void DecideRoots(const SolveResult& r, std::vector<PointVerdict>& points, Classification& c) {
  const auto count = static_cast<std::int64_t>(points.size());
  c.multiplicity.assign(count, 0);
  for (std::int64_t k = 0; k < count; ++k) ++c.multiplicity[c.groupLeader[k]];
  for (std::int64_t k = 0; k < count; ++k) c.multiplicity[k] = c.multiplicity[c.groupLeader[k]];
  c.status.resize(count);
  c.scaledConditionNumbers.resize(count);
  c.localDimension.resize(count);
  c.pointRule.resize(count);
  c.rootRule.resize(count);
  for (std::int64_t k = 0; k < count; ++k) {
    PointVerdict& point = points[k];
    const RootVerdict verdict = DecideRoot({point, WindingNumber(r, k), c.multiplicity[k]});
    c.status[k] = StatusOf(verdict.kind);
    c.pointRule[k] = point.rule;
    c.rootRule[k] = verdict.rule;
    c.scaledConditionNumbers[k] = point.measures.scaledCondition;
    c.localDimension[k] = point.kind == PointClass::kOnSet ? point.dimension : 0;
    if (verdict.kind == RootClass::kUnresolved) c.unresolved.push_back(k);
    // A regular root keeps its accurate value; so does every point whose value is not the root's
    // own estimate but a point its tests computed (a multiple root, a point of a subspace).
    const bool accurate = point.source == ValueSource::kMultipleRoot ||
                          point.source == ValueSource::kSubspacePoint ||
                          (verdict.kind == RootClass::kRegular && IsAccurate(point.source));
    if (accurate) c.accurateValues.emplace_back(k, std::move(point.value));
  }
}

}  // namespace

bool IsAtInfinity(PathStatus status) { return status == PathStatus::kDiverged; }

Classification ClassifyRoots(const NormalForm& system, const SolveResult& r, int threads,
                             const std::function<bool()>& interrupted) {
  const FinishStop stop(interrupted);
  const NormalForm normalized = WithEquationsNormalized(system);
  std::vector<PointVerdict> points = DecidePoints(normalized, r, threads, stop);
  const std::vector<double> origin = OriginScales(system);
  SeparateSearchedRoots(normalized, r, points);
  JoinSetsAtTheirPoints(r, origin, threads, stop, points);
  Classification c;
  c.groupLeader = GroupLeaders(r, points, origin, threads, stop);
  DecideRoots(r, points, c);
  c.counts = CountPaths(c, r);
  c.warnings = InconsistentGroupWarnings(c.groupLeader, c.status, r.records);
  const std::string noPath = NoPathWarning(r.route, r.pathCount);
  if (!noPath.empty()) c.warnings.push_back(noPath);
  return c;
}

void TakeClassification(Classification&& c, SolveResult& result) {
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
  DropEndPoints(result, c.unresolved);
  result.warnings.insert(result.warnings.end(), c.warnings.begin(), c.warnings.end());
}

}  // namespace zormix
