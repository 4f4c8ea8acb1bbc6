// The classification lines of the CLI's summary, printed after the counts it always had.
#ifndef ZORMIX_CLI_SUMMARY_H_
#define ZORMIX_CLI_SUMMARY_H_

#include <string>

#include "zormix/result.h"

namespace zormix::cli {

// "regular roots: N", "singular roots: N (end points: M)", "real regular roots: N",
// "at infinity: N", "failed paths: N", and
// "certified roots: N (distinct: D, real: R)" when the certification ran. Empty for a
// mixed-volume-only run.
std::string ClassificationSummary(const SolveResult& result, bool mixedVolumeOnly);

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_SUMMARY_H_
