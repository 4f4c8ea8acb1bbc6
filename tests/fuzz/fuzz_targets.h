// Fuzz targets: each takes one input, must never crash, hang or leak, and throws nothing but
// zormix::Error (which it swallows). A property that fails aborts, so the fuzzer keeps the input.
#ifndef ZORMIX_TESTS_FUZZ_FUZZ_TARGETS_H_
#define ZORMIX_TESTS_FUZZ_FUZZ_TARGETS_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace zormix::fuzz {

// The "PS.num" reader; what it accepts is written back and must read back the same.
void PsNumTarget(const std::uint8_t* data, std::size_t size);
// The text parser; what it accepts must survive text -> PS.num -> text unchanged.
void TextTarget(const std::uint8_t* data, std::size_t size);
// A whole solve of small systems read as text (n <= 3, total degree <= 4 per equation); the first
// byte picks the route.
void SolveTarget(const std::uint8_t* data, std::size_t size);

// The checkpoint reader: a file of records for a solve of 2 variables and 4 paths. The first byte
// picks the route (bit 0), whether the rest follows a valid header (bit 1) or is the whole file,
// and whether the checksums of whole records are made right (bit 2) so that their fields are
// reached. An accepted file must account for every path, and reading it again (after its repair)
// must restore the same paths.
void CheckpointTarget(const std::uint8_t* data, std::size_t size);

// The values of a sweep (`zormix sweep FAMILY VALUES`); the first byte picks 1 to 4 values per
// line. What it accepts is finite, one value per parameter, and reads back the same written as
// pairs.
void ValuesTarget(const std::uint8_t* data, std::size_t size);
// The start-file reader; an accepted start is written back and must read back the same, and is
// then checked against a small family (refused or accepted, never a crash).
void StartTarget(const std::uint8_t* data, std::size_t size);

// The target of a name as used in tests/fuzz/regressions/<name>/; null for an unknown name.
using Target = void (*)(const std::uint8_t*, std::size_t);
Target TargetNamed(const std::string& name);

}  // namespace zormix::fuzz

#endif  // ZORMIX_TESTS_FUZZ_FUZZ_TARGETS_H_
