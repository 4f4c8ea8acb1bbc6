#include "local/dual_space.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zormix
