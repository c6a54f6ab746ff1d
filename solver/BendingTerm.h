#pragma once
// The bending term of a two-face edge, with plasticity of its rest angle, and the two ways the
// edge stage hands its contributions on. Inline: it runs once per record and iteration.
#include <cstdint>

#include "cloth/ClothMouseProc.h"
#include "solver/ElementMath.h"

namespace velmora::solver {

// Contributions of a record none of whose vertices is shared: straight into deltas.
struct DirectSink {
    Point3* deltas;
    void add(int v, const Point3& value) { deltas[v] += value; }
    void skip(int) {}
};

// Contributions of a record with shared vertices: the k-th contribution goes into the record's
// next slot when bit k of `roles` is set, else straight into deltas (see ClothWorkspace).
struct MixedSink {
    Point3* deltas;
    Point3* slots;  // the record's first slot
    unsigned roles;
    unsigned role = 0;

    void add(int v, const Point3& value) {
        if (roles & (1u << role++)) {
            *slots++ = value;
        } else {
            deltas[v] += value;
        }
    }
    // A contribution this iteration does not make: a shared vertex's slot still gets a zero,
    // which its gather adds without changing a bit (its deltas entry is never -0 there).
    void skip(int) {
        if (roles & (1u << role++)) *slots++ = Point3(0.0f, 0.0f, 0.0f);
    }
};

// Adds the four pushes of one two-face record (opposite0, opposite1, vert0, vert1, in that
// order) and sets its new rest angle. `frame` is the edge frame the stretch computed. A face of
// zero area (zero normal) has no angle: no push, no plasticity.
template <class Sink>
inline void applyBendingTerm(EdgeConstraint& record, const EdgeFrame& frame, const Point3* positions,
                             const Point3* faceNormals, float bendiness, float plasticity, Sink& sink) {
    // Copies: the sink's writes into deltas must not make the compiler reload these.
    const Point3 n0 = faceNormals[record.face0];
    const Point3 n1 = faceNormals[record.face1];
    if (isZero(n0) || isZero(n1)) {
        sink.skip(record.opposite0);
        sink.skip(record.opposite1);
        sink.skip(record.vert0);
        sink.skip(record.vert1);
        return;
    }
    const BendTerms t = bendTerms(frame, record.restAngle, positions[record.vert0], positions[record.opposite1], n0,
                                  n1, bendiness, plasticity);
    record.restAngle = t.restAngle;
    sink.add(record.opposite0, -t.pushOpposite0);
    sink.add(record.opposite1, -t.pushOpposite1);
    sink.add(record.vert0, t.pushEdge);
    sink.add(record.vert1, t.pushEdge);
}

// Stretch of one record, then its bending term when it has two faces.
template <class Sink>
inline void applyEdgeRecord(EdgeConstraint& record, const Point3* positions, const Point3* faceNormals,
                            float stiffness, float bendiness, float plasticity, Sink& sink) {
    const EdgeFrame frame = edgeFrame(positions[record.vert0], positions[record.vert1]);
    if (!frame.valid) {
        // Coincident vertices have no direction: the edge sits this iteration out.
        sink.skip(record.vert0);
        sink.skip(record.vert1);
        if (record.openEdge) return;
        sink.skip(record.opposite0);
        sink.skip(record.opposite1);
        sink.skip(record.vert0);
        sink.skip(record.vert1);
        return;
    }
    const Point3 s = stretchCorrection(frame, record.restLength, stiffness);
    sink.add(record.vert0, s);
    sink.add(record.vert1, -s);
    if (!record.openEdge) applyBendingTerm(record, frame, positions, faceNormals, bendiness, plasticity, sink);
}

}  // namespace velmora::solver
