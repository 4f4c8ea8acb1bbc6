#include "local/dual_space.h"

#include <algorithm>
#include <cmath>

#include "base/numeric.h"
#include "local/dense.h"
#include "local/parameters.h"

namespace zormix {
namespace {

Complex Dot(std::size_t size, const Complex* a, const Complex* b) {  // a^H b
  Complex sum = 0.0;
  for (std::size_t i = 0; i < size; ++i) sum += std::conj(a[i]) * b[i];
  return sum;
}

// The state of the computation: the basis with the shifts of each element in basis coordinates.
class DualBuilder {
 public:
  DualBuilder(const TaylorSystem& f, const MonomialTable& table, int bound)
      : f_(f), table_(table), n_(table.n()), bound_(bound), size_(table.CountUpTo(f.order)) {
    up_.assign(static_cast<std::size_t>(size_) * n_, -1);
    std::vector<std::int32_t> a(n_);
    for (std::int64_t p = 0; p < size_; ++p) {
      if (table.Degree(p) + 1 > f.order) continue;
      const std::int32_t* e = table.Exponent(p);
      for (int j = 0; j < n_; ++j) {
        std::copy(e, e + n_, a.begin());
        ++a[j];
        up_[p * n_ + j] = table.Index(a.data());
      }
    }
    // L_0 = evaluation at the point.
    std::vector<Complex> one(size_);
    one[0] = 1.0;
    Add(std::move(one), 0, std::vector<std::vector<Complex>>(n_));
  }

  DualSpace& space() { return space_; }

  // Appends the functionals new at order k; returns how many, or -1 when the expansion is too
  // short for order k.
  int Grow(int k, double threshold) {
    if (k > f_.order) return -1;
    const int r = space_.dimension();
    const int pairs = n_ * (n_ - 1) / 2;
    const int equations = static_cast<int>(f_.equations.size());
    ColMajorMatrix<Complex> A(static_cast<std::int64_t>(pairs) * r + equations,
                              static_cast<std::int64_t>(n_) * r);
    std::int64_t row = 0;
    for (int i = 0; i < n_; ++i) {
      for (int j = i + 1; j < n_; ++j, row += r) {
        // s_i M_j - s_j M_i in basis coordinates q.
        for (int p = 0; p < r; ++p) {
          const std::vector<Complex>& si = shifts_[p][i];
          const std::vector<Complex>& sj = shifts_[p][j];
          for (std::size_t q = 0; q < si.size(); ++q) A(row + q, j * r + p) += si[q];
          for (std::size_t q = 0; q < sj.size(); ++q) A(row + q, i * r + p) -= sj[q];
        }
      }
    }
    for (int e = 0; e < equations; ++e, ++row)
      for (int j = 0; j < n_; ++j)
        for (int p = 0; p < r; ++p) A(row, j * r + p) = images_[p][e * n_ + j];
    const int columns = n_ * r;
    // From `bound` functionals on, a new one makes the space outgrow the bound, where the
    // computation stops: the new functionals are counted, and their coordinates (the right
    // singular vectors) never needed.
    if (r >= bound_) {
      const int fresh = Fresh(SingularValuesOf(A), threshold, r);
      space_.uncomputed += fresh;
      space_.order.insert(space_.order.end(), fresh, k);
      return fresh;
    }
    const SingularDecomposition svd = Decompose(A);
    const int fresh = Fresh(svd.sigma, threshold, r);
    if (fresh == 0) return 0;
    const int nullity = fresh + r - 1;
    std::vector<std::vector<Complex>> candidates;
    for (int c = columns - nullity; c < columns; ++c)
      candidates.emplace_back(svd.right.col(c), svd.right.col(c) + columns);
    AddNew(Complement(std::move(candidates), r), fresh, k, r);
    return fresh;
  }

