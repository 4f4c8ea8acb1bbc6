// Restarts from checkpoints cut, damaged or written for another solve.
#include "solve/checkpoint.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>

#include "support/systems.h"
#include "support/temp_dir.h"
#include "zormix/io.h"
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

// x1^2 = 2, x_k = x_(k-1) + 1/2 for k = 2..240: two paths whose steps each factor a 240 x 240
// Jacobian. Each path takes over twice the 100 ms between two polls of the tracking in a release
// build, so that a poll, and an ask for a stop, comes between the two paths (with 170 unknowns a
// path took less, and both ended between two polls).
PolySystem TwoLongPaths() {
  std::ostringstream text;
  text << "x1^2 - 2;\n";
  for (int k = 2; k <= 240; ++k) text << "x" << k << " - x" << k - 1 << " - 0.5;\n";
  return ParsePolynomialText(text.str(), "chain");
}

// A stop asked while the second path is tracked abandons it: the checkpoint holds the first path
// only, and the solve resumed from it tracks the second again, with the report of an
// uninterrupted solve.
TEST_F(CheckpointTest, APathAbandonedForAStopIsNotSaved) {
  const PolySystem system = TwoLongPaths();
  auto options = [this](const std::string& report) {
    SolveOptions o = Options(report);
    o.route = Route::kTotalDegree;
    o.threads = 1;
    return o;
  };
  SolveSystem(system, options("full.roots"));
  const std::string full = Slurp("ck");
  ASSERT_EQ(full.size(), kHeaderSize + 2 * UnitRecordSize(system.n));
  fs::remove(dir_ / "ck");

  SolveOptions stopped = options("part.roots");
  // The first ask after the first path's progress comes between the paths; the next one from
  // inside the second path.
  int asksAfterFirstPath = -1;
  stopped.progress = [&](const Progress& p) {
    if (p.stage == Stage::kTracking && p.pathsDone >= 1 && asksAfterFirstPath < 0)
      asksAfterFirstPath = 0;
  };
  stopped.interrupted = [&] { return asksAfterFirstPath >= 0 && ++asksAfterFirstPath >= 2; };
  try {
    SolveSystem(system, stopped);
    FAIL() << "the solve was not interrupted";
  } catch (const Error& e) {
    EXPECT_EQ(e.id(), kInterruptedId);
  }
  EXPECT_EQ(Slurp("ck").size(), kHeaderSize + UnitRecordSize(system.n));
  EXPECT_FALSE(fs::exists(dir_ / "part.roots"));
  SolveSystem(system, options("again.roots"));
  EXPECT_TRUE(Slurp("again.roots") == Slurp("full.roots"));
  EXPECT_TRUE(Slurp("ck") == full);
}

// What a path leaves for the decisions taken after all paths (the jump check's point, a root
// found by polishing a path given up near the target) travels with its record: a restored path
// (or one tracked by another process) must weigh in on them as if tracked here.
TEST(CheckpointRecordTest, CarriesTheJumpCheckPointAndThePolishedRoot) {
  constexpr int kN = 2;
  RouteTracking tracked(kN, 3, /*withCheckpoints=*/true);
  for (int u = 0; u < 3; ++u) tracked.outcomes[u].startIndex = u + 1;
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
    EXPECT_EQ(DecodeUnit(record, restored, UnitLayout::TotalDegree()), u);
  }
  EXPECT_EQ(restored.endPoints(0, 0), tracked.endPoints(0, 0));
  EXPECT_EQ(restored.endPoints(1, 0), tracked.endPoints(1, 0));
  for (std::int64_t u = 0; u < 3; ++u) EXPECT_EQ(restored.hasWaypoint[u], u == 0 ? 1 : 0) << u;
  EXPECT_EQ(restored.waypoints(0, 0), Complex(0.25, 0.5));
  EXPECT_EQ(restored.waypoints(1, 0), Complex(-3.0, 1e-17));
  EXPECT_TRUE(restored.polished[0].empty());
  EXPECT_TRUE(restored.polished[1].empty());
  EXPECT_EQ(restored.polished[2], tracked.polished[2]);
  EXPECT_EQ(restored.outcomes[2].status, PathStatus::kDiverged);
}

