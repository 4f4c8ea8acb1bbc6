// `zormix sweep`, `solve --save-start`, `monodromy` and `convert` used carelessly or against
// themselves: no input overwritten, no record torn, no write error reported as success, nothing
// wrong accepted.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace zormix::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Planar 3-RPR robot: squared leg lengths, 6 poses from 16 paths.
constexpr const char* kRobot = R"(variables x, y, c, s;
parameters L1, L2, L3;
x^2 + y^2 - L1;
(x + 4*c - 10)^2 + (y + 4*s)^2 - L2;
(x + 1.5*c - 3*s - 5)^2 + (y + 1.5*s + 3*c - 8)^2 - L3;
c^2 + s^2 - 1;
)";
constexpr const char* kRobotValues = "25 45 20\n30 40 25\n18 52 30\n";

class SweepMisuseTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    Write("robot.txt", kRobot);
    Write("values.txt", kRobotValues);
  }

  // Every line of the file is one whole JSON record ending in a newline.
  static void ExpectWholeRecords(const std::string& text) {
    ASSERT_TRUE(text.empty() || text.back() == '\n')
        << "torn tail: " << text.substr(text.rfind('\n') + 1);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
      EXPECT_TRUE(nlohmann::json::accept(line)) << line.substr(0, 80);
  }
};

TEST_F(SweepMisuseTest, AnOutputNamingAnInputIsRefusedAndTheInputKept) {
  Write("start.json", "");
  ASSERT_EQ(Zormix("sweep robot.txt values.txt --seed 1 -q --save-start start.json").code, 0);
  const std::string start = Slurp("start.json");
  ASSERT_EQ(symlink("values.txt", (dir_ / "alias.jsonl").c_str()), 0);
  const struct {
    const char* args;
    const char* kept;
  } cases[] = {
      {"sweep robot.txt values.txt --json values.txt", "values.txt"},
      {"sweep robot.txt values.txt --json ./alias.jsonl", "values.txt"},  // through a symlink
      {"sweep robot.txt values.txt --json robot.txt", "robot.txt"},
      {"sweep robot.txt values.txt --start start.json --json start.json", "start.json"},
      {"sweep robot.txt values.txt --save-start values.txt", "values.txt"},
      {"sweep robot.txt values.txt --save-start o.json --json o.json", "robot.txt"},
      {"solve robot.txt --save-start robot.txt", "robot.txt"},
      {"convert robot.txt -o robot.txt --to text", "robot.txt"},
      {"monodromy robot.txt --save-start robot.txt", "robot.txt"},
      {"monodromy robot.txt --save-start o.json --json o.json", "robot.txt"},
  };
  for (const auto& c : cases) {
    const std::string before = Slurp(c.kept);
    const bool convert = std::string(c.args).rfind("convert", 0) == 0;
    const CliRun run = Zormix(std::string(c.args) + (convert ? "" : " --seed 1 -q"));
    EXPECT_EQ(run.code, 2) << c.args << "\n" << run.err;
    EXPECT_THAT(run.err, HasSubstr("are the same file")) << c.args;
    EXPECT_EQ(Slurp(c.kept), before) << c.args;
  }
  EXPECT_EQ(Slurp("start.json"), start);
  EXPECT_FALSE(fs::exists(dir_ / "o.json"));
}

