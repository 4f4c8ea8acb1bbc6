#include "tracker/tracking.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>

#include "startsys/start_systems.h"
#include "support/systems.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

// The parts of the normal form the trackers rely on, without scaling or sorting: every equation
// ends with a constant term (coefficient 0 where the system had none).
PolySystem WithConstantTerms(const PolySystem& in) {
  std::vector<testing::Equation> equations(in.n);
  std::int64_t j = 0;
  for (int i = 0; i < in.n; ++i) {
    std::vector<std::int32_t> zero(in.n, 0);
    bool hasConstant = false;
    for (std::int32_t t = 0; t < in.termCount[i]; ++t, ++j) {
      std::vector<std::int32_t> e(in.n);
      for (int k = 0; k < in.n; ++k) e[k] = in.exponents(k, j);
      if (e == zero) hasConstant = true;
      equations[i].push_back({e, in.coefficients[j]});
    }
    if (!hasConstant) equations[i].push_back({zero, Complex(0, 0)});
  }
  return testing::BuildSystem(equations);
}

std::vector<Complex> UnitCoefficients(std::size_t count, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> angle(0.0, 6.283185307179586);
  std::vector<Complex> c(count);
  for (Complex& z : c) z = std::polar(1.0, angle(gen));
  return c;
}

// Mixed cells of a generic lifting by brute force over one pair per equation: the pair's points
// share the minimum of <a, alpha> + w within their equation. Enough for systems of a few terms.
struct Cells {
  CellList list;
  std::vector<std::int64_t> volume;
};
Cells BruteForceCells(const PolySystem& s, const std::vector<double>& w) {
  const int n = s.n;
  std::vector<std::vector<std::pair<int, int>>> pairs(n);
  std::int64_t first = 0;
  for (int i = 0; i < n; ++i) {
    for (int a = 0; a < s.termCount[i]; ++a)
      for (int b = a + 1; b < s.termCount[i]; ++b)
        pairs[i].push_back({static_cast<int>(first + a), static_cast<int>(first + b)});
    first += s.termCount[i];
  }
  Cells cells{CellList(n), {}};
  std::vector<std::size_t> choice(n, 0);
  while (true) {
    IntMatrix D(n, n);
    ColMajorMatrix<Complex> M(n, n);
    std::vector<Complex> rhs(n);
    for (int i = 0; i < n; ++i) {
      const auto [p, q] = pairs[i][choice[i]];
      for (int k = 0; k < n; ++k) {
        D(i, k) = s.exponents(k, p) - s.exponents(k, q);
        M(i, k) = static_cast<double>(D(i, k));
      }
      rhs[i] = w[q] - w[p];
    }
    const std::int64_t det = AbsDeterminantByReduction(D);
    if (det != 0) {
      // alpha by Gaussian elimination on the real system (no pivoting needed at this size).
      for (int k = 0; k < n; ++k) {
        int piv = k;
        for (int i = k + 1; i < n; ++i)
          if (std::abs(M(i, k)) > std::abs(M(piv, k))) piv = i;
        for (int c = 0; c < n; ++c) std::swap(M(k, c), M(piv, c));
        std::swap(rhs[k], rhs[piv]);
        for (int i = k + 1; i < n; ++i) {
          const Complex f = M(i, k) / M(k, k);
          for (int c = k; c < n; ++c) M(i, c) -= f * M(k, c);
          rhs[i] -= f * rhs[k];
        }
      }
      std::vector<double> alpha(n);
      for (int i = n - 1; i >= 0; --i) {
        Complex sum = rhs[i];
        for (int c = i + 1; c < n; ++c) sum -= M(i, c) * alpha[c];
        alpha[i] = (sum / M(i, i)).real();
      }
      auto lifted = [&](std::int64_t j) {
        double v = w[j];
        for (int k = 0; k < n; ++k) v += s.exponents(k, j) * alpha[k];
        return v;
      };
      bool lower = true;
      std::int64_t j = 0;
      for (int i = 0; i < n; ++i) {
        const double m0 = lifted(pairs[i][choice[i]].first);
        for (std::int32_t t = 0; t < s.termCount[i]; ++t, ++j)
          if (lifted(j) < m0 - 1e-9) lower = false;
      }
      if (lower) {
        const std::int64_t c = cells.list.AddCell();
        for (int i = 0; i < n; ++i) {
          cells.list.First(c, i) = pairs[i][choice[i]].first;
          cells.list.Second(c, i) = pairs[i][choice[i]].second;
        }
        cells.volume.push_back(det);
      }
    }
    int i = 0;
    while (i < n && ++choice[i] == pairs[i].size()) choice[i++] = 0;
    if (i == n) break;
  }
  return cells;
}

