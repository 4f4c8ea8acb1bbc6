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

// x^2 + y^2 = a, x y = b: 4 roots, (x, y) -> (y, x) and (-x, -y) permute them.
constexpr const char* kFamily = "variables x, y;\nparameters a, b;\nx^2 + y^2 - a;\nx*y - b;\n";

class MonodromyCommandTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    Write("family.txt", kFamily);
  }
};

TEST_F(MonodromyCommandTest, JsonAndAStartThatTheSweepTakes) {
  const CliRun run =
      Zormix("monodromy family.txt --seed 3 --threads 2 -q --json m.json --save-start s.json");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("4 roots by monodromy"));
  EXPECT_THAT(run.out, HasSubstr("complete: the trace test passed"));
  const nlohmann::json doc = nlohmann::json::parse(Slurp("m.json"));
  EXPECT_EQ(doc["solution_count"], 4);
  EXPECT_EQ(doc["trace_test_passed"], true);
  EXPECT_EQ(doc["trace_test"], "passed");
  EXPECT_EQ(doc["stop"], "trace test");
  EXPECT_EQ(doc["seed"], 3);
  EXPECT_EQ(doc["schema_version"], 1);
  EXPECT_EQ(doc["roots"].size(), 4u);
  EXPECT_GT(doc["paths_tracked"].get<int>(), 4);

  Write("values.txt", "5 2\n1.5-2i 3i\n");
  const CliRun sweep =
      Zormix("sweep family.txt values.txt --start s.json --seed 1 -q --json r.jsonl");
  ASSERT_EQ(sweep.code, 0) << sweep.err;
  std::istringstream lines(Slurp("r.jsonl"));
  int members = 0;
  for (std::string line; std::getline(lines, line); ++members)
    EXPECT_EQ(nlohmann::json::parse(line)["regular_count"], 4) << line;
  EXPECT_EQ(members, 2);

  // The same seed on one thread writes the same start.
  const CliRun again = Zormix("monodromy family.txt --seed 3 --threads 1 -q --save-start t.json");
  ASSERT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(Slurp("t.json"), Slurp("s.json"));
}

TEST_F(MonodromyCommandTest, CountSymmetriesAndTheirMistakes) {
  CliRun run = Zormix(
      "monodromy family.txt --seed 1 -q --count 4 --symmetry 'y, x' "
      "--symmetry '-x, -y' --json -");
  ASSERT_EQ(run.code, 0) << run.err;
  const nlohmann::json doc = nlohmann::json::parse(run.out);
  EXPECT_EQ(doc["solution_count"], 4);
  EXPECT_EQ(doc["trace_test"], "not run");
  EXPECT_EQ(doc["trace_test_passed"], false);
  EXPECT_EQ(doc["stop"], "count");
  EXPECT_THAT(run.err, HasSubstr("complete by the given count"));

  run = Zormix("monodromy family.txt --seed 1 -q --symmetry 'y, y'");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, HasSubstr("'y' appears twice"));
  run = Zormix("monodromy family.txt --seed 1 -q --symmetry 'x, 2i*y'");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, HasSubstr("'2i*y' has a factor that is not a number or i"));
  run = Zormix("monodromy family.txt --seed 1 -q --symmetry 'x'");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, HasSubstr("gives 1 images for 2 unknowns"));
  run = Zormix("monodromy family.txt --seed 1 -q --count 0");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, HasSubstr("--count"));
}

}  // namespace
}  // namespace zormix::testing
