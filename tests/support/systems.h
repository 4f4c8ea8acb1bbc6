// Classic benchmark systems, built as the reader would leave them (before the normal form).
#ifndef ZORMIX_TESTS_SUPPORT_SYSTEMS_H_
#define ZORMIX_TESTS_SUPPORT_SYSTEMS_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "zormix/poly_system.h"

namespace zormix::testing {

// One term: exponent vector and coefficient.
struct Term {
  std::vector<std::int32_t> exponents;
  Complex coefficient;
};
using Equation = std::vector<Term>;

// Adds c * x^e to an equation, merging with an equal monomial (first appearance keeps its place).
inline void AddTerm(Equation& eq, const std::vector<std::int32_t>& e, Complex c) {
  for (Term& t : eq) {
    if (t.exponents == e) {
      t.coefficient += c;
      return;
    }
  }
  eq.push_back({e, c});
}

// "x1", "u0", ...; built through a buffer (GCC 12 warns falsely on string concatenation here).
inline std::string IndexedName(char letter, int index) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%c%d", letter, index);
  return buffer;
}

inline PolySystem BuildSystem(const std::vector<Equation>& equations,
                              std::vector<std::string> names = {}) {
  PolySystem s;
  s.n = static_cast<int>(equations.size());
  std::int64_t m = 0;
  for (const Equation& eq : equations) m += static_cast<std::int64_t>(eq.size());
  s.exponents.Assign(s.n, m);
  std::int64_t p = 0;
  for (const Equation& eq : equations) {
    s.termCount.push_back(static_cast<std::int32_t>(eq.size()));
    for (const Term& t : eq) {
      for (int k = 0; k < s.n; ++k) s.exponents(k, p) = t.exponents[k];
      s.coefficients.push_back(t.coefficient);
      ++p;
    }
  }
  if (names.empty()) {
    for (int k = 0; k < s.n; ++k) names.push_back(IndexedName('x', k + 1));
  }
  for (const std::string& name : names) s.variableNames.push_back(PadVariableName(name));
  return s;
}

inline std::vector<std::int32_t> Unit(int n, int k, int power = 1) {
  std::vector<std::int32_t> e(n, 0);
  e[k] = power;
  return e;
}

// x^2 + y^2 - 1 = 0, x - y = 0: roots +-(1/sqrt 2)(1, 1).
inline PolySystem CircleAndLine() {
  Equation circle = {{{2, 0}, 1.0}, {{0, 2}, 1.0}, {{0, 0}, -1.0}};
  Equation line = {{{1, 0}, 1.0}, {{0, 1}, -1.0}};
  return BuildSystem({circle, line}, {"x", "y"});
}

// For k = 1..n-1: sum_i prod_{j<k} x_{(i+j) mod n} = 0; and x_1 ... x_n - 1 = 0.
inline PolySystem Cyclic(int n) {
  std::vector<Equation> eqs;
  for (int k = 1; k < n; ++k) {
    Equation eq;
    for (int i = 0; i < n; ++i) {
      std::vector<std::int32_t> e(n, 0);
      for (int j = 0; j < k; ++j) e[(i + j) % n] += 1;
      AddTerm(eq, e, 1.0);
    }
    eqs.push_back(eq);
  }
  Equation last;
  AddTerm(last, std::vector<std::int32_t>(n, 1), 1.0);
  AddTerm(last, std::vector<std::int32_t>(n, 0), -1.0);
  eqs.push_back(last);
  return BuildSystem(eqs);
}

// Unknowns u_0..u_n (n+1 of them), u_{-m} = u_m, u_m = 0 for m > n.
// For m = 0..n-1: sum_{l=-n}^{n} u_l u_{m-l} - u_m = 0; and sum_{l=-n}^{n} u_l - 1 = 0.
inline PolySystem Katsura(int n) {
  const int vars = n + 1;
  auto index = [n](int l) { return l < 0 ? -l : l; };
  std::vector<Equation> eqs;
  for (int m = 0; m < n; ++m) {
    Equation eq;
    for (int l = -n; l <= n; ++l) {
      const int a = index(l), b = index(m - l);
      if (a > n || b > n) continue;
      std::vector<std::int32_t> e(vars, 0);
      e[a] += 1;
      e[b] += 1;
      AddTerm(eq, e, 1.0);
    }
    AddTerm(eq, Unit(vars, m), -1.0);
    eqs.push_back(eq);
  }
  Equation last;
  for (int l = -n; l <= n; ++l) AddTerm(last, Unit(vars, index(l)), 1.0);
  AddTerm(last, std::vector<std::int32_t>(vars, 0), -1.0);
  eqs.push_back(last);
  std::vector<std::string> names;
  for (int k = 0; k < vars; ++k) names.push_back(IndexedName('u', k));
  return BuildSystem(eqs, names);
}

// x_i * sum_{j != i} x_j^2 - 1.1 x_i + 1 = 0.
inline PolySystem Noon(int n) {
  std::vector<Equation> eqs;
  for (int i = 0; i < n; ++i) {
    Equation eq;
    for (int j = 0; j < n; ++j) {
      if (j == i) continue;
      std::vector<std::int32_t> e(n, 0);
      e[i] += 1;
      e[j] += 2;
      AddTerm(eq, e, 1.0);
    }
    AddTerm(eq, Unit(n, i), -1.1);
    AddTerm(eq, std::vector<std::int32_t>(n, 0), 1.0);
    eqs.push_back(eq);
  }
  return BuildSystem(eqs);
}

// For k = 1..n-1: (x_k + sum_{i=1}^{n-k-1} x_i x_{i+k}) x_n - k = 0; and sum_{i<n} x_i + 1 = 0.
inline PolySystem Eco(int n) {
  std::vector<Equation> eqs;
  for (int k = 1; k < n; ++k) {
    Equation eq;
    std::vector<std::int32_t> e = Unit(n, k - 1);
    e[n - 1] += 1;
    AddTerm(eq, e, 1.0);
    for (int i = 1; i <= n - k - 1; ++i) {
      std::vector<std::int32_t> f(n, 0);
      f[i - 1] += 1;
      f[i + k - 1] += 1;
      f[n - 1] += 1;
      AddTerm(eq, f, 1.0);
    }
    AddTerm(eq, std::vector<std::int32_t>(n, 0), -static_cast<double>(k));
    eqs.push_back(eq);
  }
  Equation last;
  for (int i = 0; i + 1 < n; ++i) AddTerm(last, Unit(n, i), 1.0);
  AddTerm(last, std::vector<std::int32_t>(n, 0), 1.0);
  eqs.push_back(last);
  return BuildSystem(eqs);
}

}  // namespace zormix::testing

#endif  // ZORMIX_TESTS_SUPPORT_SYSTEMS_H_
