// The divergence verdict of the end game on paths with known Puiseux exponents.
#include "tracker/endgame/end_game.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "support/one_unknown_homotopy.h"
#include "support/systems.h"
#include "support/track_path.h"
#include "tracker/endgame/principal_part.h"
#include "tracker/tracking.h"

namespace zormix {
namespace {

using testing::OneUnknownHomotopy;

// y^k d - 1 = 0 with d = -s the distance to the target s = 0: the path y = d^{-1/k} goes to
// infinity with valuation -1/k.
// With a shift c, (y - c)^k d - 1 = 0: y = d^{-1/k} + c, whose estimates
// v(d) = -1/k / (1 + c d^{1/k}) approach -1/k only like d^{1/k}.
class PoleHomotopy : public OneUnknownHomotopy {
 public:
  explicit PoleHomotopy(int k, double shift = 0.0) : k_(k), shift_(shift) {}
  void EvaluateComplex(const Complex* y, Complex s, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hs) override {
    const Complex z = y[0] - shift_;
    const Complex power = std::pow(z, k_ - 1);
    H[0] = power * z * -s - 1.0;
    J(0, 0) = static_cast<double>(k_) * power * -s;
    Hs[0] = -power * z;
  }

 private:
  int k_;
  double shift_;
};

// The same path on the total-degree route, whose parameter is t = 1 - d.
class TotalDegreePoleHomotopy : public PoleHomotopy {
 public:
  using PoleHomotopy::PoleHomotopy;
  void EvaluateComplex(const Complex* y, Complex t, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Ht) override {
    PoleHomotopy::EvaluateComplex(y, t - 1.0, J, H, Ht);
  }
};

// Tracks y = d^{-1/k} + shift from d = 1 and returns the state it stopped in.
PathState TrackPole(int k, const RouteConstants& route = kPolyhedralRoute, double shift = 0.0) {
  PoleHomotopy polyhedral(k, shift);
  TotalDegreePoleHomotopy totalDegree(k, shift);
  // The target 0 y^k - 1 = 0 has no root: a path stopped close to it polishes in vain.
  const PolySystem target = testing::BuildSystem({{{{k}, Complex(0.0)}, {{0}, Complex(-1.0)}}});
  Homotopy& homotopy =
      &route == &kPolyhedralRoute ? static_cast<Homotopy&>(polyhedral) : totalDegree;
  PathState st(1);
  const Complex start(1.0 + shift, 0.0);
  EXPECT_FALSE(
      testing::TrackWithFirstLimits(homotopy, route, target, &start, route.target - 1.0, st));
  return st;
}

// A pole (|y| = 1/d passes 1e4 at d = 1e-4) and a slow divergence that stays below 1e4 until
// d = 1e-20 are both given up as diverging, with the valuation that proved it and long before
// the step size could underflow.
TEST(EndGameValuation, PolesAndSlowDivergencesAreRecognisedWithTheirValuation) {
  for (int k : {1, 5}) {
    const PathState st = TrackPole(k);
    EXPECT_EQ(st.failure, PathFailure::kDiverged) << "k = " << k;
    EXPECT_NEAR(st.valuation, -1.0 / k, 0.01) << "k = " << k;
    EXPECT_GT(-st.s, 1e-9) << "k = " << k;
    EXPECT_EQ(StatusOfUnrecorded(st.failure), PathStatus::kDiverged);
  }
}

// On the total-degree route a pole is given up once beyond the route's divergence bound, long
// before the step could underflow; a slow divergence, which stays below the bound, keeps the
// verdict its valuations proved (it is tracked on, in case it turns to a root near the target).
TEST(EndGameValuation, TotalDegreePathsToInfinityEndWithTheirValuation) {
  for (int k : {1, 5}) {
    const PathState st = TrackPole(k, kTotalDegreeRoute);
    EXPECT_EQ(StatusOfUnrecorded(st.failure), PathStatus::kDiverged) << "k = " << k;
    EXPECT_NEAR(st.valuation, -1.0 / k, 0.02) << "k = " << k;
    if (k == 1) {
      EXPECT_GT(1.0 - st.s, 1e-6);
    } else {
      EXPECT_TRUE(st.divergenceDeferred);  // |y| = d^{-1/5} stays below the bound 1e4
    }
  }
}

// A path whose step underflowed is diverging when its estimates agree to 2 % over a factor 2 in
// the distance and max |y| grew like d^v in between (v = -1/4 here, so the growth test is
// relative).
TEST(EndGameValuation, UnderflowIsDivergenceOnlyWhenEstimatesAndSizesAgree) {
  auto verdict = [](ValuationSample runStart, ValuationSample latest,
                    ValuationSample reference = {}) {
    ValuationHistory history;
    history.runStart = runStart;
    history.latest = latest;
    history.reference = reference;
    return ProveDivergenceAfterUnderflow(history).has_value();
  };
  const double v = -0.25;
  const ValuationSample start{1e-2, v, 10.0};
  auto at = [v](double d, double exponent, double value) {
    return ValuationSample{d, value, 10.0 * std::pow(d / 1e-2, exponent)};
  };
  EXPECT_TRUE(verdict(start, at(1e-3, v, v)));
  EXPECT_FALSE(verdict(start, at(1e-3, -0.3, v)));      // sizes grow 20 % faster than d^v
  EXPECT_FALSE(verdict(start, at(1e-3, v, 1.05 * v)));  // estimates 5 % apart
  EXPECT_FALSE(verdict(start, at(0.7e-2, v, v)));       // too close to the first estimate
  EXPECT_FALSE(verdict({}, at(1e-3, v, v)));            // no run of negative estimates
  // The last span's estimate, converged further than the run's first one, is compared with.
  const ValuationSample early{1e-2, -0.3, 10.0};
  EXPECT_TRUE(verdict(early, at(1e-3, v, v), at(4e-3, v, v)));
  EXPECT_FALSE(verdict(early, at(1e-3, v, v), at(1.5e-3, v, v)));
  // A slow divergence whose extrapolated limit kept over two spans, with sizes that followed the
  // latest estimate since the span before the last.
  auto extrapolated = [&](int tightSpans, double exponent) {
    ValuationHistory history;
    history.runStart = early;
    history.earlier = at(4e-3, v, 1.2 * v);
    history.reference = at(1e-3, v, 1.1 * v);
    history.latest = at(0.8e-3, exponent, v);
    history.tightSpans = tightSpans;
    return ProveDivergenceAfterUnderflow(history).has_value();
  };
  EXPECT_TRUE(extrapolated(2, v));
  EXPECT_FALSE(extrapolated(1, -0.3));
  EXPECT_FALSE(extrapolated(2, -0.3));
  // Sizes that grew like d^v over both of the last two spans prove nothing without a kept limit
  // this far from the target (d = 8e-4) and this small (|y| = 19).
  EXPECT_FALSE(extrapolated(0, v));
}

// The growth of max |y| over the last two spans, with estimates that still drift: steady growth
// (stewgou40's v = -1/3 paths lost at d = 2e-8) proves divergence, growth that slows down (a path
// turning towards a large root, cohn3's paths lost near d = 1e-6) does not, nor do spans too short
// to tell, nor a latest estimate the sizes do not follow.
TEST(EndGameValuation, UnderflowAfterSteadyGrowthOverTwoSpansIsDivergence) {
  auto verdict = [](ValuationSample earlier, ValuationSample reference, ValuationSample latest,
                    double limit = 0.0) {
    ValuationHistory history;
    history.limit = limit;
    history.runStart = {9e-3, -1.25, 7.0};  // estimates far from the latest
    history.earlier = earlier;
    history.reference = reference;
    history.latest = latest;
    return ProveDivergenceAfterUnderflow(history).has_value();
  };
  const ValuationSample earlier{1.4e-7, -0.3838, 284.6};
  const ValuationSample reference{3.51e-8, -0.3711, 452.2};
  EXPECT_TRUE(verdict(earlier, reference, {2.19e-8, -0.3677, 533.2}));
  EXPECT_FALSE(verdict(earlier, reference, {2.19e-8, -0.45, 533.2}));  // sizes below d^v
  // The same growth far from the target, or at sizes a root may have (a path lost on its way to a
  // root grows steadily for a while).
  auto scaled = [](ValuationSample sample, double distance, double norm) {
    return ValuationSample{sample.distance * distance, sample.value, sample.norm * norm};
  };
  const ValuationSample latest{2.19e-8, -0.3677, 533.2};
  EXPECT_FALSE(
      verdict(scaled(earlier, 1e3, 1.0), scaled(reference, 1e3, 1.0), scaled(latest, 1e3, 1.0)));
  EXPECT_FALSE(
      verdict(scaled(earlier, 1.0, 0.1), scaled(reference, 1.0, 0.1), scaled(latest, 1.0, 0.1)));
  // Estimates still drifting (-0.386, -0.372, -0.365) while the sizes grow like d^{-0.325}: the
  // extrapolated limit -0.344 is what they follow.
  const ValuationSample drifting[3] = {
      {1.21e-7, -0.3859, 371.3}, {3.02e-8, -0.3716, 581.9}, {1.20e-8, -0.3646, 787.0}};
  EXPECT_TRUE(verdict(drifting[0], drifting[1], drifting[2], -0.3437));
  EXPECT_FALSE(verdict(drifting[0], drifting[1], drifting[2]));
  EXPECT_FALSE(verdict(drifting[0], drifting[1], drifting[2], -0.40));
  EXPECT_FALSE(verdict(earlier, reference, {4.0e-8, -0.3677, 433.0}));  // 3.5 times closer only
  EXPECT_FALSE(verdict({1.24e-5, -0.242, 16.48}, {3.05e-6, -0.2013, 22.52},
                       {8.59e-7, -0.179, 28.59}));  // exponents -0.22, then -0.19
  EXPECT_FALSE(verdict({1.24e-5, -0.242, 16.48}, {3.05e-6, -0.2013, 16.48},
                       {8.59e-7, -0.179, 16.48}));  // no growth at all
}

// cyclic-9's paths to infinity with v = -1/6 (measured samples: d, estimate, max |y|): the step
// underflows at |y| = 85, where the Jacobian's condition nears 1e14 and the estimate at the last
// point is 5 % off. The last two spans' estimates, or sizes growing at one rate over three spans,
// prove the divergence; a growth exponent that shrinks by a fifth a span (a path converging to a
// large point, winding number up to 6), or the same growth far from the target, does not.
TEST(EndGameValuation, UnderflowAtAnIllConditionedPoleIsDivergence) {
  const ValuationSample oldest{8.78e-8, -0.1584, 46.5};
  const ValuationSample earlier{2.20e-8, -0.1641, 58.1};
  const ValuationSample reference{5.49e-9, -0.1626, 72.6};
  const ValuationSample latest{2.06e-9, -0.1548, 85.0};
  auto verdict = [&](ValuationSample first, ValuationSample second, ValuationSample third) {
    ValuationHistory history;
    history.runStart = {1e-2, -0.08, 12.7};
    history.oldest = first;
    history.earlier = second;
    history.reference = third;
    history.latest = latest;
    return ProveDivergenceAfterUnderflow(history).has_value();
  };
  EXPECT_TRUE(verdict({}, earlier, reference));  // the last two spans' estimates agree
  ValuationSample scattered = reference;         // ... and where they scatter by 3 %, the sizes
  scattered.value = -0.1690;
  EXPECT_FALSE(verdict({}, earlier, scattered));
  EXPECT_TRUE(verdict(oldest, earlier, scattered));
  ValuationSample slowing = oldest;  // exponent -0.20, then -0.16
  slowing.norm = 58.1 * std::pow(4.0, -0.20);
  EXPECT_FALSE(verdict(slowing, earlier, scattered));
  ValuationSample farOut = oldest;  // the three spans must lie within 1e-6 of the target
  farOut.distance = 2e-6;
  farOut.norm = 58.1 * std::pow(2e-6 / 2.2e-8, -0.1605);
  EXPECT_FALSE(verdict(farOut, earlier, scattered));
  ValuationHistory stalled;  // grew at one rate up to the last span, not since
  stalled.oldest = oldest;
  stalled.earlier = earlier;
  stalled.reference = scattered;
  stalled.latest = {2.06e-9, -0.1548, 72.6};
  EXPECT_FALSE(ProveDivergenceAfterUnderflow(stalled));
  ValuationSample estimateApart = scattered;  // the estimate must follow the sizes too
  estimateApart.value = -0.19;
  EXPECT_FALSE(verdict(oldest, earlier, estimateApart));
}

// A slow divergence whose estimates drift by several percent a span (v = -1/3 approached like
// d^{1/3}, as on reimer5's and stewgou40's paths, whose steps underflow near d = 1e-8) is proved
// by the extrapolated limit of its estimates long before, and with that limit as its valuation.
TEST(EndGameValuation, DriftingSlowDivergenceIsProvedByItsExtrapolatedLimit) {
  const PathState st = TrackPole(3, kPolyhedralRoute, 5.0);
  EXPECT_EQ(st.failure, PathFailure::kDiverged);
  EXPECT_NEAR(st.valuation, -1.0 / 3.0, 0.002);
  EXPECT_GT(-st.s, 1e-8);
}

// Estimates that turn non-negative end the run: what was gathered before says nothing about
// the path from there on.
TEST(EndGameValuation, NonNegativeEstimateForgetsTheRun) {
  PoleHomotopy pole(1, 2.0);  // the estimate at y is -(y - 2) / y
  const PolySystem target = testing::BuildSystem({{{{1}, Complex(1.0)}}});
  const std::vector<std::int32_t> maxDegree = MaxDegrees(target.exponents);
  PathContext ctx;
  ctx.homotopy = &pole;
  ctx.target = {target.n, target.termCount, &target.exponents, target.coefficients};
  ctx.maxDegree = maxDegree;
  // Estimates 1 and -0.04: the latter is negative, but too close to 0 to say "to infinity".
  for (const double y : {1.0, 2.0 / 1.04}) {
    PathState st(1);
    st.s = -1e-3;
    st.y[0] = Complex(y, 0.0);
    pole.Evaluate(st.y.data(), st.s, st.jacobian, st.residual.data(),
                  st.parameterDerivative.data());
    const ValuationSample old{5e-3, -0.5, 3.0};
    st.valuations.reference = old;
    st.valuations.earlier = old;
    st.valuations.runStart = old;
    st.valuations.limit = -0.5;
    st.valuations.tightSpans = 3;
    WatchEndGame(st, ctx);
    EXPECT_EQ(st.valuations.reference.distance, 0.0) << "y = " << y;
    EXPECT_EQ(st.valuations.earlier.distance, 0.0) << "y = " << y;
    EXPECT_EQ(st.valuations.runStart.distance, 0.0) << "y = " << y;
    EXPECT_EQ(st.valuations.limit, 0.0) << "y = " << y;
    EXPECT_EQ(st.valuations.tightSpans, 0) << "y = " << y;
    EXPECT_FALSE(st.failed()) << "y = " << y;
  }
}

// y1 = 1e-3 d^{-1/2} grows with a stable estimate -1/2 while max |y| is y2 = 10: on the
// total-degree route, where paths that turn towards a large root look the same for a while, no
// verdict before the sizes themselves grow like d^{-1/2} (y1 passes 10 at d = 1e-8).
class HiddenPoleHomotopy : public testing::ComplexParameterHomotopy {
 public:
  int n() const override { return 2; }
  void EvaluateComplex(const Complex* y, Complex t, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Ht) override {
    const Complex d = 1.0 - t;
    H[0] = y[0] * y[0] * d - 1e-6;
    H[1] = y[1] - 10.0;
    J(0, 0) = 2.0 * y[0] * d;
    J(0, 1) = 0.0;
    J(1, 0) = 0.0;
    J(1, 1) = 1.0;
    Ht[0] = -y[0] * y[0];
    Ht[1] = 0.0;
  }
};

TEST(EndGameValuation, TotalDegreeVerdictWaitsForTheSizesToFollow) {
  HiddenPoleHomotopy homotopy;
  const PolySystem target =
      testing::BuildSystem({{{{2, 0}, Complex(0.0)}, {{0, 0}, Complex(-1e-6)}},
                            {{{0, 1}, Complex(1.0)}, {{0, 0}, Complex(-10.0)}}});
  const std::vector<std::int32_t> maxDegree = MaxDegrees(target.exponents);
  PathContext ctx;
  ctx.homotopy = &homotopy;
  ctx.route = &kTotalDegreeRoute;
  ctx.target = {target.n, target.termCount, &target.exponents, target.coefficients};
  ctx.maxDegree = maxDegree;
  PathState st(2);
  const Complex start[2] = {Complex(1e-3, 0.0), Complex(10.0, 0.0)};
  std::int64_t blowUps = 0;
  EXPECT_FALSE(TrackPath(st, ctx, start, 0.0, blowUps));
  ASSERT_TRUE(st.failed());
  if (st.failure == PathFailure::kDiverged) {
    EXPECT_LT(1.0 - st.s, 1e-8);
    EXPECT_NEAR(st.valuation, -0.5, 0.02);
  }
}

// The singularity test scales with the system (coefficients near 1), not with the Jacobian alone.
TEST(EndGameValuation, PivotTestSeesSmallAndUnbalancedJacobians) {
  ColMajorMatrix<Complex> J(2, 2), work(2, 2);
  J(0, 0) = 1e-9;
  J(1, 1) = 2e-9;  // (x-1)^5 and (y-2)^3 near their root: all derivatives tiny
  EXPECT_TRUE(LooksSingular(J, work));
  J(0, 0) = 1e4;
  J(1, 1) = 1e-5;  // cond 1e9
  EXPECT_TRUE(LooksSingular(J, work));
  J(1, 1) = 1e-3;  // cond 1e7
  EXPECT_FALSE(LooksSingular(J, work));
  J(0, 0) = 0.5;
  J(1, 1) = 3e-8;  // cond 1.7e7
  EXPECT_FALSE(LooksSingular(J, work));
}

// Tracks one path of `homotopy` from `start` at p = p0 to the route's target, with the first
// tracking's limits and a target system of one equation per coordinate, c_j y_j - 1 = 0.
bool TrackToTarget(Homotopy& homotopy, const RouteConstants& route, std::vector<Complex> start,
                   double p0, const std::vector<double>& targetCoefficients, PathState& st) {
  const int n = homotopy.n();
  std::vector<testing::Equation> equations;
  for (int j = 0; j < n; ++j)
    equations.push_back({{testing::Unit(n, j), Complex(targetCoefficients[j])},
                         {std::vector<std::int32_t>(n, 0), Complex(-1.0)}});
  const PolySystem target = testing::BuildSystem(equations);
  return testing::TrackWithFirstLimits(homotopy, route, target, start.data(), p0, st);
}

// y_0 (d + e) = 1 with d = 1 - t, and y_j = 1 for the other coordinates: on the total-degree
// route, y_0 = 1 / (d + e) grows like a pole (estimates -d / (d + e), near -1) until d ~ e, then
// turns to the root 1/e. Passing |y| = 1e4 at d ~ 10 e its sizes still grow about as the latest
// estimate says, while estimates a span apart differ by 7 %.
class LargeRootHomotopy : public testing::ComplexParameterHomotopy {
 public:
  LargeRootHomotopy(int n, double e) : n_(n), e_(e) {}
  int n() const override { return n_; }
  void EvaluateComplex(const Complex* y, Complex t, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Ht) override {
    for (int i = 0; i < n_; ++i)
      for (int j = 0; j < n_; ++j) J(i, j) = 0.0;
    H[0] = y[0] * (1.0 - t + e_) - 1.0;
    J(0, 0) = 1.0 - t + e_;
    Ht[0] = -y[0];
    for (int j = 1; j < n_; ++j) {
      H[j] = y[j] - 1.0;
      J(j, j) = 1.0;
      Ht[j] = 0.0;
    }
  }

