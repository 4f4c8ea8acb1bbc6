#include "tracker/routes/parameter_homotopy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "model/parametric_eval.h"
#include "model/system_eval.h"
#include "zormix/parametric.h"

namespace zormix {
namespace {

// a^2 x^2 + a b y - 1 = 0, x y + (a - b^3) = 0.
ParametricSystem Family() {
  ParametricSystem f;
  f.n = 2;
  f.termCount = {3, 2};
  f.variableNames = {"x", "y"};
  f.parameterNames = {"a", "b"};
  const int terms[5][2] = {{2, 0}, {0, 1}, {0, 0}, {1, 1}, {0, 0}};
  f.exponents = ColMajorMatrix<std::int32_t>(2, 5);
  for (int p = 0; p < 5; ++p)
    for (int k = 0; k < 2; ++k) f.exponents(k, p) = terms[p][k];
  f.coefficientStart = {0, 1, 2, 3, 4, 6};
  const int powers[6][2] = {{2, 0}, {1, 1}, {0, 0}, {0, 0}, {0, 3}, {1, 0}};
  f.parameterExponents = ColMajorMatrix<std::int32_t>(2, 6);
  for (int c = 0; c < 6; ++c)
    for (int l = 0; l < 2; ++l) f.parameterExponents(l, c) = powers[c][l];
  f.coefficientValues = {{1.0, 0.0}, {1.0, 0.0}, {-1.0, 0.0}, {1.0, 0.0}, {-1.0, 0.0}, {1.0, 0.0}};
  return f;
}

// A family whose coefficients are nonlinear in the parameters, on its own term order (no
// normal form, no scaling), from p0 to p1 with a detour gamma off the real line.
struct Fixture {
  ParametricSystem family = Family();
  std::vector<Complex> p0{{0.3, -0.2}, {0.7, 0.4}};
  std::vector<Complex> p1{{-1.1, 0.5}, {0.2, -0.9}};
  PolySystem shape = EvaluateAllTerms(family, p0);
  std::vector<std::int32_t> maxDegree = MaxDegrees(shape.exponents);
  MonomialLayout layout{shape.n, shape.termCount, &shape.exponents, maxDegree};
  std::vector<std::int64_t> termOfFamily;
  std::vector<double> termScale;
  ParameterPath path;

  Fixture() {
    for (std::int64_t p = 0; p < family.termTotal(); ++p) {
      termOfFamily.push_back(p);
      termScale.push_back(1.0);
    }
    path = {&family, p0, p1, Complex(0.6, 0.8), termOfFamily, termScale, {}};
  }
};

struct Values {
  ColMajorMatrix<Complex> J{2, 2};
  std::vector<Complex> H = std::vector<Complex>(2), Ht = std::vector<Complex>(2);
};

// The end game evaluates at complex t between the tracker's real evaluations: on the real axis
// both agree, dH/dt is the derivative of H along complex t, and a complex evaluation leaves the
// coefficients cached for the real t untouched.
TEST(ParameterHomotopy, ComplexEvaluationMatchesTheRealOneAndItsDerivative) {
  Fixture f;
  ParameterHomotopy homotopy(f.layout, f.path);
  const Complex y[2] = {{0.4, -0.3}, {1.2, 0.5}};
  for (double t : {0.0, 0.37, 1.0}) {
    Values real, complex;
    homotopy.Evaluate(y, t, real.J, real.H.data(), real.Ht.data());
    homotopy.EvaluateComplex(y, Complex(t, 0.0), complex.J, complex.H.data(), complex.Ht.data());
    for (int i = 0; i < 2; ++i) {
      EXPECT_NEAR(std::abs(complex.H[i] - real.H[i]), 0.0, 1e-14 * (1.0 + std::abs(real.H[i])));
      EXPECT_NEAR(std::abs(complex.Ht[i] - real.Ht[i]), 0.0, 1e-14 * (1.0 + std::abs(real.Ht[i])));
      for (int k = 0; k < 2; ++k) EXPECT_NEAR(std::abs(complex.J(i, k) - real.J(i, k)), 0.0, 1e-14);
    }
  }
  // Central differences along the imaginary direction at a complex t.
  const Complex t(0.55, 0.12);
  const double h = 1e-5;
  Values at, above, below;
  homotopy.EvaluateComplex(y, t, at.J, at.H.data(), at.Ht.data());
  homotopy.EvaluateComplex(y, t + Complex(0.0, h), above.J, above.H.data(), above.Ht.data());
  homotopy.EvaluateComplex(y, t - Complex(0.0, h), below.J, below.H.data(), below.Ht.data());
  for (int i = 0; i < 2; ++i) {
    const Complex difference = (above.H[i] - below.H[i]) / Complex(0.0, 2.0 * h);
    EXPECT_NEAR(std::abs(difference - at.Ht[i]), 0.0, 1e-7 * (1.0 + std::abs(at.Ht[i])));
  }
  // Real, complex, real again at the same t: the second real evaluation is the first.
  Values first, second, between;
  homotopy.Evaluate(y, 0.8, first.J, first.H.data(), first.Ht.data());
  homotopy.EvaluateComplex(y, t, between.J, between.H.data(), between.Ht.data());
  homotopy.Evaluate(y, 0.8, second.J, second.H.data(), second.Ht.data());
  EXPECT_EQ(first.H, second.H);
  EXPECT_EQ(first.Ht, second.Ht);
  // At t = 1 the target member's own coefficients.
  PolySystem target = EvaluateAllTerms(f.family, f.p1);
  Values end;
  homotopy.EvaluateComplex(y, Complex(1.0, 0.0), end.J, end.H.data(), end.Ht.data());
  const SystemView view{target.n, target.termCount, &target.exponents, target.coefficients};
  ColMajorMatrix<Complex> J;
  std::vector<Complex> values;
  EvaluateSystem(view, f.maxDegree, y, J, values);
  for (int i = 0; i < 2; ++i) EXPECT_NEAR(std::abs(end.H[i] - values[i]), 0.0, 1e-13);
}

}  // namespace
}  // namespace zormix