TEST_F(SweepMisuseTest, AJsonFileHeldByAnotherRunIsRefusedAndLeftAsItWas) {
  Write("out.jsonl", "{\"kept\": true}\n");
  const int fd = open((dir_ / "out.jsonl").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  ASSERT_EQ(link((dir_ / "out.jsonl").c_str(), (dir_ / "hard.jsonl").c_str()), 0);
  const CliRun run = Zormix("sweep robot.txt values.txt --seed 1 -q --json hard.jsonl");
  close(fd);
  EXPECT_EQ(run.code, 1);
  EXPECT_THAT(run.err, HasSubstr("is in use by process " + std::to_string(getpid())));
  EXPECT_EQ(Slurp("out.jsonl"), "{\"kept\": true}\n");
  EXPECT_THAT(run.out, Not(HasSubstr("instance")));  // refused before any member
}

TEST_F(SweepMisuseTest, AWriteThatFailsEndsTheRunWithItsReasonAndNoTornRecord) {
  std::string many;
  for (int k = 0; k < 12; ++k) many += kRobotValues;
  Write("many.txt", many);
  // Records of about 3 KB each against a file size limit of 8 KB: the third one cannot be whole.
  const CliRun full = Zormix(
      "sweep robot.txt many.txt --seed 1 -q --threads 2 --json out.jsonl; ulimit -f 8; "
      "'" ZORMIX_CLI_PATH
      "' sweep robot.txt many.txt --seed 1 -q --threads 2 --json limited.jsonl");
  EXPECT_EQ(full.code, 1) << full.err;
  EXPECT_THAT(full.err, HasSubstr("File too large"));
  const std::string limited = Slurp("limited.jsonl");
  ExpectWholeRecords(limited);
  EXPECT_GT(limited.size(), 0u);
  EXPECT_EQ(Slurp("out.jsonl").substr(0, limited.size()), limited);  // the same records, whole

  // Standard output on a full device: the table, and a solve's summary.
  const auto toFullDevice = [](const std::string& args) {
    return "--version >/dev/null; sh -c \"'" ZORMIX_CLI_PATH "' " + args + " >/dev/full\"";
  };
  EXPECT_EQ(Zormix(toFullDevice("sweep robot.txt values.txt --seed 1 -q")).code, 1);
  Write("circle.txt", "x^2 + y^2 - 1; x - y");
  const CliRun summary = Zormix(toFullDevice("circle.txt --mixed-volume -q"));
  EXPECT_EQ(summary.code, 1);
  EXPECT_THAT(summary.err, HasSubstr("No space left on device"));
}

TEST_F(SweepMisuseTest, AStartThatIsNoRegularFileIsRefusedWithoutWaiting) {
  ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  fs::create_directory(dir_ / "folder");
  for (const char* start : {"fifo", "folder"}) {
    // A start read from a FIFO without a writer used to block for ever: `timeout` ends such a run.
    const CliRun run = Zormix(std::string("--version >/dev/null; timeout 60 '" ZORMIX_CLI_PATH
                                          "' sweep robot.txt values.txt -q --start ") +
                              start);
    EXPECT_EQ(run.code, 1) << start;
    EXPECT_THAT(run.err, HasSubstr("start file")) << start;
  }
}

TEST_F(SweepMisuseTest, OptionsAStartSolveWouldLeaveUndoneAreRefused) {
  for (const char* option : {"--json j.json", "--checkpoint ck", "--certify", "-o r.roots"}) {
    const CliRun run =
        Zormix(std::string("solve robot.txt --seed 1 -q --save-start s.json ") + option);
    EXPECT_EQ(run.code, 2) << option;
    EXPECT_THAT(run.err, HasSubstr("has no effect with --save-start")) << option;
  }
  EXPECT_FALSE(fs::exists(dir_ / "s.json"));
}

TEST_F(SweepMisuseTest, ValuesThatAreNotWhatTheySeemAreRefusedWhereTheyStand) {
  const struct {
    const char* values;
    const char* message;
  } cases[] = {
      {"1.5 - 2i, 45, 20\n", "v.txt:1:5: a sign stands apart from its number"},
      {"25,45,,20\n", "v.txt:1:7: an empty value between two ','"},
      {"25, 45, 20,\n", "a ',' after the last value"},
      {"25 45 1e-400\n", "1e-400 is below the range of doubles"},
  };
  for (const auto& c : cases) {
    Write("v.txt", c.values);
    const CliRun run = Zormix("sweep robot.txt v.txt -q --seed 1");
    EXPECT_EQ(run.code, 1) << c.values;
    EXPECT_THAT(run.err, HasSubstr(c.message)) << c.values;
  }
  Write("v.txt", std::string("25 45 2\0 1\n", 11));
  EXPECT_THAT(Zormix("sweep robot.txt v.txt -q --seed 1").err, HasSubstr("found '\\x00'"));
  const CliRun both = Zormix("sweep - - -q", "", "values.txt");
  EXPECT_EQ(both.code, 2);
  EXPECT_THAT(both.err, HasSubstr("cannot both come from standard input"));
}

// A million '(' are refused at the 257th, in the memory of a small input: before, every token was
// made first, a quarter of a gigabyte, and within 150 MB the refusal ran out of memory. A family
// is read by the same parser, and a NUL in a PS.num file is shown, not left to cut the message.
TEST_F(SweepMisuseTest, DeepNestingAndNulsAreRefusedCheaplyAndShown) {
  const std::string deep = std::string(1000000, '(') + "x" + std::string(1000000, ')');
  Write("deep.txt", deep + " - 1\n");
  Write("deepfamily.txt", "parameters a;\n" + deep + " - a\n");
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  const std::string limit;  // the sanitizers reserve more address space: the refusal alone
#else
  const std::string limit = "ulimit -v 150000; ";
#endif
  for (const char* args : {"deep.txt --no-report -q", "sweep deepfamily.txt values.txt -q"}) {
    const CliRun run =
        Zormix("--version >/dev/null; " + limit + "'" + ZORMIX_CLI_PATH + "' " + args);
    EXPECT_EQ(run.code, 1) << args;
    EXPECT_THAT(run.err, HasSubstr(":257: parentheses nested deeper than 256")) << args;
  }
  Write("nul.num", std::string("2\n2\n2 0 1.0\0 0.0\n", 18));
  EXPECT_THAT(Zormix("nul.num --no-report -q").err, HasSubstr("\\x00"));
}

// The circle x^2 + y^2 = 1 twice at a = 1: every path ends on it; at a = 2 two double roots. Each
// row of the table accounts for the 4 paths, the positive-dimensional ones included.
TEST_F(SweepMisuseTest, EveryRowOfTheTableAddsUpToTheMembersPaths) {
  Write("circles.txt", "variables x, y;\nparameters a;\nx^2 + y^2 - 1;\nx^2 + a*y^2 - 1;\n");
  Write("two.txt", "1\n2\n");
  const CliRun run = Zormix("sweep circles.txt two.txt --seed 1 -q");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("pos-dim"));
  std::istringstream lines(run.out);
  int rows = 0;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream row(line);
    long instance = 0, regular = 0, real = 0, singular = 0, setPaths = 0, infinity = 0, failed = 0;
    if (!(row >> instance >> regular >> real >> singular >> setPaths >> infinity >> failed))
      continue;
    ++rows;
    EXPECT_EQ(regular + singular + setPaths + infinity + failed, 4) << line;
    EXPECT_EQ(setPaths, instance == 1 ? 4 : 0) << line;
  }
  EXPECT_EQ(rows, 2);
}

