#include "report/system_eval.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace zormix {
namespace {

// P(d, k) = x_k^d for d = 1..maxDegree(k), column k of a D-row table; the rest stays 0.
void FillPowerTable(int n, std::span<const std::int32_t> maxDegree, const Complex* x,
                    std::int32_t D, std::vector<Complex>& powers) {
  powers.assign(static_cast<std::size_t>(D) * static_cast<std::size_t>(n), Complex(0.0, 0.0));
  for (int k = 0; k < n; ++k) {
    Complex* column = powers.data() + static_cast<std::size_t>(k) * D;
    if (maxDegree[k] < 1) continue;
    column[0] = x[k];
    for (std::int32_t d = 1; d < maxDegree[k]; ++d) column[d] = column[d - 1] * x[k];
  }
}

}  // namespace

std::vector<std::int32_t> MaxDegrees(const ColMajorMatrix<std::int32_t>& exponents) {
  const std::int64_t n = exponents.rows();
  std::vector<std::int32_t> maxDegree(static_cast<std::size_t>(n),
                                      std::numeric_limits<std::int32_t>::min());
  for (std::int64_t p = 0; p < exponents.cols(); ++p) {
    const std::int32_t* e = exponents.col(p);
    for (std::int64_t k = 0; k < n; ++k) maxDegree[k] = std::max(maxDegree[k], e[k]);
  }
  // A variable that appears in no term (or only to the power 0) needs no table entry.
  for (auto& d : maxDegree) d = std::max(d, 0);
  return maxDegree;
}

void EvaluateSystem(const SystemView& system, std::span<const std::int32_t> maxDegree,
                    const Complex* x, ColMajorMatrix<Complex>& J, std::vector<Complex>& F,
                    EvaluationWorkspace& workspace) {
  const int n = system.n;
  std::int32_t D = 0;
  for (int k = 0; k < n; ++k) D = std::max(D, maxDegree[k]);
  FillPowerTable(n, maxDegree, x, D, workspace.powers);
  const Complex* P = workspace.powers.data();
  auto power = [P, D](std::int32_t d, int k) {
    return P[(d - 1) + static_cast<std::size_t>(k) * D];
  };

  if (J.rows() != n || J.cols() != n) J.Assign(n, n);
  F.resize(static_cast<std::size_t>(n));
  workspace.derivative.resize(static_cast<std::size_t>(n));
  workspace.suffix.resize(static_cast<std::size_t>(n));
  Complex* g = workspace.derivative.data();
  Complex* h = workspace.suffix.data();

  std::int64_t p = 0;
  for (int i = 0; i < n; ++i) {
    Complex value(0.0, 0.0);
    for (int k = 0; k < n; ++k) J(i, k) = Complex(0.0, 0.0);
    for (std::int32_t t = 0; t < system.termCount[i]; ++t, ++p) {
      const std::int32_t* e = system.exponents->col(p);
      const Complex c = system.coefficients[p];
      // Prefix pass: g_k = e_k x_k^(e_k - 1) * prod_{j<k} x_j^e_j, pre ends as x^e.
      Complex pre(1.0, 0.0);
      for (int k = 0; k < n; ++k) {
        assert(e[k] >= 0 && e[k] <= maxDegree[k]);
        if (e[k] == 0) {
          g[k] = Complex(0.0, 0.0);
        } else if (e[k] == 1) {
          g[k] = pre;
          pre *= power(1, k);
        } else {
          g[k] = (static_cast<double>(e[k]) * pre) * power(e[k] - 1, k);
          pre *= power(e[k], k);
        }
      }
      // Suffix pass: h_k = prod_{j>k} x_j^e_j, so no coordinate is ever divided out.
      Complex suf(1.0, 0.0);
      h[n - 1] = suf;
      for (int k = n - 1; k >= 1; --k) {
        if (e[k] != 0) suf *= power(e[k], k);
        h[k - 1] = suf;
      }
      value += c * pre;
      for (int k = 0; k < n; ++k) J(i, k) += c * (g[k] * h[k]);
    }
    F[i] = value;
  }
}

void EvaluateSystem(const SystemView& system, std::span<const std::int32_t> maxDegree,
                    const Complex* x, ColMajorMatrix<Complex>& J, std::vector<Complex>& F) {
  thread_local EvaluationWorkspace workspace;
  EvaluateSystem(system, maxDegree, x, J, F, workspace);
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
