#include "zormix/poly_system.h"

#include <string>

namespace zormix {

std::string PadVariableName(const std::string& name) {
  std::string padded = name.substr(0, kVariableNameLength);
  padded.resize(kVariableNameLength, ' ');
  return padded;
}

}  // namespace zormix
