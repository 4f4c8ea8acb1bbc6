// libFuzzer entry point of the target named by ZORMIX_FUZZ_TARGET_NAME.
#include <cstddef>
#include <cstdint>

#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const zormix::fuzz::Target target = zormix::fuzz::TargetNamed(ZORMIX_FUZZ_TARGET_NAME);
  target(data, size);
  return 0;
}
