// The Taylor expansion of a polynomial system at a point, in the point's units: the derivatives of
// every order, exact up to the rounding of the binomial shift.
#ifndef ZORMIX_LOCAL_TAYLOR_H_
#define ZORMIX_LOCAL_TAYLOR_H_

#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "local/monomials.h"
#include "local/units.h"
#include "zormix/poly_system.h"

namespace zormix {

// The expansion f_i(x + c t) / s_i = sum_a T_{i,a} t^a over the monomials of degree <= order of
// `table` (equation i's coefficients at [i][table index]). `noise` is a bound on the rounding
// error of every coefficient, relative to the row unit: the data's own accuracy.
struct TaylorSystem {
  int n = 0;
  int order = 0;
  std::vector<std::vector<Complex>> equations;
  double noise = 0.0;
};

// The expansion to `order` (<= table.degree()) in the given units (rows included: those of the
// point the analysis is at, so that expansions at nearby points, Newton's iterates, and to other
// orders are in the same units).
TaylorSystem ExpandAt(const PolySystem& system, const Complex* x, const LocalUnits& units,
                      const MonomialTable& table, int order);

// Scratch space of ShiftTerm, kept across the terms of an expansion (no allocation per term).
template <class S>
struct ShiftScratch {
  std::vector<std::vector<S>> factor;          // [k][g] = C(e_k, g) x_k^(e_k - g) c_k^g
  std::vector<std::vector<double>> absFactor;  // the same for |x_k|
  std::vector<S> power;                        // x_k^p
  std::vector<std::int32_t> g;                 // the exponent visited
  std::vector<S> product;                      // running products along the visit
  std::vector<double> absProduct;
};

// Accumulates a_t (x + c t)^e, e = `exponent`, into out[table index] for the monomials of degree
// <= order: a_t prod_k C(e_k, g_k) x_k^(e_k - g_k) c_k^g_k at t^g. Generic in the scalar (complex
// numbers, complex intervals) so that the interval test encloses the same expansion. `absolute`,
// when given, accumulates the moduli of the same products (for the rounding bound).
template <class S, class Real>
void ShiftTerm(const S& coefficient, const std::int32_t* exponent, const S* x, const Real* column,
               const MonomialTable& table, int order, S* out, ShiftScratch<S>& scratch,
               double* absolute = nullptr, double absCoefficient = 0.0,
               const double* absX = nullptr) {
  const int n = table.n();
  auto& factor = scratch.factor;
  auto& absFactor = scratch.absFactor;
  factor.resize(n);
  absFactor.resize(n);
  for (int k = 0; k < n; ++k) {
    const int e = exponent[k];
    const int top = e < order ? e : order;
    std::vector<S>& power = scratch.power;
    power.resize(e + 1);
    power[0] = S(1.0);
    for (int p = 1; p <= e; ++p) power[p] = power[p - 1] * x[k];
    factor[k].resize(top + 1);
    absFactor[k].clear();
    Real cPower = Real(1.0);
    double binomial = 1.0;
    for (int g = 0; g <= top; ++g) {
      factor[k][g] = power[e - g] * (cPower * Real(binomial));
      if constexpr (std::is_same_v<Real, double>) {
        if (absolute)
          absFactor[k].push_back(binomial * std::pow(absX[k], e - g) * std::pow(column[k], g));
      }
      cPower = cPower * column[k];
      binomial = binomial * (e - g) / (g + 1);
    }
  }
  std::vector<std::int32_t>& g = scratch.g;
  g.assign(n, 0);
  // Depth-first over the coordinates, keeping the running product and degree.
  std::vector<S>& product = scratch.product;
  std::vector<double>& absProduct = scratch.absProduct;
  product.resize(n + 1);
  absProduct.assign(n + 1, 0.0);
  product[0] = coefficient;
  absProduct[0] = absCoefficient;
  auto visit = [&](auto&& self, int k, int degree) -> void {
    if (k == n) {
      const std::int64_t index = table.Index(g.data());
      out[index] = out[index] + product[n];
      if (absolute) absolute[index] += absProduct[n];
      return;
    }
    const int top = static_cast<int>(factor[k].size()) - 1;
    for (int v = 0; v <= top && degree + v <= order; ++v) {
      g[k] = v;
      product[k + 1] = product[k] * factor[k][v];
      if (absolute) absProduct[k + 1] = absProduct[k] * absFactor[k][v];
      self(self, k + 1, degree + v);
    }
    g[k] = 0;
  };
  visit(visit, 0, 0);
}

}  // namespace zormix

#endif  // ZORMIX_LOCAL_TAYLOR_H_
