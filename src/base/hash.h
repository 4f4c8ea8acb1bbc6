// FNV-1a 64, the one hash of the solver (checkpoint checksums and system identity, hash tables).
#ifndef ZORMIX_BASE_HASH_H_
#define ZORMIX_BASE_HASH_H_

#include <cstddef>
#include <cstdint>

namespace zormix {

inline constexpr std::uint64_t kFnv1aOffsetBasis = 14695981039346656037ull;
inline constexpr std::uint64_t kFnv1aPrime = 1099511628211ull;

// h = (h xor byte) * 1099511628211 over the bytes, from `h` (the offset basis for a fresh hash;
// a previous result to continue one).
inline std::uint64_t Fnv1a(const void* data, std::size_t size,
                           std::uint64_t h = kFnv1aOffsetBasis) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    h ^= bytes[i];
    h *= kFnv1aPrime;
  }
  return h;
}

}  // namespace zormix

#endif  // ZORMIX_BASE_HASH_H_
