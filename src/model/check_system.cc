// Validation of a system handed to the solve, so that no later stage meets sizes or values it
// cannot survive, nor a system whose solutions are not isolated.
#include "model/check_system.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/text.h"
#include "model/limits.h"
#include "zormix/error.h"

namespace zormix {
namespace {

[[noreturn]] void Fail(const std::string& where, const std::string& message) {
  throw Error(ErrorCode::kInvalidInput, where + ": " + message);
}

std::string Term(std::int64_t p) { return "term " + std::to_string(p + 1); }
std::string Equation(int i) { return "equation " + std::to_string(i + 1); }

std::string Variable(const PolySystem& system, int k) {
  std::string text = "variable " + std::to_string(k + 1);
  if (static_cast<int>(system.variableNames.size()) > k) {
    text += " ('" + TrimTrailingBlanks(system.variableNames[k]) + "')";
  }
  return text;
}

void CheckSizes(const PolySystem& system, const std::string& where) {
  const int n = system.n;
  if (n < 1)
    Fail(where, "the number of variables n must be at least 1, found " + std::to_string(n));
  if (n > kMaxVariables) CheckSystemSize(n, 0, where);
  if (system.termCount.size() != static_cast<std::size_t>(n)) {
    Fail(where, "expected " + std::to_string(n) + " term counts (one per equation), found " +
                    std::to_string(system.termCount.size()));
  }
  std::int64_t m = 0;
  for (int i = 0; i < n; ++i) {
    if (system.termCount[i] < 1) {
      Fail(where, Equation(i) + " must have at least 1 term, found " +
                      std::to_string(system.termCount[i]));
    }
    m += system.termCount[i];
  }
  CheckSystemSize(n, m, where);
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

void CheckValues(const PolySystem& system, const std::string& where) {
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

// An equation that is identically zero, or a variable that no term holds, leaves the solution set
// of the other equations free in some direction: it is empty or not made of isolated points.
void CheckIsolated(const PolySystem& system, const std::string& where) {
  const std::string why = ", so the solutions are not isolated";
  std::vector<char> used(static_cast<std::size_t>(system.n), 0);
  std::int64_t p = 0;
  for (int i = 0; i < system.n; ++i) {
    bool nonzero = false;
    for (std::int32_t t = 0; t < system.termCount[i]; ++t, ++p) {
      if (system.coefficients[p] == Complex(0.0, 0.0)) continue;
      nonzero = true;
      for (int k = 0; k < system.n; ++k) used[k] |= system.exponents(k, p) != 0;
    }
    if (!nonzero)
      Fail(where, Equation(i) + " is identically zero (all its coefficients are 0)" + why);
  }
  for (int k = 0; k < system.n; ++k) {
    if (!used[k]) Fail(where, Variable(system, k) + " appears in no equation" + why);
  }
}

// Names are written one per line, quoted when needed; a control character would not read back.
void CheckNames(const PolySystem& system, const std::string& where) {
  for (int k = 0; k < system.n; ++k) {
    for (char c : system.variableNames[k]) {
      const auto u = static_cast<unsigned char>(c);
      if (u < 32 || u == 127) {
        Fail(where, "the name of variable " + std::to_string(k + 1) +
                        " holds the control character " + std::to_string(u) +
                        "; names must be printable");
      }
    }
  }
}

// Two variables of one name would be one unknown to a reader of the roots, and of the system
// written back as text: the second occurrence is named with the first. Names compare without
// their trailing blanks, as every writer prints them.
void CheckDistinctNames(const PolySystem& system, const std::string& where) {
  std::unordered_map<std::string, int> first;
  for (int k = 0; k < system.n; ++k) {
    const std::string name = TrimTrailingBlanks(system.variableNames[k]);
    if (name.empty()) continue;
    const auto [at, added] = first.emplace(name, k);
    if (!added)
      Fail(where, "variables " + std::to_string(at->second + 1) + " and " + std::to_string(k + 1) +
                      " are both named '" + name + "'; names must differ");
  }
}

}  // namespace

void CheckSystemSize(std::int64_t n, std::int64_t m, const std::string& where) {
  if (n > kMaxVariables) {
    Fail(where, "n = " + std::to_string(n) + " variables exceeds the limit of " +
                    std::to_string(kMaxVariables));
  }
  if (m > kMaxTerms || m * n > kMaxExponentEntries) {
    Fail(where, std::to_string(m) + " terms in " + std::to_string(n) +
                    " variables are more than the solver can hold (" + std::to_string(kMaxTerms) +
                    " terms, " + std::to_string(kMaxExponentEntries) + " exponents)");
  }
}

void ValidateSystem(const PolySystem& system, const std::string& where) {
  CheckSizes(system, where);
  CheckValues(system, where);
  CheckNames(system, where);
  CheckDistinctNames(system, where);
  CheckIsolated(system, where);
}

}  // namespace zormix
