// Kernels of the mixed-cell search program.
#include "mixedcell/search_lp.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zormix {

void PairTable::Init(const ReducedSupports& sup) {
  supportOf_.assign(sup.m, 0);
  start_ = sup.startCol;
  count_ = sup.counts;
  offset_.assign(sup.n, 0);
  std::size_t total = 0;
  for (int s = 0; s < sup.n; ++s) {
    offset_[s] = total;
    total += static_cast<std::size_t>(sup.counts[s]) * sup.counts[s];
    for (int p = sup.startCol[s]; p <= sup.endCol[s]; ++p) supportOf_[p] = s;
  }
  data_.assign(total, 0);
}

void StateStore::Init(int levels, int d, int m) {
  d_ = d;
  m_ = m;
  levels_.assign(levels, Level());
}

int StateStore::Save(int level, const LpState& st) {
  Level& l = levels_[level];
  const std::size_t k = static_cast<std::size_t>(l.count);
  if (l.basis.size() < (k + 1) * d_) {
    const std::size_t slots = 2 * k + 4;
    l.y.resize(slots * d_);
    l.inverse.resize(slots * d_ * d_);
    l.basis.resize(slots * d_);
    l.marker.resize(slots * m_);
  }
  std::copy(st.y.begin(), st.y.end(), l.y.begin() + k * d_);
  std::copy(st.inverse.begin(), st.inverse.end(), l.inverse.begin() + k * d_ * d_);
  std::copy(st.basis.begin(), st.basis.end(), l.basis.begin() + k * d_);
  std::copy(st.marker.begin(), st.marker.end(), l.marker.begin() + k * m_);
  return ++l.count;
}

void StateStore::Load(int level, int slot, LpState& st) const {
  const Level& l = levels_[level];
  const std::size_t k = static_cast<std::size_t>(slot - 1);
  std::copy_n(l.y.begin() + k * d_, d_, st.y.begin());
  std::copy_n(l.inverse.begin() + k * d_ * d_, d_ * d_, st.inverse.begin());
  std::copy_n(l.basis.begin() + k * d_, d_, st.basis.begin());
  std::copy_n(l.marker.begin() + k * m_, m_, st.marker.begin());
}

void SearchLp::Init(const ReducedSupports& supports) {
  sup = &supports;
  n = supports.n;
  d = n + 1;
  st.Resize(d, supports.m);
  rhs.assign(supports.m, 0.0);
  supportOf.assign(supports.m, 0);
  for (int s = 0; s < n; ++s) {
    for (int p = supports.startCol[s]; p <= supports.endCol[s]; ++p) supportOf[p] = s;
  }
  order.resize(n);
  for (int s = 0; s < n; ++s) order[s] = s;
  columnsOf.assign(n, kUnknown);
  pairs.Init(supports);
  store.Init(n, d, supports.m);
  pointNz.assign(supports.m, 0);
  pointRow.assign(static_cast<std::size_t>(supports.m) * n, 0);
  pointValue.assign(static_cast<std::size_t>(supports.m) * n, 0.0);
  plainNz.assign(supports.m, 0);
  plainRow.assign(static_cast<std::size_t>(supports.m) * d, 0);
  plainValue.assign(static_cast<std::size_t>(supports.m) * d, 0.0);
  for (int p = 0; p < supports.m; ++p) {
    const std::int32_t* e = supports.Point(p);
    const std::size_t at = static_cast<std::size_t>(p) * n;
    const std::size_t plainAt = static_cast<std::size_t>(p) * d;
    int nz = 0;
    for (int k = 0; k < n; ++k) {
      if (e[k] == 0) continue;
      pointRow[at + nz] = k;
      pointValue[at + nz] = e[k];
      plainRow[plainAt + nz] = k;
      plainValue[plainAt + nz] = e[k];
      ++nz;
    }
    pointNz[p] = nz;
    plainRow[plainAt + nz] = n;
    plainValue[plainAt + nz] = -1.0;
    plainNz[p] = nz + 1;
  }
  relativeOffset.assign(n, kNoTable);
  std::size_t pairsTabulated = 0;
  for (int s = 0; s < n; ++s) {
    const std::size_t c = static_cast<std::size_t>(supports.counts[s]);
    if ((pairsTabulated + c * c) * d > kRelativeTableSlots) continue;
    relativeOffset[s] = pairsTabulated;
    pairsTabulated += c * c;
  }
  relativeNz.assign(pairsTabulated, 0);
  relativeRow.assign(pairsTabulated * d, 0);
  relativeValue.assign(pairsTabulated * d, 0.0);
  for (int s = 0; s < n; ++s) {
    if (relativeOffset[s] == kNoTable) continue;
    const int start = supports.startCol[s], c = supports.counts[s];
    for (int i = 0; i < c; ++i) {
      for (int j = 0; j < c; ++j) {
        const std::size_t slot = relativeOffset[s] + static_cast<std::size_t>(i) * c + j;
        relativeNz[slot] = RelativeEntries(start + i, start + j, relativeRow.data() + slot * d,
                                           relativeValue.data() + slot * d);
      }
    }
  }
  liftedRow.assign(static_cast<std::size_t>(supports.m) * d, 0);
  liftedValue.assign(static_cast<std::size_t>(supports.m) * d, 0.0);
  colRow.assign(supports.m, nullptr);
  colValue.assign(supports.m, nullptr);
  colNz.assign(supports.m, 0);
  for (int p = 0; p < supports.m; ++p) SetPlainColumn(p);
  columnsOf.assign(n, kUnknown);
}

