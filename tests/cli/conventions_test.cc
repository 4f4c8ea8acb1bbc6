// The command's conventions: option values, the environment, "-" for the standard streams, exit
// codes, format detection, output checks before the work, and Ctrl-C.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_fixture.h"
#include "support/systems.h"
#include "zormix/io.h"

namespace zormix {
namespace {

using testing::CliRun;
using testing::CliTest;
using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

constexpr const char* kCircle = "x^2 + y^2 - 1\nx - y\n";

TEST_F(CliTest, SeedAndThreadValuesAreCheckedWithTheirRange) {
  Write("circle.txt", kCircle);
  for (const char* args : {"--seed -1", "--seed 18446744073709551616", "--seed 1e3",
                           "--threads abc", "--threads 4097", "--threads -1"}) {
    const CliRun run = Zormix(std::string("circle.txt ") + args);
    EXPECT_EQ(run.code, 2) << args;
    EXPECT_THAT(run.err, HasSubstr("expected a decimal integer from 0")) << args;
    EXPECT_LT(run.err.size(), 200u) << args;  // the range, not a 300-digit number
    EXPECT_FALSE(fs::exists(dir_ / "data.roots")) << args;
  }
  // 0 means all cores, and any count gives the same results.
  ASSERT_EQ(Zormix("circle.txt --seed 18446744073709551615 --threads 0 --json a.json").code, 0);
  ASSERT_EQ(Zormix("circle.txt --seed 18446744073709551615 --threads 1 --json b.json").code, 0);
  EXPECT_EQ(Slurp("a.json"), Slurp("b.json"));
  EXPECT_THAT(Slurp("a.json"), HasSubstr("18446744073709551615"));
}

TEST_F(CliTest, EnvironmentGivesSeedAndThreadsUnlessOptionsDo) {
  Write("circle.txt", kCircle);
  EXPECT_THAT(Zormix("circle.txt", "ZORMIX_SEED=5").out, HasSubstr("seed 5\n"));
  EXPECT_THAT(Zormix("circle.txt --seed 6", "ZORMIX_SEED=5").out, HasSubstr("seed 6\n"));
  CliRun run = Zormix("circle.txt", "ZORMIX_THREADS=abc");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, HasSubstr("environment variable ZORMIX_THREADS = 'abc'"));
  EXPECT_EQ(Zormix("circle.txt --threads 1", "ZORMIX_THREADS=abc").code, 0);
  run = Zormix("circle.txt", "ZORMIX_SEED=-1");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, HasSubstr("ZORMIX_SEED"));
}

TEST_F(CliTest, DashIsStandardInputAndOutput) {
  Write("input", kCircle);
  CliRun run = Zormix("- --seed 3 --no-report --json -", "", "input");
  ASSERT_EQ(run.code, 0) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);  // nothing but the JSON
  EXPECT_EQ(j["root_count"], 2);
  EXPECT_THAT(run.err, HasSubstr("2 regular roots"));  // the summary moved to standard error

  run = Zormix("- --seed 3 -o -", "", "input");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("The # of roots      =        2"));
  EXPECT_THAT(run.out, Not(HasSubstr("seed 3")));
  EXPECT_FALSE(fs::exists(dir_ / "data.roots"));

  EXPECT_EQ(Zormix("- -o - --json -", "", "input").code, 2);

  run = Zormix("convert - -o -", "", "input");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, FormatSystemFile(testing::CircleAndLine()));
}

TEST_F(CliTest, UnknownCommandIsAUsageErrorButANamedMissingFileIsNot) {
  CliRun run = Zormix("frobnicate");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, HasSubstr("'frobnicate': unknown command or missing file"));
  run = Zormix("solve frobnicate");
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.err, HasSubstr("frobnicate: cannot open the file"));
  const std::string help = Zormix("--help").out;
  for (const char* item : {"Exit codes:", "130", "ZORMIX_SEED", "ZORMIX_THREADS", "--progress"}) {
    EXPECT_THAT(help, HasSubstr(item));
  }
}

TEST_F(CliTest, TextBeginningWithANumberIsNotTakenForPsNum) {
  // 2x + y = 1, x = y: x = y = 1/3.
  Write("lines.txt", "2 x + y - 1\nx - y\n");
  CliRun run = Zormix("lines.txt --seed 1 --json out.json");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const nlohmann::json j = nlohmann::json::parse(Slurp("out.json"));
  EXPECT_NEAR(j["roots"][0]["values"][0][0].get<double>(), 1.0 / 3, 1e-12);

  // The name says PS.num, the contents say text: read as text, with a note.
  Write("lines.num", "0.5*x^2 - y\nx - y\n");
  run = Zormix("lines.num --seed 1");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("lines.num is not PS.num ("));
  EXPECT_THAT(run.err, HasSubstr("read it as polynomial text"));
  // A format given is a format meant: no second try.
  run = Zormix("lines.txt --format psnum");
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.err, Not(HasSubstr("read it as")));
}

