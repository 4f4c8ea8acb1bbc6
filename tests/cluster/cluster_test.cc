// MPI jobs of three ranks write the report and JSON of one process, byte for byte.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/systems.h"
#include "support/temp_dir.h"
#include "zormix/io.h"

namespace zormix {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

struct Outcome {
  int code = -1;
  std::string err;
};

// The address space of a rank meant to fail: room for MPI and the command to start (about 62 MB
// with the MPI libraries), none for a thread's stack. Below it the rank fails before it joins the
// job, and rank 0 cannot name it.
constexpr const char* kRankTwoLimit = "ulimit -v 64000";

class ClusterTest : public testing::TempDirTest {
 protected:
  // Runs `command` in the test's folder; a job that hangs is ended after 5 minutes.
  Outcome Shell(const std::string& command) const {
    const std::string line = "cd '" + dir_.string() + "' && timeout 300 " + command +
                             " </dev/null >stdout.txt 2>stderr.txt";
    const int status = std::system(line.c_str());
    Outcome run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = Slurp("stderr.txt");
    return run;
  }
  static std::string Zormix(const std::string& args) {
    return std::string("'" ZORMIX_CLI_PATH "' ") + args;
  }
  // mpirun on loopback only, as many ranks as asked whatever the core count; rank 0 tells what
  // each rank ran (standard error only).
  static std::string Job(int ranks) {
    return std::string("env ZORMIX_JOB_SHARES=1 ") + ZORMIX_MPIRUN +
           (geteuid() == 0 ? " --allow-run-as-root" : "") +
           " --oversubscribe --mca btl self,vader -np " + std::to_string(ranks) + " ";
  }
  std::string Slurp(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // One process with 2 threads against 3 ranks of `threads` threads each; returns the job's
  // standard error.
  std::string ExpectJobMatchesOneProcess(const PolySystem& system, const std::string& options,
                                         int threads) {
    WriteSystemFile(system, (dir_ / "PS.num").string());
    const Outcome one = Shell(Zormix(options + " --threads 2 -q -o one.roots --json one.json"));
    EXPECT_EQ(one.code, 0) << one.err;
    const Outcome job = Shell(Job(3) + Zormix(options + " --threads " + std::to_string(threads) +
                                              " -q -o job.roots --json job.json"));
    EXPECT_EQ(job.code, 0) << job.err;
    EXPECT_EQ(Slurp("job.roots"), Slurp("one.roots")) << options;
    EXPECT_EQ(Slurp("job.json"), Slurp("one.json")) << options;
    EXPECT_FALSE(Slurp("one.roots").empty());
    return job.err;
  }
};

TEST_F(ClusterTest, CyclicSixPolyhedral) {
  ExpectJobMatchesOneProcess(testing::Cyclic(6), "--seed 21", 1);
}

TEST_F(ClusterTest, KatsuraSevenPolyhedralWithTwoThreadsPerRank) {
  ExpectJobMatchesOneProcess(testing::Katsura(7), "--seed 22", 2);
}

// The lines ZORMIX_JOB_SHARES adds to standard error: "zormix: rank R ran B branches and P paths".
struct RankShare {
  std::int64_t branches = 0, paths = 0;
};

std::vector<RankShare> SharesOf(const std::string& err) {
  static const std::regex line(R"(zormix: rank (\d+) ran (\d+) branches and (\d+) paths)");
  std::vector<RankShare> shares;
  for (std::sregex_iterator it(err.begin(), err.end(), line), end; it != end; ++it) {
    if (std::stoul((*it)[1]) != shares.size()) return {};
    shares.push_back({std::stoll((*it)[2]), std::stoll((*it)[3])});
  }
  return shares;
}

// Cyclic-7's mixed-cell search has a few dozen branches, spread over the ranks: each rank finds
// other cells, and a branch's list lost, repeated or joined out of order changes the report, the
// JSON or the mixed-volume lines.
TEST_F(ClusterTest, CyclicSevenWithTheCellSearchSpreadOverTheRanks) {
  const std::string err = ExpectJobMatchesOneProcess(testing::Cyclic(7), "--seed 26", 1);
  const std::vector<RankShare> shares = SharesOf(err);
  ASSERT_EQ(shares.size(), 3u) << err;
  std::int64_t paths = 0;
  int ranksWithBranches = 0;
  for (const RankShare& share : shares) {
    paths += share.paths;
    ranksWithBranches += share.branches > 0;
  }
  EXPECT_EQ(paths, 924);  // the mixed volume: every path tracked once
  EXPECT_GE(ranksWithBranches, 2) << err;

  ASSERT_EQ(Shell(Zormix("--seed 26 --threads 2 --mixed-volume")).code, 0);
  const std::string oneProcess = Slurp("stdout.txt");
  ASSERT_EQ(Shell(Job(3) + Zormix("--seed 26 --threads 1 --mixed-volume")).code, 0);
  EXPECT_EQ(Slurp("stdout.txt"), oneProcess);
}

TEST_F(ClusterTest, CyclicSixTotalDegree) {
  ExpectJobMatchesOneProcess(testing::Cyclic(6), "--seed 23 -r total-degree", 1);
}

// A job resumes from a checkpoint: half of it from a job, its seed taken from the file. Its ranks
// run on the default thread count (one per core), which every rank must resolve for itself.
TEST_F(ClusterTest, AJobResumesFromACheckpoint) {
  WriteSystemFile(testing::Katsura(6), (dir_ / "PS.num").string());
  ASSERT_EQ(Shell(Zormix("--seed 24 -q -o one.roots --json one.json")).code, 0);
  ASSERT_EQ(Shell(Job(3) + Zormix("--seed 24 -q --checkpoint ck --no-report")).code, 0);
  const std::string full = Slurp("ck");
  // A record: 32 fixed bytes, three points, flags and winding number, valuation, checksum.
  const std::size_t record = 32 + 3 * 16 * 7 + 8 + 8 + 8, paths = (full.size() - 64) / record;
  ASSERT_EQ(paths, 64u);  // the mixed volume of katsura-6
  std::ofstream(dir_ / "ck", std::ios::binary) << full.substr(0, 64 + paths / 2 * record + 5);
  const Outcome resumed = Shell(Job(3) + Zormix("-q --checkpoint ck -o job.roots --json job.json"));
  ASSERT_EQ(resumed.code, 0) << resumed.err;
  EXPECT_EQ(Slurp("job.roots"), Slurp("one.roots"));
  EXPECT_EQ(Slurp("job.json"), Slurp("one.json"));
  EXPECT_EQ(Slurp("ck").size(), full.size());
}

// Rank 2 cannot start a thread in 64 MB of address space: rank 0 names it and ends the job
// instead of waiting for its branches of the mixed-cell search (polyhedral route) or its paths
// (total-degree route, no cells).
TEST_F(ClusterTest, AFailingRankEndsTheJobWithAMessageFromRankZero) {
  WriteSystemFile(testing::Cyclic(6), (dir_ / "PS.num").string());
  for (const std::string route : {"polyhedral", "total-degree"}) {
    const std::string args = "--seed 25 -q -o job.roots -r " + route;
    const Outcome job = Shell(Job(2) + Zormix(args) + " : -np 1 bash -c '" + kRankTwoLimit +
                              "; exec " + Zormix(args) + "'");
    EXPECT_NE(job.code, 0) << route;
    EXPECT_THAT(job.err, HasSubstr("zormix: rank 2 failed: ")) << route;
    EXPECT_FALSE(fs::exists(dir_ / "job.roots")) << route;
  }
}

// A family's members handed out over three ranks: the JSON Lines of one process, byte for byte,
// whatever the threads.
class ClusterSweepTest : public ClusterTest {
 protected:
  void SetUp() override {
    ClusterTest::SetUp();
    std::ofstream(dir_ / "robot.txt") << "variables x, y, c, s;\nparameters L1, L2, L3;\n"
                                         "x^2 + y^2 - L1;\n(x + 4*c - 10)^2 + (y + 4*s)^2 - L2;\n"
                                         "(x + 1.5*c - 3*s - 5)^2 + (y + 1.5*s + 3*c - 8)^2 - L3;\n"
                                         "c^2 + s^2 - 1;\n";
    std::ofstream values(dir_ / "values.txt");
    for (int k = 0; k < 30; ++k)
      values << 10 + (k * 7) % 40 << " " << 20 + (k * 11) % 35 << " " << 15 + (k * 5) % 30
             << (k == 17 ? "i" : "") << "\n";
    values << "0 0 0\n";  // a member far from generic: x^2 + y^2 = 0
  }
  // The table without its time column and wall time.
  std::string TableOf(const std::string& name) const {
    std::istringstream in(Slurp(name));
    std::string table;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("wall time", 0) == 0) continue;
      table += std::regex_replace(line, std::regex(" +[0-9.]+( +re-tracked)?$"), "") + "\n";
    }
    return table;
  }
};

