// Small text helpers shared by the readers, writers and reports.
#ifndef ZORMIX_BASE_TEXT_H_
#define ZORMIX_BASE_TEXT_H_

#include <string>
#include <string_view>

namespace zormix {

// `text` without its trailing blanks (variable names are stored padded to a fixed width).
inline std::string TrimTrailingBlanks(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

}  // namespace zormix

#endif  // ZORMIX_BASE_TEXT_H_
