// The offset family and the incidence witness system of a family.
#include "decompose/family_monodromy_systems.h"

#include <map>
#include <string>
#include <utility>

#include "model/parametric_eval.h"
#include "zormix/error.h"
#include "zormix/poly_system.h"

namespace zormix {
namespace {

// One polynomial in the unknowns with coefficients polynomial in the parameters, gathered term by
// term: exponents of the unknowns -> (exponents of the parameters -> value).
using Coefficient = std::map<std::vector<std::int32_t>, Complex>;
using Equation = std::map<std::vector<std::int32_t>, Coefficient>;

std::string Padded(const std::string& name) {
  std::string padded = name.substr(0, static_cast<std::size_t>(kVariableNameLength));
  padded.resize(static_cast<std::size_t>(kVariableNameLength), ' ');
  return padded;
}

// The family's equations as maps.
std::vector<Equation> EquationsOf(const ParametricSystem& family) {
  std::vector<Equation> equations(static_cast<std::size_t>(family.n));
  std::int64_t p = 0;
  for (int i = 0; i < family.n; ++i) {
    for (std::int32_t t = 0; t < family.termCount[i]; ++t, ++p) {
      std::vector<std::int32_t> exponents(family.exponents.col(p),
                                          family.exponents.col(p) + family.n);
      Coefficient& c = equations[static_cast<std::size_t>(i)][exponents];
      for (std::int64_t k = family.coefficientStart[p]; k < family.coefficientStart[p + 1]; ++k) {
        std::vector<std::int32_t> powers(
            family.parameterExponents.col(k),
            family.parameterExponents.col(k) + family.parameterCount());
        c[powers] += family.coefficientValues[k];
      }
    }
  }
  return equations;
}

ParametricSystem Assemble(const std::vector<Equation>& equations, int n,
                          std::vector<std::string> variableNames,
                          std::vector<std::string> parameterNames) {
  ParametricSystem family;
  family.n = n;
  for (std::string& name : variableNames) name = Padded(name);
  family.variableNames = std::move(variableNames);
  family.parameterNames = std::move(parameterNames);
  const int P = family.parameterCount();
  std::vector<std::vector<std::int32_t>> exponents;
  std::vector<std::vector<std::int32_t>> powers;
  family.coefficientStart.push_back(0);
  for (const Equation& equation : equations) {
    std::int32_t terms = 0;
    for (const auto& [x, coefficient] : equation) {
      bool any = false;
      for (const auto& [q, value] : coefficient) {
        if (value == Complex(0.0, 0.0)) continue;
        powers.push_back(q);
        family.coefficientValues.push_back(value);
        any = true;
      }
      if (!any) continue;
      exponents.push_back(x);
      family.coefficientStart.push_back(static_cast<std::int64_t>(powers.size()));
      ++terms;
    }
    family.termCount.push_back(terms);
  }
  family.exponents.Assign(n, static_cast<std::int64_t>(exponents.size()));
  for (std::size_t c = 0; c < exponents.size(); ++c)
    std::copy(exponents[c].begin(), exponents[c].end(),
              family.exponents.col(static_cast<std::int64_t>(c)));
  family.parameterExponents.Assign(P, static_cast<std::int64_t>(powers.size()));
  for (std::size_t c = 0; c < powers.size(); ++c)
    std::copy(powers[c].begin(), powers[c].end(),
              family.parameterExponents.col(static_cast<std::int64_t>(c)));
  CheckFamilyShape(family, "an auxiliary family of monodromy");
  return family;
}

std::vector<std::string> Trimmed(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (std::string name : names) {
    while (!name.empty() && name.back() == ' ') name.pop_back();
    out.push_back(name);
  }
  return out;
}

std::vector<std::int32_t> Unit(int size, int at) {
  std::vector<std::int32_t> e(static_cast<std::size_t>(size), 0);
  if (at >= 0) e[static_cast<std::size_t>(at)] = 1;
  return e;
}

}  // namespace

ParametricSystem OffsetFamily(const ParametricSystem& family) {
  const int P = family.parameterCount();
  std::vector<Equation> equations = EquationsOf(family);
  std::vector<std::string> parameters = family.parameterNames;
  for (int i = 0; i < family.n; ++i) parameters.push_back("offset " + std::to_string(i + 1));
  std::vector<Equation> widened;
  for (int i = 0; i < family.n; ++i) {
    Equation equation;
    for (const auto& [x, coefficient] : equations[static_cast<std::size_t>(i)]) {
      Coefficient& c = equation[x];
      for (const auto& [q, value] : coefficient) {
        std::vector<std::int32_t> widenedPowers = q;
        widenedPowers.resize(static_cast<std::size_t>(P + family.n), 0);
        c[widenedPowers] += value;
      }
    }
    equation[std::vector<std::int32_t>(static_cast<std::size_t>(family.n), 0)]
            [Unit(P + family.n, P + i)] -= 1.0;
    widened.push_back(std::move(equation));
  }
  return Assemble(widened, family.n, Trimmed(family.variableNames), parameters);
}

std::vector<int> LinearParameters(const ParametricSystem& family) {
  std::vector<int> kept;
  const std::int64_t K = family.parameterExponents.cols();
  std::vector<std::int32_t> degree(static_cast<std::size_t>(K), 0);  // in the kept parameters
  for (int l = 0; l < family.parameterCount(); ++l) {
    bool linear = true;
    for (std::int64_t k = 0; k < K && linear; ++k)
      linear = degree[static_cast<std::size_t>(k)] + family.parameterExponents(l, k) <= 1;
    if (!linear) continue;
    kept.push_back(l);
    for (std::int64_t k = 0; k < K; ++k)
      degree[static_cast<std::size_t>(k)] += family.parameterExponents(l, k);
  }
  // A parameter that appears nowhere is of no use to the incidence variety.
  std::vector<int> used;
  for (const int l : kept) {
    for (std::int64_t k = 0; k < K; ++k) {
      if (family.parameterExponents(l, k) > 0) {
        used.push_back(l);
        break;
      }
    }
  }
  return used;
}

IncidenceFamily MakeIncidenceFamily(const ParametricSystem& family, const std::vector<int>& linear,
                                    std::span<const Complex> p0) {
  const int n = family.n;
  const int s = static_cast<int>(linear.size());
  const int N = n + s;
  std::vector<int> position(static_cast<std::size_t>(family.parameterCount()), -1);
  for (int m = 0; m < s; ++m) position[static_cast<std::size_t>(linear[m])] = m;
  const int slices = s * (N + 1);  // A (s x n), B (s x s), c (s)
  std::vector<Equation> equations(static_cast<std::size_t>(N));
  const std::vector<Equation> given = EquationsOf(family);
  const std::vector<std::int32_t> none(static_cast<std::size_t>(slices), 0);
  for (int i = 0; i < n; ++i) {
    for (const auto& [x, coefficient] : given[static_cast<std::size_t>(i)]) {
      for (const auto& [q, value] : coefficient) {
        // Split the monomial: the linear parameter it holds (at most one) becomes an unknown, the
        // others take their values at p0.
        Complex factor = value;
        std::vector<std::int32_t> exponents = x;
        exponents.resize(static_cast<std::size_t>(N), 0);
        for (int l = 0; l < family.parameterCount(); ++l) {
          const std::int32_t e = q[static_cast<std::size_t>(l)];
          if (e == 0) continue;
          if (position[static_cast<std::size_t>(l)] >= 0)
            exponents[static_cast<std::size_t>(n + position[static_cast<std::size_t>(l)])] += e;
          else
            factor *= std::pow(p0[static_cast<std::size_t>(l)], e);
        }
        equations[static_cast<std::size_t>(i)][exponents][none] += factor;
      }
    }
  }
  for (int l = 0; l < s; ++l) {
    Equation& slice = equations[static_cast<std::size_t>(n + l)];
    for (int j = 0; j < N; ++j) slice[Unit(N, j)][Unit(slices, l * N + j)] += 1.0;
    slice[Unit(N, -1)][Unit(slices, s * N + l)] += 1.0;
  }
  std::vector<std::string> names = Trimmed(family.variableNames);
  for (const int l : linear) names.push_back(family.parameterNames[static_cast<std::size_t>(l)]);
  std::vector<std::string> sliceNames;
  for (int k = 0; k < slices; ++k) sliceNames.push_back("slice " + std::to_string(k + 1));
  IncidenceFamily incidence;
  incidence.witness = Assemble(equations, N, names, sliceNames);
  incidence.linear = linear;
  incidence.n = n;
  return incidence;
}

int IncidenceFamily::ConstantsBegin() const {
  const int s = static_cast<int>(linear.size());
  return s * (n + s);
}

std::vector<Complex> IncidenceFamily::FibreSlice(std::span<const Complex> p0) const {
  const int s = static_cast<int>(linear.size());
  const int N = n + s;
  std::vector<Complex> slice(static_cast<std::size_t>(s * (N + 1)), 0.0);
  // Slice l: q_l - p0_l = 0, i.e. B = I (the q columns of row l) and c_l = -p0_l.
  for (int l = 0; l < s; ++l) {
    slice[static_cast<std::size_t>(l * N + n + l)] = 1.0;
    slice[static_cast<std::size_t>(s * N + l)] = -p0[static_cast<std::size_t>(linear[l])];
  }
  return slice;
}

std::vector<Complex> IncidenceFamily::Lift(std::span<const Complex> x,
                                           std::span<const Complex> p0) const {
  std::vector<Complex> point(x.begin(), x.end());
  for (const int l : linear) point.push_back(p0[static_cast<std::size_t>(l)]);
  return point;
}

}  // namespace zormix
