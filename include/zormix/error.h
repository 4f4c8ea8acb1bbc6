#ifndef ZORMIX_ERROR_H_
#define ZORMIX_ERROR_H_

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zormix {

// What kind of error the solver throws. Values and identifiers cross language boundaries
// (MATLAB's err.identifier, the CLI's exit code): new codes are only ever appended.
enum class ErrorCode : std::uint8_t {
  kInvalidInput = 0,    // the input cannot be read or solved, or is too large for the solver
  kBadArgument = 1,     // an argument or option of the wrong type, size or value
  kOutOfMemory = 2,     // the machine ran out of memory during the solve
  kCannotWrite = 3,     // an output file cannot be written
  kCheckpoint = 4,      // a checkpoint file of another solve, or a damaged one
  kInterrupted = 5,     // the solve was stopped by SolveOptions::interrupted
  kInternal = 6,        // a fault of the solver itself
  kUnknownOption = 7,   // an option name that does not exist (MEX options struct)
  kResultTooLarge = 8,  // the MEX module's fixed-size results would exceed its memory limit
};

inline constexpr const char* kInvalidInputId = "zormix:invalidInput";
inline constexpr const char* kBadArgumentId = "zormix:badArgument";
inline constexpr const char* kOutOfMemoryId = "zormix:outOfMemory";
inline constexpr const char* kCannotWriteId = "zormix:cannotWrite";
inline constexpr const char* kCheckpointId = "zormix:checkpoint";
inline constexpr const char* kInterruptedId = "zormix:interrupted";
inline constexpr const char* kInternalId = "zormix:internal";
inline constexpr const char* kUnknownOptionId = "zormix:unknownOption";
inline constexpr const char* kResultTooLargeId = "zormix:resultTooLarge";

inline constexpr const char* kInterruptedMessage = "the solve was interrupted";

// The documented identifier of each code (docs/errors.md), one to one.
constexpr const char* ErrorIdentifier(ErrorCode code) {
  switch (code) {
    case ErrorCode::kInvalidInput:
      return kInvalidInputId;
    case ErrorCode::kBadArgument:
      return kBadArgumentId;
    case ErrorCode::kOutOfMemory:
      return kOutOfMemoryId;
    case ErrorCode::kCannotWrite:
      return kCannotWriteId;
    case ErrorCode::kCheckpoint:
      return kCheckpointId;
    case ErrorCode::kInterrupted:
      return kInterruptedId;
    case ErrorCode::kInternal:
      return kInternalId;
    case ErrorCode::kUnknownOption:
      return kUnknownOptionId;
    case ErrorCode::kResultTooLarge:
      return kResultTooLargeId;
  }
  return kInternalId;
}

// The one error the solver throws. The message is written for people: it says where (file,
// line, column when known) and what was expected; the code names the kind for programs.
// Numerical failures of single paths are never errors; they are counted.
class Error : public std::runtime_error {
 public:
  Error(ErrorCode code, const std::string& message)
      : std::runtime_error(message), code_(code), id_(ErrorIdentifier(code)) {}

  ErrorCode code() const { return code_; }
  const std::string& id() const { return id_; }

 private:
  ErrorCode code_;
  std::string id_;
};

}  // namespace zormix

#endif  // ZORMIX_ERROR_H_
