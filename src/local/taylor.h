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
//   column c_j = max(|x_j|, v_j), v_j the natural size of coordinate j (NaturalSizes), or v_j
//   where the coordinate is zero at the point: a coordinate that is 0 at the root has no size of
//   its own, and the error of an end point puts it anywhere below that error;
//   row s_i = the largest modulus of a Taylor coefficient of f_i (of any degree >= 1) in the
//   local coordinates t_j = (y_j - x_j) / c_j (RowUnits).
// Every quantity computed in these units (the dual space, its singular values, the deflated
// system) is unchanged when an equation is multiplied by a constant or a variable rescaled, x and
// v with it: no decision compares one coordinate with another.
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

// The natural sizes of the coordinates: v_j = e^(s_j), s the minimal-norm least-squares solution
// of sum_k e_tk s_k + r_i = -ln |a_t| over the terms a_t x^e_t of every equation i, which
// balances the terms of each equation; r (each equation's scale) is eliminated by centring the
// rows of each equation, so that scaling an equation changes nothing. A variable rescaled
// (x_j = a y_j) moves the solutions by exactly -ln a in s_j; where the fit leaves a direction
// free, the system is quasi-homogeneous in it (x_k -> e^(s_k) x_k scales each equation as a
// whole), and every solution gives the same analysis of the correspondingly moved point.
// The free directions are fixed by `pinned` (per coordinate, 0 for none): rows of weight
// kPinWeight ask s_k = ln pinned_k, which moves with a rescaled variable as the fit does, so that
// the sizes follow every rescaling exactly; without it they are 1 in the free directions (the
// minimal norm), and a variable in which every equation is homogeneous gets 1: nothing else gives
// it a size.
std::vector<double> NaturalSizes(const PolySystem& system, const std::vector<double>& pinned = {});
// The share of its natural size below which a coordinate is zero whatever else is known: fewer
// than half of its digits would stand above the rounding of a point of that size.
double DefaultZeroShare();

// The units at x: columns, rows (RowUnits) and the evaluation scale. Coordinate j is zero at the
// point when |x_j| <= max(zeroBelow_j, DefaultZeroShare() v_j): zeroBelow (may be empty) holds
// what the caller knows of each coordinate's error. A coordinate that is not zero is measured in
// the larger of |x_j| and v_j: a coordinate of 7e-3 in a system whose variables vary on a scale
// of 2 (a change of coordinates moved the root there) keeps the scale of 2, or its Taylor
// coefficients of order k would shrink by (7e-3 / 2)^k and mimic a null space.
LocalUnits UnitsAt(const PolySystem& system, const Complex* x, const std::vector<double>& natural,
                   const std::vector<double>& zeroBelow = {});

// The row units at x for the given columns: s_i = the largest modulus of a Taylor coefficient of
// f_i of any degree >= 1 that stands above its rounding bound, or sum_t |a_t| c^e_t where none
// does. Every degree counts, so that the units do not depend on how far an expansion goes;
// coefficients within their rounding are none: near a root of high multiplicity the low orders of
// (x - 1/2)^12, expanded, are cancellation alone.
std::vector<double> RowUnits(const PolySystem& system, const Complex* x,
                             const std::vector<double>& column);

// The expansion to `order` (<= table.degree()) in the given units (those of a nearby point, so
// that Newton's iterates are expanded in the same units).
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
