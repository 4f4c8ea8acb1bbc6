#include "local/dense.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "base/numeric.h"

namespace zormix {
namespace {

constexpr int kMaxSweeps = 80;

Complex Dot(std::int64_t m, const Complex* a, const Complex* b) {  // a^H b
  Complex sum = 0.0;
  for (std::int64_t i = 0; i < m; ++i) sum += std::conj(a[i]) * b[i];
  return sum;
}

// Plane rotation of columns p, q of G and V making them orthogonal; false when they already are.
bool Rotate(ColMajorMatrix<Complex>& G, ColMajorMatrix<Complex>& V, std::int64_t p,
            std::int64_t q) {
  const std::int64_t m = G.rows();
  const double alpha = std::real(Dot(m, G.col(p), G.col(p)));
  const double beta = std::real(Dot(m, G.col(q), G.col(q)));
  const Complex gamma = Dot(m, G.col(p), G.col(q));
  const double size = std::abs(gamma);
  if (size == 0.0 || size <= kMachineEpsilon * std::sqrt(alpha * beta)) return false;
  const Complex phase = std::conj(gamma) / size;  // g_q e^{-i phi}
  const double zeta = (beta - alpha) / (2.0 * size);
  const double t = (zeta >= 0.0 ? 1.0 : -1.0) / (std::abs(zeta) + std::sqrt(1.0 + zeta * zeta));
  const double c = 1.0 / std::sqrt(1.0 + t * t);
  const double s = c * t;
  auto apply = [&](ColMajorMatrix<Complex>& M) {
    Complex* a = M.col(p);
    Complex* b = M.col(q);
    for (std::int64_t i = 0; i < M.rows(); ++i) {
      const Complex x = a[i];
      const Complex y = b[i] * phase;
      a[i] = c * x - s * y;
      b[i] = s * x + c * y;
    }
  };
  apply(G);
  apply(V);
  return true;
}

// One-sided Jacobi on G (m x k, m >= k); V starts as given and is rotated along.
void Jacobi(ColMajorMatrix<Complex>& G, ColMajorMatrix<Complex>& V) {
  const std::int64_t k = G.cols();
  for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
    bool rotated = false;
    for (std::int64_t p = 0; p + 1 < k; ++p)
      for (std::int64_t q = p + 1; q < k; ++q) rotated |= Rotate(G, V, p, q);
    if (!rotated) break;
  }
}

SingularDecomposition Sorted(const ColMajorMatrix<Complex>& G, const ColMajorMatrix<Complex>& V) {
  const std::int64_t k = G.cols();
  std::vector<double> norm(k);
  for (std::int64_t j = 0; j < k; ++j)
    norm[j] = std::sqrt(std::real(Dot(G.rows(), G.col(j), G.col(j))));
  std::vector<std::int64_t> order(k);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::int64_t a, std::int64_t b) { return norm[a] > norm[b]; });
  SingularDecomposition out;
  out.sigma.resize(k);
  out.right.Assign(V.rows(), k);
  for (std::int64_t j = 0; j < k; ++j) {
    out.sigma[j] = norm[order[j]];
    std::copy(V.col(order[j]), V.col(order[j]) + V.rows(), out.right.col(j));
  }
  return out;
}

}  // namespace

