// The summary and the roots as the front ends print them for people.
#ifndef ZORMIX_FRONTEND_SUMMARY_H_
#define ZORMIX_FRONTEND_SUMMARY_H_

#include <cstdint>
#include <string>

#include "zormix/result.h"

namespace zormix::frontend {

// After a solve, one line of Summary::BriefReport() (every counter defined in docs/cli.md),
// "variables: x, y" (the order of every root's coordinates) and "route: NAME"; after a
// mixed-volume-only run "mixed volume: N", "mixed cells: N", "route: NAME" and "seed: S".
std::string SummaryBlock(const SolveResult& result, bool mixedVolumeOnly);

// The size below which a part (real or imaginary) of a coordinate of `root` is rounding noise:
// its relative accuracy, u kappa_s with u the unit roundoff (at least 4u), at most the real-root
// rule's 1e-7, times its largest coordinate. So a part shown as 0 is never one that the real-root
// rule counts.
double NoiseLevel(const RootRecord& root);

// A coordinate with 6 significant digits, a part no larger than `noise` shown as 0: "0.707107",
// "-0.0316267i", "1.5 - 0.25i", "0".
std::string ShownCoordinate(Complex value, double noise);

// "roots (x, y):" and one line per root, the first maxRoots of them: its coordinates
// (ShownCoordinate with the root's NoiseLevel), its status ("regular", "singular, multiplicity 2",
// "on a set of dimension 1") and "real" for a real root; "... N more" for the rest. The stored
// values are not changed. Empty without roots.
std::string RootsBlock(const SolveResult& result, std::int64_t maxRoots);

}  // namespace zormix::frontend

#endif  // ZORMIX_FRONTEND_SUMMARY_H_
