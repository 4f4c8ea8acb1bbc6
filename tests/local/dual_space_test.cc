#include "local/dual_space.h"

#include <gtest/gtest.h>

#include <random>

#include "local/dense.h"
#include "local/local_test_support.h"

namespace zormix {
namespace {

struct Known {
  std::string text;
  std::vector<Complex> root;
  std::vector<int> hilbert;  // h(0), h(1), ..., depth; their sum is the multiplicity
};

// Multiplicities from the literature and closed forms (the sums checked with Singular's vdim of a
// local standard basis): monomial ideals (x - 1)^a, (y - 2)^b (multiplicity ab, Hilbert function
// 1, 2, ..., the staircase), Griewank & Osborne's origin (3), Ojika's (1, 2) (3), the double roots
// (0, +-1) of x^2, y^2 + x - 1, two nodes sharing both tangents (7), a 131-fold root of breadth
// one.
const std::vector<Known>& KnownRoots() {
  static const std::vector<Known> known = {
      {"(x-1)^4; (y-2)^5", {1.0, 2.0}, {1, 2, 3, 4, 4, 3, 2, 1}},
      {"29/16 x^3 - 2 x y; y - x^2", {0.0, 0.0}, {1, 1, 1}},
      {"x^2 + y - 3; x + 0.125 y^2 - 1.5", {1.0, 2.0}, {1, 1, 1}},
      {"x^2; y^2 + x - 1", {0.0, 1.0}, {1, 1}},
      {"x^2; y^2 + x - 1", {0.0, -1.0}, {1, 1}},
      {"x^2 - y^2 + x^3; x^2 - y^2 + y^3", {0.0, 0.0}, {1, 2, 2, 1, 1}},
      {"x^2 + y^2 + z^2 - 2 z; x z - y^2 + x^3; y - z^2 + x y", {0.0, 0.0, 0.0}, {}},
  };
  return known;
}

TEST(DualSpaceTest, HilbertFunctionsOfKnownRoots) {
  for (const Known& k : KnownRoots()) {
    if (k.hilbert.empty()) continue;
    const DualSpace D = DualAt(Parse(k.text), k.root, 30);
    EXPECT_TRUE(D.stabilized) << k.text;
    std::vector<int> h = D.hilbert;
    h.pop_back();  // the 0 that stopped it
    EXPECT_EQ(h, k.hilbert) << k.text;
    EXPECT_GT(D.gap, 1e6) << k.text;
  }
}

// A root of multiplicity 131 and depth 130 in two unknowns: 131 orders of matrices of at most
// 133 x 262.
TEST(DualSpaceTest, HeavyMultiplicity131) {
  const DualSpace D = DualAt(Parse("y - x^2; x^131"), {0.0, 0.0}, 140);
  EXPECT_TRUE(D.stabilized);
  EXPECT_EQ(D.dimension(), 131);
  EXPECT_EQ(D.breadth(), 1);
  EXPECT_EQ(D.depth(), 130);
}

// A regular root has the evaluation alone; the bound stops a space that keeps growing.
TEST(DualSpaceTest, RegularRootAndBoundReached) {
  const DualSpace regular = DualAt(Parse("x^2 - 2 y; y - 2"), {2.0, 2.0}, 5);
  EXPECT_TRUE(regular.stabilized);
  EXPECT_EQ(regular.dimension(), 1);
  const DualSpace curve = DualAt(Parse("x^2; x y"), {0.0, 3.0}, 6);  // on the line x = 0
  EXPECT_FALSE(curve.stabilized);
}

// A space that reaches its bound without stabilising is counted, not built: the count and the
// Hilbert function must be those of the space built without the bound, and a space that
// stabilises exactly at its bound keeps every functional's coordinates (deflation reads them).
// (x - 1)^4, (y - 2)^5: multiplicity 20, dimensions 1, 3, 6, 10, 14, 17, 19, 20 by order.
TEST(DualSpaceTest, SpaceAtItsBoundCountedAsWithoutIt) {
  const PolySystem system = Parse("(x-1)^4; (y-2)^5");
  const std::vector<Complex> root = {1.0, 2.0};
  const DualSpace full = DualAt(system, root, 30);
  ASSERT_TRUE(full.stabilized);
  ASSERT_EQ(full.dimension(), 20);
  struct Cut {
    int bound, dimension, orders;  // dimension and h(0..orders-1) when the bound stops it
  };
  for (const Cut cut : {Cut{19, 20, 8}, Cut{12, 14, 5}, Cut{3, 6, 3}}) {
    const DualSpace D = DualAt(system, root, cut.bound);
    EXPECT_FALSE(D.stabilized) << cut.bound;
    EXPECT_EQ(D.dimension(), cut.dimension) << cut.bound;
    EXPECT_EQ(D.hilbert, std::vector<int>(full.hilbert.begin(), full.hilbert.begin() + cut.orders))
        << cut.bound;
    EXPECT_EQ(static_cast<int>(D.order.size()), D.dimension()) << cut.bound;
  }
  const DualSpace exact = DualAt(system, root, 20);
  EXPECT_TRUE(exact.stabilized);
  EXPECT_EQ(exact.dimension(), 20);
  EXPECT_EQ(exact.basis.size(), full.basis.size());
  for (std::size_t p = 0; p < exact.basis.size(); ++p) EXPECT_EQ(exact.basis[p], full.basis[p]);
}

// The singular values alone are those of the whole decomposition, bit for bit, for tall and wide
// matrices of full and deficient rank (the rank decisions must not depend on which is asked).
TEST(DualSpaceTest, SingularValuesAloneAsInTheDecomposition) {
  std::mt19937_64 random(7);
  std::normal_distribution<double> normal;
  for (const auto& [m, k, rank] : {std::tuple{9, 5, 5}, std::tuple{9, 5, 2}, std::tuple{4, 7, 4},
                                   std::tuple{4, 7, 1}, std::tuple{6, 6, 3}}) {
    ColMajorMatrix<Complex> left(m, rank), right(rank, k), A(m, k);
    for (std::int64_t i = 0; i < left.rows() * left.cols(); ++i)
      left.data()[i] = Complex(normal(random), normal(random)) * 1e3;
    for (std::int64_t i = 0; i < right.rows() * right.cols(); ++i)
      right.data()[i] = Complex(normal(random), normal(random));
    for (int i = 0; i < m; ++i)
      for (int j = 0; j < k; ++j)
        for (int p = 0; p < rank; ++p) A(i, j) += left(i, p) * right(p, j);
    const std::vector<double> alone = SingularValuesOf(A);
    EXPECT_EQ(alone, Decompose(A).sigma) << m << " x " << k << " of rank " << rank;
    ASSERT_EQ(alone.size(), static_cast<std::size_t>(k));
    EXPECT_LT(alone[rank - 1] * 1e-10, alone[0]);
    if (rank < k) {
      EXPECT_LT(alone[rank], 1e-10 * alone[0]);
    }
  }
}

}  // namespace
}  // namespace zormix
