#include "base/double_double.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zormix {
namespace {

// |a - b| in double-double, as a double.
double Gap(const DoubleDouble& a, const DoubleDouble& b) { return std::fabs((a - b).hi); }

TEST(DoubleDouble, ErrorFreeTransformationsKeepEveryBit) {
  // 1 + 2^-80 does not fit a double: the sum keeps the lost part exactly.
  const double tiny = std::ldexp(1.0, -80);
  const DoubleDouble sum = DoubleDouble(1.0) + DoubleDouble(tiny);
  EXPECT_EQ(sum.hi, 1.0);
  EXPECT_EQ(sum.lo, tiny);
  // (1 + 2^-30)^2 = 1 + 2^-29 + 2^-60: the last term is the product's rounding error.
  const double a = 1.0 + std::ldexp(1.0, -30);
  const DoubleDouble square = DoubleDouble(a) * DoubleDouble(a);
  EXPECT_EQ(square.hi, 1.0 + std::ldexp(1.0, -29));
  EXPECT_EQ(square.lo, std::ldexp(1.0, -60));
  // Subtraction cancels to the low part: (1 + 2^-80) - 1 = 2^-80, and with a sign.
  EXPECT_EQ((sum - DoubleDouble(1.0)).hi, tiny);
  EXPECT_EQ((DoubleDouble(1.0) - sum).hi, -tiny);
}

TEST(DoubleDouble, ArithmeticIsAccurateToThirtyDigits) {
  const DoubleDouble third = DoubleDouble(1.0) / DoubleDouble(3.0);
  EXPECT_LT(Gap(third * DoubleDouble(3.0), DoubleDouble(1.0)), 1e-31);
  EXPECT_NE(third.lo, 0.0);
  // Associativity holds to the double-double roundoff, where double loses 1e-16.
  const DoubleDouble a(0.1), b(1e15), c(-1e15);
  EXPECT_LT(Gap((a + b) + c, a + (b + c)), 1e-30);
  const DoubleDouble root2 = sqrt(DoubleDouble(2.0));
  EXPECT_LT(Gap(root2 * root2, DoubleDouble(2.0)), 4e-31);
  EXPECT_GT(root2.hi * root2.hi - 2.0, 1e-17);  // double alone is off by an ulp
  // Large and small operands: the relative accuracy does not depend on the scale.
  const DoubleDouble big = DoubleDouble(7e200) / DoubleDouble(3e-100);
  EXPECT_LT(
      std::fabs(((big * DoubleDouble(3e-100) - DoubleDouble(7e200)) / DoubleDouble(7e200)).hi),
      1e-31);
  EXPECT_EQ(sqrt(DoubleDouble(0.0)).hi, 0.0);
  EXPECT_EQ(abs(DoubleDouble(-3.0, -1e-20)).lo, 1e-20);
}

// a / b with b = 1 / y (a low part): the first two quotient digits leave an error of 1.3 u
// (-6.3e-32 relative); the third brings the quotient within u / 4 of the exact one, which
// quadruple precision (113 bits) holds.
TEST(DoubleDouble, QuotientIsAccurateToItsLastBits) {
  const DoubleDouble a(0x1.26045460f53b9p+0), b(0x1.0c40a2fccbfc8p-1, 0x1.fe56672a9b98p-55);
  const DoubleDouble q = a / b;
  const __float128 exact =
      (static_cast<__float128>(a.hi) + a.lo) / (static_cast<__float128>(b.hi) + b.lo);
  const __float128 error = (static_cast<__float128>(q.hi) + q.lo - exact) / exact;
  EXPECT_LT(std::fabs(static_cast<double>(error)), kDoubleDoubleRoundoff / 4);
}

TEST(DoubleDouble, ExponentialIsAccurateOverTheRangeOfThePowers) {
  // e = 2.718281828459045 + 1.4456468917292502e-16.
  const DoubleDouble e = exp(DoubleDouble(1.0));
  EXPECT_EQ(e.hi, 2.718281828459045);
  EXPECT_NEAR(e.lo, 1.4456468917292502e-16, 1e-31);
  for (double a : {-600.0, -37.25, -1e-3, 0.0, 0.3, 5.5, 300.0}) {
    const DoubleDouble product = exp(DoubleDouble(a)) * exp(DoubleDouble(-a));
    EXPECT_LT(std::fabs((product - DoubleDouble(1.0)).hi), 1e-30) << a;
  }
  EXPECT_EQ(exp(DoubleDouble(-800.0)).hi, 0.0);
}

TEST(DoubleDouble, ConvertsToAndFromLongDouble) {
  const long double third = 1.0L / 3.0L;
  const DoubleDouble wide(third);
  EXPECT_EQ(static_cast<long double>(wide), third);
  EXPECT_EQ(static_cast<double>(wide), static_cast<double>(third));
  EXPECT_TRUE(DoubleDouble(1.0, 1e-20) > DoubleDouble(1.0));
  EXPECT_TRUE(DoubleDouble(-2.0) < DoubleDouble(1.0));
}

TEST(DdComplex, ProductQuotientAndModulusAreAccurate) {
  const DdComplex a(DoubleDouble(1.0) / DoubleDouble(3.0), DoubleDouble(-2.0) / DoubleDouble(7.0));
  const DdComplex b(1e-150, 3e-150);  // |b|^2 underflows in double
  const DdComplex back = (a / b) * b;
  EXPECT_LT(std::fabs((back.re - a.re).hi), 1e-31);
  EXPECT_LT(std::fabs((back.im - a.im).hi), 1e-31);
  // (1 + 2i)(3 - i) = 5 + 5i; conj flips the imaginary part.
  const DdComplex p = DdComplex(1.0, 2.0) * conj(DdComplex(3.0, 1.0));
  EXPECT_EQ(static_cast<std::complex<double>>(p), std::complex<double>(5.0, 5.0));
  // |3e200 + 4e200 i| = 5e200 without overflow; |(1 + 1e-20) + 0i| keeps its low part.
  EXPECT_NEAR(abs(DdComplex(3e200, 4e200)).hi / 5e200, 1.0, 1e-15);
  EXPECT_NEAR(abs(DdComplex(DoubleDouble(1.0, 1e-20), 0.0)).lo, 1e-20, 1e-31);
  EXPECT_DOUBLE_EQ(AbsDouble(DdComplex(-3.0, 4.0)), 5.0);
}

}  // namespace
}  // namespace zormix
