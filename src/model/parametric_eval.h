// Coefficients of a family of systems at a parameter point, and their derivative along a
// direction in parameter space.
#ifndef ZORMIX_MODEL_PARAMETRIC_EVAL_H_
#define ZORMIX_MODEL_PARAMETRIC_EVAL_H_

#include <span>
#include <string>

#include "zormix/parametric.h"

namespace zormix {

// coefficients[p] = c_p(parameters) for every term p (zeros kept).
void EvaluateCoefficients(const ParametricSystem& family, std::span<const Complex> parameters,
                          Complex* coefficients);

// As above, and derivatives[p] = sum_l dc_p/dparam_l (parameters) * direction_l.
void EvaluateCoefficients(const ParametricSystem& family, std::span<const Complex> parameters,
                          std::span<const Complex> direction, Complex* coefficients,
                          Complex* derivatives);

// The member at `parameters` with every term of the family, zero coefficients included: the
// layout all members share.
PolySystem EvaluateAllTerms(const ParametricSystem& family, std::span<const Complex> parameters);

// Throws Error `where: ...` when the arrays of the family do not fit together or its support is
// not that of a solvable square system (see ValidateSystem).
void CheckFamilyShape(const ParametricSystem& family, const std::string& where);

}  // namespace zormix

#endif  // ZORMIX_MODEL_PARAMETRIC_EVAL_H_
