// The polynomial text parser below its entry points.
#ifndef ZORMIX_IO_POLY_TEXT_H_
#define ZORMIX_IO_POLY_TEXT_H_

#include <string_view>

#include "zormix/poly_system.h"

namespace zormix {

// ParsePolynomialText without the look for a count line: the whole text is read as equations.
PolySystem ParseEquationText(std::string_view text, std::string_view sourceName);

}  // namespace zormix

#endif  // ZORMIX_IO_POLY_TEXT_H_
