// Runs of the zormix program: options, errors, conversion, and whole solves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"
#include "support/systems.h"
#include "zormix/io.h"

namespace zormix {
namespace {

using testing::CliRun;
using testing::CliTest;
using ::testing::HasSubstr;
namespace fs = std::filesystem;
using ::testing::StartsWith;

TEST_F(CliTest, HelpListsEveryOptionWithItsDefault) {
  const CliRun run = Zormix("--help");
  EXPECT_EQ(run.code, 0);
  for (const char* item : {"solve", "convert", "INPUT", "--format", "-o,--output", "--no-report",
                           "--route", "--seed", "--threads", "--json", "--mixed-volume", "--quiet",
                           "--to", "PS.num", "data.roots", "polyhedral", "--version"}) {
    EXPECT_THAT(run.out, HasSubstr(item));
  }
  EXPECT_THAT(Zormix("--version").out, HasSubstr("zormix 2.0"));
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
  for (const char* args : {"--route sideways", "--threads -1", "--seed x", "convert a.txt",
                           "--mixed-volume --route total-degree", "--no-report -o r.txt"}) {
    const CliRun run = Zormix(args);
    EXPECT_EQ(run.code, 2) << args;
    EXPECT_THAT(run.err, StartsWith("zormix: ")) << args;
  }
}

TEST_F(CliTest, BadInputExitsWithOneNamingFileAndLineAndWritesNothing) {
  Write("bad.txt", "x^2 + y^2 - 1;\nx - $y;\n");
  CliRun run = Zormix("solve bad.txt --json out.json");
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.err, HasSubstr("zormix: bad.txt:2:5: unexpected character '$'"));
  EXPECT_FALSE(fs::exists(dir_ / "data.roots"));
  EXPECT_FALSE(fs::exists(dir_ / "out.json"));

  run = Zormix("solve missing.txt");
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.err, HasSubstr("zormix: missing.txt: cannot open the file"));

  Write("PS.num", "2\n3\nx\n");
  run = Zormix("");
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.err, AllOf(StartsWith("zormix: "), HasSubstr("PS.num:3")));
  EXPECT_FALSE(fs::exists(dir_ / "data.roots"));
}

TEST_F(CliTest, ConvertsTextToPsNumAndBack) {
  Write("sys.txt", "# circle and line\nx^2 + y^2 - 1\nx - y\n");
  ASSERT_EQ(Zormix("convert sys.txt -o PS.num").code, 0);
  EXPECT_EQ(Slurp("PS.num"), FormatSystemFile(testing::CircleAndLine()));
  ASSERT_EQ(Zormix("convert PS.num -o back.txt").code, 0);
  EXPECT_EQ(Slurp("back.txt"), "variables x, y;\nx^2 + y^2 - 1;\nx - y;\n");
  // --to forces the output format; --format the input's.
  ASSERT_EQ(Zormix("convert back.txt -o again.txt --to text --format text").code, 0);
  EXPECT_EQ(Slurp("again.txt"), Slurp("back.txt"));
}

// ---------------------------------------------------------------------------------------------
// Whole solves

// The roots and counts of a "data.roots" report.
struct Report {
  std::vector<std::vector<Complex>> roots;
  std::map<std::string, long> counts;
};

Report ReadReport(const std::string& text, int n) {
  Report report;
  std::istringstream in(text);
  std::string line;
  std::vector<Complex> root;
  const std::string countPrefix = " The # of ";
  while (std::getline(in, line)) {
    double re = 0, im = 0;
    const std::size_t equals = line.find('=');
    if (std::sscanf(line.c_str(), " (%lf ,%lf)", &re, &im) == 2) {
      root.emplace_back(re, im);
      if (static_cast<int>(root.size()) == n) {
        report.roots.push_back(root);
        root.clear();
      }
    } else if (line.rfind(countPrefix, 0) == 0 && equals != std::string::npos) {
      // " The # of real roots = ....2": the name without its padding, the value after '='.
      std::string name = line.substr(countPrefix.size(), equals - countPrefix.size());
      name.erase(name.find_last_not_of(' ') + 1);
      report.counts[name] = std::stol(line.substr(equals + 1));
    }
  }
  return report;
}

TEST_F(CliTest, SolvesCircleAndLineAndItsJsonMatchesTheReport) {
  Write("circle.txt", "x^2 + y^2 = 1; x = y;");
  const CliRun run = Zormix("circle.txt --seed 7 --json out.json");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("2 regular roots (2 real) \u00b7 "));
  EXPECT_THAT(run.out, HasSubstr(" \u00b7 seed 7\n"));
  EXPECT_EQ(run.err, "");

  const nlohmann::json j = nlohmann::json::parse(Slurp("out.json"));
  const Report report = ReadReport(Slurp("data.roots"), 2);
  EXPECT_EQ(j["seed"], 7);
  EXPECT_EQ(j["route"], "polyhedral");
  EXPECT_EQ(j["variables"], nlohmann::json({"x", "y"}));
  EXPECT_EQ(j["root_count"], report.counts.at("roots"));
  EXPECT_EQ(j["real_count"], report.counts.at("real roots"));
  EXPECT_EQ(j["path_count"], report.counts.at("paths followed"));
  EXPECT_EQ(j["blow_up_count"], report.counts.at("blow_up"));
  ASSERT_EQ(j["roots"].size(), report.roots.size());
  ASSERT_EQ(report.roots.size(), 2u);
  for (std::size_t r = 0; r < report.roots.size(); ++r) {
    const nlohmann::json& root = j["roots"][r];
    EXPECT_EQ(root["real"], true);
    EXPECT_LT(root["residue"].get<double>(), 1e-10);
    for (int v = 0; v < 2; ++v) {
      const Complex fromJson(root["values"][v][0].get<double>(),
                             root["values"][v][1].get<double>());
      // The report prints refined roots to 17 digits; the JSON holds the end points as returned.
      EXPECT_LT(std::abs(fromJson - report.roots[r][v]), 1e-8) << "root " << r << " var " << v;
      EXPECT_NEAR(std::abs(fromJson.real()), std::sqrt(0.5), 1e-8);
    }
  }
}

