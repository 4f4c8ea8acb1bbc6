// Values, parameter derivative and Jacobian of two coefficient sets on one set of monomials.
#ifndef ZORMIX_TRACKER_HOMOTOPY_EVAL_H_
#define ZORMIX_TRACKER_HOMOTOPY_EVAL_H_

#include <cstdint>
#include <span>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// The monomials shared by the target system and the homotopy: equation i owns termCount[i]
// consecutive columns of `exponents`; maxDegree[k] is the largest exponent of variable k.
struct MonomialLayout {
  int n = 0;
  std::span<const std::int32_t> termCount;
  const ColMajorMatrix<std::int32_t>* exponents = nullptr;
  std::span<const std::int32_t> maxDegree;
};

// Work arrays of one evaluation, sized once per layout so that evaluations allocate nothing.
struct EvaluationScratch {
  int powerRows = 0;              // maxD + 1: row 0 holds y^0 = 1
  std::vector<Complex> powers;    // powers[k + i * powerRows] = y_i^k
  std::vector<Complex> factor;    // d(y^a_j)/dy_k of the current monomial
  std::vector<Complex> suffix;    // products of the powers of the variables after k
  std::vector<Complex> gradient;  // row i of the Jacobian being accumulated

  void Prepare(const MonomialLayout& layout);
};

// F_i = sum_j A_j y^a_j, G_i = sum_j B_j y^a_j, J(i,k) = dF_i/dy_k over the monomials j of
// equation i. Derivatives come from prefix and suffix products over a power table, so a zero
// coordinate needs no division. F and G may be null (not computed). J must be n x n.
void EvaluateHomotopy(const MonomialLayout& layout, const Complex* A, const Complex* B,
                      const Complex* y, ColMajorMatrix<Complex>& J, Complex* F, Complex* G,
                      EvaluationScratch& scratch);

// Jacobian of sum_j coefficients_j y^a_j alone.
inline void EvaluateTargetJacobian(const MonomialLayout& layout, const Complex* coefficients,
                                   const Complex* y, ColMajorMatrix<Complex>& J,
                                   EvaluationScratch& scratch) {
  EvaluateHomotopy(layout, coefficients, nullptr, y, J, nullptr, nullptr, scratch);
}

// z^k for an integer k by binary powering (k < 0 gives 1 / z^-k).
Complex IntegerPower(Complex z, std::int32_t k);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_HOMOTOPY_EVAL_H_