TEST_F(ClusterSweepTest, RanksWriteTheRecordsOfOneProcess) {
  const std::string sweep = "sweep robot.txt values.txt --seed 31 -q --json ";
  const Outcome one = Shell(Zormix(sweep + "one.jsonl --threads 2"));
  ASSERT_EQ(one.code, 0) << one.err;
  std::rename((dir_ / "stdout.txt").c_str(), (dir_ / "one.txt").c_str());
  for (int threads : {1, 2}) {
    const Outcome job =
        Shell(Job(3) + Zormix(sweep + "job.jsonl --threads " + std::to_string(threads)));
    ASSERT_EQ(job.code, 0) << job.err;
    EXPECT_EQ(Slurp("job.jsonl"), Slurp("one.jsonl")) << threads << " threads per rank";
    EXPECT_EQ(TableOf("stdout.txt"), TableOf("one.txt"));
  }
  EXPECT_THAT(Slurp("one.jsonl"), HasSubstr("\"instance\":31,"));
}

// The start solve runs over the ranks as a solve does, alone or before a sweep: the start file of
// one process, byte for byte.
TEST_F(ClusterSweepTest, StartSolveOverRanksWritesTheStartOfOneProcess) {
  const Outcome one = Shell(Zormix("solve robot.txt --save-start one.json --seed 33 -q"));
  ASSERT_EQ(one.code, 0) << one.err;
  const Outcome job =
      Shell(Job(3) + Zormix("solve robot.txt --save-start job.json --seed 33 --threads 1 -q"));
  ASSERT_EQ(job.code, 0) << job.err;
  EXPECT_EQ(Slurp("job.json"), Slurp("one.json"));
  EXPECT_THAT(job.err, HasSubstr("zormix: rank 2 ran "));  // the ranks' shares of a solve
  const Outcome sweep = Shell(Job(3) + Zormix("sweep robot.txt values.txt --seed 33 --threads 1 "
                                              "-q --save-start sweep.json"));
  ASSERT_EQ(sweep.code, 0) << sweep.err;
  EXPECT_EQ(Slurp("sweep.json"), Slurp("one.json"));
  EXPECT_THAT(sweep.err, HasSubstr("zormix: rank 2 ran "));
}

