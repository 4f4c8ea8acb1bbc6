#include "local/taylor.h"

#include <algorithm>

#include "base/numeric.h"

namespace zormix {
namespace {

// Terms of equation i: [first, first + termCount[i]).
std::int64_t FirstTerm(const PolySystem& system, int i) {
  std::int64_t first = 0;
  for (int e = 0; e < i; ++e) first += system.termCount[e];
  return first;
}

}  // namespace

double DefaultZeroShare() { return std::sqrt(kMachineEpsilon); }

LocalUnits ColumnUnitsAt(const PolySystem& system, const Complex* x,
                         const std::vector<double>& naturalSize, double zeroShare) {
  const int n = system.n;
  LocalUnits units;
  double largest = 0.0;
  for (int j = 0; j < n; ++j) largest = std::max(largest, std::abs(x[j]));
  const double floor = (zeroShare < 0.0 ? DefaultZeroShare() : zeroShare) * largest;
  // The largest of the coordinates that are not zero: every coordinate may be (the origin).
  double kept = 0.0;
  for (int j = 0; j < n; ++j)
    if (std::abs(x[j]) > floor) kept = std::max(kept, std::abs(x[j]));
  units.column.resize(n);
  for (int j = 0; j < n; ++j) {
    const double own = std::abs(x[j]);
    double c = own > floor ? own : kept;
    if (own <= floor && !naturalSize.empty()) c = naturalSize[j];
    if (c == 0.0) c = 1.0;
    units.column[j] = c;
  }
  units.evaluation.assign(system.termCount.size(), 0.0);
  std::int64_t t = 0;
  for (std::size_t i = 0; i < system.termCount.size(); ++i) {
    for (std::int32_t q = 0; q < system.termCount[i]; ++q, ++t) {
      double size = std::abs(system.coefficients[t]);
      for (int k = 0; k < n; ++k) size *= std::pow(units.column[k], system.exponents(k, t));
      units.evaluation[i] += size;
    }
  }
  return units;
}

TaylorSystem ExpandAt(const PolySystem& system, const Complex* x, LocalUnits& units,
                      const MonomialTable& table, int order) {
  const int n = system.n;
  const int equations = static_cast<int>(system.termCount.size());
  const std::int64_t size = table.CountUpTo(order);
  TaylorSystem expansion;
  expansion.n = n;
  expansion.order = order;
  expansion.equations.assign(equations, std::vector<Complex>(size));
  std::vector<double> absX(n);
  for (int k = 0; k < n; ++k) absX[k] = std::abs(x[k]);
  std::vector<double> absolute(size);
  const bool fillRows = units.row.empty();
  if (fillRows) units.row.assign(equations, 0.0);
  for (int i = 0; i < equations; ++i) {
    std::fill(absolute.begin(), absolute.end(), 0.0);
    std::vector<Complex>& out = expansion.equations[i];
    const std::int64_t first = FirstTerm(system, i);
    double unitSum = 0.0;  // sum_t |a_t| c^e_t
    for (std::int32_t q = 0; q < system.termCount[i]; ++q) {
      const std::int64_t t = first + q;
      const std::int32_t* e = system.exponents.col(t);
      ShiftTerm<Complex, double>(system.coefficients[t], e, x, units.column.data(), table, order,
                                 out.data(), absolute.data(), std::abs(system.coefficients[t]),
                                 absX.data());
      double size = std::abs(system.coefficients[t]);
      for (int k = 0; k < n; ++k) size *= std::pow(units.column[k], e[k]);
      unitSum += size;
    }
    if (fillRows) {
      double largest = 0.0;
      for (std::int64_t p = 1; p < size; ++p) largest = std::max(largest, std::abs(out[p]));
      units.row[i] = largest > 0.0 ? largest : (unitSum > 0.0 ? unitSum : 1.0);
    }
    const double s = units.row[i];
    double worst = 0.0;
    for (std::int64_t p = 0; p < size; ++p) {
      out[p] /= s;
      worst = std::max(worst, absolute[p] / s);
    }
    // Each product and sum rounds once per factor: a bound of (degree + terms) eps on the sums
    // of moduli.
    const double steps = table.degree() + system.termCount[i] + 2.0;
    expansion.noise = std::max(expansion.noise, steps * kMachineEpsilon * worst);
  }
  return expansion;
}

}  // namespace zormix
