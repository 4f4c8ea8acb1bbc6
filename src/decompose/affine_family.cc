#include "decompose/affine_family.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "zormix/error.h"

namespace zormix {
namespace {

const Complex kZero(0.0, 0.0);

// z^a and its partial derivatives, by repeated products (exponents are small).
Complex Monomial(const Exponents& a, std::span<const Complex> z) {
  Complex value(1.0, 0.0);
  for (std::size_t k = 0; k < a.size(); ++k)
    for (std::int32_t e = 0; e < a[k]; ++e) value *= z[k];
  return value;
}

Complex MonomialDerivative(const Exponents& a, std::span<const Complex> z, std::size_t variable) {
  if (a[variable] == 0) return kZero;
  Complex value(static_cast<double>(a[variable]), 0.0);
  for (std::size_t k = 0; k < a.size(); ++k) {
    const std::int32_t e = k == variable ? a[k] - 1 : a[k];
    for (std::int32_t p = 0; p < e; ++p) value *= z[k];
  }
  return value;
}

}  // namespace

AffineFamily::AffineFamily(int unknowns, int parameters, int rows)
    : unknowns_(unknowns), parameters_(parameters), rows_(static_cast<std::size_t>(rows)) {}

int AffineFamily::AddRow() {
  rows_.emplace_back();
  return rows() - 1;
}

AffineFamily::Coefficient& AffineFamily::At(int row, const Exponents& a) {
  if (static_cast<int>(a.size()) != unknowns_)
    throw Error(ErrorCode::kInternal, "affine family: a term of the wrong length");
  auto [it, fresh] = rows_[static_cast<std::size_t>(row)].try_emplace(a);
  if (fresh) it->second.slopes.assign(static_cast<std::size_t>(parameters_), kZero);
  return it->second;
}

void AffineFamily::Add(int row, const Exponents& a, Complex value) { At(row, a).value += value; }

void AffineFamily::AddSlope(int row, const Exponents& a, int parameter, Complex slope) {
  At(row, a).slopes[static_cast<std::size_t>(parameter)] += slope;
}

void AffineFamily::AddAffine(int row, std::span<const Complex> slice, Complex constant,
                             Complex weight, int parameter) {
  Exponents a(static_cast<std::size_t>(unknowns_), 0);
  for (std::size_t l = 0; l < slice.size(); ++l) {
    a[l] = 1;
    Add(row, a, weight * slice[l]);
    a[l] = 0;
  }
  if (parameter >= 0) {
    AddSlope(row, a, parameter, weight);
  } else {
    Add(row, a, weight * constant);
  }
}

void AffineFamily::AddScaledAffine(int row, std::span<const Complex> slice, Complex constant,
                                   Complex weight, int parameter) {
  Exponents a(static_cast<std::size_t>(unknowns_), 0);
  for (std::size_t l = 0; l < slice.size(); ++l) {
    a[l] = 1;
    AddSlope(row, a, parameter, weight * slice[l]);
    a[l] = 0;
  }
  AddSlope(row, a, parameter, weight * constant);
}

void AffineFamily::AddPolynomial(int row, const PolySystem& system, int equation, Complex weight) {
  std::int64_t p = 0;
  for (int i = 0; i < equation; ++i) p += system.termCount[i];
  Exponents a(static_cast<std::size_t>(unknowns_), 0);
  for (std::int32_t t = 0; t < system.termCount[equation]; ++t, ++p) {
    std::copy_n(system.exponents.col(p), system.n, a.begin());
    Add(row, a, weight * system.coefficients[p]);
  }
}

void AffineFamily::AddRowOf(int row, int source, Complex weight) {
  if (row == source) throw Error(ErrorCode::kInternal, "affine family: a row added to itself");
  for (const auto& [a, c] : rows_[static_cast<std::size_t>(source)]) {
    Coefficient& target = At(row, a);
    target.value += weight * c.value;
    for (int l = 0; l < parameters_; ++l) target.slopes[l] += weight * c.slopes[l];
  }
}

void AffineFamily::AddDerivativeTimes(int row, int source, int variable, int factor,
                                      Complex weight) {
  if (row == source) throw Error(ErrorCode::kInternal, "affine family: a row added to itself");
  for (const auto& [a, c] : rows_[static_cast<std::size_t>(source)]) {
    const std::int32_t e = a[static_cast<std::size_t>(variable)];
    if (e == 0) continue;
    Exponents b = a;
    --b[static_cast<std::size_t>(variable)];
    if (factor >= 0) ++b[static_cast<std::size_t>(factor)];
    Coefficient& target = At(row, b);
    const Complex scale = weight * static_cast<double>(e);
    target.value += scale * c.value;
    for (int l = 0; l < parameters_; ++l) target.slopes[l] += scale * c.slopes[l];
  }
}

AffineFamily AffineFamily::Widened(int unknowns) const {
  if (unknowns < unknowns_) throw Error(ErrorCode::kInternal, "affine family: fewer unknowns");
  AffineFamily wide(unknowns, parameters_, rows());
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    for (const auto& [a, c] : rows_[i]) {
      Exponents b = a;
      b.resize(static_cast<std::size_t>(unknowns), 0);
      wide.rows_[i].emplace(std::move(b), c);
    }
  }
  return wide;
}

