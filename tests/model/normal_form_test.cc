#include "model/normal_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "model/check_system.h"
#include "model/total_degree.h"
#include "support/systems.h"
#include "zormix/error.h"

namespace zormix {
namespace {

using testing::BuildSystem;
using testing::Equation;
using ::testing::HasSubstr;
using testing::Unit;

// Coefficient real parts label the terms, so the order of `coefficients` shows where each went.
std::vector<double> Labels(const PolySystem& s) {
  std::vector<double> labels;
  for (const Complex& c : s.coefficients) labels.push_back(c.real());
  return labels;
}

// An equation of `count` terms in one variable x^count .. x^1, labelled label+0.1, label+0.2, ...
Equation Labelled(int n, int count, double label) {
  Equation eq;
  for (int t = 0; t < count; ++t) eq.push_back({Unit(n, 0, count - t), label + 0.1 * (t + 1)});
  return eq;
}

TEST(NormalFormTest, EquationsSortByTermCountWithTheExchangeSortsOrder) {
  PolySystem s = BuildSystem({Labelled(3, 4, 1), Labelled(3, 2, 2), Labelled(3, 3, 3)});
  SortEquationsByTermCount(s);
  EXPECT_EQ(s.termCount, (std::vector<std::int32_t>{2, 3, 4}));
  EXPECT_EQ(Labels(s), (std::vector<double>{2.1, 2.2, 3.1, 3.2, 3.3, 1.1, 1.2, 1.3, 1.4}));
  EXPECT_EQ(s.exponents(0, 0), 2);  // the terms' exponents move with their coefficients

  // Equal counts are never swapped directly, yet (3, 3, 2) ends as equations (3, 2, 1).
  PolySystem t = BuildSystem({Labelled(3, 3, 1), Labelled(3, 3, 2), Labelled(3, 2, 3)});
  SortEquationsByTermCount(t);
  EXPECT_EQ(Labels(t), (std::vector<double>{3.1, 3.2, 2.1, 2.2, 2.3, 1.1, 1.2, 1.3}));
}

TEST(NormalFormTest, TermsSortDescendingWithTheConstantLast) {
  Equation eq = {{{1, 2}, 1.0}, {{2, 0}, 2.0}, {{0, 3}, 3.0}, {{0, 0}, 4.0}};
  PolySystem s = BuildSystem({eq, {{{1, 0}, 5.0}, {{0, 0}, 6.0}, {{0, 1}, 7.0}}});
  SortTermsDescending(s);
  EXPECT_EQ(Labels(s), (std::vector<double>{2, 1, 3, 4, 5, 7, 6}));
  EXPECT_EQ(s.exponents.storage(),
            (std::vector<std::int32_t>{2, 0, 1, 2, 0, 3, 0, 0, 1, 0, 0, 1, 0, 0}));
}

// Repeated monomials keep the selection sort's swap pattern, not a stable order.
TEST(NormalFormTest, RepeatedMonomialsFollowTheSelectionSort) {
  Equation eq = {{{1}, 1.0}, {{2}, 2.0}, {{1}, 3.0}, {{2}, 4.0}};
  PolySystem s = BuildSystem({eq});
  SortTermsDescending(s);
  EXPECT_EQ(Labels(s), (std::vector<double>{2, 4, 3, 1}));
}

// 70 variables: the mixed-radix key would need 2^70; the order must still come out right.
TEST(NormalFormTest, ManyVariablesSortWithoutOverflow) {
  const int n = 70;
  std::vector<Equation> eqs;
  Equation sum;
  for (int k = n - 1; k >= 0; --k) sum.push_back({Unit(n, k), double(k)});
  sum.push_back({std::vector<std::int32_t>(n, 0), -1.0});
  eqs.push_back(sum);
  for (int k = 1; k < n; ++k) eqs.push_back({{Unit(n, k), 1.0}, {Unit(n, 0), -1.0}});
  PolySystem s = BuildSystem(eqs);
  SortTermsDescending(s);
  for (int k = 0; k < n; ++k) EXPECT_EQ(s.coefficients[k], Complex(k)) << k;
  EXPECT_EQ(s.coefficients[n], Complex(-1.0));
  EXPECT_EQ(s.coefficients[n + 1], Complex(-1.0));  // x_0 before x_1
}

TEST(NormalFormTest, ConstantTermsAreAppendedOnlyWhereMissing) {
  NormalForm s{testing::CircleAndLine()};  // x^2 + y^2 - 1 has its constant, x - y has none
  s.rawCoefficients = {7.0, 8.0, 9.0, 10.0, 11.0};
  CompleteConstantTerms(s);
  EXPECT_EQ(s.scaled.termCount, (std::vector<std::int32_t>{3, 3}));
  EXPECT_EQ(s.constantAdded, (std::vector<std::int32_t>{0, 1}));
  EXPECT_EQ(s.firstTerm, (std::vector<std::int32_t>{0, 3}));
  EXPECT_EQ(s.lastTerm, (std::vector<std::int32_t>{2, 5}));
  EXPECT_EQ(Labels(s.scaled), (std::vector<double>{1, 1, -1, 1, -1, 0}));
  EXPECT_EQ(s.rawCoefficients, (std::vector<Complex>{7.0, 8.0, 9.0, 10.0, 11.0, 0.0}));
  EXPECT_EQ(s.scaled.exponents.cols(), 6);
  EXPECT_EQ(s.scaled.exponents(0, 5), 0);
  EXPECT_EQ(s.scaled.exponents(1, 5), 0);
  EXPECT_EQ(s.scaled.exponents(1, 4), 1);
}

TEST(NormalFormTest, SingleTermEquationLeavesTheSystemUnscaled) {
  // 1000 x^2 = 0 and 5 y - 3 x: the fit would scale, but one equation has a single term.
  const NormalForm s =
      BringToNormalForm(BuildSystem({{{{2, 0}, 1000.0}}, {{{0, 1}, 5.0}, {{1, 0}, -3.0}}}));
  EXPECT_EQ(s.scaleExponents, std::vector<double>(4, 0.0));
  EXPECT_EQ(s.scaled.coefficients, (std::vector<Complex>{1000.0, 0.0, -3.0, 5.0, 0.0}));
  EXPECT_EQ(s.scaled.coefficients, s.rawCoefficients);
}

TEST(NormalFormTest, NormalFormKeepsUnscaledCoefficientsAndAddsNothingToCompleteSystems) {
  const NormalForm s = BringToNormalForm(BuildSystem({{{{1}, 1000.0}, {{0}, -1.0}}}));
  EXPECT_EQ(s.scaled.exponents.cols(), 2);
  EXPECT_EQ(s.rawCoefficients, (std::vector<Complex>{1000.0, -1.0}));
  EXPECT_NEAR(s.scaled.coefficients[0].real(), 1.0, 1e-12);
  EXPECT_NEAR(s.scaled.coefficients[1].real(), -1.0, 1e-12);
}

TEST(NormalFormTest, MalformedSystemsAreRejected) {
  const PolySystem good = testing::CircleAndLine();
  EXPECT_NO_THROW(ValidateSystem(good, "system"));
  auto message = [](const PolySystem& s) -> std::string {
    try {
      ValidateSystem(s, "system");
    } catch (const Error& e) {
      return e.what();
    }
    return "(no error)";
  };
  PolySystem s = good;
  s.n = 0;
  EXPECT_THAT(message(s), HasSubstr("at least 1"));
  s = good;
  s.termCount = {3};
  EXPECT_THAT(message(s), HasSubstr("term counts"));
  s = good;
  s.termCount = {5, 0};
  EXPECT_THAT(message(s), HasSubstr("equation 2 must have at least 1 term"));
  s = good;
  s.termCount = {3, 3};
  EXPECT_THAT(message(s), HasSubstr("exponent matrix must be 2 x 6"));
  s = good;
  s.exponents(1, 4) = -1;
  EXPECT_THAT(message(s), HasSubstr("negative exponent -1 (term 5, variable 2)"));
  s = good;
  s.coefficients.pop_back();
  EXPECT_THAT(message(s), HasSubstr("expected 5 coefficients"));
  s = good;
  s.coefficients[2] = Complex(0.0, std::numeric_limits<double>::infinity());
  EXPECT_THAT(message(s), HasSubstr("coefficient of term 3 is not finite"));
  s = good;
  s.variableNames.pop_back();
  EXPECT_THAT(message(s), HasSubstr("expected 2 variable names"));
  s = good;
  s.variableNames[1] = PadVariableName("y\nz");
  EXPECT_THAT(message(s), HasSubstr("name of variable 2 holds the control character 10"));
}

// x^2 + y^2 - 1 = 0, x - y = 0 with coefficients zeroed: a zero equation, or a variable whose only
// terms have zero coefficients, leaves the solutions free along a direction.
TEST(NormalFormTest, SystemsWithoutIsolatedSolutionsAreRejected) {
  auto message = [](const PolySystem& s) -> std::string {
    try {
      ValidateSystem(s, "PS.num");
    } catch (const Error& e) {
      return e.what();
    }
    return "(no error)";
  };
  PolySystem s = testing::CircleAndLine();
  s.coefficients[3] = s.coefficients[4] = 0.0;
  EXPECT_EQ(message(s),
            "PS.num: equation 2 is identically zero (all its coefficients are 0), so the solutions "
            "are not isolated");
  s = testing::CircleAndLine();
  s.coefficients[1] = s.coefficients[4] = 0.0;  // 0 y^2 and 0 y: y is in no term that counts
  EXPECT_THAT(message(s), HasSubstr("variable 2 ('y') appears in no equation"));
}

TEST(NormalFormTest, BezoutNumberIsCheckedAgainstThePathLimit) {
  PolySystem s = testing::CircleAndLine();
  EXPECT_EQ(TotalDegrees(s), (std::vector<std::int32_t>{2, 1}));
  EXPECT_EQ(BezoutNumber({2, 1}), 2);
  EXPECT_EQ(BezoutNumber({46340, 46340}), 2147395600);
  EXPECT_EQ(BezoutNumber({0, 2147483647}), 0);
  try {
    BezoutNumber({65536, 32768});  // exactly 2^31
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("exceeds the 2147483647 paths"));
  }
  s.exponents(0, 0) = 2147483647;
  s.exponents(1, 0) = 1;  // exponent sum 2^31 in one term
  EXPECT_THROW(TotalDegrees(s), Error);
}

}  // namespace
}  // namespace zormix
