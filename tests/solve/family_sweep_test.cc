#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "zormix/error.h"
#include "zormix/parametric.h"
#include "zormix/solve.h"
#include "zormix/sweep.h"

namespace zormix {
namespace {

using ::testing::HasSubstr;

// Forward kinematics of a planar 3-RPR robot: squared leg lengths L1..L3, 6 poses, 16 paths.
constexpr const char* kPlanarRobot = R"(variables x, y, c, s;
parameters L1, L2, L3;
x^2 + y^2 - L1;
(x + 4*c - 10)^2 + (y + 4*s)^2 - L2;
(x + 1.5*c - 3*s - 5)^2 + (y + 1.5*s + 3*c - 8)^2 - L3;
c^2 + s^2 - 1;
)";

// Members with 2, 4 or 6 real poses, one with complex lengths, and one scaled far from 1.
std::vector<std::vector<Complex>> RobotMembers() {
  return {{25.0, 45.0, 20.0},       {30.0, 40.0, 25.0},
          {18.0, 52.0, 30.0},       {Complex(25.0, 0.5), 45.0, Complex(20.0, -1.0)},
          {2500.0, 4500.0, 2000.0}, {9.0, 60.0, 40.0}};
}

SweepOptions Seeded(std::uint64_t seed, int threads) {
  SweepOptions options;
  options.seed = seed;
  options.threads = threads;
  return options;
}

std::vector<MemberResult> Sweep(const ParametricSystem& family, const FamilyStart& start,
                                const std::vector<std::vector<Complex>>& members,
                                const SweepOptions& options) {
  std::vector<MemberResult> results;
  SweepFamily(family, start, members, options,
              [&](MemberResult&& m) { results.push_back(std::move(m)); });
  return results;
}

std::vector<std::vector<Complex>> RegularRoots(const SolveResult& r) {
  std::vector<std::vector<Complex>> roots;
  for (std::int64_t k = 0; k < r.rootCount; ++k) {
    if (r.rootStatus[k] == RootStatus::kRegular)
      roots.emplace_back(r.roots.col(k), r.roots.col(k) + r.n);
  }
  return roots;
}

// Largest distance from a root of `a` to its nearest root of `b`, relative to max(1, |x|).
double Mismatch(const std::vector<std::vector<Complex>>& a,
                const std::vector<std::vector<Complex>>& b) {
  double worst = 0.0;
  for (const auto& x : a) {
    double nearest = INFINITY;
    for (const auto& y : b) {
      double d = 0.0;
      for (std::size_t k = 0; k < x.size(); ++k)
        d = std::max(d, std::abs(x[k] - y[k]) / std::max(1.0, std::abs(x[k])));
      nearest = std::min(nearest, d);
    }
    worst = std::max(worst, nearest);
  }
  return worst;
}

TEST(FamilySweep, EveryMemberHasTheRootsOfAFreshSolve) {
  const ParametricSystem family = ParseParametricText(kPlanarRobot, "robot");
  for (std::uint64_t seed : {1u, 2u}) {
    const FamilyStart start = SolveFamilyStart(family, Seeded(seed, 1));
    ASSERT_EQ(start.roots.cols(), 6);
    const std::vector<MemberResult> members = Sweep(family, start, RobotMembers(), Seeded(seed, 1));
    ASSERT_EQ(members.size(), RobotMembers().size());
    for (const MemberResult& m : members) {
      ASSERT_TRUE(m.solved) << m.error;
      EXPECT_EQ(m.result.pathCount, 6);
      SolveOptions fresh;
      fresh.seed = seed;
      fresh.reportPath.clear();
      const SolveResult solved = SolveSystem(EvaluateParametric(family, m.parameters), fresh);
      const auto expected = RegularRoots(solved), got = RegularRoots(m.result);
      EXPECT_EQ(got.size(), expected.size()) << "instance " << m.instance;
      EXPECT_LT(Mismatch(expected, got), 1e-8) << "instance " << m.instance;
      EXPECT_LT(Mismatch(got, expected), 1e-8) << "instance " << m.instance;
      EXPECT_EQ(m.result.classes.realRegular, solved.classes.realRegular);
    }
  }
}

TEST(FamilySweep, ResultsDoNotDependOnTheThreadCount) {
  const ParametricSystem family = ParseParametricText(kPlanarRobot, "robot");
  const FamilyStart one = SolveFamilyStart(family, Seeded(5, 1));
  const FamilyStart three = SolveFamilyStart(family, Seeded(5, 3));
  ASSERT_EQ(one.roots.storage(), three.roots.storage());
  const auto a = Sweep(family, one, RobotMembers(), Seeded(5, 1));
  const auto b = Sweep(family, one, RobotMembers(), Seeded(5, 3));
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t k = 0; k < a.size(); ++k) {
    EXPECT_EQ(a[k].instance, static_cast<std::int64_t>(k + 1));
    EXPECT_EQ(b[k].instance, static_cast<std::int64_t>(k + 1));
    EXPECT_EQ(a[k].result.roots.storage(), b[k].result.roots.storage()) << "instance " << k + 1;
  }
}