ColMajorMatrix<Complex> HouseholderQ(ColMajorMatrix<Complex> B, ColMajorMatrix<Complex>* r) {
  const std::int64_t k = B.rows(), m = B.cols();
  std::vector<std::vector<Complex>> reflectors;
  std::vector<double> betas;
  for (std::int64_t j = 0; j < m && j < k; ++j) {
    std::vector<Complex> v(B.col(j) + j, B.col(j) + k);
    double norm = 0.0;
    for (const Complex& z : v) norm += std::norm(z);
    norm = std::sqrt(norm);
    double beta = 0.0;
    if (norm > 0.0) {
      const Complex phase = std::abs(v[0]) > 0.0 ? v[0] / std::abs(v[0]) : Complex(1.0);
      v[0] += phase * norm;  // v = x + e^{i arg x_0} ||x|| e_1
      double vv = 0.0;
      for (const Complex& z : v) vv += std::norm(z);
      beta = 2.0 / vv;
      for (std::int64_t c = j; c < m; ++c) {  // B <- (I - beta v v^H) B
        Complex w = 0.0;
        for (std::int64_t i = j; i < k; ++i) w += std::conj(v[i - j]) * B(i, c);
        w *= beta;
        for (std::int64_t i = j; i < k; ++i) B(i, c) -= w * v[i - j];
      }
    }
    reflectors.push_back(std::move(v));
    betas.push_back(beta);
  }
  if (r) {
    r->Assign(m, m);
    for (std::int64_t c = 0; c < m; ++c)
      for (std::int64_t i = 0; i <= c && i < k; ++i) (*r)(i, c) = B(i, c);
  }
  ColMajorMatrix<Complex> Q(k, k);
  for (std::int64_t i = 0; i < k; ++i) Q(i, i) = 1.0;
  for (std::int64_t j = static_cast<std::int64_t>(reflectors.size()) - 1; j >= 0; --j) {
    const std::vector<Complex>& v = reflectors[j];
    for (std::int64_t c = 0; c < k; ++c) {
      Complex w = 0.0;
      for (std::int64_t i = j; i < k; ++i) w += std::conj(v[i - j]) * Q(i, c);
      w *= betas[j];
      if (w == 0.0) continue;
      for (std::int64_t i = j; i < k; ++i) Q(i, c) -= w * v[i - j];
    }
  }
  return Q;
}

SingularDecomposition Decompose(const ColMajorMatrix<Complex>& A) {
  const std::int64_t m = A.rows(), k = A.cols();
  if (m >= k || m == 0) {
    ColMajorMatrix<Complex> G = A;
    ColMajorMatrix<Complex> V(k, k);
    for (std::int64_t i = 0; i < k; ++i) V(i, i) = 1.0;
    if (m == 0) return Sorted(ColMajorMatrix<Complex>(1, k), V);
    Jacobi(G, V);
    return Sorted(G, V);
  }
  // A^H = Q R: A = R^H Q^H, so A Q = [R^H, 0]; Jacobi on R^H rotates the first m columns of Q.
  ColMajorMatrix<Complex> AH(k, m);
  for (std::int64_t i = 0; i < m; ++i)
    for (std::int64_t j = 0; j < k; ++j) AH(j, i) = std::conj(A(i, j));
  ColMajorMatrix<Complex> R;
  ColMajorMatrix<Complex> Q = HouseholderQ(std::move(AH), &R);
  ColMajorMatrix<Complex> G(m, k);  // [R^H, 0]
  for (std::int64_t i = 0; i < m; ++i)
    for (std::int64_t j = 0; j <= i; ++j) G(i, j) = std::conj(R(j, i));
  ColMajorMatrix<Complex> V1(k, m);
  std::copy(Q.data(), Q.data() + k * m, V1.data());
  ColMajorMatrix<Complex> G1(m, m);
  std::copy(G.data(), G.data() + m * m, G1.data());
  Jacobi(G1, V1);
  std::copy(G1.data(), G1.data() + m * m, G.data());
  std::copy(V1.data(), V1.data() + k * m, Q.data());
  return Sorted(G, Q);
}

std::vector<Complex> TruncatedLeastSquares(const ColMajorMatrix<Complex>& A,
                                           const std::vector<Complex>& b, double cutoff) {
  const std::int64_t m = A.rows(), k = A.cols();
  const SingularDecomposition svd = Decompose(A);
  std::vector<Complex> u(k);
  if (svd.sigma.empty() || svd.sigma[0] == 0.0) return u;
  std::vector<Complex> Av(m);
  for (std::int64_t j = 0; j < k; ++j) {
    const double s = svd.sigma[j];
    if (s <= cutoff * svd.sigma[0]) break;
    // u += v_j (A v_j)^H b / sigma_j^2
    std::fill(Av.begin(), Av.end(), 0.0);
    for (std::int64_t c = 0; c < k; ++c) {
      const Complex vc = svd.right(c, j);
      if (vc == 0.0) continue;
      for (std::int64_t i = 0; i < m; ++i) Av[i] += A(i, c) * vc;
    }
    const Complex w = Dot(m, Av.data(), b.data()) / (s * s);
    for (std::int64_t c = 0; c < k; ++c) u[c] += svd.right(c, j) * w;
  }
  return u;
}

}  // namespace zormix
