// Values and Jacobian of a polynomial system at a point, and the guarded Euclidean norm.
#ifndef ZORMIX_REPORT_SYSTEM_EVAL_H_
#define ZORMIX_REPORT_SYSTEM_EVAL_H_

#include <cstdint>
#include <span>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// The terms of a system with one set of coefficients (scaled or unscaled). Terms of equation i are
// contiguous and follow those of equation i-1.
struct SystemView {
  int n = 0;
  std::span<const std::int32_t> termCount;
  const ColMajorMatrix<std::int32_t>* exponents = nullptr;
  std::span<const Complex> coefficients;
};

// Largest exponent of each variable over all terms (0 when none is positive).
std::vector<std::int32_t> MaxDegrees(const ColMajorMatrix<std::int32_t>& exponents);

// Evaluates F (n values) and J (n x n, J(i,k) = dF_i/dx_k) at x with prefix and suffix products
// over a power table, so zero coordinates need no division. J and F are resized as needed.
void EvaluateSystem(const SystemView& system, std::span<const std::int32_t> maxDegree,
                    const Complex* x, ColMajorMatrix<Complex>& J, std::vector<Complex>& F);

// Scratch of EvaluateSystem: the power table and the per-term factors. Callers that evaluate
// repeatedly (every corrector iteration) keep one per thread so no call allocates.
struct EvaluationWorkspace {
  std::vector<Complex> powers;      // D x n, powers[(d - 1) + k * D] = x_k^d
  std::vector<Complex> derivative;  // g: prefix part of d(x^e)/dx_k
  std::vector<Complex> suffix;      // h: product of x_j^e_j over j > k
};

// As above, with caller-owned scratch.
void EvaluateSystem(const SystemView& system, std::span<const std::int32_t> maxDegree,
                    const Complex* x, ColMajorMatrix<Complex>& J, std::vector<Complex>& F,
                    EvaluationWorkspace& workspace);

// Euclidean norm; scaled by the largest modulus when that exceeds 1e5. 0 for an empty vector.
double VectorNorm2(int n, const Complex* v);

}  // namespace zormix

#endif  // ZORMIX_REPORT_SYSTEM_EVAL_H_
