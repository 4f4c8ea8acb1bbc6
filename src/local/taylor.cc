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

TaylorSystem ExpandAt(const PolySystem& system, const Complex* x, const LocalUnits& units,
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
  ShiftScratch<Complex> scratch;
  for (int i = 0; i < equations; ++i) {
    std::fill(absolute.begin(), absolute.end(), 0.0);
    std::vector<Complex>& out = expansion.equations[i];
    const std::int64_t first = FirstTerm(system, i);
    for (std::int32_t q = 0; q < system.termCount[i]; ++q) {
      const std::int64_t t = first + q;
      ShiftTerm<Complex, double>(system.coefficients[t], system.exponents.col(t), x,
                                 units.column.data(), table, order, out.data(), scratch,
                                 absolute.data(), std::abs(system.coefficients[t]), absX.data());
    }
    const double s = units.row[i];
    double worst = 0.0;
    for (std::int64_t p = 0; p < size; ++p) {
      out[p] /= s;
      worst = std::max(worst, absolute[p] / s);
    }
    expansion.noise =
        std::max(expansion.noise, CoefficientRounding(table.degree(), system.termCount[i]) * worst);
  }
  return expansion;
}

}  // namespace zormix
