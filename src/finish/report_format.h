// Fixed-width fields of the report file, in the style of Fortran edit descriptors.
#ifndef ZORMIX_FINISH_REPORT_FORMAT_H_
#define ZORMIX_FINISH_REPORT_FORMAT_H_

#include <cstdint>
#include <string>

namespace zormix {

// E(w.d): "0.ddddE+xx" (d digits after the point, value rounded), right-justified in width w.
// A three-digit exponent is written "E+100" and takes the place of a leading blank; a field that
// still does not fit is written whole rather than cut. Zero is "0.000...E+00"; NaN and infinity
// are written as "NaN", "Infinity" and "-Infinity".
std::string FormatExponent(double value, int width, int digits);

// I8-style: right-justified in width w (wider numbers are written whole).
std::string FormatInteger(std::int64_t value, int width);

}  // namespace zormix

#endif  // ZORMIX_FINISH_REPORT_FORMAT_H_
