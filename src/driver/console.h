#ifndef ZORMIX_DRIVER_CONSOLE_H_
#define ZORMIX_DRIVER_CONSOLE_H_

#include <string_view>

namespace zormix {

// Writes one line to the console writer set by SetConsoleWriter (standard output by default).
void WriteConsoleLine(std::string_view line);

}  // namespace zormix

#endif  // ZORMIX_DRIVER_CONSOLE_H_