void SearchLp::SetSupportPlain(int s) {
  if (columnsOf[s] == kPlain) return;
  for (int p = sup->startCol[s]; p <= sup->endCol[s]; ++p) SetPlainColumn(p);
  columnsOf[s] = kPlain;
}

void SearchLp::SetSupportRelative(int s, int k) {
  if (columnsOf[s] == k) return;
  for (int p = sup->startCol[s]; p <= sup->endCol[s]; ++p) SetRelativeColumn(p, k);
  columnsOf[s] = k;
}

void SearchLp::SetPlainColumn(int p) {
  columnsOf[supportOf[p]] = kUnknown;
  const std::size_t at = static_cast<std::size_t>(p) * d;
  colRow[p] = plainRow.data() + at;
  colValue[p] = plainValue.data() + at;
  colNz[p] = plainNz[p];
  rhs[p] = -sup->w[p];
}

int SearchLp::RelativeEntries(int p, int k, int* rowOut, double* valueOut) const {
  // Merge of the nonzero entries of a_p and a_k; differences that vanish are left out.
  const int* rowP = pointRow.data() + static_cast<std::size_t>(p) * n;
  const double* valueP = pointValue.data() + static_cast<std::size_t>(p) * n;
  const int* rowK = pointRow.data() + static_cast<std::size_t>(k) * n;
  const double* valueK = pointValue.data() + static_cast<std::size_t>(k) * n;
  const int nzP = pointNz[p], nzK = pointNz[k];
  int a = 0, b = 0, nz = 0;
  while (a < nzP || b < nzK) {
    int row;
    double v;
    if (b == nzK || (a < nzP && rowP[a] < rowK[b])) {
      row = rowP[a];
      v = valueP[a++];
    } else if (a == nzP || rowK[b] < rowP[a]) {
      row = rowK[b];
      v = -valueK[b++];
    } else {
      row = rowP[a];
      v = valueP[a++] - valueK[b++];
    }
    if (v == 0.0) continue;
    rowOut[nz] = row;
    valueOut[nz] = v;
    ++nz;
  }
  return nz;
}

void SearchLp::SetRelativeColumn(int p, int k) {
  const int s = supportOf[p];
  columnsOf[s] = kUnknown;
  if (relativeOffset[s] != kNoTable) {
    const int start = sup->startCol[s], c = sup->counts[s];
    const std::size_t slot =
        relativeOffset[s] + static_cast<std::size_t>(p - start) * c + (k - start);
    colRow[p] = relativeRow.data() + slot * d;
    colValue[p] = relativeValue.data() + slot * d;
    colNz[p] = relativeNz[slot];
  } else {
    const std::size_t at = static_cast<std::size_t>(p) * d;
    colNz[p] = RelativeEntries(p, k, liftedRow.data() + at, liftedValue.data() + at);
    colRow[p] = liftedRow.data() + at;
    colValue[p] = liftedValue.data() + at;
  }
  rhs[p] = sup->w[k] - sup->w[p];
}