TrackingOutcome SolvePolyhedral(const PolySystem& s, unsigned seed, int threads) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<double> lifting(static_cast<std::size_t>(s.termTotal()));
  for (double& w : lifting) w = u(gen);
  const Cells cells = BruteForceCells(s, lifting);
  const std::vector<Complex> start = UnitCoefficients(lifting.size(), seed + 1);
  RuntimeUniform runtime(seed);
  TrackingOptions options;
  options.threads = threads;
  return TrackPolyhedral(s, start, lifting, cells.list, cells.volume, runtime, options);
}

TrackingOutcome SolveTotalDegree(const PolySystem& s, unsigned seed, int threads,
                                 std::int64_t* paths = nullptr) {
  std::vector<std::int32_t> degree(s.n, 0);
  std::int64_t j = 0, count = 1;
  for (int i = 0; i < s.n; ++i) {
    for (std::int32_t t = 0; t < s.termCount[i]; ++t, ++j) {
      std::int32_t d = 0;
      for (int k = 0; k < s.n; ++k) d += s.exponents(k, j);
      degree[i] = std::max(degree[i], d);
    }
    count *= degree[i];
  }
  if (paths != nullptr) *paths = count;
  const std::vector<Complex> q = UnitCoefficients(2 * static_cast<std::size_t>(s.n), seed);
  RuntimeUniform runtime(seed);
  TrackingOptions options;
  options.threads = threads;
  return TrackTotalDegree(s, degree, q, runtime, options);
}

// Every column of a has a column of b within tol, and the counts agree.
void ExpectSameRoots(const ColMajorMatrix<Complex>& a, const ColMajorMatrix<Complex>& b,
                     double tol) {
  ASSERT_EQ(a.cols(), b.cols());
  for (std::int64_t r = 0; r < a.cols(); ++r) {
    double best = INFINITY;
    for (std::int64_t c = 0; c < b.cols(); ++c) {
      double d = 0.0;
      for (std::int64_t i = 0; i < a.rows(); ++i) d = std::max(d, std::abs(a(i, r) - b(i, c)));
      best = std::min(best, d);
    }
    EXPECT_LT(best, tol) << "root " << r;
  }
}

void ExpectIdentical(const TrackingOutcome& a, const TrackingOutcome& b) {
  EXPECT_EQ(a.counts.endPoints, b.counts.endPoints);
  EXPECT_EQ(a.counts.blowUps, b.counts.blowUps);
  EXPECT_TRUE(a.solutions == b.solutions);
  ASSERT_EQ(a.records.size(), b.records.size());
  for (std::size_t r = 0; r < a.records.size(); ++r) {
    EXPECT_EQ(a.records[r].cell, b.records[r].cell);
    EXPECT_EQ(a.records[r].startIndex, b.records[r].startIndex);
    EXPECT_EQ(a.records[r].steps, b.records[r].steps);
  }
}

TEST(Tracking, CircleAndLineOnBothRoutes) {
  const PolySystem s = WithConstantTerms(testing::CircleAndLine());
  ColMajorMatrix<Complex> expected(2, 2);
  const double r = 1.0 / std::sqrt(2.0);
  expected(0, 0) = expected(1, 0) = r;
  expected(0, 1) = expected(1, 1) = -r;
  for (unsigned seed : {1u, 2u, 3u}) {
    const TrackingOutcome td = SolveTotalDegree(s, seed, 1);
    EXPECT_EQ(td.counts.endPoints, 2);
    ExpectSameRoots(td.solutions, expected, 1e-10);
    for (std::size_t k = 0; k < td.records.size(); ++k) {
      EXPECT_EQ(td.records[k].cell, 0);
      EXPECT_GT(td.records[k].steps, 0);
    }
    const TrackingOutcome poly = SolvePolyhedral(s, seed, 1);
    EXPECT_EQ(poly.counts.endPoints, 2);
    ExpectSameRoots(poly.solutions, expected, 1e-10);
    for (const PathRecord& record : poly.records) {
      EXPECT_GE(record.cell, 1);
      EXPECT_GE(record.startIndex, 1);
      EXPECT_LE(record.startIndex, 2);
    }
  }
}