 private:
  int n_;
  double e_;
};

// A root below the total-degree route's divergence bound (1e4 n) but beyond |y| = 1e4: the path
// reaches it. That the sizes follow the estimates is no proof of a pole there; only estimates that
// agree (a pole's, or a slow divergence's over several spans) are.
TEST(EndGameValuation, TotalDegreePathToALargeRootIsTrackedToIt) {
  for (const auto& [n, root] :
       {std::pair{16, 1.28e5}, std::pair{16, 1.44e5}, std::pair{20, 1.6e5}}) {
    SCOPED_TRACE(::testing::Message() << "n " << n << " root " << root);
    LargeRootHomotopy homotopy(n, 1.0 / root);
    std::vector<Complex> start(n, 1.0);
    start[0] = 1.0 / (1.0 + 1.0 / root);
    std::vector<double> coefficients(n, 1.0);
    coefficients[0] = 1.0 / root;
    PathState st(n);
    ASSERT_TRUE(TrackToTarget(homotopy, kTotalDegreeRoute, start, 0.0, coefficients, st));
    EXPECT_FALSE(st.divergenceDeferred);
    EXPECT_NEAR(std::abs(st.y[0]), root, 1e-6 * root);
  }
}

// y (1 + (d / delta)^a) = 1 with d = -s on the polyhedral route: the path converges to the root
// y = 1, but slowly, with estimates -a z / (1 + z), z = (d / delta)^a, that stay below -0.05 for
// decades of d and drift by 2 to 5 % a span. No verdict "to infinity": a slow divergence must keep
// its estimate (or their extrapolated limit) far tighter than that over several spans.
class SlowRootHomotopy : public OneUnknownHomotopy {
 public:
  SlowRootHomotopy(double a, double delta) : a_(a), delta_(delta) {}
  void EvaluateComplex(const Complex* y, Complex s, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hs) override {
    const Complex z = std::pow(-s / delta_, a_);
    H[0] = y[0] * (1.0 + z) - 1.0;
    J(0, 0) = 1.0 + z;
    Hs[0] = y[0] * a_ * z / s;
  }

