// Integration: deltas and gravity into velocity, velocity into position, damping, ground.
#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"

namespace {
using namespace velmora::solver;

// kGather: add the vertex's edge-stage slots to its delta first (see integrateGathering).
// kNextMove: leave the next iteration's brush move in the cleared delta (see integrateGathering).
template <bool kGather, bool kNextMove>
void integrate(ClothMouseProc& state, const Point3& gravityVector, float stepFactor, const Point3& nextMove) {
    Point3* positions = state.mesh->verts.data();
    Point3* velocities = state.velocities.data();
    Float4* accum = state.work.accum.data();
    const float* mask = state.mask.data();
    const float* weights = state.brushWeights.data();
    const Float4* slots = state.work.edgeSlots.data();
    const int* offsets = state.work.vertexSlotOffsets.data();
    const int* entries = state.work.vertexSlots.data();
    const Point3 gravity = gravityVector;
    const Point3 move = nextMove;
    const float damping = state.settings.damping;
    const bool ground = state.settings.groundCollision;
    const bool masked = state.settings.useVCMask;
    concurrency::parallel_for_ranges(static_cast<int>(state.deltas.size()), [=](int begin, int end) {
        for (int v = begin; v < end; ++v) {
            Vec4 sum = Vec4::load(accum[v]);
            if constexpr (kGather) sum = gatheredDelta(sum, slots, entries, offsets[v], offsets[v + 1]);
            const Point3 delta = sum.point();
            const VertexMotion r =
                masked ? integrateMasked(positions[v], velocities[v], delta, mask[v], gravity, stepFactor, damping, ground)
                       : integrateUnmasked(positions[v], velocities[v], delta, gravity, stepFactor, damping, ground);
            positions[v] = r.position;
            velocities[v] = r.velocity;
            Point3 cleared(0.0f, 0.0f, 0.0f);
            // The move stage of the next iteration, as it would add into the cleared delta.
            if constexpr (kNextMove) cleared += move * moveEase(weights[v]);
            Vec4::of(cleared).store(accum[v]);
        }
    });
}
}  // namespace

namespace velmora::solver {
void integrateGathering(ClothMouseProc& state, const Point3& gravityVector, float stepFactor, bool nextMoveActive,
                        const Point3& nextMove) {
    if (!stateMatchesMesh(state)) return;
    if (nextMoveActive) {
        integrate<true, true>(state, gravityVector, stepFactor, nextMove);
    } else {
        integrate<true, false>(state, gravityVector, stepFactor, nextMove);
    }
}
}  // namespace velmora::solver

void integrateVertices(ClothMouseProc& state, const Point3& gravityVector, float stepFactor) {
    if (!stateMatchesMesh(state)) return;
    loadAccumulator(state);
    integrate<false, false>(state, gravityVector, stepFactor, Point3(0.0f, 0.0f, 0.0f));
    storeAccumulator(state);
}
