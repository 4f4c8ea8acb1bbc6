#include "finish/point_rules.h"

#include <utility>

#include "finish/parameters.h"

namespace zormix {
namespace {

EndPointVerdict Verdict(EndPointEvidence& e, PointClass kind, PointRule rule) {
  const Candidacy& c = e.RegularCandidacy();
  EndPointVerdict v;
  v.kind = kind;
  v.rule = rule;
  v.value = c.value;
  v.source = c.source;
  v.certificate = c.certificate;
  v.measures = e.Measures();
  return v;
}

// A point so ill-conditioned that double precision leaves Newton's method no digit to converge in
// is a candidate only by proof: Krawczyk's test in the units that take its coordinates at the
// origin as zeros (ProofInOriginUnits). Its box holds one root and only invertible Jacobians, so
// no set passes through it and no other root is near it: nothing below needs asking.
std::optional<EndPointVerdict> ProvenInOriginUnits(EndPointEvidence& e) {
  if (!(e.Measures().scaledCondition > finish::kResolvable)) return std::nullopt;
  const auto& proof = e.ProofInOriginUnits();
  if (!proof) return std::nullopt;
  EndPointVerdict v;
  v.kind = PointClass::kRegularCandidate;
  v.rule = PointRule::kProvenInOriginUnits;
  v.value.assign(e.point(), e.point() + e.n());
  v.certificate = proof->certificate;
  v.measures = proof->measures;
  return v;
}

// One unknown: kappa_s is always 1 and near a multiple root the residual is exact rounding noise,
// so Newton's method "converges" at its first step. A point whose Taylor coefficients show several
// roots in a disk around it (root_cluster.h), tested where Newton's method ended (a simple root
// next to another is alone in a disk there, while at a multiple root Newton's method stays within
// the cluster), is singular: its value is the multiple root, and the disk groups it.
std::optional<EndPointVerdict> MultipleRootInOneUnknown(EndPointEvidence& e) {
  if (e.n() != 1 || e.Cluster().count < 2) return std::nullopt;
  EndPointVerdict v = Verdict(e, PointClass::kSingular, PointRule::kMultipleRootInOneUnknown);
  v.certificate.reset();
  v.value.assign(1, e.Cluster().center);
  v.source = ValueSource::kMultipleRoot;
  v.clusterRadius = e.Cluster().radius;
  return v;
}

// Krawczyk's test proves a unique root in a box around the point, at which every Jacobian is
// invertible: a simple root, with no set through it.
std::optional<EndPointVerdict> ProvenByBox(EndPointEvidence& e) {
  if (!e.RegularCandidacy().certificate) return std::nullopt;
  return Verdict(e, PointClass::kRegularCandidate, PointRule::kProvenByBox);
}

// The local dimension test by slicing (LocalDimension) finds a set through the point. Asked of
// every point that is no candidate, and of candidates above finish.well_conditioned that no box
// proved: a point 1e-9 off a curve with kappa_s near 1e10 passes Newton's test too (cyclic-8,
// seeds 2 and 3), while a regular root below finish.shown_by_newton meets no slice (its residual
// there is at least the slice's distance over kappa_s).
std::optional<EndPointVerdict> OnSetBySlices(EndPointEvidence& e) {
  if (e.RegularCandidacy().candidate && !(e.Measures().scaledCondition > finish::kWellConditioned))
    return std::nullopt;
  const int dimension = e.SlicedDimension();
  if (dimension == 0) return std::nullopt;
  EndPointVerdict v = Verdict(e, PointClass::kOnSet, PointRule::kOnSetBySlices);
  v.dimension = dimension;
  return v;
}

// The point lies on a set inside a coordinate subspace (SetInCoordinateSubspace: its coordinates
// at rounding noise zeroed, or, for the last point of a path, those below a tenth of their
// natural size): the set's dimension, and the set's point as its value. Candidates too: where
// sets in coordinate subspaces cross (0, 0, -1, 0, 0, 0, 0 of the reduced cyclic-8 system, on two
// lines), Newton's steps leave the vanishing coordinates at their rounding noise, and kappa_s in
// their own units looks like a regular root's. A regular root keeps full rank in any subspace, so
// the test never takes one for a set.
std::optional<EndPointVerdict> OnSetInSubspace(EndPointEvidence& e) {
  const SubspaceSetPoint& onSet = e.SubspaceSet();
  if (onSet.dimension == 0) return std::nullopt;
  EndPointVerdict v = Verdict(e, PointClass::kOnSet, PointRule::kOnSetInSubspace);
  v.dimension = onSet.dimension;
  v.value = onSet.point;
  v.source = ValueSource::kSubspacePoint;
  return v;
}

// An accurate end point that is no candidate and no root to working accuracy (Newton's step above
// finish.unconverged_step of it) is, like a path's last point, on its approach to where the path
// goes: when that is a set in a coordinate subspace near it, the point is on the set (the reduced
// cyclic-8 system: a path accepted with residual 1e-6, its coordinates y5, y6, y7 near 5e-4 and
// falling, 7e-4 from the set y2 = y5 = y6 = y7 = 0; a Cauchy end game's point 1e-10 from the
// crossing of sets at (0, 0, 0, 0, -1, 0, 0), whose tiny coordinates Newton's step changes by their
// own size, where the slices miss the sets).
std::optional<EndPointVerdict> OnSetAhead(EndPointEvidence& e) {
  if (e.approached() || e.RegularCandidacy().candidate ||
      !(e.Measures().relativeStep > finish::kUnconvergedStep))
    return std::nullopt;
  const SubspaceSetPoint& onSet = e.ApproachSubspaceSet();
  if (onSet.dimension == 0) return std::nullopt;
  EndPointVerdict v = Verdict(e, PointClass::kOnSet, PointRule::kOnSetAhead);
  v.dimension = onSet.dimension;
  v.value = onSet.point;
  v.source = ValueSource::kSubspacePoint;
  return v;
}

// The end game found the point's path on a cycle of w >= 2 loops around the target (its winding
// number): w paths reach the limit, which is then a multiple root (at a regular root the path is
// analytic in t, of winding number 1). Newton's test, where it passes there, was shown a point so
// close to the root that its first step lies at the floor (x^2, y^2 + x - 1: the end game's
// point 3e-22 from the double root (0, 1), whose Newton step x / 2 lies below the floor in the
// point's units); only the interval proof, above, outweighs the cycle.
std::optional<EndPointVerdict> EndGameCycle(EndPointEvidence& e) {
  if (e.windingNumber() < 2 || !e.RegularCandidacy().candidate) return std::nullopt;
  return Verdict(e, PointClass::kSingular, PointRule::kEndGameCycle);
}

// Newton's method converges quadratically from the point (in long double or double-double) to a
// limit that keeps its condition: a regular candidate, at that limit.
std::optional<EndPointVerdict> Converged(EndPointEvidence& e) {
  if (!e.RegularCandidacy().candidate) return std::nullopt;
  return Verdict(e, PointClass::kRegularCandidate, PointRule::kConverged);
}

// Neither a regular candidate nor on a set: a point of a singular root, or undecided. The last
// point of a path handed over without a limit takes the root in the coordinate subspace it
// approaches, when there is one (its value is 1e-2 off its limit).
std::optional<EndPointVerdict> NoRegularEvidence(EndPointEvidence& e) {
  EndPointVerdict v = Verdict(e, PointClass::kSingular, PointRule::kNoRegularEvidence);
  if (e.approached() && !e.SubspaceSet().point.empty()) {
    v.value = e.SubspaceSet().point;
    v.source = ValueSource::kSubspacePoint;
  }
  return v;
}

}  // namespace

const std::vector<std::pair<PointRule, PointRuleFunction>>& PointRules() {
  static const std::vector<std::pair<PointRule, PointRuleFunction>> rules{
      {PointRule::kProvenInOriginUnits, ProvenInOriginUnits},
      {PointRule::kMultipleRootInOneUnknown, MultipleRootInOneUnknown},
      {PointRule::kProvenByBox, ProvenByBox},
      {PointRule::kOnSetBySlices, OnSetBySlices},
      {PointRule::kOnSetInSubspace, OnSetInSubspace},
      {PointRule::kOnSetAhead, OnSetAhead},
      {PointRule::kEndGameCycle, EndGameCycle},
      {PointRule::kConverged, Converged},
      {PointRule::kNoRegularEvidence, NoRegularEvidence},
  };
  return rules;
}

EndPointVerdict DecidePoint(EndPointEvidence& evidence) {
  for (const auto& [rule, decide] : PointRules())
    if (std::optional<EndPointVerdict> verdict = decide(evidence)) return std::move(*verdict);
  return {};  // unreachable: the last rule always decides
}

}  // namespace zormix