namespace {

// Smallest ratio over the candidates of levels 0..level with <A_p, column j> < -1e-6.
int RatioTest(const SearchLp& lp, int j, double& theta) {
  const double* col = lp.st.Column(j);
  theta = kRatioStart;
  int entering = -1;
  for (int lev = 0; lev <= lp.level; ++lev) {
    const int s = lp.order[lev];
    for (int p = lp.sup->startCol[s]; p <= lp.sup->endCol[s]; ++p) {
      if (lp.st.marker[p] <= 0) continue;
      const double t = lp.DotA(p, col);
      if (!(t < -kLpTolerance)) continue;
      const double ratio = (lp.rhs[p] - lp.DotA(p, lp.st.y.data())) / t;
      if (ratio < theta) {
        theta = ratio;
        entering = p;
      }
    }
  }
  return entering;
}

void RecordPairs(SearchLp& lp, int q, int j) {
  const int s = lp.CurrentSupport();
  if (lp.supportOf[q] != s) return;
  int slot = 0;
  for (int pos : lp.positions) {
    if (pos == j) continue;
    const int b = lp.st.basis[pos];
    if (b == kFreePosition || lp.supportOf[b] != s || b == q) continue;
    std::int32_t& f = b < q ? lp.pairs(b, q) : lp.pairs(q, b);
    if (f != -1) continue;
    if (slot == 0) slot = lp.store.Save(lp.level, lp.st);
    f = slot;
  }
}

}  // namespace

void PivotToOptimum(SearchLp& lp, const SparseVector& objective) {
  const long limit = PivotLimit(lp.d, lp.sup->m);
  for (long it = 0; it < limit; ++it) {
    int j = -1;
    for (int pos : lp.positions) {
      if (objective.Dot(lp.st.Column(pos)) < -kLpTolerance) {
        j = pos;
        break;
      }
    }
    if (j < 0) return;
    double theta = 0.0;
    const int q = RatioTest(lp, j, theta);
    if (q < 0) return;
    PivotIn(lp.st, j, q, theta, lp.A(q));
    RecordPairs(lp, q, j);
  }
}

void PivotToOptimum(SearchLp& lp, const double* objective) {
  std::vector<int> row;
  std::vector<double> value;
  for (int i = 0; i < lp.d; ++i) {
    if (objective[i] == 0.0) continue;
    row.push_back(i);
    value.push_back(objective[i]);
  }
  PivotToOptimum(lp, SparseVector{row.data(), value.data(), static_cast<int>(row.size())});
}

int FillBasis(SearchLp& lp) {
  if (lp.st.filled == lp.d) return 0;
  const int s = lp.CurrentSupport();
  const int first = lp.sup->startCol[s], last = lp.sup->endCol[s];
  auto forEach = [&](auto fn) {
    for (int p = first; p <= last; ++p) {
      if (lp.st.marker[p] > 0) fn(p);
    }
  };
  auto lifted = [&](int p) { return lp.A(p); };
  auto rhs = [&](int p) { return lp.rhs[p]; };
  int brought = 0;
  for (int j = 0; j < lp.d; ++j) {
    if (lp.st.basis[j] != kFreePosition) continue;
    const FillChoice choice = ChooseFill(lp.st, j, forEach, lifted, rhs);
    if (choice.point < 0) continue;
    PivotIn(lp.st, j, choice.point, choice.step, lp.A(choice.point));
    ++brought;
    lp.positions.push_back(j);
  }
  return brought;
}

namespace {

// Values of candidate k: h_k, then <a_k, first n entries of column g> for the columns listed in
// lp.scratchColumns (the tied group, then the free group). lp.scratchColumns[0] is y, whose sum
// starts from w_k. Four sums advance together over the nonzero entries of a_k, in local variables
// (the output may alias nothing the compiler can see, so sums kept in `out` would go through
// memory at every step); each is still added up in row order.
void CandidateValues(const SearchLp& lp, int k, double* out) {
  const int width = static_cast<int>(lp.scratchColumns.size());
  const double* const* columns = lp.scratchColumns.data();
  const std::size_t at = static_cast<std::size_t>(k) * lp.n;
  const int* row = lp.pointRow.data() + at;
  const double* value = lp.pointValue.data() + at;
  const int nz = lp.pointNz[k];
  int g = 0;
  for (; g + 4 <= width; g += 4) {
    const double *c0 = columns[g], *c1 = columns[g + 1], *c2 = columns[g + 2], *c3 = columns[g + 3];
    double s0 = g == 0 ? lp.sup->w[k] : 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    for (int e = 0; e < nz; ++e) {
      const double v = value[e];
      const int r = row[e];
      s0 += v * c0[r];
      s1 += v * c1[r];
      s2 += v * c2[r];
      s3 += v * c3[r];
    }
    out[g] = s0;
    out[g + 1] = s1;
    out[g + 2] = s2;
    out[g + 3] = s3;
  }
  for (; g < width; ++g) {
    const double* c = columns[g];
    double sum = g == 0 ? lp.sup->w[k] : 0.0;
    for (int e = 0; e < nz; ++e) sum += value[e] * c[row[e]];
    out[g] = sum;
  }
}

// a dominates b: equal (within 1e-10) on every free column, not above b + 1e-10 on every tied one.
bool Dominates(const double* a, const double* b, int tiedCount, int freeCount) {
  for (int g = 1; g <= tiedCount; ++g) {
    if (a[g] > b[g] + kTightTolerance) return false;
  }
  for (int g = tiedCount + 1; g <= tiedCount + freeCount; ++g) {
    if (std::fabs(a[g] - b[g]) > kTightTolerance) return false;
  }
  return true;
}

}  // namespace

