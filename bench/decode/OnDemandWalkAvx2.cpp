// Compiled with the flags of simdjson's AVX2 ("haswell") kernel (bench/CMakeLists.txt), so that
// its On-Demand code is that kernel's instead of the generic one. Inline functions shared with
// other sources may be kept in the form emitted here, with AVX2 instructions: a program linked
// with this source needs an AVX2 CPU, which DecodeBench's main() checks before anything else.
#define ORVANE_SITE_BENCH_WALK_NS avx2_walk
#include "decode/OnDemandWalk.inl"

namespace orvane::site::bench {

OnDemandWalker avx2OnDemandWalker() { return avx2_walk::walker(); }

}  // namespace orvane::site::bench
