// Gather of the edge stage's slots into the deltas of the vertices that several chunks share.
#include "sdk/Parallel.h"
#include "solver/StageDetail.h"

namespace velmora::solver {

void gatherEdgeSlots(ClothMouseProc& state) {
    Point3* deltas = state.deltas.data();
    const Point3* slots = state.work.edgeSlots.data();
    const int* vertices = state.work.sharedVertices.data();
    const int* offsets = state.work.vertexSlotOffsets.data();
    const int* entries = state.work.vertexSlots.data();
    concurrency::parallel_for_ranges(static_cast<int>(state.work.sharedVertices.size()), [=](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            const int v = vertices[i];
            deltas[v] = gatheredDelta(deltas[v], slots, entries, offsets[v], offsets[v + 1]);
        }
    });
}

}  // namespace velmora::solver
