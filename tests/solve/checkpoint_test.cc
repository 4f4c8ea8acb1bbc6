// Restarts from checkpoints cut, damaged or written for another solve.
#include "solve/checkpoint.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/systems.h"
#include "support/temp_dir.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr std::size_t kHeaderSize = 64;

class CheckpointTest : public testing::TempDirTest {
 protected:
  SolveOptions Options(const std::string& report, std::uint64_t seed = 11) const {
    SolveOptions options;
    options.route = Route::kPolyhedral;
    options.seed = seed;
    options.threads = 2;
    options.reportPath = (dir_ / report).string();
    options.checkpointPath = (dir_ / "ck").string();
    return options;
  }
  std::string Slurp(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  // A complete checkpoint of `system` and the report of the uninterrupted solve that wrote it.
  std::string CompleteCheckpoint(const PolySystem& system) {
    SolveSystem(system, Options("full.roots"));
    return Slurp("ck");
  }
  // Solves again from the current checkpoint; the report must equal the uninterrupted one.
  void ExpectResumedIdentically(const PolySystem& system, const std::string& why) {
    SolveSystem(system, Options("again.roots"));
    EXPECT_EQ(Slurp("again.roots"), Slurp("full.roots")) << why;
  }
};

TEST_F(CheckpointTest, ResumesIdenticallyFromAnyCutAndRepairsATornTail) {
  const PolySystem system = testing::Cyclic(5);
  const std::string full = CompleteCheckpoint(system);
  const std::size_t record = UnitRecordSize(system.n);
  ASSERT_EQ((full.size() - kHeaderSize) % record, 0u);
  const std::size_t records = (full.size() - kHeaderSize) / record;
  ASSERT_EQ(records, 70u);  // the mixed volume of cyclic-5

  for (std::size_t keep : {std::size_t{0}, records / 3, records - 1, records}) {
    for (std::size_t torn : {std::size_t{0}, std::size_t{1}, record - 1}) {
      if (keep == records && torn > 0) continue;
      Put("ck", full.substr(0, kHeaderSize + keep * record + torn));
      ExpectResumedIdentically(system, "kept " + std::to_string(keep) + " records and " +
                                           std::to_string(torn) + " bytes");
      // The torn bytes are cut off and every path is in the file again, once.
      EXPECT_EQ(Slurp("ck").size(), full.size());
    }
  }
}

// What a path leaves for the decisions taken after all paths (the jump check's point, a root
// found by polishing a path given up near the target) travels with its record: a restored path
// (or one tracked by another process) must weigh in on them as if tracked here.
TEST(CheckpointRecordTest, CarriesTheJumpCheckPointAndThePolishedRoot) {
  constexpr int kN = 2;
  RouteTracking tracked(kN, 3, /*withCheckpoints=*/true);
  tracked.outcomes[0].status = PathStatus::kReached;
  tracked.endPoints(0, 0) = Complex(1.5, -2.0);
  tracked.endPoints(1, 0) = Complex(1e300, 4.9e-324);
  tracked.waypoints(0, 0) = Complex(0.25, 0.5);
  tracked.waypoints(1, 0) = Complex(-3.0, 1e-17);
  tracked.hasWaypoint[0] = 1;
  tracked.outcomes[2].status = PathStatus::kDiverged;
  tracked.polished[2] = {Complex(7.0, 1.0), Complex(-8.0, 0.0)};
  std::string bytes;
  for (std::int64_t u = 0; u < 3; ++u) EncodeUnit(tracked, u, bytes);
  ASSERT_EQ(bytes.size(), 3 * UnitRecordSize(kN));

  RouteTracking restored(kN, 3, /*withCheckpoints=*/true);
  for (std::int64_t u = 0; u < 3; ++u) {
    const char* record = bytes.data() + u * UnitRecordSize(kN);
    ASSERT_TRUE(RecordIntact(record, kN));
    EXPECT_EQ(DecodeUnit(record, restored), u);
  }
  EXPECT_EQ(restored.endPoints.storage()[0], tracked.endPoints.storage()[0]);
  EXPECT_EQ(restored.endPoints.storage()[1], tracked.endPoints.storage()[1]);
  EXPECT_EQ(restored.hasWaypoint, (std::vector<std::uint8_t>{1, 0, 0}));
  EXPECT_EQ(restored.waypoints(0, 0), Complex(0.25, 0.5));
  EXPECT_EQ(restored.waypoints(1, 0), Complex(-3.0, 1e-17));
  EXPECT_TRUE(restored.polished[0].empty());
  EXPECT_TRUE(restored.polished[1].empty());
  EXPECT_EQ(restored.polished[2], tracked.polished[2]);
  EXPECT_EQ(restored.outcomes[2].status, PathStatus::kDiverged);
}

TEST_F(CheckpointTest, ADamagedLastRecordIsTrackedAgainButDamageBeforeItIsRefused) {
  const PolySystem system = testing::Katsura(4);
  std::string bytes = CompleteCheckpoint(system);
  const std::size_t record = UnitRecordSize(system.n);

  std::string lastDamaged = bytes;
  lastDamaged[lastDamaged.size() - record / 2] ^= 0x10;
  Put("ck", lastDamaged);
  ExpectResumedIdentically(system, "damaged last record");
  EXPECT_EQ(Slurp("ck").size(), bytes.size());

  bytes[kHeaderSize + 3 * record + 20] ^= 0x01;  // an end point's bit in record 4
  Put("ck", bytes);
  fs::remove(dir_ / "again.roots");
  try {
    SolveSystem(system, Options("again.roots"));
    FAIL() << "a damaged record before the last was accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.id(), kCheckpointId);
    EXPECT_THAT(e.what(), HasSubstr("is damaged at record 4 of"));
  }
  EXPECT_FALSE(fs::exists(dir_ / "again.roots"));
}

TEST_F(CheckpointTest, ACheckpointOfAnotherSolveIsRefusedNamingWhatDiffers) {
  const PolySystem system = testing::Katsura(3);
  CompleteCheckpoint(system);
  const std::string written = Slurp("ck");
  auto refusal = [&](const PolySystem& s, const SolveOptions& options) -> std::string {
    try {
      SolveSystem(s, options);
    } catch (const Error& e) {
      EXPECT_EQ(e.id(), kCheckpointId);
      return e.what();
    }
    return "accepted";
  };
  EXPECT_THAT(refusal(system, Options("r", 12)), HasSubstr("was written with seed 11, not 12"));
  EXPECT_THAT(refusal(testing::Cyclic(4), Options("r")), HasSubstr("belongs to another system"));
  PolySystem otherCoefficient = system;
  otherCoefficient.coefficients[0] *= 1.0 + 1e-15;
  EXPECT_THAT(refusal(otherCoefficient, Options("r")), HasSubstr("belongs to another system"));
  SolveOptions totalDegree = Options("r");
  totalDegree.route = Route::kTotalDegree;
  EXPECT_THAT(refusal(system, totalDegree),
              HasSubstr("was written on the polyhedral route, not on the total-degree route"));

  std::string header = written;
  header[30] ^= 0x04;  // inside the stored seed
  Put("ck", header);
  EXPECT_THAT(refusal(system, Options("r")), HasSubstr("has a damaged header"));
  Put("ck", "not a checkpoint at all, but long enough to hold a header of sixty-four bytes");
  EXPECT_THAT(refusal(system, Options("r")), HasSubstr("is not a zormix checkpoint"));
  EXPECT_EQ(Slurp("ck").substr(0, 3), "not");  // a refused file is left as it was
}

// Without a seed the first solve draws one and stores it; the next takes it from the file.
TEST_F(CheckpointTest, WithoutASeedTheStoredSeedIsUsed) {
  const PolySystem system = testing::Katsura(3);
  SolveOptions options = Options("first.roots");
  options.seed.reset();
  const SolveResult first = SolveSystem(system, options);
  EXPECT_EQ(CheckpointSeed(options.checkpointPath), first.seed);
  options.reportPath = (dir_ / "second.roots").string();
  EXPECT_EQ(SolveSystem(system, options).seed, first.seed);
  EXPECT_EQ(Slurp("second.roots"), Slurp("first.roots"));
  EXPECT_EQ(CheckpointSeed((dir_ / "none").string()), std::nullopt);
}

}  // namespace
}  // namespace zormix
