#include "report/certify.h"

#include <algorithm>
#include <boost/numeric/interval.hpp>
#include <cmath>
#include <numeric>

#include "base/numeric.h"
#include "model/system_eval.h"
#include "report/disjoint_sets.h"
#include "report/inverse.h"

namespace zormix {
namespace {

namespace bi = boost::numeric::interval_lib;
using Rounding = bi::save_state<bi::rounded_arith_opp<double>>;
using ProtectedInterval =
    boost::numeric::interval<double, bi::policies<Rounding, bi::checking_base<double>>>;
// Operations that assume the rounding mode a ProtectedInterval::traits_type::rounding set.
using Interval = bi::unprotect<ProtectedInterval>::type;

constexpr double kRadiusPerStep = 8.0;  // r = 8 |Newton step| + ...
constexpr double kRadiusPerUlp = 64.0;  // ... + 64 eps max|c_j|
constexpr double kNoiseUlps = 4.0;      // ... + 4 eps max_i sum_l |Y(i,l)| s_l + tiny
constexpr double kTinyRadius = 1e-300;
constexpr double kWiderBox = 100.0;  // each further attempt: a box this much wider
constexpr int kAttempts = 3;

struct CInterval {
  Interval re, im;
};

CInterval operator+(const CInterval& a, const CInterval& b) { return {a.re + b.re, a.im + b.im}; }
CInterval operator*(const CInterval& a, const CInterval& b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
CInterval Point(const Complex& z) { return {Interval(z.real()), Interval(z.imag())}; }

CInterval Scaled(const CInterval& a, int e) {
  const Interval f(static_cast<double>(e));
  return {a.re * f, a.im * f};
}

// X_k^d for d = 0..maxDegree[k]: table[d + k * rows], rows = max degree + 1.
std::vector<CInterval> PowerTable(const std::vector<CInterval>& X, int rows) {
  const CInterval one{Interval(1.0), Interval(0.0)};
  std::vector<CInterval> table(X.size() * rows, one);
  for (std::size_t k = 0; k < X.size(); ++k) {
    for (int d = 1; d < rows; ++d) table[d + k * rows] = table[d - 1 + k * rows] * X[k];
  }
  return table;
}

// F(X) (when `values`) or J(X) (n x n, column-major) in interval arithmetic over the unscaled
// terms. The derivative of a monomial by x_k is e_k x_k^(e_k-1) times the product of the other
// powers, taken from prefix and suffix products so no division is needed.
void EvaluateIntervals(const NormalForm& s, const std::vector<CInterval>& X, bool values,
                       std::vector<CInterval>& out) {
  const int n = s.n;
  const CInterval zero{Interval(0.0), Interval(0.0)}, one{Interval(1.0), Interval(0.0)};
  out.assign(values ? n : static_cast<std::size_t>(n) * n, zero);
  int rows = 1;
  for (int v : s.exponents.storage()) rows = std::max(rows, v + 1);
  const std::vector<CInterval> table = PowerTable(X, rows);
  auto power = [&](int k, int e) -> const CInterval& { return table[e + k * rows]; };
  std::vector<CInterval> prefix(n + 1), suffix(n + 1);
  std::int64_t t = 0;
  for (int i = 0; i < n; ++i) {
    for (int term = 0; term < s.termCount[i]; ++term, ++t) {
      const CInterval c = Point(s.rawCoefficients[t]);
      prefix[0] = c;
      for (int k = 0; k < n; ++k) prefix[k + 1] = prefix[k] * power(k, s.exponents(k, t));
      if (values) {
        out[i] = out[i] + prefix[n];
        continue;
      }
      suffix[n] = one;
      for (int k = n - 1; k >= 0; --k) suffix[k] = power(k, s.exponents(k, t)) * suffix[k + 1];
      for (int k = 0; k < n; ++k) {
        const int e = s.exponents(k, t);
        if (e == 0) continue;
        CInterval d = prefix[k] * suffix[k + 1];
        if (e > 1) d = Scaled(d * power(k, e - 1), e);
        out[i + k * n] = out[i + k * n] + d;
      }
    }
  }
}

bool StrictlyInside(const Interval& v, double r) { return v.lower() > -r && v.upper() < r; }
double Reach(const Interval& v) { return std::max(-v.lower(), v.upper()); }

// K(X) - c for the box c + Z; returns the max-norm radius of K(X) around c, or -1 when K(X) is
// not inside the interior of X.
double KrawczykReach(const NormalForm& s, const std::vector<Complex>& c,
                     const ColMajorMatrix<Complex>& Y, double r) {
  ProtectedInterval::traits_type::rounding upward;  // rounding mode for the whole scope
  const int n = s.n;
  std::vector<CInterval> Xc(n), X(n), Fc, JX;
  const CInterval Z{Interval(-r, r), Interval(-r, r)};
  for (int j = 0; j < n; ++j) {
    Xc[j] = Point(c[j]);
    X[j] = Xc[j] + Z;
  }
  EvaluateIntervals(s, Xc, true, Fc);
  EvaluateIntervals(s, X, false, JX);
  double reach = 0.0;
  for (int i = 0; i < n; ++i) {
    CInterval k{Interval(0.0), Interval(0.0)};
    for (int l = 0; l < n; ++l) k = k + Point(-Y(i, l)) * Fc[l];
    for (int j = 0; j < n; ++j) {
      CInterval m{Interval(i == j ? 1.0 : 0.0), Interval(0.0)};
      for (int l = 0; l < n; ++l) m = m + Point(-Y(i, l)) * JX[l + j * n];
      k = k + m * Z;
    }
    if (!StrictlyInside(k.re, r) || !StrictlyInside(k.im, r)) return -1.0;
    reach = std::max({reach, Reach(k.re), Reach(k.im)});
  }
  return reach;
}

// One Newton step in floating point: c := c - Y F(c) with Y = J(c)^-1; returns |step|_inf and Y,
// or -1 when J(c) has no inverse.
double NewtonCenter(const NormalForm& s, std::vector<Complex>& c, ColMajorMatrix<Complex>& Y,
                    bool real) {
  const SystemView view{s.n, s.termCount, &s.exponents, s.rawCoefficients};
  const std::vector<std::int32_t> maxDegree = MaxDegrees(s.exponents);
  ColMajorMatrix<Complex> J;
  std::vector<Complex> F;
  EvaluateSystem(view, maxDegree, c.data(), J, F);
  if (!InvertMatrix(J, Y)) return -1.0;
  double step = 0.0;
  for (int i = 0; i < s.n; ++i) {
    Complex d = 0.0;
    for (int l = 0; l < s.n; ++l) d += Y(i, l) * F[l];
    c[i] -= d;
    if (real) c[i] = c[i].real();
    step = std::max(step, std::abs(d));
  }
  EvaluateSystem(view, maxDegree, c.data(), J, F);
  if (!InvertMatrix(J, Y)) return -1.0;
  double next = 0.0;
  for (int i = 0; i < s.n; ++i) {
    Complex d = 0.0;
    for (int l = 0; l < s.n; ++l) d += Y(i, l) * F[l];
    next = std::max(next, std::abs(d));
  }
  return std::isfinite(next) ? std::max(next, kMachineEpsilon * step) : -1.0;
}

// max_i sum_l |Y(i,l)| s_l, s_l = sum_t |a_t| |c^e_t| over the terms of equation l: how far the
// rounding errors of F(c), at most a few eps s_l, can move the Newton point.
double NoiseReach(const NormalForm& s, const std::vector<Complex>& c,
                  const ColMajorMatrix<Complex>& Y) {
  std::vector<Complex> absCoefficients(s.rawCoefficients.size()), absC(c.size()), S;
  for (std::size_t t = 0; t < absCoefficients.size(); ++t)
    absCoefficients[t] = std::abs(s.rawCoefficients[t]);
  for (std::size_t j = 0; j < c.size(); ++j) absC[j] = std::abs(c[j]);
  const SystemView view{s.n, s.termCount, &s.exponents, absCoefficients};
  ColMajorMatrix<Complex> J;
  EvaluateSystem(view, MaxDegrees(s.exponents), absC.data(), J, S);
  double reach = 0.0;
  for (int i = 0; i < s.n; ++i) {
    double sum = 0.0;
    for (int l = 0; l < s.n; ++l) sum += std::abs(Y(i, l)) * S[l].real();
    reach = std::max(reach, sum);
  }
  return reach;
}

Certificate TryCenter(const NormalForm& s, const Complex* x, bool real) {
  Certificate out;
  out.center.assign(x, x + s.n);
  if (real) {
    for (Complex& v : out.center) v = v.real();
  }
  ColMajorMatrix<Complex> Y;
  const double step = NewtonCenter(s, out.center, Y, real);
  if (!(step >= 0.0)) return out;
  double largest = 0.0;
  for (const Complex& v : out.center) largest = std::max(largest, std::abs(v));
  const double noise = NoiseReach(s, out.center, Y);
  double r = kRadiusPerStep * step +
             kMachineEpsilon * (kRadiusPerUlp * largest + kNoiseUlps * noise) + kTinyRadius;
  for (int attempt = 0; attempt < kAttempts; ++attempt, r *= kWiderBox) {
    const double reach = KrawczykReach(s, out.center, Y, r);
    if (reach < 0.0) continue;
    out.certified = true;
    out.real = real;
    out.radius = reach;
    return out;
  }
  return out;
}

bool RealCoefficients(const NormalForm& s) {
  return std::all_of(s.rawCoefficients.begin(), s.rawCoefficients.end(),
                     [](const Complex& a) { return a.imag() == 0.0; });
}

bool BoxesOverlap(const SolveResult& r, std::int64_t a, std::int64_t b) {
  const double w = r.boxRadii[a] + r.boxRadii[b];
  for (int j = 0; j < r.n; ++j) {
    const Complex d = r.boxCenters(j, a) - r.boxCenters(j, b);
    if (std::fabs(d.real()) > w || std::fabs(d.imag()) > w) return false;
  }
  return true;
}

// Sweep over the lower bounds of Re x_0: box b, later in that order, meets box a in that
// coordinate only while its lower bound is at most a's upper bound.
std::int64_t CountDistinct(const SolveResult& r) {
  std::vector<std::int64_t> boxes;
  for (std::int64_t k = 0; k < r.roots.cols(); ++k)
    if (r.certified[k]) boxes.push_back(k);
  if (r.n == 0) return boxes.empty() ? 0 : 1;
  auto lo = [&](std::int64_t k) { return r.boxCenters(0, k).real() - r.boxRadii[k]; };
  auto hi = [&](std::int64_t k) { return r.boxCenters(0, k).real() + r.boxRadii[k]; };
  std::sort(boxes.begin(), boxes.end(),
            [&](std::int64_t a, std::int64_t b) { return lo(a) != lo(b) ? lo(a) < lo(b) : a < b; });
  DisjointSets sets(r.roots.cols());
  std::int64_t groups = static_cast<std::int64_t>(boxes.size());
  for (std::size_t s = 0; s < boxes.size(); ++s) {
    for (std::size_t t = s + 1; t < boxes.size() && lo(boxes[t]) <= hi(boxes[s]); ++t) {
      if (!BoxesOverlap(r, boxes[s], boxes[t])) continue;
      if (sets.Join(boxes[s], boxes[t])) --groups;
    }
  }
  return groups;
}

}  // namespace

double KrawczykTest(const NormalForm& system, const std::vector<Complex>& center, double radius) {
  const SystemView view{system.n, system.termCount, &system.exponents, system.rawCoefficients};
  ColMajorMatrix<Complex> J, Y;
  std::vector<Complex> F;
  EvaluateSystem(view, MaxDegrees(system.exponents), center.data(), J, F);
  if (!InvertMatrix(J, Y)) return -1.0;
  return KrawczykReach(system, center, Y, radius);
}

Certificate CertifyPoint(const NormalForm& system, const Complex* x, bool tryReal) {
  if (tryReal) {
    Certificate real = TryCenter(system, x, true);
    if (real.certified) return real;
  }
  return TryCenter(system, x, false);
}

void CertifyRoots(const NormalForm& system, SolveResult& r) {
  const std::int64_t count = r.roots.cols();
  const bool realSystem = RealCoefficients(system);
  r.certified.assign(count, 0);
  r.certifiedReal.assign(count, 0);
  r.boxRadii.assign(count, 0.0);
  r.boxCenters = r.roots;
  r.certification = CertificationCounts{};
  r.certification.run = true;
  for (std::int64_t k = 0; k < count; ++k) {
    if (r.rootStatus[k] != RootStatus::kRegular) continue;
    const Certificate c = CertifyPoint(system, r.roots.col(k), realSystem && r.isReal[k] != 0);
    if (!c.certified) continue;
    r.certified[k] = 1;
    r.certifiedReal[k] = c.real ? 1 : 0;
    r.boxRadii[k] = c.radius;
    std::copy(c.center.begin(), c.center.end(), r.boxCenters.col(k));
    ++r.certification.certified;
    r.certification.real += c.real ? 1 : 0;
  }
  r.certification.distinct = CountDistinct(r);
}

}  // namespace zormix