TEST(Tracking, TargetEqualToItsStartSystemFollowsConstantPaths) {
  const std::vector<Complex> q = UnitCoefficients(4, 11);
  const std::vector<std::int32_t> degree{3, 2};
  std::vector<testing::Equation> eqs(2);
  eqs[0] = {{{3, 0}, q[0]}, {{0, 0}, q[1]}};
  eqs[1] = {{{0, 2}, q[2]}, {{0, 0}, q[3]}};
  const PolySystem s = testing::BuildSystem(eqs);
  const ColMajorMatrix<Complex> X = TotalDegreeStartSolutions(q, degree, 6);
  RuntimeUniform runtime(5);
  const TrackingOutcome out = TrackTotalDegree(s, degree, q, runtime, TrackingOptions{});
  ASSERT_EQ(out.counts.endPoints, 6);
  for (std::int64_t r = 0; r < 6; ++r) {
    const std::int64_t k = out.records[r].startIndex - 1;
    for (int i = 0; i < 2; ++i) EXPECT_NEAR(std::abs(out.solutions(i, r) - X(i, k)), 0.0, 1e-12);
  }
  EXPECT_EQ(out.counts.blowUps, 0);
}

// x^4 y = 1, x - 3 y^5 + 2 = 0 has 21 roots; 4 of its 25 total-degree paths go to infinity. Each
// is given up as such, with the valuation that proved it, none is left to a step failure.
TEST(Tracking, TotalDegreePathsToInfinityAreRecognised) {
  std::vector<testing::Equation> eqs(2);
  eqs[0] = {{{4, 1}, Complex(1.0)}, {{0, 0}, Complex(-1.0)}};
  eqs[1] = {{{1, 0}, Complex(1.0)}, {{0, 5}, Complex(-3.0)}, {{0, 0}, Complex(2.0)}};
  const PolySystem s = testing::BuildSystem(eqs);
  for (unsigned seed : {1u, 2u, 3u}) {
    const TrackingOutcome out = SolveTotalDegree(s, seed, 1);
    EXPECT_EQ(out.counts.endPoints, 21) << "seed " << seed;
    ASSERT_EQ(out.lostPaths.size(), 4u) << "seed " << seed;
    for (const PathRecord& path : out.lostPaths) {
      EXPECT_EQ(path.status, PathStatus::kDiverged) << "seed " << seed;
      EXPECT_LT(path.valuation, -0.05) << "seed " << seed;
    }
  }
}

// 1e-4 x^2 + x - 1 = 0 has the root x = -1e4 - 1, which the path from the start system reaches
// only once 1 - t is below about 1e-4: before that it grows like a pole. It is a root, kept.
TEST(Tracking, TotalDegreeKeepsALargeRootReachedLate) {
  std::vector<testing::Equation> eqs(3);
  eqs[0] = {{{2, 0, 0}, Complex(1e-4)}, {{1, 0, 0}, Complex(1.0)}, {{0, 0, 0}, Complex(-1.0)}};
  eqs[1] = {{{0, 1, 0}, Complex(1.0)}, {{0, 0, 0}, Complex(-2.0)}};
  eqs[2] = {{{0, 0, 1}, Complex(1.0)}, {{0, 0, 0}, Complex(-3.0)}};
  const PolySystem s = testing::BuildSystem(eqs);
  const double large = (-1.0 - std::sqrt(1.0 + 4.0 * 1e-4)) / (2.0 * 1e-4);
  for (unsigned seed : {1u, 2u, 3u}) {
    const TrackingOutcome out = SolveTotalDegree(s, seed, 1);
    ASSERT_EQ(out.counts.endPoints, 2) << "seed " << seed;
    double nearest = INFINITY;
    for (std::int64_t r = 0; r < 2; ++r)
      nearest = std::min(nearest, std::abs(out.solutions(0, r) - large));
    EXPECT_LT(nearest, 1e-8 * std::abs(large)) << "seed " << seed;
  }
}

