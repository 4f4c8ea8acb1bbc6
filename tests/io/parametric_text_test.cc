#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "model/parametric_eval.h"
#include "zormix/error.h"
#include "zormix/io.h"
#include "zormix/parametric.h"

namespace zormix {
namespace {

using ::testing::HasSubstr;

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

// Coefficients of the member, term by term, with the exponents of the variables.
std::vector<std::pair<std::vector<int>, Complex>> Terms(const PolySystem& s) {
  std::vector<std::pair<std::vector<int>, Complex>> terms;
  for (std::int64_t p = 0; p < s.termTotal(); ++p) {
    std::vector<int> e;
    for (int k = 0; k < s.n; ++k) e.push_back(s.exponents(k, p));
    terms.emplace_back(e, s.coefficients[p]);
  }
  return terms;
}

TEST(ParametricText, CoefficientsArePolynomialsInTheParameters) {
  // x*y appears three times with different parameter parts: one term whose coefficient is
  // a^2 - 2b + 1 + a; i*b gives a complex coefficient, (1.5, -2) a complex constant.
  const ParametricSystem family = ParseParametricText(
      "variables x, y;\nparameters a, b;\n(a^2 - 2*b)*x*y + x*y + a*x*y - 1;\n"
      "i*b*x^2 + (1.5, -2)*y - a*b;\n",
      "fam");
  ASSERT_EQ(family.n, 2);
  EXPECT_EQ(family.parameterNames, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(family.termCount, (std::vector<std::int32_t>{2, 3}));
  const std::vector<Complex> p = {Complex(3.0, 0.0), Complex(0.5, 0.0)};
  const auto terms = Terms(EvaluateParametric(family, p));
  ASSERT_EQ(terms.size(), 5u);
  EXPECT_EQ(terms[0].first, (std::vector<int>{1, 1}));
  EXPECT_EQ(terms[0].second, Complex(9.0 - 1.0 + 1.0 + 3.0, 0.0));
  EXPECT_EQ(terms[1].second, Complex(-1.0, 0.0));
  EXPECT_EQ(terms[2].second, Complex(0.0, 0.5));
  EXPECT_EQ(terms[3].second, Complex(1.5, -2.0));
  EXPECT_EQ(terms[4].first, (std::vector<int>{0, 0}));
  EXPECT_EQ(terms[4].second, Complex(-1.5, 0.0));
}

TEST(ParametricText, MembersDropVanishingTermsAndRefuseVanishingEquations) {
  const ParametricSystem family =
      ParseParametricText("parameters a\nx^2 + a*x - 2\n(a - 1)*y + y^2 - 3", "fam");
  ASSERT_EQ(family.n, 2);  // x and y, in order of appearance; a is no variable
  EXPECT_EQ(EvaluateParametric(family, std::vector<Complex>{1.0}).termTotal(), 5);
  EXPECT_EQ(EvaluateParametric(family, std::vector<Complex>{2.0}).termTotal(), 6);
  const ParametricSystem vanishing =
      ParseParametricText("parameters a;\nx + y - 1;\na*x*y - a;\n", "fam");
  EXPECT_THAT(ErrorOf([&] { EvaluateParametric(vanishing, std::vector<Complex>{0.0}); }),
              HasSubstr("identically zero"));
  EXPECT_THAT(ErrorOf([&] {
                EvaluateParametric(vanishing, std::vector<Complex>{1.0, 2.0});
              }),
              HasSubstr("expected 1 parameter values, found 2"));
}

TEST(ParametricText, ErrorsNameLineAndColumn) {
  EXPECT_THAT(ErrorOf([] { ParseParametricText("variables x, a;\nparameters a;\nx - a;", "f"); }),
              HasSubstr("f:2:12: 'a' is declared both as a parameter and as a variable"));
  EXPECT_THAT(ErrorOf([] { ParseParametricText("parameters a, b, a;\nx - a*b;", "f"); }),
              HasSubstr("f:1:18: parameter 'a' is declared twice"));
  EXPECT_THAT(ErrorOf([] { ParseParametricText("x^2 - 1;", "f"); }),
              HasSubstr("f:1:1: no parameters"));
  EXPECT_THAT(ErrorOf([] { ParseParametricText("parameters a;\nx - a;\nparameters b;", "f"); }),
              HasSubstr("f:3:1: 'parameters' declares parameters only before the equations"));
  // A plain solve needs numbers for the parameters.
  EXPECT_THAT(ErrorOf([] { ParsePolynomialText("parameters a;\nx - a;", "f"); }),
              HasSubstr("f:1:1: the system has parameters"));
}

TEST(ParametricText, DeclarationSemicolonsKeepTheLineStyle) {
  // Two declarations ending in ';', then one equation a line without ';'.
  const ParametricSystem family =
      ParseParametricText("variables x, y;\nparameters c;\nx^2 + y^2 - c\nx - y\n", "f");
  EXPECT_EQ(family.n, 2);
  EXPECT_EQ(family.termCount, (std::vector<std::int32_t>{3, 2}));
}

TEST(ParametricText, CoefficientsAlongALineAndTheirDerivative) {
  // Powers, products of parameters and a constant term; complex points far from 1.
  const ParametricSystem family = ParseParametricText(
      "parameters a, b;\n(a^3*b - 2*b^2 + 7)*x^2 + (a - 3i)*y - 1;\n(b^4 - a*b)*x*y + y^2 - a;\n",
      "fam");
  const std::vector<Complex> start = {Complex(0.3, -0.7), Complex(-0.4, 0.9)};
  const std::vector<Complex> direction = {Complex(250.0, 3.0), Complex(-40.0, 12.0)};
  const CoefficientsOnLine line = RestrictToLine(family, start, direction);
  const std::size_t m = static_cast<std::size_t>(family.termTotal());
  const Complex tau(0.6, 0.35), h(1e-6, 0.0);
  std::vector<Complex> c(m), dc(m), at(m), ahead(m), behind(m);
  line.Evaluate(tau, c.data(), dc.data());
  const auto pointAt = [&](Complex s) {
    return std::vector<Complex>{start[0] + s * direction[0], start[1] + s * direction[1]};
  };
  EvaluateCoefficients(family, pointAt(tau), at.data());
  EvaluateCoefficients(family, pointAt(tau + h), ahead.data());
  EvaluateCoefficients(family, pointAt(tau - h), behind.data());
  for (std::size_t p = 0; p < m; ++p) {
    EXPECT_LT(std::abs(c[p] - at[p]), 1e-12 * std::max(1.0, std::abs(at[p]))) << "term " << p;
    const Complex central = (ahead[p] - behind[p]) / (2.0 * h);
    EXPECT_LT(std::abs(dc[p] - central), 1e-6 * std::max(1.0, std::abs(dc[p]))) << "term " << p;
  }
}

}  // namespace
}  // namespace zormix
