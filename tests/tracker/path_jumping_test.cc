#include "tracker/jumps/path_jumping.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tracker/jumps/simple_root.h"

namespace zormix {
namespace {

using ::testing::_;
using ::testing::DoubleEq;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::InSequence;
using ::testing::MockFunction;
using ::testing::Return;

// A target system that owns its arrays; each equation is a list of (exponents, coefficient).
struct OwnedSystem {
  std::vector<std::int32_t> termCount;
  ColMajorMatrix<std::int32_t> exponents;
  std::vector<Complex> coefficients;

  OwnedSystem(int n,
              const std::vector<std::vector<std::pair<std::vector<std::int32_t>, Complex>>>& eqs) {
    std::int64_t m = 0;
    for (const auto& eq : eqs) m += static_cast<std::int64_t>(eq.size());
    exponents.Assign(n, m);
    std::int64_t t = 0;
    for (const auto& eq : eqs) {
      termCount.push_back(static_cast<std::int32_t>(eq.size()));
      for (const auto& [e, c] : eq) {
        for (int i = 0; i < n; ++i) exponents(i, t) = e[static_cast<std::size_t>(i)];
        coefficients.push_back(c);
        ++t;
      }
    }
  }
  SystemView View() const {
    return SystemView{static_cast<int>(termCount.size()), termCount, &exponents, coefficients};
  }
};

// x = 0, y = 0: the Jacobian is the identity everywhere, so every common point is nonsingular.
OwnedSystem LinearSystem2() {
  return OwnedSystem(2, {{{{1, 0}, 1.0}, {{0, 0}, 0.0}}, {{{0, 1}, 1.0}, {{0, 0}, 0.0}}});
}

ColMajorMatrix<Complex> Points(const std::vector<std::vector<Complex>>& columns) {
  ColMajorMatrix<Complex> s(static_cast<std::int64_t>(columns[0].size()),
                            static_cast<std::int64_t>(columns.size()));
  for (std::size_t c = 0; c < columns.size(); ++c) {
    for (std::size_t j = 0; j < columns[c].size(); ++j) {
      s(static_cast<std::int64_t>(j), static_cast<std::int64_t>(c)) = columns[c][j];
    }
  }
  return s;
}

std::vector<PathRecord> Records(int count) {
  std::vector<PathRecord> records(static_cast<std::size_t>(count));
  for (int r = 0; r < count; ++r) {
    records[static_cast<std::size_t>(r)] = {1, r + 1, 10, 7, PathStatus::kRetrackFailed};  // stale
  }
  return records;
}

auto ForRecord(int startIndex) { return Field(&PathRecord::startIndex, startIndex); }

using MockRetrack = MockFunction<RetrackResult(const PathRecord&, double)>;

TEST(BucketKeyTest, TruncatesTowardZeroAndKeepsTheSignOfTheRemainder) {
  EXPECT_EQ(BucketKey({0.0, 0.00123}), 112);
  EXPECT_EQ(BucketKey({0.0, -0.00123}), 12);
  EXPECT_EQ(BucketKey({0.0, 1.5}), 100);
  EXPECT_EQ(BucketKey({0.0, -1.5}), 100);  // q = -0
  EXPECT_EQ(BucketKey({7.0, 0.0}), 100);
  EXPECT_EQ(BucketKey({0.0, 0.00995}), 199);
  EXPECT_EQ(BucketKey({0.0, -0.00995}), 99);
  EXPECT_EQ(BucketKey({0.0, -0.00009}), 100);  // trunc(-0.9) = 0, not -1
  EXPECT_EQ(BucketKey({0.0, 123.00456}), 145);
}

TEST(BucketKeyTest, HugeAndNonFiniteImaginaryPartsStayInRange) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(BucketKey({0.0, kInf}), 100);
  EXPECT_EQ(BucketKey({0.0, -kInf}), 100);
  EXPECT_EQ(BucketKey({0.0, std::numeric_limits<double>::quiet_NaN()}), 100);
  // 2^70 * 10^4 is exact, far beyond int64, and a multiple of 100.
  EXPECT_EQ(BucketKey({0.0, std::ldexp(1.0, 70)}), 100);
  EXPECT_EQ(BucketKey({0.0, -std::ldexp(1.0, 70)}), 100);
  for (double im : {1e300, -1e300, 9.3e18, -9.3e18, 1.7e308}) {
    const int b = BucketKey({0.0, im});
    EXPECT_GE(b, 1) << im;
    EXPECT_LE(b, 199) << im;
  }
}

TEST(SolutionBucketsTest, FirstAndSecondIndexKeepTheirInputOrder) {
  const ColMajorMatrix<Complex> s = Points({{{0, 0.00123}, {0, 0.00995}},
                                            {{1, 0}, {0, -0.00123}},
                                            {{2, 0.00129}, {0, 0.00995}},
                                            {{0, 0.00123}, {0, 0}}});
  const SolutionBuckets first = BucketByFirstCoordinate(s, 4);
  EXPECT_THAT(first.list[112], ElementsAre(0, 2, 3));
  EXPECT_THAT(first.list[100], ElementsAre(1));
  // Only the first rootCount end points are bucketed.
  EXPECT_THAT(BucketByFirstCoordinate(s, 2).list[112], ElementsAre(0));

  const SolutionBuckets second = BucketBySecondCoordinate(s, {3, 2, 0, 1});
  EXPECT_THAT(second.list[199], ElementsAre(2, 0));
  EXPECT_THAT(second.list[100], ElementsAre(3));
  EXPECT_THAT(second.list[12], ElementsAre(1));
  std::size_t total = 0;
  for (const auto& members : second.list) total += members.size();
  EXPECT_EQ(total, 4u);
}

TEST(SolutionBucketsTest, OneVariableKeepsAllMembersTogetherInTheSecondIndex) {
  const ColMajorMatrix<Complex> s = Points({{{0, 0.00123}}, {{0, -0.5}}, {{0, 0.00999}}});
  EXPECT_THAT(BucketBySecondCoordinate(s, {2, 0, 1}).list[100], ElementsAre(2, 0, 1));
}

TEST(CheckPathJumpingTest, CoincidingNonsingularPairIsRetrackedAndSeparated) {
  const OwnedSystem target = LinearSystem2();
  ColMajorMatrix<Complex> s = Points({{{1, 0.5}, 2.0}, {{3, 0}, 4.0}, {{1, 0.5}, 2.0}});
  std::vector<PathRecord> records = Records(3);
  MockRetrack retrack;
  EXPECT_CALL(retrack, Call(ForRecord(1), DoubleEq(0.01)))
      .WillOnce(Return(RetrackResult{{{1, 0.5}, 2.0}, 40, false}));
  EXPECT_CALL(retrack, Call(ForRecord(3), DoubleEq(0.01)))
      .WillOnce(Return(RetrackResult{{{5, 0.5}, 6.0}, 55, false}));
  RuntimeUniform runtime(42);

  const PathCounts stats =
      CheckPathJumping(target.View(), s, 3, records, retrack.AsStdFunction(), runtime);

  EXPECT_EQ(stats.retracked, 2);
  EXPECT_EQ(stats.separatedPairs, 1);
  EXPECT_EQ(s, Points({{{1, 0.5}, 2.0}, {{3, 0}, 4.0}, {{5, 0.5}, 6.0}}));
  EXPECT_EQ(records[0].steps, 50);
  EXPECT_EQ(records[2].steps, 65);
  for (int r : {0, 2}) {
    EXPECT_EQ(records[r].retrackCount, 1);
    EXPECT_EQ(records[r].status, PathStatus::kJumped);
  }
  // The untouched record is reset but keeps its steps.
  EXPECT_EQ(records[1].steps, 10);
  EXPECT_EQ(records[1].retrackCount, 0);
  EXPECT_EQ(records[1].status, PathStatus::kReached);
}

TEST(CheckPathJumpingTest, InseparablePairKeepsItsEndPointsAfterTwoStricterAttempts) {
  const OwnedSystem target = LinearSystem2();
  const ColMajorMatrix<Complex> before = Points({{1.0, 2.0}, {1.0 + 1e-9, 2.0}});
  ColMajorMatrix<Complex> s = before;
  std::vector<PathRecord> records = Records(2);
  MockRetrack retrack;
  const RetrackResult same{{5.0, 5.0}, 3, false};
  {
    InSequence order;
    EXPECT_CALL(retrack, Call(ForRecord(1), DoubleEq(0.01))).WillOnce(Return(same));
    EXPECT_CALL(retrack, Call(ForRecord(2), DoubleEq(0.01))).WillOnce(Return(same));
    EXPECT_CALL(retrack, Call(ForRecord(1), DoubleEq(0.001))).WillOnce(Return(same));
    EXPECT_CALL(retrack, Call(ForRecord(2), DoubleEq(0.001))).WillOnce(Return(same));
  }
  RuntimeUniform runtime(7);

  const PathCounts stats =
      CheckPathJumping(target.View(), s, 2, records, retrack.AsStdFunction(), runtime);

  EXPECT_EQ(stats.retracked, 4);
  EXPECT_EQ(stats.separatedPairs, 0);
  EXPECT_EQ(s, before);
  for (const PathRecord& r : records) {
    EXPECT_EQ(r.steps, 16);
    EXPECT_EQ(r.retrackCount, 2);
    EXPECT_EQ(r.status, PathStatus::kJumped);
  }
}

// A failed re-track stops somewhere that is no end point (here far from the pair): the pair is not
// separated by it, the stricter attempt follows, and when that one arrives the path jumped.
TEST(CheckPathJumpingTest, FailedRetrackIsFollowedByTheStricterOneWhichDecides) {
  const OwnedSystem target = LinearSystem2();
  for (const bool stricterArrives : {true, false}) {
    SCOPED_TRACE(stricterArrives);
    ColMajorMatrix<Complex> s = Points({{1.0, 2.0}, {1.0, 2.0}});
    std::vector<PathRecord> records = Records(2);
    MockRetrack retrack;
    EXPECT_CALL(retrack, Call(ForRecord(1), _))
        .WillRepeatedly(Return(RetrackResult{{1.0, 2.0}, 1, false}));
    EXPECT_CALL(retrack, Call(ForRecord(2), DoubleEq(0.01)))
        .WillOnce(Return(RetrackResult{{70.0, -3.0}, 1, true}));
    EXPECT_CALL(retrack, Call(ForRecord(2), DoubleEq(0.001)))
        .WillOnce(Return(RetrackResult{{9.0, 2.0}, 1, !stricterArrives}));
    RuntimeUniform runtime(3);

    const PathCounts stats =
        CheckPathJumping(target.View(), s, 2, records, retrack.AsStdFunction(), runtime);

    EXPECT_EQ(stats.retracked, 4);
    EXPECT_EQ(stats.separatedPairs, stricterArrives ? 1 : 0);
    EXPECT_EQ(records[0].status, PathStatus::kJumped);
    EXPECT_EQ(records[1].status,
              stricterArrives ? PathStatus::kJumped : PathStatus::kRetrackFailed);
    // The common root stays with the path that came back to it.
    EXPECT_EQ(s(0, 0), Complex(1.0));
    if (stricterArrives) {
      EXPECT_EQ(s(0, 1), Complex(9.0));
    }
  }
}

// A path that jumped onto another's root and whose re-track the end game proves diverging goes
// to infinity with that valuation; a failure afterwards of its partner's re-track stays a failure.
TEST(CheckPathJumpingTest, RetrackProvedDivergingIsAtInfinityWithItsValuation) {
  const OwnedSystem target = LinearSystem2();
  ColMajorMatrix<Complex> s = Points({{1.0, 2.0}, {1.0, 2.0}, {5.0, 6.0}, {5.0, 6.0}});
  std::vector<PathRecord> records = Records(4);
  MockRetrack retrack;
  RetrackResult diverged{{4e5, 2.0}, 9, true};
  diverged.diverged = true;
  diverged.valuation = -0.5;
  EXPECT_CALL(retrack, Call(ForRecord(1), _)).WillOnce(Return(RetrackResult{{1.0, 2.0}, 1, false}));
  EXPECT_CALL(retrack, Call(ForRecord(2), _)).WillOnce(Return(diverged));
  EXPECT_CALL(retrack, Call(ForRecord(3), _))
      .WillRepeatedly(Return(RetrackResult{{5.0, 6.0}, 1, false}));
  EXPECT_CALL(retrack, Call(ForRecord(4), _))
      .WillRepeatedly(Return(RetrackResult{{7.0, 6.0}, 1, true}));
  RuntimeUniform runtime(3);

  CheckPathJumping(target.View(), s, 4, records, retrack.AsStdFunction(), runtime);

  EXPECT_EQ(records[0].status, PathStatus::kJumped);
  EXPECT_EQ(records[1].status, PathStatus::kDiverged);
  EXPECT_EQ(records[1].valuation, -0.5);
  EXPECT_EQ(records[2].status, PathStatus::kJumped);
  EXPECT_EQ(records[3].status, PathStatus::kRetrackFailed);
  EXPECT_EQ(records[3].valuation, 0.0);
}

// Both paths of a pair left its root when re-tracked, one to another point, one to infinity: the
// root is a root all the same, and the path given up keeps it.
TEST(CheckPathJumpingTest, RootThatBothRetracksLeaveStaysWithTheDroppedPath) {
  const OwnedSystem target = LinearSystem2();
  ColMajorMatrix<Complex> s = Points({{1.0, 2.0}, {1.0, 2.0}});
  std::vector<PathRecord> records = Records(2);
  MockRetrack retrack;
  RetrackResult diverged{{4e5, 2.0}, 9, true};
  diverged.diverged = true;
  diverged.valuation = -0.5;
  EXPECT_CALL(retrack, Call(ForRecord(1), _)).WillOnce(Return(RetrackResult{{3.0, 4.0}, 1, false}));
  EXPECT_CALL(retrack, Call(ForRecord(2), _)).WillOnce(Return(diverged));
  RuntimeUniform runtime(3);

  CheckPathJumping(target.View(), s, 2, records, retrack.AsStdFunction(), runtime);

  EXPECT_EQ(records[0].status, PathStatus::kJumped);
  EXPECT_EQ(s(0, 0), Complex(3.0));
  EXPECT_EQ(records[1].status, PathStatus::kJumped);
  EXPECT_EQ(records[1].valuation, 0.0);
  EXPECT_EQ(records[1].windingNumber, 1);
  EXPECT_EQ(s(0, 1), Complex(1.0));
  EXPECT_EQ(s(1, 1), Complex(2.0));
}

TEST(CheckPathJumpingTest, PairsThatNeedNoRetrackAreLeftAlone) {
  MockRetrack retrack;
  EXPECT_CALL(retrack, Call(_, _)).Times(0);
  RuntimeUniform runtime(11);

  // x^2 = 0, y = 1: the double root (0, 1) reached twice is singular and stays twice.
  const OwnedSystem doubleRoot(2,
                               {{{{2, 0}, 1.0}, {{0, 0}, 0.0}}, {{{0, 1}, 1.0}, {{0, 0}, -1.0}}});
  ColMajorMatrix<Complex> s = Points({{0.0, 1.0}, {1e-12, 1.0}, {0.0, 1.0}});
  std::vector<PathRecord> records = Records(3);
  PathCounts stats =
      CheckPathJumping(doubleRoot.View(), s, 3, records, retrack.AsStdFunction(), runtime);
  EXPECT_EQ(s, Points({{0.0, 1.0}, {1e-12, 1.0}, {0.0, 1.0}}));
  EXPECT_EQ(stats.retracked, 0);

  // Closer than 1e-7 in any projection, but Im(y_1) straddles 1e-4: different buckets.
  const OwnedSystem linear = LinearSystem2();
  s = Points({{{0.5, 0.99999999e-4}, 2.0}, {{0.5, 1.00000001e-4}, 2.0}});
  stats = CheckPathJumping(linear.View(), s, 2, records, retrack.AsStdFunction(), runtime);
  EXPECT_EQ(stats.retracked, 0);

  // rootCount 0 or 1: nothing to compare, but the records are still reset.
  s = Points({{1.0, 2.0}, {1.0, 2.0}});
  for (std::int64_t rootCount : {0, 1}) {
    records = Records(2);
    stats =
        CheckPathJumping(linear.View(), s, rootCount, records, retrack.AsStdFunction(), runtime);
    EXPECT_EQ(stats.retracked, 0);
    EXPECT_EQ(records[0].retrackCount, 0);
    EXPECT_EQ(records[0].status, PathStatus::kReached);
  }
}

// A pair at a regular but poorly conditioned point (condition 1e6, as roots of application
// systems have) is re-tracked; at condition 1e9 the point counts as singular and the pair stays.
TEST(CheckPathJumpingTest, PoorlyConditionedRegularPairsAreRetrackedButNotNearlySingularOnes) {
  for (const double scale : {1e-6, 1e-9}) {
    // x = 0, scale * y = 0: singular values 1 and scale.
    const OwnedSystem target(2, {{{{1, 0}, 1.0}, {{0, 0}, 0.0}}, {{{0, 1}, scale}, {{0, 0}, 0.0}}});
    ColMajorMatrix<Complex> s = Points({{0.0, 0.0}, {0.0, 0.0}});
    std::vector<PathRecord> records = Records(2);
    // Each re-track ends on the same point again: both paths are tried twice.
    MockRetrack retrack;
    ON_CALL(retrack, Call(_, _)).WillByDefault(Return(RetrackResult{{0.0, 0.0}, 30, false}));
    EXPECT_CALL(retrack, Call(_, _)).Times(scale > 1e-7 ? 4 : 0);
    RuntimeUniform runtime(3);
    CheckPathJumping(target.View(), s, 2, records, retrack.AsStdFunction(), runtime);
  }
}

TEST(CheckPathJumpingTest, IdenticalPointsAtTheOriginAreNotTakenAsApart) {
  const OwnedSystem target = LinearSystem2();
  ColMajorMatrix<Complex> s = Points({{0.0, 0.0}, {0.0, 0.0}});
  std::vector<PathRecord> records = Records(2);
  MockRetrack retrack;
  EXPECT_CALL(retrack, Call(ForRecord(1), _)).WillOnce(Return(RetrackResult{{0.0, 0.0}, 1, false}));
  EXPECT_CALL(retrack, Call(ForRecord(2), _)).WillOnce(Return(RetrackResult{{1.0, 1.0}, 1, false}));
  RuntimeUniform runtime(5);
  const PathCounts stats =
      CheckPathJumping(target.View(), s, 2, records, retrack.AsStdFunction(), runtime);
  EXPECT_EQ(stats.separatedPairs, 1);
  EXPECT_EQ(s(0, 1), Complex(1.0));
}

// Path 2 jumped onto root A of path 1 and path 3 onto root B of path 2. The re-track of path 2
// ends at B, on the end point of path 3 that the first pass compared before: a follow-up round
// compares the moved end points again and separates that pair too, re-tracking only path 3: path 2
// keeps the end point of its re-track at 0.01, which another re-track at 0.01 would only repeat.
TEST(CheckPathJumpingTest, RetrackEndingOnAnotherEndPointIsComparedAgain) {
  const OwnedSystem target = LinearSystem2();
  ColMajorMatrix<Complex> s = Points({{1.0, 2.0}, {1.0, 2.0}, {5.0, 6.0}});
  std::vector<PathRecord> records = Records(3);
  MockRetrack retrack;
  EXPECT_CALL(retrack, Call(ForRecord(1), DoubleEq(0.01)))
      .WillOnce(Return(RetrackResult{{1.0, 2.0}, 1, false}));
  EXPECT_CALL(retrack, Call(ForRecord(2), DoubleEq(0.01)))
      .WillOnce(Return(RetrackResult{{5.0, 6.0}, 1, false}));
  EXPECT_CALL(retrack, Call(ForRecord(3), DoubleEq(0.01)))
      .WillOnce(Return(RetrackResult{{7.0, 8.0}, 1, false}));
  RuntimeUniform runtime(17);

  const PathCounts stats =
      CheckPathJumping(target.View(), s, 3, records, retrack.AsStdFunction(), runtime);

  EXPECT_EQ(stats.separatedPairs, 2);
  EXPECT_EQ(stats.retracked, 3);
  EXPECT_EQ(s, Points({{1.0, 2.0}, {5.0, 6.0}, {7.0, 8.0}}));
  EXPECT_EQ(records[1].retrackCount, 1);
}

// Three paths at one root: the pairs (1, 2) and (1, 3) are re-tracked and separated, path 1 once
// (the pair (1, 3) keeps its re-track at 0.01); the pair (2, 3) then is apart already and counts
// as no separation. A record whose re-track failed is not
// reported, so its end point is not compared again, even where it lands on another one.
TEST(CheckPathJumpingTest, OnlyRetrackedPairsCountAndFailedRetracksAreNotComparedAgain) {
  const OwnedSystem target = LinearSystem2();
  ColMajorMatrix<Complex> s = Points({{1.0, 2.0}, {1.0, 2.0}, {1.0, 2.0}, {9.0, 9.0}});
  std::vector<PathRecord> records = Records(4);
  MockRetrack retrack;
  EXPECT_CALL(retrack, Call(ForRecord(1), _))
      .WillRepeatedly(Return(RetrackResult{{1.0, 2.0}, 1, false}));
  EXPECT_CALL(retrack, Call(ForRecord(2), DoubleEq(0.01)))
      .WillOnce(Return(RetrackResult{{3.0, 4.0}, 1, false}));
  EXPECT_CALL(retrack, Call(ForRecord(3), _))
      .WillRepeatedly(Return(RetrackResult{{9.0, 9.0}, 1, true}));
  EXPECT_CALL(retrack, Call(ForRecord(4), _)).Times(0);
  RuntimeUniform runtime(19);

  const PathCounts stats =
      CheckPathJumping(target.View(), s, 4, records, retrack.AsStdFunction(), runtime);

  // The failed path separated nothing: it is tried at both levels and given up.
  EXPECT_EQ(stats.separatedPairs, 1);
  EXPECT_EQ(stats.retracked, 5);
  EXPECT_EQ(records[2].status, PathStatus::kRetrackFailed);
}

// 1500 end points share the first-coordinate bucket, so they are split by Im(y_2). Points 700 and
// 1400 coincide; points 100 and 200 are within 1e-12 but straddle 1e-4 in Im(y_2), so the second
// index keeps them apart, where a pairwise scan of the big bucket would have compared them.
TEST(CheckPathJumpingTest, BucketOfMoreThanAThousandGoesThroughTheSecondIndex) {
  const OwnedSystem target = LinearSystem2();
  constexpr int kCount = 1500;
  ColMajorMatrix<Complex> s(2, kCount);
  for (int k = 0; k < kCount; ++k) {
    s(0, k) = Complex(k + 1.0, 0.00005);
    s(1, k) = Complex(0.0, (k % 150) * 1e-4 + 0.5e-4);
  }
  s(0, 1400) = s(0, 700);
  s(1, 1400) = s(1, 700);
  s(0, 200) = s(0, 100);
  s(1, 100) = Complex(0.0, 0.99999999e-4);
  s(1, 200) = Complex(0.0, 1.00000001e-4);
  std::vector<PathRecord> records = Records(kCount);
  MockRetrack retrack;
  EXPECT_CALL(retrack, Call(ForRecord(701), DoubleEq(0.01)))
      .WillOnce(Return(RetrackResult{{1.0, 1.0}, 1, false}));
  EXPECT_CALL(retrack, Call(ForRecord(1401), DoubleEq(0.01)))
      .WillOnce(Return(RetrackResult{{2.0, 2.0}, 1, false}));
  RuntimeUniform runtime(9);

  const PathCounts stats =
      CheckPathJumping(target.View(), s, kCount, records, retrack.AsStdFunction(), runtime);

  EXPECT_EQ(stats.retracked, 2);
  EXPECT_EQ(stats.separatedPairs, 1);
  EXPECT_EQ(s(0, 1400), Complex(2.0));
}

// With one variable a big bucket cannot be split further; its pairs are all compared.
TEST(CheckPathJumpingTest, OneVariableBigBucketIsComparedPairwise) {
  const OwnedSystem target(1, {{{{1}, 1.0}, {{0}, 0.0}}});
  constexpr int kCount = 1200;
  ColMajorMatrix<Complex> s(1, kCount);
  for (int k = 0; k < kCount; ++k) s(0, k) = Complex(k + 1.0, 0.0);
  s(0, 1100) = s(0, 3);
  std::vector<PathRecord> records = Records(kCount);
  MockRetrack retrack;
  EXPECT_CALL(retrack, Call(ForRecord(4), _)).WillOnce(Return(RetrackResult{{-1.0}, 1, false}));
  EXPECT_CALL(retrack, Call(ForRecord(1101), _)).WillOnce(Return(RetrackResult{{-2.0}, 1, false}));
  RuntimeUniform runtime(13);
  const PathCounts stats =
      CheckPathJumping(target.View(), s, kCount, records, retrack.AsStdFunction(), runtime);
  EXPECT_EQ(stats.separatedPairs, 1);
}

// 1e-10 (x y - p), 1e-10 (x + y - q): the roots (1e4, 2e4) and (2e4, 1e4) for p = 2e8, q = 3e4;
// the double root (1e4, 1e4) for p = 1e8, q = 2e4. Coefficients of 1e-10, roots near 1e4.
OwnedSystem ProductAndSum(double p, double q) {
  return OwnedSystem(2, {{{{1, 1}, 1e-10}, {{0, 0}, -1e-10 * p}},
                         {{{1, 0}, 1e-10}, {{0, 1}, 1e-10}, {{0, 0}, -1e-10 * q}}});
}

// 1e-10 (x - 1e4)^2, 1e-10 (y + 1e4)^2: a root of multiplicity 4 where the Jacobian is diagonal,
// so that its condition number is 1 at every point near the root.
OwnedSystem SquaresAtTenThousand() {
  return OwnedSystem(2, {{{{2, 0}, 1e-10}, {{1, 0}, -2e-6}, {{0, 0}, 1e-2}},
                         {{{0, 2}, 1e-10}, {{0, 1}, 2e-6}, {{0, 0}, 1e-2}}});
}

SimpleRootTest TestAt(const OwnedSystem& system, std::vector<Complex> x) {
  const std::vector<std::int32_t> maxDegree = MaxDegrees(system.exponents);
  return TestSimpleRoot(system.View(), maxDegree, x.data());
}

TEST(SimpleRootTest, DecidedAgainstTheTermsWhateverTheUnits) {
  const OwnedSystem simple = ProductAndSum(2e8, 3e4);
  const SimpleRootTest near = TestAt(simple, {1e4 * (1 + 1e-9), 2e4 * (1 - 1e-9)});
  EXPECT_TRUE(near.simple) << near.h;
  EXPECT_NEAR(near.root[0].real(), 1e4, 1e-8);
  EXPECT_NEAR(near.root[1].real(), 2e4, 1e-8);
  // 1e-3 off: Newton's method first has to approach, then converges quadratically.
  EXPECT_TRUE(TestAt(simple, {1e4 * (1 + 1e-3), 2e4 * (1 - 1e-3)}).simple);

  // 1e-8 off the double root, and 1e-8 off the quadruple one (Jacobian of condition 1 there).
  const SimpleRootTest fold = TestAt(ProductAndSum(1e8, 2e4), {1e4 * (1 + 1e-8), 1e4 * (1 - 1e-8)});
  EXPECT_FALSE(fold.simple) << fold.h;
  const SimpleRootTest squares = TestAt(SquaresAtTenThousand(), {1e4 * (1 + 1e-8), -1e4});
  EXPECT_FALSE(squares.simple) << squares.h;
  EXPECT_GE(squares.h, 0.1);
  // The double root split by a change of the coefficients at their rounding: two simple roots
  // 2.4e-8 apart (relative), which double precision cannot tell from a double root.
  const double split = std::sqrt(1.5e-8);
  const SimpleRootTest pair = TestAt(ProductAndSum(1e8 - 1.5e-8, 2e4), {1e4 + split, 1e4 - split});
  EXPECT_FALSE(pair.simple) << pair.h;
}

RetrackResult EndingAt(std::vector<Complex> y) { return RetrackResult{std::move(y), 5, false}; }

// Two paths at the simple root (1e4, 2e4) that both stricter attempts leave there: the careful
// re-track separates them, or, when it too leaves both there, the later path is given up.
TEST(CheckPathJumpingTest, PairAtASimpleRootIsResolvedByTheCarefulRetrack) {
  const OwnedSystem target = ProductAndSum(2e8, 3e4);
  const std::vector<Complex> root{1e4, 2e4}, other{2e4, 1e4};
  for (const bool separates : {true, false}) {
    SCOPED_TRACE(separates);
    ColMajorMatrix<Complex> s = Points({root, root});
    std::vector<PathRecord> records = Records(2);
    MockRetrack retrack, careful;
    EXPECT_CALL(retrack, Call(_, _)).Times(4).WillRepeatedly(Return(EndingAt(root)));
    EXPECT_CALL(careful, Call(ForRecord(1), DoubleEq(0.001))).WillOnce(Return(EndingAt(root)));
    EXPECT_CALL(careful, Call(ForRecord(2), DoubleEq(0.001)))
        .WillOnce(Return(EndingAt(separates ? other : root)));
    RuntimeUniform runtime(3);

    const PathCounts stats = CheckPathJumping(target.View(), s, 2, records, retrack.AsStdFunction(),
                                              runtime, careful.AsStdFunction());

    EXPECT_EQ(stats.retracked, 6);
    EXPECT_EQ(stats.separatedPairs, separates ? 1 : 0);
    EXPECT_EQ(records[0].status, PathStatus::kJumped);
    EXPECT_EQ(records[1].status, separates ? PathStatus::kJumped : PathStatus::kRetrackFailed);
    EXPECT_EQ(s(0, 1), separates ? other[0] : root[0]);
  }
}

// Two paths 1e-8 off the quadruple root: a multiple root holds several paths, so the pair stays
// whole and the careful re-tracker is not asked. Nor is it at a point 1e-3 off the simple root
// (1e4, 2e4), where Newton's method converges but no root is.
TEST(CheckPathJumpingTest, PairNextToAMultipleRootIsKept) {
  const OwnedSystem target(2, {{{{2, 0}, 1.0}, {{1, 0}, -2.0}, {{0, 0}, 1.0}},
                               {{{0, 2}, 1.0}, {{0, 1}, -2.0}, {{0, 0}, 1.0}}});
  const std::vector<Complex> point{1.0 + 1e-8, 1.0 + 1e-8};
  ColMajorMatrix<Complex> s = Points({point, point});
  std::vector<PathRecord> records = Records(2);
  MockRetrack retrack, careful;
  EXPECT_CALL(retrack, Call(_, _)).Times(4).WillRepeatedly(Return(EndingAt(point)));
  EXPECT_CALL(careful, Call(_, _)).Times(0);
  RuntimeUniform runtime(3);

  CheckPathJumping(target.View(), s, 2, records, retrack.AsStdFunction(), runtime,
                   careful.AsStdFunction());

  for (const PathRecord& record : records) EXPECT_EQ(record.status, PathStatus::kJumped);

  const std::vector<Complex> off{1e4 * (1 + 1e-3), 2e4 * (1 - 1e-3)};
  s = Points({off, off});
  records = Records(2);
  EXPECT_CALL(retrack, Call(_, _)).Times(4).WillRepeatedly(Return(EndingAt(off)));
  CheckPathJumping(ProductAndSum(2e8, 3e4).View(), s, 2, records, retrack.AsStdFunction(), runtime,
                   careful.AsStdFunction());
  for (const PathRecord& record : records) EXPECT_EQ(record.status, PathStatus::kJumped);
}

// Path 2 stopped 1e-3 off the simple root that path 1 holds (backward error 1e-4): it is
// re-tracked carefully, and given up when it ends at that root again.
TEST(CheckPathJumpingTest, EndPointOffARootAnotherPathHoldsIsRetracked) {
  const OwnedSystem target = ProductAndSum(2e8, 3e4);
  const std::vector<Complex> root{1e4, 2e4}, off{1e4 * (1 + 1e-3), 2e4 * (1 - 1e-3)};
  RetrackResult diverged{{4e9, 1.0}, 9, true};
  diverged.diverged = true;
  diverged.valuation = -0.5;
  for (const RetrackResult& again : {diverged, EndingAt(root)}) {
    ColMajorMatrix<Complex> s = Points({root, off});
    std::vector<PathRecord> records = Records(2);
    MockRetrack retrack, careful;
    EXPECT_CALL(retrack, Call(_, _)).Times(0);
    EXPECT_CALL(careful, Call(ForRecord(2), DoubleEq(0.001))).WillOnce(Return(again));
    RuntimeUniform runtime(3);

    CheckPathJumping(target.View(), s, 2, records, retrack.AsStdFunction(), runtime,
                     careful.AsStdFunction());

    EXPECT_EQ(records[0].status, PathStatus::kReached);
    EXPECT_EQ(records[1].status,
              again.diverged ? PathStatus::kDiverged : PathStatus::kRetrackFailed);
  }
}

}  // namespace
// Re-tracks that fail at every level never lose a root: the root a pair shared stays with a path
// that is still reported, and where the careful re-track of the path that jumped arrives, that
// path's own root is found (a re-track of cyclic-11 at the first level failed, and the root of the
// path that had jumped was lost).
TEST(CheckPathJumpingTest, FailingRetracksLoseNoRoot) {
  const OwnedSystem target = ProductAndSum(2e8, 3e4);
  const std::vector<Complex> root{1e4, 2e4}, other{2e4, 1e4};
  const RetrackResult failed{{3e4, 7e4}, 5, true};
  for (const bool carefulArrives : {true, false}) {
    SCOPED_TRACE(carefulArrives);
    ColMajorMatrix<Complex> s = Points({root, root});
    std::vector<PathRecord> records = Records(2);
    MockRetrack retrack, careful;
    EXPECT_CALL(retrack, Call(ForRecord(1), _)).Times(2).WillRepeatedly(Return(EndingAt(root)));
    EXPECT_CALL(retrack, Call(ForRecord(2), _)).Times(2).WillRepeatedly(Return(failed));
    EXPECT_CALL(careful, Call(ForRecord(1), _)).WillOnce(Return(EndingAt(root)));
    EXPECT_CALL(careful, Call(ForRecord(2), _))
        .WillOnce(Return(carefulArrives ? EndingAt(other) : failed));
    RuntimeUniform runtime(3);

    CheckPathJumping(target.View(), s, 2, records, retrack.AsStdFunction(), runtime,
                     careful.AsStdFunction());

    EXPECT_EQ(records[0].status, PathStatus::kJumped);
    EXPECT_EQ(s(0, 0), root[0]);
    EXPECT_EQ(records[1].status, carefulArrives ? PathStatus::kJumped : PathStatus::kRetrackFailed);
    if (carefulArrives) {
      EXPECT_EQ(s(0, 1), other[0]);
    }
  }

  // The partner's re-track goes to another root and every re-track of the path fails: the path
  // given up keeps the shared root, which is reported once.
  ColMajorMatrix<Complex> s = Points({root, root});
  std::vector<PathRecord> records = Records(2);
  MockRetrack retrack;
  EXPECT_CALL(retrack, Call(ForRecord(1), _)).WillRepeatedly(Return(EndingAt(other)));
  EXPECT_CALL(retrack, Call(ForRecord(2), _)).WillRepeatedly(Return(failed));
  RuntimeUniform runtime(3);
  CheckPathJumping(target.View(), s, 2, records, retrack.AsStdFunction(), runtime);
  EXPECT_EQ(s(0, 0), other[0]);
  EXPECT_EQ(records[1].status, PathStatus::kJumped);
  EXPECT_EQ(s(0, 1), root[0]);
  EXPECT_EQ(s(1, 1), root[1]);
}

}  // namespace zormix
