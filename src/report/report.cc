#include "report/report.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "report/equation_scale.h"
#include "report/refine.h"
#include "report/report_file.h"
#include "report/report_format.h"
#include "report/system_eval.h"
#include "zormix/error.h"

namespace zormix {
namespace {

constexpr double kConditionTolerance = 1e-5;
constexpr double kZeroJacobian = 1e-8;         // sigmaMax below it: the Jacobian counts as zero
constexpr double kZeroConditionNumber = 1e17;  // condition number printed for a zero Jacobian
constexpr double kEpsilon = 2.220446049250313e-16;
constexpr double kPrintedZero = 1e-15;  // coordinate parts below it are printed as 0
constexpr double kRealTolerance = 1e-7;

const char* const kSeparator = " ---------------------------------------";
const char* const kContactBlock[] = {
    " zormix - polynomial systems by homotopy continuation",
    " Contact Info: ",
    " Issues and questions: the zormix issue tracker",
    " Documentation: README.md of the zormix sources",
    " License and citation: see the zormix distribution",
};

void CheckReportInput(const PolySystem& system, const ColMajorMatrix<Complex>& solutions,
                      std::int64_t endPointCount, const std::vector<PathRecord>& records) {
  const std::int64_t m = system.termTotal();
  std::int64_t termSum = 0;
  for (std::int32_t count : system.termCount) termSum += count;
  if (system.n < 1 || system.exponents.rows() != system.n ||
      static_cast<int>(system.termCount.size()) != system.n || termSum != m ||
      static_cast<std::int64_t>(system.rawCoefficients.size()) != m) {
    throw Error("report: the system is not in normal form (sizes of terms and coefficients)");
  }
  if (static_cast<int>(system.variableNames.size()) != system.n) {
    throw Error("report: the system has " + std::to_string(system.variableNames.size()) +
                " variable names for " + std::to_string(system.n) + " variables");
  }
  if (endPointCount < 0 || solutions.rows() != system.n || solutions.cols() < endPointCount ||
      static_cast<std::int64_t>(records.size()) < endPointCount) {
    throw Error("report: " + std::to_string(endPointCount) +
                " end points do not match the solutions and records passed");
  }
}

std::string CoordinateLine(const Complex& value) {
  auto shown = [](double part) { return std::fabs(part) < kPrintedZero ? 0.0 : part; };
  std::string line("(");
  line.append(FormatExponent(shown(value.real()), 24, 16)).append(" ,");
  line.append(FormatExponent(shown(value.imag()), 24, 16)).append(")");
  return line;
}

// Real when every coordinate is tiny (max |x_j| < 1e-7) or max |Im x_j| < 1e-7 * max |x_j|.
bool IsReal(const std::vector<Complex>& x) {
  double M = 0.0, imaginary = 0.0;
  for (const Complex& c : x) {
    M = std::max(M, std::abs(c));
    imaginary = std::max(imaginary, std::fabs(c.imag()));
  }
  return M < kRealTolerance || imaginary < kRealTolerance * M;
}

std::string TrimTrailingBlanks(const std::string& name) {
  const std::size_t end = name.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

void WriteClosingSections(ReportFile& file, const PolySystem& system, const ReportOutcome& outcome,
                          std::int64_t blowUpCount, std::int64_t paths) {
  file.WriteLine(" The order of variables : ");
  for (const std::string& name : system.variableNames) {
    file.WriteLine(std::string(" ").append(TrimTrailingBlanks(name)));
  }
  file.WriteLine("");
  file.WriteLine(" ===============>   ZORMIX-2.0   <===============");
  file.WriteLine(" The # of roots      = " + FormatInteger(outcome.acceptedCount, 8));
  file.WriteLine(" The # of real roots = " + FormatInteger(outcome.realCount, 8));
  file.WriteLine(" The # of paths followed = " + FormatInteger(paths, 8));
  file.WriteLine(" The # of blow_up        = " + FormatInteger(blowUpCount, 8) +
                 "  (before endgame)");
  file.WriteLine("");
  for (const char* line : kContactBlock) file.WriteLine(line);
}

}  // namespace

ReportOutcome WriteReport(const PolySystem& system, ColMajorMatrix<Complex>& solutions,
                          std::int64_t endPointCount, const std::vector<PathRecord>& records,
                          std::int64_t blowUpCount, std::int64_t paths,
                          const std::string& reportPath, RuntimeUniform& runtime) {
  CheckReportInput(system, solutions, endPointCount, records);
  const int n = system.n;
  const std::vector<std::int32_t> maxDegree = MaxDegrees(system.exponents);
  const SystemView unscaled{n, system.termCount, &system.exponents, system.rawCoefficients};
  // Refinement and acceptance run on the equations brought to a common size, so that neither
  // depends on the units in which an equation was written.
  const std::vector<Complex> normalizedCoefficients = NormalizedEquationCoefficients(unscaled);
  const SystemView normalized{n, system.termCount, &system.exponents, normalizedCoefficients};

  ReportFile file(reportPath);
  ReportOutcome outcome;
  std::vector<Complex> x(static_cast<std::size_t>(n)), F;
  ColMajorMatrix<Complex> J;
  for (std::int64_t k = 0; k < endPointCount; ++k) {
    if (records[k].retrackFailed != 0) continue;
    std::copy(solutions.col(k), solutions.col(k) + n, x.begin());
    EvaluateSystem(normalized, maxDegree, x.data(), J, F);
    if (!RefineRoot(normalized, maxDegree, J, F, x)) continue;
    // The residue and the condition number describe the system as given.
    EvaluateSystem(unscaled, maxDegree, x.data(), J, F);

    // Column r <= k: the host gets the refined root, the one the residue and condition describe.
    const std::int64_t r = outcome.acceptedCount++;
    std::copy(x.begin(), x.end(), solutions.col(r));
    for (const Complex& c : x) file.WriteLine(CoordinateLine(c));

    // J is not needed after the estimate, which overwrites it with R.
    const SingularValueEstimate s = EstimateCondition(J, kConditionTolerance, runtime);
    const double residue = VectorNorm2(n, F.data());
    file.WriteLine("");
    file.WriteLine(" residue          = " + FormatExponent(residue, 12, 3));
    double conditionNumber = kZeroConditionNumber;
    if (s.sigmaMax >= kZeroJacobian) {
      conditionNumber = s.sigmaMax / std::max(s.sigmaMin, kEpsilon);
      file.WriteLine(" condition number = " + FormatExponent(conditionNumber, 12, 3));
    } else {
      file.WriteLine(" condition number = " + FormatExponent(conditionNumber, 12, 3) +
                     "   (zero matrix)");
    }
    file.WriteLine(kSeparator);

    const bool real = IsReal(x);
    outcome.realCount += real ? 1 : 0;
    outcome.residues.push_back(residue);
    outcome.conditionNumbers.push_back(conditionNumber);
    outcome.isReal.push_back(real ? 1 : 0);
    outcome.records.push_back(records[k]);
  }
  WriteClosingSections(file, system, outcome, blowUpCount, paths);
  file.Commit();
  return outcome;
}

}  // namespace zormix
