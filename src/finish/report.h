// The report file "data.roots": a pure function of the solve's result.
#ifndef ZORMIX_FINISH_REPORT_H_
#define ZORMIX_FINISH_REPORT_H_

#include <functional>
#include <string>
#include <string_view>

#include "zormix/result.h"

namespace zormix {

// Writes the report text of `result` piece by piece to `write`: per root its coordinates, residue
// and condition number, then the variable order and the counts.
void FormatReport(const SolveResult& result, const std::function<void(std::string_view)>& write);

// FormatReport into the file at `path`, which appears complete or not at all.
void WriteReportFile(const SolveResult& result, const std::string& path);

}  // namespace zormix

#endif  // ZORMIX_FINISH_REPORT_H_