int PruneAndChooseSupport(SearchLp& lp, std::vector<std::int8_t>& flags) {
  const int tiedCount = static_cast<int>(lp.tied.size());
  const int freeCount = static_cast<int>(lp.freeGroup.size());
  const int width = 1 + tiedCount + freeCount;
  lp.scratchColumns.assign(1, lp.st.y.data());
  for (int pos : lp.tied) lp.scratchColumns.push_back(lp.st.Column(pos));
  for (int pos : lp.freeGroup) lp.scratchColumns.push_back(lp.st.Column(pos));
  lp.scratchCounts.assign(lp.n, 0);
  lp.scratchLowest.assign(lp.n, -1);
  lp.scratchLowestValue.assign(lp.n, 0.0);
  for (int pos = lp.level; pos < lp.n; ++pos) {
    const int s = lp.order[pos];
    std::vector<int>& pts = lp.scratchPoints;
    pts.clear();
    for (int p = lp.sup->startCol[s]; p <= lp.sup->endCol[s]; ++p) {
      if (flags[p]) pts.push_back(p);
    }
    const int c = static_cast<int>(pts.size());
    std::vector<double>& vals = lp.scratchValues;
    vals.resize(static_cast<std::size_t>(c) * width);
    for (int i = 0; i < c; ++i)
      CandidateValues(lp, pts[i], &vals[static_cast<std::size_t>(i) * width]);
    // Selection sort by h, strict comparison: the first minimum found is swapped forward. The
    // rows stay in place; rank[i] is the row at sorted position i.
    std::vector<int>& rank = lp.scratchRank;
    rank.resize(c);
    for (int i = 0; i < c; ++i) rank[i] = i;
    auto row = [&](int i) { return &vals[static_cast<std::size_t>(rank[i]) * width]; };
    for (int i = 0; i + 1 < c; ++i) {
      int best = i;
      double bestValue = row(i)[0];
      for (int k = i + 1; k < c; ++k) {
        const double v = row(k)[0];
        if (v < bestValue) {
          best = k;
          bestValue = v;
        }
      }
      if (best == i) continue;
      std::swap(pts[i], pts[best]);
      std::swap(rank[i], rank[best]);
    }
    int kept = 0;
    for (int b = 0; b < c; ++b) {
      bool dominated = false;
      for (int a = 0; a < b && !dominated; ++a) {
        dominated = flags[pts[a]] && Dominates(row(a), row(b), tiedCount, freeCount);
      }
      if (dominated) {
        flags[pts[b]] = 0;
      } else {
        ++kept;
      }
    }
    lp.scratchCounts[pos] = kept;
    if (c > 0) {
      lp.scratchLowest[pos] = pts[0];
      lp.scratchLowestValue[pos] = row(0)[0];
    }
  }
  int chosen = lp.level;
  for (int pos = lp.level + 1; pos < lp.n; ++pos) {
    if (lp.scratchCounts[pos] < lp.scratchCounts[chosen]) chosen = pos;
  }
  std::swap(lp.order[lp.level], lp.order[chosen]);
  lp.chosenCount = lp.scratchCounts[chosen];
  lp.st.y[lp.n] = lp.scratchLowestValue[chosen];
  return lp.scratchLowest[chosen];
}

}  // namespace zormix
