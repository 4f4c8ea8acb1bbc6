// Mixed-cell search: fix a lower edge of the first support, then add one support per level,
// keeping the pairs that the programs show compatible with everything chosen so far.
#include "mixedcell/mixed_cell_search.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "mixedcell/parallel_for.h"
#include "mixedcell/relation_table.h"
#include "mixedcell/search_lp.h"

namespace zormix {
namespace {

// Extensions between two stop polls: an extension costs a few LP steps (microseconds), so a stop
// is seen well within a second while the poll itself stays out of the profile.
constexpr int kStopPollInterval = 256;

// What every branch reads and none writes: the relation table and the first support's edge
// records.
struct SharedTables {
  RelationTable rel;
  EdgeRecords edges;
  int lowerEdgeCount = 0;
};

// The branch of one lower edge of the first support depends only on the shared tables and the
// edge's record (every state a branch reads it sets up or loads itself), so the branches can run
// on any number of searchers and their cells be joined in edge order.
//
// A stop request is seen by every searcher: the first one to find control.stop() true raises the
// shared flag, and every searcher leaves its branch at its next poll.
class Search {
 public:
  Search(const ReducedSupports& sup, const SharedTables& shared, const std::function<bool()>& stop,
         std::atomic<bool>& stopped)
      : sup_(sup),
        n_(sup.n),
        d_(sup.n + 1),
        rel_(shared.rel),
        edges_(shared.edges),
        lowerEdgeCount_(shared.lowerEdgeCount),
        stop_(stop),
        stopped_(stopped) {}

  void Init();
  // Appends the cells of the branch of the first support's lower edge (i, j) to cells: of the
  // whole branch, or, with a path (c_1, ..., c_L), only of the subtree reached by taking the
  // c_v-th pair (0-based, in pair order) at each level v = 1..L (L <= n - 2).
  void ProcessEdge(int i, int j, CellList& cells, const std::vector<int>& path = {});
  // The number of pairs one level below the node of that path (0 when the node is not reached):
  // the work of the levels on the way alone.
  int CountChildren(int i, int j, const std::vector<int>& path);

 private:
  bool UnplacedHaveTwoCandidates(int level);
  void Extend(int t);
  void SetUpChosenSupport(int t, int r, int lowest);
  void PreparePairs(int s);
  void FindPairs(int s);
  bool HasPair(int level);
  bool NextPair(int level, int& k, int& l, int& slot);
  void WriteCells();
  void LevelLoop(int u);
  bool StopRequested();
  bool StartBranch(int i, int j);
  bool Descend(int v, int k, int l, int slot);

