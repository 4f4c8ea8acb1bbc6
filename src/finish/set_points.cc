#include "finish/set_points.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "base/numeric.h"
#include "base/parallel.h"
#include "finish/classify.h"
#include "finish/grouping.h"
#include "finish/local_dimension.h"
#include "finish/parameters.h"
#include "local/analyze.h"
#include "local/parameters.h"

namespace zormix {
namespace {

bool OnSet(const EndPointVerdict& v) { return v.kind == PointClass::kOnSet; }

// The clusters that hold a point on a set, each its columns in ascending order.
std::vector<std::vector<std::int64_t>> ClustersWithASet(
    const std::vector<std::int64_t>& leader, const std::vector<EndPointVerdict>& points) {
  std::vector<std::vector<std::int64_t>> byLeader(leader.size());
  for (std::size_t k = 0; k < leader.size(); ++k)
    byLeader[leader[k]].push_back(static_cast<std::int64_t>(k));
  std::vector<std::vector<std::int64_t>> clusters;
  for (auto& members : byLeader)
    if (members.size() <= static_cast<std::size_t>(finish::kLargestTestedCluster.value()) &&
        std::any_of(members.begin(), members.end(),
                    [&](std::int64_t k) { return OnSet(points[k]); }))
      clusters.push_back(std::move(members));
  return clusters;
}

// A point refinement refused may still be on its way to a set in a coordinate subspace, as the
// last points of paths that approach one slowly are (SetInCoordinateSubspace, as for
// PointRule::kOnSetAhead): then it is on that set, at the set's point; else no set's.
void Refuse(const NormalForm& system, const SolveResult& r, std::int64_t k, EndPointVerdict& v) {
  SubspaceSetPoint ahead = SetInCoordinateSubspace(system, r.roots.col(k), true);
  if (ahead.dimension > 0) {
    v.rule = PointRule::kOnSetAhead;
    v.dimension = ahead.dimension;
    v.value = std::move(ahead.point);
    v.source = ValueSource::kSubspacePoint;
    return;
  }
  v.kind = PointClass::kSingular;
  v.rule = PointRule::kNoRootNearSet;
  v.dimension = 0;
}

void Apply(const NormalForm& system, const SolveResult& r, const PointAnalysis& a,
           const std::vector<std::int64_t>& members, std::vector<EndPointVerdict>& points) {
  for (const std::int64_t k : members) {
    EndPointVerdict& v = points[k];
    if (!OnSet(v)) continue;
    switch (a.verdict) {
      case PointVerdict::kPositiveDimensional:
        if (a.localDimension == 0) break;  // only isolation asked: the slices' dimension stands
        v.rule = PointRule::kOnSetByLocalDimension;
        v.dimension = a.localDimension;
        break;
      case PointVerdict::kIsolatedRoot:
        v.kind = PointClass::kSingular;
        v.rule = PointRule::kIsolatedByDualSpace;
        v.dimension = 0;
        break;
      case PointVerdict::kNotARoot:
        // A point of a set in a coordinate subspace was solved there to finish.on_set_residual,
        // its vanishing coordinates exactly 0, where the refinement's units (its spread 0) see no
        // room to move: the subspace's own test stands.
        if (v.source != ValueSource::kSubspacePoint) Refuse(system, r, k, v);
        break;
      case PointVerdict::kUndecided:
        break;
    }
  }
}

// A cluster whose first order decides (FirstOrderAt), every member on a set, a root to rounding
// (a failed path elsewhere in the solve is not counted here: at a large system's few failed paths
// every cluster would need the whole test, redcyc8 by total degree 100 s):
//   - isolation: the dual space has 1 + corank functionals of order <= 1, more than the cluster's
//     paths, so the point is no isolated root within that bound;
//   - dimension: the slices' dimension equals the corank (a smooth point of a reduced set), or
//     the path reached the point on a cycle (DimensionAsked says why the slices' then stands).
// Most points of sets are such (cyclic-8's curves), and cost a Jacobian each.
bool DecidedByFirstOrder(const NormalForm& system, const SolveResult& r,
                         const std::vector<std::int64_t>& members,
                         const std::vector<EndPointVerdict>& points) {
  const auto paths = static_cast<int>(members.size());
  return std::all_of(members.begin(), members.end(), [&](std::int64_t k) {
    const EndPointVerdict& v = points[k];
    if (!OnSet(v)) return false;
    const FirstOrder first = FirstOrderAt(system, v.value.data());
    return first.residual <= kRootResidual.value() * kMachineEpsilon && 1 + first.corank > paths &&
           (first.corank == v.dimension || WindingNumber(r, k) >= 2);
  });
}

// Whether the cluster's dimension is asked of the slices of the local dimension test, beyond its
// isolation: at a lone end point at rounding whose path reached it without a cycle (at a smooth
// point of a reduced set the corank of the Jacobian is the set's dimension, and one path arrives;
// a point off the set by more is refined, and asked only whether it is a root and isolated). End
// points that arrive in cycles or in numbers sit at singular points of a set, whose corank exceeds
// its dimension (cyclic-8: 576 in pairs of winding number 2, at points of corank 2 or 3 on
// curves): their isolation is asked, and the slices' dimension stands. The slices at such points
// cost dual spaces up to the order of the multiplicity limit in every dimension below the set's
// (redcyc8 by total degree: 100 s).
bool DimensionAsked(const NormalForm& system, const SolveResult& r,
                    const std::vector<std::int64_t>& members,
                    const std::vector<EndPointVerdict>& points) {
  return members.size() == 1 && OnSet(points[members.front()]) &&
         WindingNumber(r, members.front()) < 2 &&
         FirstOrderAt(system, points[members.front()].value.data()).residual <=
             kRootResidual.value() * kMachineEpsilon;
}

}  // namespace

void TestSetPoints(const NormalForm& system, const SolveResult& r,
                   const std::vector<double>& origin, int threads, const FinishStop& stop,
                   std::vector<EndPointVerdict>& points) {
  if (r.n == 0 || std::none_of(points.begin(), points.end(), OnSet)) return;
  const std::vector<std::vector<std::int64_t>> clusters =
      ClustersWithASet(SetClusterLeaders(r, points, origin, threads, stop), points);
  std::int64_t failed = 0;
  for (const PathRecord& lost : r.lostPaths) failed += IsAtInfinity(lost.status) ? 0 : 1;
  std::vector<PointAnalysis> analyses(clusters.size());
  RunUnitsInParallel(
      static_cast<std::int64_t>(clusters.size()), std::max(1, threads),
      [&]() -> UnitFunction {
        return [&](std::int64_t u) {
          if (DecidedByFirstOrder(system, r, clusters[u], points)) {
            analyses[u].verdict = PointVerdict::kUndecided;  // the rules' verdict stands
            return;
          }
          std::vector<std::vector<Complex>> endPoints;
          for (const std::int64_t k : clusters[u]) endPoints.push_back(points[k].value);
          const auto m = static_cast<std::int64_t>(endPoints.size());
          analyses[u] =
              LocalDimensionOfPoint(system, endPoints, static_cast<int>(m + std::min(failed, m)),
                                    DimensionAsked(system, r, clusters[u], points));
        };
      },
      stop.Poll());
  for (std::size_t u = 0; u < clusters.size(); ++u)
    Apply(system, r, analyses[u], clusters[u], points);
}

}  // namespace zormix
