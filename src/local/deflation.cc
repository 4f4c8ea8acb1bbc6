#include "local/deflation.h"

#include <algorithm>
#include <cmath>

#include "base/numeric.h"
#include "base/singular_values.h"

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
                                  const LocalUnits& units, const MonomialTable& table,
                                  const std::vector<Complex>& lambda,
                                  const std::vector<std::vector<Complex>>& basis,
                                  const std::vector<Complex>& target, int depth) {
  const TaylorSystem T = ExpandAt(system, x.data(), units, table, depth + 1);
  AugmentedSystem out;
  AssembleAugmented<Complex>(system.n, table, T.equations, lambda, basis, target, depth, out.values,
                             out.jacobian);
  out.noise = T.noise;
  return out;
}

bool Deflatable(int n, const DualSpace& dual) {
  return n + MonomialCount(n, dual.depth()) <= kLargestDeflation;
}

Deflation Deflate(const PolySystem& system, const std::vector<Complex>& x, const LocalUnits& units,
                  const DualSpace& dual) {
  const int n = system.n;
  Deflation result;
  result.units = units;
  result.point = x;
  result.depth = dual.depth();
  if (!Deflatable(n, dual)) return result;
  const MonomialTable table(n, result.depth + 1);
  const std::int64_t N = table.CountUpTo(result.depth);
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
  for (int iteration = 0; iteration < kNewtonIterations; ++iteration) {
    AugmentedSystem G = EvaluateAugmented(system, result.point, result.units, table, result.lambda,
                                          basis, target, result.depth);
    double residual = 0.0, lambdaSize = 0.0;
    for (Complex& v : G.values) residual = std::max(residual, std::abs(v)), v = -v;
    for (const Complex& l : result.lambda) lambdaSize += std::abs(l);
    // The augmented rows are sums of multiplier times Taylor coefficient: their rounding is the
    // expansion's times the multiplier's 1-norm. Below it Newton's corrections are noise, and the
    // size of one more of them is the root's accuracy.
    const bool atRounding = residual <= G.noise * std::max(1.0, lambdaSize);
    // At the root the deflated Jacobian has full column rank (deflation.h): when QR cannot show
    // it, the dual space or the point is not that of an isolated root.
    std::vector<Complex> step;
    if (!FullRankLeastSquares(G.jacobian, G.values, kMachineEpsilon, step)) break;
    double size = 0.0;
    for (int k = 0; k < n; ++k) {
      result.point[k] += result.units.column[k] * step[k];
      size = std::max(size, std::abs(step[k]));
    }
    for (std::int64_t a = 0; a < N; ++a) result.lambda[a] += step[n + a];
    result.correction = size;
    double scale = 0.0;
    for (int k = 0; k < n; ++k)
      scale = std::max(scale, std::abs(result.point[k]) / result.units.column[k]);
    if (atRounding || size <= kRoundingCorrection * kMachineEpsilon * std::max(scale, 1.0)) {
      result.converged = true;
      break;
    }
  }
  return result;
}

}  // namespace zormix
