#include "report/local_dimension.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "report/scaled_jacobian.h"
#include "report/singular_values.h"

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

// Gauss-Newton steps x := x - c.(A^+_r G), r = n - k, until a step falls below kConvergedStep.
Projection Project(const NormalForm& system, const PointUnits& units, int k,
                   std::vector<Complex>& x) {
  const int n = system.n;
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
    for (int j = 0; j < n - k; ++j) {
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

bool OnSetOfCorank(const Projection& p, int k) {
  return p.converged && p.residual <= kOnSetResidual && NumericalCorank(p.svd, kOnSetCorank) == k;
}

// c.t for a fixed combination t of the last k right singular vectors, max-norm 1 in units.
std::vector<Complex> TangentMove(const SingularValues& svd, const PointUnits& units, int k) {
  const int n = static_cast<int>(svd.sigma.size());
  std::mt19937_64 generator(kDirectionSeed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<Complex> t(static_cast<std::size_t>(n), 0.0);
  for (int j = n - k; j < n; ++j) {
    const Complex w(uniform(generator), uniform(generator));
    for (int l = 0; l < n; ++l) t[l] += w * svd.right(l, j);
  }
  const double size = MaxAbs(t);
  for (int l = 0; l < n; ++l) t[l] *= kTangentMove / size * units.column[l];
  return t;
}

}  // namespace

int LocalDimension(const NormalForm& system, const Complex* x) {
  const int n = system.n;
  if (n == 0) return 0;
  const PointUnits units = UnitsAt(system, x);
  ColMajorMatrix<Complex> A;
  std::vector<Complex> G;
  ScaledJacobian(system, units, x, A, G);
  const int k = NumericalCorank(ComputeSingularValues(A), kEndPointCorank);
  if (k == 0) return 0;
  std::vector<Complex> x0(x, x + n);
  const Projection first = Project(system, units, k, x0);
  if (!OnSetOfCorank(first, k)) return 0;
  const std::vector<Complex> move = TangentMove(first.svd, units, k);
  std::vector<Complex> x2 = x0;
  for (int l = 0; l < n; ++l) x2[l] += move[l];
  if (!OnSetOfCorank(Project(system, units, k, x2), k)) return 0;
  double distance = 0.0;
  for (int l = 0; l < n; ++l)
    distance = std::max(distance, std::abs(x2[l] - x0[l]) / units.column[l]);
  return distance >= kStaysAway * kTangentMove ? k : 0;
}

}  // namespace zormix
