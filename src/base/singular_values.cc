#include "base/singular_values.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "base/linear_algebra.h"
#include "base/numeric.h"

namespace zormix {
namespace {

constexpr int kMaxSweeps = 60;
// The bound 1 / (||R||_F ||R^-1||_F) on sigma_n / sigma_1 must exceed a rank tolerance this many
// times: the Jacobi values carry rounding of a few eps times the column sizes.
constexpr double kFullRankMargin = 100.0;
constexpr double kOrthogonal = 1e-15;  // |a_p^H a_q| <= this * |a_p| |a_q|: orthogonal
// A rotation that leaves a column at most this share of its former norm has cancelled it: what is
// left is the rounding of the cancellation, in no particular direction, and rotating it again
// only shrinks it by another factor eps each sweep (an exactly rank-deficient matrix then never
// converges and ends in underflow). Such a column is zero to working accuracy.
constexpr double kCancelled = 16.0 * kMachineEpsilon;

double ColumnNormSquared(const ColMajorMatrix<Complex>& A, std::int64_t j) {
  double sum = 0.0;
  for (std::int64_t i = 0; i < A.rows(); ++i) sum += std::norm(A(i, j));
  return sum;
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

// The squared column norms of W, each computed again only after a rotation changed its column
// (the same sums, so the same bits, as computing them at every pair).
class ColumnNorms {
 public:
  explicit ColumnNorms(std::int64_t n) : value_(n), stale_(n, true) {}
  double operator()(const ColMajorMatrix<Complex>& W, std::int64_t j) {
    if (stale_[j]) value_[j] = ColumnNormSquared(W, j);
    stale_[j] = false;
    return value_[j];
  }
  void Changed(std::int64_t j) { stale_[j] = true; }

 private:
  std::vector<double> value_;
  std::vector<bool> stale_;
};

void ZeroColumn(ColMajorMatrix<Complex>& W, std::int64_t j, ColumnNorms& norms) {
  std::fill(W.col(j), W.col(j) + W.rows(), Complex(0.0, 0.0));
  norms.Changed(j);
}

// One rotation making columns p and q of W orthogonal; false when they already are.
bool OrthogonalizePair(ColMajorMatrix<Complex>& W, ColMajorMatrix<Complex>* V, ColumnNorms& norms,
                       std::int64_t p, std::int64_t q) {
  const double alpha = norms(W, p), beta = norms(W, q);
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
  if (V != nullptr) Rotate(*V, p, q, c, s, phase);
  norms.Changed(p);
  norms.Changed(q);
  if (norms(W, p) <= kCancelled * kCancelled * alpha) ZeroColumn(W, p, norms);
  if (norms(W, q) <= kCancelled * kCancelled * beta) ZeroColumn(W, q, norms);
  return true;
}

// Householder triangularisation of W (rows x n) in place, the same reflections applied to g:
// W's upper triangle becomes R, g becomes Q^H g. False on a zero or non-finite column.
bool TriangularizeWith(ColMajorMatrix<Complex>& W, std::vector<Complex>& g) {
  const std::int64_t rows = W.rows(), n = W.cols();
  for (std::int64_t k = 0; k < n; ++k) {
    double size = 0.0;
    for (std::int64_t i = k; i < rows; ++i) size += std::norm(W(i, k));
    if (!(size > 0.0 && size < std::numeric_limits<double>::infinity())) return false;
    const double length = std::sqrt(size), lead = std::abs(W(k, k));
    const Complex phase = lead > 0.0 ? W(k, k) / lead : Complex(1.0, 0.0);
    // v = x - alpha e_1 with alpha = -phase ||x||: no cancellation in v_1 = phase (|x_1| + ||x||),
    // and v^H v = 2 ||x|| (||x|| + |x_1|).
    W(k, k) += phase * length;
    const double half = length * (length + lead);  // v^H v / 2
    auto reflect = [&](auto at) {
      Complex dot = 0.0;
      for (std::int64_t i = k; i < rows; ++i) dot += Times(std::conj(W(i, k)), at(i));
      dot /= half;
      for (std::int64_t i = k; i < rows; ++i) at(i) -= Times(dot, W(i, k));
    };
    for (std::int64_t j = k + 1; j < n; ++j)
      reflect([&](std::int64_t i) -> Complex& { return W(i, j); });
    reflect([&](std::int64_t i) -> Complex& { return g[i]; });
    W(k, k) = -phase * length;
  }
  return true;
}

// Solves R z = b in place (R the upper triangle of W's first n rows), using entries 0..last of b.
void BackSubstitute(const ColMajorMatrix<Complex>& W, std::int64_t last, Complex* b) {
  for (std::int64_t i = last; i >= 0; --i) {
    Complex sum = b[i];
    for (std::int64_t l = i + 1; l <= last; ++l) sum -= Times(W(i, l), b[l]);
    b[i] = sum / W(i, i);
  }
}

// ||R||_F ||R^-1||_F, an upper bound of sigma_1 / sigma_n; column j of R^-1 solves R z = e_j.
double FrobeniusCondition(const ColMajorMatrix<Complex>& W) {
  const std::int64_t n = W.cols();
  double size = 0.0, inverseSize = 0.0;
  std::vector<Complex> z(static_cast<std::size_t>(n));
  for (std::int64_t j = 0; j < n; ++j) {
    for (std::int64_t i = 0; i <= j; ++i) size += std::norm(W(i, j));
    std::fill(z.begin(), z.end(), Complex(0.0, 0.0));
    z[j] = 1.0;
    BackSubstitute(W, j, z.data());
    for (std::int64_t i = 0; i <= j; ++i) inverseSize += std::norm(z[i]);
  }
  return std::sqrt(size) * std::sqrt(inverseSize);
}

}  // namespace

bool FullRankLeastSquares(const ColMajorMatrix<Complex>& B, const std::vector<Complex>& g,
                          double tolerance, std::vector<Complex>& u) {
  const std::int64_t n = B.cols();
  if (n == 0 || B.rows() < n) return false;
  ColMajorMatrix<Complex> W = B;
  std::vector<Complex> rhs = g;
  if (!TriangularizeWith(W, rhs)) return false;
  if (!(FrobeniusCondition(W) * tolerance * kFullRankMargin < 1.0)) return false;
  BackSubstitute(W, n - 1, rhs.data());
  u.assign(rhs.begin(), rhs.begin() + n);
  return true;
}

namespace {

// Rotates the columns of W (and V, unless null) until they are orthogonal; the order of the
// columns by decreasing norm (stable) and the norms themselves.
std::vector<std::int64_t> Orthogonalize(ColMajorMatrix<Complex>& W, ColMajorMatrix<Complex>* V,
                                        std::vector<double>& norms) {
  const std::int64_t n = W.cols();
  ColumnNorms columnNorms(n);
  for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
    bool rotated = false;
    for (std::int64_t p = 0; p + 1 < n; ++p) {
      for (std::int64_t q = p + 1; q < n; ++q)
        rotated = OrthogonalizePair(W, V, columnNorms, p, q) || rotated;
    }
    if (!rotated) break;
  }
  std::vector<std::int64_t> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  norms.resize(static_cast<std::size_t>(n));
  for (std::int64_t j = 0; j < n; ++j) norms[j] = std::sqrt(ColumnNormSquared(W, j));
  std::stable_sort(order.begin(), order.end(),
                   [&](std::int64_t a, std::int64_t b) { return norms[a] > norms[b]; });
  return order;
}

}  // namespace

SingularValues ComputeSingularValues(const ColMajorMatrix<Complex>& A) {
  const std::int64_t n = A.cols();
  ColMajorMatrix<Complex> W = A, V;
  V.Assign(n, n);
  for (std::int64_t j = 0; j < n; ++j) V(j, j) = 1.0;
  std::vector<double> norms;
  const std::vector<std::int64_t> order = Orthogonalize(W, &V, norms);
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

std::vector<double> SingularValueList(const ColMajorMatrix<Complex>& A) {
  ColMajorMatrix<Complex> W = A;
  std::vector<double> norms, sigma;
  for (const std::int64_t j : Orthogonalize(W, nullptr, norms)) sigma.push_back(norms[j]);
  return sigma;
}

int NumericalCorank(const SingularValues& svd, double tolerance) {
  if (svd.sigma.empty()) return 0;
  const double cut = tolerance * svd.sigma.front();
  return static_cast<int>(
      std::count_if(svd.sigma.begin(), svd.sigma.end(), [cut](double s) { return !(s > cut); }));
}

}  // namespace zormix