TEST(FamilySweep, NonGenericMembersGetTheVerdictsOfASolveAndFailuresDoNotStopTheSweep) {
  // At a = 0 two of the four roots go to infinity; at b = 0 the second equation vanishes.
  const ParametricSystem family =
      ParseParametricText("parameters a, b;\na*x^2 + x - 1;\nb*y^2 - 2*b;\n", "f");
  const FamilyStart start = SolveFamilyStart(family, Seeded(3, 1));
  ASSERT_EQ(start.roots.cols(), 4);
  const auto members = Sweep(family, start, {{0.0, 1.0}, {1.0, 0.0}, {2.0, 3.0}}, Seeded(3, 2));
  ASSERT_EQ(members.size(), 3u);
  ASSERT_TRUE(members[0].solved);
  EXPECT_EQ(members[0].result.classes.regular, 2);
  EXPECT_EQ(members[0].result.classes.atInfinity, 2);
  EXPECT_FALSE(members[1].solved);
  EXPECT_THAT(members[1].error, HasSubstr("identically zero"));
  ASSERT_TRUE(members[2].solved);
  EXPECT_EQ(members[2].result.classes.regular, 4);
}

TEST(FamilySweep, BadlyScaledMembersMatchFreshSolves) {
  // Roots near x = 1e4, y = 1e-4 and coefficients over 16 orders of magnitude: the members are
  // tracked in their own scaled variables and must come back unscaled.
  const ParametricSystem family = ParseParametricText(
      "parameters a, b;\n1e-8*x^2 + a*x*y - b;\nx*y^2 - 1e-4*a*y - 2e-8*b;\n", "scaled");
  const FamilyStart start = SolveFamilyStart(family, Seeded(2, 1));
  const std::vector<std::vector<Complex>> members = {{1.0, 2.0}, {Complex(0.5, 1.0), 3.0}};
  for (const MemberResult& m : Sweep(family, start, members, Seeded(2, 1))) {
    ASSERT_TRUE(m.solved) << m.error;
    SolveOptions fresh;
    fresh.seed = 2;
    fresh.reportPath.clear();
    const SolveResult solved = SolveSystem(EvaluateParametric(family, m.parameters), fresh);
    const auto expected = RegularRoots(solved), got = RegularRoots(m.result);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(got.size(), expected.size()) << "instance " << m.instance;
    EXPECT_LT(Mismatch(expected, got), 1e-8) << "instance " << m.instance;
  }
}

