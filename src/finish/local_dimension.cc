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

constexpr double kEndPointCorank = 1e-6;  // sigma_j / sigma_1 at an end point or landing: null
constexpr double kTangentMove = 0.03;     // 2-norm of the move along the null space, in units
constexpr double kStaysAway = 0.25;       // a tangent direction moves the landing this share
constexpr double kConvergedStep = 1e-13;  // a Gauss-Newton step this small (in units): converged
constexpr double kOnSetResidual = 1e-12;  // max_i |F_i| / s_i of a solution
constexpr int kProjectionSteps = 60;
// A step above this share of the one before: no convergence. Quadratic convergence (a reduced
// set) and linear convergence at rate (m - 1) / m (a set of multiplicity m <= 8, or an isolated
// root of such multiplicity) both pass; what decides between a set and a root is where the
// projection lands.
constexpr double kContraction = 0.9;
constexpr int kAdaptiveRank = -1;
constexpr double kRankTolerance = 1e-8;
constexpr std::uint64_t kDirectionSeed = 0x9e3779b97f4a7c15ULL;

struct Projection {
  bool converged = false;
  bool cameBack = false;  // stopped early: the limit lies within the home radius
  double residual = 0.0;  // max_i |F_i| / s_i at the projected point
  SingularValues svd;     // of A there
};

double MaxAbs(const std::vector<Complex>& v) {
  double m = 0.0;
  for (const Complex& z : v) m = std::max(m, std::abs(z));
  return m;
}

// The Gauss-Newton step A^+_r G restricted to the r largest singular values.
std::vector<Complex> TruncatedStep(const SingularValues& svd, const std::vector<Complex>& G,
                                   int rank) {
  const int n = static_cast<int>(svd.sigma.size());
  std::vector<Complex> step(static_cast<std::size_t>(n), 0.0);
  for (int j = 0; j < rank; ++j) {
    if (!(svd.sigma[j] > 0.0)) break;
    Complex dot = 0.0;
    for (std::size_t i = 0; i < G.size(); ++i) dot += std::conj(svd.scaledLeft(i, j)) * G[i];
    dot /= svd.sigma[j] * svd.sigma[j];
    for (int l = 0; l < n; ++l) step[l] += svd.right(l, j) * dot;
  }
  return step;
}

// The point a projection started from and the radius (2-norm, in units) within which a landing
// counts as having come back to it.
struct Home {
  const std::vector<Complex>& point;
  double radius;
};

// 2-norm of (x - y) / c.
double DistanceInUnits(const std::vector<Complex>& x, const std::vector<Complex>& y,
                       const PointUnits& units) {
  double sum = 0.0;
  for (std::size_t l = 0; l < x.size(); ++l) sum += std::norm((x[l] - y[l]) / units.column[l]);
  return std::sqrt(sum);
}

// Gauss-Newton steps x := x - c.(A^+_r G) until a step falls below kConvergedStep; r = n - k,
// or with k = kAdaptiveRank the numerical rank of A at each iterate (sigma_j > 1e-8 sigma_1).
// Gives up when a step is not smaller than kContraction times the one before. With a home, stops
// as soon as the limit, bounded by the distance plus the geometric tail of the steps
// (sqrt(n) size r / (1 - r), r the last ratio of steps), lies within its radius: a landing back
// at the start needs no more steps (linear convergence back to an isolated root takes dozens).
Projection Project(const NormalForm& system, const PointUnits& units, int k,
                   std::vector<Complex>& x, const Home* home = nullptr) {
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
    const int rank = k == kAdaptiveRank ? n - NumericalCorank(out.svd, kRankTolerance) : n - k;
    const std::vector<Complex> step = TruncatedStep(out.svd, G, rank);
    for (int l = 0; l < n; ++l) x[l] -= units.column[l] * step[l];
    const double size = MaxAbs(step);
    if (size <= kConvergedStep) out.converged = true;
    if (!out.converged && size > kContraction * previous) break;
    if (home != nullptr && std::isfinite(previous)) {
      const double ratio = size / previous;
      const double tail = std::sqrt(static_cast<double>(n)) * size * ratio / (1.0 - ratio);
      if (DistanceInUnits(x, home->point, units) + tail < home->radius) {
        out.cameBack = true;
        break;
      }
    }
    previous = size;
  }
  return out;
}

// Singular values of A <= 1e-6 max(sigma_1, 1). In units every row of A has 1-norm at most 1,
// so sigma_1 <= sqrt(n); a sigma_1 far below 1 says that the whole Jacobian vanishes against the
// size of the equations' terms (two lines crossing), which a count relative to sigma_1 alone
// would miss.
int CorankInUnits(const SingularValues& svd) {
  const double cut = kEndPointCorank * std::max(svd.sigma.front(), 1.0);
  return static_cast<int>(
      std::count_if(svd.sigma.begin(), svd.sigma.end(), [cut](double s) { return !(s > cut); }));
}