// A path whose step underflowed far out (one blow-up) and that the end game then brought to the
// target is recorded with its blow-up: its record must read back, from a file or another rank.
TEST(CheckpointRecordTest, ARecordedPathWithItsBlowUpReadsBackAndTwoBlowUpsDoNot) {
  constexpr int kN = 1;
  RouteTracking tracked(kN, 2, /*withCheckpoints=*/true);
  for (int u = 0; u < 2; ++u) {
    tracked.outcomes[u].startIndex = u + 1;
    tracked.outcomes[u].status = PathStatus::kReached;
    tracked.endPoints(0, u) = Complex(2.0, 0.5);
  }
  tracked.outcomes[0].blowUps = 1;
  tracked.outcomes[1].blowUps = 2;
  std::string bytes;
  for (std::int64_t u = 0; u < 2; ++u) EncodeUnit(tracked, u, bytes);
  RouteTracking restored(kN, 2, /*withCheckpoints=*/true);
  EXPECT_EQ(DecodeUnit(bytes.data(), restored, UnitLayout::TotalDegree()), 0);
  EXPECT_EQ(restored.outcomes[0].blowUps, 1);
  EXPECT_EQ(restored.endPoints(0, 0), Complex(2.0, 0.5));
  EXPECT_THROW(DecodeUnit(bytes.data() + UnitRecordSize(kN), restored, UnitLayout::TotalDegree()),
               Error);
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
  EXPECT_THAT(refusal(testing::Cyclic(4), Options("r")),
              HasSubstr("belongs to another system (system hash"));
  EXPECT_THAT(refusal(testing::Cyclic(5), Options("r")),
              HasSubstr("belongs to another system (4 variables, this one has 5)"));
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

// ---------------------------------------------------------------------------------------------
// Two writers, files that are not files, and records whose checksum is right but whose fields
// cannot be.

// The record `index` of a checkpoint with one field changed and its checksum made right again.
template <typename T>
std::string Altered(std::string bytes, int n, std::size_t index, std::size_t offset, T value) {
  const std::size_t size = UnitRecordSize(n);
  char* record = bytes.data() + kHeaderSize + index * size;
  std::memcpy(record + offset, &value, sizeof value);
  const std::uint64_t sum = Fnv1a(record, size - 8);
  std::memcpy(record + size - 8, &sum, sizeof sum);
  return bytes;
}

TEST_F(CheckpointTest, ASecondSolveIsRefusedAtOnceNamingTheHolder) {
  const PolySystem system = testing::Katsura(3);
  const std::string path = (dir_ / "ck").string();
  CheckpointIdentity identity;
  identity.n = system.n;
  identity.seed = 11;
  std::optional<Checkpoint> holder(std::in_place, path, identity);
  const std::string inUse = "is in use by process " + std::to_string(getpid());
  try {
    Checkpoint second(path, identity);
    FAIL() << "two writers of one checkpoint";
  } catch (const Error& e) {
    EXPECT_EQ(e.id(), kCheckpointId);
    EXPECT_THAT(e.what(), HasSubstr(inUse));
  }
  // The whole solve is refused before it computes anything, and the file is untouched.
  EXPECT_THROW(SolveSystem(system, Options("r.roots")), Error);
  EXPECT_EQ(fs::file_size(dir_ / "ck"), kHeaderSize);
  holder.reset();  // the lock goes with the holder
  EXPECT_NO_THROW(Checkpoint(path, identity));
}

TEST_F(CheckpointTest, IdenticalRepeatedRecordsAreRepairedDifferentOnesRefused) {
  const PolySystem system = testing::Katsura(4);
  const std::string full = CompleteCheckpoint(system);
  const std::size_t record = UnitRecordSize(system.n);
  const std::string records = full.substr(kHeaderSize);
  // Two writers appended the first ten units each, then the rest came once.
  Put("ck", full.substr(0, kHeaderSize) + records.substr(0, 10 * record) +
                records.substr(0, 10 * record) + records.substr(10 * record));
  ExpectResumedIdentically(system, "repeated records");
  EXPECT_EQ(Slurp("ck"), full);

  const std::uint64_t unit = RecordUnit(records.data() + 2 * record);
  std::string twice = full + records.substr(2 * record, record);
  twice = Altered(twice, system.n, (full.size() - kHeaderSize) / record, 16, std::int32_t{3});
  Put("ck", twice);
  try {
    SolveSystem(system, Options("r.roots"));
    FAIL() << "a unit stored twice with different steps was accepted";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("holds unit " + std::to_string(unit) + " twice, differently"));
  }
}

