#include "finish/certify.h"

#include <algorithm>
#include <boost/numeric/interval.hpp>
#include <cmath>
#include <numeric>

#include "base/disjoint_sets.h"
#include "base/inverse.h"
#include "base/numeric.h"
#include "finish/finish_stop.h"
#include "finish/parameters.h"
#include "finish/scaled_jacobian.h"
#include "model/system_eval.h"

namespace zormix {
namespace {

namespace bi = boost::numeric::interval_lib;
using Rounding = bi::save_state<bi::rounded_arith_opp<double>>;
using ProtectedInterval =
    boost::numeric::interval<double, bi::policies<Rounding, bi::checking_base<double>>>;
// Operations that assume the rounding mode a ProtectedInterval::traits_type::rounding set.
using Interval = bi::unprotect<ProtectedInterval>::type;

constexpr double kTinyRadius = 1e-300;  // added to every radius: no box is empty

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
  const int n = s.scaled.n;
  const CInterval zero{Interval(0.0), Interval(0.0)}, one{Interval(1.0), Interval(0.0)};
  out.assign(values ? n : static_cast<std::size_t>(n) * n, zero);
  int rows = 1;
  for (int v : s.scaled.exponents.storage()) rows = std::max(rows, v + 1);
  const std::vector<CInterval> table = PowerTable(X, rows);
  auto power = [&](int k, int e) -> const CInterval& { return table[e + k * rows]; };
  std::vector<CInterval> prefix(n + 1), suffix(n + 1);
  std::int64_t t = 0;
  for (int i = 0; i < n; ++i) {
    for (int term = 0; term < s.scaled.termCount[i]; ++term, ++t) {
      const CInterval c = Point(s.rawCoefficients[t]);
      prefix[0] = c;
      for (int k = 0; k < n; ++k) prefix[k + 1] = prefix[k] * power(k, s.scaled.exponents(k, t));
      if (values) {
        out[i] = out[i] + prefix[n];
        continue;
      }
      suffix[n] = one;
      for (int k = n - 1; k >= 0; --k)
        suffix[k] = power(k, s.scaled.exponents(k, t)) * suffix[k + 1];
      for (int k = 0; k < n; ++k) {
        const int e = s.scaled.exponents(k, t);
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

// K(X) - c for the box c + Z, Z_j = [-r_j, r_j] (1 + i); returns the max-norm radius of K(X)
// around c per coordinate, or an empty vector when K(X) is not inside the interior of X.
std::vector<double> KrawczykReach(const NormalForm& s, const std::vector<Complex>& c,
                                  const ColMajorMatrix<Complex>& Y, const std::vector<double>& r) {
  ProtectedInterval::traits_type::rounding upward;  // rounding mode for the whole scope
  const int n = s.scaled.n;
  std::vector<CInterval> Xc(n), X(n), Z(n), Fc, JX;
  for (int j = 0; j < n; ++j) {
    Z[j] = {Interval(-r[j], r[j]), Interval(-r[j], r[j])};
    Xc[j] = Point(c[j]);
    X[j] = Xc[j] + Z[j];
  }
  EvaluateIntervals(s, Xc, true, Fc);
  EvaluateIntervals(s, X, false, JX);
  std::vector<double> reach(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    CInterval k{Interval(0.0), Interval(0.0)};
    for (int l = 0; l < n; ++l) k = k + Point(-Y(i, l)) * Fc[l];
    for (int j = 0; j < n; ++j) {
      CInterval m{Interval(i == j ? 1.0 : 0.0), Interval(0.0)};
      for (int l = 0; l < n; ++l) m = m + Point(-Y(i, l)) * JX[l + j * n];
      k = k + m * Z[j];
    }
    if (!StrictlyInside(k.re, r[i]) || !StrictlyInside(k.im, r[i])) return {};
    reach[i] = std::max(Reach(k.re), Reach(k.im));
  }
  return reach;
}

// One Newton step in floating point: c := c - Y F(c) with Y = J(c)^-1; returns per coordinate
// the size of the next step (at least eps times the one taken) and Y, or an empty vector when J(c)
// has no inverse.
std::vector<double> NewtonCenter(const NormalForm& s, std::vector<Complex>& c,
                                 ColMajorMatrix<Complex>& Y, bool real) {
  const SystemView view{s.scaled.n, s.scaled.termCount, &s.scaled.exponents, s.rawCoefficients};
  const std::vector<std::int32_t> maxDegree = MaxDegrees(s.scaled.exponents);
  ColMajorMatrix<Complex> J;
  std::vector<Complex> F;
  EvaluateSystem(view, maxDegree, c.data(), J, F);
  if (!InvertMatrix(J, Y)) return {};
  std::vector<double> step(static_cast<std::size_t>(s.scaled.n));
  for (int i = 0; i < s.scaled.n; ++i) {
    Complex d = 0.0;
    for (int l = 0; l < s.scaled.n; ++l) d += Y(i, l) * F[l];
    c[i] -= d;
    if (real) c[i] = c[i].real();
    step[i] = std::abs(d);
  }
  EvaluateSystem(view, maxDegree, c.data(), J, F);
  if (!InvertMatrix(J, Y)) return {};
  for (int i = 0; i < s.scaled.n; ++i) {
    Complex d = 0.0;
    for (int l = 0; l < s.scaled.n; ++l) d += Y(i, l) * F[l];
    if (!std::isfinite(std::abs(d))) return {};
    step[i] = std::max(std::abs(d), kMachineEpsilon * step[i]);
  }
  return step;
}

// Per coordinate i: sum_l |Y(i,l)| s_l, s_l = sum_t |a_t| |c^e_t| over the terms of equation l:
// how far the rounding errors of F(c), at most a few eps s_l, can move the Newton point.
std::vector<double> NoiseReach(const NormalForm& s, const std::vector<Complex>& c,
                               const ColMajorMatrix<Complex>& Y) {
  std::vector<Complex> absCoefficients(s.rawCoefficients.size()), absC(c.size()), S;
  for (std::size_t t = 0; t < absCoefficients.size(); ++t)
    absCoefficients[t] = std::abs(s.rawCoefficients[t]);
  for (std::size_t j = 0; j < c.size(); ++j) absC[j] = std::abs(c[j]);
  const SystemView view{s.scaled.n, s.scaled.termCount, &s.scaled.exponents, absCoefficients};
  ColMajorMatrix<Complex> J;
  EvaluateSystem(view, MaxDegrees(s.scaled.exponents), absC.data(), J, S);
  std::vector<double> reach(static_cast<std::size_t>(s.scaled.n), 0.0);
  for (int i = 0; i < s.scaled.n; ++i) {
    for (int l = 0; l < s.scaled.n; ++l) reach[i] += std::abs(Y(i, l)) * S[l].real();
  }
  return reach;
}

// The box radii: r_j = rho u_j with u_j the unit of coordinate j (scaled_jacobian.h) and rho the
// largest of (a |step_j| + eps (b |c_j| + c noise_j)) / u_j (a, b, c: finish.box_radius_per_step,
// finish.box_radius_per_ulp, finish.box_noise_ulps): a box of the same relative size in
// every coordinate, so that a root with coordinates of very different sizes gets a box its small
// coordinates fit.
std::vector<double> FirstRadii(const NormalForm& s, const std::vector<Complex>& center,
                               const std::vector<double>& step, const std::vector<double>& noise,
                               const std::vector<double>& units) {
  double rho = 0.0;
  for (int j = 0; j < s.scaled.n; ++j) {
    const double r = finish::kBoxRadiusPerStep * step[j] +
                     kMachineEpsilon * (finish::kBoxRadiusPerUlp * std::abs(center[j]) +
                                        finish::kBoxNoiseUlps * noise[j]);
    rho = std::max(rho, r / units[j]);
  }
  std::vector<double> radii(static_cast<std::size_t>(s.scaled.n));
  for (int j = 0; j < s.scaled.n; ++j) radii[j] = rho * units[j] + kTinyRadius;
  return radii;
}

// Krawczyk's test on boxes growing from `radii`; on success `out` holds the certificate.
bool ProveInBoxes(const NormalForm& s, const ColMajorMatrix<Complex>& Y, std::vector<double> radii,
                  bool real, Certificate& out) {
  for (int attempt = 0; attempt < static_cast<int>(finish::kBoxAttempts); ++attempt) {
    std::vector<double> reach = KrawczykReach(s, out.center, Y, radii);
    if (!reach.empty()) {
      out.certified = true;
      out.real = real;
      out.radius = *std::max_element(reach.begin(), reach.end());
      out.reach = std::move(reach);
      out.box = std::move(radii);
      return true;
    }
    for (double& r : radii) r *= finish::kBoxWidening;
  }
  return false;
}

Certificate TryCenter(const NormalForm& s, const Complex* x, bool real) {
  Certificate out;
  out.center.assign(x, x + s.scaled.n);
  if (real) {
    for (Complex& v : out.center) v = v.real();
  }
  ColMajorMatrix<Complex> Y;
  const std::vector<double> step = NewtonCenter(s, out.center, Y, real);
  if (step.empty()) return out;
  const std::vector<double> noise = NoiseReach(s, out.center, Y);
  const std::vector<double> units = UnitsAt(s, out.center.data()).column;
  if (ProveInBoxes(s, Y, FirstRadii(s, out.center, step, noise, units), real, out)) return out;
  // Where UnitsAt takes coordinates far below the largest for zeros, boxes that wide around them
  // fail even at a genuine root (i1's, with coordinates from 4e-11 to 4e11): then each coordinate
  // is its own unit.
  const std::vector<double> own = OwnColumnUnits(out.center.data(), s.scaled.n);
  if (own != units && ProveInBoxes(s, Y, FirstRadii(s, out.center, step, noise, own), real, out))
    return out;
  // Conversely, a genuine coordinate near the origin (a slack of an embedded system, 1e-9 off 0
  // where the coefficients carry 12 digits) gets a box as narrow as itself, through which the
  // other coordinates' boxes, 1e9 times wider, spread more than Krawczyk's contraction takes:
  // then it has the point's size as its unit. A proof in any of the boxes is a proof.
  const std::vector<double> zero = ColumnUnitsAtOrigin(out.center.data(), OriginScales(s));
  if (zero != units && zero != own)
    ProveInBoxes(s, Y, FirstRadii(s, out.center, step, noise, zero), real, out);
  return out;
}

bool RealCoefficients(const NormalForm& s) {
  return std::all_of(s.rawCoefficients.begin(), s.rawCoefficients.end(),
                     [](const Complex& a) { return a.imag() == 0.0; });
}

bool BoxesOverlap(const Certification& c, int n, std::int64_t a, std::int64_t b) {
  const double w = c.boxRadii[a] + c.boxRadii[b];
  for (int j = 0; j < n; ++j) {
    const Complex d = c.boxCenters(j, a) - c.boxCenters(j, b);
    if (std::fabs(d.real()) > w || std::fabs(d.imag()) > w) return false;
  }
  return true;
}

// Sweep over the lower bounds of Re x_0: box b, later in that order, meets box a in that
// coordinate only while its lower bound is at most a's upper bound.
std::int64_t CountDistinct(const Certification& c, int n) {
  std::vector<std::int64_t> boxes;
  const auto count = static_cast<std::int64_t>(c.certified.size());
  for (std::int64_t k = 0; k < count; ++k)
    if (c.certified[k]) boxes.push_back(k);
  if (n == 0) return boxes.empty() ? 0 : 1;
  auto lo = [&](std::int64_t k) { return c.boxCenters(0, k).real() - c.boxRadii[k]; };
  auto hi = [&](std::int64_t k) { return c.boxCenters(0, k).real() + c.boxRadii[k]; };
  std::sort(boxes.begin(), boxes.end(),
            [&](std::int64_t a, std::int64_t b) { return lo(a) != lo(b) ? lo(a) < lo(b) : a < b; });
  DisjointSets sets(count);
  std::int64_t groups = static_cast<std::int64_t>(boxes.size());
  for (std::size_t s = 0; s < boxes.size(); ++s) {
    for (std::size_t t = s + 1; t < boxes.size() && lo(boxes[t]) <= hi(boxes[s]); ++t) {
      if (!BoxesOverlap(c, n, boxes[s], boxes[t])) continue;
      if (sets.Join(boxes[s], boxes[t])) --groups;
    }
  }
  return groups;
}

}  // namespace

std::vector<double> OwnColumnUnits(const Complex* x, int n) {
  const double M = MaxModulus(x, n);
  std::vector<double> units(static_cast<std::size_t>(n));
  for (int j = 0; j < n; ++j) units[j] = std::abs(x[j]) > 0.0 ? std::abs(x[j]) : M;
  return units;
}

double KrawczykTest(const NormalForm& system, const std::vector<Complex>& center, double radius) {
  const SystemView view{system.scaled.n, system.scaled.termCount, &system.scaled.exponents,
                        system.rawCoefficients};
  ColMajorMatrix<Complex> J, Y;
  std::vector<Complex> F;
  EvaluateSystem(view, MaxDegrees(system.scaled.exponents), center.data(), J, F);
  if (!InvertMatrix(J, Y)) return -1.0;
  const std::vector<double> reach =
      KrawczykReach(system, center, Y, std::vector<double>(center.size(), radius));
  return reach.empty() ? -1.0 : *std::max_element(reach.begin(), reach.end());
}

Certificate CertifyPoint(const NormalForm& system, const Complex* x, bool tryReal) {
  if (tryReal) {
    Certificate real = TryCenter(system, x, true);
    if (real.certified) return real;
  }
  return TryCenter(system, x, false);
}

Certification CertifyRoots(const NormalForm& system, const SolveResult& r,
                           const std::function<bool()>& interrupted) {
  FinishStop stop(interrupted);
  const NormalForm normalized = WithEquationsNormalized(system);
  const std::int64_t count = r.roots.cols();
  const bool realSystem = RealCoefficients(normalized);
  Certification out;
  out.certified.assign(count, 0);
  out.certifiedReal.assign(count, 0);
  out.boxRadii.assign(count, 0.0);
  out.boxCenters = r.roots;
  out.counts.run = true;
  for (std::int64_t k = 0; k < count; ++k) {
    if (r.rootStatus[k] != RootStatus::kRegular) continue;
    stop.AskIfDue();
    const Certificate c = CertifyPoint(normalized, r.roots.col(k), realSystem && r.isReal[k] != 0);
    if (!c.certified) continue;
    out.certified[k] = 1;
    out.certifiedReal[k] = c.real ? 1 : 0;
    out.boxRadii[k] = c.radius;
    std::copy(c.center.begin(), c.center.end(), out.boxCenters.col(k));
    ++out.counts.certified;
    out.counts.real += c.real ? 1 : 0;
  }
  out.counts.distinct = CountDistinct(out, r.n);
  return out;
}

void TakeCertification(Certification&& c, SolveResult& result) {
  result.certified = std::move(c.certified);
  result.certifiedReal = std::move(c.certifiedReal);
  result.boxCenters = std::move(c.boxCenters);
  result.boxRadii = std::move(c.boxRadii);
  result.certification = c.counts;
}

}  // namespace zormix
