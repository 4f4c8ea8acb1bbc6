#include "finish/report.h"

#include <cmath>
#include <string>

#include "base/atomic_file.h"
#include "finish/report_format.h"

namespace zormix {
namespace {

constexpr double kPrintedZero = 1e-15;  // coordinate parts below it are printed as 0

const char* const kSeparator = " ---------------------------------------";
const char* const kContactBlock[] = {
    " zormix - polynomial systems by homotopy continuation",
    " Contact Info: ",
    " Issues and questions: see \"Help, problems and license\" in README.md",
    " Documentation: README.md and docs/ (installed in share/doc/zormix)",
    " License and citation: LICENSE (BSD-3-Clause) and README.md",
};

std::string CoordinateLine(const Complex& value) {
  auto shown = [](double part) { return std::fabs(part) < kPrintedZero ? 0.0 : part; };
  std::string line("(");
  line.append(FormatExponent(shown(value.real()), 24, 16)).append(" ,");
  line.append(FormatExponent(shown(value.imag()), 24, 16)).append(")\n");
  return line;
}

void FormatRoot(const SolveResult& result, std::int64_t r,
                const std::function<void(std::string_view)>& write) {
  for (int i = 0; i < result.n; ++i) write(CoordinateLine(result.roots(i, r)));
  const std::size_t k = static_cast<std::size_t>(r);
  write("\n residue          = " + FormatExponent(result.residuals[k], 12, 3) + "\n");
  write(" condition number = " + FormatExponent(result.conditionNumbers[k], 12, 3) +
        (result.zeroJacobian[k] != 0 ? "   (zero matrix)\n" : "\n"));
  write(std::string(kSeparator) + "\n");
}

void FormatClosingSections(const SolveResult& result,
                           const std::function<void(std::string_view)>& write) {
  write(" The order of variables : \n");
  for (const std::string& name : result.variableNames) write(" " + name + "\n");
  write("\n ===============>   ZORMIX-2.0   <===============\n");
  write(" The # of roots      = " + FormatInteger(result.rootCount, 8) + "\n");
  write(" The # of real roots = " + FormatInteger(result.realCount, 8) + "\n");
  write(" The # of paths followed = " + FormatInteger(result.pathCount, 8) + "\n");
  write(" The # of blow_up        = " + FormatInteger(result.counts.blowUps, 8) +
        "  (before endgame)\n\n");
  for (const char* line : kContactBlock) write(std::string(line) + "\n");
}

}  // namespace

void FormatReport(const SolveResult& result, const std::function<void(std::string_view)>& write) {
  for (std::int64_t r = 0; r < result.rootCount; ++r) FormatRoot(result, r, write);
  FormatClosingSections(result, write);
}

void WriteReportFile(const SolveResult& result, const std::string& path) {
  AtomicFile file(path, "report file");
  FormatReport(result, [&file](std::string_view text) { file.Write(text); });
  file.Commit();
}

}  // namespace zormix
