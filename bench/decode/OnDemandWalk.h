#pragma once

#include <cstddef>
#include <string_view>

namespace orvane::site::bench {

/// A walk of a whole reply with simdjson On-Demand: every key, string and number is read, as a
/// decoder into records must, but nothing is built. Its time is the least any On-Demand decoder
/// of the reply could take, set beside the DOM parse and the DOM walk.
struct OnDemandWalker {
  /// The simdjson kernel the walk's code was compiled for (its builtin implementation).
  const char* compiledFor;
  /// Walks `reply` (copied into a reused padded buffer first, as any caller's reply must be);
  /// adds what it read to `sum` so nothing is optimised away. False on a fault.
  bool (*walk)(std::string_view reply, std::size_t& sum);
};

/// Compiled for any x86-64, as the library is.
OnDemandWalker genericOnDemandWalker();
#if defined(ORVANE_SITE_BENCH_AVX2_WALK)
/// Compiled with the AVX2 kernel's target flags (OnDemandWalkAvx2.cpp): call only when
/// avx2RunsHere().
OnDemandWalker avx2OnDemandWalker();
/// Whether this CPU has what the AVX2 kernel needs (compiled for any x86-64).
bool avx2RunsHere();
#endif

}  // namespace orvane::site::bench
