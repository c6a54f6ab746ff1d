#pragma once
// Shared between the stage files of the solver; not part of its interface.
#include <cstddef>
#include <cstdint>

#include "cloth/ClothMouseProc.h"
#include "solver/ElementMath.h"

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
           state.work.vertexShared.size() == v && state.work.constraintSlotBase.size() == state.constraints.size();
}

// Where the edge stage's contributions of one record go: straight into deltas for a vertex that
// the record's chunk owns, into the record's next slot for a shared vertex (see ClothWorkspace).
struct ContributionSink {
    Point3* deltas;
    Point3* slots;
    const std::uint8_t* shared;
    int next;  // the record's next slot

    void add(int v, const Point3& value) {
        if (shared[v]) {
            slots[next++] = value;
        } else {
            deltas[v] += value;
        }
    }
    // A contribution that this iteration does not make: a shared vertex's slot still gets a zero,
    // which its gather adds without changing a bit (deltas never holds -0 there).
    void skip(int v) {
        if (shared[v]) slots[next++] = Point3(0.0f, 0.0f, 0.0f);
    }
};

// Bending term of one two-face record: adds the four pushes (opposite0, opposite1, vert0, vert1,
// in that order) and sets the record's new rest angle. `frame` is the edge frame the stretch
// computed. A face of zero area (zero normal) gives no push and keeps the rest angle.
void applyBendingTerm(EdgeConstraint& record, const EdgeFrame& frame, const Point3* positions,
                      const Point3* faceNormals, float bendiness, float plasticity, ContributionSink& sink);

// The edge stage without its gather: the chunks of records run in parallel, each adding into
// the deltas of the vertices it owns and into slots for the shared ones.
void applyEdgeChunks(ClothMouseProc& state, float stiffness);
// deltas[v] += the slots of every shared vertex v, in ascending slot order (parallel).
void gatherEdgeSlots(ClothMouseProc& state);

}  // namespace velmora::solver
