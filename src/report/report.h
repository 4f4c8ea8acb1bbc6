// Refinement, classification and the report file of a solve.
#ifndef ZORMIX_REPORT_REPORT_H_
#define ZORMIX_REPORT_REPORT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "driver/random.h"
#include "zormix/solve.h"

namespace zormix {

struct ReportOutcome {
  std::int64_t acceptedCount = 0;
  std::int64_t realCount = 0;
  std::vector<double> residues;          // per accepted root
  std::vector<double> conditionNumbers;  // per accepted root
  std::vector<std::uint8_t> isReal;      // per accepted root
  std::vector<PathRecord> records;       // per accepted root, the record of its end point
};

// Refines every end point (columns 0..endPointCount-1 of `solutions`, unscaled) unless its record
// has retrackFailed set, and writes "data.roots" at reportPath (nothing when empty) through a
// temporary file that replaces it only when complete. Refinement and acceptance run on the
// unscaled system (system.rawCoefficients) with each equation divided by a power of two near its
// largest coefficient, so that they do not depend on the units of an equation; residues and
// condition numbers are those of the system as given. On return columns 0..acceptedCount-1 of
// `solutions` hold the refined accepted roots.
ReportOutcome WriteReport(const PolySystem& system, ColMajorMatrix<Complex>& solutions,
                          std::int64_t endPointCount, const std::vector<PathRecord>& records,
                          std::int64_t blowUpCount, std::int64_t paths,
                          const std::string& reportPath, RuntimeUniform& runtime);

}  // namespace zormix

#endif  // ZORMIX_REPORT_REPORT_H_
