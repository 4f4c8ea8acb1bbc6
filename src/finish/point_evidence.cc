#include "finish/point_evidence.h"

#include <algorithm>

#include "base/numeric.h"
#include "finish/dd_newton.h"
#include "finish/extended_newton.h"
#include "finish/parameters.h"
#include "tracker/dd/dd_rescue.h"

namespace zormix {
namespace {

// Newton's method also converges quadratically onto a solution set from a point off it (x (x + y
// - 1), y (x + y - 1) from 3e-6 off the line, kappa_s 4.8e5), where the Jacobian at the limit is
// singular: a regular root keeps its condition at the limit, up to the drift of the start's
// distance (finish.condition_drift).
//
// A limit within rounding of a well-conditioned start needs no second measure: its Jacobian moved
// by about d^2 times that move in units, while its smallest singular value is at least
// 1 / finish.well_conditioned, so kappa_s cannot have grown by finish.condition_drift.
bool RegularAtLimit(const UnitsEvaluation& evaluation, const Complex* x, const Complex* limit,
                    double kappa) {
  const NormalForm& system = evaluation.system;
  constexpr double kNegligibleMove = 8.0 * kMachineEpsilon;  // in the start's units
  if (kappa <= finish::kWellConditioned) {
    const std::vector<double> units = ColumnUnitsAt(x, system.scaled.n);
    bool negligible = true;
    for (int j = 0; j < system.scaled.n && negligible; ++j)
      negligible = std::abs(limit[j] - x[j]) <= kNegligibleMove * units[j];
    if (negligible) return true;
  }
  const double atLimit = MeasurePoint(evaluation, limit).scaledCondition;
  return atLimit <= finish::kResolvable &&
         atLimit <= finish::kConditionDrift * std::max(kappa, 1.0);
}

}  // namespace

EndPointEvidence::EndPointEvidence(const UnitsEvaluation& evaluation, const Complex* x,
                                   bool approached, std::int32_t windingNumber)
    : evaluation_(evaluation),
      system_(evaluation.system),
      x_(x),
      approached_(approached),
      windingNumber_(windingNumber) {}

const PointMeasures& EndPointEvidence::Measures() {
  if (!measures_) measures_ = MeasurePoint(evaluation_, x_);
  return *measures_;
}

// A genuine coordinate near the origin makes its column of A as small as itself: the slacks of
// an embedded system, 1e-9 off 0 at a witness point where the coefficients carry 12 digits, give
// kappa_s 1e13 at a root where kappa_s with the coordinates at the origin taken as zeros
// (ColumnUnitsAtOrigin) is 1.6e4. That measure is as low at points on sets and at singular roots
// (1e8 to 3e9 at the end points of tangents1 and rose), so it counts only with the interval
// proof, whose box holds one root and only invertible Jacobians; then it is the point's measure.
const std::optional<EndPointEvidence::OriginProof>& EndPointEvidence::ProofInOriginUnits() {
  if (originProofAsked_) return originProof_;
  originProofAsked_ = true;
  PointUnits units;
  units.column = ColumnUnitsAtOrigin(x_, OriginScales(system_));
  units.row = RowUnits(evaluation_, x_, units.column);
  const PointMeasures atOrigin = MeasureInUnits(evaluation_, units, x_, finish::kCoordinateFloor);
  if (!(atOrigin.scaledCondition <= finish::kResolvable)) return originProof_;
  Certificate c = CertifyPoint(system_, x_, false);
  if (c.certified) originProof_ = OriginProof{atOrigin, std::move(c)};
  return originProof_;
}

const Candidacy& EndPointEvidence::RegularCandidacy() {
  if (!candidacy_) candidacy_ = ExamineCandidacy();
  return *candidacy_;
}

// In the order of cost:
//  - kappa_s <= finish.resolvable: Newton's method in long double (ConvergesQuadratically; with
//    several unknowns the condition against the terms must be resolvable too: where the Jacobian
//    vanishes as a whole kappa_s stays small while Newton's steps are rounding noise of size
//    u ||A^-1||), a candidate when it converges and kappa_s <= finish.shown_by_newton; the
//    interval test at its value where that made no candidate or kappa_s is above
//    finish.well_conditioned (its box then tells the point from a near-coincident root);
//  - one unknown, where long double neither converged nor proved: Newton's method in
//    double-double from the end point, or from where it moves to from an end point left far off
//    (SearchRootInDoubleDouble): its condition is always 1 there, and double-double decides;
//  - several unknowns, no candidate yet, kappa_s and ||A^-1|| at most finish.shown_by_newton:
//    Newton's method in double-double, whose probe lies 1e13 times closer to the root than long
//    double's (cohn3's real root with t = 1.9e-11 beside y = -1.4e4: kappa_s 2.3e7, long double's
//    probe start beyond the quadratic region, the interval box drowned in the rounding of terms
//    of 5e16). Next to a multiple root Newton's method converges linearly, next to a set onto a
//    limit whose condition is far beyond the start's: neither passes.
Candidacy EndPointEvidence::ExamineCandidacy() {
  Candidacy c;
  const int n = this->n();
  c.value.assign(x_, x_ + n);
  const PointMeasures& m = Measures();
  const double kappa = m.scaledCondition;
  if (kappa <= finish::kResolvable) {
    const double termKappa = n >= 2 ? std::max(kappa, m.termCondition) : kappa;
    if (termKappa <= finish::kResolvable &&
        ConvergesQuadratically(system_, x_, kappa, termKappa, &c.value)) {
      c.source = ValueSource::kNewtonLimit;
      c.newtonConverged = RegularAtLimit(evaluation_, x_, c.value.data(), kappa);
    }
    c.candidate = c.newtonConverged && kappa <= finish::kShownByNewton;
    if (!c.candidate || kappa > finish::kWellConditioned) {
      Certificate box = CertifyPoint(system_, c.value.data(), false);
      if (box.certified) c.certificate = std::move(box);
      c.candidate = c.candidate || c.certificate.has_value();
    }
  }
  if (!c.candidate && !c.newtonConverged && kappa <= kResolvableInDoubleDouble &&
      n <= kMostDoubleDoubleVariables) {
    if (ConvergesInDoubleDouble(system_, x_, &c.value)) {
      c.candidate = true;
      c.source = ValueSource::kDoubleDouble;
    } else if (const std::optional<Complex> near = SearchRootInDoubleDouble(system_, x_[0]);
               near && ConvergesInDoubleDouble(system_, &*near, &c.value)) {
      c.candidate = true;
      c.source = ValueSource::kSearched;
    }
  }
  if (!c.candidate && n >= 2 && kappa <= finish::kShownByNewton &&
      m.termCondition <= finish::kShownByNewton && ConvergesInDoubleDouble(system_, x_, &c.value)) {
    c.candidate = true;
    c.source = ValueSource::kDoubleDouble;
  }
  return c;
}

int EndPointEvidence::SlicedDimension() {
  if (!slicedDimension_) slicedDimension_ = LocalDimension(system_, x_);
  return *slicedDimension_;
}

const SubspaceSetPoint& EndPointEvidence::SubspaceSet() {
  if (!subspaceSet_) subspaceSet_ = SetInCoordinateSubspace(system_, x_, approached_);
  return *subspaceSet_;
}

const SubspaceSetPoint& EndPointEvidence::ApproachSubspaceSet() {
  if (approached_) return SubspaceSet();
  if (!approachSubspaceSet_) approachSubspaceSet_ = SetInCoordinateSubspace(system_, x_, true);
  return *approachSubspaceSet_;
}

const RootCluster& EndPointEvidence::Cluster() {
  if (!cluster_) cluster_ = RootClusterAt(system_, RegularCandidacy().value[0]);
  return *cluster_;
}

}  // namespace zormix
