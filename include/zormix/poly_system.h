// The polynomial system as every stage of the solver sees it.
#ifndef ZORMIX_POLY_SYSTEM_H_
#define ZORMIX_POLY_SYSTEM_H_

#include <cstdint>
#include <string>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/complex.h"

namespace zormix {

// Length every variable name is padded or cut to.
inline constexpr int kVariableNameLength = 20;

// A square system: n equations in n variables. Terms are numbered 0..m-1 over all equations, the
// terms of equation 0 first, then those of equation 1, and so on; column p of `exponents` is the
// exponent vector of term p. All indices are 0-based.
//
struct PolySystem {
  int n = 0;
  std::vector<std::int32_t> termCount;     // terms per equation
  ColMajorMatrix<std::int32_t> exponents;  // n x m
  std::vector<Complex> coefficients;       // m
  std::vector<std::string> variableNames;  // n names of exactly kVariableNameLength characters

  std::int64_t termTotal() const { return exponents.cols(); }
};

// Pads with blanks or cuts to kVariableNameLength characters.
std::string PadVariableName(const std::string& name);

}  // namespace zormix

#endif  // ZORMIX_POLY_SYSTEM_H_
