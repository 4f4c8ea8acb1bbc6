// The classification as the program writes it: the JSON, valid against docs/result.schema.json
// and accounting for every path, and the summary lines after the ones the program always printed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_fixture.h"
#include "support/temp_dir.h"

namespace zormix {
namespace {

namespace fs = std::filesystem;

class ClassificationOutputTest : public testing::TempDirTest {
 protected:
  // Solves `system` (polynomial text) with `args`; returns the path of the JSON written. The
  // standard output goes to stdout.txt.
  fs::path Solve(const std::string& system, const std::string& args) const {
    std::ofstream(dir_ / "system.txt") << system;
    const std::string command = "cd '" + dir_.string() +
                                "' && '" ZORMIX_CLI_PATH
                                "' solve system.txt --seed 1 -q --no-report --json out.json " +
                                args + " >stdout.txt 2>&1 </dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return dir_ / "out.json";
  }

  std::string Output() const {
    std::ifstream in(dir_ / "stdout.txt");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // 0: valid; 1: invalid; 2: no validator available.
  static int Validate(const fs::path& json) {
    const fs::path schema = testing::SourceDir() / "docs/result.schema.json";
    const std::string command =
        "python3 -c 'import json, sys, jsonschema as j\n"
        "s = json.load(open(sys.argv[1]))\n"
        "j.Draft202012Validator.check_schema(s)\n"
        "j.Draft202012Validator(s).validate(json.load(open(sys.argv[2])))' '" +
        schema.string() + "' '" + json.string() + "' >/dev/null 2>&1";
    if (std::system("python3 -c 'import jsonschema' >/dev/null 2>&1") != 0) return 2;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
  }
};

// Bezout number 4: two regular roots (x = +-i, y = 2) and two paths to infinity on the
// total-degree route.
constexpr const char* kTwoAtInfinity = "x^2 + y - 1;\nx^2 + 2*y - 3;\n";

TEST_F(ClassificationOutputTest, SolveWithCertificatesAndMixedVolumeRunAreValid) {
  for (const std::string& args :
       {std::string("--route total-degree --certify"), std::string("--route total-degree"),
        std::string("--mixed-volume")}) {
    SCOPED_TRACE(args);
    const int valid = Validate(Solve(kTwoAtInfinity, args));
    if (valid == 2) GTEST_SKIP() << "python3-jsonschema is not installed";
    EXPECT_EQ(valid, 0);
  }
}

TEST_F(ClassificationOutputTest, ValidatorRejectsADocumentMissingARequiredCount) {
  const fs::path out = Solve(kTwoAtInfinity, "--route total-degree");
  nlohmann::json j = nlohmann::json::parse(std::ifstream(out));
  j.erase("failed_count");
  std::ofstream(out) << j.dump();
  const int valid = Validate(out);
  if (valid == 2) GTEST_SKIP() << "python3-jsonschema is not installed";
  EXPECT_EQ(valid, 1);
}

// regular + singular end points + positive-dimensional + at infinity + failed = paths, and each
// list of paths has the length of its count.
void ExpectAccounted(const nlohmann::json& j) {
  EXPECT_EQ(j["regular_count"].get<int>() + j["singular_end_point_count"].get<int>() +
                j["positive_dimensional_count"].get<int>() + j["at_infinity_count"].get<int>() +
                j["failed_count"].get<int>(),
            j["path_count"].get<int>());
  EXPECT_EQ(j["lost_paths"].size(), j["failed_count"].get<std::size_t>());
  EXPECT_EQ(j["lost_path_count"], j["failed_count"]);
  EXPECT_EQ(j["at_infinity_paths"].size(), j["at_infinity_count"].get<std::size_t>());
  EXPECT_EQ(j["schema_version"], 4);
}

TEST_F(ClassificationOutputTest, CountsAccountForEveryPath) {
  const nlohmann::json j = nlohmann::json::parse(
      std::ifstream(Solve(kTwoAtInfinity + std::string("\n"), "--route total-degree --certify")));
  ExpectAccounted(j);
  EXPECT_EQ(j["regular_count"], 2);
  EXPECT_EQ(j["at_infinity_count"], 2);
  EXPECT_EQ(j["certified_distinct_count"], 2);
  EXPECT_EQ(j["seed_text"], "1");
  // Both paths go to infinity like poles, (1 - t)^-1.
  for (const auto& path : j["at_infinity_paths"]) {
    EXPECT_EQ(path["status"], "diverged");
    EXPECT_NEAR(path["valuation"].get<double>(), -1.0, 1e-2);
  }
  for (const auto& root : j["roots"]) {
    EXPECT_EQ(root["status"], "regular");
    EXPECT_TRUE(root["certified"].get<bool>());
  }
}

// A triple root: one singular root from three end points, each of the three records naming the
// group and its multiplicity; the count of end points is not the count of roots.
TEST_F(ClassificationOutputTest, TripleRootCountsOneRootFromThreeEndPoints) {
  const nlohmann::json j =
      nlohmann::json::parse(std::ifstream(Solve("(x-1)^3; y-2;", "--route total-degree")));
  ExpectAccounted(j);
  EXPECT_EQ(j["singular_count"], 1);
  EXPECT_EQ(j["singular_end_point_count"], 3);
  EXPECT_EQ(j["regular_count"], 0);
  for (const auto& root : j["roots"]) {
    EXPECT_EQ(root["status"], "singular");
    EXPECT_EQ(root["multiplicity"], 3);
    EXPECT_EQ(root["group_leader"], 0);
  }
  EXPECT_THAT(
      j["summary"].get<std::string>(),
      ::testing::StartsWith("0 regular roots (0 real) \u00b7 1 singular root from 3 paths"));
}

TEST_F(ClassificationOutputTest, SummaryIsOneLineGenuineRootsFirst) {
  Solve(kTwoAtInfinity, "--route total-degree");
  EXPECT_EQ(Output(),
            "2 regular roots (0 real) \u00b7 2 paths to infinity \u00b7 0 failed \u00b7 4 paths "
            "\u00b7 seed 1\nvariables: x, y\nroute: total-degree\njson: out.json\n");
  Solve(kTwoAtInfinity, "--route total-degree --certify");
  EXPECT_THAT(Output(),
              ::testing::HasSubstr(
                  " \u00b7 4 paths \u00b7 2 certified (2 distinct, 0 real) \u00b7 seed 1\n"));
}

// (x-1)^5; (y-2)^3: one root of multiplicity 15 and no doubt about it. x y = 0, x y = 0: on the
// total-degree route every path ends on one of the two lines (dimension 1); on the polyhedral
// route there is no path, and a warning says the solution set may be positive-dimensional.
TEST_F(ClassificationOutputTest, MultipleRootAndLinesAreNamed) {
  nlohmann::json j = nlohmann::json::parse(std::ifstream(Solve("(x-1)^5; (y-2)^3;", "")));
  ExpectAccounted(j);
  EXPECT_EQ(j["singular_count"], 1);
  EXPECT_EQ(j["singular_end_point_count"], 15);
  EXPECT_EQ(j["roots"][14]["multiplicity"], 15);
  EXPECT_TRUE(j["warnings"].empty());
  j = nlohmann::json::parse(std::ifstream(Solve("x*y; x*y;", "--route total-degree")));
  ExpectAccounted(j);
  EXPECT_EQ(j["positive_dimensional_count"], 4);
  for (const auto& root : j["roots"]) EXPECT_EQ(root["local_dimension"], 1);
  j = nlohmann::json::parse(std::ifstream(Solve("x*y; x*y;", "")));
  ExpectAccounted(j);
  ASSERT_EQ(j["warnings"].size(), 1u);
  EXPECT_THAT(j["warnings"][0].get<std::string>(), ::testing::HasSubstr("mixed volume is 0"));
}

}  // namespace
}  // namespace zormix
