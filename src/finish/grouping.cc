#include "finish/grouping.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numeric>
#include <optional>

#include "base/disjoint_sets.h"
#include "finish/dd_newton.h"
#include "finish/near_pairs.h"
#include "finish/parameters.h"

namespace zormix {
namespace {

bool IsCandidate(const EndPointVerdict& v) { return v.kind == PointClass::kRegularCandidate; }
bool IsOnSet(const EndPointVerdict& v) { return v.kind == PointClass::kOnSet; }

// |x_j - y_j| <= tau max(|x_j|, |y_j|, floor, o_j) for every j, floor = floorShare max_k
// max(|x_k|, |y_k|) (largest: max_k |x_k| and max_k |y_k|, computed once per point, not per pair).
// Most pairs differ far beyond tau in some coordinate: since max(|Re d|, |Im d|) <= |d| and
// |z| <= |Re z| + |Im z|, those are told apart without a modulus (the margin covers the rounding of
// both sides, so the verdict is that of the moduli).
bool Coincide(const Complex* x, const Complex* y, int n, double tau,
              const std::vector<double>& origin, std::array<double, 2> largest, double floorShare) {
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

bool SameRoot(const SolveResult& r, const std::vector<EndPointVerdict>& e,
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
  const bool singular = !IsCandidate(e[a]) && !IsCandidate(e[b]);
  const double tau = singular ? std::max(ta, tb) : std::min(ta, tb);
  return Coincide(e[a].value.data(), e[b].value.data(), r.n, tau, origin, {largest[a], largest[b]},
                  singular ? finish::kSingularCoordinateFloor : finish::kCoordinateFloor);
}

// How far from point k another point can be, in the max-norm, and still be at its root: its tau
// times its size (Coincide compares coordinate j within tau max(|x_j|, |y_j|, floor, o_j), whose
// largest, max(L_x, L_y, o), is at most L_x + the distance when it is the other point's; so the
// distance is at most tau max(L_x, o) / (1 - tau) from the point with the larger tau), its
// cluster's radius, or its box's reach around its value.
double Reach(const SolveResult& r, const EndPointVerdict& v, std::int64_t k, double originLargest) {
  const double tau = Tau(v, WindingNumber(r, k));
  const double size = std::max(MaxModulus(v.value.data(), r.n), originLargest);
  double reach = std::max(tau * size / (1.0 - tau), v.clusterRadius);
  if (v.certificate) {
    double shift = 0.0, widest = 0.0;
    for (int j = 0; j < r.n; ++j) {
      shift = std::max(shift, std::abs(v.value[j] - v.certificate->center[j]));
      widest = std::max(widest, v.certificate->box[j]);
    }
    reach = std::max(reach, shift + std::sqrt(2.0) * widest);
  }
  return reach;
}

// The pairs of `members` that may be at one point (NearPairs) and pass `accept`.
std::vector<NearPair> ComparedPairs(const SolveResult& r, const std::vector<EndPointVerdict>& e,
                                    const std::vector<double>& origin,
                                    const std::vector<std::int64_t>& members, int threads,
                                    const FinishStop& stop,
                                    const std::function<bool(std::int64_t, std::int64_t)>& accept) {
  const double originLargest = *std::max_element(origin.begin(), origin.end());
  std::vector<double> reach(e.size(), 0.0);
  for (const std::int64_t k : members) reach[k] = Reach(r, e[k], k, originLargest);
  return NearPairs(
      r.n, [&](std::int64_t k) { return e[k].value.data(); }, members, reach, accept, threads,
      stop.Poll());
}

// Whether a root in `held` is z, to the accuracy of Newton's method in double-double.
bool Held(const std::vector<Complex>& held, Complex z) {
  return std::any_of(held.begin(), held.end(), [&](Complex a) {
    return std::abs(a - z) <= finish::kSearchedCoincidence * std::max(std::abs(a), std::abs(z));
  });
}

}  // namespace

std::int64_t SimpleRootKeeper(const NormalForm& system, const std::vector<EndPointVerdict>& points,
                              const std::vector<std::int64_t>& members) {
  std::int64_t keeper = -1;
  for (const std::int64_t k : members) {
    if (!IsCandidate(points[k])) continue;
    if (keeper < 0 || (points[k].certificate && !points[keeper].certificate)) keeper = k;
    if (points[keeper].certificate) break;
  }
  if (keeper < 0) return -1;
  const EndPointVerdict& kept = points[keeper];
  const Certificate proof =
      kept.certificate ? *kept.certificate : CertifyPoint(system, kept.value.data(), false);
  if (!proof.certified) return -1;
  const int n = system.scaled.n;
  for (const std::int64_t k : members)
    if (!InsideBox(points[k].value.data(), {}, proof, n)) return -1;
  return keeper;
}

std::int32_t WindingNumber(const SolveResult& r, std::int64_t k) {
  return k < static_cast<std::int64_t>(r.records.size()) ? r.records[k].windingNumber : 0;
}

double Tau(const EndPointVerdict& v, std::int32_t windingNumber) {
  const double kappa = v.measures.scaledCondition;
  const bool byDoubleDouble =
      v.source == ValueSource::kDoubleDouble || v.source == ValueSource::kSearched;
  // A candidate's value is Newton's limit: its error is kappa_s eps, whatever its step was. Found
  // in double-double, kappa_s 4.9e-32 lies below the rounding to double, so two such roots 4e-9
  // apart at kappa_s 1e9 stay two (in one unknown kappa_s is 1: nothing changes there).
  if (IsCandidate(v) && byDoubleDouble) return finish::kMinCoincidence;
  if (IsCandidate(v))
    return std::clamp(finish::kErrorPerCondition * kappa, finish::kMinCoincidence.value(),
                      finish::kMaxCoincidence.value());
  if (windingNumber >= 2) return finish::kEndGameCoincidence;
  // Not extrapolated: at a root of multiplicity m >= 2 the residual reaches rounding up to
  // u^(1/m) >= 1e-8 away, where the Newton step is rounding noise too (points 1e-8 apart at
  // (1, 1) of (x - 1)^2, (y - 1)^2, each with residual 0).
  const double error = std::max({finish::kErrorPerCondition * kappa,
                                 finish::kStepsPerError * v.measures.relativeStep,
                                 finish::kUnextrapolatedCoincidence.value()});
  return std::clamp(error, finish::kMinCoincidence.value(),
                    finish::kMaxSingularCoincidence.value());
}

void SeparateSearchedRoots(const NormalForm& system, const SolveResult& r,
                           std::vector<EndPointVerdict>& points) {
  if (r.n != 1) return;
  std::vector<Complex> held;
  for (const EndPointVerdict& point : points)
    if (IsCandidate(point) && point.source != ValueSource::kSearched)
      held.push_back(point.value[0]);
  for (std::size_t k = 0; k < points.size(); ++k) {
    EndPointVerdict& point = points[k];
    if (point.source != ValueSource::kSearched) continue;
    if (!Held(held, point.value[0])) {
      held.push_back(point.value[0]);
      continue;
    }
    const Complex end = r.roots.col(static_cast<std::int64_t>(k))[0];
    const std::optional<Complex> near = SearchRootInDoubleDouble(system, end, held);
    std::vector<Complex> value;
    if (near && ConvergesInDoubleDouble(system, &*near, &value) && !Held(held, value[0])) {
      held.push_back(value[0]);
      point.value = std::move(value);
      continue;
    }
    point.kind = PointClass::kSingular;
    point.rule = PointRule::kSearchedRootHeld;
    point.source = ValueSource::kEndPoint;
    point.value.assign(1, end);
  }
}

void JoinSetsAtTheirPoints(const SolveResult& r, const std::vector<double>& origin, int threads,
                           const FinishStop& stop, std::vector<EndPointVerdict>& points) {
  const auto count = static_cast<std::int64_t>(points.size());
  if (r.n == 0) return;
  std::vector<std::int64_t> all(count);
  std::iota(all.begin(), all.end(), 0);
  auto onSetOf = [&](std::int64_t a, std::int64_t b) { return IsOnSet(points[a]) ? a : b; };
  const std::vector<NearPair> pairs =
      ComparedPairs(r, points, origin, all, threads, stop, [&](std::int64_t a, std::int64_t b) {
        if (IsOnSet(points[a]) == IsOnSet(points[b])) return false;
        const std::int64_t onSet = onSetOf(a, b);
        const std::int64_t other = onSet == a ? b : a;
        if (points[other].certificate) return false;  // one root in its box, Jacobians invertible
        // Coordinate by coordinate, without a floor: an end point 4e-11 off a regular root with
        // coordinates up to 4e11 may pass the slices, and is not at the root.
        return Coincide(points[onSet].value.data(), points[other].value.data(), r.n,
                        Tau(points[other], WindingNumber(r, other)), origin, {0.0, 0.0}, 0.0);
      });
  std::vector<std::int32_t> dimension(count, 0);
  for (const auto& [a, b] : pairs) {
    const std::int64_t onSet = onSetOf(a, b);
    const std::int64_t other = onSet == a ? b : a;
    dimension[other] = std::max(dimension[other], points[onSet].dimension);
  }
  for (std::int64_t k = 0; k < count; ++k) {
    if (dimension[k] == 0) continue;
    points[k].kind = PointClass::kOnSet;
    points[k].rule = PointRule::kAtAPointOnASet;
    points[k].dimension = dimension[k];
  }
}

namespace {

// The leaders of the sets that the pairs of near points joined by `joins` make, among the points
// `compared` admits (every other point its own leader); `joins(a, b, largest)` with the largest
// modulus of every point.
template <typename Compared, typename Joins>
std::vector<std::int64_t> JoinedLeaders(const SolveResult& r,
                                        const std::vector<EndPointVerdict>& points,
                                        const std::vector<double>& origin, int threads,
                                        const FinishStop& stop, Compared compared, Joins joins) {
  const auto count = static_cast<std::int64_t>(points.size());
  DisjointSets sets(count);
  std::vector<std::int64_t> members, leader(count);
  std::iota(leader.begin(), leader.end(), 0);
  if (r.n == 0) return leader;
  std::vector<double> largest(count);
  for (std::int64_t k = 0; k < count; ++k) {
    if (compared(points[k])) members.push_back(k);
    largest[k] = MaxModulus(points[k].value.data(), r.n);
  }
  const std::vector<NearPair> pairs =
      ComparedPairs(r, points, origin, members, threads, stop,
                    [&](std::int64_t a, std::int64_t b) { return joins(a, b, largest); });
  for (const auto& [a, b] : pairs) sets.Join(a, b);
  for (std::int64_t k = 0; k < count; ++k) leader[k] = sets.Find(k);
  return leader;
}

}  // namespace

std::vector<std::int64_t> GroupLeaders(const SolveResult& r,
                                       const std::vector<EndPointVerdict>& points,
                                       const std::vector<double>& origin, int threads,
                                       const FinishStop& stop) {
  return JoinedLeaders(
      r, points, origin, threads, stop, [](const EndPointVerdict& v) { return !IsOnSet(v); },
      [&](std::int64_t a, std::int64_t b, const std::vector<double>& largest) {
        return SameRoot(r, points, origin, largest, a, b);
      });
}

std::vector<std::int64_t> SetClusterLeaders(const SolveResult& r,
                                            const std::vector<EndPointVerdict>& points,
                                            const std::vector<double>& origin, int threads,
                                            const FinishStop& stop) {
  return JoinedLeaders(
      r, points, origin, threads, stop, [](const EndPointVerdict& v) { return !IsCandidate(v); },
      [&](std::int64_t a, std::int64_t b, const std::vector<double>& largest) {
        return (IsOnSet(points[a]) || IsOnSet(points[b])) &&
               SameRoot(r, points, origin, largest, a, b);
      });
}

}  // namespace zormix