 private:
  // The null vectors with the old functionals' coordinates projected out, in order of what is
  // left of them.
  std::vector<std::vector<Complex>> Complement(std::vector<std::vector<Complex>> z, int r) {
    const std::size_t length = static_cast<std::size_t>(n_) * r;
    std::vector<std::vector<Complex>> old;
    for (int p = 1; p < r; ++p) {  // mu of L_p: its shifts
      std::vector<Complex> mu(length);
      for (int j = 0; j < n_; ++j)
        std::copy(shifts_[p][j].begin(), shifts_[p][j].end(), mu.begin() + j * r);
      old.push_back(std::move(mu));
    }
    for (int pass = 0; pass < 2; ++pass) {  // orthonormalise the old ones (twice is enough)
      for (std::size_t a = 0; a < old.size(); ++a) {
        for (std::size_t b = 0; b < a; ++b) {
          const Complex w = Dot(length, old[b].data(), old[a].data());
          for (std::size_t i = 0; i < length; ++i) old[a][i] -= w * old[b][i];
        }
        const double norm = std::sqrt(std::real(Dot(length, old[a].data(), old[a].data())));
        if (norm > 0.0)
          for (Complex& v : old[a]) v /= norm;
      }
    }
    for (std::vector<Complex>& v : z)
      for (int pass = 0; pass < 2; ++pass)
        for (const std::vector<Complex>& o : old) {
          const Complex w = Dot(length, o.data(), v.data());
          for (std::size_t i = 0; i < length; ++i) v[i] -= w * o[i];
        }
    return z;
  }

  // Picks `fresh` directions from z by Gram-Schmidt with the largest remainder first, and adds
  // the functional each stands for.
  void AddNew(std::vector<std::vector<Complex>> z, int fresh, int k, int r) {
    const std::size_t length = static_cast<std::size_t>(n_) * r;
    for (int added = 0; added < fresh && !z.empty(); ++added) {
      std::size_t best = 0;
      double bestNorm = -1.0;
      for (std::size_t c = 0; c < z.size(); ++c) {
        const double norm = std::real(Dot(length, z[c].data(), z[c].data()));
        if (norm > bestNorm) bestNorm = norm, best = c;
      }
      std::vector<Complex> mu = std::move(z[best]);
      z.erase(z.begin() + best);
      const double norm = std::sqrt(bestNorm);
      for (Complex& v : mu) v /= norm;
      for (std::vector<Complex>& v : z) {
        const Complex w = Dot(length, mu.data(), v.data());
        for (std::size_t i = 0; i < length; ++i) v[i] -= w * mu[i];
      }
      AddIntegral(mu, k, r);
    }
  }

  // L = sum_j d_j (sum_p mu_jp L_p)|_(d_<j = 0), orthogonalised against the basis in coefficient
  // space (its shifts follow the same combination), normalised, appended.
  void AddIntegral(const std::vector<Complex>& mu, int k, int r) {
    std::vector<Complex> L(size_);
    std::vector<std::vector<Complex>> shift(n_, std::vector<Complex>(r));
    for (int j = 0; j < n_; ++j) {
      for (int p = 0; p < r; ++p) {
        const Complex m = mu[j * r + p];
        shift[j][p] = m;
        if (m == 0.0) continue;
        const std::vector<Complex>& B = space_.basis[p];
        const std::int64_t end = table_.CountUpTo(space_.order[p]);
        for (std::int64_t a = 0; a < end; ++a) {
          if (B[a] == 0.0) continue;
          const std::int32_t* e = table_.Exponent(a);
          bool lower = true;
          for (int q = 0; q < j && lower; ++q) lower = e[q] == 0;
          if (lower) L[up_[a * n_ + j]] += m * B[a];
        }
      }
    }
    const std::int64_t end = table_.CountUpTo(k);
    for (int pass = 0; pass < 2; ++pass) {
      for (int p = 0; p < space_.dimension(); ++p) {
        const Complex w = Dot(end, space_.basis[p].data(), L.data());
        for (std::int64_t a = 0; a < end; ++a) L[a] -= w * space_.basis[p][a];
        for (int j = 0; j < n_; ++j) {
          const std::vector<Complex>& s = shifts_[p][j];
          for (std::size_t q = 0; q < s.size(); ++q) shift[j][q] -= w * s[q];
        }
      }
    }
    const double norm = std::sqrt(std::real(Dot(end, L.data(), L.data())));
    for (Complex& v : L) v /= norm;
    for (std::vector<Complex>& s : shift)
      for (Complex& v : s) v /= norm;
    Add(std::move(L), k, std::move(shift));
  }

