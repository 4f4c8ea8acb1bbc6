#include "base/parameter_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "zormix/error.h"

namespace zormix {
namespace {

// Registered like every layer's parameters, before main.
const Parameter kSampleLimit{{.name = "test.sample_limit",
                              .value = 1e-8,
                              .lowest = 1e-10,
                              .highest = 1e-6,
                              .decides = "a point closer than this is the same point",
                              .reason = "the error of a sample"}};
const Parameter kSampleCount{{.name = "test.a_sample_count",
                              .value = 3,
                              .lowest = 2,
                              .highest = 5,
                              .decides = "samples taken",
                              .reason = ""}};

TEST(ParameterRegistryTest, ParametersAreListedByNameWithTheirRanges) {
  const std::vector<const Parameter*> all = RegisteredParameters();
  ASSERT_GE(all.size(), 2u);
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end(), [](const Parameter* a, const Parameter* b) {
    return a->declaration().name < b->declaration().name;
  }));
  EXPECT_NE(std::find(all.begin(), all.end(), &kSampleLimit), all.end());
  EXPECT_EQ(kSampleLimit * 2.0, 2e-8);  // reads as its value
  EXPECT_FALSE(kSampleCount.moved());

  const std::string table = FormatParameterTable();
  const std::size_t limit = table.find("test.sample_limit = 1e-08   range [1e-10, 1e-06]");
  const std::size_t count = table.find("test.a_sample_count = 3   range [2, 5]");
  ASSERT_NE(limit, std::string::npos) << table;
  ASSERT_NE(count, std::string::npos) << table;
  EXPECT_LT(count, limit);
  EXPECT_NE(table.find("why: the error of a sample"), std::string::npos);
}

// The test runs without ZORMIX_PARAMETERS (tests/cli moves parameters through the command).
TEST(ParameterRegistryTest, NothingMovedWithoutTheEnvironment) {
  EXPECT_NO_THROW(CheckParameterOverrides());
  EXPECT_EQ(MovedParameters(), "");
}

}  // namespace
}  // namespace zormix

namespace zormix {
namespace {

// Run by the CTest test `parameter_overrides`, which sets ZORMIX_PARAMETERS to
// "test.sample_limit=1e-6, test.a_sample_count=7, no.such=1, test.broken".
TEST(ParameterOverrideTest, MovesWithinTheRangeAndRefusesTheRest) {
  if (std::getenv("ZORMIX_PARAMETERS") == nullptr) GTEST_SKIP() << "run by parameter_overrides";
  EXPECT_EQ(kSampleLimit.value(), 1e-6);  // the top of its range is allowed
  EXPECT_TRUE(kSampleLimit.moved());
  EXPECT_EQ(kSampleCount.value(), 3);  // 7 is outside [2, 5]: kept
  EXPECT_EQ(MovedParameters(), "test.sample_limit=1e-06");
  try {
    CheckParameterOverrides();
    FAIL() << "accepted";
  } catch (const Error& e) {
    const std::string what = e.what();
    EXPECT_EQ(e.code(), ErrorCode::kBadArgument);
    EXPECT_NE(what.find("test.a_sample_count: 7 outside its range [2, 5]"), std::string::npos);
    EXPECT_NE(what.find("no parameter is named 'no.such'"), std::string::npos);
    EXPECT_NE(what.find("'test.broken' is not name=value"), std::string::npos);
  }
}

}  // namespace
}  // namespace zormix
