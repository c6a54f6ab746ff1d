// Mask paint: the mask under the brush moves toward maskVal by the squared weight.
#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"

void paintMask(ClothMouseProc& state) {
    using namespace velmora::solver;
    if (!stateMatchesMesh(state)) return;
    float* mask = state.mask.data();
    const float* w = state.brushWeights.data();
    const float maskVal = state.settings.maskVal;
    concurrency::parallel_for_ranges(static_cast<int>(state.mask.size()), [=](int begin, int end) {
        for (int v = begin; v < end; ++v) mask[v] = paintedMask(mask[v], w[v], maskVal);
    });
}
