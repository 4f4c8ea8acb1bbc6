// Normal form of a system: equations by ascending term count, terms of each equation in descending
// order (constant last), an unscaled copy of the coefficients, the scaling, and a zero constant
// term appended to every equation that has none, so that every support contains the origin.
#include "model/normal_form.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "model/scaling.h"

namespace zormix {
namespace {

// Start column of every equation for the given counts.
std::vector<std::int64_t> FirstColumns(const std::vector<std::int32_t>& termCount) {
  std::vector<std::int64_t> first(termCount.size() + 1, 0);
  for (std::size_t i = 0; i < termCount.size(); ++i) first[i + 1] = first[i] + termCount[i];
  return first;
}

void CopyTerm(const PolySystem& from, std::int64_t fromColumn, PolySystem& to,
              std::int64_t toColumn) {
  std::copy_n(from.exponents.col(fromColumn), from.n, to.exponents.col(toColumn));
  to.coefficients[toColumn] = from.coefficients[fromColumn];
}

// The mixed-radix key 1 + sum_k w(k) e_k with w(n-1) = 1, w(k) = (maxExp(k+1) + 1) w(k+1) orders
// nonnegative exponent vectors exactly as the lexicographic order with variable 0 most
// significant, and equal keys mean equal vectors. Comparing the vectors directly gives the same
// order without the key's overflow for many variables or high degrees.
bool KeyGreater(const ColMajorMatrix<std::int32_t>& exponents, std::int64_t a, std::int64_t b) {
  const std::int32_t* ea = exponents.col(a);
  const std::int32_t* eb = exponents.col(b);
  return std::lexicographical_compare(eb, eb + exponents.rows(), ea, ea + exponents.rows());
}

// Selection sort, descending, first of equal keys wins, positions swapped: idx[p] receives the
// term (relative to `first`) that goes to position p.
std::vector<std::int64_t> SelectionOrder(const ColMajorMatrix<std::int32_t>& exponents,
                                         std::int64_t first, std::int64_t count) {
  std::vector<std::int64_t> idx(static_cast<std::size_t>(count));
  std::iota(idx.begin(), idx.end(), 0);
  auto greater = [&](std::int64_t a, std::int64_t b) {
    return KeyGreater(exponents, first + a, first + b);
  };
  // With distinct keys the selection sort's result is simply the descending order; only repeated
  // monomials make the swap pattern matter, and then the quadratic sort runs as written.
  std::vector<std::int64_t> sorted = idx;
  std::sort(sorted.begin(), sorted.end(), greater);
  bool distinct = true;
  for (std::size_t p = 1; p < sorted.size() && distinct; ++p) {
    distinct = greater(sorted[p - 1], sorted[p]);
  }
  if (distinct) return sorted;
  for (std::int64_t p = 0; p + 1 < count; ++p) {
    std::int64_t best = p;
    for (std::int64_t q = p + 1; q < count; ++q) {
      if (greater(idx[q], idx[best])) best = q;
    }
    if (best != p) std::swap(idx[p], idx[best]);
  }
  return idx;
}

bool IsConstantTerm(const ColMajorMatrix<std::int32_t>& exponents, std::int64_t column) {
  const std::int32_t* e = exponents.col(column);
  return std::all_of(e, e + exponents.rows(), [](std::int32_t v) { return v == 0; });
}

}  // namespace

void SortEquationsByTermCount(PolySystem& system) {
  const PolySystem old = system;
  const std::vector<std::int64_t> oldFirst = FirstColumns(old.termCount);
  std::vector<int> order(static_cast<std::size_t>(system.n));
  std::iota(order.begin(), order.end(), 0);
  std::vector<std::int32_t>& termCount = system.termCount;
  // Exchange sort with a strict test: equal counts are not swapped directly, yet an equation can
  // pass an equal one through a later swap, so (3, 3, 2) ends as equations (2, 1, 0).
  for (int i = 0; i + 1 < system.n; ++i) {
    for (int j = i + 1; j < system.n; ++j) {
      if (termCount[j] < termCount[i]) {
        std::swap(termCount[i], termCount[j]);
        std::swap(order[i], order[j]);
      }
    }
  }
  const std::vector<std::int64_t> newFirst = FirstColumns(termCount);
  for (int i = 0; i < system.n; ++i) {
    for (std::int64_t t = 0; t < termCount[i]; ++t) {
      CopyTerm(old, oldFirst[order[i]] + t, system, newFirst[i] + t);
    }
  }
}

void SortTermsDescending(PolySystem& system) {
  const PolySystem old = system;
  const std::vector<std::int64_t> first = FirstColumns(system.termCount);
  for (int i = 0; i < system.n; ++i) {
    const std::vector<std::int64_t> idx =
        SelectionOrder(old.exponents, first[i], system.termCount[i]);
    for (std::size_t p = 0; p < idx.size(); ++p) {
      CopyTerm(old, first[i] + idx[p], system, first[i] + static_cast<std::int64_t>(p));
    }
  }
}

void CompleteConstantTerms(NormalForm& system) {
  const int n = system.scaled.n;
  if (system.rawCoefficients.size() != system.scaled.coefficients.size()) {
    system.rawCoefficients = system.scaled.coefficients;
  }
  const std::vector<std::int64_t> oldFirst = FirstColumns(system.scaled.termCount);
  system.constantAdded.assign(static_cast<std::size_t>(n), 0);
  for (int i = 0; i < n; ++i) {
    if (!IsConstantTerm(system.scaled.exponents, oldFirst[i + 1] - 1)) {
      system.constantAdded[i] = 1;
      ++system.scaled.termCount[i];
    }
  }
  system.firstTerm.assign(static_cast<std::size_t>(n), 0);
  system.lastTerm.assign(static_cast<std::size_t>(n), 0);
  std::int64_t next = 0;
  for (int i = 0; i < n; ++i) {
    system.firstTerm[i] = static_cast<std::int32_t>(next);
    next += system.scaled.termCount[i];
    system.lastTerm[i] = static_cast<std::int32_t>(next - 1);
  }
  const std::int64_t m = next;
  ColMajorMatrix<std::int32_t> exponents(n, m, 0);
  std::vector<Complex> coefficients(static_cast<std::size_t>(m), Complex(0.0, 0.0));
  std::vector<Complex> rawCoefficients(static_cast<std::size_t>(m), Complex(0.0, 0.0));
  // Old column of new column p is p - shift; an appended constant is already zero everywhere.
  std::int64_t shift = 0;
  for (int i = 0; i < n; ++i) {
    const std::int64_t copyEnd = system.lastTerm[i] + 1 - system.constantAdded[i];
    for (std::int64_t p = system.firstTerm[i]; p < copyEnd; ++p) {
      std::copy_n(system.scaled.exponents.col(p - shift), n, exponents.col(p));
      coefficients[p] = system.scaled.coefficients[p - shift];
      rawCoefficients[p] = system.rawCoefficients[p - shift];
    }
    shift += system.constantAdded[i];
  }
  system.scaled.exponents = std::move(exponents);
  system.scaled.coefficients = std::move(coefficients);
  system.rawCoefficients = std::move(rawCoefficients);
}

NormalForm BringToNormalForm(const PolySystem& input) {
  NormalForm system(input);
  SortEquationsByTermCount(system.scaled);
  SortTermsDescending(system.scaled);
  system.rawCoefficients = system.scaled.coefficients;
  system.scaleExponents.assign(static_cast<std::size_t>(2 * system.scaled.n), 0.0);
  const std::vector<std::int32_t>& termCount = system.scaled.termCount;
  const bool everyEquationHasTwoTerms =
      std::all_of(termCount.begin(), termCount.end(), [](std::int32_t c) { return c >= 2; });
  // An equation with a single term leaves the fit without its within-equation rows: no scaling.
  if (everyEquationHasTwoTerms) ComputeScaling(system);
  CompleteConstantTerms(system);
  return system;
}

}  // namespace zormix
