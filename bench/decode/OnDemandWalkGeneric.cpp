#define ORVANE_SITE_BENCH_WALK_NS generic_walk
#include "decode/OnDemandWalk.inl"

namespace orvane::site::bench {

OnDemandWalker genericOnDemandWalker() { return generic_walk::walker(); }

#if defined(ORVANE_SITE_BENCH_AVX2_WALK)
bool avx2RunsHere() {
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
         __builtin_cpu_supports("pclmul");
}
#endif

}  // namespace orvane::site::bench
