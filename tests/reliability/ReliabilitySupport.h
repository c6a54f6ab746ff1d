#pragma once
// Shared by the tests that try to break the brush: a camera that frames any mesh, the check that
// the cloth state is sound after an event, and the part of the state that undo and redo restore.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "brush/StrokeFixture.h"

namespace reliability {

using brushtest::sameBits;

// The sizes of every array of the cloth state and of the mesh: no event may change one.
struct Counts {
    size_t verts = 0, faces = 0, colourVerts = 0, colourFaces = 0;
    size_t constraints = 0, velocities = 0, deltas = 0, mask = 0, weights = 0;
    size_t faceNormals = 0, vertexNormals = 0;

    static Counts of(const ClothMouseProc& c) {
        Counts n;
        n.verts = c.mesh->verts.size();
        n.faces = c.mesh->faces.size();
        n.colourVerts = c.mesh->vertCol.size();
        n.colourFaces = c.mesh->vcFace.size();
        n.constraints = c.constraints.size();
        n.velocities = c.velocities.size();
        n.deltas = c.deltas.size();
        n.mask = c.mask.size();
        n.weights = c.brushWeights.size();
        n.faceNormals = c.faceNormals.size();
        n.vertexNormals = c.vertexNormals.size();
        return n;
    }
    bool operator==(const Counts&) const = default;
};

inline bool finite(const Point3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// Names the first position, velocity, rest value or mask value that is not finite.
inline ::testing::AssertionResult clothIsFinite(const ClothMouseProc& c) {
    for (size_t i = 0; i < c.mesh->verts.size(); ++i) {
        if (!finite(c.mesh->verts[i])) return ::testing::AssertionFailure() << "position " << i << " not finite";
    }
    for (size_t i = 0; i < c.velocities.size(); ++i) {
        if (!finite(c.velocities[i])) return ::testing::AssertionFailure() << "velocity " << i << " not finite";
    }
    for (size_t i = 0; i < c.constraints.size(); ++i) {
        if (!std::isfinite(c.constraints[i].restLength))
            return ::testing::AssertionFailure() << "rest length " << i << " not finite";
        if (!std::isfinite(c.constraints[i].restAngle))
            return ::testing::AssertionFailure() << "rest angle " << i << " not finite";
    }
    for (size_t i = 0; i < c.mask.size(); ++i) {
        if (!std::isfinite(c.mask[i])) return ::testing::AssertionFailure() << "mask " << i << " not finite";
    }
    return ::testing::AssertionSuccess();
}

// Edge records must name vertices and faces of the mesh, so that no stage reads outside it.
inline ::testing::AssertionResult constraintsInRange(const ClothMouseProc& c) {
    const int v = c.mesh->getNumVerts(), f = c.mesh->getNumFaces();
    for (size_t i = 0; i < c.constraints.size(); ++i) {
        const EdgeConstraint& e = c.constraints[i];
        const bool ok = e.vert0 >= 0 && e.vert0 < v && e.vert1 >= 0 && e.vert1 < v &&
                        (e.openEdge || (e.face0 >= 0 && e.face0 < f && e.face1 >= 0 && e.face1 < f &&
                                        e.opposite0 >= 0 && e.opposite0 < v && e.opposite1 >= 0 && e.opposite1 < v));
        if (!ok) return ::testing::AssertionFailure() << "edge record " << i << " names a vertex or face outside the mesh";
    }
    return ::testing::AssertionSuccess();
}

// What one stroke's undo entry puts back: positions, rest values and the mask.
struct Restorable {
    std::vector<Point3> positions;
    std::vector<float> restLengths;
    std::vector<float> restAngles;
    std::vector<float> mask;

    static Restorable of(const ClothMouseProc& c) {
        Restorable r;
        r.positions = c.mesh->verts;
        r.restLengths.reserve(c.constraints.size());
        r.restAngles.reserve(c.constraints.size());
        for (const EdgeConstraint& e : c.constraints) {
            r.restLengths.push_back(e.restLength);
            r.restAngles.push_back(e.restAngle);
        }
        r.mask = c.mask;
        return r;
    }
};

inline ::testing::AssertionResult sameRestorable(const Restorable& want, const Restorable& got) {
    if (!sameBits(want.positions, got.positions)) return ::testing::AssertionFailure() << "positions differ";
    if (!sameBits(want.mask, got.mask)) return ::testing::AssertionFailure() << "mask differs";
    if (!sameBits(want.restLengths, got.restLengths)) return ::testing::AssertionFailure() << "rest lengths differ";
    if (!sameBits(want.restAngles, got.restAngles)) return ::testing::AssertionFailure() << "rest angles differ";
    return ::testing::AssertionSuccess();
}

// Centre and diagonal of the finite vertices of a mesh (the origin and 1 when there are none).
struct Bounds {
    Point3 centre{0.0f, 0.0f, 0.0f};
    float diagonal = 1.0f;
};

inline Bounds boundsOf(const Mesh& m) {
    float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    bool any = false;
    for (const Point3& p : m.verts) {
        if (!finite(p)) continue;
        const float c[3] = {p.x, p.y, p.z};
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], c[k]);
            hi[k] = std::max(hi[k], c[k]);
        }
        any = true;
    }
    Bounds b;
    if (!any) return b;
    // Halves first, so that coordinates near the float limit do not overflow.
    b.centre = Point3(lo[0] / 2 + hi[0] / 2, lo[1] / 2 + hi[1] / 2, lo[2] / 2 + hi[2] / 2);
    float d = 0.0f;
    for (int k = 0; k < 3; ++k) d = std::max(d, hi[k] / 2 - lo[k] / 2);
    b.diagonal = d > 0.0f ? 2.0f * d * 1.7320508f : 1.0f;
    if (!std::isfinite(b.diagonal)) b.diagonal = std::numeric_limits<float>::max() / 4;
    return b;
}

// Points the active viewport at the whole mesh from direction `dir` (need not be unit length).
inline void frameMesh(Interface* ip, const Mesh& m, Point3 dir, bool perspective) {
    const Bounds b = boundsOf(m);
    const float len = std::sqrt(dir.x * dir.x + dir.y * dir.y + dir.z * dir.z);
    dir = len > 0.0f ? Point3(dir.x / len, dir.y / len, dir.z / len) : Point3(0.0f, 0.0f, 1.0f);
    ViewExp& v = ip->GetActiveViewExp();
    v.perspective = perspective;
    v.fovDegrees = 45.0f;
    v.orthoHeight = b.diagonal;
    const float distance = 1.5f * b.diagonal;
    v.target = b.centre;
    v.eye = Point3(b.centre.x + dir.x * distance, b.centre.y + dir.y * distance, b.centre.z + dir.z * distance);
    v.up = std::fabs(dir.z) > 0.9f ? Point3(0.0f, 1.0f, 0.0f) : Point3(0.0f, 0.0f, 1.0f);
}

// A seed for a case: VELMORA_SEED when set (to explore beyond the fixed seeds), else `fallback`.
inline std::uint32_t seedOr(std::uint32_t fallback) {
    if (const char* s = std::getenv("VELMORA_SEED")) return static_cast<std::uint32_t>(std::strtoul(s, nullptr, 10)) ^ fallback;
    return fallback;
}

}  // namespace reliability