  const ReducedSupports& sup_;
  int n_, d_;
  const RelationTable& rel_;
  const EdgeRecords& edges_;
  const int lowerEdgeCount_;
  const std::function<bool()>& stop_;
  std::atomic<bool>& stopped_;
  int untilPoll_ = kStopPollInterval;
  std::vector<int> path_;        // the pair to take at levels 1..path_.size(), or every pair
  std::vector<int> childIndex_;  // per level: pairs taken so far below the current node
  CellList* cells_ = nullptr;
  SearchLp lp_;
  std::vector<std::vector<std::int8_t>> flags_;  // per level: candidates below that level
  std::vector<std::vector<int>> orders_;         // per level: support order of the branch
  std::vector<int> filledAt_;                    // per level: constraint counter to restore
  std::vector<int> first_, second_;              // partial cell, per level
  std::vector<std::int8_t> isSecond_;            // per point: a second point of levels 0..t
  std::vector<long> cursor_;                     // per level: next pair to scan
  std::vector<double> objective_;
  std::vector<int> objectiveRow_;
  std::vector<double> objectiveValue_;
};

void Search::Init() {
  lp_.Init(sup_);
  flags_.assign(n_, std::vector<std::int8_t>(sup_.m, 0));
  orders_.assign(n_, lp_.order);
  filledAt_.assign(n_, 0);
  filledAt_[0] = lowerEdgeCount_;
  first_.assign(n_, -1);
  second_.assign(n_, -1);
  cursor_.assign(n_, 0);
  childIndex_.assign(n_, 0);
  objective_.assign(d_, 0.0);
  isSecond_.assign(sup_.m, 0);
}

bool Search::UnplacedHaveTwoCandidates(int level) {
  const std::vector<std::int8_t>& flags = flags_[level];
  for (int pos = level + 1; pos < n_; ++pos) {
    const int s = orders_[level][pos];
    int count = 0;
    for (int p = sup_.startCol[s]; p <= sup_.endCol[s] && count < 2; ++p) count += flags[p];
    if (count < 2) return false;
  }
  return true;
}

// Sets up the branch of edge (i, j) and runs its first extension; false when it has nothing below.
bool Search::StartBranch(int i, int j) {
  const int record = edges_.Index(i, j);
  // A pair declared related only by its final tightness test carries no solved program; with a
  // generic lifting both points of such a pair are in a basis and it always has one.
  if (record < 0) return false;
  first_[0] = i;
  second_[0] = j;
  std::vector<std::int8_t>& flags = flags_[0];
  const std::int8_t* relI = rel_.Row(i);
  const std::int8_t* relJ = rel_.Row(j);
  for (int p = 0; p < sup_.m; ++p) flags[p] = (relI[p] == 1) & (relJ[p] == 1);
  if (!UnplacedHaveTwoCandidates(0)) return false;
  LpState& st = lp_.st;
  const std::size_t rec = static_cast<std::size_t>(record);
  std::copy_n(edges_.y.begin() + rec * d_, d_, st.y.begin());
  std::copy_n(edges_.inverse.begin() + rec * d_ * d_, d_ * d_, st.inverse.begin());
  std::copy_n(edges_.basis.begin() + rec * d_, d_, st.basis.begin());
  std::fill(st.marker.begin(), st.marker.end(), kExcluded);
  for (int p = 0; p < sup_.counts[0]; ++p) {
    st.marker[p] = edges_.markers[rec * sup_.counts[0] + p] == kInBasis ? kInBasis : kCandidate;
  }
  st.filled = filledAt_[0];
  Extend(0);
  return true;
}

void Search::ProcessEdge(int i, int j, CellList& cells, const std::vector<int>& path) {
  cells_ = &cells;
  path_ = path;
  if (StartBranch(i, j)) LevelLoop(1);
}

int Search::CountChildren(int i, int j, const std::vector<int>& path) {
  if (!StartBranch(i, j)) return 0;
  const int depth = static_cast<int>(path.size());
  for (int v = 1; v <= depth; ++v) {
    int k = 0, l = 0, slot = 0;
    for (int index = 0; index <= path[v - 1]; ++index) {
      if (!NextPair(v, k, l, slot)) return 0;
    }
    if (!Descend(v, k, l, slot)) return 0;
  }
  int count = 0;
  const int s = orders_[depth + 1][depth + 1];
  for (int p = sup_.startCol[s]; p <= sup_.endCol[s]; ++p) {
    const std::int32_t* row = lp_.pairs.Row(p);
    for (int q = p + 1; q <= sup_.endCol[s]; ++q) count += row[q] != 0;
  }
  return count;
}

// Extension step from level t: the pair (k, l) of level t is fixed, the next support is chosen and
// every pair of it that can be lowest together with all chosen pairs is found.
void Search::Extend(int t) {
  LpState& st = lp_.st;
  const int placed = orders_[t][t];
  const int k = first_[t];
  st.marker[first_[t]] = kExcluded;
  st.marker[second_[t]] = kExcluded;
  for (int v = 0; v <= t; ++v) isSecond_[second_[v]] = 1;
  int r = -1;
  lp_.tied.clear();
  lp_.freeGroup.clear();
  for (int pos = 0; pos < d_; ++pos) {
    const int b = st.basis[pos];
    if (b == k) {
      r = pos;
    } else if (b == kFreePosition) {
      lp_.freeGroup.push_back(pos);
    } else if (!isSecond_[b]) {
      lp_.tied.push_back(pos);
    }
  }
  for (int v = 0; v <= t; ++v) isSecond_[second_[v]] = 0;
  const int next = t + 1;
  lp_.store.Clear(next);
  cursor_[next] = 0;
  childIndex_[next] = 0;
  lp_.order = orders_[t];
  lp_.level = next;
  if (r < 0) {
    // The pair's first point is not in the basis (degenerate record): nothing to extend.
    lp_.SetSupportRelative(placed, k);
    orders_[next] = lp_.order;
    const int s = lp_.order[next];
    for (int p = sup_.startCol[s]; p <= sup_.endCol[s]; ++p) {
      std::int32_t* row = lp_.pairs.Row(p);
      for (int q = p + 1; q <= sup_.endCol[s]; ++q) row[q] = 0;
    }
    return;
  }
  lp_.positions.assign(1, r);
  lp_.positions.insert(lp_.positions.end(), lp_.tied.begin(), lp_.tied.end());
  const int lowest = PruneAndChooseSupport(lp_, flags_[t]);
  orders_[next] = lp_.order;
  const int s = lp_.order[next];
  if (lp_.chosenCount < 2) {
    // At most one point of the chosen support is left: it has no pair and the branch ends here.
    // Nothing below reads the rest of this node's set-up (the program columns of the placed
    // support included: every later branch sets them up again), so it is skipped.
    for (int p = sup_.startCol[s]; p <= sup_.endCol[s]; ++p) {
      std::int32_t* row = lp_.pairs.Row(p);
      for (int q = p + 1; q <= sup_.endCol[s]; ++q) row[q] = 0;
    }
    return;
  }
  lp_.SetSupportRelative(placed, k);
  SetUpChosenSupport(t, r, lowest);
  const int brought = FillBasis(lp_);
  filledAt_[next] = st.filled;
  PreparePairs(s);
  if (brought > 0) {
    int slot = 0;
    for (int p = sup_.startCol[s]; p <= sup_.endCol[s]; ++p) {
      if (st.marker[p] != kInBasis) continue;
      std::int32_t* row = lp_.pairs.Row(p);
      for (int q = p + 1; q <= sup_.endCol[s]; ++q) {
        if (st.marker[q] != kInBasis || row[q] != -1) continue;
        if (slot == 0) slot = lp_.store.Save(next, st);
        row[q] = slot;
      }
    }
  }
  FindPairs(s);
}

// The chosen support's lowest point takes the reference position r. With the placed supports'
// columns relative (last entry 0), the new inverse is: column r = (0, ..., 0, -1), and every other
// column keeps its first n entries and gets <a_lowest, first n entries> as its last entry.
void Search::SetUpChosenSupport(int t, int r, int lowest) {
  LpState& st = lp_.st;
  const int s = lp_.order[t + 1];
  const std::vector<std::int8_t>& flags = flags_[t];
  lp_.SetSupportPlain(s);
  for (int p = sup_.startCol[s]; p <= sup_.endCol[s]; ++p) {
    st.marker[p] = flags[p] ? kCandidate : kExcluded;
  }
  st.marker[lowest] = kInBasis;
  const std::int32_t* a = sup_.Point(lowest);
  for (int c = 0; c < d_; ++c) {
    double* col = st.Column(c);
    if (c == r) {
      for (int i = 0; i < n_; ++i) col[i] = 0.0;
      col[n_] = -1.0;
      continue;
    }
    double v = 0.0;
    for (int i = 0; i < n_; ++i) v += a[i] * col[i];
    col[n_] = v;
  }
  st.basis[r] = lowest;
}

void Search::PreparePairs(int s) {
  const LpState& st = lp_.st;
  for (int p = sup_.startCol[s]; p <= sup_.endCol[s]; ++p) {
    std::int32_t* row = lp_.pairs.Row(p);
    if (st.marker[p] == kExcluded) {
      for (int q = p + 1; q <= sup_.endCol[s]; ++q) row[q] = 0;
      continue;
    }
    for (int q = p + 1; q <= sup_.endCol[s]; ++q) {
      row[q] = st.marker[q] != kExcluded && rel_(p, q) == 1 ? -1 : 0;
    }
  }
}

// One-point runs for every candidate, then the two-point test for every pair still undecided.
void Search::FindPairs(int s) {
  LpState& st = lp_.st;
  const int first = sup_.startCol[s], last = sup_.endCol[s];
  for (int k = first; k <= last; ++k) {
    if (st.marker[k] <= 0) continue;
    PivotToOptimum(lp_, lp_.A(k));
    if (st.marker[k] <= 0) continue;
    st.marker[k] = kExcluded;
    for (int q = first; q <= last; ++q) {
      if (q != k) (q < k ? lp_.pairs(q, k) : lp_.pairs(k, q)) = 0;
    }
  }
  for (int k = first; k <= last; ++k) {
    std::int32_t* row = lp_.pairs.Row(k);
    for (int l = k + 1; l <= last; ++l) {
      if (row[l] != -1) continue;
      // A_k + A_l: the entries are small integers, so the sums are exact.
      std::fill(objective_.begin(), objective_.end(), 0.0);
      for (const SparseVector& a : {lp_.A(k), lp_.A(l)}) {
        for (int e = 0; e < a.nz; ++e) objective_[a.row[e]] += a.value[e];
      }
      objectiveRow_.clear();
      objectiveValue_.clear();
      for (int i = 0; i < d_; ++i) {
        if (objective_[i] == 0.0) continue;
        objectiveRow_.push_back(i);
        objectiveValue_.push_back(objective_[i]);
      }
      const SparseVector objective{objectiveRow_.data(), objectiveValue_.data(),
                                   static_cast<int>(objectiveRow_.size())};
      PivotToOptimum(lp_, objective);
      const double gap = objective.Dot(st.y.data()) - (lp_.rhs[k] + lp_.rhs[l]);
      if (std::fabs(gap) <= kTightTolerance && lp_.pairs(k, l) == -1) {
        lp_.pairs(k, l) = lp_.store.Save(lp_.level, st);
      } else if (lp_.pairs(k, l) == -1) {
        lp_.pairs(k, l) = 0;
      }
    }
  }
}

bool Search::HasPair(int level) {
  const int s = orders_[level][level];
  for (int p = sup_.startCol[s]; p <= sup_.endCol[s]; ++p) {
    const std::int32_t* row = lp_.pairs.Row(p);
    for (int q = p + 1; q <= sup_.endCol[s]; ++q) {
      if (row[q] != 0) return true;
    }
  }
  return false;
}

// Next found pair of the support at `level` in increasing (k, l), consumed.
bool Search::NextPair(int level, int& k, int& l, int& slot) {
  const int s = orders_[level][level];
  const int c = sup_.counts[s], start = sup_.startCol[s];
  long& at = cursor_[level];
  for (int i = static_cast<int>(at / c); i < c; ++i) {
    const int p = start + i;
    std::int32_t* row = lp_.pairs.Row(p);
    for (int j = std::max(static_cast<int>(at - static_cast<long>(i) * c), i + 1); j < c; ++j) {
      const int q = start + j;
      if (row[q] == 0) continue;
      k = p;
      l = q;
      slot = row[q];
      row[q] = 0;
      at = static_cast<long>(i) * c + j + 1;
      return true;
    }
    at = static_cast<long>(i + 1) * c;
  }
  at = static_cast<long>(c) * c;
  return false;
}

void Search::WriteCells() {
  const int last = n_ - 1;
  const int s = orders_[last][last];
  for (int p = sup_.startCol[s]; p <= sup_.endCol[s]; ++p) {
    for (int q = p + 1; q <= sup_.endCol[s]; ++q) {
      if (lp_.pairs(p, q) == 0) continue;
      const std::int64_t c = cells_->AddCell();
      for (int v = 0; v < last; ++v) {
        cells_->First(c, v) = first_[v];
        cells_->Second(c, v) = second_[v];
      }
      cells_->First(c, last) = p;
      cells_->Second(c, last) = q;
    }
  }
}

bool Search::StopRequested() {
  if (stopped_.load(std::memory_order_relaxed)) return true;
  if (--untilPoll_ > 0 || !stop_) return false;
  untilPoll_ = kStopPollInterval;
  if (stop_()) stopped_ = true;
  return stopped_;
}

// Takes pair (k, l) at level v: the candidates it leaves below, then, when every unplaced support
// keeps two, its program state and the extension to level v + 1. False when it ends there.
bool Search::Descend(int v, int k, int l, int slot) {
  first_[v] = k;
  second_[v] = l;
  std::vector<std::int8_t>& flags = flags_[v];
  const std::vector<std::int8_t>& parent = flags_[v - 1];
  const std::int8_t* relK = rel_.Row(k);
  const std::int8_t* relL = rel_.Row(l);
  for (int pos = v + 1; pos < n_; ++pos) {
    const int s = orders_[v][pos];
    for (int p = sup_.startCol[s]; p <= sup_.endCol[s]; ++p) {
      flags[p] = parent[p] & (relK[p] == 1) & (relL[p] == 1);
    }
  }
  if (!UnplacedHaveTwoCandidates(v)) return false;
  lp_.store.Load(v, slot, lp_.st);
  lp_.st.filled = filledAt_[v];
  Extend(v);
  return true;
}

void Search::LevelLoop(int u) {
  for (;;) {
    if (StopRequested()) return;
    int v;
    if (u == n_ - 1) {
      WriteCells();
      v = n_ - 2;
    } else {
      v = HasPair(u) ? u : u - 1;
    }
    bool extended = false;
    while (v >= 1 && !extended) {
      int k, l, slot;
      if (!NextPair(v, k, l, slot)) {
        --v;
        continue;
      }
      if (v <= static_cast<int>(path_.size())) {
        // Levels 1..L of a unit: only the path's pair; once it is done, so is the unit.
        const int index = childIndex_[v]++;
        if (index > path_[v - 1]) return;
        if (index < path_[v - 1]) continue;
      }
      if (!Descend(v, k, l, slot)) continue;
      u = v + 1;
      extended = true;
    }
    if (!extended) return;
  }
}

// A subtree of the search: the branch of one first-support edge, and the pair taken at each of the
// levels 1..L below it (none: the whole branch).
struct Unit {
  std::size_t branch = 0;
  std::vector<int> path;
};

// Units at least this many, when the levels allow: enough for dynamic scheduling to even out
// subtrees of very different sizes.
constexpr std::size_t kSplitUnits = 1024;

// Replaces every unit by its children one level down, level after level, until there are
// kSplitUnits or the next level would be the last (whose pairs are cells, not subtrees). Children
// keep the serial order, and a unit with no pair below has no cells and is dropped, so the units'
// cells joined in order are the serial list.
// A stop request is polled between units; it leaves `stopped` set and the units unusable.
void SplitUnits(const ReducedSupports& sup, const SharedTables& shared,
                const std::vector<std::pair<int, int>>& branches, int threads,
                const std::function<bool()>& stop, std::atomic<bool>& stopped,
                std::vector<Unit>& units) {
  // One planner per thread, set up once for all levels (its tables are the costly part).
  std::vector<std::unique_ptr<Search>> planners;
  for (int t = 0; t < std::max(threads, 1); ++t) {
    planners.push_back(std::make_unique<Search>(sup, shared, stop, stopped));
    planners.back()->Init();
  }
  for (int depth = 0; units.size() < kSplitUnits && depth + 1 <= sup.n - 2; ++depth) {
    std::vector<int> children(units.size(), 0);
    std::atomic<std::size_t> taken{0};
    ParallelFor(units.size(), std::max(threads, 1), [&]() {
      Search* planner = planners[taken++].get();
      return [&, planner](std::size_t u) {
        if (stopped || (stop && stop())) {
          stopped = true;
          return;
        }
        const auto& [i, j] = branches[units[u].branch];
        children[u] = planner->CountChildren(i, j, units[u].path);
      };
    });
    if (stopped) return;
    std::vector<Unit> next;
    for (std::size_t u = 0; u < units.size(); ++u) {
      for (int c = 0; c < children[u]; ++c) {
        next.push_back(units[u]);
        next.back().path.push_back(c);
      }
    }
    units = std::move(next);
  }
}

}  // namespace

bool MixedCellSearch(const ReducedSupports& sup, CellList& cells,
                     const CellSearchControl& control) {
  const int threads = control.threads;
  if (sup.n <= 0) return true;
  for (int s = 0; s < sup.n; ++s) {
    if (sup.counts[s] < 1) return true;
  }
  SharedTables shared;
  BuildRelationTable(sup, shared.rel, shared.lowerEdgeCount, shared.edges, threads);
  const int c1 = sup.counts[0];
  if (sup.n == 1) {
    // One support: its lower edges are the cells.
    for (int i = 0; i < c1; ++i) {
      for (int j = i + 1; j < c1; ++j) {
        if (shared.rel(i, j) != 1) continue;
        const std::int64_t c = cells.AddCell();
        cells.First(c, 0) = i;
        cells.Second(c, 0) = j;
      }
    }
    return true;
  }
  std::atomic<bool> stopped{control.stop && control.stop()};
  if (stopped) return false;
  std::vector<std::pair<int, int>> branches;
  for (int i = 0; i < c1; ++i) {
    for (int j = i + 1; j < c1; ++j) {
      if (shared.rel(i, j) != 0) branches.emplace_back(i, j);
    }
  }
  // Work units: whole branches on one thread and for a runner (a cluster job hands out units
  // with a message and a wait each, so they must stay few); on more threads of this process,
  // subtrees below the first level, so that the few branches that hold most of the nodes do not
  // leave threads idle at the end.
  std::vector<Unit> units;
  for (std::size_t b = 0; b < branches.size(); ++b) units.push_back({b, {}});
  if (!control.runBranches && threads > 1) {
    SplitUnits(sup, shared, branches, threads, control.stop, stopped, units);
    if (stopped) return false;
  }
  const auto count = static_cast<std::int64_t>(units.size());
  // One searcher per thread; the function owns it.
  auto makeWorker = [&]() -> BranchFunction {
    auto search = std::make_shared<Search>(sup, shared, control.stop, stopped);
    search->Init();
    return [&branches, &units, &stopped, search](std::int64_t u, CellList& found) {
      if (stopped) return;
      const Unit& unit = units[static_cast<std::size_t>(u)];
      const auto& [i, j] = branches[unit.branch];
      search->ProcessEdge(i, j, found, unit.path);
    };
  };
  const int workers = static_cast<int>(std::min<std::int64_t>(std::max(threads, 1), count));
  if (!control.runBranches && workers <= 1) {
    const BranchFunction run = makeWorker();
    for (std::int64_t b = 0; b < count && !stopped; ++b) run(b, cells);
    return !stopped;
  }
  // Each unit keeps its own cell list; the lists are joined in unit order, the serial order.
  std::vector<CellList> found(static_cast<std::size_t>(count), CellList(sup.n));
  if (control.runBranches) {
    BranchJob job;
    job.count = count;
    job.makeWorker = makeWorker;
    job.stopped = [&] {
      if (!stopped && control.stop && control.stop()) stopped = true;
      return stopped.load();
    };
    job.abandon = [&] { stopped = true; };
    control.runBranches(job, found);
  } else {
    // Units are handed out in order to whichever thread is free.
    ParallelFor(found.size(), workers, [&]() {
      const BranchFunction run = makeWorker();
      return [&, run](std::size_t b) { run(static_cast<std::int64_t>(b), found[b]); };
    });
  }
  if (stopped) return false;
  for (const CellList& part : found) cells.Append(part);
  return true;
}

}  // namespace zormix
