// Reading a whole system file, shared by the format-detecting reader and the front ends.
#ifndef ZORMIX_IO_SYSTEM_FORMAT_H_
#define ZORMIX_IO_SYSTEM_FORMAT_H_

#include <string>

namespace zormix {

// The bytes of the file at path. Throws Error kInvalidInput naming the path when it is a
// directory or cannot be opened or read.
std::string ReadFileContents(const std::string& path);

}  // namespace zormix

#endif  // ZORMIX_IO_SYSTEM_FORMAT_H_
