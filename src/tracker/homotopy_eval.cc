#include "tracker/homotopy_eval.h"

#include <algorithm>

namespace zormix {

void EvaluationScratch::Prepare(const MonomialLayout& layout) {
  int maxD = 0;
  for (std::int32_t d : layout.maxDegree) maxD = std::max(maxD, static_cast<int>(d));
  powerRows = maxD + 1;
  const std::size_t n = static_cast<std::size_t>(layout.n);
  powers.assign(static_cast<std::size_t>(powerRows) * n, Complex(1.0, 0.0));
  factor.assign(n, Complex());
  suffix.assign(n, Complex());
  gradient.assign(n, Complex());
}

namespace {

// powers[k + i * rows] = y_i^k by repeated multiplication; row 0 stays 1.
void BuildPowerTable(const MonomialLayout& layout, const Complex* y, EvaluationScratch& s) {
  const int rows = s.powerRows;
  for (int i = 0; i < layout.n; ++i) {
    Complex* p = s.powers.data() + static_cast<std::size_t>(i) * rows;
    p[0] = Complex(1.0, 0.0);
    const int top = std::max(0, static_cast<int>(layout.maxDegree[i]));
    for (int k = 1; k <= top; ++k) p[k] = p[k - 1] * y[i];
  }
}

}  // namespace

void EvaluateHomotopy(const MonomialLayout& layout, const Complex* A, const Complex* B,
                      const Complex* y, ColMajorMatrix<Complex>& J, Complex* F, Complex* G,
                      EvaluationScratch& scratch) {
  const int n = layout.n;
  const int rows = scratch.powerRows;
  const ColMajorMatrix<std::int32_t>& E = *layout.exponents;
  BuildPowerTable(layout, y, scratch);
  auto power = [&](int k, int e) { return scratch.powers[e + static_cast<std::size_t>(k) * rows]; };
  Complex* factor = scratch.factor.data();
  Complex* g = scratch.gradient.data();
  std::int64_t j = 0;
  for (int i = 0; i < n; ++i) {
    Complex f(0.0, 0.0), gs(0.0, 0.0);
    std::fill(g, g + n, Complex(0.0, 0.0));
    for (std::int32_t t = 0; t < layout.termCount[i]; ++t, ++j) {
      const std::int32_t* a = E.col(j);
      // Prefix pass: c = product of the powers of the variables before k.
      Complex c(1.0, 0.0);
      for (int k = 0; k < n; ++k) {
        const int e = a[k];
        if (e == 0) {
          factor[k] = Complex(0.0, 0.0);
        } else if (e == 1) {
          factor[k] = c;
          c *= y[k];
        } else {
          factor[k] = static_cast<double>(e) * c * power(k, e - 1);
          c *= power(k, e);
        }
      }
      // Suffix pass: u_k = product of the powers of the variables after k.
      Complex u(1.0, 0.0);
      for (int k = n - 1; k >= 0; --k) {
        factor[k] *= u;
        if (k > 0) u *= power(k, a[k]);
      }
      f += A[j] * c;
      if (B != nullptr) gs += B[j] * c;
      for (int k = 0; k < n; ++k) g[k] += A[j] * factor[k];
    }
    if (F != nullptr) F[i] = f;
    if (G != nullptr) G[i] = gs;
    for (int k = 0; k < n; ++k) J(i, k) = g[k];
  }
}

Complex IntegerPower(Complex z, std::int32_t k) {
  std::uint64_t e = k < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(k))
                          : static_cast<std::uint64_t>(k);
  Complex result(1.0, 0.0);
  Complex base = z;
  while (e != 0) {
    if (e & 1u) result *= base;
    e >>= 1;
    if (e != 0) base *= base;
  }
  return k < 0 ? Complex(1.0, 0.0) / result : result;
}

}  // namespace zormix
