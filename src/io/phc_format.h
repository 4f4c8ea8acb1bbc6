// PHCpack's format: the count line its files begin with, shared by its reader, the text parser
// and the detection of a file's format.
#ifndef ZORMIX_IO_PHC_FORMAT_H_
#define ZORMIX_IO_PHC_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zormix {

// The first line of a PHCpack file: the number of polynomials, then optionally the number of
// variables. Counts too large for 64 bits saturate at the largest value.
struct PhcCountLine {
  std::int64_t polynomials = 0;
  std::optional<std::int64_t> variables;
  std::size_t begin = 0;  // offset of the line's first character in the text
  std::size_t end = 0;    // offset just past its last character (before the line end)
  int line = 1;           // 1-based
};

// The first line of `text` that holds more than blanks, when it holds one or two unsigned decimal
// integers and nothing else; empty otherwise.
std::optional<PhcCountLine> FindPhcCountLine(std::string_view text);

}  // namespace zormix

#endif  // ZORMIX_IO_PHC_FORMAT_H_
