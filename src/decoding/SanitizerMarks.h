#pragma once

#include <cstddef>

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif

// Memory handed out and taken back by the library's own allocators, marked for AddressSanitizer
// so that a record used after its death is still caught. Both are no-ops in other builds.

namespace orvane::site::decoding {

inline void markUsable([[maybe_unused]] const void* memory,
                       [[maybe_unused]] std::size_t bytes) noexcept {
#if defined(ASAN_UNPOISON_MEMORY_REGION)
  ASAN_UNPOISON_MEMORY_REGION(memory, bytes);
#endif
}

inline void markUnusable([[maybe_unused]] const void* memory,
                         [[maybe_unused]] std::size_t bytes) noexcept {
#if defined(ASAN_POISON_MEMORY_REGION)
  ASAN_POISON_MEMORY_REGION(memory, bytes);
#endif
}

}  // namespace orvane::site::decoding
