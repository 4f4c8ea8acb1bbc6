#include "finish/root_cluster.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include "finish/extended_newton.h"

namespace zormix {
namespace {

// Roundings per Taylor coefficient: each of the d synthetic divisions adds a complex product and
// a sum (at most 4 roundings in each part); the bound takes twice that.
constexpr long double kRoundingsPerDegree = 8.0L;
constexpr long double kRadiusStep = 1.4142135623730951L;  // sqrt(2): ratio of scanned radii
constexpr int kRadiusSteps = 320;  // the scan covers 2^-160 .. 1 of the root bound
constexpr int kCenterSteps = 8;    // Newton steps toward a multiple root at most

// Coefficients of p by degree, from the system's terms.
std::vector<Wide> Coefficients(const NormalForm& system) {
  int degree = 0;
  for (std::int32_t t = 0; t < system.scaled.termCount[0]; ++t)
    degree = std::max(degree, static_cast<int>(system.scaled.exponents(0, t)));
  std::vector<Wide> a(static_cast<std::size_t>(degree) + 1, 0.0L);
  for (std::int32_t t = 0; t < system.scaled.termCount[0]; ++t) {
    const Complex& c = system.rawCoefficients[t];
    a[system.scaled.exponents(0, t)] += Wide(c.real(), c.imag());
  }
  return a;
}

// Taylor coefficients at x by repeated synthetic division (Horner): a becomes c in place.
template <typename T>
void TaylorShift(std::vector<T>& a, const T& x) {
  const int d = static_cast<int>(a.size()) - 1;
  for (int j = 0; j < d; ++j)
    for (int i = d - 1; i >= j; --i) a[i] += x * a[i + 1];
}

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
Complex MultipleRoot(const std::vector<Wide>& a, Complex x, int m, double radius) {
  const Wide start(x.real(), x.imag());
  Wide w = start;
  for (int step = 0; step < kCenterSteps; ++step) {
    std::vector<Wide> c = a;
    TaylorShift(c, w);
    if (c[m] == Wide(0.0L)) return x;
    const Wide delta = c[m - 1] / (static_cast<long double>(m) * c[m]);
    w -= delta;
    if (!(std::abs(w - start) < radius)) return x;
    if (std::abs(delta) <= kWideUnitRoundoff * std::abs(w)) break;
  }
  return Complex(static_cast<double>(w.real()), static_cast<double>(w.imag()));
}

}  // namespace

RootCluster RootClusterAt(const NormalForm& system, Complex x) {
  const std::vector<Wide> coefficients = Coefficients(system);
  std::vector<Wide> c = coefficients;
  const int d = static_cast<int>(c.size()) - 1;
  if (d < 1) return {};
  std::vector<long double> bound(c.size());
  for (std::size_t i = 0; i < c.size(); ++i) bound[i] = std::abs(c[i]);
  TaylorShift(c, Wide(x.real(), x.imag()));
  TaylorShift(bound, static_cast<long double>(std::abs(x)));
  const long double gamma = kRoundingsPerDegree * (d + 1) * kWideUnitRoundoff;
  std::vector<long double> size(c.size()), error(c.size());
  for (std::size_t j = 0; j < c.size(); ++j) {
    size[j] = std::abs(c[j]);
    error[j] = gamma * bound[j];
  }
  if (!(size[d] > error[d])) return {};
  // Every root lies within the Fujiwara bound 2 max_j |c_j / c_d|^(1 / (d - j)) of x.
  long double reach = 0.0L;
  for (int j = 0; j < d; ++j)
    reach = std::max(reach, std::pow((size[j] + error[j]) / size[d], 1.0L / (d - j)));
  if (!(reach > 0.0L) || !std::isfinite(static_cast<double>(reach))) return {};
  long double r = 2.0L * reach * std::pow(kRadiusStep, -static_cast<long double>(kRadiusSteps));
  for (int step = 0; step <= kRadiusSteps; ++step, r *= kRadiusStep) {
    const int m = DominantIndex(size, error, r);
    if (m == 1) return {1, static_cast<double>(r), x};
    if (m >= 2)
      return {m, static_cast<double>(r), MultipleRoot(coefficients, x, m, static_cast<double>(r))};
  }
  return {};
}

}  // namespace zormix
