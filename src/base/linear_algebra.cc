#include "base/linear_algebra.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace zormix {
namespace {

// Division as multiplication by the conjugate over the squared modulus.
inline Complex Divide(const Complex& a, const Complex& b) {
  const double d = b.real() * b.real() + b.imag() * b.imag();
  return Complex((a.real() * b.real() + a.imag() * b.imag()) / d,
                 (a.imag() * b.real() - a.real() * b.imag()) / d);
}

inline void GuardPivot(Complex& pivot) {
  if (std::abs(pivot) < kTinyPivot) pivot = Complex(kTinyPivot, 0.0);
}

}  // namespace

void SolveLinearComplex(int n, Complex* A, Complex* b) {
  auto at = [A, n](int i, int j) -> Complex& { return A[i + static_cast<std::size_t>(j) * n]; };
  for (int k = 0; k + 1 < n; ++k) {
    int p = k;
    double best = std::abs(at(k, k));
    for (int i = k + 1; i < n; ++i) {
      const double v = std::abs(at(i, k));
      if (v > best) {
        best = v;
        p = i;
      }
    }
    if (p != k) {
      for (int j = 0; j < n; ++j) std::swap(at(k, j), at(p, j));
      std::swap(b[k], b[p]);
    }
    GuardPivot(at(k, k));
    const Complex pivot = at(k, k);
    for (int i = k + 1; i < n; ++i) {
      const Complex f = Divide(at(i, k), pivot);
      for (int j = k; j < n; ++j) at(i, j) -= f * at(k, j);
      b[i] -= f * b[k];
    }
  }
  if (n <= 0) return;
  GuardPivot(at(n - 1, n - 1));
  for (int i = n - 1; i >= 0; --i) {
    Complex sum = b[i];
    for (int l = i + 1; l < n; ++l) sum -= at(i, l) * b[l];
    b[i] = Divide(sum, at(i, i));
  }
}

double MatrixNorm1(int rows, int cols, const Complex* A) {
  double result = 0.0;
  for (int j = 0; j < cols; ++j) {
    double sum = 0.0;
    for (int i = 0; i < rows; ++i) sum += std::abs(A[i + static_cast<std::size_t>(j) * rows]);
    result = std::max(result, sum);
  }
  return result;
}

double MaxNorm(int n, const Complex* v) {
  double result = 0.0;
  for (int i = 0; i < n; ++i) {
    const double a = std::abs(v[i]);
    // A NaN entry makes the norm NaN, so that no test of the form "norm < bound" can pass on it.
    if (std::isnan(a)) return a;
    result = std::max(result, a);
  }
  return result;
}

double VectorNorm2(int n, const Complex* v) {
  double largest = -std::numeric_limits<double>::max();
  for (int j = 0; j < n; ++j) largest = std::max(largest, std::abs(v[j]));
  double sum = 0.0;
  if (largest <= 100000.0) {
    for (int j = 0; j < n; ++j) sum += std::norm(v[j]);
    return std::sqrt(sum);
  }
  // Dividing by the largest modulus first keeps the squares from overflowing.
  for (int j = 0; j < n; ++j) sum += std::norm(v[j] / largest);
  return std::sqrt(sum) * largest;
}

}  // namespace zormix
