#include "report/classify.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "model/system_eval.h"
#include "report/certify.h"
#include "report/disjoint_sets.h"
#include "report/inverse.h"

namespace zormix {
namespace {

constexpr double kZeroCoordinate = 1e-10;     // |x_j| <= 1e-10 max |x_k|: numerically zero
constexpr double kUninvertible = 1e300;       // kappa_s of a matrix without an inverse
constexpr double kRegularCondition = 1e6;     // kappa_s up to it: regular
constexpr double kSingularCondition = 1e12;   // kappa_s above it: singular; between: Krawczyk
constexpr double kStepsPerError = 100.0;      // tau >= 100 relativeStep
constexpr double kMinCoincidence = 1e-10;     // tau of a perfectly conditioned point
constexpr double kMaxCoincidence = 1e-5;      // tau of a singular point
constexpr double kErrorPerCondition = 1e-14;  // tau = kErrorPerCondition * kappa_s, clamped
constexpr double kCoordinateFloor = 1e-6;     // a coordinate compares at least at this share of max

double MaxModulus(const Complex* x, int n) {
  double m = 0.0;
  for (int j = 0; j < n; ++j) m = std::max(m, std::abs(x[j]));
  return m;
}

// s_i = max(sum_t |a_t| |x^e_t|, sum_j |J|(i, j) c_j), |J| the Jacobian of the system with |a_t|
// at |x|: the size of the terms of equation i and of their first-order change.
std::vector<double> RowScales(const NormalForm& system, const Complex* x,
                              const std::vector<double>& c) {
  std::vector<Complex> absCoefficients(system.rawCoefficients.size());
  for (std::size_t t = 0; t < absCoefficients.size(); ++t)
    absCoefficients[t] = std::abs(system.rawCoefficients[t]);
  std::vector<Complex> absX(static_cast<std::size_t>(system.n));
  for (int j = 0; j < system.n; ++j) absX[j] = std::abs(x[j]);
  const SystemView view{system.n, system.termCount, &system.exponents, absCoefficients};
  ColMajorMatrix<Complex> J;
  std::vector<Complex> S;
  EvaluateSystem(view, MaxDegrees(system.exponents), absX.data(), J, S);
  std::vector<double> s(static_cast<std::size_t>(system.n));
  for (int i = 0; i < system.n; ++i) {
    double change = 0.0;
    for (int j = 0; j < system.n; ++j) change += J(i, j).real() * c[j];
    s[i] = std::max(S[i].real(), change);
    if (!(s[i] > 0.0)) s[i] = 1.0;
  }
  return s;
}

// A numerically zero coordinate carries no scale of its own: it takes the point's.
double ColumnScale(double modulus, double M) {
  if (M == 0.0) return 1.0;
  return modulus > kZeroCoordinate * M ? modulus : M;
}

double Tau(const PointMeasures& m) {
  return std::clamp(
      std::max(kErrorPerCondition * m.scaledCondition, kStepsPerError * m.relativeStep),
      kMinCoincidence, kMaxCoincidence);
}

bool Coincide(const Complex* x, const Complex* y, int n, double tau) {
  const double floor = kCoordinateFloor * std::max(MaxModulus(x, n), MaxModulus(y, n));
  for (int j = 0; j < n; ++j) {
    const double scale = std::max({std::abs(x[j]), std::abs(y[j]), floor});
    if (std::abs(x[j] - y[j]) > tau * scale) return false;
  }
  return true;
}

// Union of coinciding end points. A sweep over Re x_0: coinciding points differ there by at most
// kMaxCoincidence * (largest max-norm of all points), so only that window is compared.
std::vector<std::int64_t> GroupLeaders(const SolveResult& r, const std::vector<double>& tau) {
  const std::int64_t count = r.roots.cols();
  const int n = r.n;
  DisjointSets sets(count);
  std::vector<std::int64_t> order(count), leader(count);
  std::iota(order.begin(), order.end(), 0);
  std::iota(leader.begin(), leader.end(), 0);
  if (n == 0) return leader;
  double largest = 0.0;
  for (std::int64_t k = 0; k < count; ++k)
    largest = std::max(largest, MaxModulus(r.roots.col(k), n));
  const double window = kMaxCoincidence * largest;
  auto key = [&](std::int64_t k) { return r.roots(0, k).real(); };
  std::sort(order.begin(), order.end(), [&](std::int64_t a, std::int64_t b) {
    return key(a) != key(b) ? key(a) < key(b) : a < b;
  });
  for (std::int64_t s = 0; s < count; ++s) {
    const std::int64_t a = order[s];
    for (std::int64_t t = s + 1; t < count && key(order[t]) - key(a) <= window; ++t) {
      const std::int64_t b = order[t];
      if (!Coincide(r.roots.col(a), r.roots.col(b), n, std::max(tau[a], tau[b]))) continue;
      sets.Join(a, b);
    }
  }
  for (std::int64_t k = 0; k < count; ++k) leader[k] = sets.Find(k);
  return leader;
}

bool IsRegular(const NormalForm& system, const SolveResult& r, std::int64_t k) {
  const double kappa = r.scaledConditionNumbers[k];
  if (r.multiplicity[k] > 1 || r.zeroJacobian[k] != 0 || !(kappa <= kSingularCondition))
    return false;
  return kappa <= kRegularCondition || CertifyPoint(system, r.roots.col(k), false).certified;
}

void CountPaths(SolveResult& r) {
  RootClassCounts& c = r.classes;
  for (std::size_t k = 0; k < r.rootStatus.size(); ++k) {
    if (r.rootStatus[k] == RootStatus::kRegular) {
      ++c.regular;
      c.realRegular += r.isReal[k] ? 1 : 0;
    } else {
      ++c.singularEndPoints;
      c.singular += r.groupLeader[k] == static_cast<std::int64_t>(k) ? 1 : 0;
    }
  }
  for (const PathRecord& lost : r.lostPaths)
    ++(lost.status == PathStatus::kDiverged ? c.atInfinity : c.failed);
  c.rescued = r.counts.of(PathStatus::kRescued);
}

}  // namespace

PointMeasures MeasurePoint(const NormalForm& system, const Complex* x) {
  const int n = system.n;
  const SystemView unscaled{n, system.termCount, &system.exponents, system.rawCoefficients};
  ColMajorMatrix<Complex> A, inverse;
  std::vector<Complex> F;
  EvaluateSystem(unscaled, MaxDegrees(system.exponents), x, A, F);
  const double M = MaxModulus(x, n);
  std::vector<double> c(n);
  for (int j = 0; j < n; ++j) c[j] = ColumnScale(std::abs(x[j]), M);
  const std::vector<double> s = RowScales(system, x, c);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) A(i, j) *= c[j] / s[i];
  }
  if (!InvertMatrix(A, inverse)) return {kUninvertible, 1.0};
  PointMeasures out;
  out.scaledCondition = std::min(kUninvertible, MatrixNormInf(A) * MatrixNormInf(inverse));
  for (int j = 0; j < n; ++j) {
    Complex delta = 0.0;  // delta_j / c_j = (A^-1 diag(1/s) F)_j
    for (int i = 0; i < n; ++i) delta += inverse(j, i) * F[i] / s[i];
    const double scale = M > 0.0 ? std::max(std::abs(x[j]), kCoordinateFloor * M) : 1.0;
    out.relativeStep = std::max(out.relativeStep, std::abs(delta) * c[j] / scale);
  }
  return out;
}

void ClassifyRoots(const NormalForm& system, SolveResult& r) {
  const std::int64_t count = r.roots.cols();
  r.scaledConditionNumbers.resize(count);
  std::vector<double> tau(count);
  for (std::int64_t k = 0; k < count; ++k) {
    const PointMeasures m = MeasurePoint(system, r.roots.col(k));
    r.scaledConditionNumbers[k] = m.scaledCondition;
    tau[k] = Tau(m);
  }
  r.groupLeader = GroupLeaders(r, tau);
  r.multiplicity.assign(count, 0);
  for (std::int64_t k = 0; k < count; ++k) ++r.multiplicity[r.groupLeader[k]];
  for (std::int64_t k = 0; k < count; ++k) r.multiplicity[k] = r.multiplicity[r.groupLeader[k]];
  r.rootStatus.resize(count);
  for (std::int64_t k = 0; k < count; ++k) {
    r.rootStatus[k] = IsRegular(system, r, k) ? RootStatus::kRegular : RootStatus::kSingular;
  }
  r.classes = RootClassCounts{};
  CountPaths(r);
}

}  // namespace zormix
