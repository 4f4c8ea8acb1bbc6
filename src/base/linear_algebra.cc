#include "base/linear_algebra.h"

#include <algorithm>
#include <array>
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

// Squared moduli in this range order the moduli as hypot does (up to rounding ties): the squares
// of the parts neither overflow nor lose digits to underflow against the largest.
constexpr double kLeastExactSquare = 1e-290;
constexpr double kMostExactSquare = 1e290;
constexpr double kGuardedSquare = 1e-40;  // > kTinyPivot^2 = 4.9e-42
// Largest moduli for which a vector's squares are summed as they are: n squares of at most
// kMostPlainNorm^2 cannot overflow, and squares of kLeastPlainNorm are far from the subnormals.
constexpr double kLeastPlainNorm = 1e-100;
constexpr double kMostPlainNorm = 1e5;

bool SquareOrdersExactly(double square) {
  return square >= kLeastExactSquare && square <= kMostExactSquare;
}

// Index of the entry of largest modulus among v[0..n-1] (n >= 1), the first of equal ones, and
// its squared modulus: |z|^2 costs no square root and no hypot. Where the largest square lies
// outside the exact range, or an entry is NaN (or infinite beside a NaN part), the moduli decide.
int LargestEntry(int n, const Complex* v, double& square) {
  int at = 0;
  square = std::norm(v[0]);
  bool unordered = std::isnan(square);
  for (int i = 1; i < n; ++i) {
    const double q = std::norm(v[i]);
    unordered = unordered || std::isnan(q);
    if (q > square) {
      square = q;
      at = i;
    }
  }
  if (!unordered && SquareOrdersExactly(square)) return at;
  at = 0;
  double best = std::abs(v[0]);
  for (int i = 1; i < n; ++i) {
    const double a = std::abs(v[i]);
    if (a > best) {
      best = a;
      at = i;
    }
  }
  square = -1.0;  // not meaningful: the moduli decided
  return at;
}

}  // namespace

// sqrt(|z|^2) where the square is exact (within an ulp of hypot, at a fraction of its cost), hypot
// elsewhere; 0 without either for an exact zero.
double Modulus(const Complex& z) {
  const double square = std::norm(z);
  if (SquareOrdersExactly(square)) return std::sqrt(square);
  return z == Complex(0.0, 0.0) ? 0.0 : std::abs(z);
}

namespace {

// Gaussian elimination with partial pivoting on A, the same row operations applied to every
// right-hand side of rhs (n entries each), then back substitution for each: a
// right-hand side gets the same bits as when it is solved alone.
template <int count>
void EliminateAndSolve(int n, Complex* A, const std::array<Complex*, count>& rhs) {
  auto at = [A, n](int i, int j) -> Complex& { return A[i + static_cast<std::size_t>(j) * n]; };
  for (int k = 0; k + 1 < n; ++k) {
    double square;
    const int p = k + LargestEntry(n - k, &at(k, k), square);
    if (p != k) {
      for (int j = 0; j < n; ++j) std::swap(at(k, j), at(p, j));
      for (int r = 0; r < count; ++r) std::swap(rhs[r][k], rhs[r][p]);
    }
    // A pivot whose square is beyond kGuardedSquare is far above kTinyPivot: no modulus needed.
    if (!(square > kGuardedSquare)) GuardPivot(at(k, k));
    const Complex pivot = at(k, k);
    for (int i = k + 1; i < n; ++i) {
      const Complex f = Divide(at(i, k), pivot);
      for (int j = k; j < n; ++j) at(i, j) -= Times(f, at(k, j));
      for (int r = 0; r < count; ++r) rhs[r][i] -= Times(f, rhs[r][k]);
    }
  }
  if (n <= 0) return;
  if (!(std::norm(at(n - 1, n - 1)) > kGuardedSquare)) GuardPivot(at(n - 1, n - 1));
  for (int r = 0; r < count; ++r) {
    Complex* b = rhs[r];
    for (int i = n - 1; i >= 0; --i) {
      Complex sum = b[i];
      for (int l = i + 1; l < n; ++l) sum -= Times(at(i, l), b[l]);
      b[i] = Divide(sum, at(i, i));
    }
  }
}

}  // namespace

void SolveLinearComplex(int n, Complex* A, Complex* b) { EliminateAndSolve<1>(n, A, {b}); }

void SolveLinearComplex(int n, Complex* A, Complex* b, Complex* c) {
  EliminateAndSolve<2>(n, A, {b, c});
}

double MatrixNorm1(int rows, int cols, const Complex* A) {
  double result = 0.0;
  for (int j = 0; j < cols; ++j) {
    double sum = 0.0;
    for (int i = 0; i < rows; ++i) sum += Modulus(A[i + static_cast<std::size_t>(j) * rows]);
    result = std::max(result, sum);
  }
  return result;
}

double MaxNorm(int n, const Complex* v) {
  if (n <= 0) return 0.0;
  double square;
  const int at = LargestEntry(n, v, square);
  if (SquareOrdersExactly(square)) return std::abs(v[at]);
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
  for (int j = 0; j < n; ++j) largest = std::max(largest, Modulus(v[j]));
  double sum = 0.0;
  // Empty, zero or NaN vectors too: their sum is 0 or NaN.
  if (!(largest > 0.0) || (largest >= kLeastPlainNorm && largest <= kMostPlainNorm)) {
    for (int j = 0; j < n; ++j) sum += std::norm(v[j]);
    return std::sqrt(sum);
  }
  // Dividing by the largest modulus first keeps the squares from overflowing, and tiny ones from
  // underflowing to zero.
  for (int j = 0; j < n; ++j) sum += std::norm(v[j] / largest);
  return std::sqrt(sum) * largest;
}

}  // namespace zormix