 private:
  double a_, delta_;
};

TEST(EndGameValuation, SlowlyConvergingPathIsNoSlowDivergence) {
  // z = z0 at d = 1e-2, where the estimates begin.
  for (const auto& [a, z0] : {std::pair{0.10, 5.0}, std::pair{0.12, 8.0}, std::pair{0.15, 8.0}}) {
    SCOPED_TRACE(::testing::Message() << "a " << a << " z0 " << z0);
    const double delta = 1e-2 * std::pow(z0, -1.0 / a);
    SlowRootHomotopy homotopy(a, delta);
    PathState st(1);
    ASSERT_TRUE(TrackToTarget(homotopy, kPolyhedralRoute, {1.0 / (1.0 + std::pow(1.0 / delta, a))},
                              -1.0, {1.0}, st))
        << "stopped at s = " << st.s << " with valuation " << st.valuation;
    EXPECT_NEAR(std::abs(st.y[0] - 1.0), 0.0, 1e-8);
  }
}

}  // namespace
}  // namespace zormix

namespace zormix {
namespace {

// y - 1 = c w with w = d^{1/m} (converging) or d^{-1/m} (diverging), d = -s: w^m - d = 0, or
// w^m d - 1 = 0. With m beyond the end game's winding bound its loops never close.
class RootPowerHomotopy : public OneUnknownHomotopy {
 public:
  RootPowerHomotopy(int m, double c, bool diverging) : m_(m), c_(c), diverging_(diverging) {}
  void EvaluateComplex(const Complex* y, Complex s, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hs) override {
    ++evaluations;
    const Complex w = (y[0] - 1.0) / c_;  // (w^m - d or w^m d - 1)
    const Complex power = std::pow(w, m_ - 1);
    if (diverging_) {
      H[0] = power * w * -s - 1.0;
      J(0, 0) = static_cast<double>(m_) * power * -s / c_;
      Hs[0] = -power * w;
    } else {
      H[0] = power * w + s;
      J(0, 0) = static_cast<double>(m_) * power / c_;
      Hs[0] = 1.0;
    }
  }

