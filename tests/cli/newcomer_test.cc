// What a first run of the command meets: PHCpack's files read and written, the variable order in
// the summary, a short usage where there is nothing to solve, the route's other name, plain
// messages for options that do not go together, and checkpoints said as they are restored.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_fixture.h"

namespace zormix::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

class NewcomerTest : public CliTest {};

constexpr const char* kPhcCircle = "2\nx^2 + y^2 - 1;\nx - y;\n";

// The count line is no factor of the first equation: the roots are +-(0.7071, 0.7071), and the
// file is converted as the circle, not as 2x^2 + y^2 = 1. No note: the format was recognised.
TEST_F(NewcomerTest, PhcpackFileIsSolvedAndConvertedAsPhcpackReadsIt) {
  Write("c.phc", kPhcCircle);
  const CliRun text = Zormix("convert c.phc -o - --to text");
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_EQ(text.out, "variables x, y;\nx^2 + y^2 - 1;\nx - y;\n");
  EXPECT_EQ(text.err, "standard output: 2 equations with 5 terms, written as polynomial text\n");
  const CliRun solve = Zormix("c.phc --seed 1 --no-report --json out.json -q");
  ASSERT_EQ(solve.code, 0) << solve.err;
  EXPECT_EQ(solve.err, "");
  const nlohmann::json j = nlohmann::json::parse(Slurp("out.json"));
  for (const auto& root : j["roots"]) {
    EXPECT_NEAR(std::abs(root["values"][0][0].get<double>()), std::sqrt(0.5), 1e-12);
  }
  // Written back in PHCpack's format, read back the same, by name and by --format.
  ASSERT_EQ(Zormix("convert c.phc -o again.phc --to phc").code, 0);
  EXPECT_EQ(Slurp("again.phc"), kPhcCircle);
  EXPECT_EQ(Zormix("convert again.phc -o - --format phc --to text").out, text.out);
}

// phc, run as a black box, reads the written file as the same system: its symbols in the
// system's order (kept by 0*x terms) and its polynomials with the same terms.
TEST_F(NewcomerTest, PhcReadsTheWrittenFileAsTheSameSystem) {
  if (std::system("command -v phc >/dev/null 2>&1") != 0) GTEST_SKIP() << "phc is not installed";
  Write("s.txt", "variables b, a, c;\na*c - 2;\nb + a - 1;\nc^2 - 3*a*b - (1 + 2i);\n");
  ASSERT_EQ(Zormix("convert s.txt -o s.phc --to phc").code, 0);
  ASSERT_EQ(std::system(("cd '" + dir_.string() +
                         "' && phc -g s.phc parsed </dev/null "
                         ">/dev/null 2>&1")
                            .c_str()),
            0);
  const std::string parsed = Slurp("parsed");
  EXPECT_THAT(parsed, HasSubstr("The symbols of the variables :\n b a c\n"));
  EXPECT_THAT(parsed, HasSubstr("a*c-2;"));
  EXPECT_THAT(parsed, HasSubstr("b+a-1;"));
}

// The names of the variables are in the summary, in the order of the roots' coordinates.
TEST_F(NewcomerTest, SummaryNamesTheVariablesInTheirOrder) {
  Write("robot.txt", "s1 - c1;\nc1^2 + s1^2 - 1;\n");
  const CliRun run = Zormix("robot.txt --seed 1 --no-report -q");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("\nvariables: s1, c1\nroute: polyhedral\n"));
}

TEST_F(NewcomerTest, NothingToSolveGivesAShortUsage) {
  const CliRun run = Zormix("");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, StartsWith("zormix: no system given, and no file PS.num here to solve\n"));
  EXPECT_THAT(run.err, HasSubstr("zormix convert IN -o OUT"));
  EXPECT_THAT(run.err, Not(HasSubstr("cannot open")));
  // With a PS.num in the folder, "zormix" alone solves it as before.
  Write("PS.num", "1\n2\n1\n0\n(1,0)\n(-2,0)\nx\n");
  const CliRun solve = Zormix("", "ZORMIX_SEED=1");
  EXPECT_EQ(solve.code, 0) << solve.err;
  EXPECT_THAT(solve.out, HasSubstr("1 regular root (1 real)"));
}

// Octave's name of the route is a name of the same route; the mixed volume with the total-degree
// route is refused in the command's words, not the library's.
TEST_F(NewcomerTest, RouteNamesAndTheMixedVolumeSpeakTheCommandsWords) {
  Write("c.txt", "x^2 + y^2 - 1; x - y;");
  const CliRun run = Zormix("c.txt --route totaldegree --seed 1 --no-report -q");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("route: total-degree\n"));
  const CliRun both = Zormix("c.txt --mixed-volume --route total-degree");
  EXPECT_EQ(both.code, 2);
  EXPECT_THAT(both.err, HasSubstr("--mixed-volume counts the paths of the polyhedral route"));
  EXPECT_THAT(both.err, Not(HasSubstr("mixedVolumeOnly")));
}

// The restore is said when tracking reports it, before the later stages, and the progress line
// counts the restored paths apart.
TEST_F(NewcomerTest, RestoredPathsAreSaidAsTheyAreRestored) {
  Write("c.txt", "x^2 + y^2 - 1; x - y;");
  ASSERT_EQ(Zormix("c.txt --seed 1 --checkpoint ck --no-report -q").code, 0);
  const CliRun run = Zormix("c.txt --seed 1 --checkpoint ck --no-report --progress");
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string said = "zormix: 2 of 2 paths restored from checkpoint ck\n";
  const std::size_t note = run.err.find(said);
  ASSERT_NE(note, std::string::npos) << run.err;
  EXPECT_LT(note, run.err.find("zormix: report"));
  EXPECT_THAT(run.err, HasSubstr("2/2 paths (2 restored): 2 reached, 0 not reached"));
  EXPECT_EQ(run.err.find("restored from checkpoint", note + said.size()), std::string::npos);
}

// Every option --help prints is documented in docs/cli.md, the README's recipes and lists agree
// with the build, and every statement of the accounting names the five classes.
TEST_F(NewcomerTest, DocumentationAgreesWithTheBuild) {
  const std::string command = "python3 '" + (SourceDir() / "scripts/check_docs.py").string() +
                              "' '" + SourceDir().string() + "' '" ZORMIX_CLI_PATH "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

}  // namespace
}  // namespace zormix::testing
