// Vertex filter and support order: the two preprocessing steps before the lifting.
#include <cmath>
#include <utility>

#include "mixedcell/lp_state.h"
#include "mixedcell/supports.h"

namespace zormix {

void ReducedSupports::ComputeColumnRanges() {
  startCol.assign(n, 0);
  endCol.assign(n, -1);
  for (int i = 0; i < n; ++i) {
    startCol[i] = i == 0 ? 0 : endCol[i - 1] + 1;
    endCol[i] = startCol[i] + counts[i] - 1;
  }
}

namespace {

// Pivot on column j for the unkept point being tested: ratio test over the points outside the
// basis with t_p < -1e-6, theta_p = (d_p - <A_p, y>) / t_p, first minimum wins.
template <class Lifted>
int VertexRatioTest(const LpState& st, int j, int c, Lifted lifted, const double* dist,
                    double& theta) {
  const double* col = st.Column(j);
  theta = kRatioStart;
  int entering = -1;
  for (int p = 0; p < c; ++p) {
    if (st.marker[p] == kInBasis) continue;
    const SparseVector a = lifted(p);
    const double t = a.Dot(col);
    if (!(t < -kLpTolerance)) continue;
    const double ratio = (dist[p] - a.Dot(st.y.data())) / t;
    if (ratio < theta) {
      theta = ratio;
      entering = p;
    }
  }
  return entering;
}

}  // namespace

// The lifting -d_p is concave, so every vertex of the convex hull is a vertex of the lower hull of
// the lifted points and every basis of the program { <(a_p, -1), y> >= d_p } holds vertices only.
// A point k outside the basis lies in the convex hull of the basis points exactly when
// (a_k, -1) = sum_j lambda_j (a_basis[j], -1) with all lambda_j = <(a_k, -1), column j> >= 0.
void VertexTest(int d, int c, const double* liftedPoints, const double* distances,
                std::vector<std::int8_t>& keep) {
  keep.assign(c, 0);
  if (c == 0) return;
  auto dense = [&](int p) { return liftedPoints + static_cast<std::size_t>(p) * d; };
  // The nonzero entries of every lifted point: the inner products run over them only, in row
  // order, which rounds as the full sums do.
  std::vector<int> nzCount(c, 0), nzRow(static_cast<std::size_t>(c) * d);
  std::vector<double> nzValue(static_cast<std::size_t>(c) * d);
  for (int p = 0; p < c; ++p) {
    const std::size_t at = static_cast<std::size_t>(p) * d;
    for (int k = 0; k < d; ++k) {
      if (dense(p)[k] == 0.0) continue;
      nzRow[at + nzCount[p]] = k;
      nzValue[at + nzCount[p]] = dense(p)[k];
      ++nzCount[p];
    }
  }
  auto lifted = [&](int p) {
    const std::size_t at = static_cast<std::size_t>(p) * d;
    return SparseVector{nzRow.data() + at, nzValue.data() + at, nzCount[p]};
  };
  int p0 = 0;
  for (int p = 1; p < c; ++p) {
    if (distances[p] > distances[p0]) p0 = p;
  }
  LpState st;
  st.Resize(d, c);
  st.y[d - 1] = -distances[p0];
  for (int k = 0; k < d; ++k) st.inverse[k + static_cast<std::size_t>(k) * d] = 1.0;
  for (int k = 0; k < d; ++k) st.inverse[(d - 1) + static_cast<std::size_t>(k) * d] = dense(p0)[k];
  st.basis[d - 1] = p0;
  st.marker[p0] = kInBasis;
  st.filled = 1;
  keep[p0] = 1;
  auto forEach = [&](auto fn) {
    for (int p = 0; p < c; ++p) {
      if (st.marker[p] > 0) fn(p);
    }
  };
  auto rhs = [&](int p) { return distances[p]; };
  for (int r = d - 2; r >= 0; --r) {
    const FillChoice choice = ChooseFill(st, r, forEach, lifted, rhs);
    if (choice.point < 0) continue;
    PivotIn(st, r, choice.point, choice.step, lifted(choice.point));
    keep[choice.point] = 1;
  }
  const long limit = PivotLimit(d, c);
  long pivots = 0;
  bool changed = true;
  while (changed && pivots < limit) {
    changed = false;
    for (int k = 0; k < c && pivots < limit; ++k) {
      if (keep[k]) continue;
      for (int j = 0; j < d && pivots < limit; ++j) {
        if (!(lifted(k).Dot(st.Column(j)) < -kLpTolerance)) continue;
        double theta = 0.0;
        const int q = VertexRatioTest(st, j, c, lifted, distances, theta);
        if (q < 0) continue;
        PivotIn(st, j, q, theta, lifted(q));
        keep[q] = 1;
        changed = true;
        ++pivots;
      }
    }
  }
  // A run cut short by degenerate cycling keeps every undecided point: an extra non-vertex point
  // changes the subdivision but not the mixed volume, while a dropped vertex would.
  if (pivots >= limit) keep.assign(c, 1);
}

namespace {

// The vertex test of the c points of one support from column `start`, against the random point r.
void TestVertices(int n, const ColMajorMatrix<std::int32_t>& exponents, int start, int c,
                  const std::vector<double>& r, std::vector<double>& lifted,
                  std::vector<double>& distances, std::vector<std::int8_t>& keep) {
  const int d = n + 1;
  lifted.assign(static_cast<std::size_t>(c) * d, -1.0);
  distances.assign(c, 0.0);
  for (int p = 0; p < c; ++p) {
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
      const double a = exponents(k, start + p);
      lifted[static_cast<std::size_t>(p) * d + k] = a;
      sum += (a - r[k]) * (a - r[k]);
    }
    distances[p] = std::sqrt(sum);
  }
  VertexTest(d, c, lifted.data(), distances.data(), keep);
}

}  // namespace

