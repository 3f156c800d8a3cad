// Compiled with the flags of simdjson's AVX2 ("haswell") kernel (bench/CMakeLists.txt), so that
// its On-Demand code is that kernel's instead of the generic one. Inline functions shared with
// other sources may be emitted here with AVX2 instructions: this program needs an AVX2 CPU
// whenever it is linked with this source, and DecodeBench checks for one before anything runs.
#define ORVANE_SITE_BENCH_WALK_NS avx2_walk
#include "decode/OnDemandWalk.inl"

namespace orvane::site::bench {

OnDemandWalker avx2OnDemandWalker() { return avx2_walk::walker(); }

}  // namespace orvane::site::bench