TEST_F(CliTest, OutputPathsAreCheckedBeforeSolving) {
  Write("circle.txt", kCircle);
  fs::create_directory(dir_ / "folder");
  for (const char* args : {"-o missing/r.roots", "--json missing/r.json", "-o folder"}) {
    const CliRun run = Zormix(std::string("circle.txt --progress ") + args);
    EXPECT_EQ(run.code, 1) << args;
    EXPECT_THAT(run.err, HasSubstr("cannot write the")) << args;
    EXPECT_THAT(run.err, Not(HasSubstr("tracking"))) << args;
    EXPECT_FALSE(fs::exists(dir_ / "data.roots")) << args;
  }
}

TEST_F(CliTest, MessagesCountInTheSingular) {
  Write("one.txt", "x - 1\n");
  CliRun run = Zormix("convert one.txt -o PS.num");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "PS.num: 1 equation with 2 terms, written in the PS.num format\n");
  Write("three.txt", "x + y\nx - y\nx*y\n");
  run = Zormix("three.txt");
  EXPECT_THAT(run.err, HasSubstr("three.txt:3:1: the system is not square: 3 equations in 2 "
                                 "variables"));
}

struct Interrupted {
  int status = 0;
  bool sent = false;
  std::string err;
  double secondsToEnd = 0.0;  // from SIGINT to the end of the process
};

// Runs zormix with args in the test's folder and sends it SIGINT `delay` after `marker` appears
// on its standard error.
Interrupted InterruptWhenSeen(const fs::path& dir, const std::vector<std::string>& args,
                              const std::string& marker,
                              std::chrono::milliseconds delay = std::chrono::milliseconds(0)) {
  std::vector<char*> argv{const_cast<char*>("zormix")};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipeFds[2];
  Interrupted run;
  if (pipe(pipeFds) != 0) return run;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], STDERR_FILENO);
    close(pipeFds[0]);
    if (chdir(dir.c_str()) != 0) _exit(99);
    execv(ZORMIX_CLI_PATH, argv.data());
    _exit(98);
  }
  close(pipeFds[1]);
  char buffer[4096];
  std::chrono::steady_clock::time_point sentAt;
  for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
    run.err.append(buffer, static_cast<std::size_t>(got));
    if (!run.sent && run.err.find(marker) != std::string::npos) {
      std::this_thread::sleep_for(delay);
      kill(pid, SIGINT);
      sentAt = std::chrono::steady_clock::now();
      run.sent = true;
    }
  }
  close(pipeFds[0]);
  waitpid(pid, &run.status, 0);
  run.secondsToEnd =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - sentAt).count();
  return run;
}

void ExpectStoppedWithoutReport(const Interrupted& run, const fs::path& dir) {
  ASSERT_TRUE(run.sent) << run.err;
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 130) << run.err;
  EXPECT_THAT(run.err, HasSubstr("zormix: the solve was interrupted"));
  for (const auto& entry : fs::directory_iterator(dir)) {
    EXPECT_EQ(entry.path().filename().string().rfind("out.roots", 0), std::string::npos)
        << entry.path();
  }
}

// Ctrl-C while paths are tracked: exit 130, a message, and no report or temporary file.
TEST_F(CliTest, InterruptStopsTheSolveWithoutAReport) {
  Write("cyclic.txt", FormatPolynomialText(testing::Cyclic(8)));
  ExpectStoppedWithoutReport(
      InterruptWhenSeen(dir_, {"cyclic.txt", "--progress", "--threads", "1", "-o", "out.roots"},
                        "tracking"),
      dir_);
}

// Ctrl-C during a sweep: exit 130, and the JSON Lines written so far are whole records, one per
// member finished, in member order. 100,000 members: a sweep of 20,000 could end before the
// signal reached it on a loaded machine.
TEST_F(CliTest, InterruptStopsTheSweepWithWholeRecords) {
  Write("family.txt", "variables x, y;\nparameters a, b;\nx^2 + y^2 - a;\nx*y - b;\n");
  std::string values;
  for (int k = 0; k < 100000; ++k) values += std::to_string(5 + k % 7) + " 2\n";
  Write("values.txt", values);
  const Interrupted run = InterruptWhenSeen(dir_,
                                            {"sweep", "family.txt", "values.txt", "--seed", "1",
                                             "--threads", "2", "--progress", "--json", "out.jsonl"},
                                            "/100000 instances");
  ASSERT_TRUE(run.sent) << run.err;
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 130) << run.err;
  EXPECT_THAT(run.err, HasSubstr("zormix: the sweep was interrupted; the records of "));
  std::ifstream in(dir_ / "out.jsonl");
  std::int64_t records = 0;
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json record = nlohmann::json::parse(line);  // throws on a torn line
    EXPECT_EQ(record["instance"], ++records);
  }
  EXPECT_GT(records, 0);
  EXPECT_LT(records, 100000);
  EXPECT_THAT(run.err, HasSubstr("the records of " + std::to_string(records) + " instances"));
}