TEST(FamilySweep, CollidingRootsGetTheVerdictOfASolve) {
  // At a = 0 the two roots x = +-sqrt(a) meet in a double root.
  const ParametricSystem family = ParseParametricText("parameters a;\nx^2 - a;\ny - 2;\n", "f");
  const FamilyStart start = SolveFamilyStart(family, Seeded(4, 1));
  const auto members = Sweep(family, start, {{0.0}}, Seeded(4, 1));
  ASSERT_TRUE(members[0].solved) << members[0].error;
  SolveOptions fresh;
  fresh.seed = 4;
  fresh.reportPath.clear();
  const SolveResult solved = SolveSystem(EvaluateParametric(family, members[0].parameters), fresh);
  const RootClassCounts& c = members[0].result.classes;
  EXPECT_EQ(c.regular, solved.classes.regular);
  EXPECT_EQ(c.singular, 1);
  EXPECT_EQ(c.singular, solved.classes.singular);
  EXPECT_EQ(c.singularEndPoints, 2);
}

// Every path of a member ends in exactly one status.
void ExpectExactAccounting(const MemberResult& m) {
  std::int64_t byStatus = 0;
  for (const std::int64_t count : m.result.counts.byStatus) byStatus += count;
  EXPECT_EQ(byStatus, m.result.pathCount) << "instance " << m.instance;
}

TEST(FamilySweep, SingularStartRootIsFollowedByOnePathPerUnitOfMultiplicity) {
  // x = a is a triple root of every member (x = a - 1/b a simple one, y = +-sqrt(b)): the start
  // has two roots of multiplicity 3, every member keeps them, as a fresh solve of it reports them.
  const ParametricSystem family =
      ParseParametricText("parameters a, b;\n(x - a)^3 + b*(x - a)^4;\ny^2 - b;\n", "f");
  const FamilyStart start = SolveFamilyStart(family, Seeded(6, 1));
  std::vector<std::int32_t> multiplicities = start.multiplicity;
  std::sort(multiplicities.begin(), multiplicities.end());
  EXPECT_EQ(multiplicities, (std::vector<std::int32_t>{1, 1, 3, 3}));
  const auto members =
      Sweep(family, start, {{3.0, 4.0}, {Complex(1e3, -2e3), Complex(0.0, 1e-2)}}, Seeded(6, 1));
  for (const MemberResult& m : members) {
    ASSERT_TRUE(m.solved) << m.error;
    EXPECT_EQ(m.result.pathCount, 8);
    EXPECT_EQ(m.result.classes.regular, 2) << "instance " << m.instance;
    EXPECT_EQ(m.result.classes.singular, 2) << "instance " << m.instance;
    EXPECT_EQ(m.result.classes.singularEndPoints, 6) << "instance " << m.instance;
    ExpectExactAccounting(m);
  }
}

TEST(FamilySweep, SingularStartRootThatPartsGivesEveryBranchItsRoot) {
  // p0 = 0 is where the roots +-sqrt(a) of x^2 = a meet (and the three cube roots of a in z):
  // a start made there has x = 0 double, z = 0 triple, and members with a != 0 have 2 x 3 regular
  // roots, real ones at a = 4 (x = +-2, z = 4^(1/3)).
  const ParametricSystem family = ParseParametricText("parameters a;\nx^2 - a;\nz^3 - a;\n", "f");
  FamilyStart start;
  start.systemHash = FamilyHash(family);
  start.parameterNames = family.parameterNames;
  start.parameters = {0.0};
  start.roots.Assign(2, 1);
  start.multiplicity = {6};
  start.pathCount = 6;
  const auto members = Sweep(family, start, {{4.0}, {Complex(-2.0, 5.0)}}, Seeded(8, 1));
  for (const MemberResult& m : members) {
    ASSERT_TRUE(m.solved) << m.error;
    EXPECT_EQ(m.result.pathCount, 6);
    EXPECT_EQ(m.result.classes.regular, 6) << "instance " << m.instance;
    ExpectExactAccounting(m);
  }
  EXPECT_EQ(members[0].result.classes.realRegular, 2);
}

