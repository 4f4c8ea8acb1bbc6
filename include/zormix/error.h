#ifndef ZORMIX_ERROR_H_
#define ZORMIX_ERROR_H_

#include <stdexcept>
#include <string>
#include <utility>

namespace zormix {

// Identifier of an error about the input or its size; the front ends hand it to the host
// (MATLAB/Octave err.identifier) so that callers can catch one kind of error.
inline constexpr const char* kInvalidInputId = "zormix:invalidInput";
// Identifier of a solve stopped by SolveOptions::interrupted.
inline constexpr const char* kInterruptedId = "zormix:interrupted";
inline constexpr const char* kInterruptedMessage = "the solve was interrupted";
// Identifier of a solve that does not fit in the machine's memory.
inline constexpr const char* kOutOfMemoryId = "zormix:outOfMemory";

// The one error the solver throws: invalid input, a problem too large for the solver's integer
// types, or an interrupted solve. The message is written for people: it says where (file, line,
// column when known) and what was expected; the identifier names the kind. Numerical failures of
// single paths are never errors; they are counted.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : Error(kInvalidInputId, message) {}
  Error(std::string id, const std::string& message)
      : std::runtime_error(message), id_(std::move(id)) {}

  const std::string& id() const { return id_; }

 private:
  std::string id_;
};

}  // namespace zormix

#endif  // ZORMIX_ERROR_H_
