#include "finish/singular_values.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace zormix {
namespace {

constexpr int kMaxSweeps = 60;
constexpr double kOrthogonal = 1e-15;  // |a_p^H a_q| <= this * |a_p| |a_q|: orthogonal

double ColumnNormSquared(const ColMajorMatrix<Complex>& A, std::int64_t j) {
  double sum = 0.0;
  for (std::int64_t i = 0; i < A.rows(); ++i) sum += std::norm(A(i, j));
  return sum;
}

// a * b written out: the library's complex product guards against infinities, which these
// rotations of finite columns never meet, at a cost that dominates the decomposition.
Complex Times(const Complex& a, const Complex& b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// Rotates columns p and q of M: with phase = gamma / |gamma|,
//   m_p := c m_p - s conj(phase) m_q,   m_q := s phase m_p + c m_q.
void Rotate(ColMajorMatrix<Complex>& M, std::int64_t p, std::int64_t q, double c, double s,
            const Complex& phase) {
  const Complex toP = s * std::conj(phase), toQ = s * phase;
  for (std::int64_t i = 0; i < M.rows(); ++i) {
    const Complex mp = M(i, p), mq = M(i, q);
    M(i, p) = c * mp - Times(toP, mq);
    M(i, q) = Times(toQ, mp) + c * mq;
  }
}

// One rotation making columns p and q of W orthogonal; false when they already are.
bool OrthogonalizePair(ColMajorMatrix<Complex>& W, ColMajorMatrix<Complex>& V, std::int64_t p,
                       std::int64_t q) {
  const double alpha = ColumnNormSquared(W, p), beta = ColumnNormSquared(W, q);
  Complex gamma = 0.0;
  for (std::int64_t i = 0; i < W.rows(); ++i) gamma += Times(std::conj(W(i, p)), W(i, q));
  // |gamma| without hypot's guard: gamma is a product of column sums of squares, far from
  // overflow for the scaled matrices decomposed here.
  const double g = std::sqrt(std::norm(gamma));
  if (!(g > kOrthogonal * std::sqrt(alpha * beta))) return false;
  // The real Jacobi rotation of the Gram matrix [[alpha, g], [g, beta]].
  const double zeta = (beta - alpha) / (2.0 * g);
  const double t = std::copysign(1.0, zeta) / (std::fabs(zeta) + std::sqrt(1.0 + zeta * zeta));
  const double c = 1.0 / std::sqrt(1.0 + t * t), s = c * t;
  const Complex phase = gamma / g;
  Rotate(W, p, q, c, s, phase);
  Rotate(V, p, q, c, s, phase);
  return true;
}

}  // namespace

SingularValues ComputeSingularValues(const ColMajorMatrix<Complex>& A) {
  const std::int64_t n = A.cols();
  ColMajorMatrix<Complex> W = A, V;
  V.Assign(n, n);
  for (std::int64_t j = 0; j < n; ++j) V(j, j) = 1.0;
  for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
    bool rotated = false;
    for (std::int64_t p = 0; p + 1 < n; ++p) {
      for (std::int64_t q = p + 1; q < n; ++q) rotated = OrthogonalizePair(W, V, p, q) || rotated;
    }
    if (!rotated) break;
  }
  std::vector<std::int64_t> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  std::vector<double> norms(static_cast<std::size_t>(n));
  for (std::int64_t j = 0; j < n; ++j) norms[j] = std::sqrt(ColumnNormSquared(W, j));
  std::stable_sort(order.begin(), order.end(),
                   [&](std::int64_t a, std::int64_t b) { return norms[a] > norms[b]; });
  SingularValues out;
  out.right.Assign(n, n);
  out.scaledLeft.Assign(A.rows(), n);
  for (std::int64_t k = 0; k < n; ++k) {
    const std::int64_t j = order[k];
    out.sigma.push_back(norms[j]);
    std::copy(V.col(j), V.col(j) + n, out.right.col(k));
    std::copy(W.col(j), W.col(j) + A.rows(), out.scaledLeft.col(k));
  }
  return out;
}

int NumericalCorank(const SingularValues& svd, double tolerance) {
  if (svd.sigma.empty()) return 0;
  const double cut = tolerance * svd.sigma.front();
  return static_cast<int>(
      std::count_if(svd.sigma.begin(), svd.sigma.end(), [cut](double s) { return !(s > cut); }));
}

}  // namespace zormix
