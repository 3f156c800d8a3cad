#pragma once

#include <cstdint>
#include <string_view>

namespace orvane::site::standin::detail {

/// FNV-1a, 64 bits: the same text gives the same number on every run and machine, which keeps
/// identifiers and generated details of a place stable.
inline std::uint64_t stableHash(std::string_view text, std::uint64_t seed = 0) {
  std::uint64_t hash = 14695981039346656037ull ^ seed;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace orvane::site::standin::detail
