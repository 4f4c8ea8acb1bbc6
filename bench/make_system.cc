// Writes a classic benchmark system: `make_system FAMILY N FORMAT` with FAMILY one of cyclic,
// katsura, noon, eco, dense2, dense3 (every monomial of degree <= 2 or 3 in N variables, fixed
// pseudo-random real coefficients in [-1, 1]) and FORMAT psnum (the solver's input) or phc
// (polynomials ending in ';').
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "support/systems.h"

namespace {

using zormix::PolySystem;

std::string Trimmed(const std::string& name) {
  return name.substr(0, name.find_last_not_of(' ') + 1);
}

std::string Number(double v) {
  std::ostringstream out;
  out.precision(17);
  out << v;
  return out.str();
}

void WritePsNum(const PolySystem& s) {
  std::cout << s.n << "\n";
  for (int c : s.termCount) std::cout << c << "\n";
  for (std::int64_t p = 0; p < s.termTotal(); ++p) {
    for (int k = 0; k < s.n; ++k) std::cout << (k ? " " : "") << s.exponents(k, p);
    std::cout << "\n";
  }
  for (const auto& c : s.coefficients) {
    std::cout << "(" << Number(c.real()) << "," << Number(c.imag()) << ")\n";
  }
  for (const auto& name : s.variableNames) std::cout << Trimmed(name) << "\n";
}

void WritePhc(const PolySystem& s) {
  std::cout << s.n << "\n";
  std::int64_t p = 0;
  for (int i = 0; i < s.n; ++i) {
    std::cout << " ";
    for (int t = 0; t < s.termCount[i]; ++t, ++p) {
      const double c = s.coefficients[p].real();
      std::cout << (t == 0 ? (c < 0 ? "-" : "") : (c < 0 ? " - " : " + ")) << Number(std::abs(c));
      for (int k = 0; k < s.n; ++k) {
        const int e = s.exponents(k, p);
        if (e == 0) continue;
        std::cout << "*" << Trimmed(s.variableNames[k]);
        if (e > 1) std::cout << "^" << e;
      }
    }
    std::cout << ";\n";
  }
}

// All exponent vectors of n variables with total degree <= d, in lexicographic order.
void Monomials(int n, int d, std::vector<std::int32_t>& e, int k,
               std::vector<std::vector<std::int32_t>>& out) {
  if (k == n) {
    out.push_back(e);
    return;
  }
  int used = 0;
  for (int l = 0; l < k; ++l) used += e[l];
  for (int a = 0; a + used <= d; ++a) {
    e[k] = a;
    Monomials(n, d, e, k + 1, out);
  }
  e[k] = 0;
}

PolySystem Dense(int n, int d) {
  std::vector<std::vector<std::int32_t>> monomials;
  std::vector<std::int32_t> e(static_cast<std::size_t>(n), 0);
  Monomials(n, d, e, 0, monomials);
  std::uint64_t state = 12345;  // a fixed LCG: the same system on every run and machine
  auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) * 0x1.0p-53 * 2.0 - 1.0;
  };
  std::vector<zormix::testing::Equation> equations(static_cast<std::size_t>(n));
  for (auto& equation : equations) {
    for (const auto& m : monomials) equation.push_back({m, zormix::Complex(next(), 0.0)});
  }
  return zormix::testing::BuildSystem(equations);
}

// gfan reads names that end in digits wrongly (x10 becomes x1 times 0): letters only, a..z, aa...
std::string LetterName(int k) {
  std::string name;
  for (++k; k > 0; k = (k - 1) / 26)
    name.insert(name.begin(), static_cast<char>('a' + (k - 1) % 26));
  return name;
}

// Q[a,b,...] {poly, poly, ...} with every coefficient 1 (gfan's mixed volume needs the supports
// only), a constant term added to every equation as the solver's normal form does.
void WriteGfan(const PolySystem& s) {
  std::cout << "Q[";
  for (int k = 0; k < s.n; ++k) std::cout << (k ? "," : "") << LetterName(k);
  std::cout << "]\n{";
  std::int64_t p = 0;
  for (int i = 0; i < s.n; ++i) {
    std::cout << (i ? ",\n" : "");
    bool constant = false;
    for (int t = 0; t < s.termCount[i]; ++t, ++p) {
      std::string monomial;
      for (int k = 0; k < s.n; ++k) {
        const int e = s.exponents(k, p);
        if (e == 0) continue;
        if (!monomial.empty()) monomial.push_back('*');
        monomial.append(LetterName(k));
        if (e > 1) monomial.append("^").append(std::to_string(e));
      }
      constant = constant || monomial.empty();
      std::cout << (t ? "+" : "") << (monomial.empty() ? "1" : monomial);
    }
    if (!constant) std::cout << "+1";
  }
  std::cout << "}\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: make_system cyclic|katsura|noon|eco|dense2|dense3 N psnum|phc|gfan\n";
    return 2;
  }
  const std::string family = argv[1], format = argv[3];
  const int n = std::atoi(argv[2]);
  PolySystem s;
  if (family == "cyclic") {
    s = zormix::testing::Cyclic(n);
  } else if (family == "katsura") {
    s = zormix::testing::Katsura(n);
  } else if (family == "noon") {
    s = zormix::testing::Noon(n);
  } else if (family == "eco") {
    s = zormix::testing::Eco(n);
  } else if (family == "dense2" || family == "dense3") {
    s = Dense(n, family == "dense2" ? 2 : 3);
  } else {
    std::cerr << "make_system: unknown family " << family << "\n";
    return 2;
  }
  if (format == "psnum") {
    WritePsNum(s);
  } else if (format == "phc") {
    WritePhc(s);
  } else if (format == "gfan") {
    WriteGfan(s);
  } else {
    std::cerr << "make_system: unknown format " << format << "\n";
    return 2;
  }
  return 0;
}
