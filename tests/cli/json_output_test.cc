// The JSON written as a stream, and output files written as their text is produced.
#include "frontend/json_output.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <string>

#include "cli/cli_fixture.h"
#include "frontend/output.h"
#include "support/systems.h"
#include "zormix/solve.h"

namespace zormix::frontend {
namespace {

namespace fs = std::filesystem;

std::string Streamed(const SolveResult& result, bool mixedVolumeOnly) {
  std::string text;
  WriteResultJson(result, mixedVolumeOnly, [&text](std::string_view piece) { text.append(piece); });
  return text;
}

void ExpectStreamedEqualsWhole(const SolveResult& result, bool mixedVolumeOnly,
                               const std::string& label) {
  EXPECT_EQ(Streamed(result, mixedVolumeOnly), ResultToJson(result, mixedVolumeOnly).dump(2) + "\n")
      << label;
}

SolveResult Solved(const PolySystem& system, Route route, bool certify, bool mixedVolumeOnly) {
  SolveOptions options;
  options.seed = 1;
  options.route = route;
  options.certify = certify;
  options.mixedVolumeOnly = mixedVolumeOnly;
  options.reportPath.clear();
  return SolveSystem(system, options);
}

// Solved results with every kind of member: lost paths (cyclic-5 on the total-degree route),
// certificates with their boxes and timings, the mixed volume alone.
TEST(JsonOutputTest, StreamedTextIsTheWholeDocumentDumped) {
  ExpectStreamedEqualsWhole(Solved(testing::CircleAndLine(), Route::kPolyhedral, false, false),
                            false, "circle and line");
  const SolveResult totalDegree = Solved(testing::Cyclic(5), Route::kTotalDegree, false, false);
  ASSERT_FALSE(totalDegree.lostPaths.empty());
  ExpectStreamedEqualsWhole(totalDegree, false, "cyclic-5, total degree");
  ExpectStreamedEqualsWhole(Solved(testing::Cyclic(5), Route::kPolyhedral, true, false), false,
                            "cyclic-5, certified");
  ExpectStreamedEqualsWhole(Solved(testing::Cyclic(5), Route::kPolyhedral, false, true), true,
                            "mixed volume");
}

// What no solve above writes: no roots and no lost paths (two empty arrays), numbers JSON has no
// text for (null), and strings whose escapes include line breaks, which must not be taken for the
// layout's own.
TEST(JsonOutputTest, StreamedTextKeepsEscapesEmptyArraysAndNonFiniteNumbers) {
  SolveResult result;
  result.n = 1;
  result.variableNames = {"x\"\n\\y", "\xc3\xa9"};
  result.warnings = {"two\nlines\tand a tab", ""};
  result.roots.Assign(1, 0);
  ExpectStreamedEqualsWhole(result, false, "no roots");

  result.rootCount = 2;
  result.roots.Assign(1, 2);
  result.roots(0, 0) = Complex(std::numeric_limits<double>::quiet_NaN(), -0.0);
  result.roots(0, 1) = Complex(1e-300, std::numeric_limits<double>::infinity());
  result.residuals = {std::numeric_limits<double>::infinity(), 0.1};  // the second root has none
  ExpectStreamedEqualsWhole(result, false, "non-finite values");
  EXPECT_NE(Streamed(result, false).find("null"), std::string::npos);
}

using StreamOutputTest = testing::CliTest;

// A producer that fails after more than the writer buffers (so part of the text has reached the
// temporary file) leaves the old file, and nothing beside it.
TEST_F(StreamOutputTest, FailedProducerLeavesTheOldFile) {
  Write("out.json", "old");
  auto failing = [](const auto& write) {
    write(std::string(200000, 'x'));
    throw std::runtime_error("stopped");
  };
  EXPECT_THROW(StreamOutput((dir_ / "out.json").string(), failing, "JSON file"),
               std::runtime_error);
  EXPECT_EQ(Slurp("out.json"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace zormix::frontend