int FilterSupportVertices(int n, const ColMajorMatrix<std::int32_t>& exponentsIn,
                          const std::vector<std::int32_t>& countsIn, RuntimeUniform& runtime,
                          ColMajorMatrix<std::int32_t>& exponentsOut, std::vector<int>& countsOut,
                          std::vector<int>& perm) {
  std::vector<double> r(n);
  for (int k = 0; k < n; ++k) r[k] = runtime.Next();
  exponentsOut.Assign(n, exponentsIn.cols(), 0);
  countsOut.assign(n, 0);
  perm.assign(exponentsIn.cols(), -1);
  std::vector<double> lifted, distances;
  // Per support: its first column and its vertex flags. A support equal to an earlier one, point
  // for point (the equal supports of determinantal systems), takes that one's flags: the test
  // depends on the points and the random point only.
  std::vector<int> firstColumn(n, 0);
  std::vector<std::vector<std::int8_t>> keeps(n);
  auto sameSupport = [&](int s, int t) {
    if (countsIn[s] != countsIn[t]) return false;
    for (int p = 0; p < countsIn[s]; ++p) {
      for (int k = 0; k < n; ++k) {
        if (exponentsIn(k, firstColumn[s] + p) != exponentsIn(k, firstColumn[t] + p)) return false;
      }
    }
    return true;
  };
  int mOut = 0, start = 0;
  for (int s = 0; s < n; ++s) {
    const int c = countsIn[s];
    firstColumn[s] = start;
    std::vector<std::int8_t>& keep = keeps[s];
    int equal = 0;
    while (equal < s && !sameSupport(s, equal)) ++equal;
    if (equal < s) {
      keep = keeps[equal];
    } else {
      TestVertices(n, exponentsIn, start, c, r, lifted, distances, keep);
    }
    for (int p = 0; p < c; ++p) {
      if (!keep[p]) continue;
      for (int k = 0; k < n; ++k) exponentsOut(k, mOut) = exponentsIn(k, start + p);
      perm[mOut++] = start + p;
      ++countsOut[s];
    }
    start += c;
  }
  exponentsOut.ResizeCols(mOut);
  perm.resize(mOut);
  return mOut;
}

namespace {

// Every point is the origin or a unit vector (scale 1), or the origin or twice a unit vector
// (scale 2).
bool IsScaledUnitSupport(const ColMajorMatrix<std::int32_t>& e, int start, int count, int scale) {
  for (int p = start; p < start + count; ++p) {
    int hits = 0;
    for (int k = 0; k < e.rows(); ++k) {
      const std::int32_t a = e(k, p);
      if (scale == 1 ? a > 1 : (a != 0 && a != 2)) return false;
      if (a == scale) ++hits;
    }
    if (hits > 1) return false;
  }
  return true;
}

// Exchange sort by count ascending over positions from..n-1 (strict, not stable).
void ExchangeSort(std::vector<int>& counts, std::vector<int>& order, int from) {
  const int n = static_cast<int>(counts.size());
  for (int i = from; i < n - 1; ++i) {
    for (int j = i + 1; j < n; ++j) {
      if (counts[j] < counts[i]) {
        std::swap(counts[i], counts[j]);
        std::swap(order[i], order[j]);
      }
    }
  }
}

}  // namespace

void ReorderSupports(int n, std::vector<int>& counts, ColMajorMatrix<std::int32_t>& exponents,
                     std::vector<int>& perm, std::vector<int>& startCol, std::vector<int>& endCol) {
  const ColMajorMatrix<std::int32_t> exponentsCopy = exponents;
  const std::vector<int> permCopy = perm;
  std::vector<int> oldStart(n, 0);
  for (int i = 1; i < n; ++i) oldStart[i] = oldStart[i - 1] + counts[i - 1];
  std::vector<int> order(n);
  for (int i = 0; i < n; ++i) order[i] = i;

  int special = -1;
  for (int s = 0; s < n; ++s) {
    if (IsScaledUnitSupport(exponents, oldStart[s], counts[s], 1)) special = s;
  }
  if (special >= 0) {
    int differing = 0, differingCount = 0;
    for (int s = 0; s < n; ++s) {
      if (counts[s] != n) {
        ++differing;
        differingCount = counts[s];
      }
    }
    if (differing == 1 && differingCount == 2) special = -1;
  }
  if (special < 0) {
    ExchangeSort(counts, order, 0);
  } else {
    for (int s = 0; s < n; ++s) {
      if (IsScaledUnitSupport(exponents, oldStart[s], counts[s], 2)) special = s;
    }
    if (special != 0) {
      std::swap(counts[0], counts[special]);
      std::swap(order[0], order[special]);
    }
    ExchangeSort(counts, order, 1);
  }

  startCol.assign(n, 0);
  endCol.assign(n, -1);
  for (int i = 0; i < n; ++i) {
    startCol[i] = i == 0 ? 0 : endCol[i - 1] + 1;
    endCol[i] = startCol[i] + counts[i] - 1;
    for (int p = 0; p < counts[i]; ++p) {
      const int from = oldStart[order[i]] + p;
      for (int k = 0; k < n; ++k) exponents(k, startCol[i] + p) = exponentsCopy(k, from);
      perm[startCol[i] + p] = permCopy[from];
    }
  }
}

}  // namespace zormix
