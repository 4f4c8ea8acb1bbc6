// Deflation: an augmented system of which a singular isolated root is a regular root, and Newton's
// method on it, which gives the root to full accuracy.
#ifndef ZORMIX_LOCAL_DEFLATION_H_
#define ZORMIX_LOCAL_DEFLATION_H_

#include <vector>

#include "local/dual_space.h"

namespace zormix {

// The method: the higher-order deflation of Leykin, Verschelde & Zhao (2006, 2008), with one
// multiplier vector, the coefficients of a functional of the dual space of the highest order rho
// (the depth). In the local coordinates t = (y - x) / c of a point x (taylor.h) the augmented
// system in (u, lambda), x = x0 + c u, lambda over the monomials of degree <= rho, is
//   f_i(x) / s_i = 0                                      (N rows)
//   sum_a lambda_a T_{i, a - b}(x) = 0, |b| <= rho         (N C(rho + n, n) rows: the Macaulay
//                                                           matrix one order beyond the depth)
//   B^H lambda = B^H lambda0                               (mu rows, B the computed dual basis)
// At the root, lambda = the dual functional L_top nearest lambda0 solves it, and the Jacobian has
// full column rank: with a kernel vector (v, w), the functional Psi = w + L_top D_v (D_v the
// derivative along v) annihilates (y - x)^b f_i for |b| <= rho, hence (its order is rho + 1) all
// of the ideal, so Psi lies in D, whose order is rho: the top-degree part of L_top times the
// linear form of v vanishes, so v = 0; then w lies in D with B^H w = 0, so w = 0.
//
// Why this deflation: one step regularises every root whatever its depth, with n + C(rho + n, n)
// unknowns and polynomial equations of the system's own coefficients, built from the dual space
// already computed. Isosingular deflation (Hauenstein & Wampler 2013) and the first-order step of
// Leykin, Verschelde & Zhao need up to depth steps; the first-order one doubles the unknowns each
// time (2^19 n for a 20-fold root of breadth one), isosingular deflation differentiates minors
// of ever higher order, and each step decides a numerical rank at a point whose accuracy the
// deflation has not improved yet.
struct Deflation {
  LocalUnits units;             // of the start: the deflated system's units
  std::vector<Complex> point;   // the root
  std::vector<Complex> lambda;  // the multiplier: L_top at the root, over the monomials
  int depth = 0;
  double correction = 0.0;  // the last Newton correction of u, max-norm (units)
  bool converged = false;   // the corrections fell to rounding
};

// The augmented system's values G and Jacobian J (rows as above, columns u then lambda) at
// x0 + c u; the expansion is taken at that point in `units` (rows fixed).
struct AugmentedSystem {
  std::vector<Complex> values;
  ColMajorMatrix<Complex> jacobian;
  double noise = 0.0;  // the expansion's rounding bound (TaylorSystem::noise)
};
AugmentedSystem EvaluateAugmented(const PolySystem& system, const std::vector<Complex>& x,
                                  const LocalUnits& units, const MonomialTable& table,
                                  const std::vector<Complex>& lambda,
                                  const std::vector<std::vector<Complex>>& basis,
                                  const std::vector<Complex>& target, int depth);

// The rows of the augmented system from the expansion T (per equation, over the monomials of
// degree <= depth + 1) and the multiplier: values G and the Jacobian (columns u, then lambda).
// Generic in the scalar, so that the interval test encloses the same system.
template <class S>
void AssembleAugmented(int n, const MonomialTable& table, const std::vector<std::vector<S>>& T,
                       const std::vector<S>& lambda, const std::vector<std::vector<Complex>>& basis,
                       const std::vector<Complex>& target, int depth, std::vector<S>& values,
                       ColMajorMatrix<S>& jacobian) {
  const int equations = static_cast<int>(T.size());
  const std::int64_t N = table.CountUpTo(depth);
  const std::int64_t rows = equations * (1 + N) + static_cast<std::int64_t>(basis.size());
  values.assign(rows, S(0.0));
  jacobian.Assign(rows, n + N, S(0.0));
  std::vector<std::int32_t> g(n), h(n);
  std::int64_t row = 0;
  for (int i = 0; i < equations; ++i, ++row) {
    values[row] = T[i][0];
    for (int k = 0; k < n; ++k) jacobian(row, k) = T[i][1 + k];
  }
  for (int i = 0; i < equations; ++i) {
    for (std::int64_t b = 0; b < N; ++b, ++row) {
      const std::int32_t* eb = table.Exponent(b);
      for (std::int64_t a = 0; a < N; ++a) {
        const std::int32_t* ea = table.Exponent(a);
        bool above = true;
        for (int k = 0; k < n && above; ++k) above = ea[k] >= eb[k];
        if (!above) continue;
        for (int k = 0; k < n; ++k) g[k] = ea[k] - eb[k];
        const S entry = T[i][table.Index(g.data())];
        jacobian(row, n + a) = entry;
        values[row] = values[row] + lambda[a] * entry;
        for (int k = 0; k < n; ++k) {  // d/du_k T_g = (g_k + 1) T_(g + e_k)
          h = g;
          ++h[k];
          jacobian(row, k) =
              jacobian(row, k) + lambda[a] * T[i][table.Index(h.data())] * S(g[k] + 1.0);
        }
      }
    }
  }
  for (std::size_t q = 0; q < basis.size(); ++q, ++row) {
    S sum(0.0);
    for (std::int64_t a = 0; a < N; ++a) {
      const S b(std::conj(basis[q][a]));
      jacobian(row, n + a) = b;
      sum = sum + b * lambda[a];
    }
    values[row] = sum - S(target[q]);
  }
}

// Above this many unknowns (n + C(rho + n, n)) no deflation is built: its Newton steps and its
// interval test grow as the cube (a root of depth 30 in two unknowns has 498).
inline constexpr int kLargestDeflation = 400;
// Whether the deflated system of `dual` stays within kLargestDeflation unknowns.
bool Deflatable(int n, const DualSpace& dual);

// Newton's method (Gauss-Newton on the overdetermined augmented system, by QR) from x, the dual
// space computed there. Converged when a correction falls to rounding or the augmented residual
// to the rounding of its evaluation (high multiplicities given in expanded form, such as
// (x - 1/2)^12, lose digits to cancellation in every Taylor coefficient). Returns converged
// false when the system is larger than kLargestDeflation, its Jacobian is not of full column rank
// beyond doubt, or neither happens within the iterations.
Deflation Deflate(const PolySystem& system, const std::vector<Complex>& x, const LocalUnits& units,
                  const DualSpace& dual);

}  // namespace zormix

#endif  // ZORMIX_LOCAL_DEFLATION_H_
