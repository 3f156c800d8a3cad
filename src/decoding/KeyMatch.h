#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace orvane::site::decoding {

/// Compares two keys with a few word-sized loads (overlapping at the end, never past either
/// key). Every member of every object goes through here, and a call to memcmp per member
/// costs more than the comparison itself.
inline bool sameKey(std::string_view a, std::string_view b) noexcept {
  const std::size_t size = a.size();
  if (size != b.size()) return false;
  const char* x = a.data();
  const char* y = b.data();
  const auto load64 = [](const char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    return word;
  };
  const auto load32 = [](const char* p) {
    std::uint32_t word = 0;
    std::memcpy(&word, p, sizeof word);
    return word;
  };
  if (size >= 8) {
    for (std::size_t i = 0; i + 8 < size; i += 8) {
      if (load64(x + i) != load64(y + i)) return false;
    }
    return load64(x + size - 8) == load64(y + size - 8);
  }
  if (size >= 4) return load32(x) == load32(y) && load32(x + size - 4) == load32(y + size - 4);
  for (std::size_t i = 0; i < size; ++i) {
    if (x[i] != y[i]) return false;
  }
  return true;
}

}  // namespace orvane::site::decoding
