#include "finish/finish.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "finish/certify.h"
#include "finish/classify.h"
#include "model/normal_form.h"
#include "support/systems.h"
#include "zormix/error.h"

namespace zormix {
namespace {

// x^2 = 4, y^2 + x y / 2 = 9: roots near (+-2, .), 40 end points perturbed from them; every fifth
// point is far from any root and refused, and the re-track of point 3 failed. Record k has start
// index k + 1.
struct PerturbedEndPoints {
  PerturbedEndPoints() : points(2, 40), records(40) {
    system.rawCoefficients = system.scaled.coefficients;
    const Complex x0[] = {2.0, 2.0, -2.0, -2.0};
    const Complex y0[] = {-0.5 + std::sqrt(9.25), -0.5 - std::sqrt(9.25), 0.5 + std::sqrt(9.25),
                          0.5 - std::sqrt(9.25)};
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> u(-1e-3, 1e-3);
    for (std::int64_t k = 0; k < 40; ++k) {
      const double far = k % 5 == 4 ? 50.0 : 0.0;
      points(0, k) = x0[k % 4] + Complex(u(rng) + far, u(rng));
      points(1, k) = y0[k % 4] + Complex(u(rng), u(rng) - far);
      records[k].startIndex = static_cast<std::int32_t>(k + 1);
    }
    records[3].status = PathStatus::kRetrackFailed;
  }

