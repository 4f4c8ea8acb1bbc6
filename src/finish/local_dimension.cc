#include "finish/local_dimension.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "finish/scaled_jacobian.h"
#include "finish/singular_values.h"

namespace zormix {
namespace {

constexpr double kEndPointCorank = 1e-6;  // sigma_j / sigma_1 at the end point: null
constexpr double kOnSetCorank = 1e-9;     // the same at a point projected onto the set
constexpr double kTangentMove = 0.03;     // the move along the null space, in the point's units
constexpr double kStaysAway = 0.25;       // x2 at least this share of the move from x0
constexpr double kConvergedStep = 1e-13;  // a Gauss-Newton step this small (in units): converged
constexpr double kOnSetResidual = 1e-12;  // max_i |F_i| / s_i of a solution
constexpr int kProjectionSteps = 12;
constexpr double kHalved = 0.5;
constexpr int kAdaptiveRank = -1;
constexpr double kRankTolerance = 1e-8;
constexpr std::uint64_t kDirectionSeed = 0x9e3779b97f4a7c15ULL;

struct Projection {
  bool converged = false;
  double residual = 0.0;  // max_i |F_i| / s_i at the projected point
  SingularValues svd;     // of A there
};

double MaxAbs(const std::vector<Complex>& v) {
  double m = 0.0;
  for (const Complex& z : v) m = std::max(m, std::abs(z));
  return m;
}

// Gauss-Newton steps x := x - c.(A^+_r G) until a step falls below kConvergedStep; r = n - k,
// or with k = kAdaptiveRank the numerical rank of A at each iterate (sigma_j > 1e-8 sigma_1).
Projection Project(const NormalForm& system, const PointUnits& units, int k,
                   std::vector<Complex>& x) {
  const int n = system.scaled.n;
  Projection out;
  ColMajorMatrix<Complex> A;
  std::vector<Complex> G;
  double previous = std::numeric_limits<double>::infinity();
  for (int iteration = 0; iteration <= kProjectionSteps; ++iteration) {
    ScaledJacobian(system, units, x.data(), A, G);
    out.svd = ComputeSingularValues(A);
    out.residual = MaxAbs(G);
    if (out.converged || !std::isfinite(out.residual) || iteration == kProjectionSteps) break;
    std::vector<Complex> step(static_cast<std::size_t>(n), 0.0);
    const int rank = k == kAdaptiveRank ? n - NumericalCorank(out.svd, kRankTolerance) : n - k;
    for (int j = 0; j < rank; ++j) {
      if (!(out.svd.sigma[j] > 0.0)) break;
      Complex dot = 0.0;
      for (int i = 0; i < n; ++i) dot += std::conj(out.svd.scaledLeft(i, j)) * G[i];
      dot /= out.svd.sigma[j] * out.svd.sigma[j];
      for (int l = 0; l < n; ++l) step[l] += out.svd.right(l, j) * dot;
    }
    for (int l = 0; l < n; ++l) x[l] -= units.column[l] * step[l];
    const double size = MaxAbs(step);
    if (size <= kConvergedStep) out.converged = true;
    // Quadratic convergence halves a step many times over; a step not halved ends the attempt.
    if (!out.converged && size > kHalved * previous) break;
    previous = size;
  }
  return out;
}

bool OnSet(const Projection& p) { return p.converged && p.residual <= kOnSetResidual; }

// c.t for a fixed combination t of the right singular vectors `first`..n-1 listed in `use`
// (weights from a generator of its own), max-norm 1 in units.
std::vector<Complex> TangentMove(const SingularValues& svd, const PointUnits& units,
                                 const std::vector<int>& use) {
  const int n = static_cast<int>(svd.sigma.size());
  std::mt19937_64 generator(kDirectionSeed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<Complex> t(static_cast<std::size_t>(n), 0.0);
  for (int j : use) {
    const Complex w(uniform(generator), uniform(generator));
    for (int l = 0; l < n; ++l) t[l] += w * svd.right(l, j);
  }
  const double size = MaxAbs(t);
  for (int l = 0; l < n; ++l) t[l] *= kTangentMove / size * units.column[l];
  return t;
}

// The corank at the point x0 + move projected back onto the set with the adaptive rank, when the
// projection converges onto a solution away from x0; else 0.
int DimensionAfterMove(const NormalForm& system, const PointUnits& units,
                       const std::vector<Complex>& x0, const std::vector<Complex>& move) {
  const int n = system.scaled.n;
  std::vector<Complex> x2 = x0;
  for (int l = 0; l < n; ++l) x2[l] += move[l];
  const Projection p = Project(system, units, kAdaptiveRank, x2);
  if (!OnSet(p)) return 0;
  double distance = 0.0;
  for (int l = 0; l < n; ++l)
    distance = std::max(distance, std::abs(x2[l] - x0[l]) / units.column[l]);
  return distance >= kStaysAway * kTangentMove ? NumericalCorank(p.svd, kOnSetCorank) : 0;
}

}  // namespace

int LocalDimension(const NormalForm& system, const Complex* x) {
  const int n = system.scaled.n;
  if (n == 0) return 0;
  const PointUnits units = UnitsAt(system, x);
  ColMajorMatrix<Complex> A;
  std::vector<Complex> G;
  ScaledJacobian(system, units, x, A, G);
  const int k = NumericalCorank(ComputeSingularValues(A), kEndPointCorank);
  if (k == 0) return 0;
  std::vector<Complex> x0(x, x + n);
  const Projection first = Project(system, units, k, x0);
  if (!OnSet(first) || NumericalCorank(first.svd, kOnSetCorank) == 0) return 0;
  // A combination of all null directions; at a point where several sets meet (k larger than
  // the dimension of each) only a single direction may be tangent to one of them.
  std::vector<std::vector<int>> directions(1);
  for (int j = n - k; j < n; ++j) directions[0].push_back(j);
  for (int j = n - k; k > 1 && j < n; ++j) directions.push_back({j});
  for (const std::vector<int>& use : directions) {
    const int d = DimensionAfterMove(system, units, x0, TangentMove(first.svd, units, use));
    if (d > 0) return d;
  }
  return 0;
}

}  // namespace zormix
