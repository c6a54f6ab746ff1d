// The brush move: every vertex follows the move vector by its eased brush weight.
#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"

namespace velmora::solver {
void addMoveToAccumulator(ClothMouseProc& state, const Point3& moveVector) {
    Float4* accum = state.work.accum.data();
    const float* weights = state.brushWeights.data();
    const Point3 move = moveVector;
    concurrency::parallel_for_ranges(static_cast<int>(state.deltas.size()), [=](int begin, int end) {
        for (int v = begin; v < end; ++v) addInto(accum[v], Vec4::of(move * moveEase(weights[v])));
    });
}
}  // namespace velmora::solver

void applyMoveFalloff(ClothMouseProc& state, const Point3& moveVector) {
    using namespace velmora::solver;
    if (!stateMatchesMesh(state)) return;
    loadAccumulator(state);
    addMoveToAccumulator(state, moveVector);
    storeAccumulator(state);
}