  NormalForm system{testing::BuildSystem(
      {{{{2, 0}, 1.0}, {{0, 0}, -4.0}}, {{{0, 2}, 1.0}, {{1, 1}, 0.5}, {{0, 0}, -9.0}}})};
  ColMajorMatrix<Complex> points;
  std::vector<PathRecord> records;
};

// Refused points between accepted ones: every root is its own end point refined, in the order of
// the end points, with its record.
TEST(FinishRootsTest, EachRootComesFromItsOwnEndPoint) {
  const PerturbedEndPoints in;
  RuntimeUniform runtime(42);
  const FinishedRoots out = FinishRoots(in.system, in.points, 40, in.records, runtime, 2);
  ASSERT_EQ(out.roots.cols(), 31);  // 40 less 8 far ones less the failed re-track
  ASSERT_EQ(out.records.size(), 31u);
  ASSERT_EQ(out.refused.size(), 9u);
  std::int32_t previous = 0;
  for (std::int64_t r = 0; r < out.roots.cols(); ++r) {
    const std::int64_t k = out.records[r].startIndex - 1;
    EXPECT_GT(k + 1, previous);
    previous = static_cast<std::int32_t>(k + 1);
    for (int v = 0; v < 2; ++v)
      EXPECT_LT(std::abs(out.roots(v, r) - in.points(v, k)), 1e-2) << "root " << r;
  }
}

// Whether `run` ends with the interrupted error.
template <typename Run>
bool Interrupted(Run run) {
  try {
    run();
  } catch (const Error& e) {
    return e.id() == std::string(kInterruptedId);
  }
  return false;
}

// The finishing stage hears the solve's stop between its end points: refinement, classification
// and certification each end with the interrupted error, on one thread and on several.
TEST(FinishRootsTest, AStopEndsEveryPartOfTheFinish) {
  const PerturbedEndPoints in;
  const std::function<bool()> stop = [] { return true; };
  RuntimeUniform runtime(42);
  const FinishedRoots out = FinishRoots(in.system, in.points, 40, in.records, runtime, 2);
  SolveResult r;
  r.n = 2;
  r.roots = out.roots;
  r.isReal = out.isReal;
  r.records = out.records;
  r.rootStatus.assign(static_cast<std::size_t>(out.roots.cols()), RootStatus::kRegular);
  for (int threads : {1, 3}) {
    EXPECT_TRUE(Interrupted(
        [&] { FinishRoots(in.system, in.points, 40, in.records, runtime, threads, stop); }));
    EXPECT_TRUE(Interrupted([&] { ClassifyRoots(in.system, r, threads, stop); }));
  }
  EXPECT_TRUE(Interrupted([&] { CertifyRoots(in.system, r, stop); }));
  EXPECT_FALSE(Interrupted([&] { CertifyRoots(in.system, r, [] { return false; }); }));
}

// Roots are refined and measured on several threads exactly as on one: the condition estimate of
// root r draws what the serial loop gives it, and the generator ends in the same state.
TEST(FinishRootsTest, ThreadCountChangesNothing) {
  const PerturbedEndPoints in;
  const NormalForm& system = in.system;
  const ColMajorMatrix<Complex>& points = in.points;
  const std::vector<PathRecord>& records = in.records;

  RuntimeUniform serialRuntime(42), parallelRuntime(42);
  const FinishedRoots serial = FinishRoots(system, points, 40, records, serialRuntime, 1);
  const FinishedRoots parallel = FinishRoots(system, points, 40, records, parallelRuntime, 3);
  ASSERT_GT(serial.roots.cols(), 0);
  ASSERT_GT(serial.refused.size(), 1u);
  EXPECT_EQ(serial.roots, parallel.roots);
  EXPECT_EQ(serial.residuals, parallel.residuals);
  EXPECT_EQ(serial.conditionNumbers, parallel.conditionNumbers);
  EXPECT_EQ(serial.isReal, parallel.isReal);
  ASSERT_EQ(serial.refused.size(), parallel.refused.size());
  for (std::size_t k = 0; k < serial.refused.size(); ++k) {
    EXPECT_EQ(serial.refused[k].startIndex, parallel.refused[k].startIndex);
    EXPECT_EQ(serial.refused[k].status, parallel.refused[k].status);
  }
  serialRuntime.Reseed();
  parallelRuntime.Reseed();
  EXPECT_EQ(serialRuntime.Next(), parallelRuntime.Next());
}

// A path whose re-track went to infinity keeps that verdict and its valuation, even when its end
// point (that of the path it had jumped onto) refines to a root.
TEST(FinishRootsTest, PathProvedDivergingByItsRetrackIsNotARoot) {
  PerturbedEndPoints in;
  in.records[1].status = PathStatus::kDiverged;
  in.records[1].valuation = -0.5;
  RuntimeUniform runtime(42);
  const FinishedRoots out = FinishRoots(in.system, in.points, 4, in.records, runtime);
  ASSERT_EQ(out.roots.cols(), 2);  // end point 3's re-track failed
  ASSERT_EQ(out.refused.size(), 2u);
  EXPECT_EQ(out.refused[0].status, PathStatus::kDiverged);
  EXPECT_EQ(out.refused[0].valuation, -0.5);
  EXPECT_EQ(out.refused[1].status, PathStatus::kRetrackFailed);
}

// (x - y)(x + y - 1) = 0, (x - y)(2x - y + 3) = 0: the line x = y and one isolated root. An end
// point 1e-7 off the line far out solves the system to 1e-6, but Newton's method from it runs
// along the line (its Jacobian has rank one there) and refinement refuses it; it lies on a
// solution set and is kept as it is. A point off the line is still refused.
TEST(FinishRootsTest, EndPointRefinementRefusesOnASetIsKept) {
  testing::Equation f1, f2;
  testing::AddTerm(f1, {2, 0}, 1.0);
  testing::AddTerm(f1, {0, 2}, -1.0);
  testing::AddTerm(f1, {1, 0}, -1.0);
  testing::AddTerm(f1, {0, 1}, 1.0);
  testing::AddTerm(f2, {2, 0}, 2.0);
  testing::AddTerm(f2, {1, 1}, -3.0);
  testing::AddTerm(f2, {0, 2}, 1.0);
  testing::AddTerm(f2, {1, 0}, 3.0);
  testing::AddTerm(f2, {0, 1}, -3.0);
  const NormalForm system = BringToNormalForm(testing::BuildSystem({f1, f2}));
  ColMajorMatrix<Complex> points(2, 2);
  points(0, 0) = Complex(10.0 + 1e-7, 0.2);
  points(1, 0) = Complex(10.0, 0.2);
  points(0, 1) = 1.0;
  points(1, 1) = 5.0;
  std::vector<PathRecord> records(2);
  RuntimeUniform runtime(42);
  const FinishedRoots out = FinishRoots(system, points, 2, records, runtime);
  ASSERT_EQ(out.roots.cols(), 1);
  EXPECT_EQ(out.roots(0, 0), points(0, 0));
  ASSERT_EQ(out.refused.size(), 1u);
  EXPECT_EQ(out.refused[0].status, PathStatus::kRefusedAtTarget);
}

// AfterReseeds(k) continues exactly as k calls of Reseed() would, whatever was drawn in between.
TEST(FinishRootsTest, GeneratorSkipsAheadLikeTheSerialLoop) {
  RuntimeUniform serial(9);
  const RuntimeUniform start = serial;
  for (int k = 0; k < 5; ++k) {
    serial.Reseed();
    serial.Next();
  }
  RuntimeUniform skipped = start.AfterReseeds(5);
  serial.Reseed();
  skipped.Reseed();
  EXPECT_EQ(serial.Next(), skipped.Next());
}

}  // namespace
}  // namespace zormix
