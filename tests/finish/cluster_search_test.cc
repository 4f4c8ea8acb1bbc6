// The one-unknown verdicts near an end point: the disk rule of root clusters and the search for a
// root in double-double.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "finish/dd_newton.h"
#include "finish/root_cluster.h"
#include "model/normal_form.h"
#include "support/systems.h"

namespace zormix {
namespace {

// sum_e c[e] x^e in normal form.
NormalForm Polynomial(const std::vector<double>& ascending) {
  testing::Equation equation;
  for (std::size_t e = 0; e < ascending.size(); ++e)
    if (ascending[e] != 0.0) equation.push_back({{static_cast<std::int32_t>(e)}, ascending[e]});
  return BringToNormalForm(testing::BuildSystem({equation}));
}

// Two roots 0.76 apart, 0.92 and 1.68, seen from their midpoint 1.3: the disk of both has a radius
// of 0.38 to 0.54, beyond a quarter of the double root it would be, so it is no cluster (it only
// says where two roots lie). A true double root at 1.3 seen from as close is one.
TEST(ClusterVerdict, TwoRootsFarApartAreNoDoubleRoot) {
  EXPECT_EQ(RootClusterAt(Polynomial({0.92 * 1.68, -2.6, 1.0}), Complex(1.3, 0.0)).count, 0);
  const RootCluster twice = RootClusterAt(Polynomial({1.69, -2.6, 1.0}), Complex(1.3, 1e-9));
  EXPECT_EQ(twice.count, 2);
  EXPECT_LT(std::abs(twice.center - Complex(1.3, 0.0)), 1e-12);
}

// x^7 - 1 from 2.5: Newton's steps shrink by 6/7 each on their way to 1, 4.2 first steps in all:
// farther than the search walks (a root that far belongs to another end point). From 1.7 the walk
// is 3 first steps and finds it. A point already within 1e-3 of the root is handed to the
// quadratic test as it is, not by the search.
TEST(ClusterVerdict, RootSearchWalksAtMostFourFirstSteps) {
  const NormalForm seventh = Polynomial({-1.0, 0, 0, 0, 0, 0, 0, 1.0});
  EXPECT_FALSE(SearchRootInDoubleDouble(seventh, Complex(2.5, 0.0), {}).has_value());
  const auto found = SearchRootInDoubleDouble(seventh, Complex(1.7, 0.0), {});
  ASSERT_TRUE(found.has_value());
  EXPECT_LT(std::abs(*found - 1.0), 1e-2);
  EXPECT_FALSE(SearchRootInDoubleDouble(seventh, Complex(1.0 + 1e-6, 0.0), {}).has_value());
}

}  // namespace
}  // namespace zormix
