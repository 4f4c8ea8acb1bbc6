#include "base/newton.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <span>

#include "base/double_double.h"

namespace zormix {
namespace {

// Newton's correction for p(z) = (z - a)^m (z - b) in one unknown, in any scalar; a rule that
// converges when a correction falls below `accuracy` (after applying it) and refuses one that does
// not shrink by `contraction` (before applying it).
template <typename Scalar>
struct PowerRule {
  Scalar a, b;
  int m;
  double accuracy;
  double contraction;
  Scalar delta{};

  static double Abs(const std::complex<double>& z) { return std::abs(z); }
  static double Abs(const DdComplex& z) { return AbsDouble(z); }

  const Scalar* Correction(std::span<Scalar> z) {
    Scalar value = z[0] - b, slope = Scalar(1.0);
    for (int k = 0; k < m; ++k) {
      slope = slope * (z[0] - a) + value;  // (f g)' = f' g + f g' with f = z - a
      value = value * (z[0] - a);
    }
    if (Abs(slope) == 0.0) return nullptr;
    delta = value / slope;
    return &delta;
  }
  double Size(const Scalar* d, std::span<Scalar>) const { return Abs(*d); }
  NewtonVerdict BeforeApplying(const NewtonCorrection<double>& c, std::span<const Scalar>) const {
    return c.size > contraction * c.previous ? NewtonVerdict::kRejected : NewtonVerdict::kContinue;
  }
  NewtonVerdict AfterApplying(const NewtonCorrection<double>& c, std::span<const Scalar>) const {
    return c.size <= accuracy ? NewtonVerdict::kConverged : NewtonVerdict::kContinue;
  }
};

TEST(Newton, ConvergesQuadraticallyInDoubleAndDoubleDouble) {
  // A simple root at 3e5 (far from 1, so that relative and absolute sizes differ), from 1e-3 off.
  std::complex<double> z{3e5 + 3e2, 0.0};
  PowerRule<std::complex<double>> inDouble{3e5, -1.0, 1, 1e-10, 0.5};
  const NewtonResult<double> d = Newton(std::span(&z, 1), 20, inDouble);
  EXPECT_TRUE(d.converged());
  EXPECT_NEAR(z.real(), 3e5, 1e-10);
  EXPECT_EQ(d.iterations, d.corrections);
  EXPECT_LT(d.contraction, 1e-3);  // quadratic: the last ratio far below a linear one's

  // Double-double reaches an accuracy double cannot hold at this size (ulp(3e5) = 6e-11).
  DdComplex w(3e5 + 3e2);
  PowerRule<DdComplex> inDoubleDouble{DdComplex(3e5), DdComplex(-1.0), 1, 1e-20, 0.5};
  const NewtonResult<double> dd = Newton(std::span(&w, 1), 20, inDoubleDouble);
  EXPECT_TRUE(dd.converged());
  EXPECT_LT(AbsDouble(w - DdComplex(3e5)), 1e-20);
  EXPECT_GT(dd.iterations, d.iterations);
}

TEST(Newton, RecordTellsWhyItStopped) {
  // A double root: each correction is half the one before. A rule asking for quadratic
  // contraction refuses the second correction before applying it; one asking only for a
  // decrease runs into the iteration limit with a contraction of 1/2 (multiplicity 2).
  std::complex<double> z{1.5, 0.0};
  PowerRule<std::complex<double>> quadratic{1.0, -7.0, 2, 1e-14, 0.25};
  const NewtonResult<double> refused = Newton(std::span(&z, 1), 30, quadratic);
  EXPECT_EQ(refused.code, NewtonCode::kRejected);
  EXPECT_EQ(refused.iterations, 1);
  EXPECT_EQ(refused.corrections, 2);

  const std::complex<double> before = z = {1.5, 0.0};
  PowerRule<std::complex<double>> linear{1.0, -7.0, 2, 1e-14, 0.9};
  const NewtonResult<double> limited = Newton(std::span(&z, 1), 8, linear);
  EXPECT_EQ(limited.code, NewtonCode::kIterationLimit);
  EXPECT_EQ(limited.iterations, 8);
  EXPECT_NEAR(limited.contraction, 0.5, 0.02);
  EXPECT_LT(std::abs(z - 1.0), std::abs(before - 1.0) / 100.0);

  // At a critical point of p (here the double root itself) there is no correction.
  z = {1.0, 0.0};
  const NewtonResult<double> singular = Newton(std::span(&z, 1), 8, linear);
  EXPECT_EQ(singular.code, NewtonCode::kSingular);
  EXPECT_EQ(singular.iterations, 0);
  EXPECT_EQ(z, std::complex<double>(1.0, 0.0));
}

}  // namespace
}  // namespace zormix
