#pragma once

// Hot block loops are compiled for AVX2 and for the baseline and picked at run time. ThreadSanitizer
// cannot run the resolver that picks them (it runs before the sanitizer is set up), so its builds
// take the baseline only.
#if defined(VELMORA_NO_TARGET_CLONES)
#define VELMORA_TARGET_CLONES
#else
#define VELMORA_TARGET_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#endif
// Shared between the stage files of the solver; not part of its interface.
#include <cstddef>
#include <cstdint>

#include "cloth/ClothMouseProc.h"
#include "solver/ElementMath.h"
#include "solver/Vec4.h"

namespace velmora::solver {

// True when the state's arrays have the sizes of the current mesh (as the build left them).
// A state never built, or a mesh whose counts changed since the build, is left alone by every
// stage rather than indexed out of range.
inline bool stateMatchesMesh(const ClothMouseProc& state) {
    if (!state.mesh) return false;
    const std::size_t v = static_cast<std::size_t>(state.mesh->getNumVerts());
    const std::size_t f = static_cast<std::size_t>(state.mesh->getNumFaces());
    return state.deltas.size() == v && state.velocities.size() == v && state.vertexNormals.size() == v &&
           state.mask.size() == v && state.brushWeights.size() == v && state.faceNormals.size() == f &&
           state.work.accum.size() == v && state.work.vertexShared.size() == v &&
           state.work.vertexSlotOffsets.size() == v + 1 &&
           state.work.constraintSlotBase.size() == state.constraints.size() &&
           state.work.slotPositions.size() == state.work.edgeSlots.size() &&
           state.work.constraintSharedRoles.size() == state.constraints.size();
}

// delta plus the slots [begin, end) in that (ascending) order: a vertex's slots in record order,
// the order of a serial loop over the records.
inline Vec4 gatheredDelta(Vec4 delta, const Float4* slots, int begin, int end) {
    for (int j = begin; j < end; ++j) delta = delta + Vec4::load(slots[j]);
    return delta;
}

// The solver iterates on the accumulator of the workspace (ClothWorkspace::accum), the padded
// form of `deltas`. loadAccumulator moves deltas into it (deltas become zero), storeAccumulator
// moves it back (the accumulator becomes zero); the stages called one by one wrap their work in
// the two, so that they read and write `deltas` as their callers expect.
void loadAccumulator(ClothMouseProc& state);
void storeAccumulator(ClothMouseProc& state);
// The move and pressure stages on the accumulator.
void addMoveToAccumulator(ClothMouseProc& state, const Point3& moveVector);
void addPressureToAccumulator(ClothMouseProc& state);

// Integration with the edge stage's gather folded in: each shared vertex first adds its slots to its
// delta. Same result as gatherEdgeSlots then integrateVertices, one pass fewer. With
// nextMoveActive the cleared delta then receives the brush move of the next iteration, exactly
// as applyMoveFalloff would add it there: two passes fewer per iteration.
void integrateGathering(ClothMouseProc& state, const Point3& gravityVector, float stepFactor, bool nextMoveActive,
                        const Point3& nextMove);

// The edge stage without its gather: the chunks of records run in parallel, each adding into
// the deltas of the vertices it owns and into slots for the shared ones.
void applyEdgeChunks(ClothMouseProc& state, float stiffness);
// deltas[v] += the slots of every shared vertex v, in ascending slot order (parallel).
void gatherEdgeSlots(ClothMouseProc& state);

// Stabilisation of busy vertices (rule in solver/EdgeResponseScale.h). refreshEdgeScales
// refills the per-vertex scales when the stiffness, step or damping differ from those they were
// computed for, and tells whether any vertex is scaled (false with exactSolver on, or for a
// workspace not sized for the mesh). Around the edge stage, holdScaledDeltas sets the deltas of
// the scaled vertices aside (zeroing them) and scaleHeldVertices gives each the held delta plus
// its scaled edge response, its slots included (and emptied). Other vertices are not touched.
bool refreshEdgeScales(ClothMouseProc& state, float stiffness, float step);
void holdScaledDeltas(ClothMouseProc& state);
void scaleHeldVertices(ClothMouseProc& state);

}  // namespace velmora::solver
