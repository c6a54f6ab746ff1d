// Shrink: rest lengths under the brush shrink by up to 2 % per step.
#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"

void shrinkRestLengths(ClothMouseProc& state) {
    using namespace velmora::solver;
    if (!stateMatchesMesh(state)) return;
    EdgeConstraint* records = state.constraints.data();
    const float* w = state.brushWeights.data();
    const float* m = state.mask.data();
    const bool masked = state.settings.useVCMask;
    concurrency::parallel_for_ranges(static_cast<int>(state.constraints.size()), [=](int begin, int end) {
        for (int c = begin; c < end; ++c) {
            EdgeConstraint& r = records[c];
            const float a = masked ? edgeWeightMasked(w[r.vert0], m[r.vert0], w[r.vert1], m[r.vert1])
                                   : edgeWeight(w[r.vert0], w[r.vert1]);
            r.restLength = shrunkRestLength(r.restLength, a);
        }
    });
}
