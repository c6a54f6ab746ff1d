// Whether the 16-lane block paths run: on a processor with AVX-512, unless turned off.
#include "solver/WideBlocks.h"

namespace velmora::solver {
namespace {

bool processorHasWideBlocks() {
#if defined(VELMORA_HAS_WIDE_BLOCKS)
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
#else
    return false;
#endif
}

// Read once per stage call on the calling thread, set only by tests between calls.
bool wideAllowed = true;

}  // namespace

bool wideBlocksEnabled() {
    static const bool available = processorHasWideBlocks();
    return available && wideAllowed;
}

void allowWideBlocks(bool allowed) { wideAllowed = allowed; }

}  // namespace velmora::solver
