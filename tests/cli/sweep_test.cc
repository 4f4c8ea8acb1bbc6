#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace zormix::testing {
namespace {

using ::testing::HasSubstr;

constexpr const char* kFamily =
    "variables x, y;\nparameters a, b;\nx^2 + y^2 - a;\nx*y - b;\n";  // 4 roots for a general
                                                                      // member

class SweepTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    Write("family.txt", kFamily);
  }

  std::vector<nlohmann::json> Records(const std::string& name) const {
    std::vector<nlohmann::json> records;
    std::istringstream lines(Slurp(name));
    for (std::string line; std::getline(lines, line);)
      records.push_back(nlohmann::json::parse(line));
    return records;
  }
};

TEST_F(SweepTest, ValueFormsAndRecordsInInstanceOrder) {
  // Real, complex sum, imaginary, pair; commas or blanks; comments and blank lines skipped.
  Write("values.txt", "# a b\n5, 2\n\n1.5-2i 3i\n(2, -1),-i  # comment\n5 2\n");
  const CliRun run = Zormix(
      "sweep family.txt values.txt --seed 4 --threads 2 -q --json out.jsonl "
      "--save-start start.json");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("instances: 4 (0 not solved, 0 re-tracked)"));
  const std::vector<nlohmann::json> records = Records("out.jsonl");
  ASSERT_EQ(records.size(), 4u);
  for (std::size_t k = 0; k < records.size(); ++k) {
    EXPECT_EQ(records[k]["instance"], k + 1);
    EXPECT_EQ(records[k]["regular_count"], 4);
    EXPECT_EQ(records[k]["route"], "parameter");
  }
  EXPECT_EQ(records[1]["parameters"], nlohmann::json::parse("[[1.5,-2.0],[0.0,3.0]]"));
  EXPECT_EQ(records[2]["parameters"], nlohmann::json::parse("[[2.0,-1.0],[0.0,-1.0]]"));
  // x^2 + y^2 = 5, xy = 2: (1, 2), (2, 1) and their negatives, all real.
  EXPECT_EQ(records[0]["real_regular_count"], 4);

  // The saved start serves a second sweep on one thread with the same records.
  const CliRun again = Zormix(
      "sweep family.txt values.txt --seed 4 --threads 1 -q --json again.jsonl "
      "--start start.json");
  ASSERT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(Slurp("again.jsonl"), Slurp("out.jsonl"));
}

TEST_F(SweepTest, BadValueLinesNameLineAndColumn) {
  Write("count.txt", "1 2\n\n3 4 5\n");
  CliRun run = Zormix("sweep family.txt count.txt --seed 1 -q");
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.err, HasSubstr("count.txt:3:5: more than 2 values"));
  Write("short.txt", "1\n");
  run = Zormix("sweep family.txt short.txt --seed 1 -q");
  EXPECT_THAT(run.err, HasSubstr("short.txt:1:2: expected 2 values (one per parameter), found 1"));
  Write("word.txt", "1 2\n3 four\n");
  run = Zormix("sweep family.txt word.txt --seed 1 -q");
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.err, HasSubstr("word.txt:2:3: 'four' is not a number"));
  Write("sum.txt", "1+2 3\n");
  run = Zormix("sweep family.txt sum.txt --seed 1 -q");
  EXPECT_THAT(run.err, HasSubstr("sum.txt:1:1: a complex value is written re+imi"));
}

TEST_F(SweepTest, AMemberThatCannotBeSolvedKeepsItsPlaceAndSaysWhy) {
  // At b = 0 the second equation vanishes; the members after it are solved.
  Write("vanish.txt", "parameters a, b;\na*x^2 + x - 1;\nb*y^2 - 2*b;\n");
  Write("values.txt", "2 3\n1 0\n2 5\n");
  const CliRun run = Zormix("sweep vanish.txt values.txt --seed 3 -q --json out.jsonl");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("instances: 3 (1 not solved, 0 re-tracked)"));
  const std::vector<nlohmann::json> records = Records("out.jsonl");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1]["solved"], false);
  EXPECT_THAT(records[1]["error"].get<std::string>(), HasSubstr("identically zero"));
  EXPECT_EQ(records[2]["regular_count"], 4);
}

TEST_F(SweepTest, StartOfAnotherSystemIsRefused) {
  Write("values.txt", "5 2\n");
  Write("other.txt", "variables x, y;\nparameters a, b;\nx^2 + 2*y^2 - a;\nx*y - b;\n");
  ASSERT_EQ(Zormix("solve other.txt --seed 2 --save-start other.json").code, 0);
  const CliRun run = Zormix("sweep family.txt values.txt --start other.json -q");
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.err, HasSubstr("other.json: the start belongs to another system"));
}

TEST_F(SweepTest, StartSolveAndSweepKeepToThePathLimit) {
  // The family's start solve tracks 4 paths (its mixed volume).
  Write("values.txt", "5 2\n");
  CliRun run = Zormix("solve family.txt --seed 2 --save-start s.json --max-paths 3");
  EXPECT_EQ(run.code, 3);  // the exit code of zormix:outOfMemory
  EXPECT_THAT(run.err, HasSubstr("has 4 paths of about"));
  EXPECT_FALSE(fs::exists(dir_ / "s.json"));
  run = Zormix("sweep family.txt values.txt --seed 2 -q --max-paths 3");
  EXPECT_EQ(run.code, 3);
  EXPECT_THAT(run.err, HasSubstr("has 4 paths of about"));
  ASSERT_EQ(Zormix("solve family.txt --seed 2 --save-start s.json --max-paths 4").code, 0);
  // A start file with more paths than allowed is refused before any member.
  run = Zormix("sweep family.txt values.txt --start s.json -q --max-paths 3 --json out.jsonl");
  EXPECT_EQ(run.code, 3);
  EXPECT_FALSE(fs::exists(dir_ / "out.jsonl") && !Slurp("out.jsonl").empty());
  EXPECT_EQ(Zormix("sweep family.txt values.txt --start s.json -q --max-paths 4").code, 0);
  EXPECT_EQ(Zormix("sweep family.txt values.txt --start s.json -q --max-paths 0").code, 2);
}

}  // namespace
}  // namespace zormix::testing
