// Gather of the edge stage's slots into the deltas of the vertices that several chunks share.
#include "sdk/Parallel.h"
#include "solver/StageDetail.h"

namespace velmora::solver {

void gatherEdgeSlots(ClothMouseProc& state) {
    Point3* deltas = state.deltas.data();
    const Point3* slots = state.work.edgeSlots.data();
    const int* vertices = state.work.sharedVertices.data();
    const int* offsets = state.work.sharedSlotOffsets.data();
    const int* entries = state.work.sharedSlots.data();
    concurrency::parallel_for_ranges(static_cast<int>(state.work.sharedVertices.size()), [=](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            // Ascending slot order is the order of a serial loop over the records.
            Point3 d = deltas[vertices[i]];
            for (int j = offsets[i]; j < offsets[i + 1]; ++j) d += slots[entries[j]];
            deltas[vertices[i]] = d;
        }
    });
}

}  // namespace velmora::solver
