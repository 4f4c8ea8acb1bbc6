// The rules on SolveOptions, their encoding for the ranks of a cluster job, and what the front
// ends make of each kind of error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "frontend/front_end.h"
#include "io/reader.h"
#include "solve/wire.h"
#include "support/systems.h"
#include "zormix/parametric.h"
#include "zormix/solve.h"
#include "zormix/sweep.h"

namespace zormix {
namespace {

using ::testing::HasSubstr;

TEST(SolveOptionsTest, EachRuleRefusesItsCaseAndTheSolveThrowsBadArgument) {
  struct Case {
    void (*breakRule)(SolveOptions&);
    const char* reason;
  };
  const Case cases[] = {
      {[](SolveOptions& o) { o.threads = -1; }, "threads = -1"},
      {[](SolveOptions& o) { o.threads = kMaxThreads + 1; }, "threads = 4097"},
      {[](SolveOptions& o) {
         o.mixedVolumeOnly = true;
         o.route = Route::kTotalDegree;
       },
       "polyhedral route"},
      {[](SolveOptions& o) {
         o.mixedVolumeOnly = true;
         o.reportPath = "r.roots";
       },
       "writes no report"},
      {[](SolveOptions& o) { o.reportPath = o.checkpointPath = "same"; }, "same file"},
      {[](SolveOptions& o) { o.maxPaths = 0; }, "maxPaths = 0"},
      {[](SolveOptions& o) { o.maxPaths = -5; }, "maxPaths = -5"},
      {[](SolveOptions& o) { o.route = static_cast<Route>(7); }, "route 7"},
      {[](SolveOptions& o) { o.checkpointPath = "-"; }, "checkpointPath '-'"},
      {[](SolveOptions& o) { o.reportPath = std::string("r\0.roots", 8); }, "NUL"},
      {[](SolveOptions& o) {
         o.mixedVolumeOnly = true;
         o.certify = true;
       },
       "no root to certify"},
      {[](SolveOptions& o) {
         o.mixedVolumeOnly = true;
         o.checkpointPath = "ck";
       },
       "no path to keep"},
  };
  for (const Case& c : cases) {
    SolveOptions options;
    options.seed = 1;
    EXPECT_TRUE(options.Validate());
    c.breakRule(options);
    std::string why;
    EXPECT_FALSE(options.Validate(&why));
    EXPECT_THAT(why, HasSubstr(c.reason));
    try {
      SolveSystem(testing::CircleAndLine(), options);
      ADD_FAILURE() << "solved with " << c.reason;
    } catch (const Error& error) {
      EXPECT_EQ(error.code(), ErrorCode::kBadArgument) << c.reason;
      EXPECT_EQ(error.what(), why);
    }
  }
  SolveOptions bounds;
  bounds.threads = kMaxThreads;
  EXPECT_TRUE(bounds.Validate());
  bounds.threads = 0;
  EXPECT_TRUE(bounds.Validate());
}

TEST(SweepOptionsTest, EachRuleRefusesItsCaseAndTheSweepThrowsBadArgument) {
  const ParametricSystem family = ParseParametricText("parameters a;\nx^2 - a;\n", "f");
  for (const auto& [breakRule, reason] :
       std::vector<std::pair<void (*)(SweepOptions&), const char*>>{
           {[](SweepOptions& o) { o.threads = -3; }, "threads = -3"},
           {[](SweepOptions& o) { o.maxPaths = 0; }, "maxPaths = 0"},
           {[](SweepOptions& o) { o.startRoute = static_cast<Route>(2); }, "startRoute 2"}}) {
    SweepOptions options;
    options.seed = 1;
    EXPECT_TRUE(options.Validate());
    breakRule(options);
    std::string why;
    EXPECT_FALSE(options.Validate(&why));
    EXPECT_THAT(why, HasSubstr(reason));
    try {
      SolveFamilyStart(family, options);
      ADD_FAILURE() << "solved with " << reason;
    } catch (const Error& error) {
      EXPECT_EQ(error.code(), ErrorCode::kBadArgument) << reason;
    }
  }
}

// Two variables of one name are one unknown to whoever reads the roots: refused by every reader
// and by the solve itself.
TEST(SolveOptionsTest, DuplicateVariableNamesAreRefused) {
  PolySystem twice = testing::CircleAndLine();
  twice.variableNames[1] = twice.variableNames[0];
  try {
    SolveSystem(twice, SolveOptions{});
    ADD_FAILURE() << "solved with two variables named alike";
  } catch (const Error& error) {
    EXPECT_EQ(error.code(), ErrorCode::kInvalidInput);
    EXPECT_THAT(error.what(), HasSubstr("variables 1 and 2 are both named"));
  }
  std::istringstream psnum("2\n2\n2 0 1.0 0.0\n0 0 -1.0 0.0\n2\n1 0 1.0 0.0\n0 1 -1.0 0.0\nx\nx\n");
  EXPECT_THROW(ReadSystem(psnum, "PS.num"), Error);
}

// Every field that is data makes the trip with a value unlike its default; the callbacks and the
// carried stream stay behind. (A field added to SolveOptions without an encoding fails to compile.)
TEST(SolveOptionsTest, EncodingRoundTripsTheSystemAndEveryDataField) {
  SolveOptions sent;
  sent.route = Route::kTotalDegree;
  sent.seed = 18446744073709551615ull;
  sent.threads = 17;
  sent.reportPath = "report with spaces.roots";
  sent.mixedVolumeOnly = true;
  sent.checkpointPath = std::string("ck\0pt", 5);
  sent.certify = true;
  sent.console = [](std::string_view) {};
  PolySystem system = testing::Cyclic(4);
  system.coefficients[3] = Complex(-1e300, 2.5e-310);
  const WireSolve got = DecodeSolve(EncodeSolve(system, sent));
  EXPECT_EQ(got.options.route, sent.route);
  EXPECT_EQ(got.options.seed, sent.seed);
  EXPECT_EQ(got.options.threads, sent.threads);
  EXPECT_EQ(got.options.reportPath, sent.reportPath);
  EXPECT_EQ(got.options.mixedVolumeOnly, sent.mixedVolumeOnly);
  EXPECT_EQ(got.options.checkpointPath, sent.checkpointPath);
  EXPECT_EQ(got.options.certify, sent.certify);
  EXPECT_FALSE(got.options.console);
  EXPECT_EQ(got.system.n, system.n);
  EXPECT_EQ(got.system.termCount, system.termCount);
  EXPECT_EQ(got.system.exponents, system.exponents);
  EXPECT_EQ(got.system.coefficients, system.coefficients);
  EXPECT_EQ(got.system.variableNames, system.variableNames);

  SolveOptions unseeded;
  EXPECT_FALSE(DecodeSolve(EncodeSolve(system, unseeded)).options.seed.has_value());
  const std::string bytes = EncodeSolve(system, sent);
  EXPECT_THROW(DecodeSolve(bytes.substr(0, bytes.size() - 1)), Error);
  EXPECT_THROW(DecodeSolve(bytes + "x"), Error);
}

// One identifier per code, one exit code per code, and every kind of exception in flight becomes
// the code a host reports.
TEST(ErrorCodeTest, CodesMapToTheirIdentifiersExitCodesAndHostErrors) {
  const std::pair<ErrorCode, const char*> documented[] = {
      {ErrorCode::kInvalidInput, "zormix:invalidInput"},
      {ErrorCode::kBadArgument, "zormix:badArgument"},
      {ErrorCode::kOutOfMemory, "zormix:outOfMemory"},
      {ErrorCode::kCannotWrite, "zormix:cannotWrite"},
      {ErrorCode::kCheckpoint, "zormix:checkpoint"},
      {ErrorCode::kInterrupted, "zormix:interrupted"},
      {ErrorCode::kInternal, "zormix:internal"},
      {ErrorCode::kUnknownOption, "zormix:unknownOption"},
      {ErrorCode::kResultTooLarge, "zormix:resultTooLarge"},
  };
  for (const auto& [code, id] : documented) {
    EXPECT_STREQ(ErrorIdentifier(code), id);
    EXPECT_EQ(Error(code, "m").id(), id);
  }
  EXPECT_EQ(ExitCodeOf(ErrorCode::kInvalidInput), 1);
  EXPECT_EQ(ExitCodeOf(ErrorCode::kCannotWrite), 1);
  EXPECT_EQ(ExitCodeOf(ErrorCode::kBadArgument), 2);
  EXPECT_EQ(ExitCodeOf(ErrorCode::kOutOfMemory), 3);
  EXPECT_EQ(ExitCodeOf(ErrorCode::kInternal), 4);
  EXPECT_EQ(ExitCodeOf(ErrorCode::kInterrupted), 130);

  auto hostErrorOf = [](auto thrown) {
    try {
      throw thrown;
    } catch (...) {
      return CurrentHostError();
    }
  };
  EXPECT_EQ(hostErrorOf(Error(ErrorCode::kCheckpoint, "c")).code, ErrorCode::kCheckpoint);
  EXPECT_EQ(hostErrorOf(std::bad_alloc()).code, ErrorCode::kOutOfMemory);
  const HostError fault = hostErrorOf(std::logic_error("invariant"));
  EXPECT_EQ(fault.code, ErrorCode::kInternal);
  EXPECT_EQ(fault.message, "internal error: invariant");
  EXPECT_EQ(hostErrorOf(42).code, ErrorCode::kInternal);
}

}  // namespace
}  // namespace zormix