// x_k^2 = 1 for 17 variables: 2^17 = 131072 total-degree paths, announced before tracking even
// without a progress display.
TEST_F(CliTest, LargeRouteIsAnnouncedBeforeTracking) {
  std::string text;
  for (int k = 1; k <= 17; ++k) {
    char equation[32];
    std::snprintf(equation, sizeof equation, "x%d^2 - 1;\n", k);
    text += equation;
  }
  Write("squares.txt", text);
  ExpectStoppedWithoutReport(
      InterruptWhenSeen(dir_, {"squares.txt", "-r", "total-degree", "-o", "out.roots"},
                        "paths to track"),
      dir_);
}

// Ctrl-C while a path is tracked with --checkpoint (x1^2 = 2 and a chain of 119 linear equations:
// two paths whose steps factor a 120 x 120 Jacobian): the path is abandoned, the checkpoint keeps
// whole records of the finished paths only, and the run resumed from it writes the report of an
// uninterrupted run.
TEST_F(CliTest, ARunInterruptedInAPathResumesToTheUninterruptedReport) {
  constexpr int n = 120;
  std::string text = "x1^2 - 2;\n";
  for (int k = 2; k <= n; ++k) {
    // Appended piece by piece: GCC 12 warns (-Wrestrict) on "literal" + std::string chains.
    for (const std::string& piece :
         {std::string("x"), std::to_string(k), std::string(" - x"), std::to_string(k - 1)})
      text += piece;
    text += " - 0.5;\n";
  }
  Write("chain.txt", text);
  const std::vector<std::string> common{"chain.txt", "-r", "total-degree", "--seed",   "5",
                                        "--threads", "1",  "-o",           "out.roots"};
  ASSERT_EQ(Zormix("chain.txt -r total-degree --seed 5 --threads 1 -q -o full.roots").code, 0);

  std::vector<std::string> interrupted = common;
  for (const char* arg : {"--progress", "--checkpoint", "ck"}) interrupted.push_back(arg);
  ExpectStoppedWithoutReport(
      InterruptWhenSeen(dir_, interrupted, "tracking", std::chrono::milliseconds(20)), dir_);
  const std::uintmax_t header = 64, record = 32 + 3 * 16 * n + 24;
  const std::uintmax_t saved = fs::file_size(dir_ / "ck") - header;
  EXPECT_EQ(saved % record, 0u);
  EXPECT_LT(saved / record, 2u);

  const CliRun resumed =
      Zormix("chain.txt -r total-degree --seed 5 --threads 1 -q --checkpoint ck -o out.roots");
  ASSERT_EQ(resumed.code, 0) << resumed.err;
  EXPECT_EQ(Slurp("out.roots"), Slurp("full.roots"));
}

// x^2000000 - 1 on the total-degree route, allowed with --max-paths: two million paths; Ctrl-C is
// answered within a second, at the setup and in the tracking, with no report and no temporary.
TEST_F(CliTest, InterruptIsAnsweredWithinASecondInAHugeSetup) {
  Write("huge.txt", "x^2000000 - 1;\n");
  const std::vector<std::string> args{"huge.txt", "-r",         "total-degree", "--max-paths",
                                      "10000000", "--progress", "-o",           "out.roots"};
  for (const auto& [marker, delay] :
       {std::pair{"reading", 100}, std::pair{"paths to track", 700}}) {
    const Interrupted run = InterruptWhenSeen(dir_, args, marker, std::chrono::milliseconds(delay));
    ExpectStoppedWithoutReport(run, dir_);
    EXPECT_LT(run.secondsToEnd, 1.0) << marker;
  }
}

// x_k^2 = 1 for 16 of 50 variables, x_k = 1 for the others, on one thread: only 65536 paths,
// but each step factors a 50 x 50 Jacobian; the estimate (some 13 minutes) announces it before
// tracking, with the figure.
TEST_F(CliTest, LongRouteIsAnnouncedWithItsEstimate) {
  std::string text;
  for (int k = 1; k <= 50; ++k) {
    text += 'x';
    text += std::to_string(k);
    text += k <= 16 ? "^2 - 1;\n" : " - 1;\n";
  }
  Write("wide.txt", text);
  ExpectStoppedWithoutReport(
      InterruptWhenSeen(dir_, {"wide.txt", "-r", "total-degree", "--threads", "1"},
                        "65536 paths to track, an estimated "),
      dir_);
}

}  // namespace
}  // namespace zormix
