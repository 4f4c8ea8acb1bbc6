// Families of systems: every member has the same monomials in the variables, with coefficients
// that are polynomials in a few parameters.
#ifndef ZORMIX_PARAMETRIC_H_
#define ZORMIX_PARAMETRIC_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// A square system whose coefficients are functions of parameters p_1..p_P. Terms are laid out as
// in PolySystem (equation by equation, column p of `exponents` the exponents of term p in the
// variables). The coefficient of term p is the polynomial
//   c_p(params) = sum_{k = coefficientStart[p]}^{coefficientStart[p+1]-1}
//                   coefficientValues[k] prod_l params_l^parameterExponents(l, k).
struct ParametricSystem {
  int n = 0;
  std::vector<std::int32_t> termCount;     // terms per equation
  ColMajorMatrix<std::int32_t> exponents;  // n x m, exponents of the variables
  std::vector<std::string> variableNames;  // n, padded to kVariableNameLength as in PolySystem
  std::vector<std::string> parameterNames;
  std::vector<std::int64_t> coefficientStart;       // m + 1
  ColMajorMatrix<std::int32_t> parameterExponents;  // parameters x (coefficient monomials)
  std::vector<Complex> coefficientValues;           // one per coefficient monomial

  int parameterCount() const { return static_cast<int>(parameterNames.size()); }
  std::int64_t termTotal() const { return exponents.cols(); }
};

// The member of the family at `parameters` (one value per parameter): the terms whose coefficient
// is exactly zero there are left out, as in a system written with those numbers. Throws Error
// when the count of values is wrong, a value is not finite, or the member is not a valid system
// (an equation vanishes, a variable drops out).
PolySystem EvaluateParametric(const ParametricSystem& family, std::span<const Complex> parameters);

// Reads a family written as polynomial text (see io.h) with a statement that names the
// parameters, beside the variable declaration:
//   variables x, y;
//   parameters a, b;
//   (a^2 - 2*b)*x*y + a*x - 1;
//   x^2 + y^2 - b;
// Coefficients may be any polynomial in the parameters. Without a variable declaration, every
// name that is not a parameter (nor i or I) is a variable. Throws Error "source:line:column:
// message" as ParsePolynomialText does, and for a text without a parameter statement.
ParametricSystem ParseParametricText(std::string_view text, std::string_view sourceName);

}  // namespace zormix

#endif  // ZORMIX_PARAMETRIC_H_
