// The Taylor expansion of a polynomial system at a point, in the point's units: the derivatives of
// every order, exact up to the rounding of the binomial shift.
#ifndef ZORMIX_LOCAL_TAYLOR_H_
#define ZORMIX_LOCAL_TAYLOR_H_

#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "local/monomials.h"
#include "zormix/poly_system.h"

namespace zormix {

// The units of the local coordinates and of the equations at a point x:
//   column c_j = |x_j|, or M = max_k |x_k| (the caller's natural size of x_j when given) for a
//   coordinate at most z M, z the zero share (a coordinate that is 0 at the root has no size of
//   its own, and the error of an end point puts it anywhere below that error; at the origin
//   c_j = 1 without natural sizes);
//   row s_i = the largest modulus of a Taylor coefficient of f_i of degree 1..order in the local
//   coordinates t_j = (y_j - x_j) / c_j, or sum_t |a_t| c^e_t where all of those vanish.
// Every quantity computed in these units (the dual space, its singular values, the deflated
// system) is unchanged when an equation is multiplied by a constant or a variable rescaled with x.
struct LocalUnits {
  std::vector<double> column;  // c_j
  std::vector<double> row;     // s_i
  // sum_t |a_t| c^e_t: the size of f_i's terms at x, and within one unit of x in the zero
  // coordinates (where the terms of x^2 vanish with x, the equation keeps a size): |f_i(x)| is
  // rounding when it is a few units eps of it.
  std::vector<double> evaluation;
};

// The expansion f_i(x + c t) / s_i = sum_a T_{i,a} t^a over the monomials of degree <= order of
// `table` (equation i's coefficients at [i][table index]). `noise` is a bound on the rounding
// error of every coefficient, relative to the row unit: the data's own accuracy.
struct TaylorSystem {
  int n = 0;
  int order = 0;
  std::vector<std::vector<Complex>> equations;
  double noise = 0.0;
};

// Column units and the evaluation scale at x; rows left empty (ExpandAt fills them).
// The share below which a coordinate is zero when nothing says more: a coordinate below sqrt(eps)
// of the largest carries fewer than half the point's digits.
double DefaultZeroShare();
LocalUnits ColumnUnitsAt(const PolySystem& system, const Complex* x,
                         const std::vector<double>& naturalSize = {}, double zeroShare = -1.0);

// The expansion to `order` (<= table.degree()). When units.row is empty it is filled from this
// expansion; otherwise the given rows are used, so that expansions at nearby points (Newton's
// iterates) are in the same units.
TaylorSystem ExpandAt(const PolySystem& system, const Complex* x, LocalUnits& units,
                      const MonomialTable& table, int order);

// Accumulates a_t (x + c t)^e, e = `exponent`, into out[table index] for the monomials of degree
// <= order: a_t prod_k C(e_k, g_k) x_k^(e_k - g_k) c_k^g_k at t^g. Generic in the scalar (complex
// numbers, complex intervals) so that the interval test encloses the same expansion. `absolute`,
// when given, accumulates the moduli of the same products (for the rounding bound).
template <class S, class Real>
void ShiftTerm(const S& coefficient, const std::int32_t* exponent, const S* x, const Real* column,
               const MonomialTable& table, int order, S* out, double* absolute = nullptr,
               double absCoefficient = 0.0, const double* absX = nullptr) {
  const int n = table.n();
  // factor[k][g] = C(e_k, g) x_k^(e_k - g) c_k^g
  std::vector<std::vector<S>> factor(n);
  std::vector<std::vector<double>> absFactor(absolute ? n : 0);
  for (int k = 0; k < n; ++k) {
    const int e = exponent[k];
    const int top = e < order ? e : order;
    std::vector<S> power(e + 1);  // x_k^p
    power[0] = S(1.0);
    for (int p = 1; p <= e; ++p) power[p] = power[p - 1] * x[k];
    factor[k].resize(top + 1);
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
  std::vector<std::int32_t> g(n, 0);
  // Depth-first over the coordinates, keeping the running product and degree.
  std::vector<S> product(n + 1);
  std::vector<double> absProduct(n + 1, 0.0);
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