  int evaluations = 0;

 private:
  int m_;
  double c_;
  bool diverging_;
};

// Runs the Cauchy end game from the path's point at d = 1e-3, moved off the path by `startError`
// (as a tracker's tolerance leaves it); true when it gave an end point. `evaluations` (if given)
// receives the number of the homotopy's evaluations.
bool EndGameFromPower(int m, double c, bool diverging, PathState& st, StopRequest* stop = nullptr,
                      int* evaluations = nullptr, double startError = 0.0) {
  RootPowerHomotopy homotopy(m, c, diverging);
  const testing::UnitRootTarget unitRoot;
  PathContext ctx = unitRoot.Context(homotopy);
  ctx.stop = stop;
  const double d = 1e-3;
  const double exponent = diverging ? -1.0 / m : 1.0 / m;
  st.endGameStart = {Complex(1.0 + c * std::pow(d, exponent) + startError, 0.0)};
  st.endGameStartAt = -d;
  st.hasEndGameStart = true;
  st.y = st.endGameStart;
  const bool found = RunCauchyEndGame(st, ctx);
  if (evaluations != nullptr) *evaluations = homotopy.evaluations;
  return found;
}

// Winding numbers beyond kEndGame.maxWindingNumber: the points at the radii before converge by
// 10^{-1/m} a radius, which raises the loops allowed at the next radii, and the loops close with
// the winding number and Cauchy's mean as the end point, however slowly the path converges (m = 60:
// 0.962 a radius) and however far it still is from its end (c = 1: 0.4 at d = 1e-8). A path to
// infinity gives no end point. A cycle within the bound keeps the plain step budget.
TEST(EndGameConvergence, SlowCyclesCloseBeyondTheUsualBound) {
  for (const auto& [m, c] : {std::pair{20, 1e-5}, std::pair{60, 1e-5}, std::pair{20, 1.0}}) {
    PathState st(1);
    ASSERT_TRUE(EndGameFromPower(m, c, false, st)) << m << " " << c;
    EXPECT_NEAR(std::abs(st.y[0] - 1.0), 0.0, 1e-12) << m << " " << c;
    EXPECT_EQ(st.windingNumber, m) << c;
  }
  PathState diverging(1);
  EXPECT_FALSE(EndGameFromPower(20, 1e-5, true, diverging));
  PathState usual(1);
  ASSERT_TRUE(EndGameFromPower(kEndGame.maxWindingNumber - 1, 1e-5, false, usual));
  EXPECT_LE(usual.endGameSteps, kEndGame.stepBudget.value());
}

// A start 1e-5 off the path of a double root (cyclic-8's paths to its positive-dimensional sets
// start so far off) is put on it first: its loops close at the first radius, two loops each, and
// the second radius decides. Loops from the point as it was come back to the path's own point
// instead, 1e-5 away, and never close there: four loops in vain, and a third radius.
TEST(EndGameConvergence, LoopsStartOnThePathFromAPointTheTrackerLeftOffIt) {
  PathState onPath(1), offPath(1);
  ASSERT_TRUE(EndGameFromPower(2, 0.5, false, onPath));
  ASSERT_TRUE(EndGameFromPower(2, 0.5, false, offPath, nullptr, nullptr, 1e-5));
  for (const PathState* st : {&onPath, &offPath}) {
    EXPECT_EQ(st->windingNumber, 2);
    EXPECT_NEAR(std::abs(st->y[0] - 1.0), 0.0, 1e-12);
    // Two radii of two loops of 16 samples, and the walk from one to the other.
    EXPECT_LE(st->endGameSteps, 2 * 2 * kEndGame.samplesPerLoop + 8);
  }
  // The second radius is walked to from the same point either way: the same end point, bit for bit.
  EXPECT_EQ(onPath.y[0], offPath.y[0]);
}

// Loops that never close are the longest end game (16 loops at each radius): a stop asked before
// it is heard at the first sample, not after thousands of steps.
TEST(EndGameConvergence, AStopIsHeardInTheLoops) {
  PathState whole(1);
  EndGameFromPower(20, 1e-5, false, whole);
  const std::function<bool()> interrupted = [] { return true; };
  StopRequest stop;
  stop.Watch(&interrupted);
  ASSERT_TRUE(stop.Ask());
  PathState stopped(1);
  EXPECT_FALSE(EndGameFromPower(20, 1e-5, false, stopped, &stop));
  EXPECT_GT(whole.endGameSteps, 100);
  EXPECT_LE(stopped.endGameSteps, 2);
}

}  // namespace
}  // namespace zormix