TEST(FamilySweep, DetourThatLosesPathsIsFlaggedAndTrackedAgain) {
  const ParametricSystem family = ParseParametricText(kPlanarRobot, "robot");
  const FamilyStart start = SolveFamilyStart(family, Seeded(3, 1));
  const std::vector<std::vector<Complex>> members = {RobotMembers()[0], RobotMembers()[1]};
  const auto plain = Sweep(family, start, members, Seeded(3, 1));
  // Three steps are too few for any path: the first detour of member 2 loses all six, and every
  // detour of member 1 does.
  SweepOptions forced = Seeded(3, 1);
  forced.detourStepLimit = [](std::int64_t instance, int attempt) {
    return instance == 1 || attempt == 1 ? 3 : 0;
  };
  const auto guarded = Sweep(family, start, members, forced);
  EXPECT_TRUE(guarded[1].flagged);
  EXPECT_EQ(guarded[1].gammaAttempts, 2);
  EXPECT_EQ(guarded[1].result.classes.regular, 6);
  EXPECT_EQ(guarded[1].result.classes.failed, 0);
  EXPECT_LT(Mismatch(RegularRoots(plain[1].result), RegularRoots(guarded[1].result)), 1e-8);
  EXPECT_FALSE(plain[1].flagged);
  EXPECT_EQ(plain[1].gammaAttempts, 1);
  // No detour repairs member 1: after all three it is solved fresh, as a solve of it alone.
  ASSERT_TRUE(guarded[0].solved) << guarded[0].error;
  EXPECT_TRUE(guarded[0].flagged);
  EXPECT_EQ(guarded[0].gammaAttempts, 3);
  EXPECT_THAT(guarded[0].freshSolve, HasSubstr("6 of 6 paths from the start had no verdict"));
  EXPECT_EQ(guarded[0].result.classes.failed, 0);
  EXPECT_EQ(guarded[0].result.classes.regular, 6);
  EXPECT_LT(Mismatch(RegularRoots(plain[0].result), RegularRoots(guarded[0].result)), 1e-8);
  ExpectExactAccounting(guarded[0]);
}

// Members far from p0 in scale: x^2 = a and y^2 = a for a from 1e-300 to 1e308 have four regular
// roots each, as a fresh solve finds them (the detours from p0 lose them all below 1e-20 and
// above 1e300); a member whose coefficients span more than double precision can follow has the
// fresh solve's verdicts and its warning.
TEST(FamilySweep, ExtremeMembersGetWhatAFreshSolveGets) {
  const ParametricSystem squares =
      ParseParametricText("variables x, y;\nparameters a;\nx^2 - a;\ny^2 - a;\n", "squares");
  const FamilyStart start = SolveFamilyStart(squares, Seeded(1, 1));
  const auto members = Sweep(squares, start, {{1e-300}, {1e-20}, {4.0}, {1e308}}, Seeded(1, 2));
  for (const MemberResult& m : members) {
    ASSERT_TRUE(m.solved) << m.error;
    EXPECT_EQ(m.result.classes.regular, 4) << "a = " << m.parameters[0];
    EXPECT_EQ(m.result.classes.failed, 0) << "a = " << m.parameters[0];
  }
  EXPECT_TRUE(members[2].freshSolve.empty());
  EXPECT_EQ(members[2].gammaAttempts, 1);

  // x^2 + a x + 1 at a = 1e40: (a x)^2 / (x^2 * 1) = 1e80 whatever the units, a span of 40
  // orders of magnitude that no scaling removes.
  const ParametricSystem wide =
      ParseParametricText("variables x, y;\nparameters a;\nx^2 + a*x + 1;\ny^2 - a;\n", "wide");
  const FamilyStart wideStart = SolveFamilyStart(wide, Seeded(1, 1));
  const std::vector<Complex> far = {1e40};
  const MemberResult member = Sweep(wide, wideStart, {far}, Seeded(1, 1))[0];
  SolveOptions alone;
  alone.seed = 1;
  const SolveResult fresh = SolveSystem(EvaluateParametric(wide, far), alone);
  ASSERT_TRUE(member.solved) << member.error;
  EXPECT_THAT(member.freshSolve, HasSubstr("span 40 orders of magnitude"));
  EXPECT_EQ(member.gammaAttempts, 0);
  // Such a solve's verdicts depend on its draws (the warning says so): its route, paths and
  // warning are those of a solve of the member alone.
  EXPECT_EQ(member.result.route, fresh.route);
  EXPECT_EQ(member.result.pathCount, fresh.pathCount);
  ExpectExactAccounting(member);
  ASSERT_FALSE(fresh.warnings.empty());
  EXPECT_THAT(member.result.warnings, ::testing::Contains(fresh.warnings[0]));
}

