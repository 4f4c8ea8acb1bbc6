#include "tracker/endgame/divergence_check.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tracker/parameters.h"

namespace zormix {

namespace {

// One term of an equation: its exponents and its order in d beyond <a, w>.
struct Term {
  const std::int32_t* exponents;  // n entries; null: the constant
  std::int32_t startVariable;     // >= 0: the start term y_k^{D}, exponents null
  std::int32_t startDegree;
  double offset;
};

std::int32_t Exponent(const Term& term, int j) {
  if (term.exponents != nullptr) return term.exponents[j];
  return j == term.startVariable ? term.startDegree : 0;
}

double Order(const Term& term, std::span<const double> w) {
  double order = term.offset;
  for (std::size_t j = 0; j < w.size(); ++j) {
    order += Exponent(term, static_cast<int>(j)) * w[j];
  }
  return order;
}

double Distance1(const Term& a, const Term& b, int n) {
  double sum = 0.0;
  for (int j = 0; j < n; ++j) sum += std::abs(Exponent(a, j) - Exponent(b, j));
  return sum;
}

bool EquationBalances(const std::vector<Term>& terms, std::span<const double> w, double error) {
  if (terms.size() < 2) return terms.empty();
  std::vector<double> orders(terms.size());
  for (std::size_t k = 0; k < terms.size(); ++k) orders[k] = Order(terms[k], w);
  const std::size_t lowest =
      static_cast<std::size_t>(std::min_element(orders.begin(), orders.end()) - orders.begin());
  const int n = static_cast<int>(w.size());
  for (std::size_t k = 0; k < terms.size(); ++k) {
    if (k == lowest) continue;
    if (orders[k] - orders[lowest] <= error * Distance1(terms[k], terms[lowest], n)) return true;
  }
  return false;
}

}  // namespace

std::vector<double> ValuationDirection(std::span<const Complex> y, std::span<const Complex> dyDp,
                                       double d) {
  std::vector<double> w(y.size(), kLargestValuation);
  for (std::size_t j = 0; j < y.size(); ++j) {
    if (y[j] == Complex(0.0, 0.0)) continue;
    const double v = std::real(-d * dyDp[j] / y[j]);
    if (std::isfinite(v)) w[j] = std::min(v, kLargestValuation);
  }
  return w;
}

bool DivergencePossible(const SystemView& target, std::span<const std::int32_t> startDegrees,
                        std::span<const double> w, double error) {
  const ColMajorMatrix<std::int32_t>& exponents = *target.exponents;
  std::vector<Term> terms;
  std::size_t column = 0;
  for (int i = 0; i < target.n; ++i) {
    terms.clear();
    bool vanishing = false;
    for (std::int32_t k = 0; k < target.termCount[i]; ++k, ++column) {
      vanishing = vanishing || target.coefficients[column] == Complex(0.0, 0.0);
      terms.push_back({exponents.col(static_cast<std::int64_t>(column)), -1, 0, 0.0});
    }
    if (vanishing) continue;
    if (!startDegrees.empty()) {
      terms.push_back({nullptr, i, startDegrees[i], 1.0});
      terms.push_back({nullptr, -1, 0, 1.0});
    }
    if (!EquationBalances(terms, w, error)) return false;
  }
  return true;
}

bool DivergenceDirectionPossible(const SystemView& target,
                                 std::span<const std::int32_t> startDegrees,
                                 std::span<const double> w) {
  if (w.empty()) return true;
  const double smallest = *std::min_element(w.begin(), w.end());
  return DivergencePossible(target, startDegrees, w,
                            tracker::kValuationErrorShare * std::abs(smallest));
}

}  // namespace zormix
