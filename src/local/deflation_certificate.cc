#include "local/deflation_certificate.h"

#include <algorithm>
#include <boost/numeric/interval.hpp>
#include <cmath>

#include "base/numeric.h"
#include "local/dense.h"

namespace zormix {
namespace {

namespace bi = boost::numeric::interval_lib;
using Rounding = bi::save_state<bi::rounded_arith_opp<double>>;
using ProtectedInterval =
    boost::numeric::interval<double, bi::policies<Rounding, bi::checking_base<double>>>;
// Operations that assume the rounding mode a ProtectedInterval::traits_type::rounding set.
using Interval = bi::unprotect<ProtectedInterval>::type;

// The first box is this many last Newton corrections wide (plus rounding), each further attempt
// this much wider.
constexpr double kRadiusPerCorrection = 8.0;
constexpr double kRadiusPerUlp = 256.0;
constexpr double kWiderBox = 100.0;
constexpr int kAttempts = 3;

struct CInterval {
  Interval re, im;
  CInterval() : re(0.0), im(0.0) {}
  explicit CInterval(double v) : re(v), im(0.0) {}
  explicit CInterval(const Complex& z) : re(z.real()), im(z.imag()) {}
  CInterval(Interval r, Interval i) : re(r), im(i) {}
};
CInterval operator+(const CInterval& a, const CInterval& b) { return {a.re + b.re, a.im + b.im}; }
CInterval operator-(const CInterval& a, const CInterval& b) { return {a.re - b.re, a.im - b.im}; }
CInterval operator*(const CInterval& a, const CInterval& b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
CInterval operator*(const CInterval& a, const Interval& b) { return {a.re * b, a.im * b}; }
double Magnitude(const CInterval& z) {
  return std::max({std::abs(z.re.lower()), std::abs(z.re.upper()), std::abs(z.im.lower()),
                   std::abs(z.im.upper())});
}

// The expansion of every equation at the interval point X, in the fixed units.
std::vector<std::vector<CInterval>> ExpandIntervals(const PolySystem& system,
                                                    const std::vector<CInterval>& X,
                                                    const LocalUnits& units,
                                                    const MonomialTable& table, int order) {
  const int n = system.n;
  std::vector<Interval> column(n);
  for (int k = 0; k < n; ++k) column[k] = Interval(units.column[k]);
  std::vector<std::vector<CInterval>> T(system.termCount.size(),
                                        std::vector<CInterval>(table.CountUpTo(order)));
  std::int64_t t = 0;
  for (std::size_t i = 0; i < system.termCount.size(); ++i) {
    for (std::int32_t q = 0; q < system.termCount[i]; ++q, ++t) {
      ShiftTerm<CInterval, Interval>(CInterval(system.coefficients[t]), system.exponents.col(t),
                                     X.data(), column.data(), table, order, T[i].data());
    }
    const Interval s(units.row[i]);
    for (CInterval& v : T[i]) v = {v.re / s, v.im / s};
  }
  return T;
}

// Y = J^+ = sum_j v_j (J v_j)^H / sigma_j^2 over the singular values above rounding.
ColMajorMatrix<Complex> PseudoInverse(const ColMajorMatrix<Complex>& J) {
  const std::int64_t rows = J.rows(), cols = J.cols();
  const SingularDecomposition svd = Decompose(J);
  ColMajorMatrix<Complex> Y(cols, rows);
  std::vector<Complex> Jv(rows);
  for (std::int64_t j = 0; j < cols; ++j) {
    const double s = svd.sigma[j];
    if (s <= kMachineEpsilon * svd.sigma[0]) break;
    std::fill(Jv.begin(), Jv.end(), 0.0);
    for (std::int64_t c = 0; c < cols; ++c)
      for (std::int64_t i = 0; i < rows; ++i) Jv[i] += J(i, c) * svd.right(c, j);
    for (std::int64_t i = 0; i < rows; ++i) {
      const Complex w = std::conj(Jv[i]) / (s * s);
      for (std::int64_t c = 0; c < cols; ++c) Y(c, i) += svd.right(c, j) * w;
    }
  }
  return Y;
}

struct Problem {
  const PolySystem& system;
  const Deflation& deflation;
  const LocalUnits& units;
  const MonomialTable& table;
  std::vector<std::vector<Complex>> basis;
  std::vector<Complex> target;
};

// G at the center (point intervals) or J over the box of radius r.
void EnclosedSystem(const Problem& p, double r, std::vector<CInterval>& values,
                    ColMajorMatrix<CInterval>& jacobian) {
  const int n = p.system.n;
  const Interval spread(-r, r);
  std::vector<CInterval> X(n);
  for (int k = 0; k < n; ++k) {
    const CInterval delta = r == 0.0 ? CInterval() : CInterval(spread, spread);
    X[k] = CInterval(p.deflation.point[k]) + delta * Interval(p.units.column[k]);
  }
  std::vector<CInterval> lambda(p.deflation.lambda.size());
  for (std::size_t a = 0; a < lambda.size(); ++a) {
    lambda[a] = CInterval(p.deflation.lambda[a]);
    if (r > 0.0) lambda[a] = lambda[a] + CInterval(spread, spread);
  }
  const auto T = ExpandIntervals(p.system, X, p.units, p.table, p.deflation.depth + 1);
  AssembleAugmented<CInterval>(n, p.table, T, lambda, p.basis, p.target, p.deflation.depth, values,
                               jacobian);
}

// K(Z) - z~ inside the open box of radius r: the largest magnitude of the enclosure of G there,
// or -1 when K(Z) leaves the box.
double KrawczykHolds(const Problem& p, const ColMajorMatrix<Complex>& Y, double r) {
  std::vector<CInterval> G0, G;
  ColMajorMatrix<CInterval> unusedJ, J;
  EnclosedSystem(p, 0.0, G0, unusedJ);
  EnclosedSystem(p, r, G, J);
  const std::int64_t size = Y.rows(), rows = Y.cols();
  const Interval spread(-r, r);
  for (std::int64_t i = 0; i < size; ++i) {
    CInterval k;
    for (std::int64_t l = 0; l < rows; ++l) k = k - CInterval(Y(i, l)) * G0[l];
    for (std::int64_t j = 0; j < size; ++j) {
      CInterval m(i == j ? 1.0 : 0.0);
      for (std::int64_t l = 0; l < rows; ++l) m = m - CInterval(Y(i, l)) * J(l, j);
      k = k + m * CInterval(spread, spread);
    }
    if (!(-r < k.re.lower() && k.re.upper() < r && -r < k.im.lower() && k.im.upper() < r))
      return -1.0;
  }
  double residual = 0.0;
  for (const CInterval& g : G) residual = std::max(residual, Magnitude(g));
  return residual;
}

}  // namespace

DeflationCertificate CertifyDeflation(const PolySystem& system, const Deflation& deflation,
                                      LocalUnits& units, const DualSpace& dual) {
  DeflationCertificate certificate;
  if (deflation.lambda.empty()) return certificate;
  const MonomialTable table(system.n, deflation.depth + 1);
  const std::int64_t N = table.CountUpTo(deflation.depth);
  Problem p{system, deflation, units, table, {}, {}};
  for (const std::vector<Complex>& B : dual.basis) {
    p.basis.emplace_back(B.begin(), B.begin() + N);
    Complex sum = 0.0;
    for (std::int64_t a = 0; a < N; ++a) sum += std::conj(B[a]) * deflation.lambda[a];
    p.target.push_back(sum);
  }
  const AugmentedSystem center = EvaluateAugmented(
      system, deflation.point, units, table, deflation.lambda, p.basis, p.target, deflation.depth);
  const ColMajorMatrix<Complex> Y = PseudoInverse(center.jacobian);
  double r = kRadiusPerCorrection * deflation.correction + kRadiusPerUlp * kMachineEpsilon;
  ProtectedInterval::traits_type::rounding rounding;  // upward rounding while it lives
  for (int attempt = 0; attempt < kAttempts; ++attempt, r *= kWiderBox) {
    const double residual = KrawczykHolds(p, Y, r);
    if (residual < 0.0) continue;
    certificate.certified = true;
    certificate.residual = residual;
    for (int k = 0; k < system.n; ++k) certificate.radius.push_back(units.column[k] * r);
    break;
  }
  return certificate;
}

}  // namespace zormix