// A sweep stopped after two records and a torn third continues with --resume to the file of an
// uninterrupted sweep, byte for byte, taking the seed from the records; a file of another seed or
// other values is refused and left as it was.
TEST_F(SweepMisuseTest, AStoppedSweepResumesToTheFileOfAnUninterruptedOne) {
  std::string six = std::string(kRobotValues) + kRobotValues;
  Write("six.txt", six);
  ASSERT_EQ(Zormix("sweep robot.txt six.txt --seed 5 -q --json full.jsonl").code, 0);
  const std::string full = Slurp("full.jsonl");
  std::size_t cut = 0;
  for (int k = 0; k < 2; ++k) cut = full.find('\n', cut) + 1;
  const std::string stopped = full.substr(0, cut + 40);
  Write("part.jsonl", stopped);
  const CliRun other = Zormix("sweep robot.txt six.txt --seed 6 -q --json part.jsonl --resume");
  EXPECT_EQ(other.code, 1);
  EXPECT_THAT(other.err, HasSubstr("line 1 was made with seed 5, this sweep's is 6"));
  Write("three.txt", "25 45 20\n30 40 26\n");
  EXPECT_THAT(Zormix("sweep robot.txt three.txt -q --json part.jsonl --resume").err,
              HasSubstr("line 2 holds other parameter values than member 2"));
  EXPECT_EQ(Slurp("part.jsonl"), stopped);
  const CliRun resumed =
      Zormix("sweep robot.txt six.txt --threads 2 -q --json part.jsonl --resume");
  ASSERT_EQ(resumed.code, 0) << resumed.err;
  EXPECT_THAT(resumed.out, HasSubstr("the records of 2 instances kept"));
  EXPECT_EQ(Slurp("part.jsonl"), full);
  EXPECT_EQ(Zormix("sweep robot.txt six.txt -q --resume").code, 2);  // no --json to resume
}

// Each line of the sweep validates against docs/result.schema.json, solved or not, and none
// warns of a mixed volume of 0 that the member's own roots contradict.
TEST_F(SweepMisuseTest, RecordsValidateAgainstTheSchemaAndCarryOnlyTheirOwnWarnings) {
  // The second member makes the first equation vanish: a record of an unsolved member.
  Write("family.txt", "variables x, y;\nparameters a;\na*x^2 + a*y - a;\nx*y - 2;\n");
  Write("two.txt", "3\n0\n");
  ASSERT_EQ(Zormix("sweep family.txt two.txt --seed 1 -q --json two.jsonl").code, 0);
  const std::string lines = Slurp("two.jsonl");
  EXPECT_THAT(lines, HasSubstr("\"solved\":false"));
  EXPECT_THAT(lines, Not(HasSubstr("mixed volume is 0")));
  Write("records.jsonl", lines);
  // One interpreter (its start is slow on a loaded machine): 77 when jsonschema is missing.
  const std::string check =
      "python3 -c 'import json, sys\n"
      "try: import jsonschema as j\n"
      "except ImportError: sys.exit(77)\n"
      "s = json.load(open(sys.argv[1]))\n"
      "j.Draft202012Validator.check_schema(s)\n"
      "for line in open(sys.argv[2]): j.validate(json.loads(line), s)' '" +
      (SourceDir() / "docs/result.schema.json").string() + "' records.jsonl";
  const CliRun run = Zormix("--version >/dev/null; " + check);
  if (run.code == 77) GTEST_SKIP() << "python3-jsonschema is not installed";
  EXPECT_EQ(run.code, 0) << run.err;
}

}  // namespace
}  // namespace zormix::testing
