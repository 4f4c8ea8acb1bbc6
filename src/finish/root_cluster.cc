#include "finish/root_cluster.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include "finish/extended_newton.h"
#include "finish/parameters.h"

namespace zormix {
namespace {

constexpr long double kRadiusStep = 1.4142135623730951L;  // sqrt(2): ratio of scanned radii
constexpr int kRadiusSteps = 320;  // the scan covers 2^-160 .. 1 of the root bound

// The terms a_t x^(e_t) of p, with like powers summed.
struct Term {
  int exponent = 0;
  Wide coefficient;
};

std::vector<Term> Terms(const NormalForm& system) {
  const std::int32_t count = system.scaled.termCount[0];
  int degree = 0;
  for (std::int32_t t = 0; t < count; ++t)
    degree = std::max(degree, static_cast<int>(system.scaled.exponents(0, t)));
  std::vector<int> slot(static_cast<std::size_t>(degree) + 1, -1);  // term of each power
  std::vector<Term> terms;
  for (std::int32_t t = 0; t < count; ++t) {
    const Complex& c = system.rawCoefficients[t];
    const int e = static_cast<int>(system.scaled.exponents(0, t));
    if (slot[e] < 0) slot[e] = static_cast<int>(terms.size()), terms.push_back({e, 0.0L});
    terms[slot[e]].coefficient += Wide(c.real(), c.imag());
  }
  return terms;
}

int DegreeOf(const std::vector<Term>& terms) {
  int degree = 0;
  for (const Term& term : terms) degree = std::max(degree, term.exponent);
  return degree;
}

// Taylor coefficients at x, c_j = sum_t a_t C(e_t, j) x^(e_t - j), term by term from the top:
// a C(e, j - 1) x^(e - j + 1) = a C(e, j) x^(e - j) * x j / (e - j + 1). The cost is the sum of the
// exponents, where repeated synthetic division costs d^2 / 2 (x^3000 - 1: 6e3 against 4.5e6
// operations per root). A power too small for the number type is dropped: it is below every
// error bound. T is Wide for the coefficients, long double for the bounds at |x| of |a_t|.
template <typename T>
std::vector<T> TaylorAt(const std::vector<Term>& terms, int degree, const T& x,
                        T (*coefficient)(const Term&)) {
  std::vector<T> c(static_cast<std::size_t>(degree) + 1, T(0.0L));
  for (const Term& term : terms) {
    T power = coefficient(term);
    for (int j = term.exponent; j >= 0; --j) {
      c[j] += power;
      if (j > 0)
        power *= x * static_cast<long double>(j) / static_cast<long double>(term.exponent - j + 1);
    }
  }
  return c;
}

Wide CoefficientOf(const Term& term) { return term.coefficient; }
long double ModulusOf(const Term& term) { return std::abs(term.coefficient); }

// The index m whose term |c_m| r^m dominates all the others together (with their error bounds),
// or -1.
int DominantIndex(const std::vector<long double>& size, const std::vector<long double>& error,
                  long double r) {
  long double total = 0.0L, best = -1.0L, power = 1.0L;
  int m = -1;
  for (std::size_t j = 0; j < size.size(); ++j, power *= r) {
    const long double term = power * size[j];
    total += power * (size[j] + error[j]);
    if (term > best) best = term, m = static_cast<int>(j);
  }
  const long double low = std::pow(r, static_cast<long double>(m)) * (size[m] - error[m]);
  const long double others =
      total - std::pow(r, static_cast<long double>(m)) * (size[m] + error[m]);
  return low > others ? m : -1;
}

// A root of multiplicity m of p is a simple root of p^(m - 1): Newton's method on it, with the
// step p^(m - 1) / p^(m) = c_(m - 1) / (m c_m) from the Taylor coefficients at the iterate,
// converges quadratically to the multiple root from anywhere in its cluster. The last iterate,
// or x when it leaves the disk.
Complex MultipleRoot(const std::vector<Term>& terms, int degree, Complex x, int m, double radius) {
  const Wide start(x.real(), x.imag());
  Wide w = start;
  for (int step = 0; step < finish::kClusterCenterSteps; ++step) {
    const std::vector<Wide> c = TaylorAt(terms, degree, w, CoefficientOf);
    if (c[m] == Wide(0.0L)) return x;
    const Wide delta = c[m - 1] / (static_cast<long double>(m) * c[m]);
    w -= delta;
    if (!(std::abs(w - start) < radius)) return x;
    if (std::abs(delta) <= kWideUnitRoundoff * std::abs(w)) break;
  }
  return Complex(static_cast<double>(w.real()), static_cast<double>(w.imag()));
}

// The disk of m >= 2 roots as one multiple root, or no cluster when the disk is wide beside the
// root it would be: then it only says where m distinct roots lie (Wilkinson's polynomial of
// degree 24 in double: all 24 roots within 34 of 12.4, from noise of the coefficients below c_24).
RootCluster MultipleRootCluster(const std::vector<Term>& terms, int degree, Complex x, int m,
                                double radius) {
  const Complex center = MultipleRoot(terms, degree, x, m, radius);
  const double allowed = std::max(finish::kWidestClusterShare * std::abs(center),
                                  finish::kWidestClusterReach * std::abs(x - center));
  if (radius > allowed) return {};
  return {m, radius, center};
}

}  // namespace

RootCluster RootClusterAt(const NormalForm& system, Complex x) {
  const std::vector<Term> terms = Terms(system);
  const int d = DegreeOf(terms);
  if (d < 1) return {};
  const std::vector<Wide> c = TaylorAt(terms, d, Wide(x.real(), x.imag()), CoefficientOf);
  const std::vector<long double> bound =
      TaylorAt(terms, d, static_cast<long double>(std::abs(x)), ModulusOf);
  const long double gamma =
      static_cast<long double>(finish::kRoundingsPerDegree.value()) * (d + 1) * kWideUnitRoundoff;
  std::vector<long double> size(c.size()), error(c.size());
  for (std::size_t j = 0; j < c.size(); ++j) {
    size[j] = std::abs(c[j]);
    error[j] = gamma * bound[j];
  }
  if (!(size[d] > error[d])) return {};
  // Every root lies within the Fujiwara bound 2 max_j |c_j / c_d|^(1 / (d - j)) of x.
  // In logarithms: a root per coefficient would cost most of the test at high degree.
  long double logReach = -std::numeric_limits<long double>::infinity();
  for (int j = 0; j < d; ++j)
    logReach = std::max(logReach, std::log((size[j] + error[j]) / size[d]) / (d - j));
  const long double reach = std::exp(logReach);
  if (!(reach > 0.0L) || !std::isfinite(static_cast<double>(reach))) return {};
  std::vector<long double> radii(kRadiusSteps + 1);
  radii[0] = 2.0L * reach * std::pow(kRadiusStep, -static_cast<long double>(kRadiusSteps));
  for (int step = 1; step <= kRadiusSteps; ++step) radii[step] = radii[step - 1] * kRadiusStep;
  // c_0 dominates (no root in the disk) on an interval of radii from 0, since the other terms
  // grow with r: a bisection skips it, and the scan goes on from its end.
  const auto first = std::partition_point(radii.begin(), radii.end(), [&](long double r) {
    return DominantIndex(size, error, r) == 0;
  });
  for (auto it = first; it != radii.end(); ++it) {
    const long double r = *it;
    const int m = DominantIndex(size, error, r);
    if (m == 1) return {1, static_cast<double>(r), x};
    if (m >= 2) return MultipleRootCluster(terms, d, x, m, static_cast<double>(r));
  }
  return {};
}

}  // namespace zormix