namespace zormix {
namespace {

// The samples of a loop are predicted by the Hermite cubic through the last two points and
// corrected until quadratic convergence puts the next correction below the accuracy, the next
// step's tangent taken from the last correction's evaluation: on a triple root about two
// evaluations a step (an Euler prediction with a fresh tangent costs five), and the end point as
// accurate as ever.
TEST(EndGameConvergence, LoopStepsCostAboutTwoEvaluations) {
  PathState st(1);
  int evaluations = 0;
  EXPECT_TRUE(EndGameFromPower(3, 0.5, false, st, nullptr, &evaluations));
  EXPECT_EQ(st.windingNumber, 3);
  EXPECT_NEAR(std::abs(st.y[0] - 1.0), 0.0, 1e-12);
  EXPECT_GT(st.endGameSteps, 90);
  EXPECT_LE(evaluations, 2.2 * st.endGameSteps);
}

}  // namespace
}  // namespace zormix

namespace zormix {
namespace {

// Samples of y(s) = sum_q c_q s^q, s = d^{1/m}, on `winding` loops of radius r: sample k at
// d = r e^{i tau_k}, tau_k = 2 pi k / perLoop, s = r^{1/m} e^{i tau_k / m}.
LoopSamples SampledLoops(const std::function<Complex(Complex)>& y, double radius, int winding,
                         int m) {
  LoopSamples loops{radius, winding, static_cast<int>(kEndGame.samplesPerLoop.value()), 1, {}};
  for (int k = 0; k < loops.count(); ++k) {
    const double tau = 2.0 * std::numbers::pi * k / loops.perLoop;
    loops.values.push_back(y(std::pow(radius, 1.0 / m) * std::polar(1.0, tau / m)));
  }
  return loops;
}

// The principal part read off two loops: x = 2 s^-2 + 5 s^-1 + 1 + s with s = d^{1/12} (the
// shape of cohn3's coordinate x along its curve, valuation -1/6, whose estimates d x' / x drift by
// the factor (2 + 2.5 s) / (1 + 2.5 s) + ...) is proved a pole of valuation -2/12 from radii 1e-4
// and 1e-5. A large finite end (1e4 (1 + s)), the same with rounding noise on every sample, loops
// that did not close at one winding number, and a negative power too small to tell from rounding
// prove nothing.
TEST(EndGamePrincipalPart, StableNegativePowersProveAPoleAndNothingElseDoes) {
  const int m = 12;
  auto pole = [](Complex s) { return 2.0 / (s * s) + 5.0 / s + 1.0 + s; };
  EXPECT_NEAR(std::abs(PrincipalCoefficient(SampledLoops(pole, 1e-4, m, m), 0, 2) - 2.0), 0.0,
              1e-12);
  EXPECT_NEAR(std::abs(PrincipalCoefficient(SampledLoops(pole, 1e-5, m, m), 0, 1) - 5.0), 0.0,
              1e-12);
  EXPECT_DOUBLE_EQ(
      ProvenPoleValuation(SampledLoops(pole, 1e-4, m, m), SampledLoops(pole, 1e-5, m, m)),
      -2.0 / 12.0);
  // Same order on a circle of larger |s|: the valuation is -1/m, not -p/(samples).
  auto simple = [](Complex s) { return 3.0 / s + 7.0; };
  EXPECT_DOUBLE_EQ(
      ProvenPoleValuation(SampledLoops(simple, 1e-2, 4, 4), SampledLoops(simple, 1e-3, 4, 4)),
      -0.25);
  auto large = [](Complex s) { return 1e4 * (1.0 + s); };
  EXPECT_EQ(ProvenPoleValuation(SampledLoops(large, 1e-4, m, m), SampledLoops(large, 1e-5, m, m)),
            0.0);
  int sample = 0;  // rounding-like noise of relative size 1e-12, a different value per sample
  auto noisy = [&](Complex s) {
    ++sample;
    return large(s) *
           (1.0 + 1e-12 * Complex(std::sin(12.9898 * sample), std::cos(78.233 * sample)));
  };
  EXPECT_EQ(ProvenPoleValuation(SampledLoops(noisy, 1e-4, m, m), SampledLoops(noisy, 1e-5, m, m)),
            0.0);
  EXPECT_EQ(
      ProvenPoleValuation(SampledLoops(pole, 1e-4, m, m), SampledLoops(pole, 1e-5, 2 * m, 2 * m)),
      0.0);
  auto faint = [](Complex s) { return 1.0 + 1e-3 / s; };
  EXPECT_EQ(ProvenPoleValuation(SampledLoops(faint, 1e-4, m, m), SampledLoops(faint, 1e-5, m, m)),
            0.0);
  // Coefficients 1 % apart on two radii belong to no one series (loops slipped onto another
  // sheet); nor do three radii whose outer pair proves nothing.
  auto shifted = [&pole](Complex s) { return 1.01 * pole(s); };
  EXPECT_EQ(ProvenPoleValuation(SampledLoops(shifted, 1e-4, m, m), SampledLoops(pole, 1e-5, m, m)),
            0.0);
  EXPECT_DOUBLE_EQ(
      ProvenPoleValuation(SampledLoops(pole, 1e-3, m, m), SampledLoops(pole, 1e-4, m, m),
                          SampledLoops(pole, 1e-5, m, m)),
      -2.0 / 12.0);
  EXPECT_EQ(ProvenPoleValuation(SampledLoops(shifted, 1e-3, m, m), SampledLoops(pole, 1e-4, m, m),
                                SampledLoops(pole, 1e-5, m, m)),
            0.0);
}

// A path along a curve of the target to infinity, as slowly and as ill-conditioned as cohn3's:
// u^12 = d, x u^2 = 1 + 3 u (x = u^-2 + 3 u^-1, valuation -1/6 approached like d^{1/12}; the
// Jacobian's condition grows like 1/d), or with `finite` x = 1e4 (1 + 3 u), a large end point
// approached as slowly. d = target - p on either route.
class SlowCurveHomotopy : public testing::ComplexParameterHomotopy {
 public:
  SlowCurveHomotopy(double target, bool finite) : target_(target), finite_(finite) {}
  int n() const override { return 2; }
  void EvaluateComplex(const Complex* y, Complex p, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hp) override {
    const Complex x = y[0], u = y[1], d = target_ - p;
    H[0] = std::pow(u, 12) - d;
    J(0, 0) = 0.0;
    J(0, 1) = 12.0 * std::pow(u, 11);
    Hp[0] = 1.0;
    Hp[1] = 0.0;
    if (finite_) {
      H[1] = x - 1e4 * (1.0 + 3.0 * u);
      J(1, 0) = 1.0;
      J(1, 1) = -3e4;
    } else {
      H[1] = x * u * u - 1.0 - 3.0 * u;
      J(1, 0) = u * u;
      J(1, 1) = 2.0 * x * u - 3.0;
    }
  }

