// What a program that links the library sees: silence by default, and solves that run side by side
// on threads of their own without sharing state.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/systems.h"
#include "support/temp_dir.h"
#include "zormix/solve.h"
#include "zormix/stages.h"

namespace zormix {
namespace {

namespace fs = std::filesystem;

// Standard output and standard error of the calling process go to files while it lives.
class CapturedOutput {
 public:
  explicit CapturedOutput(const fs::path& dir) : out_(dir / "stdout"), err_(dir / "stderr") {
    std::fflush(nullptr);
    savedOut_ = dup(STDOUT_FILENO);
    savedErr_ = dup(STDERR_FILENO);
    std::freopen(out_.c_str(), "w", stdout);
    std::freopen(err_.c_str(), "w", stderr);
  }
  ~CapturedOutput() { Restore(); }
  void Restore() {
    if (savedOut_ < 0) return;
    std::fflush(nullptr);
    dup2(savedOut_, STDOUT_FILENO);
    dup2(savedErr_, STDERR_FILENO);
    close(savedOut_);
    close(savedErr_);
    savedOut_ = savedErr_ = -1;
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string Out() const { return Read(out_); }
  std::string Err() const { return Read(err_); }

 private:
  fs::path out_, err_;
  int savedOut_ = -1, savedErr_ = -1;
};

class LibraryCallerTest : public testing::TempDirTest {};

// Run in an empty working folder of its own: whatever the solve writes relative to it shows up.
TEST_F(LibraryCallerTest, DefaultOptionsWriteNoFileAndPrintNothing) {
  const fs::path work = dir_ / "work";
  fs::create_directory(work);
  const fs::path before = fs::current_path();
  fs::current_path(work);
  SolveResult polyhedral, totalDegree;
  {
    CapturedOutput captured(dir_);
    polyhedral = SolveSystem(testing::Cyclic(5), SolveOptions{});
    SolveOptions options;
    options.route = Route::kTotalDegree;
    options.certify = true;
    totalDegree = SolveSystem(testing::Cyclic(5), options);
    captured.Restore();
    EXPECT_EQ(captured.Out(), "");
    EXPECT_EQ(captured.Err(), "");
  }
  fs::current_path(before);
  EXPECT_TRUE(fs::is_empty(work));
  EXPECT_EQ(polyhedral.rootCount, 70);
  EXPECT_EQ(totalDegree.rootCount, 70);
}

// Without a seed nothing but the drawn seed decides a solve: solving again with the reported seed
// replays it bit for bit, also after other solves ran in between.
TEST(LibraryCallerSeedTest, UnseededSolvesReplayFromTheirReportedSeed) {
  const PolySystem cyclic = testing::Cyclic(5);
  const SolveResult first = SolveSystem(cyclic, SolveOptions{});
  SolveSystem(cyclic, SolveOptions{});
  SolveOptions replay;
  replay.seed = first.seed;
  const SolveResult again = SolveSystem(cyclic, replay);
  EXPECT_EQ(again.roots, first.roots);
  EXPECT_EQ(again.conditionNumbers, first.conditionNumbers);
}

// Also run under ThreadSanitizer (scripts/test.sh): the solves of four threads, each on two
// tracking threads, with seeds and without, give what they give one at a time.
TEST(ConcurrentSolvesTest, SolvesOnSeveralThreadsMatchSerialSolves) {
  const PolySystem cyclic = testing::Cyclic(5);
  constexpr int kSolves = 4;
  auto optionsOf = [](int k) {
    SolveOptions options;
    options.threads = 2;
    options.route = k % 2 == 0 ? Route::kPolyhedral : Route::kTotalDegree;
    if (k < 2) options.seed = 11 + k;  // the others draw fresh entropy
    options.progress = [](const Progress&) {};
    return options;
  };
  std::vector<SolveResult> concurrent(kSolves);
  std::vector<std::thread> threads;
  for (int k = 0; k < kSolves; ++k) {
    threads.emplace_back([&, k] {
      const Problem problem(cyclic);
      const SolveOptions options = optionsOf(k);
      concurrent[k] = Finish(Track(MakeStartSystem(problem, options), problem, options), options);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int k = 0; k < kSolves; ++k) {
    SolveOptions serial = optionsOf(k);
    serial.seed = concurrent[k].seed;
    const SolveResult expected = SolveSystem(cyclic, serial);
    EXPECT_EQ(concurrent[k].roots, expected.roots) << k;
    EXPECT_EQ(concurrent[k].residuals, expected.residuals) << k;
    EXPECT_EQ(concurrent[k].rootCount, 70) << k;
  }
}

}  // namespace
}  // namespace zormix