AffineFamily AffineFamily::Selected(std::span<const int> which) const {
  AffineFamily selected(unknowns_, parameters_, 0);
  for (const int row : which) selected.rows_.push_back(rows_[static_cast<std::size_t>(row)]);
  return selected;
}

bool AffineFamily::MovesWithParameters(int row) const {
  for (const auto& [a, c] : rows_[static_cast<std::size_t>(row)])
    for (const Complex& s : c.slopes)
      if (s != kZero) return true;
  return false;
}

void AffineFamily::Evaluate(std::span<const Complex> z, std::span<const Complex> c,
                            std::vector<Complex>& F, ColMajorMatrix<Complex>& J) const {
  F.assign(rows_.size(), kZero);
  J.Assign(rows(), unknowns_);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    for (const auto& [a, coefficient] : rows_[i]) {
      Complex value = coefficient.value;
      for (int l = 0; l < parameters_; ++l) value += coefficient.slopes[l] * c[l];
      if (value == kZero) continue;
      F[i] += value * Monomial(a, z);
      for (int k = 0; k < unknowns_; ++k) {
        if (a[static_cast<std::size_t>(k)] == 0) continue;
        J(static_cast<std::int64_t>(i), k) +=
            value * MonomialDerivative(a, z, static_cast<std::size_t>(k));
      }
    }
  }
}

double AffineFamily::RelativeResidual(std::span<const Complex> z, std::span<const Complex> c,
                                      std::span<const double> sizes) const {
  std::vector<Complex> size(z.size());
  for (std::size_t k = 0; k < z.size(); ++k) size[k] = std::max(std::abs(z[k]), sizes[k]);
  double worst = 0.0;
  for (const auto& row : rows_) {
    Complex value(0.0, 0.0);
    double scale = 0.0;
    for (const auto& [a, coefficient] : row) {
      Complex weight = coefficient.value;
      for (int l = 0; l < parameters_; ++l) weight += coefficient.slopes[l] * c[l];
      value += weight * Monomial(a, z);
      scale += std::abs(weight) * std::abs(Monomial(a, size));
    }
    if (scale > 0.0) worst = std::max(worst, std::abs(value) / scale);
  }
  return worst;
}

ParametricSystem AffineFamily::Build(const std::vector<std::string>& variableNames,
                                     std::vector<std::string> parameterNames) const {
  if (rows() != unknowns_) throw Error(ErrorCode::kInternal, "affine family: not square");
  ParametricSystem family;
  family.n = unknowns_;
  for (const std::string& name : variableNames)
    family.variableNames.push_back(PadVariableName(name));
  family.parameterNames = std::move(parameterNames);
  std::vector<const Exponents*> terms;
  std::vector<int> coefficientParameter;  // -1: the constant value, else the parameter
  family.coefficientStart.push_back(0);
  for (const auto& row : rows_) {
    std::int32_t count = 0;
    for (const auto& [a, c] : row) {
      const std::size_t before = family.coefficientValues.size();
      if (c.value != kZero) {
        family.coefficientValues.push_back(c.value);
        coefficientParameter.push_back(-1);
      }
      for (int l = 0; l < parameters_; ++l) {
        if (c.slopes[l] == kZero) continue;
        family.coefficientValues.push_back(c.slopes[l]);
        coefficientParameter.push_back(l);
      }
      if (family.coefficientValues.size() == before) continue;
      terms.push_back(&a);
      family.coefficientStart.push_back(static_cast<std::int64_t>(family.coefficientValues.size()));
      ++count;
    }
    family.termCount.push_back(count);
  }
  family.exponents.Assign(unknowns_, static_cast<std::int64_t>(terms.size()));
  for (std::size_t p = 0; p < terms.size(); ++p)
    std::copy(terms[p]->begin(), terms[p]->end(), family.exponents.col(p));
  family.parameterExponents.Assign(parameters_,
                                   static_cast<std::int64_t>(coefficientParameter.size()));
  for (std::size_t k = 0; k < coefficientParameter.size(); ++k)
    if (coefficientParameter[k] >= 0) family.parameterExponents(coefficientParameter[k], k) = 1;
  return family;
}

PolySystem AffineFamily::ValuesAsSystem(const std::vector<std::string>& variableNames) const {
  return AtParameters({}, variableNames);
}

PolySystem AffineFamily::AtParameters(std::span<const Complex> c,
                                      const std::vector<std::string>& variableNames) const {
  PolySystem system;
  system.n = unknowns_;
  for (const std::string& name : variableNames)
    system.variableNames.push_back(PadVariableName(name));
  std::vector<const Exponents*> terms;
  for (const auto& row : rows_) {
    std::int32_t count = 0;
    for (const auto& [a, coefficient] : row) {
      Complex value = coefficient.value;
      for (std::size_t l = 0; l < c.size(); ++l) value += coefficient.slopes[l] * c[l];
      if (value == kZero) continue;
      terms.push_back(&a);
      system.coefficients.push_back(value);
      ++count;
    }
    system.termCount.push_back(count);
  }
  system.exponents.Assign(unknowns_, static_cast<std::int64_t>(terms.size()));
  for (std::size_t p = 0; p < terms.size(); ++p)
    std::copy(terms[p]->begin(), terms[p]->end(), system.exponents.col(p));
  return system;
}

}  // namespace zormix
