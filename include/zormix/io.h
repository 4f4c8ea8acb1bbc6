// Polynomial systems written the way people write them, and the "PS.num" writer.
//
// Text syntax:
//   - Statements end with ';'. When the text holds no ';' besides the one that may end the
//     variable declaration, every line is one statement
//     (a line continues while a parenthesis is open or when it ends with an operator).
//   - An optional first statement declares the variables and their order:
//       variables x, y, z;      (also "vars"; names separated by commas or blanks)
//     Without it, every name other than i and I is a variable, in order of first appearance.
//   - Every other statement is one equation: an expression, or "lhs = rhs" meaning lhs - rhs.
//   - Numbers: 2, 2.5, .5, 1e-3, 2.5E+7. The imaginary unit is i or I unless declared as a
//     variable; a complex constant may also be written as a pair (re, im), e.g. (1.5, -2).
//   - Operators: + - * / ^ ** and parentheses ('/' only by a nonzero constant); a product may
//     be written without '*' (2x, 3 x y, 2(x+1), 2.5i). Powers take non-negative integer
//     exponents only: x^3, (x+y)^2.
//   - Names: a letter or '_' followed by letters, digits and '_', or any text in double quotes
//     ("x 1"); at most kVariableNameLength characters, and distinct once padded to that length.
//   - Comments run from '#' or "//" to the end of the line. A UTF-8 byte-order mark at the start
//     is skipped (by the "PS.num" reader as well).
//   - Limits: parentheses nest at most 256 deep; an expansion holds at most a million terms
//     (the limits of model/limits.h, refused with the figure before the expansion is built when
//     it can be bounded).
#ifndef ZORMIX_IO_H_
#define ZORMIX_IO_H_

#include <string>
#include <string_view>

#include "zormix/poly_system.h"

namespace zormix {

// Reads a system in the "PS.num" format. Throws Error naming the file, the line and what was
// expected for a missing file, a premature end, a malformed value or an impossible size.
PolySystem ReadSystemFile(const std::string& path);

// Expands every equation into monomials with exact integer exponents. Equal monomials are
// combined, terms whose coefficient is exactly zero are dropped, and the terms keep the order in
// which they first appear in the expansion. Fills n, termCount, exponents, coefficients and
// variableNames (padded), as the "PS.num" reader does. Throws Error "source:line:column: message"
// for anything it cannot read, and for a system that is not square.
PolySystem ParsePolynomialText(std::string_view text, std::string_view sourceName);

// As ParsePolynomialText, for a system of any shape: any number of equations (at least one) in
// the variables, so termCount may have more or fewer than n entries. Only Decompose takes such a
// system; a square one is the same as ParsePolynomialText's.
PolySystem ParseEquationsText(std::string_view text, std::string_view sourceName);

// The system as text that ParsePolynomialText reads back to the same system: a variable
// declaration, then one equation per line. Coefficients are written with the fewest digits that
// give back the same doubles.
std::string FormatPolynomialText(const PolySystem& system);

// The system in the "PS.num" format: n, the term counts, one exponent vector per line, one
// "(re,im)" coefficient per line (17 significant digits, so values read back exactly), one name
// per line (quoted when it holds blanks, commas or slashes). Throws Error for a system the solve
// would refuse (see ValidateSystem): inconsistent sizes, a coefficient that is not finite, a name
// with a control character, an equation that is identically zero or a variable in no equation.
std::string FormatSystemFile(const PolySystem& system);

// Writes FormatSystemFile(system) to path; the file appears complete or not at all.
void WriteSystemFile(const PolySystem& system, const std::string& path);

}  // namespace zormix

#endif  // ZORMIX_IO_H_