TEST_F(ClusterSweepTest, AFailingRankEndsTheSweepWithAMessageFromRankZero) {
  const std::string args = "sweep robot.txt values.txt --seed 32 -q --json job.jsonl";
  const Outcome job = Shell(Job(2) + Zormix(args) + " : -np 1 bash -c '" + kRankTwoLimit +
                            "; exec " + Zormix(args) + "'");
  EXPECT_NE(job.code, 0);
  EXPECT_THAT(job.err, HasSubstr("zormix: rank 2 failed: "));
  // Whatever was written are whole records.
  const std::string written = Slurp("job.jsonl");
  EXPECT_TRUE(written.empty() || written.back() == '\n');
}

// A decomposition over the ranks: every rank runs it, the paths of its solves and homotopies shared
// out. The JSON of one process (times aside) whatever the ranks and their threads, and a membership
// query answered alike.
class ClusterDecomposeTest : public ClusterTest {
 protected:
  // The JSON with every "seconds" value set to 0: the only field that differs between runs.
  std::string JsonWithoutTimes(const std::string& name) const {
    return std::regex_replace(Slurp(name), std::regex("\"seconds\": [-0-9.e+]+"), "\"seconds\": 0");
  }
  // Paths rank `rank` tracked, as rank 0 tells with ZORMIX_JOB_SHARES; -1 when it does not say.
  static long long PathsOfRank(const std::string& err, int rank) {
    std::smatch m;
    const std::regex line("rank " + std::to_string(rank) + " tracked ([0-9]+) paths");
    return std::regex_search(err, m, line) ? std::stoll(m[1]) : -1;
  }
};

