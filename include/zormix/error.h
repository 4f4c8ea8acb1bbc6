#ifndef ZORMIX_ERROR_H_
#define ZORMIX_ERROR_H_

#include <stdexcept>
#include <string>

namespace zormix {

// The one error the solver throws: invalid input, or a problem too large for the solver's integer
// types. The message is written for people: it says where (file, line, column when known) and what
// was expected. Numerical failures of single paths are never errors; they are counted.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace zormix

#endif  // ZORMIX_ERROR_H_
