#include "finish/classify.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <optional>
#include <vector>

#include "base/disjoint_sets.h"
#include "base/inverse.h"
#include "base/parallel.h"
#include "finish/certify.h"
#include "finish/dd_newton.h"
#include "finish/drop_end_points.h"
#include "finish/extended_newton.h"
#include "finish/finish.h"
#include "finish/finish_stop.h"
#include "finish/local_dimension.h"
#include "finish/root_cluster.h"
#include "finish/scaled_jacobian.h"
#include "finish/verdict_warnings.h"
#include "tracker/dd/dd_rescue.h"

namespace zormix {
namespace {

constexpr double kUninvertible = 1e300;   // kappa_s of a matrix without an inverse
constexpr double kWellConditioned = 1e6;  // kappa_s above it: the interval test runs too
constexpr double kResolvable = 1e12;
// kappa_s above it: only the interval proof makes a candidate. Measured: on fourbar an end point
// on a positive-dimensional set with kappa_s 5e11 passes the long-double test, while i1's three
// regular roots with kappa_s 3e11..7e11 are proven by their boxes.
constexpr double kShownByNewton = 1e10;  // kappa_s above it: no digit left to converge in
constexpr double kConditionDrift = 1e3;  // kappa_s at Newton's limit at most this times the start's
constexpr double kStepsPerError = 100.0;             // tau >= 100 relativeStep
constexpr double kMinCoincidence = 1e-10;            // tau of a perfectly conditioned point
constexpr double kMaxCoincidence = 1e-5;             // tau of a regular candidate at most
constexpr double kMaxSingularCoincidence = 1e-2;     // tau of a singular point of unknown order
constexpr double kEndGameCoincidence = 1e-8;         // tau of a point the end game extrapolated
constexpr double kUnextrapolatedCoincidence = 1e-6;  // 100 u^(1/2): least tau of a singular point
constexpr double kErrorPerCondition = 1e-15;         // tau = kErrorPerCondition * kappa_s, clamped
constexpr double kCoordinateFloor = 1e-6;  // a coordinate compares at least at this share of max
// Two singular points compare every coordinate at the share 1 of the largest: their error is a
// distance from the root in the point's size, whatever the coordinate's own (the end game's
// points at a root of multiplicity 12 of the embedded reduced cyclic-9 system agree to 3e-9 in
// every coordinate, their zero coordinates ranging from 1e-16 to 2e-9).
constexpr double kSingularCoordinateFloor = 1.0;
// Newton's step over a tiny coordinate at most this: the coordinate is known, not rounding noise.
constexpr double kResolvedStep = 1e-8;
// Two roots found by Newton's method in double-double within this share of their size are one.
constexpr double kSearchedCoincidence = 1e-8;
// Newton's relative step above it: the end point is no root to working accuracy.
constexpr double kUnconvergedStep = 1e-6;

// What is known of one end point before grouping.
struct PointEvidence {
  PointMeasures measures;
  bool candidate = false;                  // a regular root if alone at its point
  std::optional<Certificate> certificate;  // when the interval test was run and succeeded
  std::int32_t localDimension = 0;
  std::vector<Complex> value;   // where Newton converged (a candidate), else the end point
  bool byDoubleDouble = false;  // value is the root Newton's method found in double-double
  // One unknown: a disk around the end point holding several roots (root_cluster.h), 0 if none.
  double clusterRadius = 0.0;
  bool multipleRoot = false;  // value is the multiple root computed from the Taylor coefficients
  bool inSubspace = false;    // value is a solution in a coordinate subspace near the end point
  bool searched = false;      // one unknown: value is a root Newton's method moved to from afar
};

// The relative distance at which another end point is at the same root: the error this point
// carries. A regular candidate: its Newton step or kappa_s eps (with a margin of 4.5). A singular
// point: its Newton step is 1/m of its distance to the root (multiplicity m), and plain tracking
// leaves it up to eps^(1/m) away, so up to 1e-2 (m = 8); a point the end game extrapolated
// (winding number >= 2) carries about 1e-10.
double Tau(const PointEvidence& e, std::int32_t windingNumber) {
  const double error = std::max(kErrorPerCondition * e.measures.scaledCondition,
                                kStepsPerError * e.measures.relativeStep);
  // A candidate's value is Newton's limit: its error is kappa_s eps, whatever its step was. Found
  // in double-double, kappa_s 4.9e-32 lies below the rounding to double, so two such roots 4e-9
  // apart at kappa_s 1e9 stay two (in one unknown kappa_s is 1: nothing changes there).
  if (e.candidate && e.byDoubleDouble) return kMinCoincidence;
  if (e.candidate)
    return std::clamp(kErrorPerCondition * e.measures.scaledCondition, kMinCoincidence,
                      kMaxCoincidence);
  if (windingNumber >= 2) return kEndGameCoincidence;
  // Not extrapolated: at a root of multiplicity m >= 2 the residual reaches rounding up to
  // u^(1/m) >= 1e-8 away, where the Newton step is rounding noise too (points 1e-8 apart at
  // (1, 1) of (x - 1)^2, (y - 1)^2, each with residual 0).
  return std::clamp(std::max(error, kUnextrapolatedCoincidence), kMinCoincidence,
                    kMaxSingularCoincidence);
}

// In one unknown kappa_s is always 1 and near a multiple root the residual is exact rounding
// noise, so Newton's method "converges" at its first step: a point whose Taylor coefficients
// show several roots within a disk around it is no candidate, and the disk groups it.
// It is tested where Newton's method ended: a simple root next to another is one root alone in a
// disk there, while at a multiple root Newton's method stays within the cluster.
void ExamineCluster(const NormalForm& system, PointEvidence& e) {
  const RootCluster cluster = RootClusterAt(system, e.value[0]);
  if (cluster.count < 2) return;
  e.candidate = e.byDoubleDouble = false;
  e.value.assign(1, cluster.center);
  e.clusterRadius = cluster.radius;
  e.multipleRoot = true;
}

// An end point that approaches a set inside a coordinate subspace (local_dimension.h) gets the
// set's dimension, and the point of the set as its value.
void PlaceOnSubspaceSet(const NormalForm& system, const Complex* x, bool approached,
                        PointEvidence& e) {
  SubspaceSetPoint onSet = SetInCoordinateSubspace(system, x, approached);
  if (onSet.dimension == 0) {
    // The last point of a path is 1e-2 off its limit; the root in the subspace is the limit.
    if (approached && !e.candidate && !onSet.point.empty()) {
      e.value = std::move(onSet.point);
      e.inSubspace = true;
    }
    return;
  }
  e.localDimension = onSet.dimension;
  e.value = std::move(onSet.point);
  e.inSubspace = true;
}

// An end point that is no root to working accuracy (Newton's step above kUnconvergedStep of it)
// is, like a path's last point, on its approach to where the path goes: when that is a set in a
// coordinate subspace near it, the end point is on the set. The reduced cyclic-8 system: a path
// accepted at the target with residual 1e-6, its coordinates y5, y6, y7 near 5e-4 and falling,
// 7e-4 from the set in y2 = y5 = y6 = y7 = 0; the Cauchy end game's point (winding number 6)
// 1e-10 from the crossing of sets at (0, 0, 0, 0, -1, 0, 0), whose tiny coordinates Newton's
// step changes by their own size, where the slices at the point miss the sets. Only a set found
// changes the verdict; the value then is the set's point.
void PlaceUnconvergedOnSet(const NormalForm& system, const Complex* x, PointEvidence& e) {
  SubspaceSetPoint onSet = SetInCoordinateSubspace(system, x, true);
  if (onSet.dimension == 0) return;
  e.localDimension = onSet.dimension;
  e.value = std::move(onSet.point);
  e.inSubspace = true;
}

// Newton's method also converges quadratically onto a solution set from a point off it (x (x + y
// - 1), y (x + y - 1) from 3e-6 off the line, kappa_s 4.8e5), where the Jacobian at the limit is
// singular: a regular root keeps its condition at the limit, up to the drift of the start's
// distance (measured 6% at Wilkinson's roots).
bool RegularAtLimit(const NormalForm& system, const Complex* limit, double kappa) {
  const double atLimit = MeasurePoint(system, limit).scaledCondition;
  return atLimit <= kResolvable && atLimit <= kConditionDrift * std::max(kappa, 1.0);
}

PointMeasures MeasureInUnits(const NormalForm& system, const PointUnits& units, const Complex* x,
                             double floor);

// A genuine coordinate near the origin makes its column of A as small as itself: the slacks of
// an embedded system, 1e-9 off 0 at a witness point where the coefficients carry 12 digits, give
// kappa_s 1e13 at a root where kappa_s with the coordinates at the origin taken as zeros
// (ColumnUnitsAtOrigin) is 1.6e4. That measure is as low at points on sets and at singular roots
// (1e8 to 3e9 at the end points of tangents1 and rose), so it counts only with the interval
// proof, whose box holds one root and only invertible Jacobians; then it is the point's measure.
bool ProvenWithZerosAtOrigin(const NormalForm& system, const Complex* x, PointEvidence& e) {
  PointUnits units;
  units.column = ColumnUnitsAtOrigin(x, OriginScales(system));
  units.row = RowUnits(system, x, units.column);
  const PointMeasures atOrigin = MeasureInUnits(system, units, x, kCoordinateFloor);
  if (!(atOrigin.scaledCondition <= kResolvable)) return false;
  Certificate c = CertifyPoint(system, x, false);
  if (!c.certified) return false;
  e.measures = atOrigin;
  e.certificate = std::move(c);
  e.candidate = true;
  return true;
}

// Several unknowns, kappa_s and ||A^-1|| at most kShownByNewton: a regular root's convergence
// that long double cannot show, as its probe start 1000 u kappa_s off the root lies beyond the
// quadratic region, about 1 / (K kappa_s) with K the curvature in units (cohn3's real root with
// t = 1.9e-11 beside y = -1.4e4: kappa_s 2.3e7, K about 10, the probe's first step not a
// quarter of its distance), while its interval box drowns in the rounding of terms of 5e16.
// Double-double's probe lies 1e13 times closer. Next to a multiple root Newton's method
// converges linearly, next to a set onto a limit whose condition is far beyond the start's
// (dd_newton.h): neither passes; and the local dimension test still runs on the candidates above
// kWellConditioned.
void ShowConvergenceInDoubleDouble(const NormalForm& system, const Complex* x, PointEvidence& e) {
  if (e.measures.scaledCondition > kShownByNewton || e.measures.termCondition > kShownByNewton)
    return;
  std::vector<Complex> value;
  if (!ConvergesInDoubleDouble(system, x, &value)) return;
  e.value = std::move(value);
  e.candidate = e.byDoubleDouble = true;
}

// Regular candidates by convergence (long double Newton), or by proof (Krawczyk). The interval
// test also runs on every candidate above kWellConditioned, whose box then separates it from
// a near-coincident root better than any distance rule.
PointEvidence Examine(const NormalForm& system, const Complex* x, bool approached) {
  PointEvidence e;
  e.measures = MeasurePoint(system, x);
  e.value.assign(x, x + system.scaled.n);
  // A proven root needs none of the tests below: no set passes through it, no root is near it.
  if (e.measures.scaledCondition > kResolvable && ProvenWithZerosAtOrigin(system, x, e)) return e;
  const double kappa = e.measures.scaledCondition;
  bool converges = false;
  if (kappa <= kResolvable) {
    // With several unknowns, where the Jacobian vanishes as a whole kappa_s stays small while
    // the condition against the terms does not: Newton's steps there are rounding noise of
    // size u ||A^-1|| (an end point 1e-16 from (1, 1) of (x - 1)^2, (y - 1)^2 passed as
    // regular), and only the interval proof decides. One unknown: kappa_s is always 1, and
    // double-double decides.
    const double termKappa =
        system.scaled.n >= 2 ? std::max(kappa, e.measures.termCondition) : kappa;
    converges = termKappa <= kResolvable &&
                ConvergesQuadratically(system, x, kappa, termKappa, &e.value) &&
                RegularAtLimit(system, e.value.data(), kappa);
    e.candidate = converges && kappa <= kShownByNewton;
    // The box: the proof where convergence did not show, and for a candidate with kappa_s above
    // 1e6 what tells it from a near-coincident neighbour.
    if (!e.candidate || kappa > kWellConditioned) {
      Certificate c = CertifyPoint(system, e.value.data(), false);
      if (c.certified) e.certificate = std::move(c);
      e.candidate = e.candidate || e.certificate.has_value();
    }
  }
  // What long double could not decide, double-double may: 1e16 times finer. A point where long
  // double converged but kappa_s is beyond kShownByNewton stays undecided (a solution set's).
  // One variable only: with several, Newton's method in double-double converges quadratically
  // onto a solution set or next to a multiple root too, and the condition drift that tells them
  // apart in one variable does not (fourbar: points of its curves passed as regular roots).
  if (!e.candidate && !converges && kappa <= kResolvableInDoubleDouble &&
      system.scaled.n <= kMostDoubleDoubleVariables) {
    e.byDoubleDouble = e.candidate = ConvergesInDoubleDouble(system, x, &e.value);
    // An end point double tracking left well off its root first moves towards it.
    const std::optional<Complex> near =
        e.candidate ? std::nullopt : SearchRootInDoubleDouble(system, x[0]);
    if (near)
      e.searched = e.byDoubleDouble = e.candidate =
          ConvergesInDoubleDouble(system, &*near, &e.value);
  }
  if (!e.candidate && system.scaled.n >= 2) ShowConvergenceInDoubleDouble(system, x, e);
  // Convergence without a proof above kWellConditioned: an end point 1e-9 off a curve, with
  // kappa_s near 1e10, passes it too (cyclic-8, seeds 2 and 3). A regular root of kappa_s <= 1e10
  // meets no slice of the local dimension test (its residual there is at least the slice's
  // distance over kappa_s), so the test decides.
  const bool unproven = e.candidate && !e.certificate && kappa > kWellConditioned;
  if (!e.candidate || unproven) e.localDimension = LocalDimension(system, x);
  if (e.localDimension > 0) e.candidate = false;
  // Unproven candidates too: where two sets in coordinate subspaces cross (0, 0, -1, 0, 0, 0, 0
  // of the reduced cyclic-8 system, on two lines), Newton's steps leave the vanishing coordinates
  // at their rounding noise, and kappa_s measured in their own units looks like a regular root's.
  // A regular root keeps full rank in any subspace, so the test never takes one for a set.
  if (e.localDimension == 0 && !e.certificate) PlaceOnSubspaceSet(system, x, approached, e);
  if (!approached && e.localDimension == 0 && !e.candidate &&
      e.measures.relativeStep > kUnconvergedStep)
    PlaceUnconvergedOnSet(system, x, e);
  if (system.scaled.n == 1) ExamineCluster(system, e);
  return e;
}

// |x_j - y_j| <= tau max(|x_j|, |y_j|, floor, o_j) for every j, floor = floorShare max_k
// max(|x_k|, |y_k|) (largest: max_k |x_k| and max_k |y_k|, computed once per point, not per pair).
// Most pairs differ far beyond tau in some coordinate: since max(|Re d|, |Im d|) <= |d| and
// |z| <= |Re z| + |Im z|, those are told apart without a modulus (the margin covers the rounding of
// both sides, so the verdict is that of the moduli).
bool Coincide(const Complex* x, const Complex* y, int n, double tau,
              const std::vector<double>& origin, std::array<double, 2> largest,
              double floorShare = kCoordinateFloor) {
  constexpr double kRoundingMargin = 1.0 + 1e-12;
  const double floor = floorShare * std::max(largest[0], largest[1]);
  auto sum = [](Complex z) { return std::fabs(z.real()) + std::fabs(z.imag()); };
  for (int j = 0; j < n; ++j) {
    const Complex d = x[j] - y[j];
    const double apart = std::max(std::fabs(d.real()), std::fabs(d.imag()));
    const double bound = std::max({sum(x[j]), sum(y[j]), floor, origin[j]});
    if (apart > tau * bound * kRoundingMargin) return false;
    const double scale = std::max({std::abs(x[j]), std::abs(y[j]), floor, origin[j]});
    if (std::abs(d) > tau * scale) return false;
  }
  return true;
}

// Every point of the box center +- reach (per coordinate, real and imaginary parts) lies in box.
bool InsideBox(const Complex* center, const std::vector<double>& reach, const Certificate& box,
               int n) {
  for (int j = 0; j < n; ++j) {
    const Complex d = center[j] - box.center[j];
    const double r = reach.empty() ? 0.0 : reach[j];
    if (std::fabs(d.real()) + r > box.box[j] || std::fabs(d.imag()) + r > box.box[j]) return false;
  }
  return true;
}

bool Approached(const SolveResult& r, std::int64_t k) {
  return k < static_cast<std::int64_t>(r.records.size()) && ApproachedEndPoint(r.records[k]);
}

std::int32_t WindingNumber(const SolveResult& r, std::int64_t k) {
  return k < static_cast<std::int64_t>(r.records.size()) ? r.records[k].windingNumber : 0;
}

bool SameRoot(const SolveResult& r, const std::vector<PointEvidence>& e,
              const std::vector<double>& origin, const std::vector<double>& largest, std::int64_t a,
              std::int64_t b) {
  const std::optional<Certificate>& ca = e[a].certificate;
  const std::optional<Certificate>& cb = e[b].certificate;
  if (e[a].clusterRadius > 0.0 || e[b].clusterRadius > 0.0) {
    // A disk holding m roots: a point inside it, or a disk meeting it, is at those roots.
    return std::abs(e[a].value[0] - e[b].value[0]) <= e[a].clusterRadius + e[b].clusterRadius;
  }
  if (ca && cb) {
    return InsideBox(cb->center.data(), cb->reach, *ca, r.n) ||
           InsideBox(ca->center.data(), ca->reach, *cb, r.n);
  }
  if (ca && InsideBox(e[b].value.data(), {}, *ca, r.n)) return true;
  if (cb && InsideBox(e[a].value.data(), {}, *cb, r.n)) return true;
  const double ta = Tau(e[a], WindingNumber(r, a));
  const double tb = Tau(e[b], WindingNumber(r, b));
  // Two singular points meet at the larger error; a regular candidate keeps its own, smaller one.
  const bool singular = !e[a].candidate && !e[b].candidate;
  const double tau = singular ? std::max(ta, tb) : std::min(ta, tb);
  return Coincide(e[a].value.data(), e[b].value.data(), r.n, tau, origin, {largest[a], largest[b]},
                  singular ? kSingularCoordinateFloor : kCoordinateFloor);
}

// How far apart in Re x_0 two points of one root can be: the largest tau times the largest
// point, or the widest certified box twice.
double SweepWindow(const SolveResult& r, const std::vector<PointEvidence>& e,
                   const std::vector<double>& origin) {
  double largest = *std::max_element(origin.begin(), origin.end()), widest = 0.0;
  for (std::int64_t k = 0; k < r.roots.cols(); ++k) {
    largest = std::max(largest, MaxModulus(r.roots.col(k), r.n));
    if (e[k].certificate) {
      for (double w : e[k].certificate->box) widest = std::max(widest, w);
    }
    widest = std::max(widest, e[k].clusterRadius);
  }
  return std::max(kMaxSingularCoincidence * largest, 2.0 * widest);
}

// Calls visit(a, b) for the pairs of end points in `order` whose Re x_0 differ by at most the
// sweep window: only those can be at one point.
template <typename Visit>
void VisitNearPairs(const SolveResult& r, const std::vector<PointEvidence>& e,
                    const std::vector<double>& origin, std::vector<std::int64_t> order,
                    FinishStop& stop, Visit visit) {
  const double window = SweepWindow(r, e, origin);
  auto key = [&](std::int64_t k) { return e[k].value[0].real(); };
  std::sort(order.begin(), order.end(), [&](std::int64_t a, std::int64_t b) {
    return key(a) != key(b) ? key(a) < key(b) : a < b;
  });
  for (std::size_t s = 0; s < order.size(); ++s) {
    stop.AskIfDue();  // symmetric roots (cyclic-9) share x_0's real part: seconds of pairs
    for (std::size_t t = s + 1; t < order.size() && key(order[t]) - key(order[s]) <= window; ++t)
      visit(order[s], order[t]);
  }
}

// An end point at the point of an end point on a set (within its own tau) lies on that set too,
// with the set's dimension. Where sets cross, the coordinates that vanish at rounding level hide
// the set from one end point's own tests while the others show it (the reduced cyclic-7 system:
// of ten end points at (0, 0, -1, 0, 0, 0), nine on a set, one with kappa_s 45, alone a
// "regular root"). A regular root has no set through it: no end point of a set lies at it.
void JoinSetsAtTheirPoints(const SolveResult& r, const std::vector<double>& origin,
                           FinishStop& stop, std::vector<PointEvidence>& e) {
  const std::int64_t count = r.roots.cols();
  if (r.n == 0) return;
  std::vector<std::int64_t> all(count);
  std::iota(all.begin(), all.end(), 0);
  std::vector<std::int32_t> dimension(count, 0);
  VisitNearPairs(r, e, origin, all, stop, [&](std::int64_t a, std::int64_t b) {
    if ((e[a].localDimension > 0) == (e[b].localDimension > 0)) return;
    const std::int64_t onSet = e[a].localDimension > 0 ? a : b;
    const std::int64_t other = onSet == a ? b : a;
    if (e[other].certificate) return;  // proven alone in its box, with an invertible Jacobian
    // Coordinate by coordinate, without the floor at 1e-6 of the largest: an end point 4e-11 off
    // a regular root with coordinates up to 4e11 may pass the slices, and is not at the root.
    if (Coincide(e[onSet].value.data(), e[other].value.data(), r.n,
                 Tau(e[other], WindingNumber(r, other)), origin, {0.0, 0.0}, 0.0))
      dimension[other] = std::max(dimension[other], e[onSet].localDimension);
  });
  for (std::int64_t k = 0; k < count; ++k)
    if (dimension[k] > 0) e[k].localDimension = dimension[k];
}

// Union of the end points at one root, positive-dimensional ones left alone.
std::vector<std::int64_t> GroupLeaders(const SolveResult& r, const std::vector<PointEvidence>& e,
                                       const std::vector<double>& origin, FinishStop& stop) {
  const std::int64_t count = r.roots.cols();
  DisjointSets sets(count);
  std::vector<std::int64_t> order, leader(count);
  std::iota(leader.begin(), leader.end(), 0);
  if (r.n == 0) return leader;
  std::vector<double> largest(count);
  for (std::int64_t k = 0; k < count; ++k) {
    if (e[k].localDimension == 0) order.push_back(k);
    largest[k] = MaxModulus(e[k].value.data(), r.n);
  }
  VisitNearPairs(r, e, origin, std::move(order), stop, [&](std::int64_t a, std::int64_t b) {
    if (SameRoot(r, e, origin, largest, a, b)) sets.Join(a, b);
  });
  for (std::int64_t k = 0; k < count; ++k) leader[k] = sets.Find(k);
  return leader;
}

// Whether a root in `held` is z, to the accuracy of Newton's method in double-double.
bool Held(const std::vector<Complex>& held, Complex z) {
  return std::any_of(held.begin(), held.end(), [&](Complex a) {
    return std::abs(a - z) <= kSearchedCoincidence * std::max(std::abs(a), std::abs(z));
  });
}

// One unknown: each simple root draws one path. A root that Newton's method reached from an end
// point left far off (the search of Examine) and that another end point holds already is looked
// for again from that end point, with the roots held deflated; without a root of its own the point
// is undecided, at its end point again. In index order: any thread count gives the same verdicts.
void SeparateSearchedRoots(const NormalForm& system, const SolveResult& r,
                           std::vector<PointEvidence>& e) {
  if (r.n != 1) return;
  std::vector<Complex> held;
  for (const PointEvidence& point : e)
    if (point.candidate && !point.searched) held.push_back(point.value[0]);
  for (std::size_t k = 0; k < e.size(); ++k) {
    if (!e[k].searched) continue;
    if (!Held(held, e[k].value[0])) {
      held.push_back(e[k].value[0]);
      continue;
    }
    const Complex end = r.roots.col(static_cast<std::int64_t>(k))[0];
    const std::optional<Complex> near = SearchRootInDoubleDouble(system, end, held);
    std::vector<Complex> value;
    if (near && ConvergesInDoubleDouble(system, &*near, &value) && !Held(held, value[0])) {
      held.push_back(value[0]);
      e[k].value = std::move(value);
      continue;
    }
    e[k].candidate = e[k].byDoubleDouble = e[k].searched = false;
    e[k].value.assign(1, end);
  }
}

RootStatus StatusOf(const PointEvidence& e, std::int32_t multiplicity) {
  if (e.localDimension > 0) return RootStatus::kPositiveDimensional;
  return e.candidate && multiplicity == 1 ? RootStatus::kRegular : RootStatus::kSingular;
}

// kappa_s, ||A^-1|| and the relative Newton step in the given units; a coordinate's step is
// measured against max(|x_j|, floor max_k |x_k|).
PointMeasures MeasureInUnits(const NormalForm& system, const PointUnits& units, const Complex* x,
                             double floor) {
  const int n = system.scaled.n;
  ColMajorMatrix<Complex> A, inverse;
  std::vector<Complex> G;
  ScaledJacobian(system, units, x, A, G);
  if (!InvertMatrix(A, inverse)) return {kUninvertible, 1.0, kUninvertible};
  PointMeasures out;
  out.termCondition = std::min(kUninvertible, MatrixNormInf(inverse));
  out.scaledCondition = std::min(out.termCondition, MatrixNormInf(A) * out.termCondition);
  const double M = MaxModulus(x, n);
  for (int j = 0; j < n; ++j) {
    Complex delta = 0.0;  // delta_j / c_j = (A^-1 G)_j
    for (int i = 0; i < n; ++i) delta += inverse(j, i) * G[i];
    const double scale = M > 0.0 ? std::max(std::abs(x[j]), floor * M) : 1.0;
    out.relativeStep = std::max(out.relativeStep, std::abs(delta) * units.column[j] / scale);
  }
  return out;
}

// A nonzero coordinate that the units of UnitsAt take for zero.
bool HasTinyCoordinate(const Complex* x, int n) {
  const double M = MaxModulus(x, n);
  for (int j = 0; j < n; ++j) {
    const double a = std::abs(x[j]);
    if (a > 0.0 && a <= kZeroCoordinate * M) return true;
  }
  return false;
}

// c_j = |x_j| for every nonzero coordinate (the largest modulus for an exact zero).
PointUnits OwnUnits(const NormalForm& system, const Complex* x) {
  PointUnits units;
  units.column = OwnColumnUnits(x, system.scaled.n);
  units.row = RowUnits(system, x, units.column);
  return units;
}

// A singular root of one path is a contradiction: a root of multiplicity m >= 2 draws m paths,
// and the end game gives a path that ends at one a winding number of 2 or more. An end point
// alone in its group that no test shows to be a regular root, and that tracking ended as an
// ordinary end point (winding number 1) or as the last point of an approach (0), is where its
// path was given up, not where it goes: a failed path, its verdict unknown.
std::vector<std::int64_t> UnresolvedEndPoints(const Classification& c, const SolveResult& r) {
  std::vector<std::int64_t> unresolved;
  for (std::size_t k = 0; k < c.status.size(); ++k) {
    const std::int64_t column = static_cast<std::int64_t>(k);
    if (c.status[k] == RootStatus::kSingular && c.multiplicity[k] == 1 &&
        WindingNumber(r, column) <= 1)
      unresolved.push_back(column);
  }
  return unresolved;
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
    if (std::binary_search(c.unresolved.begin(), c.unresolved.end(),
                           static_cast<std::int64_t>(k))) {
      ++counts.failed;
      continue;
    }
    switch (c.status[k]) {
      case RootStatus::kRegular:
        ++counts.regular;
        counts.realRegular += RealAfterClassification(c, r, static_cast<std::int64_t>(k)) ? 1 : 0;
        break;
      case RootStatus::kPositiveDimensional:
        ++counts.positiveDimensional;
        break;
      case RootStatus::kSingular:
        ++counts.singularEndPoints;
        counts.singular += c.groupLeader[k] == static_cast<std::int64_t>(k) ? 1 : 0;
        break;
    }
  }
  for (const PathRecord& lost : r.lostPaths)
    ++(IsAtInfinity(lost.status) ? counts.atInfinity : counts.failed);
  counts.rescued = r.counts.of(PathStatus::kRescued);
  return counts;
}

}  // namespace

