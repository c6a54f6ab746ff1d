// The edge stage: stretch toward the rest length, and bending for two-face edges.
#include <algorithm>

#include "sdk/Parallel.h"
#include "solver/BendingTerm.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"

namespace velmora::solver {

void applyEdgeChunks(ClothMouseProc& state, float stiffness) {
    EdgeConstraint* records = state.constraints.data();
    const int* slotBase = state.work.constraintSlotBase.data();
    const std::uint8_t* sharedRoles = state.work.constraintSharedRoles.data();
    const int numRecords = static_cast<int>(state.constraints.size());
    const int chunk = std::max(1, state.work.constraintChunk);
    const int numChunks = numRecords / chunk + (numRecords % chunk != 0 ? 1 : 0);
    const Point3* positions = state.mesh->verts.data();
    const Point3* normals = state.faceNormals.data();
    const float bendiness = state.settings.bendiness;
    const float plasticity = state.settings.plasticity;
    Point3* deltas = state.deltas.data();
    Point3* slots = state.work.edgeSlots.data();
    // One chunk per index: a chunk's records run in index order on one thread, so the vertices it
    // owns receive their contributions in the serial order.
    concurrency::parallel_for(0, numChunks, [=](int chunkIndex) {
        const int begin = chunkIndex * chunk;
        const int end = std::min(numRecords, begin + chunk);
        for (int c = begin; c < end; ++c) {
            if (sharedRoles[c] == 0) {
                DirectSink sink{deltas};
                applyEdgeRecord(records[c], positions, normals, stiffness, bendiness, plasticity, sink);
            } else {
                MixedSink sink{deltas, slots + slotBase[c], sharedRoles[c]};
                applyEdgeRecord(records[c], positions, normals, stiffness, bendiness, plasticity, sink);
            }
        }
    });
}

}  // namespace velmora::solver

void solveEdgeConstraints(ClothMouseProc& state) {
    using namespace velmora::solver;
    if (!stateMatchesMesh(state)) return;
    applyEdgeChunks(state, constraintStiffness(state.settings.iterations, state.settings.clothStrength));
    gatherEdgeSlots(state);
}
