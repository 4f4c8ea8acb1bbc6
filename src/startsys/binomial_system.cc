// All solutions of the binomial system x^A(i,.) = b_i in the complex torus. With z = log x the
// system reads A z = log b (mod 2 pi i); substituting z = U w with A U = L lower triangular gives
// L w = log b, solved by forward substitution: once for the real parts (the same for every
// solution) and once per branch choice for the imaginary parts.
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "startsys/start_systems.h"
#include "zormix/error.h"

namespace zormix {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// Beyond this many coordinates (n * M) the solutions would not fit any reasonable memory.
constexpr std::int64_t kMaxSolutionEntries = std::int64_t{1} << 31;

// rho_i = log|x_i| = sum_j U(i,j) y_j, where L y = log|b| (forward substitution).
std::vector<double> LogModuli(const IntMatrix& L, const IntMatrix& U,
                              const std::vector<double>& lambda) {
  const std::int64_t n = L.rows();
  std::vector<double> y(static_cast<std::size_t>(n)), rho(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i) {
    double sum = 0.0;
    for (std::int64_t j = 0; j < i; ++j) sum += static_cast<double>(L(i, j)) * y[j];
    y[i] = (lambda[i] - sum) / static_cast<double>(L(i, i));
  }
  for (std::int64_t i = 0; i < n; ++i) {
    double sum = 0.0;
    for (std::int64_t j = 0; j < n; ++j) sum += static_cast<double>(U(i, j)) * y[j];
    rho[i] = sum;
  }
  return rho;
}

// v / |v| in place; returns |v|.
double ToUnitModulus(Complex& v) {
  const double r = std::sqrt(v.real() * v.real() + v.imag() * v.imag());
  v = Complex(v.real() / r, v.imag() / r);
  return r;
}

void CheckSolutionCount(std::int64_t n, std::int64_t M) {
  if (n > 0 && M > kMaxSolutionEntries / n) {
    throw Error(ErrorCode::kInvalidInput, "the binomial system has " + std::to_string(M) +
                                              " solutions in " + std::to_string(n) +
                                              " variables, too many to store");
  }
}

}  // namespace

std::int64_t SolveBinomialSystem(const IntMatrix& A, std::vector<Complex>& b,
                                 ColMajorMatrix<Complex>& X) {
  const BinomialSolutions solutions(A, b);
  const std::int64_t n = A.rows(), M = solutions.count();
  for (Complex& v : b) ToUnitModulus(v);
  CheckSolutionCount(n, M);
  X.Assign(n, M);
  for (std::int64_t s = 0; s < M; ++s) solutions.Solution(s, X.col(s));
  return M;
}

BinomialSolutions::BinomialSolutions(IntMatrix A, std::vector<Complex> b) : theta_(b.size()) {
  const std::int64_t n = A.rows();
  if (static_cast<std::int64_t>(b.size()) != n) {
    throw Error(ErrorCode::kInternal, "binomial system with " + std::to_string(n) +
                                          " equations but " + std::to_string(b.size()) +
                                          " right-hand sides");
  }
  count_ = TriangularizeUnimodular(A, U_);
  std::vector<double> lambda(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i) {
    lambda[i] = std::log(ToUnitModulus(b[i]));
    theta_[i] = std::atan2(b[i].imag(), b[i].real());
  }
  if (count_ == 0) return;
  rho_ = LogModuli(A, U_, lambda);
  L_ = std::move(A);
}

// Branch k_i = 1..|L(i,i)| of row i is the digit of s in the mixed radix of the |L(i,i)|, row 0
// the most significant (so row 0 changes slowest): phi_i = (theta_i - sum_{j<i} L(i,j) phi_j +
// 2 pi k_i) / L(i,i).
void BinomialSolutions::Solution(std::int64_t s, Complex* x) const {
  const std::int64_t n = L_.rows();
  std::vector<double> phi(static_cast<std::size_t>(n));
  std::int64_t blockSize = count_;
  for (std::int64_t i = 0; i < n; ++i) {
    const std::int64_t diagAbs = L_(i, i) < 0 ? -L_(i, i) : L_(i, i);
    const std::int64_t runSize = blockSize / diagAbs;
    double sum = 0.0;
    for (std::int64_t j = 0; j < i; ++j) sum += static_cast<double>(L_(i, j)) * phi[j];
    const double c = theta_[i] - sum;
    const std::int64_t k = (s % blockSize) / runSize + 1;
    phi[i] = (c + kTwoPi * static_cast<double>(k)) / static_cast<double>(L_(i, i));
    blockSize = runSize;
  }
  for (std::int64_t i = 0; i < n; ++i) {
    double angle = 0.0;
    for (std::int64_t j = 0; j < n; ++j) angle += static_cast<double>(U_(i, j)) * phi[j];
    x[i] = std::exp(Complex(rho_[i], angle));
  }
}

}  // namespace zormix
