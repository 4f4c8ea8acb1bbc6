#include "finish/report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.h"
#include "finish/finish.h"
#include "finish/report_format.h"
#include "model/system_eval.h"
#include "support/systems.h"
#include "zormix/error.h"

namespace zormix {
namespace {

namespace fs = std::filesystem;
using testing::BuildSystem;
using ::testing::HasSubstr;

TEST(ReportFormatTest, ExponentAndIntegerFields) {
  EXPECT_EQ(FormatExponent(1.0, 24, 16), "  0.1000000000000000E+01");
  EXPECT_EQ(FormatExponent(-0.5, 24, 16), " -0.5000000000000000E+00");
  EXPECT_EQ(FormatExponent(0.0, 24, 16), "  0.0000000000000000E+00");
  EXPECT_EQ(FormatExponent(-0.0, 24, 16), "  0.0000000000000000E+00");
  EXPECT_EQ(FormatExponent(123.456, 12, 3), "   0.123E+03");
  EXPECT_EQ(FormatExponent(0.9996, 12, 3), "   0.100E+01");  // rounding carries into the exponent
  EXPECT_EQ(FormatExponent(2.5e-7, 12, 3), "   0.250E-06");
  EXPECT_EQ(FormatExponent(1e-300, 24, 16), " 0.1000000000000000E-299");
  EXPECT_EQ(FormatExponent(-1e300, 24, 16), "-0.1000000000000000E+301");
  EXPECT_EQ(FormatExponent(std::nan(""), 12, 3), "         NaN");
  EXPECT_EQ(FormatInteger(70, 8), "      70");
  EXPECT_EQ(FormatInteger(1234567890, 8), "1234567890");
}

// A scratch folder per test, removed afterwards.
class WriteReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zormix_report_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path() const { return (dir_ / "data.roots").string(); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  // Finishes end points (one per column) of `system` (unscaled coefficients = coefficients) into
  // the result of a solve with 4 paths and 1 blow-up, and reports it at `path` ("" writes none).
  SolveResult Run(const PolySystem& input, const std::vector<std::vector<Complex>>& points,
                  std::vector<PathRecord> records = {}, const std::string& path = "-") {
    NormalForm system(input);
    system.rawCoefficients = system.scaled.coefficients;
    ColMajorMatrix<Complex> endPoints(system.scaled.n, static_cast<std::int64_t>(points.size()));
    for (std::size_t k = 0; k < points.size(); ++k) {
      for (int i = 0; i < system.scaled.n; ++i) endPoints(i, k) = points[k][i];
      if (records.size() < points.size()) records.push_back({1, static_cast<int>(k) + 1});
    }
    RuntimeUniform runtime(5);
    FinishedRoots finished = FinishRoots(system, endPoints, endPoints.cols(), records, runtime);
    SolveResult& r = last_;
    r = SolveResult{};
    r.n = system.scaled.n;
    r.pathCount = 4;
    r.counts.blowUps = 1;
    for (const std::string& name : input.variableNames) {
      r.variableNames.push_back(TrimTrailingBlanks(name));
    }
    r.rootCount = finished.roots.cols();
    r.realCount = finished.realCount;
    r.roots = finished.roots;
    r.residuals = finished.residuals;
    r.conditionNumbers = finished.conditionNumbers;
    r.isReal = finished.isReal;
    r.zeroJacobian = finished.zeroJacobian;
    r.records = finished.records;
    r.lostPaths = finished.refused;
    if (path == "-" || !path.empty()) WriteReportFile(r, path == "-" ? Path() : path);
    return r;
  }

