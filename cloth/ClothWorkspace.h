#pragma once
// Working buffers of the solver and of the stroke guard. Sized once at the build so that no drag
// event allocates.
#include <cstdint>
#include <vector>

#include "sdk/Point3.h"

// A Point3 and an unused fourth lane on a 16-byte boundary: one vector instruction loads, adds
// or stores a whole contribution. The fourth lane is always zero.
struct alignas(16) Float4 {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
};

// Layout of the edge stage's additions into the accumulator, fixed at the build.
//
// The constraints are cut into chunks of `constraintChunk` consecutive records; the edge stage
// runs the chunks in parallel and each chunk its records in index order. The first chunk that
// touches a vertex (as vert0, vert1, opposite0 or opposite1) adds straight into its accumulator,
// in the order a serial loop would. A later chunk's contributions to the same vertex come after
// all of those in the serial order: they are written into slots of their own, and a gather adds
// them afterwards in record order, again the serial order. So the result is the serial loop's, bit
// for bit, whatever the number of threads. The chunk size depends on the record count only, never
// on the threads.
struct ClothWorkspace {
    // The solver's accumulator of each vertex's contributions (move, pressure, stretch, bending)
    // while it runs its iterations: `deltas` in a padded form. A call starts and ends with it
    // all zero, as `deltas`.
    std::vector<Float4> accum;
    // Records per chunk to use at the next build; 0 chooses by the record count. Only the
    // share of work that goes through slots depends on it, never the result.
    int requestedChunk = 0;
    int constraintChunk = 1;
    // 1 for a shared vertex (one with slots: a chunk after its first one touches it), else 0.
    std::vector<std::uint8_t> vertexShared;
    // Per record, bit k (k < 6) set when its k-th contribution (order below) goes to a slot, and
    // kCornerOnEdge set for a two-face record whose far corner is one of the edge's ends (a
    // degenerate face); 0 for most records, which then take the edge stage's short path straight
    // into the accumulator.
    static constexpr std::uint8_t kSlotRoles = 0x3f;
    static constexpr std::uint8_t kCornerOnEdge = 0x40;
    std::vector<std::uint8_t> constraintSharedRoles;
    // The positions in edgeSlots of record c's slotted contributions, in the order the record
    // makes them (vert0 += stretch, vert1 -= stretch, opposite0 -= push0, opposite1 -= push1,
    // vert0 += edge push, vert1 += edge push; open edges the first two only), start at
    // slotPositions[constraintSlotBase[c]]. A slot holds the value to add: subtractions are stored
    // negated, which changes no bit.
    std::vector<int> constraintSlotBase;
    std::vector<int> slotPositions;
    // The slots of vertex v, in record order: edgeSlots[vertexSlotOffsets[v] ..
    // vertexSlotOffsets[v + 1]), empty for a vertex that is not shared. sharedVertices lists the
    // vertices with slots.
    std::vector<Float4> edgeSlots;
    std::vector<int> vertexSlotOffsets;
    std::vector<int> sharedVertices;
    // The records that read the mesh's last point or the last face normal (as vert0, vert1 or
    // opposite1; face0 or face1), in ascending order. A 16-byte load of those reads past the end
    // of the array, so only blocks of records holding one of them check their indices first.
    std::vector<int> lastElementRecords;

    // Stabilisation of the edge response (rule in solver/EdgeResponseScale.h). Per vertex: the
    // number of edge records naming it as vert0 or vert1, and the scale of its summed edge
    // response (exactly 1 for an untouched vertex). scaledVertices lists the first scaledCount
    // vertices whose scale is below 1, and heldDeltas keeps their deltas aside while the edge
    // stage runs. The scales belong to the stiffness, step and damping stored with them.
    std::vector<int> edgeRecordCount;
    std::vector<float> edgeScale;
    std::vector<int> scaledVertices;
    std::vector<Float4> heldDeltas;
    int scaledCount = 0;
    float scaleStiffness = 0.0f;
    float scaleStep = 0.0f;
    float scaleDamping = 0.0f;
    bool scalesValid = false;
};

// Copies of everything a drag event may change, taken before the event so that an event that
// produces a non-finite value can be put back.
struct StrokeGuardBuffers {
    std::vector<Point3> positions;
    std::vector<Point3> velocities;
    std::vector<float> restLengths;
    std::vector<float> restAngles;
    std::vector<float> mask;
};