bool OnSet(const Projection& p) { return p.converged && p.residual <= kOnSetResidual; }

// c.t for a fixed combination t of the right singular vectors listed in `use` (weights from a
// generator of its own), 2-norm kTangentMove in units.
std::vector<Complex> TangentMove(const SingularValues& svd, const PointUnits& units,
                                 const std::vector<int>& use) {
  const int n = static_cast<int>(svd.sigma.size());
  std::mt19937_64 generator(kDirectionSeed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<Complex> t(static_cast<std::size_t>(n), 0.0);
  for (int j : use) {
    const Complex w =
        use.size() == 1 ? Complex(1.0) : Complex(uniform(generator), uniform(generator));
    for (int l = 0; l < n; ++l) t[l] += w * svd.right(l, j);
  }
  double size = 0.0;
  for (const Complex& z : t) size += std::norm(z);
  size = std::sqrt(size);
  for (int l = 0; l < n; ++l) t[l] *= kTangentMove / size * units.column[l];
  return t;
}

// Where x0 + move lands when projected back onto the set with the adaptive rank.
struct Landing {
  bool onSet = false;
  std::vector<Complex> displacement;  // (landing - x0) / c, in units
  int corank = 0;                     // of A at the landing
};

// A landing that comes back within `backRadius` of x0 is not followed to its end (not on the set).
Landing LandAfterMove(const NormalForm& system, const PointUnits& units,
                      const std::vector<Complex>& x0, const std::vector<Complex>& move,
                      double backRadius) {
  const int n = system.scaled.n;
  std::vector<Complex> x2 = x0;
  for (int l = 0; l < n; ++l) x2[l] += move[l];
  const Home home{x0, backRadius};
  const Projection p = Project(system, units, kAdaptiveRank, x2, &home);
  Landing out;
  out.onSet = OnSet(p);
  if (!out.onSet) return out;
  for (int l = 0; l < n; ++l) out.displacement.push_back((x2[l] - x0[l]) / units.column[l]);
  out.corank = CorankInUnits(p.svd);
  return out;
}

// The number of independent directions in which the landings left x0: singular values of the
// displacements of at least kStaysAway of the move.
int DirectionsAway(const std::vector<Landing>& landings, int n) {
  std::vector<const Landing*> on;
  for (const Landing& l : landings)
    if (l.onSet) on.push_back(&l);
  if (on.empty()) return 0;
  ColMajorMatrix<Complex> D;
  D.Assign(n, static_cast<std::int64_t>(on.size()));
  for (std::size_t m = 0; m < on.size(); ++m)
    std::copy(on[m]->displacement.begin(), on[m]->displacement.end(), D.col(m));
  const SingularValues svd = ComputeSingularValues(D);
  return static_cast<int>(std::count_if(svd.sigma.begin(), svd.sigma.end(),
                                        [](double s) { return s >= kStaysAway * kTangentMove; }));
}

}  // namespace

int LocalDimension(const NormalForm& system, const Complex* x) {
  const int n = system.scaled.n;
  if (n == 0) return 0;
  const PointUnits units = UnitsAt(system, x);
  ColMajorMatrix<Complex> A;
  std::vector<Complex> G;
  ScaledJacobian(system, units, x, A, G);
  const int k = CorankInUnits(ComputeSingularValues(A));
  if (k == 0) return 0;
  std::vector<Complex> x0(x, x + n);
  const Projection first = Project(system, units, k, x0);
  if (!OnSet(first)) return 0;
  // Each null direction alone, and a combination of all of them.
  std::vector<std::vector<int>> directions;
  for (int j = n - k; j < n; ++j) directions.push_back({j});
  if (k > 1) {
    directions.emplace_back();
    for (int j = n - k; j < n; ++j) directions.back().push_back(j);
  }
  // m landings within r of x0 give displacements whose singular values are at most sqrt(m) r.
  const double backRadius =
      kStaysAway * kTangentMove / std::sqrt(static_cast<double>(directions.size()));
  std::vector<Landing> landings;
  int landingCorank = 0;
  for (const std::vector<int>& use : directions) {
    landings.push_back(
        LandAfterMove(system, units, x0, TangentMove(first.svd, units, use), backRadius));
    landingCorank = std::max(landingCorank, landings.back().corank);
  }
  return std::min(DirectionsAway(landings, n), landingCorank);
}

}  // namespace zormix