// 1e-12 x^5 + x - 1 = 0, x y = 1, x z = 2: five roots, four of them with |x| = 1e3; 15 of the 20
// total-degree paths go to infinity. The paths to the large roots grow like poles, |x| ~ d^{-1/4}
// in d = 1 - t, until d is about 1e-12: below where steps of 1e-10 reach. Each is found, and every
// other path is given up as diverging with its valuation.
TEST(Tracking, TotalDegreeFindsRootsReachedOnlyNearTheTarget) {
  std::vector<testing::Equation> eqs(3);
  eqs[0] = {{{5, 0, 0}, Complex(1e-12)}, {{1, 0, 0}, Complex(1.0)}, {{0, 0, 0}, Complex(-1.0)}};
  eqs[1] = {{{1, 1, 0}, Complex(1.0)}, {{0, 0, 0}, Complex(-1.0)}};
  eqs[2] = {{{1, 0, 1}, Complex(1.0)}, {{0, 0, 0}, Complex(-2.0)}};
  const PolySystem s = testing::BuildSystem(eqs);
  for (unsigned seed : {1u, 2u, 3u}) {
    const TrackingOutcome out = SolveTotalDegree(s, seed, 1);
    int large = 0;
    for (std::int64_t r = 0; r < out.counts.endPoints; ++r) {
      const Complex x = out.solutions(0, r);
      EXPECT_LT(std::abs(1e-12 * std::pow(x, 5) + x - 1.0), 1e-8 * std::abs(x)) << "seed " << seed;
      large += std::abs(x) > 900.0 ? 1 : 0;
    }
    EXPECT_EQ(large, 4) << "seed " << seed;
    EXPECT_EQ(out.counts.endPoints + static_cast<std::int64_t>(out.lostPaths.size()), 20);
    for (const PathRecord& path : out.lostPaths) {
      EXPECT_EQ(path.status, PathStatus::kDiverged) << "seed " << seed;
      EXPECT_LT(path.valuation, -0.05) << "seed " << seed;
    }
  }
}

TEST(Tracking, RoutesAgreeAndThreadCountsGiveIdenticalResults) {
  // noon-3: 27 total-degree paths, mixed volume 21, 21 isolated roots.
  const PolySystem s = WithConstantTerms(testing::Noon(3));
  std::int64_t paths = 0;
  const TrackingOutcome td1 = SolveTotalDegree(s, 7, 1, &paths);
  const TrackingOutcome td2 = SolveTotalDegree(s, 7, 2);
  EXPECT_EQ(paths, 27);
  ExpectIdentical(td1, td2);
  const TrackingOutcome poly1 = SolvePolyhedral(s, 7, 1);
  const TrackingOutcome poly2 = SolvePolyhedral(s, 7, 2);
  ExpectIdentical(poly1, poly2);
  EXPECT_EQ(poly1.counts.endPoints, 21);
  EXPECT_EQ(td1.counts.endPoints, 21);
  ExpectSameRoots(poly1.solutions, td1.solutions, 1e-8);
}

TEST(Tracking, ProgressIsReportedFromTheCallingThread) {
  const PolySystem s = WithConstantTerms(testing::Noon(3));
  const std::vector<Complex> start = UnitCoefficients(static_cast<std::size_t>(s.termTotal()), 3);
  std::vector<double> lifting(static_cast<std::size_t>(s.termTotal()));
  std::mt19937_64 gen(3);
  for (double& w : lifting) w = std::uniform_real_distribution<double>(0, 1)(gen);
  const Cells cells = BruteForceCells(s, lifting);
  RuntimeUniform runtime(3);
  TrackingOptions options;
  options.threads = 2;
  const std::thread::id caller = std::this_thread::get_id();
  Progress last;
  int calls = 0;
  options.progress = [&](const Progress& p) {
    EXPECT_TRUE(std::this_thread::get_id() == caller);
    last = p;
    ++calls;
  };
  const TrackingOutcome out =
      TrackPolyhedral(s, start, lifting, cells.list, cells.volume, runtime, options);
  EXPECT_GE(calls, 1);
  EXPECT_EQ(last.stage, Stage::kTracking);
  EXPECT_EQ(last.pathsTotal, 21);
  EXPECT_EQ(last.pathsDone, 21);
  EXPECT_EQ(last.pathsReached + last.pathsFailed, 21);
  EXPECT_EQ(last.pathsReached, out.counts.endPoints);
}

TEST(TrackingHeavy, TotalDegreeOnCyclic5AndKatsura5) {
  // cyclic-5: Bezout 120, 70 isolated roots, the other paths diverge.
  const TrackingOutcome cyclic = SolveTotalDegree(WithConstantTerms(testing::Cyclic(5)), 3, 2);
  EXPECT_EQ(cyclic.counts.endPoints, 70);
  const TrackingOutcome katsura = SolveTotalDegree(WithConstantTerms(testing::Katsura(5)), 3, 2);
  EXPECT_EQ(katsura.counts.endPoints, 32);
}

// Largest |a_i - b_i| over the coordinates of columns r and c.
double ColumnDistance(const ColMajorMatrix<Complex>& s, std::int64_t r, std::int64_t c) {
  double d = 0.0;
  for (std::int64_t i = 0; i < s.rows(); ++i) d = std::max(d, std::abs(s(i, r) - s(i, c)));
  return d;
}