  void Add(std::vector<Complex> L, int k, std::vector<std::vector<Complex>> shift) {
    // images: L(d_j-integral evaluated on f_e) = sum_{a: a_<j = 0} L_a T_{a + e_j}(f_e).
    const int equations = static_cast<int>(f_.equations.size());
    std::vector<Complex> image(static_cast<std::size_t>(equations) * n_);
    const std::int64_t end = table_.CountUpTo(k);
    for (std::int64_t a = 0; a < end; ++a) {
      if (L[a] == 0.0) continue;
      const std::int32_t* e = table_.Exponent(a);
      for (int j = 0; j < n_; ++j) {
        if (j > 0 && e[j - 1] != 0) break;  // a_<j = 0 fails from here on
        const std::int64_t target = up_[a * n_ + j];
        if (target < 0) continue;
        for (int q = 0; q < equations; ++q) image[q * n_ + j] += L[a] * f_.equations[q][target];
      }
    }
    space_.basis.push_back(std::move(L));
    space_.order.push_back(k);
    shifts_.push_back(std::move(shift));
    images_.push_back(std::move(image));
  }

  // The functionals new at this order: the null space of the commutation and equation rows
  // (singular values at or below `threshold`) beyond the r - 1 shifts of the old ones. Records
  // how clearly the rank was decided.
  int Fresh(const std::vector<double>& sigma, double threshold, int r) {
    const int columns = static_cast<int>(sigma.size());
    int nullity = 0;
    while (nullity < columns && sigma[columns - 1 - nullity] <= threshold) ++nullity;
    RecordGap(sigma, columns - nullity);
    return std::max(0, nullity - (r - 1));
  }

  void RecordGap(const std::vector<double>& sigma, int rank) {
    if (rank <= 0 || rank >= static_cast<int>(sigma.size())) return;
    const double null = sigma[rank];
    if (null <= 0.0) return;
    space_.gap = std::min(space_.gap, sigma[rank - 1] / null);
  }

  const TaylorSystem& f_;
  const MonomialTable& table_;
  int n_;
  int bound_;
  std::int64_t size_;
  std::vector<std::int64_t> up_;  // index of a + e_j, -1 beyond the expansion's order
  DualSpace space_;
  std::vector<std::vector<std::vector<Complex>>> shifts_;  // [p][j]: s_j L_p in basis coords
  std::vector<std::vector<Complex>> images_;               // [p][e * n + j]
};

}  // namespace

int DualSpace::depth() const {
  return order.empty() ? 0 : *std::max_element(order.begin(), order.end());
}

double NullThreshold(double accuracy) {
  return std::pow(std::max(accuracy, kMachineEpsilon), kNullExponent.value());
}

DualSpace ComputeDualSpace(const TaylorSystem& expansion, const MonomialTable& table,
                           double accuracy, int bound) {
  DualBuilder builder(expansion, table, bound);
  const double threshold = NullThreshold(std::max(accuracy, expansion.noise));
  builder.space().hilbert.push_back(1);
  for (int k = 1; k <= bound + 1; ++k) {
    const int fresh = builder.Grow(k, threshold);
    if (fresh < 0) break;
    builder.space().hilbert.push_back(fresh);
    if (fresh == 0) {
      builder.space().stabilized = true;
      break;
    }
    if (builder.space().dimension() > bound) break;
  }
  return std::move(builder.space());
}

}  // namespace zormix