TEST_F(CliTest, SameSeedGivesIdenticalJsonOnBothRoutes) {
  Write("PS.num", FormatSystemFile(testing::Noon(3)));
  for (const std::string route : {"total-degree", "polyhedral"}) {
    const std::string common = "--seed 12345 -r " + route;
    ASSERT_EQ(Zormix(common + " -o a.roots -q --json a.json").code, 0) << route;
    ASSERT_EQ(Zormix(common + " -o b.roots --threads 2 --json b.json").code, 0) << route;
    EXPECT_EQ(Slurp("a.json"), Slurp("b.json")) << route;
    EXPECT_EQ(Slurp("a.roots"), Slurp("b.roots")) << route;
    const nlohmann::json j = nlohmann::json::parse(Slurp("a.json"));
    EXPECT_EQ(j["path_count"], route == "polyhedral" ? 21 : 27);  // 3^3 - 2*3 and 3^3
    EXPECT_EQ(j["root_count"], 21) << route;
    EXPECT_EQ(ReadReport(Slurp("a.roots"), 3).roots.size(), 21u) << route;
  }
}

TEST_F(CliTest, MixedVolumeOfCyclicFive) {
  Write("cyclic5.txt", FormatPolynomialText(testing::Cyclic(5)));
  const CliRun run = Zormix("cyclic5.txt --mixed-volume --json mv.json");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("mixed volume: 70\n"));
  EXPECT_EQ(nlohmann::json::parse(Slurp("mv.json"))["mixed_volume"], 70);
  EXPECT_FALSE(fs::exists(dir_ / "data.roots"));
}

TEST_F(CliTest, TotalDegreeRouteAndNoReport) {
  Write("circle.txt", "x^2 + y^2 - 1\nx - y\n");
  const CliRun run = Zormix("circle.txt -r total-degree --no-report --seed 3");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("2 regular roots (2 real) \u00b7 "));
  EXPECT_THAT(run.out, HasSubstr(" \u00b7 2 paths \u00b7 "));
  EXPECT_THAT(run.out, HasSubstr("route: total-degree\n"));
  EXPECT_FALSE(fs::exists(dir_ / "data.roots"));
}

// ---------------------------------------------------------------------------------------------
// Checkpoints

// A solve killed with SIGKILL once about half its paths are saved, then run again with the same
// checkpoint, writes the report and JSON of an uninterrupted solve, byte for byte.
TEST_F(CliTest, RestartAfterSigkillMatchesAnUninterruptedSolveHeavy) {
  WriteSystemFile(testing::Cyclic(7), (dir_ / "PS.num").string());
  const std::string common = "-r total-degree --seed 5 -q";
  ASSERT_EQ(Zormix(common + " --threads 2 -o full.roots --json full.json").code, 0);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (chdir(dir_.c_str()) != 0) _exit(127);
    execl(ZORMIX_CLI_PATH, "zormix", "PS.num", "-r", "total-degree", "--seed", "5", "-q",
          "--threads", "1", "--checkpoint", "ck", "-o", "part.roots", "--json", "part.json",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  // A record: 32 fixed bytes, three points of 7 complex coordinates, flags and winding number,
  // valuation, checksum; 7! paths.
  const std::uintmax_t header = 64, record = 32 + 3 * 16 * 7 + 8 + 8 + 8, paths = 5040;
  std::uintmax_t saved = 0;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    std::error_code ignored;
    const std::uintmax_t size = fs::file_size(dir_ / "ck", ignored);
    saved = size == static_cast<std::uintmax_t>(-1) || size < header ? 0 : (size - header) / record;
    if (saved >= paths / 2) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      break;
    }
    usleep(5000);
  }
  ASSERT_TRUE(WIFSIGNALED(status)) << "the solve ended before half its paths were saved";
  ASSERT_LT(saved, paths);
  EXPECT_FALSE(fs::exists(dir_ / "part.roots"));

  const CliRun resumed =
      Zormix(common + " --threads 2 --checkpoint ck -o part.roots --json part.json");
  ASSERT_EQ(resumed.code, 0) << resumed.err;
  EXPECT_EQ(Slurp("part.roots"), Slurp("full.roots"));
  EXPECT_EQ(Slurp("part.json"), Slurp("full.json"));
  EXPECT_EQ(fs::file_size(dir_ / "ck"), header + paths * record);
}

TEST_F(CliTest, ACheckpointOfAnotherSeedIsRefusedWithExitCodeOne) {
  Write("circle.txt", "x^2 + y^2 - 1\nx - y\n");
  ASSERT_EQ(Zormix("circle.txt --seed 3 --checkpoint ck --no-report").code, 0);
  const CliRun run = Zormix("circle.txt --seed 4 --checkpoint ck --json out.json");
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "zormix: checkpoint ck was written with seed 3, not 4\n");
  EXPECT_FALSE(fs::exists(dir_ / "out.json"));
  EXPECT_FALSE(fs::exists(dir_ / "data.roots"));
}

}  // namespace
}  // namespace zormix
