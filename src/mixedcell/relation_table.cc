// Relation table: single-support programs (pairs inside one support), joint programs (pairs across
// two supports) and the first-support stage that records the lower edges.
#include "mixedcell/relation_table.h"

#include <cmath>
#include <utility>

#include "mixedcell/lp_state.h"
#include "mixedcell/parallel_for.h"

namespace zormix {
namespace {

// One program over a few supports' points in local numbering; global[] maps back to columns,
// group[] tells the support (0 = s, 1 = t of a joint program).
struct Program {
  int d = 0;
  std::vector<int> global;
  std::vector<int> group;
  std::vector<double> lifted;  // d per local point
  std::vector<double> rhs;
  LpState st;

  int size() const { return static_cast<int>(global.size()); }
  // Nonzero entries of the lifted columns (d slots per point), filled by Index().
  std::vector<int> sparseNz, sparseRow;
  std::vector<double> sparseValue;

  const double* A(int p) const { return lifted.data() + static_cast<std::size_t>(p) * d; }
  SparseVector S(int p) const {
    const std::size_t at = static_cast<std::size_t>(p) * d;
    return {sparseRow.data() + at, sparseValue.data() + at, sparseNz[p]};
  }
  double Slack(int p) const { return S(p).Dot(st.y.data()) - rhs[p]; }

  // Records the nonzero entries of every lifted column; call after the last AddSupport.
  void Index() {
    sparseNz.assign(size(), 0);
    sparseRow.assign(lifted.size(), 0);
    sparseValue.assign(lifted.size(), 0.0);
    for (int p = 0; p < size(); ++p) {
      const std::size_t at = static_cast<std::size_t>(p) * d;
      for (int k = 0; k < d; ++k) {
        if (lifted[at + k] == 0.0) continue;
        sparseRow[at + sparseNz[p]] = k;
        sparseValue[at + sparseNz[p]] = lifted[at + k];
        ++sparseNz[p];
      }
    }
  }

