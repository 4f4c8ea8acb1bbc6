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

Complex CoefficientAt(const ParametricSystem& family, std::int64_t term,
                      std::span<const Complex> parameters) {
  Complex sum(0.0, 0.0);
  for (std::int64_t k = family.coefficientStart[term]; k < family.coefficientStart[term + 1]; ++k) {
    Complex product = family.coefficientValues[k];
    for (int l = 0; l < family.parameterCount(); ++l) {
      for (std::int32_t e = 0; e < family.parameterExponents(l, k); ++e) product *= parameters[l];
    }
    sum += product;
  }
  return sum;
}

void CheckValues(const ParametricSystem& family, std::span<const Complex> parameters) {
  if (static_cast<int>(parameters.size()) != family.parameterCount()) {
    throw Error(ErrorCode::kInvalidInput, "expected " + std::to_string(family.parameterCount()) +
                                              " parameter values, found " +
                                              std::to_string(parameters.size()));
  }
  for (std::size_t l = 0; l < parameters.size(); ++l) {
    if (!std::isfinite(parameters[l].real()) || !std::isfinite(parameters[l].imag()))
      throw Error(ErrorCode::kInvalidInput,
                  "the value of parameter '" + family.parameterNames[l] + "' is not finite");
  }
}

}  // namespace

void EvaluateCoefficients(const ParametricSystem& family, std::span<const Complex> parameters,
                          Complex* coefficients) {
  for (std::int64_t p = 0; p < family.termTotal(); ++p)
    coefficients[p] = CoefficientAt(family, p, parameters);
}

CoefficientsOnLine RestrictToLine(const ParametricSystem& family, std::span<const Complex> start,
                                  std::span<const Complex> direction) {
  CoefficientsOnLine line;
  line.first.push_back(0);
  std::vector<Complex> term, product;
  for (std::int64_t p = 0; p < family.termTotal(); ++p) {
    term.assign(1, Complex(0.0, 0.0));
    for (std::int64_t k = family.coefficientStart[p]; k < family.coefficientStart[p + 1]; ++k) {
      // prod_l (start_l + tau direction_l)^e_l, one linear factor at a time.
      product.assign(1, family.coefficientValues[k]);
      for (int l = 0; l < family.parameterCount(); ++l) {
        for (std::int32_t e = 0; e < family.parameterExponents(l, k); ++e) {
          product.push_back(Complex(0.0, 0.0));
          for (std::size_t i = product.size() - 1; i > 0; --i)
            product[i] = product[i] * start[l] + product[i - 1] * direction[l];
          product[0] *= start[l];
        }
      }
      if (product.size() > term.size()) term.resize(product.size(), Complex(0.0, 0.0));
      for (std::size_t i = 0; i < product.size(); ++i) term[i] += product[i];
    }
    line.values.insert(line.values.end(), term.begin(), term.end());
    line.first.push_back(static_cast<std::int64_t>(line.values.size()));
  }
  return line;
}

void CoefficientsOnLine::Evaluate(Complex tau, Complex* coefficients, Complex* derivatives) const {
  for (std::size_t p = 0; p + 1 < first.size(); ++p) {
    Complex value = values[first[p + 1] - 1], slope(0.0, 0.0);
    for (std::int64_t i = first[p + 1] - 2; i >= first[p]; --i) {
      slope = slope * tau + value;
      value = value * tau + values[i];
    }
    coefficients[p] = value;
    derivatives[p] = slope;
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
  if (!fits)
    throw Error(ErrorCode::kInvalidInput,
                where + ": the coefficient arrays of the family do not fit together");
  for (std::int64_t p = 0; p < m; ++p) {
    if (family.coefficientStart[p + 1] <= family.coefficientStart[p])
      throw Error(ErrorCode::kInvalidInput,
                  where + ": term " + std::to_string(p + 1) + " has no coefficient");
  }
  for (std::int32_t e : family.parameterExponents.storage()) {
    if (e < 0) throw Error(ErrorCode::kInvalidInput, where + ": negative exponent of a parameter");
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
