// Each kind of error reaches the shell as its own exit code and message.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/cli_fixture.h"

namespace zormix {
namespace {

using testing::CliRun;
using testing::CliTest;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

// x_k = 1 for 4000 variables: one path, but its system's tables (exponents, the 4000 x 4000
// Jacobians) do not fit an address-space limit of 1 GB: the solve runs out of memory at once.
TEST_F(CliTest, OutOfMemoryExitsWithThreeAndSaysSo) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
#endif
  std::string text;
  for (int k = 1; k <= 4000; ++k) {
    text += 'x';
    text += std::to_string(k);
    text += " - 1;\n";
  }
  Write("big.txt", text);
  const CliRun run = Zormix("big.txt --route total-degree --seed 1 --threads 1 -q",
                            "sh -c 'ulimit -v 1000000 && exec \"$0\" \"$@\"'");
  EXPECT_EQ(run.code, 3) << run.err;
  EXPECT_THAT(run.err, HasSubstr("zormix: not enough memory for this solve (4000 variables)"));
  EXPECT_FALSE(fs::exists(dir_ / "data.roots"));
}

// A fault of the solver (a broken invariant, here injected through the front ends' test hook once
// the paths are tracked and their storage is held) reaches the shell as its message and exit code
// 4, with no report and no temporary; under the sanitizers the run also frees all it took.
TEST_F(CliTest, AnInternalFaultExitsWithFourAndSaysSo) {
  Write("circle.txt", "x^2 + y^2 - 4;\nx - 3*y + 1;\n");
  for (const char* stage : {"tracking", "report"}) {
    const CliRun run = Zormix("circle.txt --seed 1 -o out.roots --json out.json",
                              std::string("ZORMIX_TEST_FAULT_AT='") + stage + "'");
    EXPECT_EQ(run.code, 4) << run.err;
    EXPECT_THAT(run.err, HasSubstr(std::string("zormix: internal error: broken invariant injected "
                                               "at stage ") +
                                   stage));
    for (const auto& entry : fs::directory_iterator(dir_))
      EXPECT_EQ(entry.path().filename().string().rfind("out.", 0), std::string::npos)
          << entry.path();
  }
  EXPECT_EQ(Zormix("circle.txt --seed 1 -o out.roots", "ZORMIX_TEST_FAULT_AT=").code, 0);
}

TEST_F(CliTest, OptionsBreakingARuleOfTheLibraryAreUsageErrors) {
  Write("circle.txt", "x^2 + y^2 - 1;\nx - y;\n");
  const CliRun run = Zormix("circle.txt -o same.bin --checkpoint same.bin");
  EXPECT_EQ(run.code, 2);
  EXPECT_THAT(run.err, HasSubstr("the report and the checkpoint would be the same file"));
  EXPECT_FALSE(fs::exists(dir_ / "same.bin"));
}

}  // namespace
}  // namespace zormix
