#include "local/monomials.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "zormix/error.h"

namespace zormix {
namespace {

// Appends every exponent vector of degree `remaining` over coordinates k..n-1 in the table's
// order, with the coordinates before k taken from `current`.
void AppendDegree(int k, int remaining, std::vector<std::int32_t>& current,
                  std::vector<std::int32_t>& out) {
  const int n = static_cast<int>(current.size());
  if (k == n - 1) {
    current[k] = remaining;
    out.insert(out.end(), current.begin(), current.end());
    return;
  }
  for (int a = remaining; a >= 0; --a) {
    current[k] = a;
    AppendDegree(k + 1, remaining - a, current, out);
  }
  current[k] = 0;
}

}  // namespace

std::int64_t MonomialCount(int n, int degree) {
  // C(n + d, d) = prod_{j=1..d} (n + j) / j, exact at every step; capped.
  std::int64_t count = 1;
  for (int j = 1; j <= degree; ++j) {
    count = count * (n + j) / j;
    if (count > kLargestMonomialTable) return kLargestMonomialTable + 1;
  }
  return count;
}

MonomialTable::MonomialTable(int n, int degree) : n_(n), degree_(degree) {
  if (n < 1 || degree < 0) throw Error(ErrorCode::kBadArgument, "monomial table: bad size");
  // Pascal's triangle up to C(n + degree, n - 1), capped beyond the table's limit (only counts
  // up to it are ever looked up once the size check below has passed).
  const int tops = n + degree + 1;
  binomial_.assign(static_cast<std::size_t>(tops) * n, 0);
  for (int top = 0; top < tops; ++top) {
    binomial_[top * n] = 1;
    for (int bottom = 1; bottom < n && bottom <= top; ++bottom) {
      const std::int64_t above = top > 0 ? binomial_[(top - 1) * n + bottom] : 0;
      const std::int64_t left = top > 0 ? binomial_[(top - 1) * n + bottom - 1] : 0;
      binomial_[top * n + bottom] = std::min(above + left, kLargestMonomialTable + 1);
    }
  }
  // Monomials of degree <= d in n unknowns: C(d + n, n) = sum_{j <= d} C(j + n - 1, n - 1).
  total_.resize(degree + 1);
  std::int64_t count = 0;
  for (int d = 0; d <= degree; ++d) {
    count = std::min(count + Binomial(d + n - 1, n - 1), kLargestMonomialTable + 1);
    total_[d] = count;
  }
  if (total_.back() > kLargestMonomialTable) {
    throw Error(ErrorCode::kBadArgument,
                "local analysis: more than " + std::to_string(kLargestMonomialTable) +
                    " monomials of degree <= " + std::to_string(degree) + " in " +
                    std::to_string(n) + " unknowns exceed the table's limit");
  }
  exponents_.reserve(static_cast<std::size_t>(total_.back()) * n);
  std::vector<std::int32_t> current(n, 0);
  for (int d = 0; d <= degree; ++d) AppendDegree(0, d, current, exponents_);
  degreeOf_.resize(static_cast<std::size_t>(total_.back()));
  for (int d = 0, p = 0; d <= degree; ++d)
    for (; p < total_[d]; ++p) degreeOf_[p] = d;
}

// Within degree d, the monomials before a are those whose first differing coordinate k is
// larger: for each k, sum over a' > a_k of the monomials of degree rem_k - a' in the n-1-k
// coordinates after k, which is the number of degree <= rem_k - a_k - 1 in those coordinates.
std::int64_t MonomialTable::Index(const std::int32_t* a) const {
  int d = 0;
  for (int k = 0; k < n_; ++k) d += a[k];
  std::int64_t position = d == 0 ? 0 : total_[d - 1];
  int remaining = d;
  for (int k = 0; k + 1 < n_; ++k) {
    const int below = remaining - a[k] - 1;
    if (below >= 0) position += Binomial(below + n_ - 1 - k, n_ - 1 - k);
    remaining -= a[k];
  }
  return position;
}

}  // namespace zormix
