// The tropical consistency check of the verdicts "tends to infinity" (divergence_check.h).
#include "tracker/endgame/divergence_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace zormix {
namespace {

// A system given by its supports (exponent vectors per equation), all coefficients 1 unless
// `zeroColumn` names one that is exactly 0.
struct Supports {
  Supports(int n, const std::vector<std::vector<std::vector<std::int32_t>>>& equations,
           int zeroColumn = -1)
      : exponents(n, Columns(equations)) {
    std::int64_t column = 0;
    for (const auto& equation : equations) {
      termCount.push_back(static_cast<std::int32_t>(equation.size()));
      for (const auto& a : equation) {
        for (int j = 0; j < n; ++j) exponents(j, column) = a[j];
        coefficients.push_back(column == zeroColumn ? Complex(0.0, 0.0) : Complex(1.0, 0.5));
        ++column;
      }
    }
    view = {n, termCount, &exponents, coefficients};
  }
  static std::int64_t Columns(const std::vector<std::vector<std::vector<std::int32_t>>>& eqs) {
    std::int64_t count = 0;
    for (const auto& equation : eqs) count += static_cast<std::int64_t>(equation.size());
    return count;
  }
  ColMajorMatrix<std::int32_t> exponents;
  std::vector<std::int32_t> termCount;
  std::vector<Complex> coefficients;
  SystemView view;
};

Supports DenseUnivariate(int degree) {
  std::vector<std::vector<std::int32_t>> terms;
  for (int k = 0; k <= degree; ++k) terms.push_back({k});
  return Supports(1, {terms});
}

// In one unknown with a nonzero leading coefficient the term of highest degree dominates any
// divergence alone: refuted on both routes, for slow and fast estimates alike, even with the
// tolerance of tracker.valuation_error_share. The estimate at a root of condition 1e16 that fooled
// the end game (w = -0.13) is among them.
TEST(DivergenceCheck, NoDivergenceInOneUnknown) {
  const Supports wilkinson = DenseUnivariate(24);
  const std::vector<std::int32_t> startDegree{24};
  for (double w : {-0.128, -0.5, -1.0, -7.0}) {
    const std::vector<double> direction{w};
    EXPECT_FALSE(DivergenceDirectionPossible(wilkinson.view, {}, direction)) << w;
    EXPECT_FALSE(DivergenceDirectionPossible(wilkinson.view, startDegree, direction)) << w;
  }
  // Only an error as large as the valuation itself could hide the single dominant term.
  EXPECT_FALSE(DivergencePossible(wilkinson.view, {}, std::vector<double>{-1.0}, 0.99));
  EXPECT_TRUE(DivergencePossible(wilkinson.view, {}, std::vector<double>{-1.0}, 1.01));
  // A lone term balances nothing, whatever the error.
  EXPECT_FALSE(DivergencePossible(Supports(1, {{{2}}}).view, {}, std::vector<double>{-1.0}, 10.0));
}

// x - y + 1 = 0, x^2 - y^2 - 3 = 0: one finite root, one path to infinity along x ~ y ~ d^-1.
// The true direction passes even when estimated with errors of a fifth; a direction where one
// coordinate alone grows leaves x^2 alone as the dominant term and is refuted under a tolerance
// below the gap; a coordinate that vanishes (w = kLargestValuation) only removes terms.
TEST(DivergenceCheck, GenuineDivergenceWithEstimationError) {
  const Supports lines(2, {{{1, 0}, {0, 1}, {0, 0}}, {{2, 0}, {0, 2}, {0, 0}}});
  const std::vector<std::int32_t> startDegrees{1, 2};
  for (const std::vector<double>& w :
       std::vector<std::vector<double>>{{-1.0, -1.0}, {-0.8, -1.2}, {-1.2, -0.85}, {-0.3, -0.36}}) {
    EXPECT_TRUE(DivergenceDirectionPossible(lines.view, {}, w)) << w[0] << " " << w[1];
    EXPECT_TRUE(DivergenceDirectionPossible(lines.view, startDegrees, w)) << w[0] << " " << w[1];
  }
  EXPECT_FALSE(DivergencePossible(lines.view, {}, std::vector<double>{-1.0, 0.0}, 0.4));
  EXPECT_FALSE(
      DivergencePossible(lines.view, {}, std::vector<double>{-1.0, kLargestValuation}, 0.4));
  // One coordinate grows while the other shrinks: x y - 1 = 0, x y + y - 2 = 0 (terms of one
  // order: x y against the constant).
  const Supports hyperbola(2, {{{1, 1}, {0, 0}}, {{1, 1}, {0, 1}, {0, 0}}});
  EXPECT_TRUE(DivergenceDirectionPossible(hyperbola.view, {}, std::vector<double>{-1.1, 0.9}));
}

// An equation with a coefficient exactly 0 is left unchecked: the homotopy's coefficient of that
// term vanishes at the target to an order of its own, and may balance the others there
// (0 y^3 - 1 = 0 sends its paths to infinity as y ~ d^(-1/3)).
TEST(DivergenceCheck, EquationsWithAVanishingCoefficientAreNotChecked) {
  const Supports vanishingLead(1, {{{3}, {0}}}, 0);
  EXPECT_TRUE(DivergencePossible(vanishingLead.view, {}, std::vector<double>{-1.0 / 3.0}, 0.01));
  const Supports lead(1, {{{3}, {0}}});
  EXPECT_FALSE(DivergencePossible(lead.view, {}, std::vector<double>{-1.0 / 3.0}, 0.01));
}

}  // namespace
}  // namespace zormix
