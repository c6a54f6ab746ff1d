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
    const Point3 gravity = gravityVector;
    const Point3 move = nextMove;
    const float damping = state.settings.damping;
    const bool ground = state.settings.groundCollision;
    const bool masked = state.settings.useVCMask;
    const int last = static_cast<int>(state.deltas.size()) - 1;
    // integrateMasked and integrateUnmasked, four lanes at a time (the same operations in the same
    // order, lane by lane); the ground rule on the stored height.
    const Vec4 gravity4 = Vec4::of(gravity);
    const Vec4 move4 = Vec4::of(move);
    concurrency::parallel_for_ranges(static_cast<int>(state.deltas.size()), [=](int begin, int end) {
        for (int v = begin; v < end; ++v) {
            Vec4 delta = Vec4::load(accum[v]);
            if constexpr (kGather) delta = gatheredDelta(delta, slots, offsets[v], offsets[v + 1]);
            Vec4 p = loadPoint(positions, v, last);
            Vec4 u = loadPoint(velocities, v, last);
            if (masked) {
                const float m = mask[v];
                u = u + (gravity4 + delta) * m;
                p = p + (u * stepFactor) * m;
            } else {
                u = (u + delta) + gravity4;
                p = p + u * stepFactor;
            }
            u = u * damping;
            storePoint(positions[v], p);
            storePoint(velocities[v], u);
            if (ground && !(positions[v].z >= 0.0f)) positions[v].z = positions[v].z * kGroundKeep;
            // The move stage of the next iteration, as it would add into the cleared delta.
            Vec4 cleared = Vec4::zero();
            if constexpr (kNextMove) cleared = cleared + move4 * moveEase(weights[v]);
            cleared.store(accum[v]);
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