// A start file edited by hand, or damaged, is refused naming what is wrong: by the reader alone,
// or against its family (paths it cannot have, roots that are not the family's at p0).
TEST(FamilySweep, StartFilesThatCannotBeRightAreRefused) {
  const ParametricSystem robot = ParseParametricText(kPlanarRobot, "robot");
  const FamilyStart start = SolveFamilyStart(robot, Seeded(3, 1));
  const nlohmann::json good = nlohmann::json::parse(FormatFamilyStart(start));
  const struct {
    void (*edit)(nlohmann::json&);
    const char* message;
  } cases[] = {
      {[](nlohmann::json& j) { j["roots"][1]["multiplicity"] = 0; }, "root 2 has multiplicity 0"},
      {[](nlohmann::json& j) { j["roots"][0]["multiplicity"] = -5; }, "root 1 has multiplicity -5"},
      {[](nlohmann::json& j) { j["start_paths"] = 3; }, "fewer than the paths"},
      {[](nlohmann::json& j) { j["roots"][2] = j["roots"][0]; }, "root 1 and root 3 are the same"},
      {[](nlohmann::json& j) { j["route"] = "sideways"; }, "\"sideways\" is not one"},
      {[](nlohmann::json& j) { j["start_paths"] = 1000000000000; }, "more than the 16"},
      // Numbers beyond an integer's range are refused, not converted (undefined behaviour).
      {[](nlohmann::json& j) { j["version"] = 4.4e65; }, "start file version"},
      {[](nlohmann::json& j) { j["n"] = 1e300; }, "\"n\" is 1e+300, not a whole number"},
      {[](nlohmann::json& j) { j["seed"] = -1; }, "\"seed\" is -1"},
      {[](nlohmann::json& j) { j["roots"][0]["multiplicity"] = 3e9; }, "\"multiplicity\" is"},
      {[](nlohmann::json& j) {
         for (auto& p : j["p0"]) p = nlohmann::json::array({0.0, 0.0});
       },
       "is no root of the system at the start's p0"},
  };
  for (const auto& c : cases) {
    nlohmann::json edited = good;
    c.edit(edited);
    try {
      const FamilyStart read = ParseFamilyStart(edited.dump(), "s.json");
      CheckStartBelongs(robot, read, "s.json");
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const Error& error) {
      EXPECT_EQ(error.code(), ErrorCode::kInvalidInput);
      EXPECT_THAT(error.what(), HasSubstr(c.message));
      EXPECT_THAT(error.what(), HasSubstr("s.json"));
    }
  }
  EXPECT_NO_THROW(CheckStartBelongs(robot, ParseFamilyStart(good.dump(), "s.json"), "s.json"));
}

