// Expand: rest lengths under the brush grow by up to 1 % per step.
#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"

void expandRestLengths(ClothMouseProc& state, const Point3& strokeDirection) {
    using namespace velmora::solver;
    if (!stateMatchesMesh(state)) return;
    EdgeConstraint* records = state.constraints.data();
    const float* w = state.brushWeights.data();
    const float* m = state.mask.data();
    const Point3* positions = state.mesh->verts.data();
    const bool masked = state.settings.useVCMask;
    const bool directional = state.settings.directionalExpand;
    const Point3 direction = strokeDirection;
    concurrency::parallel_for_ranges(static_cast<int>(state.constraints.size()), [=](int begin, int end) {
        for (int c = begin; c < end; ++c) {
            EdgeConstraint& r = records[c];
            float a = masked ? edgeWeightMasked(w[r.vert0], m[r.vert0], w[r.vert1], m[r.vert1])
                             : edgeWeight(w[r.vert0], w[r.vert1]);
            // Edges along the stroke keep their weight, edges across it lose it.
            if (directional) a = a * directionalFactor(positions[r.vert0], positions[r.vert1], direction);
            r.restLength = expandedRestLength(r.restLength, a);
        }
    });
}
