// The "PS.num" reader on a stream.
#ifndef ZORMIX_IO_READER_H_
#define ZORMIX_IO_READER_H_

#include <istream>
#include <string>

#include "zormix/poly_system.h"

namespace zormix {

// Reads the five sections of the "PS.num" format from `in`; fileName is used in messages.
PolySystem ReadSystem(std::istream& in, const std::string& fileName);

}  // namespace zormix

#endif  // ZORMIX_IO_READER_H_