 private:
  double target_;
  bool finite_;
};

// Runs the end game of a path given up by a step underflow, from its point at d = 1e-3.
PathState EndGameOnSlowCurve(const RouteConstants& route, bool finite, bool givenUp = true) {
  SlowCurveHomotopy homotopy(route.target, finite);
  // The target (d = 0): u^12 = 0 and the second equation.
  const PolySystem target =
      finite ? testing::BuildSystem(
                   {{{{0, 12}, Complex(1.0)}},
                    {{{1, 0}, Complex(1.0)}, {{0, 1}, Complex(-3e4)}, {{0, 0}, Complex(-1e4)}}})
             : testing::BuildSystem(
                   {{{{0, 12}, Complex(1.0)}},
                    {{{1, 2}, Complex(1.0)}, {{0, 1}, Complex(-3.0)}, {{0, 0}, Complex(-1.0)}}});
  const std::vector<std::int32_t> maxDegree = MaxDegrees(target.exponents);
  PathContext ctx;
  ctx.homotopy = &homotopy;
  ctx.route = &route;
  ctx.target = {target.n, target.termCount, &target.exponents, target.coefficients};
  ctx.maxDegree = maxDegree;
  PathState st(2);
  const double d = 1e-3;
  const Complex u(std::pow(d, 1.0 / 12.0), 0.0);
  const Complex x = finite ? 1e4 * (1.0 + 3.0 * u) : (1.0 + 3.0 * u) / (u * u);
  st.endGameStart = {x, u};
  st.endGameStartAt = route.target - d;
  st.hasEndGameStart = true;
  st.y = st.endGameStart;
  if (givenUp) Fail(st, PathFailure::kStepUnderflow);
  st.valuation = 0.0;
  EXPECT_FALSE(RunCauchyEndGame(st, ctx) && !finite);
  return st;
}

// Its loops close after 12 turns at d = 1e-4, 1e-5 and 1e-6, and their principal parts prove the
// divergence with the valuation -1/6 that the estimates along the radius (-0.129 at 1e-6) do not
// show. The large finite end point has no principal part: not diverging, whatever its size. On the
// total-degree route, whose large roots look like poles until late, the loops must also lie beyond
// the divergence bound (|x| reaches 30 here).
TEST(EndGamePrincipalPart, LoopsProveASlowIllConditionedDivergence) {
  const PathState diverging = EndGameOnSlowCurve(kPolyhedralRoute, false);
  EXPECT_EQ(diverging.failure, PathFailure::kDiverged);
  EXPECT_DOUBLE_EQ(diverging.valuation, -1.0 / 6.0);
  const PathState finite = EndGameOnSlowCurve(kPolyhedralRoute, true);
  EXPECT_NE(finite.failure, PathFailure::kDiverged);
  EXPECT_EQ(finite.valuation, 0.0);
  const PathState totalDegree = EndGameOnSlowCurve(kTotalDegreeRoute, false);
  EXPECT_EQ(totalDegree.failure, PathFailure::kStepUnderflow);
  // An end point the path arrived at (refined by the end game because its Jacobian looks
  // singular) keeps its verdict from there: no failure.
  const PathState arrived = EndGameOnSlowCurve(kPolyhedralRoute, false, false);
  EXPECT_EQ(arrived.failure, PathFailure::kNone);
}

}  // namespace
// A worker's PathState carries one path after another: whatever the last path left (a proved
// divergence, its valuation history, an end game's start, a winding number), the next one is
// tracked exactly as from a fresh state, to the same point, verdict and step count.
TEST(PathStateReset, AReusedStateTracksAsAFreshOne) {
  struct Outcome {
    bool reached;
    Complex y;
    PathFailure failure;
    double valuation;
    std::int32_t steps, windingNumber;
    bool reachedByEndGame, divergenceDeferred;
    bool operator==(const Outcome&) const = default;
  };
  const auto outcome = [](bool reached, const PathState& st) {
    return Outcome{reached,  st.y[0],          st.failure,          st.valuation,
                   st.steps, st.windingNumber, st.reachedByEndGame, st.divergenceDeferred};
  };
  const auto pole = [&outcome](PathState& st) {
    PoleHomotopy homotopy(2);
    const PolySystem target = testing::BuildSystem({{{{2}, Complex(0.0)}, {{0}, Complex(-1.0)}}});
    const Complex start(1.0, 0.0);
    return outcome(
        testing::TrackWithFirstLimits(homotopy, kPolyhedralRoute, target, &start, -1.0, st), st);
  };
  const auto slowRoot = [&outcome](PathState& st) {
    const double delta = 1e-2 * std::pow(8.0, -1.0 / 0.12);
    SlowRootHomotopy homotopy(0.12, delta);
    return outcome(TrackToTarget(homotopy, kPolyhedralRoute,
                                 {1.0 / (1.0 + std::pow(1.0 / delta, 0.12))}, -1.0, {1.0}, st),
                   st);
  };
  PathState fresh1(1), fresh2(1), reused(1);
  const Outcome diverging = pole(fresh1);
  const Outcome converging = slowRoot(fresh2);
  ASSERT_EQ(diverging.failure, PathFailure::kDiverged);
  ASSERT_TRUE(converging.reached);
  EXPECT_EQ(pole(reused), diverging);
  EXPECT_EQ(slowRoot(reused), converging);
  EXPECT_EQ(pole(reused), diverging);
}

}  // namespace zormix
