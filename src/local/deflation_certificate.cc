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
  ShiftScratch<CInterval> scratch;
  std::int64_t t = 0;
  for (std::size_t i = 0; i < system.termCount.size(); ++i) {
    for (std::int32_t q = 0; q < system.termCount[i]; ++q, ++t) {
      ShiftTerm<CInterval, Interval>(CInterval(system.coefficients[t]), system.exponents.col(t),
                                     X.data(), column.data(), table, order, T[i].data(), scratch);
    }
    const Interval s(units.row[i]);
    for (CInterval& v : T[i]) v = {v.re / s, v.im / s};
  }
  return T;
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

// |z| rounded upward (the caller's rounding mode): each operation on non-negative numbers.
double UpperModulus(double re, double im) { return std::sqrt(re * re + im * im); }

// An interval matrix as midpoints and radii: every entry lies in the disc mid +- rad.
struct MidRad {
  ColMajorMatrix<Complex> mid;
  ColMajorMatrix<double> rad;
};
MidRad Split(const ColMajorMatrix<CInterval>& J) {
  MidRad out;
  out.mid.Assign(J.rows(), J.cols());
  out.rad.Assign(J.rows(), J.cols(), 0.0);
  for (std::int64_t j = 0; j < J.cols(); ++j) {
    for (std::int64_t i = 0; i < J.rows(); ++i) {
      const CInterval& z = J(i, j);
      const double re = 0.5 * (z.re.lower() + z.re.upper());
      const double im = 0.5 * (z.im.lower() + z.im.upper());
      out.mid(i, j) = Complex(re, im);
      out.rad(i, j) = UpperModulus(std::max(z.re.upper() - re, re - z.re.lower()),
                                   std::max(z.im.upper() - im, im - z.im.lower()));
    }
  }
  return out;
}

// K(Z) - z~ inside the open box of radius r: the largest magnitude of the enclosure of G there,
// or -1 when K(Z) may leave the box. In midpoint-radius form (Rump): with J(Z) in Jc +- Jr,
//   |K(Z)_i - z~_i| <= |Y G(z~)|_i + sqrt(2) r sum_j M_ij,
//   M = |I - Y Jc| + |Y| Jr + gamma (|Y| |Jc| + I),
// gamma bounding the rounding of the floating-point product Y Jc (every sum rounds upward here,
// so each bound above is one). Two real products and one complex one: the interval product of
// Y and J(Z) costs as many interval operations, each a change of rounding mode.
double KrawczykHolds(const Problem& p, const ColMajorMatrix<Complex>& Y,
                     const std::vector<CInterval>& G0, double r) {
  std::vector<CInterval> G;
  ColMajorMatrix<CInterval> J;
  EnclosedSystem(p, r, G, J);
  const std::int64_t size = Y.rows(), rows = Y.cols();
  const MidRad jacobian = Split(J);
  ColMajorMatrix<double> absY(size, rows);
  for (std::int64_t l = 0; l < rows; ++l)
    for (std::int64_t i = 0; i < size; ++i)
      absY(i, l) = UpperModulus(Y(i, l).real(), Y(i, l).imag());
  const double gamma = 4.0 * (rows + 4.0) * kMachineEpsilon;
  std::vector<double> bound(size, 0.0);  // |Y G(z~)|_i
  for (std::int64_t l = 0; l < rows; ++l) {
    const double re = 0.5 * (G0[l].re.lower() + G0[l].re.upper());
    const double im = 0.5 * (G0[l].im.lower() + G0[l].im.upper());
    const double rad = UpperModulus(std::max(G0[l].re.upper() - re, re - G0[l].re.lower()),
                                    std::max(G0[l].im.upper() - im, im - G0[l].im.lower()));
    const double size0 = UpperModulus(re, im);
    for (std::int64_t i = 0; i < size; ++i) bound[i] += absY(i, l) * (rad + gamma * size0);
  }
  std::vector<Complex> yg(size);
  for (std::int64_t l = 0; l < rows; ++l) {
    const Complex g(0.5 * (G0[l].re.lower() + G0[l].re.upper()),
                    0.5 * (G0[l].im.lower() + G0[l].im.upper()));
    for (std::int64_t i = 0; i < size; ++i) yg[i] += Y(i, l) * g;
  }
  for (std::int64_t i = 0; i < size; ++i) bound[i] += UpperModulus(yg[i].real(), yg[i].imag());
  std::vector<double> rowSum(size, 0.0);
  std::vector<Complex> product(size);
  std::vector<double> spread(size);
  for (std::int64_t j = 0; j < size; ++j) {
    std::fill(product.begin(), product.end(), Complex(0.0));
    std::fill(spread.begin(), spread.end(), 0.0);
    for (std::int64_t l = 0; l < rows; ++l) {
      const Complex c = jacobian.mid(l, j);
      const double width = jacobian.rad(l, j) + gamma * UpperModulus(c.real(), c.imag());
      for (std::int64_t i = 0; i < size; ++i) {
        product[i] += Y(i, l) * c;
        spread[i] += absY(i, l) * width;
      }
    }
    for (std::int64_t i = 0; i < size; ++i) {
      const Complex e = (i == j ? Complex(1.0) : Complex(0.0)) - product[i];
      rowSum[i] += UpperModulus(e.real(), e.imag()) + spread[i] + (i == j ? gamma : 0.0);
    }
  }
  const double diagonal = std::sqrt(2.0) * r;  // |Z_j - z~_j| in the box
  for (std::int64_t i = 0; i < size; ++i)
    if (!(bound[i] + diagonal * rowSum[i] < r)) return -1.0;
  double residual = 0.0;
  for (const CInterval& g : G) residual = std::max(residual, Magnitude(g));
  return residual;
}

}  // namespace

DeflationCertificate CertifyDeflation(const PolySystem& system, const Deflation& deflation,
                                      const DualSpace& dual) {
  DeflationCertificate certificate;
  LocalUnits units = deflation.units;
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
  const ColMajorMatrix<Complex> Y = LeftInverse(center.jacobian);
  if (Y.rows() == 0) return certificate;
  double r = kRadiusPerCorrection * deflation.correction + kRadiusPerUlp * kMachineEpsilon;
  ProtectedInterval::traits_type::rounding rounding;  // upward rounding while it lives
  std::vector<CInterval> G0;                          // G at the center
  ColMajorMatrix<CInterval> unused;
  EnclosedSystem(p, 0.0, G0, unused);
  for (int attempt = 0; attempt < kAttempts; ++attempt, r *= kWiderBox) {
    const double residual = KrawczykHolds(p, Y, G0, r);
    if (residual < 0.0) continue;
    certificate.certified = true;
    certificate.residual = residual;
    for (int k = 0; k < system.n; ++k) certificate.radius.push_back(units.column[k] * r);
    break;
  }
  return certificate;
}

}  // namespace zormix