  // Adds the points of support s; their lifted column is (a_p, -1 in row betaRow, 0 elsewhere).
  void AddSupport(const ReducedSupports& sup, int s, int groupId, int betaRow) {
    for (int p = sup.startCol[s]; p <= sup.endCol[s]; ++p) {
      global.push_back(p);
      group.push_back(groupId);
      const std::int32_t* a = sup.Point(p);
      for (int k = 0; k < d; ++k) lifted.push_back(k < sup.n ? a[k] : (k == betaRow ? -1.0 : 0.0));
      rhs.push_back(-sup.w[p]);
    }
  }
};

// Fills the free positions from `from` down to 0 with candidates of the whole program.
void FillFreePositions(Program& pr, int from) {
  auto forEach = [&](auto fn) {
    for (int p = 0; p < pr.size(); ++p) {
      if (pr.st.marker[p] == kCandidate) fn(p);
    }
  };
  auto lifted = [&](int p) { return pr.S(p); };
  auto rhs = [&](int p) { return pr.rhs[p]; };
  for (int r = from; r >= 0; --r) {
    if (pr.st.basis[r] != kFreePosition) continue;
    const FillChoice choice = ChooseFill(pr.st, r, forEach, lifted, rhs);
    if (choice.point >= 0) PivotIn(pr.st, r, choice.point, choice.step, pr.S(choice.point));
  }
}

template <class Objective>
int FirstNegativeCost(const Program& pr, const Objective& objective) {
  for (int r = 0; r < pr.d; ++r) {
    if (Dot(objective, pr.st.Column(r), pr.d) < -kLpTolerance) return r;
  }
  return -1;
}

// Minimises the slack of every candidate p in turn. The ratio test starts with p itself and then
// admits the candidates with <A_j, column r> < blocking; p wins all ties.
template <class OnEnter>
void OnePointPhase(Program& pr, double blocking, OnEnter onEnter) {
  const long limit = PivotLimit(pr.d, pr.size());
  for (int p = 0; p < pr.size(); ++p) {
    if (pr.st.marker[p] != kCandidate) continue;
    for (long it = 0; it < limit; ++it) {
      const int r = FirstNegativeCost(pr, pr.S(p));
      if (r < 0) break;
      const double* col = pr.st.Column(r);
      double theta = -pr.Slack(p) / pr.S(p).Dot(col);
      int entering = p;
      for (int j = 0; j < pr.size(); ++j) {
        if (j == p || pr.st.marker[j] != kCandidate) continue;
        const double delta = pr.S(j).Dot(col);
        if (!(delta < blocking)) continue;
        const double ratio = -pr.Slack(j) / delta;
        if (ratio < theta) {
          theta = ratio;
          entering = j;
        }
      }
      PivotIn(pr.st, r, entering, theta, pr.S(entering));
      onEnter(entering);
    }
  }
}

// Minimises <A_p + A_q, y>, the sum of both slacks plus b_p + b_q; returns whether both can be
// tight at once.
template <class OnEnter>
bool TwoPointTest(Program& pr, int p, int q, OnEnter onEnter) {
  std::vector<double> g(pr.d);
  for (int k = 0; k < pr.d; ++k) g[k] = pr.A(p)[k] + pr.A(q)[k];
  std::vector<int> gRow;
  std::vector<double> gValue;
  for (int k = 0; k < pr.d; ++k) {
    if (g[k] == 0.0) continue;
    gRow.push_back(k);
    gValue.push_back(g[k]);
  }
  const SparseVector gs{gRow.data(), gValue.data(), static_cast<int>(gRow.size())};
  const long limit = PivotLimit(pr.d, pr.size());
  for (long it = 0; it < limit; ++it) {
    const int r = FirstNegativeCost(pr, gs);
    if (r < 0) break;
    const double* col = pr.st.Column(r);
    double theta = kRatioStart;
    int entering = -1;
    for (int j = 0; j < pr.size(); ++j) {
      if (pr.st.marker[j] != kCandidate) continue;
      const double delta = pr.S(j).Dot(col);
      if (!(delta < -kLpTolerance)) continue;
      const double ratio = -pr.Slack(j) / delta;
      if (ratio < theta) {
        theta = ratio;
        entering = j;
      }
    }
    if (entering < 0) break;  // unbounded direction: the sum of slacks is bounded, so roundoff
    PivotIn(pr.st, r, entering, theta, pr.S(entering));
    onEnter(entering);
  }
  return std::fabs(pr.rhs[p] + pr.rhs[q] - gs.Dot(pr.st.y.data())) <= kTightTolerance;
}

// Entering point q is related to the points of the filled positions; sameGroup decides whether
// points of q's own support count (single-support program) or only those of the other support.
void RelateEntering(const Program& pr, RelationTable& rel, int q, bool sameGroup, bool self) {
  for (int r = 0; r < pr.d; ++r) {
    const int b = pr.st.basis[r];
    if (b == kFreePosition || (b == q && !self)) continue;
    if (!sameGroup && pr.group[b] == pr.group[q]) continue;
    rel.Set(pr.global[q], pr.global[b], 1);
  }
}

// Single-support program: start vertex p0 = lowest lifting value, y = (0, w_p0), inverse = identity
// with last row (a_p0, -1), which is its own inverse.
Program RunSingleSupport(const ReducedSupports& sup, int s, RelationTable& rel) {
  const int n = sup.n;
  Program pr;
  pr.d = n + 1;
  pr.AddSupport(sup, s, 0, n);
  pr.Index();
  LpState& st = pr.st;
  st.Resize(pr.d, pr.size());
  int p0 = 0;
  for (int p = 1; p < pr.size(); ++p) {
    if (sup.w[pr.global[p]] < sup.w[pr.global[p0]]) p0 = p;
  }
  st.y[n] = sup.w[pr.global[p0]];
  for (int k = 0; k < pr.d; ++k) st.Column(k)[k] = 1.0;
  for (int k = 0; k < pr.d; ++k) st.Column(k)[n] = pr.A(p0)[k];
  st.basis[n] = p0;
  st.marker[p0] = kInBasis;
  st.filled = 1;
  FillFreePositions(pr, n - 1);
  for (int a = 0; a < pr.d; ++a) {
    for (int b = a + 1; b < pr.d; ++b) {
      if (st.basis[a] != kFreePosition && st.basis[b] != kFreePosition) {
        rel.Set(pr.global[st.basis[a]], pr.global[st.basis[b]], 1);
      }
    }
  }
  OnePointPhase(pr, -kTightTolerance, [&](int q) { RelateEntering(pr, rel, q, true, true); });
  for (int p = 0; p < pr.size(); ++p) {
    for (int q = p + 1; q < pr.size(); ++q) {
      if (rel(pr.global[p], pr.global[q]) != -1) continue;
      const bool tight =
          TwoPointTest(pr, p, q, [&](int e) { RelateEntering(pr, rel, e, true, false); });
      rel.Set(pr.global[p], pr.global[q], tight ? 1 : 0);
    }
  }
  return pr;
}

// Joint program of supports s < t in dimension n+2, warm-started from s's final program: t's
// lowest point q0 under s's normal alpha takes position n+1, y gains beta_t = <a_q0, alpha> + w_q0,
// and the inverse gains row (a_q0 . first n entries of each column, -1) and column (0, ..., 0, -1).
void RunJoint(const ReducedSupports& sup, const Program& single, int s, int t, RelationTable& rel) {
  const int n = sup.n;
  Program pr;
  pr.d = n + 2;
  pr.AddSupport(sup, s, 0, n);
  pr.AddSupport(sup, t, 1, n + 1);
  pr.Index();
  const int cs = sup.counts[s];
  LpState& st = pr.st;
  st.Resize(pr.d, pr.size());
  int q0 = -1;
  double lowest = 0.0;
  for (int q = cs; q < pr.size(); ++q) {
    const double h = Dot(pr.A(q), single.st.y.data(), n) + sup.w[pr.global[q]];
    if (q0 < 0 || h < lowest) {
      q0 = q;
      lowest = h;
    }
  }
  for (int k = 0; k <= n; ++k) st.y[k] = single.st.y[k];
  st.y[n + 1] = lowest;
  for (int c = 0; c <= n; ++c) {
    const double* from = single.st.Column(c);
    double* to = st.Column(c);
    for (int k = 0; k <= n; ++k) to[k] = from[k];
    to[n + 1] = Dot(pr.A(q0), from, n);
  }
  st.Column(n + 1)[n + 1] = -1.0;
  for (int r = 0; r <= n; ++r) st.basis[r] = single.st.basis[r];
  st.basis[n + 1] = q0;
  for (int p = 0; p < cs; ++p) st.marker[p] = single.st.marker[p];
  st.marker[q0] = kInBasis;
  st.filled = single.st.filled + 1;
  FillFreePositions(pr, n);
  for (int a = 0; a < pr.d; ++a) {
    for (int b = 0; b < pr.d; ++b) {
      const int pa = st.basis[a], pb = st.basis[b];
      if (pa == kFreePosition || pb == kFreePosition) continue;
      if (pr.group[pa] == 0 && pr.group[pb] == 1) rel.Set(pr.global[pa], pr.global[pb], 1);
    }
  }
  auto relate = [&](int q) { RelateEntering(pr, rel, q, false, false); };
  OnePointPhase(pr, -kLpTolerance, relate);
  for (int p = 0; p < cs; ++p) {
    for (int q = cs; q < pr.size(); ++q) {
      if (rel(pr.global[p], pr.global[q]) != -1) continue;
      const bool tight = TwoPointTest(pr, p, q, relate);
      rel.Set(pr.global[p], pr.global[q], tight ? 1 : 0);
    }
  }
}

// First support, continuing from its single-support program: every pivot that makes a new pair of
// basis points related stores the state after it as one edge record shared by those pairs.
int RecordFirstSupportEdges(Program pr, RelationTable& rel, EdgeRecords& edges) {
  const int c1 = pr.size();
  const int d = pr.d;
  for (int p = 0; p < c1; ++p) {
    for (int q = 0; q < c1; ++q) rel.Set(pr.global[p], pr.global[q], -1);
  }
  edges.c1 = c1;
  edges.d = d;
  edges.count = 0;
  edges.index.assign(static_cast<std::size_t>(c1) * c1, -1);
  auto recordNewPairs = [&](int) {
    bool any = false;
    for (int a = 0; a < d; ++a) {
      for (int b = a + 1; b < d; ++b) {
        const int pa = pr.st.basis[a], pb = pr.st.basis[b];
        if (pa == kFreePosition || pb == kFreePosition) continue;
        if (rel(pr.global[pa], pr.global[pb]) != -1) continue;
        rel.Set(pr.global[pa], pr.global[pb], 1);
        edges.Index(pa, pb) = edges.Index(pb, pa) = edges.count;
        any = true;
      }
    }
    if (!any) return;
    ++edges.count;
    edges.markers.insert(edges.markers.end(), pr.st.marker.begin(), pr.st.marker.end());
    edges.y.insert(edges.y.end(), pr.st.y.begin(), pr.st.y.end());
    edges.inverse.insert(edges.inverse.end(), pr.st.inverse.begin(), pr.st.inverse.end());
    for (int r = 0; r < d; ++r) {
      const int b = pr.st.basis[r];
      edges.basis.push_back(b == kFreePosition ? kFreePosition : pr.global[b]);
    }
  };
  recordNewPairs(-1);
  OnePointPhase(pr, -kLpTolerance, recordNewPairs);
  for (int p = 0; p < c1; ++p) {
    for (int q = p + 1; q < c1; ++q) {
      if (rel(pr.global[p], pr.global[q]) != -1) continue;
      const bool tight = TwoPointTest(pr, p, q, recordNewPairs);
      rel.Set(pr.global[p], pr.global[q], tight ? 1 : 0);
    }
  }
  return pr.st.filled;
}

}  // namespace

void BuildRelationTable(const ReducedSupports& sup, RelationTable& relation, int& lowerEdgeCount,
                        EdgeRecords& edges, int threads) {
  const int n = sup.n;
  relation.Reset(sup.m);
  // Each program decides its own block of the table (the pairs inside support s, or the pairs
  // across s and t) and reads no other block, so they may run in any order and at once.
  std::vector<Program> finals(n);
  ParallelFor(static_cast<std::size_t>(n), threads, [&]() {
    return [&](std::size_t s) { finals[s] = RunSingleSupport(sup, static_cast<int>(s), relation); };
  });
  std::vector<std::pair<int, int>> joints;
  for (int s = n - 1; s >= 0; --s) {
    for (int t = s + 1; t < n; ++t) joints.emplace_back(s, t);
  }
  ParallelFor(joints.size(), threads, [&]() {
    return [&](std::size_t i) {
      RunJoint(sup, finals[joints[i].first], joints[i].first, joints[i].second, relation);
    };
  });
  lowerEdgeCount = RecordFirstSupportEdges(std::move(finals[0]), relation, edges);
}

}  // namespace zormix