bool IsAtInfinity(PathStatus status) { return status == PathStatus::kDiverged; }

PointMeasures MeasurePoint(const NormalForm& system, const Complex* x) {
  PointMeasures out = MeasureInUnits(system, UnitsAt(system, x), x, kCoordinateFloor);
  if (!(out.scaledCondition > kWellConditioned) || !HasTinyCoordinate(x, system.scaled.n))
    return out;
  // Measured again with every nonzero coordinate as its own unit: a coordinate far below the
  // largest may be a genuine one, known to full relative accuracy (i1 has roots with coordinates
  // from 3e-11 to 4e11, kappa_s 100 so measured, 1e14 with the small ones taken as zero). It is
  // when Newton's step changes each coordinate by at most 1e-8 of itself; rounding noise around
  // an exact zero moves by its own size.
  const PointMeasures own = MeasureInUnits(system, OwnUnits(system, x), x, 0.0);
  return own.relativeStep <= kResolvedStep && own.scaledCondition < out.scaledCondition ? own : out;
}

Classification ClassifyRoots(const NormalForm& system, const SolveResult& r, int threads,
                             const std::function<bool()>& interrupted) {
  FinishStop stop(interrupted);
  const NormalForm normalized = WithEquationsNormalized(system);
  const std::int64_t count = r.roots.cols();
  std::vector<PointEvidence> evidence(static_cast<std::size_t>(count));
  // Each point's evidence depends on that point alone: any thread count gives the same verdicts.
  RunUnitsInParallel(
      count, std::max(1, threads),
      [&]() -> UnitFunction {
        return [&](std::int64_t k) {
          evidence[k] = Examine(normalized, r.roots.col(k), Approached(r, k));
        };
      },
      stop.Poll());
  Classification c;
  const std::vector<double> origin = OriginScales(system);
  SeparateSearchedRoots(normalized, r, evidence);
  JoinSetsAtTheirPoints(r, origin, stop, evidence);
  c.groupLeader = GroupLeaders(r, evidence, origin, stop);
  c.multiplicity.assign(count, 0);
  for (std::int64_t k = 0; k < count; ++k) ++c.multiplicity[c.groupLeader[k]];
  for (std::int64_t k = 0; k < count; ++k) c.multiplicity[k] = c.multiplicity[c.groupLeader[k]];
  c.status.resize(count);
  c.scaledConditionNumbers.resize(count);
  c.localDimension.resize(count);
  for (std::int64_t k = 0; k < count; ++k) {
    c.status[k] = StatusOf(evidence[k], c.multiplicity[k]);
    c.scaledConditionNumbers[k] = evidence[k].measures.scaledCondition;
    c.localDimension[k] = evidence[k].localDimension;
    if ((c.status[k] == RootStatus::kRegular && evidence[k].byDoubleDouble) ||
        evidence[k].multipleRoot || evidence[k].inSubspace)
      c.accurateValues.emplace_back(k, std::move(evidence[k].value));
  }
  c.unresolved = UnresolvedEndPoints(c, r);
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
