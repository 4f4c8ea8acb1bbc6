#include "local/monomials.h"

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

MonomialTable::MonomialTable(int n, int degree) : n_(n), degree_(degree) {
  if (n < 1 || degree < 0) throw Error(ErrorCode::kBadArgument, "monomial table: bad size");
  total_.resize(degree + 1);
  for (int d = 0; d <= degree; ++d) total_[d] = Binomial(d + n, n);
  if (total_.back() > static_cast<double>(kLargestMonomialTable)) {
    throw Error(ErrorCode::kBadArgument,
                "local analysis: " + std::to_string(static_cast<long long>(total_.back())) +
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

double MonomialTable::Binomial(int top, int bottom) const {
  if (bottom < 0 || top < bottom) return 0.0;
  double c = 1.0;
  for (int j = 1; j <= bottom; ++j) c = c * (top - bottom + j) / j;
  return std::round(c);
}

// Within degree d, the monomials before a are those whose first differing coordinate k is
// larger: for each k, sum over a' > a_k of the monomials of degree rem_k - a' in the n-1-k
// coordinates after k, which is the number of degree <= rem_k - a_k - 1 in those coordinates.
std::int64_t MonomialTable::Index(const std::int32_t* a) const {
  int d = 0;
  for (int k = 0; k < n_; ++k) d += a[k];
  double position = d == 0 ? 0.0 : total_[d - 1];
  int remaining = d;
  for (int k = 0; k + 1 < n_; ++k) {
    const int below = remaining - a[k] - 1;
    if (below >= 0) position += Binomial(below + n_ - 1 - k, n_ - 1 - k);
    remaining -= a[k];
  }
  return static_cast<std::int64_t>(position);
}

}  // namespace zormix
