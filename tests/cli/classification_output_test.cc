// The classification as the program writes it: the JSON, valid against docs/result.schema.json
// and accounting for every path, and the summary lines after the ones the program always printed.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

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
    const fs::path schema = fs::path(std::getenv("ZORMIX_SOURCE_DIR")) / "docs/result.schema.json";
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

TEST_F(ClassificationOutputTest, CountsAccountForEveryPath) {
  const nlohmann::json j = nlohmann::json::parse(
      std::ifstream(Solve(kTwoAtInfinity + std::string("\n"), "--route total-degree --certify")));
  EXPECT_EQ(j["regular_count"], 2);
  EXPECT_EQ(j["at_infinity_count"], 2);
  EXPECT_EQ(j["certified_distinct_count"], 2);
  EXPECT_EQ(j["seed_text"], "1");
  EXPECT_EQ(j["regular_count"].get<int>() + j["singular_end_point_count"].get<int>() +
                j["at_infinity_count"].get<int>() + j["failed_count"].get<int>(),
            j["path_count"].get<int>());
  ASSERT_EQ(j["lost_paths"].size(), 2u);
  for (const auto& lost : j["lost_paths"]) EXPECT_EQ(lost["status"], "diverged");
  for (const auto& root : j["roots"]) {
    EXPECT_EQ(root["status"], "regular");
    EXPECT_TRUE(root["certified"].get<bool>());
  }
}

TEST_F(ClassificationOutputTest, SummaryLinesFollowTheOldOnes) {
  Solve(kTwoAtInfinity, "--route total-degree");
  const std::string plain = Output();
  EXPECT_EQ(plain.rfind("roots: 2\nreal roots: 0\npaths: 4\n", 0), 0u) << plain;
  const std::string added =
      "regular roots: 2\nsingular roots: 0 (end points: 0)\nreal regular roots: 0\n"
      "at infinity: 2\nfailed paths: 0\n";
  ASSERT_GE(plain.size(), added.size());
  EXPECT_EQ(plain.substr(plain.size() - added.size()), added);
  Solve(kTwoAtInfinity, "--route total-degree --certify");
  const std::string certified = Output();
  const std::string withCertificates = added + "certified roots: 2 (distinct: 2, real: 0)\n";
  ASSERT_GE(certified.size(), withCertificates.size());
  EXPECT_EQ(certified.substr(certified.size() - withCertificates.size()), withCertificates);
}

}  // namespace
}  // namespace zormix
