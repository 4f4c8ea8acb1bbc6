#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/checked_int.h"
#include "startsys/extended_gcd.h"
#include "startsys/start_systems.h"
#include "zormix/error.h"

namespace zormix {
namespace {

using Int128 = __int128;

IntMatrix FromRows(std::initializer_list<std::initializer_list<std::int64_t>> rows) {
  const std::int64_t n = static_cast<std::int64_t>(rows.size());
  IntMatrix a(n, static_cast<std::int64_t>(rows.begin()->size()));
  std::int64_t i = 0;
  for (const auto& row : rows) {
    std::int64_t j = 0;
    for (std::int64_t v : row) a(i, j++) = v;
    ++i;
  }
  return a;
}

// Exact determinant by fraction-free (Bareiss) elimination with row pivoting.
Int128 BareissDeterminant(const IntMatrix& in) {
  const std::int64_t n = in.rows();
  std::vector<std::vector<Int128>> m(n, std::vector<Int128>(n));
  for (std::int64_t i = 0; i < n; ++i)
    for (std::int64_t j = 0; j < n; ++j) m[i][j] = in(i, j);
  Int128 sign = 1, prev = 1;
  for (std::int64_t k = 0; k < n; ++k) {
    std::int64_t p = k;
    while (p < n && m[p][k] == 0) ++p;
    if (p == n) return 0;
    if (p != k) std::swap(m[p], m[k]), sign = -sign;
    for (std::int64_t i = k + 1; i < n; ++i)
      for (std::int64_t j = k + 1; j < n; ++j)
        m[i][j] = (m[i][j] * m[k][k] - m[i][k] * m[k][j]) / prev;
    prev = m[k][k];
  }
  return sign * m[n - 1][n - 1];
}

TEST(ExtendedGcdTest, SignsAndCoefficientsFollowTheTruncatingRemainders) {
  struct Case {
    std::int64_t a, b, g, k, l;
  };
  const Case cases[] = {{4, -6, -2, 1, 1}, {6, 4, 2, 1, -1},  {-4, -6, -2, -1, 1},
                        {0, -3, -3, 0, 1}, {-3, 6, -3, 1, 0}, {6, -3, -3, 0, 1},
                        {0, 0, 0, 0, 0},   {5, 0, 5, 1, 0},   {4, 2, 2, 0, 1}};
  for (const Case& c : cases) {
    const GcdOf<std::int64_t> r = ExtendedGcdChecked<std::int64_t>(c.a, c.b);
    EXPECT_EQ(r.g, c.g) << c.a << ", " << c.b;
    EXPECT_EQ(r.k, c.k) << c.a << ", " << c.b;
    EXPECT_EQ(r.l, c.l) << c.a << ", " << c.b;
  }
}

TEST(ExtendedGcdTest, BezoutIdentityHoldsOverManyPairs) {
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<std::int64_t> dist(-100000, 100000);
  for (int trial = 0; trial < 20000; ++trial) {
    const std::int64_t a = dist(rng), b = dist(rng);
    const GcdOf<std::int64_t> r = ExtendedGcdChecked(a, b);
    ASSERT_EQ(r.k * a + r.l * b, r.g) << a << ", " << b;
    std::int64_t x = a < 0 ? -a : a, y = b < 0 ? -b : b;
    while (y != 0) x %= y, std::swap(x, y);
    ASSERT_EQ(r.g < 0 ? -r.g : r.g, x) << a << ", " << b;
  }
}

TEST(ExtendedGcdTest, MostNegativeValueThrowsInsteadOfWrapping) {
  EXPECT_THROW(ExtendedGcdChecked<std::int64_t>(INT64_MIN, -1), IntegerOverflow);
  EXPECT_THROW(ExtendedGcdChecked<std::int64_t>(INT64_MIN, 3), IntegerOverflow);
}

TEST(TriangularizeUnimodularTest, WorkedExamples) {
  struct Case {
    IntMatrix a, l, u;
    std::int64_t det;
  };
  const Case cases[] = {
      {FromRows({{4, 6}, {1, 1}}), FromRows({{2, 0}, {0, -1}}), FromRows({{-1, -3}, {1, 2}}), 2},
      {FromRows({{3, 5}, {1, 7}}), FromRows({{-1, 0}, {5, -16}}), FromRows({{-2, 5}, {1, -3}}), 16},
      // Equal smallest |entry| in the pivot row: the leftmost column wins.
      {FromRows({{2, -2}, {1, 0}}), FromRows({{-2, 0}, {0, -1}}), FromRows({{0, -1}, {1, -1}}), 2},
      // Diagonal input is left alone.
      {FromRows({{-3, 0, 0}, {0, 2, 0}, {0, 0, -5}}), FromRows({{-3, 0, 0}, {0, 2, 0}, {0, 0, -5}}),
       FromRows({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}), 30},
      // n = 1, negative entry kept.
      {FromRows({{-7}}), FromRows({{-7}}), FromRows({{1}}), 7},
  };
  for (const Case& c : cases) {
    IntMatrix a = c.a, u;
    EXPECT_EQ(TriangularizeUnimodular(a, u), c.det);
    EXPECT_EQ(a, c.l);
    EXPECT_EQ(u, c.u);
    EXPECT_EQ(AbsDeterminantByReduction(c.a), c.det);
  }
}

// Entries below the diagonal are reduced only when |a| > 3, to round(a / p) with exact halves
// rounded toward zero.
TEST(TriangularizeUnimodularTest, BelowDiagonalEntriesAreCentredWithHalvesTowardZero) {
  const std::pair<std::int64_t, std::int64_t> entryAndPivot[] = {
      {5, 2}, {-5, 2}, {7, -4}, {6, 4}, {-6, 4}, {3, 2}, {-3, 1}, {4, 7}, {7, 2}};
  const std::int64_t expected[] = {1, -1, -1, 2, -2, 3, -3, -3, 1};
  for (std::size_t c = 0; c < std::size(expected); ++c) {
    const auto [entry, pivot] = entryAndPivot[c];
    IntMatrix a = FromRows({{1, 0}, {entry, pivot}}), u;
    TriangularizeUnimodular(a, u);
    EXPECT_EQ(a(1, 0), expected[c]) << entry << " against " << pivot;
    EXPECT_EQ(a(1, 1), pivot);
  }
}

TEST(TriangularizeUnimodularTest, ZeroPivotRowGivesZeroAndSaysSo) {
  IntMatrix a = FromRows({{1, 2, 3}, {2, 4, 6}, {0, 1, 5}}), u;
  ReductionStatus status = ReductionStatus::kNonsingular;
  EXPECT_EQ(TriangularizeUnimodular(a, u, &status), 0);
  EXPECT_EQ(status, ReductionStatus::kZeroPivotRow);
  EXPECT_EQ(AbsDeterminantByReduction(FromRows({{0, 0}, {1, 1}}), &status), 0);
  EXPECT_EQ(status, ReductionStatus::kZeroPivotRow);
}

TEST(TriangularizeUnimodularTest, SingularLastRowGivesZeroWithoutZeroPivotRowOrDivision) {
  IntMatrix a = FromRows({{1, 2}, {5, 10}}), u;
  ReductionStatus status = ReductionStatus::kNonsingular;
  EXPECT_EQ(TriangularizeUnimodular(a, u, &status), 0);
  EXPECT_EQ(status, ReductionStatus::kSingular);
  EXPECT_EQ(a(1, 1), 0);
  EXPECT_EQ(AbsDeterminantByReduction(FromRows({{2, 4, 1}, {1, 3, 0}, {3, 7, 1}}), &status), 0);
  EXPECT_EQ(status, ReductionStatus::kSingular);
}

TEST(TriangularizeUnimodularTest, OverflowThrowsErrorNamingTheMatrix) {
  // |det| = 2^80 does not fit.
  IntMatrix diagonal = FromRows({{std::int64_t{1} << 40, 0}, {0, std::int64_t{1} << 40}}), u;
  EXPECT_THROW(TriangularizeUnimodular(diagonal, u), Error);
  std::mt19937_64 rng(3);
  std::uniform_int_distribution<std::int64_t> dist(-(std::int64_t{1} << 50), std::int64_t{1} << 50);
  IntMatrix big(6, 6);
  for (auto& v : big.storage()) v = dist(rng);
  try {
    AbsDeterminantByReduction(big);
    FAIL() << "no overflow reported";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("overflow"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("6 x 6"), std::string::npos);
  }
}

// Checks A_in U = L exactly, L lower triangular with centred entries, |det U| = 1, and that the
// returned det is |det A_in|.
void CheckReduction(const IntMatrix& in) {
  const Int128 expectedDet = BareissDeterminant(in);
  IntMatrix l = in, u;
  const std::int64_t det = TriangularizeUnimodular(l, u);
  ASSERT_EQ(Int128{det}, expectedDet < 0 ? -expectedDet : expectedDet);
  ASSERT_EQ(AbsDeterminantByReduction(in), det);
  const std::int64_t n = in.rows();
  for (std::int64_t i = 0; i < n; ++i) {
    for (std::int64_t j = 0; j < n; ++j) {
      Int128 product = 0;
      for (std::int64_t k = 0; k < n; ++k) product += Int128{in(i, k)} * u(k, j);
      ASSERT_EQ(product, Int128{l(i, j)}) << "(A U)(" << i << "," << j << ")";
      if (j > i) {
        ASSERT_EQ(l(i, j), 0);
      }
      const std::int64_t entry = l(i, j) < 0 ? -l(i, j) : l(i, j);
      const std::int64_t diag = l(i, i) < 0 ? -l(i, i) : l(i, i);
      if (j < i && entry > 3) {
        ASSERT_LE(2 * entry, diag) << "L(" << i << "," << j << ")";
      }
    }
  }
  const Int128 detU = BareissDeterminant(u);
  ASSERT_TRUE(detU == 1 || detU == -1);
}

IntMatrix RandomNonsingular(std::mt19937_64& rng, std::int64_t n, std::int64_t bound) {
  std::uniform_int_distribution<std::int64_t> dist(-bound, bound);
  IntMatrix a(n, n);
  do {
    for (auto& v : a.storage()) v = dist(rng);
  } while (BareissDeterminant(a) == 0);
  return a;
}

TEST(TriangularizeUnimodularTest, RandomSmallMatricesReduceExactly) {
  std::mt19937_64 rng(11);
  for (int trial = 0; trial < 6000; ++trial) {
    const std::int64_t n = 1 + trial % 6;
    SCOPED_TRACE(trial);
    CheckReduction(RandomNonsingular(rng, n, 5));
  }
}

// Dense matrices of size 7..10: about half of the 10 x 10 ones with entries in -3..3 swell beyond
// 64 bits in the middle of the reduction although L and U end small.
TEST(TriangularizeUnimodularTest, RandomLargerMatricesReduceExactly) {
  std::mt19937_64 rng(12);
  for (int trial = 0; trial < 800; ++trial) {
    const std::int64_t n = 7 + trial % 4;
    SCOPED_TRACE(trial);
    CheckReduction(RandomNonsingular(rng, n, n <= 8 && trial % 2 == 0 ? 5 : 3));
  }
}

// Sparse exponent differences, as mixed cells produce them: many zeros and pivots of 1.
TEST(TriangularizeUnimodularTest, RandomSparseMatricesReduceExactly) {
  std::mt19937_64 rng(13);
  std::uniform_int_distribution<int> pick(0, 9);
  for (int trial = 0; trial < 3000; ++trial) {
    const std::int64_t n = 2 + trial % 7;
    IntMatrix a(n, n);
    do {
      for (auto& v : a.storage()) {
        const int r = pick(rng);
        v = r < 6 ? 0 : r - 7;  // 0 with probability 0.6, else -1..2
      }
    } while (BareissDeterminant(a) == 0);
    SCOPED_TRACE(trial);
    CheckReduction(a);
  }
}

}  // namespace
}  // namespace zormix