// The sweep reads its members as threads become free: never more than four per thread are read
// and not yet handed on, however many there are, and the results are those of a list.
TEST(FamilySweep, MembersStreamThroughAWindowOfFourPerThread) {
  const ParametricSystem family = ParseParametricText("parameters a;\nx^2 - a;\n", "root");
  const FamilyStart start = SolveFamilyStart(family, Seeded(2, 1));
  constexpr std::int64_t kMembers = 200;
  for (const int threads : {1, 3}) {
    std::int64_t read = 0, handedOn = 0, mostAhead = 0;
    const MemberSource next = [&]() -> std::optional<std::vector<Complex>> {
      if (read == kMembers) return std::nullopt;
      mostAhead = std::max(mostAhead, ++read - handedOn);
      return std::vector<Complex>{Complex(1.0 + static_cast<double>(read), 0.5)};
    };
    SweepFamily(family, start, next, Seeded(2, threads), [&](MemberResult&& m) {
      ++handedOn;
      EXPECT_EQ(m.instance, handedOn);
      ASSERT_TRUE(m.solved) << m.error;
      EXPECT_NEAR(std::abs(m.result.roots(0, 0) * m.result.roots(0, 0) - m.parameters[0]), 0.0,
                  1e-12 * static_cast<double>(m.instance));
    });
    EXPECT_EQ(handedOn, kMembers);
    EXPECT_LE(mostAhead, 4 * threads) << threads << " threads";
  }
}

TEST(FamilySweep, AStopSaysTheSweepWasInterrupted) {
  const ParametricSystem family = ParseParametricText("parameters a;\nx^2 - a;\n", "root");
  const FamilyStart start = SolveFamilyStart(family, Seeded(2, 1));
  for (const int threads : {1, 2}) {
    SweepOptions options = Seeded(2, threads);
    std::int64_t handedOn = 0;
    options.interrupted = [&] { return handedOn >= 3; };
    try {
      SweepFamily(family, start, std::vector<std::vector<Complex>>(100, {Complex(2.0)}), options,
                  [&](MemberResult&&) { ++handedOn; });
      ADD_FAILURE() << "not interrupted";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::kInterrupted);
      EXPECT_STREQ(e.what(), "the sweep was interrupted");
    }
    EXPECT_GE(handedOn, 3);
    EXPECT_LT(handedOn, 100);
  }
}

