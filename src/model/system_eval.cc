#include "model/system_eval.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace zormix {
namespace {

// powers[d + k * rows] = x_k^d for d = 0..maxDegree[k] by repeated multiplication.
void BuildPowerTable(const MonomialLayout& layout, const Complex* x, EvaluationWorkspace& w) {
  const int rows = w.powerRows;
  for (int k = 0; k < layout.n; ++k) {
    Complex* column = w.powers.data() + static_cast<std::size_t>(k) * rows;
    column[0] = Complex(1.0, 0.0);
    const int top = std::max(0, static_cast<int>(layout.maxDegree[k]));
    for (int d = 1; d <= top; ++d) column[d] = column[d - 1] * x[k];
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

void EvaluationWorkspace::Prepare(const MonomialLayout& layout) {
  int maxD = 0;
  for (std::int32_t d : layout.maxDegree) maxD = std::max(maxD, static_cast<int>(d));
  powerRows = maxD + 1;
  const std::size_t n = static_cast<std::size_t>(layout.n);
  powers.resize(static_cast<std::size_t>(powerRows) * n);
  derivative.resize(n);
  gradient.resize(n);
  const std::int64_t m = layout.exponents->cols();
  termStart.resize(static_cast<std::size_t>(m) + 1);
  variable.clear();
  exponent.clear();
  for (std::int64_t j = 0; j < m; ++j) {
    termStart[j] = static_cast<std::int64_t>(variable.size());
    const std::int32_t* a = layout.exponents->col(j);
    for (int k = 0; k < layout.n; ++k) {
      if (a[k] == 0) continue;
      variable.push_back(k);
      exponent.push_back(a[k]);
    }
  }
  termStart[m] = static_cast<std::int64_t>(variable.size());
}

void EvaluateMonomials(const MonomialLayout& layout, const Complex* A, const Complex* B,
                       const Complex* x, ColMajorMatrix<Complex>& J, Complex* F, Complex* G,
                       EvaluationWorkspace& workspace) {
  const int n = layout.n;
  const int rows = workspace.powerRows;
  assert(J.rows() == n && J.cols() == n);
  assert(workspace.powers.size() >= static_cast<std::size_t>(rows) * n);
  assert(workspace.termStart.size() == static_cast<std::size_t>(layout.exponents->cols()) + 1);
  BuildPowerTable(layout, x, workspace);
  const Complex* P = workspace.powers.data();
  auto power = [P, rows](int k, std::int32_t d) {
    return P[d + static_cast<std::size_t>(k) * rows];
  };
  const std::int32_t* variable = workspace.variable.data();
  const std::int32_t* exponent = workspace.exponent.data();
  Complex* factor = workspace.derivative.data();
  Complex* g = workspace.gradient.data();
  std::int64_t j = 0;
  for (int i = 0; i < n; ++i) {
    Complex f(0.0, 0.0), gs(0.0, 0.0);
    std::fill(g, g + n, Complex(0.0, 0.0));
    for (std::int32_t t = 0; t < layout.termCount[i]; ++t, ++j) {
      const std::int64_t first = workspace.termStart[j];
      const int support = static_cast<int>(workspace.termStart[j + 1] - first);
      const std::int32_t* var = variable + first;
      const std::int32_t* e = exponent + first;
      // Prefix pass over the support: factor_q = e_q x_k^(e_q - 1) * prod_{r<q} x^(e_r) for
      // k = var_q; c ends as x^a.
      Complex c(1.0, 0.0);
      for (int q = 0; q < support; ++q) {
        const int k = var[q];
        if (e[q] == 1) {
          factor[q] = c;
          c *= x[k];
        } else {
          factor[q] = static_cast<double>(e[q]) * c * power(k, e[q] - 1);
          c *= power(k, e[q]);
        }
      }
      // Suffix pass: factor_q *= prod_{r>q} x^(e_r), so no coordinate is divided out.
      Complex u(1.0, 0.0);
      for (int q = support - 1; q >= 0; --q) {
        factor[q] *= u;
        if (q > 0) u *= power(var[q], e[q]);
      }
      f += A[j] * c;
      if (B != nullptr) gs += B[j] * c;
      for (int q = 0; q < support; ++q) g[var[q]] += A[j] * factor[q];
    }
    if (F != nullptr) F[i] = f;
    if (G != nullptr) G[i] = gs;
    for (int k = 0; k < n; ++k) J(i, k) = g[k];
  }
}

void EvaluateSystem(const SystemView& system, std::span<const std::int32_t> maxDegree,
                    const Complex* x, ColMajorMatrix<Complex>& J, std::vector<Complex>& F,
                    EvaluationWorkspace& workspace) {
  const int n = system.n;
  const MonomialLayout layout{n, system.termCount, system.exponents, maxDegree};
  workspace.Prepare(layout);
  if (J.rows() != n || J.cols() != n) J.Assign(n, n);
  F.resize(static_cast<std::size_t>(n));
  EvaluateMonomials(layout, system.coefficients.data(), nullptr, x, J, F.data(), nullptr,
                    workspace);
}

void EvaluateSystem(const SystemView& system, std::span<const std::int32_t> maxDegree,
                    const Complex* x, ColMajorMatrix<Complex>& J, std::vector<Complex>& F) {
  thread_local EvaluationWorkspace workspace;
  EvaluateSystem(system, maxDegree, x, J, F, workspace);
}

}  // namespace zormix
