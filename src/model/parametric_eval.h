// Coefficients of a family of systems at a parameter point, and along a line in parameter space.
#ifndef ZORMIX_MODEL_PARAMETRIC_EVAL_H_
#define ZORMIX_MODEL_PARAMETRIC_EVAL_H_

#include <span>
#include <string>
#include <vector>

#include "zormix/parametric.h"

namespace zormix {

// coefficients[p] = c_p(parameters) for every term p (zeros kept).
void EvaluateCoefficients(const ParametricSystem& family, std::span<const Complex> parameters,
                          Complex* coefficients);

// The coefficients of a family restricted to the line p(tau) = start + tau direction: term p's
// coefficient is the polynomial sum_k values[first[p] + k] tau^k, k < first[p + 1] - first[p].
struct CoefficientsOnLine {
  std::vector<std::int64_t> first;  // terms + 1
  std::vector<Complex> values;

  // c_p(tau) and dc_p/dtau for every term, by Horner's rule.
  void Evaluate(Complex tau, Complex* coefficients, Complex* derivatives) const;
};
CoefficientsOnLine RestrictToLine(const ParametricSystem& family, std::span<const Complex> start,
                                  std::span<const Complex> direction);

// The member at `parameters` with every term of the family, zero coefficients included: the
// layout all members share.
PolySystem EvaluateAllTerms(const ParametricSystem& family, std::span<const Complex> parameters);

// Throws Error `where: ...` when the arrays of the family do not fit together or its support is
// not that of a solvable square system (see ValidateSystem).
void CheckFamilyShape(const ParametricSystem& family, const std::string& where);

}  // namespace zormix

#endif  // ZORMIX_MODEL_PARAMETRIC_EVAL_H_
