// The points the slices put on sets, decided by the local dimension test at their clusters:
// isolated multiple roots stay roots with their multiplicity, points of sets get the set's
// dimension, and points off every root are never on a set; whatever the units of the equations
// and the coordinates.
#include "finish/set_points.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <map>
#include <numbers>
#include <vector>

#include "finish/classify.h"
#include "finish/finish_stop.h"
#include "finish/scaled_jacobian.h"
#include "model/normal_form.h"
#include "support/end_points.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::EndPointsAsResult;

// A polynomial as its terms, for building systems by products and changes of coordinates.
using Poly = std::map<std::vector<std::int32_t>, Complex>;

Poly Constant(int n, Complex c) { return {{std::vector<std::int32_t>(n, 0), c}}; }
Poly Variable(int n, int j) { return {{testing::Unit(n, j), 1.0}}; }

Poly operator+(Poly a, const Poly& b) {
  for (const auto& [e, c] : b) a[e] += c;
  return a;
}
Poly operator*(const Poly& a, const Poly& b) {
  Poly out;
  for (const auto& [ea, ca] : a)
    for (const auto& [eb, cb] : b) {
      std::vector<std::int32_t> e(ea);
      for (std::size_t j = 0; j < e.size(); ++j) e[j] += eb[j];
      out[e] += ca * cb;
    }
  return out;
}
Poly operator*(Complex c, Poly a) {
  for (auto& term : a) term.second *= c;
  return a;
}
Poly Power(const Poly& a, int m) {
  Poly out = Constant(static_cast<int>(a.begin()->first.size()), 1.0);
  for (int k = 0; k < m; ++k) out = out * a;
  return out;
}

// p(M y + b): the polynomial in the coordinates y of the affine change x = M y + b.
Poly Substitute(const Poly& p, const std::vector<std::vector<double>>& M,
                const std::vector<double>& b) {
  const int n = static_cast<int>(b.size());
  std::vector<Poly> x;
  for (int i = 0; i < n; ++i) {
    Poly xi = Constant(n, b[i]);
    for (int j = 0; j < n; ++j) xi = xi + M[i][j] * Variable(n, j);
    x.push_back(xi);
  }
  Poly out;
  for (const auto& [e, c] : p) {
    Poly term = Constant(n, c);
    for (int j = 0; j < n; ++j) term = term * Power(x[j], e[j]);
    out = out + term;
  }
  return out;
}

PolySystem System(const std::vector<Poly>& polys) {
  std::vector<testing::Equation> equations;
  for (const Poly& p : polys) {
    testing::Equation eq;
    for (const auto& [e, c] : p)
      if (c != 0.0) testing::AddTerm(eq, e, c);
    equations.push_back(eq);
  }
  return testing::BuildSystem(equations);
}

// y = M^-1 (x - b) for a 2 x 2 or 3 x 3 change.
std::vector<Complex> Solve(const std::vector<std::vector<double>>& M, const std::vector<double>& b,
                           const std::vector<Complex>& x) {
  const int n = static_cast<int>(b.size());
  std::vector<std::vector<Complex>> A(n, std::vector<Complex>(n + 1));
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) A[i][j] = M[i][j];
    A[i][n] = x[i] - b[i];
  }
  for (int c = 0; c < n; ++c) {
    int p = c;
    for (int i = c + 1; i < n; ++i)
      if (std::abs(A[i][c]) > std::abs(A[p][c])) p = i;
    std::swap(A[c], A[p]);
    for (int i = 0; i < n; ++i) {
      if (i == c) continue;
      const Complex f = A[i][c] / A[c][c];
      for (int j = c; j <= n; ++j) A[i][j] -= f * A[c][j];
    }
  }
  std::vector<Complex> y(n);
  for (int i = 0; i < n; ++i) y[i] = A[i][n] / A[i][i];
  return y;
}

Complex Unit(int k, int m) { return std::polar(1.0, 2.0 * std::numbers::pi * k / m); }

struct Verdicts {
  int onSets = 0, singularEndPoints = 0, singularRoots = 0, regular = 0, failed = 0;
  int largestMultiplicity = 0, dimension = 0;
};

