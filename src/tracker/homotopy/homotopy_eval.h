// Values, parameter derivative and Jacobian of two coefficient sets on one set of monomials.
#ifndef ZORMIX_TRACKER_HOMOTOPY_HOMOTOPY_EVAL_H_
#define ZORMIX_TRACKER_HOMOTOPY_HOMOTOPY_EVAL_H_

#include <complex>
#include <cstdint>
#include <vector>

#include "model/system_eval.h"
#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// Work arrays of one homotopy evaluation; Prepare(layout) once, then evaluations allocate nothing.
using EvaluationScratch = EvaluationWorkspace;

// F_i = sum_j A_j y^a_j, G_i = sum_j B_j y^a_j, J(i,k) = dF_i/dy_k over the monomials j of
// equation i (the target system's evaluation kernel with a second coefficient set). F and G may
// be null (not computed). J must be n x n.
inline void EvaluateHomotopy(const MonomialLayout& layout, const Complex* A, const Complex* B,
                             const Complex* y, ColMajorMatrix<Complex>& J, Complex* F, Complex* G,
                             EvaluationScratch& scratch) {
  EvaluateMonomials(layout, A, B, y, J, F, G, scratch);
}

using LongComplex = std::complex<long double>;

// F_i = sum_j A_j y^a_j over the monomials j of equation i, with every product and sum in long
// double (64-bit significand on x86: 2048 times finer than double). powers is scratch. With
// termSizeMax, also max_i sum_j |A_j y^a_j|: the size the rounding of the sums is relative to;
// with termSize, each equation's sum_j |A_j y^a_j| (n values).
void EvaluateValuesExtended(const MonomialLayout& layout, const LongComplex* A, const Complex* y,
                            LongComplex* F, std::vector<LongComplex>& powers,
                            long double* termSizeMax = nullptr, long double* termSize = nullptr);

inline Complex RoundToDouble(const LongComplex& z) {
  return Complex(static_cast<double>(z.real()), static_cast<double>(z.imag()));
}

// z^k for an integer k by binary powering (k < 0 gives 1 / z^-k).
Complex IntegerPower(Complex z, std::int32_t k);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_HOMOTOPY_HOMOTOPY_EVAL_H_
