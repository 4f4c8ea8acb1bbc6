#include "driver/console.h"

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "zormix/solve.h"

namespace zormix {
namespace {

std::function<void(std::string_view)>& Writer() {
  static std::function<void(std::string_view)> writer;
  return writer;
}

}  // namespace

void SetConsoleWriter(std::function<void(std::string_view line)> writer) {
  Writer() = std::move(writer);
}

void WriteConsoleLine(std::string_view line) {
  if (Writer()) {
    Writer()(line);
  } else {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
}

}  // namespace zormix