Verdicts Classify(const PolySystem& s, const SolveResult& r) {
  const Classification c = ClassifyRoots(BringToNormalForm(s), r);
  Verdicts v;
  v.onSets = static_cast<int>(c.counts.positiveDimensional);
  v.singularEndPoints = static_cast<int>(c.counts.singularEndPoints);
  v.singularRoots = static_cast<int>(c.counts.singular);
  v.regular = static_cast<int>(c.counts.regular);
  v.failed = static_cast<int>(c.counts.failed);
  for (std::size_t k = 0; k < c.status.size(); ++k) {
    if (c.status[k] == RootStatus::kSingular)
      v.largestMultiplicity = std::max(v.largestMultiplicity, static_cast<int>(c.multiplicity[k]));
    v.dimension = std::max(v.dimension, static_cast<int>(c.localDimension[k]));
  }
  return v;
}

// Verdicts handed to TestSetPoints as the rules would leave them: every point on a set of
// `dimension`, at its own value.
std::vector<EndPointVerdict> ClaimedOnSets(const std::vector<std::vector<Complex>>& values,
                                           int dimension) {
  std::vector<EndPointVerdict> points(values.size());
  for (std::size_t k = 0; k < values.size(); ++k) {
    points[k].kind = PointClass::kOnSet;
    points[k].rule = PointRule::kOnSetBySlices;
    points[k].dimension = dimension;
    points[k].value = values[k];
    points[k].measures.scaledCondition = 1e12;
  }
  return points;
}

std::vector<EndPointVerdict> TestClaims(const PolySystem& s,
                                        const std::vector<std::vector<Complex>>& values,
                                        int dimension, std::int32_t windingNumber) {
  const NormalForm normal = WithEquationsNormalized(BringToNormalForm(s));
  std::vector<EndPointVerdict> points = ClaimedOnSets(values, dimension);
  TestSetPoints(normal, EndPointsAsResult(s.n, values, windingNumber), OriginScales(normal), 1,
                FinishStop(std::function<bool()>{}), points);
  return points;
}

// (x - 1), (y - 1)^m + (x - 1): an isolated root of multiplicity m and breadth 1 at (1, 1), whose
// residual on a slice at distance eps is eps^m: beyond m of about 7 the slices meet it as a line.
// Its m end points (winding number m, 1e-14 apart), in the equations as given, rescaled by 1e-6
// and 1e6, and after an affine change of coordinates, are one root of multiplicity m.
TEST(SetPoints, RootOfHighOrderOfContactIsOneMultipleRoot) {
  const int n = 2;
  const std::vector<std::vector<double>> M{{1.3, -0.4}, {0.7, 2.1}};
  const std::vector<double> b{0.25, -3.0};
  for (const int m : {3, 9, 12}) {
    for (const int variant : {0, 1, 2}) {
      SCOPED_TRACE(::testing::Message() << "m " << m << " variant " << variant);
      const Poly x = Variable(n, 0) + Constant(n, -1.0), y = Variable(n, 1) + Constant(n, -1.0);
      std::vector<Poly> f{x, Power(y, m) + x};
      std::vector<Complex> root{1.0, 1.0};
      if (variant == 1) f = {1e-6 * f[0], 1e6 * f[1]};
      if (variant == 2) {
        f = {Substitute(f[0], M, b), Substitute(f[1], M, b)};
        root = Solve(M, b, root);
      }
      std::vector<std::vector<Complex>> points;
      for (int k = 0; k < m; ++k)
        points.push_back({root[0] + 1e-14 * Unit(k, m), root[1] - 1e-14 * Unit(k, m)});
      const Verdicts v = Classify(System(f), EndPointsAsResult(n, points, m));
      EXPECT_EQ(v.onSets, 0);
      EXPECT_EQ(v.singularRoots, 1);
      EXPECT_EQ(v.largestMultiplicity, m);
      // Claimed on a line, the cluster's dual space stabilises within its m paths.
      for (const EndPointVerdict& p : TestClaims(System(f), points, 1, m)) {
        EXPECT_EQ(p.kind, PointClass::kSingular);
        EXPECT_EQ(p.rule, PointRule::kIsolatedByDualSpace);
      }
    }
  }
}