  fs::path dir_;
  SolveResult last_;
};

const char* const kClosing =
    " The order of variables : \n"
    " alpha\n"
    " y\n"
    "\n"
    " ===============>   ZORMIX-2.0   <===============\n";
const char* const kCounts =
    " The # of paths followed =        4\n"
    " The # of blow_up        =        1  (before endgame)\n"
    "\n"
    " zormix - polynomial systems by homotopy continuation\n"
    " Contact Info: \n"
    " Issues and questions: see \"Help, problems and license\" in README.md\n"
    " Documentation: README.md and docs/ (installed in share/doc/zormix)\n"
    " License and citation: LICENSE (BSD-3-Clause) and README.md\n";

// x^2 + y^2 = 25, x + y = 7: exact roots (3, 4) and (4, 3), Jacobian condition 50.98.
PolySystem CircleAndSecant() {
  return BuildSystem({{{{2, 0}, 1.0}, {{0, 2}, 1.0}, {{0, 0}, -25.0}},
                      {{{1, 0}, 1.0}, {{0, 1}, 1.0}, {{0, 0}, -7.0}}},
                     {"alpha", "y"});
}

TEST_F(WriteReportTest, GoldenLayout) {
  const SolveResult out = Run(CircleAndSecant(), {{3.0, 4.0}, {4.0, 3.0}});
  const std::string root =
      "\n"
      " residue          =    0.000E+00\n"
      " condition number =    0.510E+02\n"
      " ---------------------------------------\n";
  EXPECT_EQ(Read(Path()), std::string("(  0.3000000000000000E+01 ,  0.0000000000000000E+00)\n"
                                      "(  0.4000000000000000E+01 ,  0.0000000000000000E+00)\n") +
                              root +
                              "(  0.4000000000000000E+01 ,  0.0000000000000000E+00)\n"
                              "(  0.3000000000000000E+01 ,  0.0000000000000000E+00)\n" +
                              root + kClosing +
                              " The # of roots      =        2\n"
                              " The # of real roots =        2\n" +
                              kCounts);
  EXPECT_EQ(out.rootCount, 2);
  EXPECT_EQ(out.realCount, 2);
  EXPECT_NEAR(out.conditionNumbers[1], 50.98, 0.01);
  EXPECT_THAT(Files(), ::testing::ElementsAre("data.roots"));  // no temporary left
}

TEST_F(WriteReportTest, NoEndPointsWritesOnlyClosingSectionsAndReplacesOldFile) {
  std::ofstream(Path()) << "stale content of an earlier solve\n";
  const SolveResult out = Run(CircleAndSecant(), {});
  EXPECT_EQ(out.rootCount, 0);
  EXPECT_EQ(Read(Path()), std::string(kClosing) +
                              " The # of roots      =        0\n"
                              " The # of real roots =        0\n" +
                              kCounts);
}

// The host receives the refined root: the residue describes exactly what is returned.
TEST_F(WriteReportTest, ReturnsRefinedRootsWithTheirStatistics) {
  PolySystem s = testing::CircleAndLine();
  const SolveResult out = Run(s, {{0.70, Complex(0.71, 0.01)}, {-0.72, -0.70}});
  ASSERT_EQ(out.rootCount, 2);
  const double h = 1 / std::sqrt(2.0);
  for (int r = 0; r < 2; ++r) {
    const double sign = r == 0 ? 1.0 : -1.0;
    EXPECT_LT(std::abs(last_.roots(0, r) - sign * h), 1e-15);
    EXPECT_LT(std::abs(last_.roots(1, r) - sign * h), 1e-15);
    ColMajorMatrix<Complex> J;
    std::vector<Complex> F;
    const SystemView view{s.n, s.termCount, &s.exponents, s.coefficients};
    EvaluateSystem(view, MaxDegrees(s.exponents), last_.roots.col(r), J, F);
    EXPECT_EQ(out.residuals[r], VectorNorm2(2, F.data()));
    EXPECT_NEAR(out.conditionNumbers[r], std::sqrt(2.0), 1e-3);  // 8 iterations at ratio 1/2
  }
  EXPECT_EQ(out.realCount, 2);
}

TEST_F(WriteReportTest, RealTestAndPrintedZeroParts) {
  struct Case {
    Complex x, y;
    bool real;
  } cases[] = {{1e-9, Complex(0, 3e-9), true},
               {1.0, Complex(0, 1e-8), true},
               {1.0, Complex(0, 2e-7), false},
               {100.0, Complex(0, 2e-6), true}};  // the bound scales with max |x_j|
  for (const Case& c : cases) {
    const PolySystem s = BuildSystem(
        {{{{1, 0}, 1.0}, {{0, 0}, -c.x}}, {{{0, 1}, 1.0}, {{0, 0}, -c.y}}}, {"alpha", "y"});
    const SolveResult out = Run(s, {{c.x, c.y}});
    ASSERT_EQ(out.rootCount, 1);
    EXPECT_EQ(out.isReal[0], c.real ? 1 : 0) << c.x << " " << c.y;
    EXPECT_EQ(out.realCount, c.real ? 1 : 0);
  }
  const Complex z(1e-16, 2.0);
  Run(BuildSystem({{{{1}, 1.0}, {{0}, -z}}}), {{z}});
  EXPECT_THAT(Read(Path()),
              ::testing::StartsWith("(  0.0000000000000000E+00 ,  0.2000000000000000E+01)\n"));
  EXPECT_EQ(last_.roots(0, 0), z);  // only the print is rounded to 0
}

TEST_F(WriteReportTest, SkippedAndRejectedEndPointsCompactColumnsAndStats) {
  // (x - 1)(x - 2)(x - 3); 2.5 refines to 1.0, too far away, and is rejected.
  const PolySystem s = BuildSystem({{{{3}, 1.0}, {{2}, -6.0}, {{1}, 11.0}, {{0}, -6.0}}});
  std::vector<PathRecord> records = {
      {1, 1}, {2, 1, 0, 1, PathStatus::kRetrackFailed}, {3, 1}, {4, 1}};
  const SolveResult out = Run(s, {{1.0}, {2.0}, {2.5}, {3.0}}, records);
  ASSERT_EQ(out.rootCount, 2);
  EXPECT_EQ(last_.roots(0, 0), Complex(1.0));
  EXPECT_EQ(last_.roots(0, 1), Complex(3.0));
  EXPECT_EQ(out.records[0].cell, 1);
  EXPECT_EQ(out.records[1].cell, 4);
  EXPECT_EQ(out.residuals.size(), 2u);
  // The refused end points are kept with their status: the failed re-track and the far one.
  ASSERT_EQ(out.lostPaths.size(), 2u);
  EXPECT_EQ(out.lostPaths[0].status, PathStatus::kRetrackFailed);
  EXPECT_EQ(out.lostPaths[1].status, PathStatus::kRefusedAtTarget);
  EXPECT_EQ(out.lostPaths[1].cell, 3);
  EXPECT_NEAR(out.conditionNumbers[1], 1.0, 1e-12);
  EXPECT_THAT(Read(Path()), HasSubstr(" The # of roots      =        2\n"));
}

TEST_F(WriteReportTest, EmptyPathWritesNothingButGivesTheSameOutcome) {
  const SolveResult withFile = Run(CircleAndSecant(), {{3.0, 4.0}});
  fs::remove(Path());
  const SolveResult without = Run(CircleAndSecant(), {{3.0, 4.0}}, {}, "");
  EXPECT_EQ(without.rootCount, withFile.rootCount);
  EXPECT_EQ(without.conditionNumbers, withFile.conditionNumbers);
  EXPECT_TRUE(Files().empty());
}

TEST_F(WriteReportTest, FailedWritesThrowNamingThePathAndLeaveNoTemporary) {
  const std::string missing = (dir_ / "no" / "such" / "data.roots").string();
  EXPECT_THAT(
      [&] {
        Run(CircleAndSecant(), {{3.0, 4.0}}, {}, missing);
      },
      ::testing::ThrowsMessage<Error>(HasSubstr(missing)));
  // The temporary is written, but a folder stands where the report should go.
  const std::string occupied = (dir_ / "occupied").string();
  fs::create_directories(dir_ / "occupied" / "inside");
  EXPECT_THROW(Run(CircleAndSecant(), {{3.0, 4.0}}, {}, occupied), Error);
  EXPECT_THAT(Files(), ::testing::ElementsAre("occupied"));
  // A system without its unscaled coefficients is refused rather than read out of bounds.
  const NormalForm bad{CircleAndSecant()};
  RuntimeUniform runtime(1);
  ColMajorMatrix<Complex> none(2, 0);
  EXPECT_THROW(FinishRoots(bad, none, 0, {}, runtime), Error);
}

}  // namespace
}  // namespace zormix
