// The monomials t^a of n local coordinates up to a total degree, numbered in graded order.
#ifndef ZORMIX_LOCAL_MONOMIALS_H_
#define ZORMIX_LOCAL_MONOMIALS_H_

#include <cstdint>
#include <vector>

namespace zormix {

// Monomials of degree 0, then 1, ..., then `degree`; within one degree by descending exponent of
// the first coordinate, then of the second, and so on. The numbering does not depend on the
// largest degree, so a vector over the monomials up to degree k is a prefix of the same vector up
// to any higher degree: the dual space grows order by order without renumbering.
class MonomialTable {
 public:
  MonomialTable(int n, int degree);

  int n() const { return n_; }
  int degree() const { return degree_; }
  std::int64_t size() const { return total_.back(); }
  // Number of monomials of degree <= d (d >= -1).
  std::int64_t CountUpTo(int d) const { return d < 0 ? 0 : total_[d]; }
  const std::int32_t* Exponent(std::int64_t index) const { return &exponents_[index * n_]; }
  int Degree(std::int64_t index) const { return degreeOf_[index]; }
  // The number of an exponent vector of degree <= degree().
  std::int64_t Index(const std::int32_t* exponent) const;

 private:
  // C(top, bottom) for top < n + degree + 1, bottom < n: from the table below.
  std::int64_t Binomial(int top, int bottom) const {
    return bottom < 0 || top < bottom ? 0 : binomial_[top * n_ + bottom];
  }
  int n_;
  std::vector<std::int64_t> binomial_;  // [top * n + bottom]
  int degree_;
  std::vector<std::int64_t> total_;  // total_[d]: monomials of degree <= d
  std::vector<std::int32_t> exponents_;
  std::vector<std::int32_t> degreeOf_;
};

// Above this many monomials no table is built (Error kBadArgument): the dual space of a root in
// two unknowns of depth 300, or of depth 8 in 12 unknowns, already has 45,000 and 126,000.
inline constexpr std::int64_t kLargestMonomialTable = 400000;

// C(n + degree, n), the monomials of degree <= `degree` in n unknowns, or kLargestMonomialTable + 1
// when there are more: whether a table fits.
std::int64_t MonomialCount(int n, int degree);

}  // namespace zormix

#endif  // ZORMIX_LOCAL_MONOMIALS_H_
