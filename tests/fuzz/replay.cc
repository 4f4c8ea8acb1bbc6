// Replays the inputs kept in a folder through one fuzz target: zormix_fuzz_replay TARGET FOLDER.
// Exits 0 when every input passes; a failed property aborts, a memory error stops the sanitizers.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_targets.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zormix_fuzz_replay TARGET FOLDER\n");
    return 2;
  }
  const zormix::fuzz::Target target = zormix::fuzz::TargetNamed(argv[1]);
  if (target == nullptr) {
    std::fprintf(stderr, "unknown fuzz target '%s'\n", argv[1]);
    return 2;
  }
  std::vector<std::filesystem::path> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(argv[2])) {
    if (entry.is_regular_file() && entry.path().filename() != "README") {
      inputs.push_back(entry.path());
    }
  }
  std::sort(inputs.begin(), inputs.end());
  for (const auto& path : inputs) {
    std::ifstream in(path, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
      target(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), e.what());
      return 1;
    }
  }
  std::printf("%s: %zu inputs replayed\n", argv[1], inputs.size());
  return 0;
}
