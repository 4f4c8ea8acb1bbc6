#include "base/inverse.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/linear_algebra.h"

namespace zormix {
namespace {

std::int64_t PivotRow(const ColMajorMatrix<Complex>& a, std::int64_t k) {
  std::int64_t best = k;
  for (std::int64_t i = k + 1; i < a.rows(); ++i) {
    if (Modulus(a(i, k)) > Modulus(a(best, k))) best = i;
  }
  return best;
}

void SwapRows(ColMajorMatrix<Complex>& a, std::int64_t r, std::int64_t s) {
  for (std::int64_t j = 0; j < a.cols(); ++j) std::swap(a(r, j), a(s, j));
}

// Row k of [a | inverse] divided by the pivot, then removed from every other row.
void Eliminate(ColMajorMatrix<Complex>& a, ColMajorMatrix<Complex>& inverse, std::int64_t k) {
  const std::int64_t n = a.rows();
  const Complex scale = 1.0 / a(k, k);
  for (std::int64_t j = 0; j < n; ++j) {
    a(k, j) *= scale;
    inverse(k, j) *= scale;
  }
  for (std::int64_t i = 0; i < n; ++i) {
    const Complex f = a(i, k);
    if (i == k || f == Complex(0.0)) continue;
    for (std::int64_t j = 0; j < n; ++j) {
      a(i, j) -= f * a(k, j);
      inverse(i, j) -= f * inverse(k, j);
    }
  }
}

}  // namespace

bool InvertMatrix(const ColMajorMatrix<Complex>& A, ColMajorMatrix<Complex>& inverse) {
  const std::int64_t n = A.rows();
  ColMajorMatrix<Complex> a = A;
  inverse.Assign(n, n);
  for (std::int64_t k = 0; k < n; ++k) inverse(k, k) = 1.0;
  for (std::int64_t k = 0; k < n; ++k) {
    const std::int64_t p = PivotRow(a, k);
    if (a(p, k) == Complex(0.0)) return false;
    SwapRows(a, k, p);
    SwapRows(inverse, k, p);
    Eliminate(a, inverse, k);
  }
  for (const Complex& v : inverse.storage()) {
    if (!std::isfinite(v.real()) || !std::isfinite(v.imag())) return false;
  }
  return true;
}

double MatrixNormInf(const ColMajorMatrix<Complex>& A) {
  double largest = 0.0;
  for (std::int64_t i = 0; i < A.rows(); ++i) {
    double sum = 0.0;
    for (std::int64_t j = 0; j < A.cols(); ++j) sum += Modulus(A(i, j));
    largest = std::max(largest, sum);
  }
  return largest;
}

}  // namespace zormix