// cyclic-7: 5040 total-degree paths, 924 regular roots; most paths diverge. A diverging path can
// take its last step onto a finite root, and a re-track that may raise its correction limit near
// the target does the same again, so both paths of the pair used to be kept. The reported end
// points (records whose re-track neither failed nor was proved diverging) must be distinct roots.
// A path's last point handed over to classification (the end game's status with winding number 0)
// claims no root: it is counted apart and must still differ from every root.
TEST(TrackingHeavy, TotalDegreeCyclic7ReportsNoRootTwice) {
  const TrackingOutcome out = SolveTotalDegree(WithConstantTerms(testing::Cyclic(7)), 1, 2);
  std::vector<std::int64_t> reported;
  std::int64_t handedOver = 0;
  for (std::int64_t r = 0; r < out.counts.endPoints; ++r) {
    const PathRecord& record = out.records[r];
    if (record.status == PathStatus::kRetrackFailed || record.status == PathStatus::kDiverged)
      continue;
    reported.push_back(r);
    handedOver += record.status == PathStatus::kEndGame && record.windingNumber == 0;
  }
  EXPECT_GT(out.counts.separatedPairs, 0);
  EXPECT_LE(static_cast<std::int64_t>(reported.size()) - handedOver, 924);
  EXPECT_GE(static_cast<std::int64_t>(reported.size()) - handedOver, 900);
  for (std::size_t a = 0; a < reported.size(); ++a) {
    double size = 1.0;
    for (std::int64_t i = 0; i < out.solutions.rows(); ++i)
      size = std::max(size, std::abs(out.solutions(i, reported[a])));
    for (std::size_t b = a + 1; b < reported.size(); ++b) {
      EXPECT_GT(ColumnDistance(out.solutions, reported[a], reported[b]), 1e-6 * size)
          << "start solutions " << out.records[reported[a]].startIndex << " and "
          << out.records[reported[b]].startIndex;
    }
  }
}

// Total-degree cyclic-7 loses some sixty paths to step underflows far from the target (|y| near
// 1e6 at 1 - t = 0.03, coordinates from 1e-15 to 1e6, valuations near -3), where double precision
// no longer resolves the corrector and no estimate is taken yet. Tracked in double-double to
// there and continued, they are proved at infinity; no root is lost.
TEST(TrackingHeavy, TotalDegreeCyclic7PathsLostFarOutAreDecided) {
  const TrackingOutcome out = SolveTotalDegree(WithConstantTerms(testing::Cyclic(7)), 1, 2);
  std::int64_t underflows = 0, diverged = 0;
  for (const PathRecord& record : out.lostPaths) {
    underflows += record.status == PathStatus::kStepUnderflow;
    diverged += record.status == PathStatus::kDiverged;
  }
  EXPECT_LE(underflows, 5);
  EXPECT_GE(diverged, 4000);
  std::int64_t reported = 0;
  for (std::int64_t r = 0; r < out.counts.endPoints; ++r) {
    const PathStatus status = out.records[static_cast<std::size_t>(r)].status;
    reported += status != PathStatus::kRetrackFailed && status != PathStatus::kDiverged;
  }
  EXPECT_GE(reported, 924);
}

// Total-degree cyclic-6 with seed 3 loses a dozen paths to step failures (the end game proves
// most paths to infinity before), so the rescue runs in parallel here; its outcome must not
// depend on the thread count.
TEST(TrackingHeavy, RescueGivesIdenticalResultsForEveryThreadCount) {
  const PolySystem s = WithConstantTerms(testing::Cyclic(6));
  const TrackingOutcome one = SolveTotalDegree(s, 3, 1);
  const TrackingOutcome three = SolveTotalDegree(s, 3, 3);
  EXPECT_GT(one.counts.rescueAttempts, 0);
  EXPECT_EQ(one.counts.rescueAttempts, three.counts.rescueAttempts);
  EXPECT_EQ(one.counts.rescued, three.counts.rescued);
  ExpectIdentical(one, three);
  for (std::size_t r = 0; r < one.records.size(); ++r)
    EXPECT_EQ(one.records[r].retrackCount, three.records[r].retrackCount);
  for (const Complex& z : one.solutions.storage())
    EXPECT_TRUE(std::isfinite(z.real()) && std::isfinite(z.imag()));
}

}  // namespace
}  // namespace zormix
