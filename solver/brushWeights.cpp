// Brush weights: 1 at the brush point, linear to 0 at the brush radius.
#include <algorithm>

#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"

void computeBrushWeights(ClothMouseProc& state) {
    using namespace velmora::solver;
    if (!state.mesh) return;
    const int n = std::min(state.mesh->getNumVerts(), static_cast<int>(state.brushWeights.size()));
    const Point3* positions = state.mesh->verts.data();
    float* weights = state.brushWeights.data();
    const Point3 c = state.brushFrame.GetTrans();
    const float r = state.brushRadius;
    const float r2 = r * r;
    const float invR = 1.0f / r;
    concurrency::parallel_for_ranges(n, [=](int begin, int end) {
        for (int v = begin; v < end; ++v) {
            const Point3 p = positions[v];
            const float dx = p.x - c.x, dy = p.y - c.y, dz = p.z - c.z;
            weights[v] = brushWeight(dx * dx + dy * dy + dz * dz, r2, invR);
        }
    });
}
