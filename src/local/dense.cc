#include "local/dense.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "base/numeric.h"
#include "base/singular_values.h"

namespace zormix {
namespace {

Complex Dot(std::int64_t m, const Complex* a, const Complex* b) {  // a^H b
  Complex sum = 0.0;
  for (std::int64_t i = 0; i < m; ++i) sum += std::conj(a[i]) * b[i];
  return sum;
}

}  // namespace

namespace {

struct Reflections {
  std::vector<std::vector<Complex>> v;
  std::vector<double> beta;
};

// Triangularises B (k x m) in place by Householder reflections I - beta v v^H, returned.
Reflections Triangularize(ColMajorMatrix<Complex>& B) {
  const std::int64_t k = B.rows(), m = B.cols();
  Reflections out;
  for (std::int64_t j = 0; j < m && j < k; ++j) {
    std::vector<Complex> v(B.col(j) + j, B.col(j) + k);
    // The reflection is the same for any multiple of v: v is taken to max-norm 1, so that the
    // squares of entries near 1e-160 (the Taylor coefficients of x^20 at 1e-16) neither vanish
    // nor turn beta = 2 / |v|^2 into infinity and the rotated matrix into NaN.
    double largest = 0.0;
    for (const Complex& z : v) largest = std::max(largest, std::abs(z));
    if (largest > 0.0 && std::isfinite(largest))
      for (Complex& z : v) z /= largest;
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
    out.v.push_back(std::move(v));
    out.beta.push_back(beta);
  }
  return out;
}

ColMajorMatrix<Complex> UpperTriangle(const ColMajorMatrix<Complex>& B) {
  const std::int64_t k = B.rows(), m = B.cols();
  ColMajorMatrix<Complex> r(m, m);
  for (std::int64_t c = 0; c < m; ++c)
    for (std::int64_t i = 0; i <= c && i < k; ++i) r(i, c) = B(i, c);
  return r;
}

}  // namespace

ColMajorMatrix<Complex> HouseholderQ(ColMajorMatrix<Complex> B, ColMajorMatrix<Complex>* r) {
  const std::int64_t k = B.rows();
  const Reflections h = Triangularize(B);
  if (r) *r = UpperTriangle(B);
  ColMajorMatrix<Complex> Q(k, k);
  for (std::int64_t i = 0; i < k; ++i) Q(i, i) = 1.0;
  for (std::int64_t j = static_cast<std::int64_t>(h.v.size()) - 1; j >= 0; --j) {
    const std::vector<Complex>& v = h.v[j];
    for (std::int64_t c = 0; c < k; ++c) {
      Complex w = 0.0;
      for (std::int64_t i = j; i < k; ++i) w += std::conj(v[i - j]) * Q(i, c);
      w *= h.beta[j];
      if (w == 0.0) continue;
      for (std::int64_t i = j; i < k; ++i) Q(i, c) -= w * v[i - j];
    }
  }
  return Q;
}

ColMajorMatrix<Complex> LeftInverse(const ColMajorMatrix<Complex>& J) {
  const std::int64_t m = J.rows(), k = J.cols();
  ColMajorMatrix<Complex> B = J;
  Triangularize(B);
  for (std::int64_t i = 0; i < k; ++i)
    if (i >= m || B(i, i) == 0.0) return {};
  // Y = R^-1 R^-H J^H, one column of J^H at a time: R^H w = J^H e_l, then R y = w.
  ColMajorMatrix<Complex> Y(k, m);
  std::vector<Complex> w(k);
  for (std::int64_t l = 0; l < m; ++l) {
    for (std::int64_t i = 0; i < k; ++i) {
      Complex sum = std::conj(J(l, i));
      for (std::int64_t q = 0; q < i; ++q) sum -= std::conj(B(q, i)) * w[q];
      w[i] = sum / std::conj(B(i, i));
    }
    for (std::int64_t i = k - 1; i >= 0; --i) {
      Complex sum = w[i];
      for (std::int64_t q = i + 1; q < k; ++q) sum -= B(i, q) * Y(q, l);
      Y(i, l) = sum / B(i, i);
    }
  }
  return Y;
}

SingularDecomposition Decompose(const ColMajorMatrix<Complex>& A) {
  const std::int64_t m = A.rows(), k = A.cols();
  SingularDecomposition out;
  if (m == 0 || k == 0) {
    out.sigma.assign(k, 0.0);
    out.right.Assign(k, k);
    for (std::int64_t i = 0; i < k; ++i) out.right(i, i) = 1.0;
    return out;
  }
  if (m >= k) {
    // A = Q R: A and R have the same singular values and right vectors; Jacobi rotates k rows.
    ColMajorMatrix<Complex> B = A;
    Triangularize(B);
    SingularValues svd = ComputeSingularValues(UpperTriangle(B));
    out.sigma = std::move(svd.sigma);
    out.right = std::move(svd.right);
    return out;
  }
  // A^H = Q R, Q = [Q1, Q2] with Q1 k x m: A = R^H Q1^H, and with R^H W = [sigma_j u_j] (W m x m
  // unitary) A [Q1 W, Q2] = [sigma_j u_j, 0]: the null space beyond m is Q2.
  ColMajorMatrix<Complex> AH(k, m);
  for (std::int64_t i = 0; i < m; ++i)
    for (std::int64_t j = 0; j < k; ++j) AH(j, i) = std::conj(A(i, j));
  ColMajorMatrix<Complex> R;
  const ColMajorMatrix<Complex> Q = HouseholderQ(std::move(AH), &R);
  ColMajorMatrix<Complex> RH(m, m);
  for (std::int64_t i = 0; i < m; ++i)
    for (std::int64_t j = 0; j <= i; ++j) RH(i, j) = std::conj(R(j, i));
  const SingularValues svd = ComputeSingularValues(RH);
  out.sigma = svd.sigma;
  out.sigma.resize(k, 0.0);
  out.right.Assign(k, k);
  for (std::int64_t c = 0; c < m; ++c)
    for (std::int64_t l = 0; l < m; ++l) {
      const Complex w = svd.right(l, c);
      if (w == 0.0) continue;
      for (std::int64_t i = 0; i < k; ++i) out.right(i, c) += Q(i, l) * w;
    }
  std::copy(Q.col(m), Q.col(m) + k * (k - m), out.right.col(m));
  return out;
}

std::vector<double> SingularValuesOf(const ColMajorMatrix<Complex>& A) {
  const std::int64_t m = A.rows(), k = A.cols();
  if (m == 0 || k == 0) return std::vector<double>(static_cast<std::size_t>(k), 0.0);
  if (m >= k) {
    ColMajorMatrix<Complex> B = A;
    Triangularize(B);
    return SingularValueList(UpperTriangle(B));
  }
  ColMajorMatrix<Complex> AH(k, m);
  for (std::int64_t i = 0; i < m; ++i)
    for (std::int64_t j = 0; j < k; ++j) AH(j, i) = std::conj(A(i, j));
  Triangularize(AH);
  const ColMajorMatrix<Complex> R = UpperTriangle(AH);
  ColMajorMatrix<Complex> RH(m, m);
  for (std::int64_t i = 0; i < m; ++i)
    for (std::int64_t j = 0; j <= i; ++j) RH(i, j) = std::conj(R(j, i));
  std::vector<double> sigma = SingularValueList(RH);
  sigma.resize(static_cast<std::size_t>(k), 0.0);
  return sigma;
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
