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
//
// PHCpack's format: a first line with the number of polynomials, optionally followed by the number
// of variables, then that many polynomials, each ended by ';'. The variables are the names in
// order of first appearance (a term with coefficient 0 still names its variable), i and I are the
// imaginary unit, powers are written ^ or **, numbers as in the text syntax (1.5E-3); whatever
// follows the last polynomial (solutions, an END line, notes) is not read.
#ifndef ZORMIX_IO_H_
#define ZORMIX_IO_H_

#include <optional>
#include <string>
#include <string_view>

#include "zormix/poly_system.h"

namespace zormix {

// The formats a system may be written in.
enum class SystemFormat {
  kPsNum,  // the numeric "PS.num" format (ReadSystemFile)
  kText,   // polynomial text (ParsePolynomialText)
  kPhc,    // PHCpack's format (ParsePhcText)
};

// "psnum", "text" or "phc", as the command line and the Python package name them.
const char* SystemFormatName(SystemFormat format);
// The format of that name; empty for any other text.
std::optional<SystemFormat> SystemFormatNamed(std::string_view name);

// Which format `contents` is written in. PS.num when fileName ends in ".num", or when the first
// line that holds more than blanks is one integer and the next one holds integers only (the term
// count of the first equation); PHCpack's format when the first such line holds one or two
// integers and nothing else otherwise; polynomial text in every other case (so "2 x + y - 1" and
// "-9 - t^2" are text). A leading byte-order mark is skipped.
SystemFormat DetectSystemFormat(std::string_view contents, std::string_view fileName = {});

// Reads `contents` written in `format`; sourceName names it in messages. Throws Error as the
// reader of that format does.
PolySystem ParseSystem(std::string_view contents, std::string_view sourceName, SystemFormat format);

// Reads the file at path in the format DetectSystemFormat finds, and tells which one when format is
// not null. Throws Error naming the file when it cannot be opened or read.
PolySystem ReadAnySystemFile(const std::string& path, SystemFormat* format = nullptr);

// Reads a system in the "PS.num" format. Throws Error naming the file, the line and what was
// expected for a missing file, a premature end, a malformed value or an impossible size.
PolySystem ReadSystemFile(const std::string& path);

// Reads polynomial text (see above) into a system and expands every equation into monomials
// with exact integer exponents. Equal monomials are
// combined, terms whose coefficient is exactly zero are dropped, and the terms keep the order in
// which they first appear in the expansion. Fills n, termCount, exponents, coefficients and
// variableNames (padded), as the "PS.num" reader does. Throws Error "source:line:column: message"
// for anything it cannot read, and for a system that is not square. A text whose first line is
// a count (one or two integers alone) is PHCpack's format and read as ParsePhcText reads it; a
// number anywhere else alone on its line at the start of an equation is refused rather than
// multiplied into the equation that follows it.
PolySystem ParsePolynomialText(std::string_view text, std::string_view sourceName);

// Reads PHCpack's format (see above). Throws Error "source:line:column: message" for a count line
// that does not match the polynomials (fewer polynomials ended by ';' than it says, other than as
// many variables as polynomials), and for anything ParsePolynomialText refuses.
PolySystem ParsePhcText(std::string_view text, std::string_view sourceName);

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

// The system in PHCpack's format: the count line, then one polynomial per line ended by ';', with
// coefficients of the fewest digits that give back the same doubles and complex ones as
// (re + im*i). When the variables' order of first appearance is not their order, the first
// polynomial starts with terms 0*x that name them in order. Throws Error for a name that PHCpack
// would read otherwise: only letters, digits and '_', not beginning with a digit, with e, E
// (read as an exponent) or i, I (the imaginary unit).
std::string FormatPhcText(const PolySystem& system);

// The system written in `format`: FormatSystemFile, FormatPolynomialText or FormatPhcText.
std::string FormatSystem(const PolySystem& system, SystemFormat format);

// Writes FormatSystemFile(system) to path; the file appears complete or not at all.
void WriteSystemFile(const PolySystem& system, const std::string& path);

}  // namespace zormix

#endif  // ZORMIX_IO_H_
