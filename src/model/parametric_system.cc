// Members of a family of systems: coefficients as polynomials in the parameters.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "model/check_system.h"
#include "model/parametric_eval.h"
#include "zormix/error.h"

namespace zormix {
namespace {

// A value and its derivative along one direction (forward-mode differentiation).
struct Dual {
  Complex value;
  Complex slope;
};

Dual Times(const Dual& a, const Dual& b) {
  return {a.value * b.value, a.value * b.slope + a.slope * b.value};
}

// (p + e d)^k = p^k + e k p^(k-1) d + O(e^2).
Dual Power(Complex p, Complex d, std::int32_t k) {
  if (k == 0) return {Complex(1.0, 0.0), Complex(0.0, 0.0)};
  Complex below(1.0, 0.0);  // p^(k-1)
  for (std::int32_t j = 1; j < k; ++j) below *= p;
  return {below * p, static_cast<double>(k) * below * d};
}

Dual CoefficientAt(const ParametricSystem& family, std::int64_t term,
                   std::span<const Complex> parameters, std::span<const Complex> direction) {
  const int P = family.parameterCount();
  Dual sum{Complex(0.0, 0.0), Complex(0.0, 0.0)};
  for (std::int64_t k = family.coefficientStart[term]; k < family.coefficientStart[term + 1]; ++k) {
    Dual product{family.coefficientValues[k], Complex(0.0, 0.0)};
    for (int l = 0; l < P; ++l) {
      const std::int32_t e = family.parameterExponents(l, k);
      if (e == 0) continue;
      product = Times(product, Power(parameters[l], direction.empty() ? 0.0 : direction[l], e));
    }
    sum.value += product.value;
    sum.slope += product.slope;
  }
  return sum;
}

void CheckValues(const ParametricSystem& family, std::span<const Complex> parameters) {
  if (static_cast<int>(parameters.size()) != family.parameterCount()) {
    throw Error("expected " + std::to_string(family.parameterCount()) +
                " parameter values, found " + std::to_string(parameters.size()));
  }
  for (std::size_t l = 0; l < parameters.size(); ++l) {
    if (!std::isfinite(parameters[l].real()) || !std::isfinite(parameters[l].imag()))
      throw Error("the value of parameter '" + family.parameterNames[l] + "' is not finite");
  }
}

}  // namespace

void EvaluateCoefficients(const ParametricSystem& family, std::span<const Complex> parameters,
                          Complex* coefficients) {
  for (std::int64_t p = 0; p < family.termTotal(); ++p)
    coefficients[p] = CoefficientAt(family, p, parameters, {}).value;
}

void EvaluateCoefficients(const ParametricSystem& family, std::span<const Complex> parameters,
                          std::span<const Complex> direction, Complex* coefficients,
                          Complex* derivatives) {
  for (std::int64_t p = 0; p < family.termTotal(); ++p) {
    const Dual c = CoefficientAt(family, p, parameters, direction);
    coefficients[p] = c.value;
    derivatives[p] = c.slope;
  }
}

PolySystem EvaluateAllTerms(const ParametricSystem& family, std::span<const Complex> parameters) {
  CheckValues(family, parameters);
  PolySystem system;
  system.n = family.n;
  system.termCount = family.termCount;
  system.exponents = family.exponents;
  system.variableNames = family.variableNames;
  system.coefficients.resize(static_cast<std::size_t>(family.termTotal()));
  EvaluateCoefficients(family, parameters, system.coefficients.data());
  return system;
}

PolySystem EvaluateParametric(const ParametricSystem& family, std::span<const Complex> parameters) {
  const PolySystem all = EvaluateAllTerms(family, parameters);
  ValidateSystem(all, "the system at these parameter values");
  PolySystem system;
  system.n = all.n;
  system.variableNames = all.variableNames;
  std::vector<std::int64_t> kept;
  std::int64_t p = 0;
  for (int i = 0; i < all.n; ++i) {
    std::int32_t count = 0;
    for (std::int32_t k = 0; k < all.termCount[i]; ++k, ++p) {
      if (all.coefficients[p] == Complex(0.0, 0.0)) continue;
      kept.push_back(p);
      ++count;
    }
    system.termCount.push_back(count);
  }
  system.exponents.Assign(all.n, static_cast<std::int64_t>(kept.size()));
  for (std::size_t c = 0; c < kept.size(); ++c) {
    std::copy_n(all.exponents.col(kept[c]), all.n, system.exponents.col(c));
    system.coefficients.push_back(all.coefficients[kept[c]]);
  }
  return system;
}

void CheckFamilyShape(const ParametricSystem& family, const std::string& where) {
  const std::int64_t m = family.termTotal();
  const std::int64_t K = static_cast<std::int64_t>(family.coefficientValues.size());
  const bool fits = family.coefficientStart.size() == static_cast<std::size_t>(m + 1) &&
                    family.coefficientStart.front() == 0 && family.coefficientStart.back() == K &&
                    family.parameterExponents.rows() == family.parameterCount() &&
                    family.parameterExponents.cols() == K;
  if (!fits) throw Error(where + ": the coefficient arrays of the family do not fit together");
  for (std::int64_t p = 0; p < m; ++p) {
    if (family.coefficientStart[p + 1] <= family.coefficientStart[p])
      throw Error(where + ": term " + std::to_string(p + 1) + " has no coefficient");
  }
  for (std::int32_t e : family.parameterExponents.storage()) {
    if (e < 0) throw Error(where + ": negative exponent of a parameter");
  }
  // The support alone: every coefficient 1.
  PolySystem shape;
  shape.n = family.n;
  shape.termCount = family.termCount;
  shape.exponents = family.exponents;
  shape.variableNames = family.variableNames;
  shape.coefficients.assign(static_cast<std::size_t>(m), Complex(1.0, 0.0));
  ValidateSystem(shape, where);
}

}  // namespace zormix
