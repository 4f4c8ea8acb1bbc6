#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_fixture.h"

namespace zormix::testing {
namespace {

using ::testing::HasSubstr;

// The plane x = 0 and the line y = z = 0, in three unknowns with two equations; and a square
// system with the plane x = 0 and two points.
constexpr const char* kPlaneAndLine = "variables x, y, z;\nx*y;\nx*z;\n";
constexpr const char* kAxisAndPoint = "variables x, y, z;\nx*(x - 1);\ny*(y - 1)*x;\n(z - 1)*x;\n";

class DecomposeCommandTest : public CliTest {};

TEST_F(DecomposeCommandTest, JsonHoldsComponentsAndSolveCounts) {
  Write("axis.txt", kAxisAndPoint);
  Write("points.txt", "0 0 5\n1, 1, 1\n(0.5, 0) 2 3\n");
  const CliRun run =
      Zormix("decompose axis.txt --seed 3 --threads 2 -q --json out.json --member points.txt");
  ASSERT_EQ(run.code, 0) << run.err;
  // x = 0 makes the other two equations vanish: a plane; x = 1 gives y in {0, 1}, z = 1: two
  // points, of which (1, 1, 1) is tested, and lies on no component.
  EXPECT_THAT(run.out, HasSubstr("dimension 2: 1 component of degree 1 · dimension 0: 2 regular "
                                 "points"));
  EXPECT_THAT(run.out, HasSubstr("point 1: on component 1\npoint 2: on no component\n"
                                 "point 3: on no component"));
  const nlohmann::json d = nlohmann::json::parse(Slurp("out.json"));
  ASSERT_EQ(d["components"].size(), 1u);
  EXPECT_EQ(d["components"][0]["dimension"], 2);
  EXPECT_EQ(d["components"][0]["degree"], 1);
  EXPECT_EQ(d["components"][0]["witness_points"].size(), 1u);
  EXPECT_EQ(d["components"][0]["slice"]["coefficients"].size(), 2u);
  EXPECT_TRUE(d["components"][0]["trace_test_passed"]);
  EXPECT_EQ(d["regular_count"], 2);
  EXPECT_EQ(d["singular_count"], 0);
  EXPECT_EQ(d["schema_version"], 1);
  EXPECT_EQ(d["membership"][0]["components"], nlohmann::json::parse("[0]"));
  EXPECT_EQ(d["isolated_points"].size(), 2u);
  // Dimension 0 of a square system is the solve of the same seed: its counts under its names.
  const CliRun solve = Zormix("solve axis.txt --seed 3 -q --no-report --json solve.json");
  ASSERT_EQ(solve.code, 0) << solve.err;
  const nlohmann::json s = nlohmann::json::parse(Slurp("solve.json"));
  for (const char* count :
       {"regular_count", "real_regular_count", "singular_count", "singular_end_point_count",
        "positive_dimensional_count", "at_infinity_count", "failed_count"})
    EXPECT_EQ(d[count], s[count]) << count;
  EXPECT_EQ(s["positive_dimensional_count"], 2);

  // The same seed on one thread: the same document but for the timings.
  const CliRun again = Zormix("decompose axis.txt --seed 3 --threads 1 -q --json again.json");
  ASSERT_EQ(again.code, 0) << again.err;
  nlohmann::json a = nlohmann::json::parse(Slurp("again.json"));
  nlohmann::json b = d;
  b.erase("membership");
  for (auto* doc : {&a, &b})
    for (auto& level : (*doc)["dimensions"]) level.erase("seconds");
  EXPECT_EQ(a, b);
}

TEST_F(DecomposeCommandTest, NonSquareTextAndBadArguments) {
  Write("plane.txt", kPlaneAndLine);
  CliRun run = Zormix("decompose plane.txt --seed 1 -q");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("dimension 2: 1 component of degree 1 · dimension 1: 1 component "
                                 "of degree 1"));
  run = Zormix("decompose plane.txt --seed 1 -q --top-dimension 5");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, HasSubstr("top dimension"));
  run = Zormix("decompose plane.txt -q --top-dimension two");
  EXPECT_EQ(run.code, 2);
  Write("points.txt", "1 2\n");
  run = Zormix("decompose plane.txt --seed 1 -q --member points.txt");
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.err, HasSubstr("points.txt:1"));
  // `zormix solve` still refuses the non-square text.
  run = Zormix("solve plane.txt --seed 1 -q --no-report");
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.err, HasSubstr("not square"));
}

}  // namespace
}  // namespace zormix::testing