TEST_F(ClusterDecomposeTest, RanksWriteTheDecompositionOfOneProcess) {
  // A sphere, the twisted cubic, three lines and an isolated point; and the three coordinate axes
  // cut out by four equations in three unknowns (combined at random; dimension 0 by the cascade).
  std::ofstream(dir_ / "surface.txt") << "variables x, y, z;\n"
                                         "(y - x^2)*(x^2 + y^2 + z^2 - 1)*(x - 0.5);\n"
                                         "(z - x^3)*(x^2 + y^2 + z^2 - 1)*(y - 0.5);\n"
                                         "(y - x^2)*(z - x^3)*(x^2 + y^2 + z^2 - 1)*(z - 0.5);\n";
  std::ofstream(dir_ / "axes.txt") << "variables x, y, z;\nx*y;\nx*z;\ny*z;\nx*y*z - x*y;\n";
  std::ofstream(dir_ / "points.txt") << "0.5, 0.25, 0.125\n0.5, 0.5, 0.5\n0, 0, 3\n";
  struct Case {
    const char* system;
    int ranks, threads;
  };
  for (const Case c : {Case{"surface.txt", 3, 1}, Case{"axes.txt", 2, 2}}) {
    const std::string args =
        std::string("decompose ") + c.system + " --seed 7 -q --member points.txt --json ";
    const Outcome one = Shell(Zormix(args + "one.json --threads 2"));
    ASSERT_EQ(one.code, 0) << one.err;
    const std::string summary = Slurp("stdout.txt");
    const Outcome job =
        Shell(Job(c.ranks) + Zormix(args + "job.json --threads " + std::to_string(c.threads)));
    ASSERT_EQ(job.code, 0) << job.err;
    EXPECT_EQ(JsonWithoutTimes("job.json"), JsonWithoutTimes("one.json")) << c.system;
    EXPECT_EQ(std::regex_replace(Slurp("stdout.txt"), std::regex("job.json"), "one.json"), summary);
    EXPECT_THAT(summary, HasSubstr("on component")) << c.system;
    // Rank 0 names every rank, and the others took a share of the paths (how large a share
    // depends on when each rank asked).
    long long others = 0;
    for (int rank = 0; rank < c.ranks; ++rank) {
      EXPECT_GE(PathsOfRank(job.err, rank), 0) << c.system << ", rank " << rank;
      if (rank > 0) others += PathsOfRank(job.err, rank);
    }
    EXPECT_GT(others, 0) << c.system << "\n" << job.err;
  }
}

TEST_F(ClusterDecomposeTest, AFailingRankEndsTheDecompositionWithAMessageFromRankZero) {
  std::ofstream(dir_ / "lines.txt") << "variables x, y, z;\nx*y;\nx*z;\ny*z;\n";
  const std::string args = "decompose lines.txt --seed 3 -q --threads 1 --json job.json";
  const Outcome job = Shell(Job(2) + Zormix(args) + " : -np 1 bash -c '" + kRankTwoLimit +
                            "; exec " + Zormix(args) + "'");
  EXPECT_NE(job.code, 0);
  EXPECT_THAT(job.err, HasSubstr("zormix: rank 2 failed: "));
  EXPECT_FALSE(fs::exists(dir_ / "job.json"));
}

}  // namespace
}  // namespace zormix