std::string ReadExample(const std::string& name) {
  std::ifstream in(std::string(ZORMIX_EXAMPLES_DIR) + "/families/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh solve of the member (2 threads, `seed`) has the member's regular roots, to 1e-8, and as
// many real ones; returns the fresh solve's regular root count.
std::size_t ExpectMatchesFreshSolve(const ParametricSystem& family, const MemberResult& m,
                                    std::uint64_t seed, const std::string& label) {
  SolveOptions fresh;
  fresh.seed = seed;
  fresh.threads = 2;
  fresh.reportPath.clear();
  const SolveResult solved = SolveSystem(EvaluateParametric(family, m.parameters), fresh);
  const auto expected = RegularRoots(solved), got = RegularRoots(m.result);
  EXPECT_EQ(got.size(), expected.size()) << label << " instance " << m.instance;
  EXPECT_LT(Mismatch(expected, got), 1e-8) << label << " instance " << m.instance;
  EXPECT_LT(Mismatch(got, expected), 1e-8) << label << " instance " << m.instance;
  EXPECT_EQ(m.result.classes.realRegular, solved.classes.realRegular)
      << label << " instance " << m.instance;
  return expected.size();
}

// The example families against fresh solves of a few members each: the dense family (16 roots
// of 16 paths) and the Stewart-Gough platform (40 roots of 1,536 paths, most of them diverging).
TEST(FamilySweep, ExampleFamiliesMatchFreshSolvesHeavy) {
  struct Case {
    const char* file;
    std::vector<std::vector<Complex>> members;
  };
  const std::vector<Case> cases = {
      {"dense_quadrics.txt", {{0.5, -0.3}, {Complex(0.1, 0.2), 1.0}, {-0.45, 0.27}}},
      {"stewart_gough.txt", {{-0.0176, -0.0349, 0.0151, -0.0428, 0.0036, -0.0134}}}};
  for (const Case& c : cases) {
    const ParametricSystem family = ParseParametricText(ReadExample(c.file), c.file);
    const FamilyStart start = SolveFamilyStart(family, Seeded(2, 2));
    for (const MemberResult& m : Sweep(family, start, c.members, Seeded(2, 2))) {
      ASSERT_TRUE(m.solved) << c.file << ": " << m.error;
      EXPECT_GE(ExpectMatchesFreshSolve(family, m, 2, c.file), 16u) << c.file;
    }
  }
}

// The members of a values file: its lines of numbers (real values only), comments skipped.
std::vector<std::vector<Complex>> ExampleMembers(const std::string& name) {
  std::istringstream text(ReadExample(name));
  std::vector<std::vector<Complex>> members;
  for (std::string line; std::getline(text, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream numbers(line);
    std::vector<Complex>& values = members.emplace_back();
    for (double v; numbers >> v;) values.emplace_back(v);
  }
  return members;
}

// The 6R arm: 288 polyhedral paths for 16 poses of the arm, every one reached from the start's 16
// at each pose of the example's values (reachable poses, with 4 or 6 real solutions).
TEST(FamilySweep, SixRArmMembersMatchFreshSolvesHeavy) {
  const ParametricSystem family = ParseParametricText(ReadExample("six_r.txt"), "six_r.txt");
  const FamilyStart start = SolveFamilyStart(family, Seeded(4, 2));
  EXPECT_EQ(start.pathCount, 288);
  ASSERT_EQ(start.roots.cols(), 16);
  const std::vector<std::vector<Complex>> members = ExampleMembers("six_r_values.txt");
  ASSERT_EQ(members.size(), 5u);
  for (const MemberResult& m : Sweep(family, start, members, Seeded(4, 2))) {
    ASSERT_TRUE(m.solved) << m.error;
    EXPECT_FALSE(m.flagged) << "instance " << m.instance;
    EXPECT_EQ(m.result.classes.regular, 16) << "instance " << m.instance;
    EXPECT_GE(m.result.classes.realRegular, 2) << "instance " << m.instance;
    ExpectMatchesFreshSolve(family, m, 4, "six_r.txt");
  }
}

TEST(FamilyStartFile, ReadsBackExactlyAndIsRefusedByAnotherSystem) {
  const ParametricSystem family = ParseParametricText(kPlanarRobot, "robot");
  const FamilyStart start = SolveFamilyStart(family, Seeded(7, 1));
  const FamilyStart read = ParseFamilyStart(FormatFamilyStart(start), "start.json");
  EXPECT_EQ(read.roots.storage(), start.roots.storage());
  EXPECT_EQ(read.parameters, start.parameters);
  EXPECT_EQ(read.multiplicity, start.multiplicity);
  EXPECT_NO_THROW(CheckStartBelongs(family, read, "start.json"));

  // One coefficient changed: another family.
  std::string other = kPlanarRobot;
  other.replace(other.find("- 10"), 4, "- 11");
  const ParametricSystem changed = ParseParametricText(other, "other");
  try {
    SweepFamily(changed, read, {{25.0, 45.0, 20.0}}, Seeded(7, 1), [](MemberResult&&) {});
    FAIL() << "a start of another system was accepted";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("belongs to another system"));
  }
  // Damaged files name themselves and say what is wrong.
  const std::string text = FormatFamilyStart(start);
  const auto errorOf = [](const std::string& damaged) {
    try {
      ParseFamilyStart(damaged, "start.json");
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_THAT(errorOf(text.substr(0, text.size() / 2)), HasSubstr("start.json: not a readable"));
  nlohmann::json doc = nlohmann::json::parse(text);
  doc["version"] = 9;
  EXPECT_THAT(errorOf(doc.dump()), HasSubstr("start.json: start file version 9"));
  doc = nlohmann::json::parse(text);
  doc["roots"][2]["x"].erase(0);
  EXPECT_THAT(errorOf(doc.dump()), HasSubstr("start.json: root 3 does not hold 4 values"));
  EXPECT_THAT(errorOf("{\"format\": \"zormix family start\", \"version\": 1}"),
              HasSubstr("start.json: not a readable start file"));
}

}  // namespace
}  // namespace zormix
