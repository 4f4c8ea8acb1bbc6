#include "decompose/monodromy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "decompose/monodromy_breakup.h"
#include "decompose/trace_test.h"
#include "zormix/error.h"
#include "zormix/parametric.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

// The regular roots of a family's member, as columns.
ColMajorMatrix<Complex> RootsAt(const ParametricSystem& family, std::span<const Complex> p) {
  SolveOptions options;
  options.seed = 7;
  options.reportPath.clear();
  const SolveResult solved = SolveSystem(EvaluateParametric(family, p), options);
  std::vector<std::int64_t> regular;
  for (std::int64_t r = 0; r < solved.rootCount; ++r)
    if (solved.rootStatus[r] == RootStatus::kRegular) regular.push_back(r);
  ColMajorMatrix<Complex> roots(family.n, static_cast<std::int64_t>(regular.size()));
  for (std::size_t c = 0; c < regular.size(); ++c)
    std::copy_n(solved.roots.col(regular[c]), family.n, roots.col(static_cast<std::int64_t>(c)));
  return roots;
}

ColMajorMatrix<Complex> Columns(const ColMajorMatrix<Complex>& all,
                                const std::vector<std::int64_t>& which) {
  ColMajorMatrix<Complex> some(all.rows(), static_cast<std::int64_t>(which.size()));
  for (std::size_t c = 0; c < which.size(); ++c)
    std::copy_n(all.col(which[c]), all.rows(), some.col(static_cast<std::int64_t>(c)));
  return some;
}

// A twisted cubic (degree 3) cut by a plane whose constant is the parameter.
constexpr const char* kTwistedCubic = R"(variables x, y, z;
parameters c;
y - x^2;
z - x*y;
0.8*x - 1.1*y + 0.6*z + c;
)";

TEST(MonodromyTest, OnePointOfAnIrreducibleCurveReachesAllItsWitnessPoints) {
  const ParametricSystem family = ParseParametricText(kTwistedCubic, "cubic");
  const std::vector<Complex> base{Complex(0.3, -0.7)};
  const ColMajorMatrix<Complex> all = RootsAt(family, base);
  ASSERT_EQ(all.cols(), 3);
  MonodromyOptions options;
  options.seed = 1;
  const MonodromyResult found = RunMonodromy(family, base, Columns(all, {0}), options);
  EXPECT_EQ(found.points.cols(), 3);
  EXPECT_EQ(found.groupCount, 1);
  EXPECT_EQ(found.stop, MonodromyStop::kStable);
  // Every loop's map is injective.
  for (const MonodromyLoop& loop : found.loops) {
    std::set<std::int64_t> images;
    for (const std::int64_t j : loop.image)
      if (j >= 0) EXPECT_TRUE(images.insert(j).second);
  }
}

}  // namespace
}  // namespace zormix
