// Coefficient scaling: substitute x_k = e^{s_k} y_k and multiply equation i by e^{s_{n+i}}, with s
// the least-squares solution that brings log|c_p| of the scaled coefficients close to 0 and close
// to each other within each equation. Term p of equation i gives the row
//   sum_k e_kp s_k + s_{n+i} = -ln|c_p|,
// and every pair j < q of terms of one equation the row sum_k (e_kj - e_kq) s_k = ln|c_q| -
// ln|c_j|.
#include "model/scaling.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/numeric.h"
#include "model/limits.h"
#include "zormix/error.h"

namespace zormix {
namespace {

constexpr double kNegligibleTail = kMachineEpsilon;
constexpr double kSingularPivot = 1e-12;

// A zero coefficient has no logarithm; its term takes no part in the fit and stays 0 when scaled.
bool InFit(const Complex& c) { return c != Complex(0.0, 0.0); }

struct LeastSquaresRows {
  ColMajorMatrix<double> A;
  std::vector<double> b;
};

LeastSquaresRows BuildRows(const PolySystem& system, const std::vector<std::int64_t>& first) {
  const int n = system.n;
  const std::int64_t m = first[n];
  std::int64_t rows = 0;
  for (int i = 0; i < n; ++i) {
    std::int64_t used = 0;
    for (std::int64_t p = first[i]; p < first[i + 1]; ++p) used += InFit(system.coefficients[p]);
    rows += used + used * (used - 1) / 2;
  }
  if (rows > kMaxScalingEntries / (2 * n)) {
    throw Error(ErrorCode::kInvalidInput,
                "the coefficient scaling of this system needs " + std::to_string(rows) +
                    " least-squares rows of " + std::to_string(2 * n) +
                    " entries (one per pair of terms of an equation), more than the limit of " +
                    std::to_string(kMaxScalingEntries) + " entries");
  }
  LeastSquaresRows ls{ColMajorMatrix<double>(rows, 2 * n, 0.0),
                      std::vector<double>(static_cast<std::size_t>(rows), 0.0)};
  std::vector<double> logTerm(static_cast<std::size_t>(m), 0.0);
  std::int64_t r = 0;
  for (int i = 0; i < n; ++i) {
    for (std::int64_t p = first[i]; p < first[i + 1]; ++p) {
      if (!InFit(system.coefficients[p])) continue;
      for (int k = 0; k < n; ++k) ls.A(r, k) = system.exponents(k, p);
      ls.A(r, n + i) = 1.0;
      logTerm[p] = -std::log(std::abs(system.coefficients[p]));
      ls.b[r++] = logTerm[p];
    }
  }
  for (int i = 0; i < n; ++i) {
    for (std::int64_t j = first[i]; j < first[i + 1]; ++j) {
      if (!InFit(system.coefficients[j])) continue;
      for (std::int64_t q = j + 1; q < first[i + 1]; ++q) {
        if (!InFit(system.coefficients[q])) continue;
        for (int k = 0; k < n; ++k) {
          ls.A(r, k) = static_cast<double>(system.exponents(k, j)) - system.exponents(k, q);
        }
        ls.b[r++] = logTerm[j] - logTerm[q];
      }
    }
  }
  return ls;
}

}  // namespace

// Golub and Van Loan's reflection onto a nonnegative multiple of e_1.
void HouseholderVector(const double* x, std::int64_t len, std::vector<double>& v, double& beta,
                       double& alpha) {
  v.assign(x, x + len);
  double sigma = 0.0;
  for (std::int64_t i = 1; i < len; ++i) sigma += x[i] * x[i];
  v[0] = 1.0;
  if (sigma < kNegligibleTail) {
    beta = 0.0;
    alpha = x[0];  // no reflection: the column keeps its first entry, whatever its sign
    return;
  }
  const double mu = std::sqrt(x[0] * x[0] + sigma);
  alpha = mu;
  // x0 - mu cancels for x0 > 0; -sigma / (x0 + mu) is the same number without cancellation.
  const double v0 = x[0] <= 0.0 ? x[0] - mu : -sigma / (x[0] + mu);
  beta = 2.0 * v0 * v0 / (sigma + v0 * v0);
  v[0] = v0;
  for (double& value : v) value /= v0;
}

bool SolveLeastSquares(ColMajorMatrix<double>& A, std::vector<double>& b) {
  const std::int64_t M = A.rows();
  const std::int64_t N = A.cols();
  if (M < N || static_cast<std::int64_t>(b.size()) < M) return false;
  std::vector<double> v;
  for (std::int64_t k = 0; k < N; ++k) {
    double beta = 0.0;
    double alpha = 0.0;
    HouseholderVector(&A(k, k), M - k, v, beta, alpha);
    A(k, k) = alpha;
    for (std::int64_t i = k + 1; i < M; ++i) A(i, k) = 0.0;
    auto reflect = [&](double* column) {
      double dot = 0.0;
      for (std::int64_t i = 0; i < M - k; ++i) dot += v[i] * column[i];
      const double w = beta * dot;
      for (std::int64_t i = 0; i < M - k; ++i) column[i] -= w * v[i];
    };
    for (std::int64_t j = k + 1; j < N; ++j) reflect(&A(k, j));
    reflect(&b[k]);
  }
  for (std::int64_t k = 0; k < N; ++k) {
    if (std::abs(A(k, k)) < kSingularPivot) return false;
  }
  b[N - 1] /= A(N - 1, N - 1);
  for (std::int64_t k = N - 2; k >= 0; --k) {
    double sum = b[k];
    for (std::int64_t j = k + 1; j < N; ++j) sum -= A(k, j) * b[j];
    b[k] = sum / A(k, k);
  }
  return true;
}

bool ComputeScaling(NormalForm& system) {
  const int n = system.scaled.n;
  system.scaleExponents.assign(static_cast<std::size_t>(2 * n), 0.0);
  std::vector<std::int64_t> first(static_cast<std::size_t>(n) + 1, 0);
  for (int i = 0; i < n; ++i) first[i + 1] = first[i] + system.scaled.termCount[i];
  LeastSquaresRows ls = BuildRows(system.scaled, first);
  // Fewer rows than unknowns (possible only when zero coefficients left the fit) cannot fix s.
  if (ls.A.rows() < 2 * n || !SolveLeastSquares(ls.A, ls.b)) return false;
  std::vector<Complex> scaled = system.scaled.coefficients;
  for (int i = 0; i < n; ++i) {
    for (std::int64_t p = first[i]; p < first[i + 1]; ++p) {
      double exponent = ls.b[n + i];
      for (int k = 0; k < n; ++k) exponent += system.scaled.exponents(k, p) * ls.b[k];
      // e^exponent alone over- or underflows for coefficients near the ends of the double range
      // (a subnormal coefficient needs e^744): then it is applied in two halves.
      const double factor = std::pow(kE, exponent);
      if (std::isfinite(factor) && factor > 0.0) {
        scaled[p] *= factor;
      } else {
        const double half = std::pow(kE, exponent / 2);
        scaled[p] = scaled[p] * half * half;
      }
      // Huge exponents can push a factor past the double range; then scaling would do harm.
      const bool lost = InFit(system.scaled.coefficients[p]) && !InFit(scaled[p]);
      if (!std::isfinite(scaled[p].real()) || !std::isfinite(scaled[p].imag()) || lost) {
        return false;
      }
    }
  }
  system.scaled.coefficients = std::move(scaled);
  system.scaleExponents.assign(ls.b.begin(), ls.b.begin() + 2 * n);
  return true;
}

}  // namespace zormix
