#pragma once

// Whether this test program runs under AddressSanitizer or ThreadSanitizer, which make every
// step several times slower: bounds on real time leave such builds a wider margin.
namespace orvane::site::testing {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

}  // namespace orvane::site::testing
