// Gather of the edge stage's slots into the deltas of the vertices that several chunks share, and
// the stabilisation of busy vertices' edge response (rule in solver/EdgeResponseScale.h).
#include <cstring>

#include "sdk/Parallel.h"
#include "solver/EdgeResponseScale.h"
#include "solver/StageDetail.h"

namespace velmora::solver {

void loadAccumulator(ClothMouseProc& state) {
    Point3* deltas = state.deltas.data();
    Float4* accum = state.work.accum.data();
    concurrency::parallel_for_ranges(static_cast<int>(state.deltas.size()), [=](int begin, int end) {
        for (int v = begin; v < end; ++v) {
            Vec4::of(deltas[v]).store(accum[v]);
            deltas[v] = Point3(0.0f, 0.0f, 0.0f);
        }
    });
}

void storeAccumulator(ClothMouseProc& state) {
    Point3* deltas = state.deltas.data();
    Float4* accum = state.work.accum.data();
    concurrency::parallel_for_ranges(static_cast<int>(state.deltas.size()), [=](int begin, int end) {
        for (int v = begin; v < end; ++v) {
            deltas[v] = Vec4::load(accum[v]).point();
            accum[v] = Float4{};
        }
    });
}

void gatherEdgeSlots(ClothMouseProc& state) {
    Float4* accum = state.work.accum.data();
    const Float4* slots = state.work.edgeSlots.data();
    const int* vertices = state.work.sharedVertices.data();
    const int* offsets = state.work.vertexSlotOffsets.data();
    concurrency::parallel_for_ranges(static_cast<int>(state.work.sharedVertices.size()), [=](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            const int v = vertices[i];
            gatheredDelta(Vec4::load(accum[v]), slots, offsets[v], offsets[v + 1]).store(accum[v]);
        }
    });
}

}  // namespace velmora::solver

namespace velmora::solver {

bool refreshEdgeScales(ClothMouseProc& state, float stiffness, float step) {
    ClothWorkspace& w = state.work;
    const std::size_t numVerts = state.deltas.size();
    if (state.exactSolver || w.edgeScale.size() != numVerts || w.edgeRecordCount.size() != numVerts ||
        w.scaledVertices.size() != numVerts || w.heldDeltas.size() != numVerts) {
        return false;
    }
    const float damping = state.settings.damping;
    // Bitwise comparison: a damping that is not a number still matches itself.
    const bool same = w.scalesValid && std::memcmp(&w.scaleStiffness, &stiffness, sizeof(float)) == 0 &&
                      std::memcmp(&w.scaleStep, &step, sizeof(float)) == 0 &&
                      std::memcmp(&w.scaleDamping, &damping, sizeof(float)) == 0;
    if (!same) fillEdgeScales(w, stiffness, step, damping);
    return w.scaledCount > 0;
}

void holdScaledDeltas(ClothMouseProc& state) {
    Float4* accum = state.work.accum.data();
    Float4* held = state.work.heldDeltas.data();
    const int* scaled = state.work.scaledVertices.data();
    concurrency::parallel_for_ranges(state.work.scaledCount, [=](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            const int v = scaled[i];
            held[i] = accum[v];
            accum[v] = Float4{};
        }
    });
}

void scaleHeldVertices(ClothMouseProc& state) {
    Float4* accum = state.work.accum.data();
    const Float4* held = state.work.heldDeltas.data();
    const int* scaled = state.work.scaledVertices.data();
    const float* scale = state.work.edgeScale.data();
    Float4* slots = state.work.edgeSlots.data();
    const int* offsets = state.work.vertexSlotOffsets.data();
    concurrency::parallel_for_ranges(state.work.scaledCount, [=](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            const int v = scaled[i];
            // The vertex's whole edge response: what its first chunk added, then its slots, which
            // are emptied so that the integration's gather adds nothing more for it.
            const Vec4 response = gatheredDelta(Vec4::load(accum[v]), slots, offsets[v], offsets[v + 1]);
            for (int j = offsets[v]; j < offsets[v + 1]; ++j) slots[j] = Float4{};
            (Vec4::load(held[i]) + response * scale[v]).store(accum[v]);
        }
    });
}

}  // namespace velmora::solver
