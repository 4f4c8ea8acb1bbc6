// Writes a classic benchmark system: `make_system FAMILY N FORMAT` with FAMILY one of cyclic,
// katsura, noon, eco and FORMAT psnum (the solver's input) or phc (polynomials ending in ';').
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: make_system cyclic|katsura|noon|eco N psnum|phc\n";
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
  } else {
    std::cerr << "make_system: unknown family " << family << "\n";
    return 2;
  }
  if (format == "psnum") {
    WritePsNum(s);
  } else if (format == "phc") {
    WritePhc(s);
  } else {
    std::cerr << "make_system: unknown format " << format << "\n";
    return 2;
  }
  return 0;
}
