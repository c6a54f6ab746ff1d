// Pressure: a push along each vertex's normalised normal sum.
#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"

namespace velmora::solver {
void addPressureToAccumulator(ClothMouseProc& state) {
    Float4* accum = state.work.accum.data();
    Point3* sums = state.vertexNormals.data();
    const float pressure = state.settings.pressure;
    concurrency::parallel_for_ranges(static_cast<int>(state.deltas.size()), [=](int begin, int end) {
        for (int v = begin; v < end; ++v) {
            addInto(accum[v], Vec4::of(pressurePush(sums[v], pressure)));
            sums[v] = Point3(0.0f, 0.0f, 0.0f);
        }
    });
}
}  // namespace velmora::solver

void applyPressure(ClothMouseProc& state) {
    using namespace velmora::solver;
    if (!stateMatchesMesh(state)) return;
    loadAccumulator(state);
    addPressureToAccumulator(state);
    storeAccumulator(state);
}