TEST_F(CheckpointTest, OnlyARegularFileCanBeACheckpoint) {
  const PolySystem system = testing::Katsura(3);
  ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  SolveOptions options = Options("r.roots");
  options.checkpointPath = (dir_ / "fifo").string();
  options.seed.reset();  // the seed is read from the file first: that must not block either
  try {
    SolveSystem(system, options);
    FAIL() << "a FIFO was taken for a checkpoint";
  } catch (const Error& e) {
    EXPECT_EQ(e.id(), kCheckpointId);
    EXPECT_THAT(e.what(), HasSubstr("is not a regular file"));
  }
  options.checkpointPath = dir_.string();
  EXPECT_THROW(SolveSystem(system, options), Error);
}

TEST_F(CheckpointTest, EveryFieldOfARecordIsCheckedAgainstTheSystem) {
  const PolySystem system = testing::Katsura(3);
  const int n = system.n;
  const std::string full = CompleteCheckpoint(system);
  const std::size_t count = (full.size() - kHeaderSize) / UnitRecordSize(n);
  const std::string of = " of " + std::to_string(count) + ": ";
  auto refusal = [&](const std::string& bytes) -> std::string {
    Put("ck", bytes);
    try {
      SolveSystem(system, Options("r.roots"));
    } catch (const Error& e) {
      EXPECT_EQ(e.id(), kCheckpointId);
      return e.what();
    }
    return "accepted";
  };
  // Fields: unit 0, cell 8, start index 12, steps 16, status 20, blow-ups 24, end point 32.
  EXPECT_THAT(refusal(Altered(full, n, 4, 0, std::uint64_t{count})),
              HasSubstr("record 5" + of + "unit " + std::to_string(count) + " is not one of"));
  EXPECT_THAT(refusal(Altered(full, n, 0, 8, std::int32_t{1000000})),
              HasSubstr("record 1" + of + "unit"));
  EXPECT_THAT(refusal(Altered(full, n, 1, 12, std::int32_t{99999999})),
              HasSubstr("record 2" + of + "unit"));
  EXPECT_THAT(refusal(Altered(full, n, 2, 16, std::int32_t{-7})),
              HasSubstr("record 3" + of + "steps -7 is outside 0..10001"));
  EXPECT_THAT(refusal(Altered(full, n, 3, 24, std::numeric_limits<std::int64_t>::max())),
              HasSubstr("record 4" + of + "blow-ups"));
  EXPECT_THAT(refusal(Altered(full, n, 0, 20, std::uint32_t{99})),
              HasSubstr("status 99 is unknown"));
  EXPECT_THAT(refusal(Altered(full, n, 5, 32, std::numeric_limits<double>::quiet_NaN())),
              HasSubstr("record 6" + of + "the end point is not finite"));
  EXPECT_THAT(refusal(Altered(full, n, 5, 40, std::numeric_limits<double>::infinity())),
              HasSubstr("the end point is not finite"));
  // The last record is checked like any other (a bad checksum there is a torn write; this is not).
  EXPECT_THAT(refusal(Altered(full, n, count - 1, 16, std::int32_t{-1})),
              HasSubstr("record " + std::to_string(count) + of + "steps -1"));
  EXPECT_FALSE(fs::exists(dir_ / "r.roots"));
}

}  // namespace
}  // namespace zormix
