// Validation of a system handed to the solve, so that no later stage meets sizes or values it
// cannot survive.
#include "model/check_system.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "model/limits.h"
#include "zormix/error.h"

namespace zormix {
namespace {

[[noreturn]] void Fail(const std::string& where, const std::string& message) {
  throw Error(where + ": " + message);
}

std::string Term(std::int64_t p) { return "term " + std::to_string(p + 1); }

void CheckSizes(const PolySystem& system, const std::string& where) {
  const int n = system.n;
  if (n < 1)
    Fail(where, "the number of variables n must be at least 1, found " + std::to_string(n));
  if (n > kMaxVariables) {
    Fail(where, "n = " + std::to_string(n) + " variables exceeds the limit of " +
                    std::to_string(kMaxVariables));
  }
  if (system.termCount.size() != static_cast<std::size_t>(n)) {
    Fail(where, "expected " + std::to_string(n) + " term counts (one per equation), found " +
                    std::to_string(system.termCount.size()));
  }
  std::int64_t m = 0;
  for (int i = 0; i < n; ++i) {
    if (system.termCount[i] < 1) {
      Fail(where, "equation " + std::to_string(i + 1) + " must have at least 1 term, found " +
                      std::to_string(system.termCount[i]));
    }
    m += system.termCount[i];
  }
  if (m > kMaxTerms || m * n > kMaxExponentEntries) {
    Fail(where, std::to_string(m) + " terms in " + std::to_string(n) +
                    " variables are more than the solver can hold");
  }
  if (system.exponents.rows() != n || system.exponents.cols() != m) {
    Fail(where, "the exponent matrix must be " + std::to_string(n) + " x " + std::to_string(m) +
                    " (variables x terms), found " + std::to_string(system.exponents.rows()) +
                    " x " + std::to_string(system.exponents.cols()));
  }
  if (static_cast<std::int64_t>(system.coefficients.size()) != m) {
    Fail(where, "expected " + std::to_string(m) + " coefficients (one per term), found " +
                    std::to_string(system.coefficients.size()));
  }
  if (system.variableNames.size() != static_cast<std::size_t>(n)) {
    Fail(where, "expected " + std::to_string(n) + " variable names, found " +
                    std::to_string(system.variableNames.size()));
  }
}

}  // namespace

void ValidateSystem(const PolySystem& system, const std::string& where) {
  CheckSizes(system, where);
  for (std::int64_t p = 0; p < system.exponents.cols(); ++p) {
    for (int k = 0; k < system.n; ++k) {
      if (system.exponents(k, p) < 0) {
        Fail(where, "negative exponent " + std::to_string(system.exponents(k, p)) + " (" + Term(p) +
                        ", variable " + std::to_string(k + 1) + "); exponents must be 0 or more");
      }
    }
    const Complex c = system.coefficients[p];
    if (!std::isfinite(c.real()) || !std::isfinite(c.imag())) {
      Fail(where, "the coefficient of " + Term(p) + " is not finite");
    }
  }
}

}  // namespace zormix
