#include "local/deflation.h"

#include <algorithm>
#include <cmath>

#include "base/numeric.h"
#include "local/dense.h"

namespace zormix {
namespace {

constexpr int kNewtonIterations = 12;
// Corrections below this many rounding units (of the point, in units) are rounding.
constexpr double kRoundingCorrection = 64.0;

// The functional of highest order with its component in the lower orders removed is the
// basis element itself (the basis is orthonormal and graded): the last one added.
int TopElement(const DualSpace& dual) { return dual.dimension() - 1; }

}  // namespace

AugmentedSystem EvaluateAugmented(const PolySystem& system, const std::vector<Complex>& x,
                                  LocalUnits& units, const MonomialTable& table,
                                  const std::vector<Complex>& lambda,
                                  const std::vector<std::vector<Complex>>& basis,
                                  const std::vector<Complex>& target, int depth) {
  const TaylorSystem T = ExpandAt(system, x.data(), units, table, depth + 1);
  AugmentedSystem out;
  AssembleAugmented<Complex>(system.n, table, T.equations, lambda, basis, target, depth, out.values,
                             out.jacobian);
  return out;
}

Deflation Deflate(const PolySystem& system, const std::vector<Complex>& x, LocalUnits& units,
                  const DualSpace& dual) {
  const int n = system.n;
  Deflation result;
  result.point = x;
  result.depth = dual.depth();
  const MonomialTable table(n, result.depth + 1);
  const std::int64_t N = table.CountUpTo(result.depth);
  if (n + N > kLargestDeflation) return result;
  const std::vector<Complex>& top = dual.basis[TopElement(dual)];
  result.lambda.assign(top.begin(), top.begin() + N);
  std::vector<std::vector<Complex>> basis;
  std::vector<Complex> target;
  for (const std::vector<Complex>& B : dual.basis) {
    basis.emplace_back(B.begin(), B.begin() + N);
    Complex sum = 0.0;
    for (std::int64_t a = 0; a < N; ++a) sum += std::conj(B[a]) * result.lambda[a];
    target.push_back(sum);
  }
  double previous = 1e300;
  for (int iteration = 0; iteration < kNewtonIterations; ++iteration) {
    AugmentedSystem G = EvaluateAugmented(system, result.point, units, table, result.lambda, basis,
                                          target, result.depth);
    for (Complex& v : G.values) v = -v;
    const std::vector<Complex> step = TruncatedLeastSquares(G.jacobian, G.values, kMachineEpsilon);
    double size = 0.0;
    for (int k = 0; k < n; ++k) {
      result.point[k] += units.column[k] * step[k];
      size = std::max(size, std::abs(step[k]));
    }
    for (std::int64_t a = 0; a < N; ++a) result.lambda[a] += step[n + a];
    result.correction = size;
    double scale = 0.0;
    for (int k = 0; k < n; ++k)
      scale = std::max(scale, std::abs(result.point[k]) / units.column[k]);
    if (size <= kRoundingCorrection * kMachineEpsilon * std::max(scale, 1.0)) {
      result.converged = true;
      break;
    }
    if (size >= previous && iteration > 2) break;
    previous = size;
  }
  return result;
}

}  // namespace zormix
