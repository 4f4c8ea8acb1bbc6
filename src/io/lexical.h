// Number and text helpers shared by the "PS.num" reader and the polynomial text parser.
#ifndef ZORMIX_IO_LEXICAL_H_
#define ZORMIX_IO_LEXICAL_H_

#include <optional>
#include <string>
#include <string_view>

namespace zormix {

// The UTF-8 byte-order mark some editors put at the start of a text file.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// `text` without a leading byte-order mark.
std::string_view SkipByteOrderMark(std::string_view text);

// The value of a decimal literal [+-]? digits [. digits] [e [+-] digits], whatever the locale:
// rounded to the nearest double, a value below the smallest subnormal giving a signed zero.
// Empty when the text is not such a literal or its value overflows the doubles.
std::optional<double> ParseDecimal(std::string_view text);

// `token` in single quotes for a message, cut to 40 characters and "..." when longer, so that a
// million-digit literal is not echoed whole; control characters are shown as \xNN.
std::string Shown(std::string_view token);

// Names of polynomial text: a letter or '_', then letters, digits or '_'.
bool IsNameStart(char c);
bool IsNameChar(char c);

// The words that open a declaration in polynomial text; a variable of that name is written quoted.
bool IsDeclarationWord(std::string_view word);

}  // namespace zormix

#endif  // ZORMIX_IO_LEXICAL_H_
