#include "finish/local_dimension.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "base/linear_algebra.h"
#include "base/singular_values.h"
#include "finish/parameters.h"
#include "finish/scaled_jacobian.h"

namespace zormix {
namespace {

// Distances (2-norm, in units) of the slices from the end point, each solution the start of the
// next: the nearest (finish.nearest_slice) shows that the set passes through the point, the
// farthest (finish.farthest_slice) tells an isolated root apart (its residual there, about eps^m,
// is far above finish.on_set_residual up to an order of contact m of about 7); one between.
std::array<double, 3> SliceDistances() {
  const double nearest = finish::kNearestSlice, farthest = finish::kFarthestSlice;
  return {nearest, std::sqrt(nearest * farthest), farthest};
}
constexpr std::uint64_t kSliceSeed = 0x9e3779b97f4a7c15ULL;

double MaxAbs(const std::vector<Complex>& v) {
  double m = 0.0;
  for (const Complex& z : v) m = std::max(m, std::abs(z));
  return m;
}

// The Gauss-Newton step B^+_r G restricted to the r largest singular values.
std::vector<Complex> TruncatedStep(const SingularValues& svd, const std::vector<Complex>& G,
                                   int rank) {
  const int n = static_cast<int>(svd.sigma.size());
  std::vector<Complex> step(static_cast<std::size_t>(n), 0.0);
  for (int j = 0; j < rank; ++j) {
    if (!(svd.sigma[j] > 0.0)) break;
    Complex dot = 0.0;
    for (std::size_t i = 0; i < G.size(); ++i) dot += Times(std::conj(svd.scaledLeft(i, j)), G[i]);
    dot /= svd.sigma[j] * svd.sigma[j];
    for (int l = 0; l < n; ++l) step[l] += Times(svd.right(l, j), dot);
  }
  return step;
}

// Singular values of A <= 1e-6 max(sigma_1, 1). In units every row of A has 1-norm at most 1,
// so sigma_1 <= sqrt(n); a sigma_1 far below 1 says that the whole Jacobian vanishes against the
// size of the equations' terms (two lines crossing), which a count relative to sigma_1 alone
// would miss.
int CorankInUnits(const std::vector<double>& sigma) {
  const double cut = finish::kEndPointCorank * std::max(sigma.front(), 1.0);
  return static_cast<int>(
      std::count_if(sigma.begin(), sigma.end(), [cut](double s) { return !(s > cut); }));
}

// Zeroes the columns of the held coordinates: steps leave them where they are (a least-squares
// step has no component along a zero column), so the solutions sought stay in their subspace.
void HoldColumns(const std::vector<std::uint8_t>& held, ColMajorMatrix<Complex>& A) {
  for (std::size_t l = 0; l < held.size(); ++l)
    if (held[l])
      for (std::int64_t i = 0; i < A.rows(); ++i) A(i, static_cast<std::int64_t>(l)) = 0.0;
}

// d affine hyperplanes at distance eps from the end point x0, in units u = (x - x0) / c:
// v_i^H u = eps w_i with v_1..v_d orthonormal and w a unit vector of C^d, all drawn at random.
struct Slice {
  std::vector<std::vector<Complex>> normals;  // v_i
  std::vector<Complex> offset;                // w
};

Slice RandomSlice(int n, int d, const std::vector<std::uint8_t>& held, std::mt19937_64& generator) {
  std::normal_distribution<double> normal;
  auto draw = [&] { return Complex(normal(generator), normal(generator)); };
  Slice s;
  for (int i = 0; i < d; ++i) {
    std::vector<Complex> v(static_cast<std::size_t>(n));
    for (Complex& z : v) z = draw();
    for (std::size_t l = 0; l < held.size(); ++l)
      if (held[l]) v[l] = 0.0;
    for (const std::vector<Complex>& w : s.normals) {  // Gram-Schmidt
      Complex dot = 0.0;
      for (int l = 0; l < n; ++l) dot += std::conj(w[l]) * v[l];
      for (int l = 0; l < n; ++l) v[l] -= dot * w[l];
    }
    double size = 0.0;
    for (const Complex& z : v) size += std::norm(z);
    for (Complex& z : v) z /= std::sqrt(size);
    s.normals.push_back(std::move(v));
  }
  double size = 0.0;
  for (int i = 0; i < d; ++i) size += std::norm(s.offset.emplace_back(draw()));
  for (Complex& z : s.offset) z /= std::sqrt(size);
  return s;
}

// Whether F = 0 has a solution on the slice at distance eps, within finish.farthest_landing eps of
// x0: Gauss-Newton on the n + d equations diag(1/s) F(x0 + c.u) = 0, v_i^H u - eps w_i = 0 from a
// point u of the slice, with the numerical rank at each iterate, until every equation holds to
// finish.on_set_residual (a set of multiplicity 3 is approached at rate 2/3, too slowly for its
// steps to reach finish.slice_converged_step) or the steps have converged elsewhere. Each step
// and residual must fall to finish.slice_contraction of the one before: quadratic convergence (a
// reduced set) and linear convergence at rate (m - 1) / m (a set of multiplicity m <= 8) pass.
// On success u holds the solution.
bool SolutionOnSlice(const UnitsEvaluation& system, const PointUnits& units, const Complex* x0,
                     const std::vector<std::uint8_t>& held, const Slice& slice, double eps,
                     std::vector<Complex>& u) {
  const int n = system.system.scaled.n;
  const int d = static_cast<int>(slice.normals.size());
  std::vector<Complex> x(static_cast<std::size_t>(n));
  ColMajorMatrix<Complex> A, B(n + d, n);
  std::vector<Complex> G;
  double previous = std::numeric_limits<double>::infinity();
  double previousResidual = std::numeric_limits<double>::infinity();
  bool converged = false;
  for (int iteration = 0; iteration <= finish::kSliceSteps; ++iteration) {
    for (int l = 0; l < n; ++l) x[l] = x0[l] + units.column[l] * u[l];
    // Rows in the sizes of the terms here (in x0's column units): those at x0 vanish on a set of
    // multiplicity m >= 2 (x^2 on the line x = 0), and rows that large would truncate the
    // slice's rows away.
    const PointUnits here{units.column, RowUnits(system, x.data(), units.column)};
    ScaledJacobian(system, here, x.data(), A, G);
    HoldColumns(held, A);
    for (int i = 0; i < d; ++i) {
      Complex along = -eps * slice.offset[i];
      for (int l = 0; l < n; ++l) along += std::conj(slice.normals[i][l]) * u[l];
      G.push_back(along);
    }
    const double residual = MaxAbs(G);
    if (!std::isfinite(residual)) return false;
    if (converged || residual <= finish::kOnSetResidual) {
      double distance = 0.0;
      for (const Complex& z : u) distance += std::norm(z);
      return residual <= finish::kOnSetResidual &&
             std::sqrt(distance) <= finish::kFarthestLanding * eps;
    }
    // Settled where the residual no longer falls: a least-squares point, no solution.
    if (residual > finish::kSliceContraction * previousResidual) return false;
    previousResidual = residual;
    for (int l = 0; l < n; ++l) {
      for (int i = 0; i < n; ++i) B(i, l) = A(i, l);
      for (int i = 0; i < d; ++i) B(n + i, l) = std::conj(slice.normals[i][l]);
    }
    // Where B has full rank beyond doubt (most iterates on a slice that cuts a set cleanly) the
    // QR step is the truncated SVD step; the decomposition decides only the doubtful ranks.
    std::vector<Complex> step;
    if (!FullRankLeastSquares(B, G, finish::kSliceRankTolerance, step)) {
      const SingularValues svd = ComputeSingularValues(B);
      step = TruncatedStep(svd, G, n - NumericalCorank(svd, finish::kSliceRankTolerance));
    }
    // A trust region of radius eps: the solution sought is about eps away, while a full step
    // along a direction the Jacobian hardly sees (the plane z = 0 of x z = y z = z^2 = 0, seen
    // through x z and y z) may throw the iterate far along the set.
    double length = 0.0;
    for (const Complex& z : step) length += std::norm(z);
    length = std::sqrt(length);
    const bool clipped = length > eps;
    for (Complex& z : step) z *= clipped ? eps / length : 1.0;
    for (int l = 0; l < n; ++l) u[l] -= step[l];
    const double size = MaxAbs(step);
    converged = !clipped && size <= finish::kSliceConvergedStep;
    if (!clipped && !converged && size > finish::kSliceContraction * previous) return false;
    previous = clipped ? std::numeric_limits<double>::infinity() : size;
  }
  return false;
}

// Whether solutions exist on the slice moved out to every distance of kSliceDistances: first
// from x0 itself, whose first step goes along the null space of A (the tangent cone of a set),
// then from the last solution moved out to the next slice (a branch through x0 is about straight
// at this scale, however sharply it turns further out).
bool EverySliceMeetsASet(const UnitsEvaluation& system, const PointUnits& units, const Complex* x0,
                         const std::vector<std::uint8_t>& held, const Slice& slice) {
  std::vector<Complex> u(static_cast<std::size_t>(system.system.scaled.n), 0.0);
  const std::array<double, 3> distances = SliceDistances();
  double previous = distances[0];
  for (const double eps : distances) {
    for (Complex& z : u) z *= eps / previous;
    previous = eps;
    if (!SolutionOnSlice(system, units, x0, held, slice, eps, u)) return false;
  }
  return true;
}

// The second-order test. With the Jacobian A of corank k at x (units as above), null space N
// and left null space L, the second derivative of F restricted to N and projected onto L,
//   Q(v) = P_L F''(x)[v, v],   v in N,
// vanishes on the tangent cone of every set through x: along an arc y(t) = x + v t^r + ... of the
// set, P_L F(y(t)) = t^(2r) Q(v) / 2 + o(t^(2r)) = 0, as P_L A = 0. The tangent cone of a set of
// dimension d lies in N (A v = 0 along every arc); when d = k it is N itself, so Q vanishes on
// all of N. A quadratic form on N vanishes when it does at the k (k + 1) / 2 points n_a and
// (n_a + n_b) / sqrt(2) of an orthonormal basis of N. So a Q clearly nonzero at one of them rules
// out a set of dimension k through x without a slice (cyclic-8's end points of corank 2 where two
// branches of its curves cross: |Q| near 1e-1), while where Q vanishes the slices decide.
// |Q(v)| above finish.decisive_curvature (in units) rules out a set: on one, Q(x) is of the order
// of x's distance to it over the gap to the nonzero singular values, and the central difference's
// error h^2 + u/h (h = finish.curvature_step). Only at coranks of 2 and more, and without held
// coordinates: measured in the units of x, Q leaves the rounding noise of a point on a curve whose
// terms vanish at it (the coordinate subspaces of the reduced cyclic-7 system) at 1e5 and beyond,
// while where branches cross, at corank 2 and more, the slices cost the most.
constexpr int kLeastCurvatureCorank = 2;

// The part of (d/dh) A(x + h c.v) v at h = 0 (central difference, units fixed at x) outside the
// range of A, spanned by the first `rank` left singular vectors of `svd`: |Q(v)|.
double CurvatureOutsideRange(const UnitsEvaluation& system, const PointUnits& units,
                             const Complex* x, const SingularValues& svd, int rank,
                             const std::vector<Complex>& v) {
  const int n = system.system.scaled.n;
  std::vector<Complex> q(static_cast<std::size_t>(n), 0.0), moved(x, x + n);
  ColMajorMatrix<Complex> A;
  std::vector<Complex> G;
  for (const double side : {1.0, -1.0}) {
    const double h = side * finish::kCurvatureStep;
    for (int l = 0; l < n; ++l) moved[l] = x[l] + h * units.column[l] * v[l];
    ScaledJacobian(system, units, moved.data(), A, G);
    for (int l = 0; l < n; ++l)
      for (int i = 0; i < n; ++i) q[i] += A(i, l) * v[l] / (2.0 * h);
  }
  for (int j = 0; j < rank; ++j) {
    const double sigma = svd.sigma[j];
    Complex along = 0.0;
    for (int i = 0; i < n; ++i) along += std::conj(svd.scaledLeft(i, j)) * q[i];
    along /= sigma * sigma;
    for (int i = 0; i < n; ++i) q[i] -= svd.scaledLeft(i, j) * along;
  }
  double size = 0.0;
  for (const Complex& z : q) size += std::norm(z);
  return std::sqrt(size);
}

// Whether Q is clearly nonzero on the null space of A (corank k >= 1): then no set of dimension k
// passes through x.
bool CurvatureRulesOutSet(const UnitsEvaluation& system, const PointUnits& units, const Complex* x,
                          const ColMajorMatrix<Complex>& A, int k) {
  const int n = system.system.scaled.n;
  if (k < 1 || k > n) return false;
  const SingularValues svd = ComputeSingularValues(A);
  const int rank = n - k;
  for (int a = 0; a < k; ++a) {
    for (int b = a; b < k; ++b) {
      std::vector<Complex> v(svd.right.col(rank + a), svd.right.col(rank + a) + n);
      if (b != a)
        for (int l = 0; l < n; ++l) v[l] = (v[l] + svd.right(l, rank + b)) / std::sqrt(2.0);
      if (CurvatureOutsideRange(system, units, x, svd, rank, v) > finish::kDecisiveCurvature)
        return true;
    }
  }
  return false;
}

// Every |y_j - start_j| <= reach[j].
bool WithinReach(const std::vector<Complex>& y, const std::vector<Complex>& start,
                 const std::vector<double>& reach) {
  for (std::size_t j = 0; j < y.size(); ++j)
    if (std::abs(y[j] - start[j]) > reach[j]) return false;
  return true;
}

// Gauss-Newton on F = 0 over the coordinates not in `zeroed` (held at 0), from y; true when every
// equation holds to finish.on_set_residual in its row units with every y_j within reach[j] of
// where it started. Each step must cut the residual to finish.slice_contraction of what it was and
// stay within reach.
// A step of the full numerical rank that does not is tried again on fewer singular values, the
// largest first: on a set where one equation vanishes to order p >= 2 its linearization asks of
// the coordinate across the set only 1/p of the way while another equation, vanishing to first
// order, asks the whole way, and the full-rank step reconciles them by a long move along the set
// (cohn3 in the plane x = z = 0: t^2 y^2 (t + 4) (y + 24) and t^2 (t + 4) (y + 24)^3, whose full
// step from 0.1 off the line y = -24 moves t by 2 and y not at all, while the step on the
// largest singular value goes to the line).
bool SolveInSubspace(const NormalForm& system, const std::vector<std::uint8_t>& zeroed,
                     const std::vector<double>& reach, std::vector<Complex>& y) {
  const int n = system.scaled.n;
  const std::vector<Complex> start = y;
  std::vector<int> free;
  for (int j = 0; j < n; ++j)
    if (!zeroed[j]) free.push_back(j);
  const int m = static_cast<int>(free.size());
  if (m == 0) return false;
  const std::vector<double> origin = OriginScales(system);
  PointUnits units = UnitsAt(system, y.data());
  for (int j = 0; j < n; ++j) units.column[j] = std::max(units.column[j], origin[j]);
  const UnitsEvaluation evaluation(system);
  // The scaled Jacobian J and residual F at p, in the row units at p: max_i |F_i(p)| / s_i(p).
  const auto evaluate = [&](const std::vector<Complex>& p, ColMajorMatrix<Complex>& J,
                            std::vector<Complex>& F) {
    const PointUnits here{units.column, RowUnits(evaluation, p.data(), units.column)};
    ScaledJacobian(evaluation, here, p.data(), J, F);
    return MaxAbs(F);
  };
  ColMajorMatrix<Complex> A, B(n, m), trialA;
  std::vector<Complex> G, trialG;
  double residual = evaluate(y, A, G);
  for (int iteration = 0; iteration <= finish::kSnapSteps; ++iteration) {
    if (!std::isfinite(residual)) return false;
    if (residual <= finish::kOnSetResidual) return true;  // every step stayed within reach
    for (int l = 0; l < m; ++l)
      for (int i = 0; i < n; ++i) B(i, l) = A(i, free[l]);
    const SingularValues svd = ComputeSingularValues(B);
    bool contracted = false;
    for (int rank = m - NumericalCorank(svd, finish::kSliceRankTolerance); rank >= 1 && !contracted;
         --rank) {
      const std::vector<Complex> step = TruncatedStep(svd, G, rank);
      std::vector<Complex> next = y;
      for (int l = 0; l < m; ++l) next[free[l]] -= units.column[free[l]] * step[l];
      if (!WithinReach(next, start, reach)) continue;
      // The accepted point's evaluation is the next iteration's.
      const double trialResidual = evaluate(next, trialA, trialG);
      contracted = trialResidual <= finish::kSliceContraction * residual;
      if (!contracted) continue;
      y = std::move(next);
      std::swap(A, trialA);
      std::swap(G, trialG);
      residual = trialResidual;
    }
    if (!contracted) return false;
  }
  return false;
}

}  // namespace

SubspaceSetPoint SetInCoordinateSubspace(const NormalForm& system, const Complex* x,
                                         bool approached) {
  const int n = system.scaled.n;
  SubspaceSetPoint out;
  if (n <= 1) return out;
  const std::vector<double> origin = OriginScales(system);
  const double noise = finish::kZeroCoordinate * MaxModulus(x, n);
  std::vector<int> small;
  for (int j = 0; j < n; ++j) {
    const double a = std::abs(x[j]);
    if (approached ? a <= finish::kSmallCoordinate * origin[j]
                   : a <= std::min(noise, finish::kNoiseOfOrigin * origin[j]))
      small.push_back(j);
  }
  std::stable_sort(small.begin(), small.end(), [&](int a, int b) {
    return std::abs(x[a]) / origin[a] < std::abs(x[b]) / origin[b];
  });
  std::vector<std::uint8_t> zeroed(static_cast<std::size_t>(n), 0);
  double largestZeroed = 0.0;
  for (const int j : small) {
    zeroed[j] = 1;
    largestZeroed = std::max(largestZeroed, std::abs(x[j]));
    std::vector<Complex> y(x, x + n);
    for (int k = 0; k < n; ++k)
      if (zeroed[k]) y[k] = 0.0;
    std::vector<double> reach(static_cast<std::size_t>(n), finish::kSnapReach * largestZeroed);
    if (!approached)
      for (int k = 0; k < n; ++k)
        reach[k] = finish::kAccurateMove * std::max(std::abs(x[k]), origin[k]);
    if (!SolveInSubspace(system, zeroed, reach, y)) continue;
    out.dimension = LocalDimension(system, y.data(), zeroed);
    out.point = std::move(y);
    if (out.dimension > 0) return out;
  }
  return out;
}

namespace {

// The units of the local dimension test at x: those of the point, the origin scales where a
// coordinate is small (probed in units of 1e-18 at the origin, 29/16 x^3 - 2 x y, y - x^2, an
// isolated triple root, solves to 1e-18 relative along all of y = 0 and looks like a line).
PointUnits SliceUnits(const UnitsEvaluation& evaluation, const NormalForm& system,
                      const Complex* x) {
  const std::vector<double> origin = OriginScales(system);
  PointUnits units;
  units.column = ColumnUnitsAtOrigin(x, origin);
  for (std::size_t k = 0; k < origin.size(); ++k)
    units.column[k] = std::max(units.column[k], origin[k]);
  units.row = RowUnits(evaluation, x, units.column);
  return units;
}

}  // namespace

FirstOrder FirstOrderAt(const NormalForm& system, const Complex* x) {
  const UnitsEvaluation evaluation(system);
  const PointUnits units = SliceUnits(evaluation, system, x);
  ColMajorMatrix<Complex> A;
  std::vector<Complex> G;
  ScaledJacobian(evaluation, units, x, A, G);
  return {MaxAbs(G), CorankInUnits(SingularValueList(A))};
}

int LocalDimension(const NormalForm& system, const Complex* x,
                   const std::vector<std::uint8_t>& held) {
  const int n = system.scaled.n;
  // One nonzero polynomial in one unknown has isolated roots only; in double precision, however,
  // a root of condition 1e20 (Wilkinson's polynomial of degree 25 expanded) solves it to rounding
  // over a whole interval, which the slices would take for a set.
  if (n <= 1) return 0;
  const UnitsEvaluation evaluation(system);
  const PointUnits units = SliceUnits(evaluation, system, x);
  ColMajorMatrix<Complex> A;
  std::vector<Complex> G;
  ScaledJacobian(evaluation, units, x, A, G);
  HoldColumns(held, A);
  const int corank = CorankInUnits(SingularValueList(A)) -
                     static_cast<int>(std::count(held.begin(), held.end(), std::uint8_t{1}));
  std::mt19937_64 generator(kSliceSeed);
  int dimension = 0;
  for (int d = 1; d <= corank; ++d) {
    if (d == corank && d >= kLeastCurvatureCorank && held.empty() &&
        CurvatureRulesOutSet(evaluation, units, x, A, d))
      break;
    bool met = false;
    for (int attempt = 0; attempt < finish::kSliceAttempts && !met; ++attempt)
      met = EverySliceMeetsASet(evaluation, units, x, held, RandomSlice(n, d, held, generator));
    if (!met) break;
    dimension = d;
  }
  return dimension;
}

}  // namespace zormix