// x z, y z, z (z - 1) (in three unknowns: the plane z = 0 and the point (0, 0, 1)): a point of the
// plane claimed on a curve gets the plane's dimension; points 1e-2 off the isolated root and 0.3
// off the plane are no points of a set, whatever the slices said.
TEST(SetPoints, TheTestDecidesTheDimensionAndRefusesPointsOffEveryRoot) {
  const int n = 3;
  const Poly x = Variable(n, 0), y = Variable(n, 1), z = Variable(n, 2);
  const PolySystem s = System({x * z, y * z, z * (z + Constant(n, -1.0))});
  const std::vector<Complex> onPlane{Complex(0.3, -0.2), Complex(-1.7, 0.4), 0.0};
  for (const int claimed : {1, 2}) {
    const std::vector<EndPointVerdict> p = TestClaims(s, {onPlane}, claimed, 0);
    EXPECT_EQ(p[0].kind, PointClass::kOnSet);
    EXPECT_EQ(p[0].dimension, 2);
  }
  for (const std::vector<Complex>& off :
       {std::vector<Complex>{Complex(0.3, -0.2), Complex(-1.7, 0.4), 0.3},
        std::vector<Complex>{1e-2, -1e-2, 1.0}}) {
    const std::vector<EndPointVerdict> p = TestClaims(s, {off}, 1, 0);
    EXPECT_EQ(p[0].kind, PointClass::kSingular);
    EXPECT_EQ(p[0].rule, PointRule::kNoRootNearSet);
  }
}

// A linear space of dimension 3 in five unknowns, L1 = L2 = 0, inside every equation (products
// with random linear forms): its points have local dimension 3, found by the classification
// whatever the scale of the equations.
TEST(SetPoints, PointsOfAThreeDimensionalSpaceHaveDimensionThree) {
  const int n = 5;
  const std::vector<std::vector<double>> L{{1.0, -0.5, 0.25, 2.0, -1.0},
                                           {0.3, 1.0, -2.0, 0.5, 0.7}};
  auto linear = [&](std::vector<double> a, double c) {
    Poly p = Constant(n, c);
    for (int j = 0; j < n; ++j) p = p + a[j] * Variable(n, j);
    return p;
  };
  const Poly l1 = linear(L[0], 0.0), l2 = linear(L[1], 0.0);
  std::vector<Poly> f;
  for (int i = 0; i < n; ++i) {
    const Poly m1 = linear({0.5 + i, -1.0, 0.3 * i, 1.0, 0.2}, 1.0 + i);
    const Poly m2 = linear({1.0, 0.4 * i, -0.7, 0.1 + i, 1.0}, -2.0 + i);
    f.push_back(i == 0 ? l1 * m1 : i == 1 ? l2 * m2 : l1 * m1 + l2 * m2);
  }
  // A point with x3, x4, x5 free and L1 = L2 = 0 solved for x1, x2.
  const Complex x3(0.4, 0.1), x4(-1.2, 0.3), x5(0.8, -0.6);
  const Complex r1 = -(L[0][2] * x3 + L[0][3] * x4 + L[0][4] * x5);
  const Complex r2 = -(L[1][2] * x3 + L[1][3] * x4 + L[1][4] * x5);
  const double det = L[0][0] * L[1][1] - L[0][1] * L[1][0];
  const Complex x1 = (r1 * L[1][1] - L[0][1] * r2) / det, x2 = (L[0][0] * r2 - L[1][0] * r1) / det;
  const std::vector<Complex> point{x1, x2, x3, x4, x5};
  for (const double scale : {1.0, 1e-6, 1e6}) {
    SCOPED_TRACE(scale);
    std::vector<Poly> g;
    for (const Poly& p : f) g.push_back(scale * p);
    const Verdicts v = Classify(System(g), EndPointsAsResult(n, {point}, 0));
    EXPECT_EQ(v.onSets, 1);
    EXPECT_EQ(v.dimension, 3);
  }
}

}  // namespace
}  // namespace zormix
