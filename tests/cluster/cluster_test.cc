// MPI jobs of three ranks write the report and JSON of one process, byte for byte.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/systems.h"
#include "zormix/io.h"

namespace zormix {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

struct Outcome {
  int code = -1;
  std::string err;
};

class ClusterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zormix_cluster_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

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
  // mpirun on loopback only, as many ranks as asked whatever the core count.
  static std::string Job(int ranks) {
    return std::string(ZORMIX_MPIRUN) + (geteuid() == 0 ? " --allow-run-as-root" : "") +
           " --oversubscribe --mca btl self,vader -np " + std::to_string(ranks) + " ";
  }
  std::string Slurp(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // One process with 2 threads against 3 ranks of `threads` threads each.
  void ExpectJobMatchesOneProcess(const PolySystem& system, const std::string& options,
                                  int threads) {
    WriteSystemFile(system, (dir_ / "PS.num").string());
    const Outcome one = Shell(Zormix(options + " --threads 2 -q -o one.roots --json one.json"));
    ASSERT_EQ(one.code, 0) << one.err;
    const Outcome job = Shell(Job(3) + Zormix(options + " --threads " + std::to_string(threads) +
                                              " -q -o job.roots --json job.json"));
    ASSERT_EQ(job.code, 0) << job.err;
    EXPECT_EQ(Slurp("job.roots"), Slurp("one.roots")) << options;
    EXPECT_EQ(Slurp("job.json"), Slurp("one.json")) << options;
    EXPECT_FALSE(Slurp("one.roots").empty());
  }

  fs::path dir_;
};

TEST_F(ClusterTest, CyclicSixPolyhedral) {
  ExpectJobMatchesOneProcess(testing::Cyclic(6), "--seed 21", 1);
}

TEST_F(ClusterTest, KatsuraSevenPolyhedralWithTwoThreadsPerRank) {
  ExpectJobMatchesOneProcess(testing::Katsura(7), "--seed 22", 2);
}

TEST_F(ClusterTest, CyclicSixTotalDegree) {
  ExpectJobMatchesOneProcess(testing::Cyclic(6), "--seed 23 -r total-degree", 1);
}

// A job resumes from a checkpoint: half of it from a job, its seed taken from the file.
TEST_F(ClusterTest, AJobResumesFromACheckpoint) {
  WriteSystemFile(testing::Katsura(6), (dir_ / "PS.num").string());
  ASSERT_EQ(Shell(Zormix("--seed 24 -q -o one.roots --json one.json")).code, 0);
  ASSERT_EQ(Shell(Job(3) + Zormix("--seed 24 -q --checkpoint ck --no-report")).code, 0);
  const std::string full = Slurp("ck");
  const std::size_t record = 32 + 3 * 16 * 7 + 8 + 8, paths = (full.size() - 64) / record;
  ASSERT_EQ(paths, 64u);  // the mixed volume of katsura-6
  std::ofstream(dir_ / "ck", std::ios::binary) << full.substr(0, 64 + paths / 2 * record + 5);
  const Outcome resumed = Shell(Job(3) + Zormix("-q --checkpoint ck -o job.roots --json job.json"));
  ASSERT_EQ(resumed.code, 0) << resumed.err;
  EXPECT_EQ(Slurp("job.roots"), Slurp("one.roots"));
  EXPECT_EQ(Slurp("job.json"), Slurp("one.json"));
  EXPECT_EQ(Slurp("ck").size(), full.size());
}

// Rank 2 cannot start a tracking thread in 60 MB of address space: rank 0 names it and ends
// the job instead of waiting for its paths.
TEST_F(ClusterTest, AFailingRankEndsTheJobWithAMessageFromRankZero) {
  WriteSystemFile(testing::Cyclic(6), (dir_ / "PS.num").string());
  const std::string args = "--seed 25 -q -o job.roots";
  const Outcome job = Shell(Job(2) + Zormix(args) + " : -np 1 bash -c 'ulimit -v 60000; exec " +
                            Zormix(args) + "'");
  EXPECT_NE(job.code, 0);
  EXPECT_THAT(job.err, HasSubstr("zormix: rank 2 failed: "));
  EXPECT_FALSE(fs::exists(dir_ / "job.roots"));
}

}  // namespace
}  // namespace zormix
