// Systems, points and changes of coordinates shared by the tests of the local analysis.
#ifndef ZORMIX_TESTS_LOCAL_LOCAL_TEST_SUPPORT_H_
#define ZORMIX_TESTS_LOCAL_LOCAL_TEST_SUPPORT_H_

#include <algorithm>
#include <cctype>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "local/dual_space.h"
#include "local/local_dimension.h"
#include "local/taylor.h"
#include "zormix/io.h"

namespace zormix {

inline PolySystem Parse(const std::string& text) { return ParsePolynomialText(text, "test"); }

// The dual space of `system` at x, treated as accurate to `accuracy`, up to multiplicity bound.
inline DualSpace DualAt(const PolySystem& system, const std::vector<Complex>& x, int bound,
                        double accuracy = 1e-15) {
  const LocalUnits units = UnitsAt(system, x.data(), NaturalSizes(system), {}, bound + 1);
  return DualSpaceAt(system, x.data(), units, accuracy, bound);
}

// m end points around `root`, each `offset` times max(1, |root_k|) off in every coordinate, in
// random directions: what tracking leaves at a root of multiplicity m, and worse (the end game's
// points lie on the curves through the root, these anywhere).
inline std::vector<std::vector<Complex>> EndPointsAround(const std::vector<Complex>& root, int m,
                                                         double offset, unsigned seed = 1) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> angle(0.0, 2.0 * M_PI);
  std::vector<std::vector<Complex>> points;
  for (int p = 0; p < m; ++p) {
    std::vector<Complex> x = root;
    for (Complex& v : x) v += offset * std::max(1.0, std::abs(v)) * std::polar(1.0, angle(random));
    points.push_back(std::move(x));
  }
  return points;
}

// A change of coordinates x_i = sum_j A_ij u_j + b_i, written into the text of a system in the
// variables `from` (as decimals: the rounding of the coefficients is part of the change).
struct CoordinateChange {
  std::string name;
  std::vector<std::string> to;
  std::vector<std::vector<double>> A;
  std::vector<double> b;
  double equationScale = 1.0;  // every equation multiplied by it

  std::string Apply(const std::string& text, const std::vector<std::string>& from) const {
    std::string out;
    for (std::size_t p = 0; p < text.size();) {  // names replaced as whole words
      std::size_t end = p;
      while (end < text.size() &&
             (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
        ++end;
      if (end == p) {
        out += text[p++];
        continue;
      }
      const std::string word = text.substr(p, end - p);
      const auto i = std::find(from.begin(), from.end(), word);
      out += i == from.end() ? word : Substitute(static_cast<std::size_t>(i - from.begin()));
      p = end;
    }
    std::ostringstream scaled;
    scaled.precision(17);
    std::string declaration = "variables ";
    for (std::size_t j = 0; j < to.size(); ++j) declaration += (j ? ", " : "") + to[j];
    scaled << declaration << ";";
    std::stringstream equations(out);
    for (std::string equation; std::getline(equations, equation, ';');)
      if (equation.find_first_not_of(" \n") != std::string::npos)
        scaled << equationScale << " (" << equation << ");";
    return scaled.str();
  }
  // The text of x_i: "( + A_i0 u_0 + ... + b_i)".
  std::string Substitute(std::size_t i) const {
    std::ostringstream sub;
    sub.precision(17);
    sub << "(";
    for (std::size_t j = 0; j < to.size(); ++j)
      if (A[i][j] != 0.0) sub << " + " << A[i][j] << " " << to[j];
    sub << " + " << b[i] << ")";
    return sub.str();
  }
  // u with A u + b = x (Gaussian elimination with partial pivoting).
  std::vector<Complex> Preimage(const std::vector<Complex>& x) const {
    const std::size_t n = x.size();
    std::vector<std::vector<Complex>> M(n, std::vector<Complex>(n + 1));
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j) M[i][j] = A[i][j];
      M[i][n] = x[i] - b[i];
    }
    for (std::size_t c = 0; c < n; ++c) {
      std::size_t p = c;
      for (std::size_t r = c; r < n; ++r)
        if (std::abs(M[r][c]) > std::abs(M[p][c])) p = r;
      std::swap(M[c], M[p]);
      for (std::size_t r = 0; r < n; ++r) {
        if (r == c) continue;
        const Complex f = M[r][c] / M[c][c];
        for (std::size_t k = c; k <= n; ++k) M[r][k] -= f * M[c][k];
      }
    }
    std::vector<Complex> u(n);
    for (std::size_t i = 0; i < n; ++i) u[i] = M[i][n] / M[i][i];
    return u;
  }
  // The size coordinate u_j is measured in: 1 / max_i |A_ij|.
  double Scale(std::size_t j) const {
    double largest = 0.0;
    for (const auto& row : A) largest = std::max(largest, std::abs(row[j]));
    return 1.0 / largest;
  }
};

}  // namespace zormix

#endif  // ZORMIX_TESTS_LOCAL_LOCAL_TEST_SUPPORT_H_
