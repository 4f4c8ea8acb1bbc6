#include "report/finish.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/systems.h"

namespace zormix {
namespace {

// Roots are refined and measured on several threads exactly as on one: the condition estimate of
// root r draws what the serial loop gives it, and the generator ends in the same state.
TEST(FinishRootsTest, ThreadCountChangesNothing) {
  // x^2 = 4, y^2 + 2 x y = 9 + ...: roots near (+-2, .), found from perturbed points; every fifth
  // point is far from any root and refused, and one re-track failed.
  NormalForm system{testing::BuildSystem(
      {{{{2, 0}, 1.0}, {{0, 0}, -4.0}}, {{{0, 2}, 1.0}, {{1, 1}, 0.5}, {{0, 0}, -9.0}}})};
  system.rawCoefficients = system.coefficients;
  const Complex x0[] = {2.0, 2.0, -2.0, -2.0};
  const Complex y0[] = {-0.5 + std::sqrt(9.25), -0.5 - std::sqrt(9.25), 0.5 + std::sqrt(9.25),
                        0.5 - std::sqrt(9.25)};
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> u(-1e-3, 1e-3);
  ColMajorMatrix<Complex> points(2, 40);
  std::vector<PathRecord> records(40);
  for (std::int64_t k = 0; k < 40; ++k) {
    const double far = k % 5 == 4 ? 50.0 : 0.0;
    points(0, k) = x0[k % 4] + Complex(u(rng) + far, u(rng));
    points(1, k) = y0[k % 4] + Complex(u(rng), u(rng) - far);
    records[k].startIndex = static_cast<std::int32_t>(k + 1);
  }
  records[3].status = PathStatus::kRetrackFailed;

  RuntimeUniform serialRuntime(42), parallelRuntime(42);
  const FinishedRoots serial = FinishRoots(system, points, 40, records, serialRuntime, 1);
  const FinishedRoots parallel = FinishRoots(system, points, 40, records, parallelRuntime, 3);
  ASSERT_GT(serial.roots.cols(), 0);
  ASSERT_GT(serial.refused.size(), 1u);
  EXPECT_EQ(serial.roots, parallel.roots);
  EXPECT_EQ(serial.residues, parallel.residues);
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
