// The Jacobian of a system in units of its own: rows divided by the size of their terms, columns
// multiplied by the size of the coordinates. Shared by the condition number of the classification
// and the local dimension test.
#ifndef ZORMIX_FINISH_SCALED_JACOBIAN_H_
#define ZORMIX_FINISH_SCALED_JACOBIAN_H_

#include <vector>

#include "model/normal_form.h"
#include "zormix/col_major_matrix.h"

namespace zormix {

// The units of a point x: c_j = |x_j|, or M = max_k |x_k| for a numerically zero coordinate
// (|x_j| <= finish.zero_coordinate M; 1 at the origin), and s_i = max(sum_t |a_t| |x^e_t|, sum_j
// |J|(i,j) c_j) with |J| the Jacobian of the system with coefficients |a_t| at |x|: the size of
// equation i's terms and of their first-order change (an equation whose terms all vanish at x keeps
// the scale of its derivatives).
struct PointUnits {
  std::vector<double> column;  // c_j
  std::vector<double> row;     // s_i
};
PointUnits UnitsAt(const NormalForm& system, const Complex* x);
// The column units c_j of UnitsAt alone.
std::vector<double> ColumnUnitsAt(const Complex* x, int n);
// The column units c_j of UnitsAt with every coordinate at the origin (|x_j| below its origin
// scale o_j, `origin` = OriginScales) taken as zero too (c_j = M): a coordinate that is 0 at the
// root and that the end game's error moved off 0 has no size of its own; its distance from 0 is in
// the size of the point. At a root of multiplicity 12 of the embedded reduced cyclic-9 system, end
// points with zero coordinates near 1e-9 had the slices of the local dimension test in units of o_j
// stay within 3e-5 of the root, where its residual along the null space, |d|^3, is rounding, and
// find a "set"; those with zeros at 1e-16 (units M) found none.
std::vector<double> ColumnUnitsAtOrigin(const Complex* x, const std::vector<double>& origin);
// The s_i at x for given column units c_j (those of another point).
std::vector<double> RowUnits(const NormalForm& system, const Complex* x,
                             const std::vector<double>& column);

double MaxModulus(const Complex* x, int n);

// o_k = finish.origin_share e^{s_k}, with e^{s_k} the natural size of coordinate k from the
// system's scaling (1 when unscaled): below it a coordinate is at the origin rather than small. An
// end point 1e-18 from a root at the origin has no size of its own: distances and probes measured
// against 1e-18 would keep its paths apart and let the higher-order terms vanish against the lower
// ones.
std::vector<double> OriginScales(const NormalForm& system);

// `system` with each equation multiplied by the power of two that brings its largest coefficient
// modulus into [1, 2): exact, even for subnormal coefficients, so roots, Newton steps and interval
// proofs are those of the system as given, while no equation's size under- or overflows.
NormalForm WithEquationsNormalized(const NormalForm& system);

// A = diag(1/s) J(x) diag(c) and G = diag(1/s) F(x), on the unscaled coefficients of `system`.
void ScaledJacobian(const NormalForm& system, const PointUnits& units, const Complex* x,
                    ColMajorMatrix<Complex>& A, std::vector<Complex>& G);

// What RowUnits and ScaledJacobian derive from the system alone (its largest degrees, the moduli
// of its coefficients), derived once where one system is evaluated at many points (the slices of
// the local dimension test). Refers to `system`, which must outlive it.
struct UnitsEvaluation {
  explicit UnitsEvaluation(const NormalForm& system);
  const NormalForm& system;
  std::vector<std::int32_t> maxDegree;
  std::vector<Complex> absCoefficients;
};
std::vector<double> RowUnits(const UnitsEvaluation& evaluation, const Complex* x,
                             const std::vector<double>& column);
void ScaledJacobian(const UnitsEvaluation& evaluation, const PointUnits& units, const Complex* x,
                    ColMajorMatrix<Complex>& A, std::vector<Complex>& G);

}  // namespace zormix

#endif  // ZORMIX_FINISH_SCALED_JACOBIAN_H_
