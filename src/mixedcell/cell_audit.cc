// The audit of a cell list: exact decisions per cell, then the volume sum against a second search.
#include "mixedcell/cell_audit.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/random.h"
#include "mixedcell/exact_cells.h"
#include "mixedcell/parallel_for.h"
#include "mixedcell/tropical_homotopy.h"

namespace zormix {
namespace {

// The second search's lifting comes from a generator of its own: the solve's draws stay as they
// are.
constexpr std::uint64_t kIndependentLiftingSeed = 0x6d69786564766f6cull;

// Cells decided per task of the thread pool.
constexpr std::int64_t kCellsPerTask = 256;

std::int64_t SaturatedAdd(std::int64_t a, std::int64_t b) {
  return a > std::numeric_limits<std::int64_t>::max() - b ? std::numeric_limits<std::int64_t>::max()
                                                          : a + b;
}

// Decides every cell, removes the ones that are not lower facets and sums the volumes of the rest.
CellAudit DecideAll(const ReducedSupports& sup, CellList& cells, int threads) {
  const std::vector<std::int64_t> scaled = ScaledLifting(sup.w);
  const std::int64_t count = cells.size();
  std::vector<ExactCell> decided(static_cast<std::size_t>(count));
  const std::size_t tasks = static_cast<std::size_t>((count + kCellsPerTask - 1) / kCellsPerTask);
  ParallelFor(tasks, threads, [&]() {
    auto decider = std::make_shared<CellDecider>(sup, scaled);
    return [&, decider](std::size_t task) {
      const std::int64_t begin = static_cast<std::int64_t>(task) * kCellsPerTask;
      const std::int64_t end = std::min(count, begin + kCellsPerTask);
      for (std::int64_t c = begin; c < end; ++c) {
        decided[static_cast<std::size_t>(c)] = decider->Decide(cells, c);
      }
    };
  });
  CellAudit audit;
  std::vector<std::int8_t> keep(static_cast<std::size_t>(count), 1);
  for (std::int64_t c = 0; c < count; ++c) {
    const ExactCell& cell = decided[static_cast<std::size_t>(c)];
    switch (cell.verdict) {
      case CellVerdict::kNotACell:
        keep[static_cast<std::size_t>(c)] = 0;
        ++audit.removed;
        break;
      case CellVerdict::kTied:
        ++audit.tied;
        break;
      case CellVerdict::kUnchecked:
        ++audit.unchecked;
        break;
      case CellVerdict::kCell:
      case CellVerdict::kSingular:
        break;
    }
    audit.volumeSum = SaturatedAdd(audit.volumeSum, cell.volume);
  }
  if (audit.removed > 0) cells.Keep(keep);
  return audit;
}

// The mixed volume from the cells of a lifting of its own: by the tropical homotopy, or when that
// cannot pass an event by the search on one thread within `polls` stop polls; -1 when neither
// finished.
std::int64_t IndependentMixedVolume(const ReducedSupports& sup, const CellSearchControl& control,
                                    std::int64_t polls) {
  ReducedSupports other = sup;
  RuntimeUniform generator(kIndependentLiftingSeed);
  generator.Reseed();
  for (double& w : other.w) w = generator.Next();
  CellList cells(sup.n);
  const HomotopyOutcome outcome =
      TropicalHomotopyCells(other, cells, control.threads, control.stop);
  if (outcome == HomotopyOutcome::kStopped) return -1;
  if (outcome != HomotopyOutcome::kDone) {
    if (polls <= 0) return -1;
    std::atomic<std::int64_t> left{polls};
    CellSearchControl budgeted;
    budgeted.threads = 1;
    budgeted.stop = [&] { return --left < 0 || (control.stop && control.stop()); };
    cells = CellList(sup.n);
    if (!MixedCellSearch(other, cells, budgeted)) return -1;
  }
  const CellAudit audit = DecideAll(other, cells, control.threads);
  return audit.removed + audit.unchecked > 0 ? -1 : audit.volumeSum;
}

void Warn(CellAudit& audit) {
  if (audit.removed > 0) {
    audit.warnings.push_back("mixed cells: " + std::to_string(audit.removed) +
                             " cells of the search failed the exact lower-facet test and were "
                             "removed");
  }
  if (audit.tied > 0) {
    audit.warnings.push_back("mixed cells: the lifting is not generic (" +
                             std::to_string(audit.tied) +
                             " cells have a further point on them); the start systems may "
                             "miss roots");
  }
  if (audit.unchecked > 0) {
    audit.warnings.push_back("mixed cells: " + std::to_string(audit.unchecked) +
                             " cells could not be checked exactly");
  }
  if (audit.independentVolume >= 0 && audit.independentVolume != audit.volumeSum) {
    audit.warnings.push_back("mixed cells: the cell volumes sum to " +
                             std::to_string(audit.volumeSum) +
                             " but a second search with another lifting gives a mixed volume of " +
                             std::to_string(audit.independentVolume) + "; roots may be missing");
  }
}

}  // namespace

CellAudit AuditCells(const ReducedSupports& sup, CellList& cells, const CellSearchControl& control,
                     bool independent, std::int64_t independentPolls) {
  CellAudit audit = DecideAll(sup, cells, std::max(control.threads, 1));
  if (independent) audit.independentVolume = IndependentMixedVolume(sup, control, independentPolls);
  Warn(audit);
  return audit;
}

}  // namespace zormix
