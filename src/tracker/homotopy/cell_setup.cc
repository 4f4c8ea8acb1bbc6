#include "tracker/homotopy/cell_setup.h"

namespace zormix {

CellPowers CellNormalAndPowers(std::int64_t cell, const CellList& cells,
                               const ColMajorMatrix<std::int32_t>& exponents,
                               std::span<const std::int32_t> termCount, const IntMatrix& L,
                               const IntMatrix& U, const std::vector<double>& lifting) {
  const int n = cells.n();
  // Forward substitution L y = b in doubles, then alpha = U y.
  std::vector<double> yv(n);
  for (int i = 0; i < n; ++i) {
    double sum = lifting[cells.Second(cell, i)] - lifting[cells.First(cell, i)];
    for (int k = 0; k < i; ++k) sum -= static_cast<double>(L(i, k)) * yv[k];
    yv[i] = sum / static_cast<double>(L(i, i));
  }
  std::vector<double> alpha(n, 0.0);
  for (int i = 0; i < n; ++i) {
    double sum = 0.0;
    for (int k = 0; k < n; ++k) sum += static_cast<double>(U(i, k)) * yv[k];
    alpha[i] = sum;
  }
  auto lifted = [&](std::int64_t j) {
    double inner = 0.0;
    for (int k = 0; k < n; ++k) inner += exponents(k, j) * alpha[k];
    return inner + lifting[j];
  };
  CellPowers result;
  result.beta.assign(static_cast<std::size_t>(exponents.cols()), 0.0);
  std::int64_t j = 0;
  for (int i = 0; i < n; ++i) {
    const double m0 = lifted(cells.First(cell, i));
    for (std::int32_t t = 0; t < termCount[i]; ++t, ++j) {
      const double beta = lifted(j) - m0;
      result.beta[j] = beta <= kPowerCut ? 0.0 : beta;
    }
  }
  for (double beta : result.beta)
    if (beta > kPowerCut && beta < result.minPower) result.minPower = beta;
  return result;
}

CellSetup PrepareCell(std::int64_t cell, const CellList& cells, const PolySystem& system,
                      const std::vector<Complex>& startCoefficients,
                      const std::vector<double>& lifting) {
  const int n = system.n;
  const ColMajorMatrix<std::int32_t>& E = system.exponents;
  // Row i of D is the edge vector a_p1(i) - a_p2(i) of equation i.
  IntMatrix D(n, n);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < n; ++k)
      D(i, k) = static_cast<std::int64_t>(E(k, cells.First(cell, i))) - E(k, cells.Second(cell, i));
  IntMatrix U(n, n);
  CellSetup setup;
  setup.startCount = TriangularizeUnimodular(D, U);
  if (setup.startCount == 0) return setup;  // singular: no start solutions, no paths
  setup.powers = CellNormalAndPowers(cell, cells, E, system.termCount, D, U, lifting);
  setup.s0 = -20.0 / setup.powers.minPower;
  setup.starts = CellStartPoints(cell, cells, E, startCoefficients);
  return setup;
}

}  // namespace zormix
