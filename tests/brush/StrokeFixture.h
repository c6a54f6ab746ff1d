#pragma once
// A cloth state built on a node of the host's scene, driven through the mouse procedure with real
// viewport rays, and a bit-exact snapshot of everything a stroke can touch.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "cloth/ClothMouseProc.h"
#include "fixtures/MeshBuilders.h"
#include "sdk/Hold.h"
#include "sdk/Interface.h"
#include "sdk/Scene.h"
#include "sdk/ViewExp.h"

namespace brushtest {

// Everything of the cloth state that a stroke, an undo or a redo may change.
struct ClothSnapshot {
    std::vector<Point3> positions;
    std::vector<Point3> velocities;
    std::vector<Point3> deltas;
    std::vector<float> restLengths;
    std::vector<float> restAngles;
    std::vector<float> mask;
    std::vector<Point3> colours;
    std::vector<float> weights;
    float brushRadius = 0.0f;
    Matrix3 brushFrame;

    static ClothSnapshot of(const ClothMouseProc& c) {
        ClothSnapshot s;
        s.positions = c.mesh->verts;
        s.velocities = c.velocities;
        s.deltas = c.deltas;
        for (const EdgeConstraint& e : c.constraints) {
            s.restLengths.push_back(e.restLength);
            s.restAngles.push_back(e.restAngle);
        }
        s.mask = c.mask;
        s.colours = c.mesh->vertCol;
        s.weights = c.brushWeights;
        s.brushRadius = c.brushRadius;
        s.brushFrame = c.brushFrame;
        return s;
    }
};

// A 10 x 10 grid of unit quads with gentle bumps, so that edges have rest angles.
inline Mesh bumpyGrid() {
    Mesh m = velmora::fixtures::makeGrid(10, 10, 1.0f);
    for (Point3& p : m.verts) p.z = 0.4f * std::sin(0.9f * p.x) * std::cos(0.7f * p.y);
    return m;
}

// Bit equality (not tolerance): a restored state must be the very same numbers.
template <class T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}
inline bool sameBits(const Matrix3& a, const Matrix3& b) { return std::memcmp(&a, &b, sizeof(Matrix3)) == 0; }
inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof(float)) == 0; }

inline bool allZero(const std::vector<Point3>& v) {
    for (const Point3& p : v) {
        if (p.x != 0.0f || p.y != 0.0f || p.z != 0.0f) return false;
    }
    return true;
}

// Grey colour of every corner equals the mask of its vertex.
inline bool coloursShowMask(const ClothMouseProc& c) {
    const Mesh& m = *c.mesh;
    for (int f = 0; f < m.getNumFaces(); ++f) {
        for (int k = 0; k < 3; ++k) {
            const float v = c.mask[m.faces[static_cast<size_t>(f)].v[k]];
            const Point3& col = m.vertCol[m.vcFace[static_cast<size_t>(f)].t[k]];
            if (!sameBits(col.x, v) || !sameBits(col.y, v) || !sameBits(col.z, v)) return false;
        }
    }
    return true;
}

class StrokeFixture : public ::testing::Test {
public:
    void SetUp() override {
        ip = GetCOREInterface();
        ip->Reset();
        theHold.ClearHistory();
        cloth.display = &display;
    }
    void TearDown() override {
        theHold.ClearHistory();
        ip->Reset();
    }

    // Puts `mesh` into a new scene node and builds the cloth state on it.
    INode* buildOn(Mesh mesh, const wchar_t* name = L"cloth") {
        TriObject* tri = CreateNewTriObject();
        tri->mesh = std::move(mesh);
        node = ip->CreateObjectNode(tri, name);
        cloth.mesh = &tri->mesh;
        cloth.node = node;
        cloth.nodeHandle = node->GetHandle();
        cloth.buildClothState();
        return node;
    }

    // Points the cloth state at `mesh` of the current node and builds it again.
    void rebuild(Mesh* mesh) {
        cloth.mesh = mesh;
        cloth.buildClothState();
    }

    // Orthographic camera straight down at (cx, cy, 0), screen up along +y, `height` world units tall.
    void lookDown(float cx, float cy, float height) {
        ViewExp& v = ip->GetActiveViewExp();
        v.perspective = false;
        v.eye = Point3(cx, cy, 20.0f);
        v.target = Point3(cx, cy, 0.0f);
        v.up = Point3(0.0f, 1.0f, 0.0f);
        v.orthoHeight = height;
    }

    // Perspective camera from `eye` toward `target`, +z up.
    void lookAt(const Point3& eye, const Point3& target) {
        ViewExp& v = ip->GetActiveViewExp();
        v.perspective = true;
        v.eye = eye;
        v.target = target;
        v.up = Point3(0.0f, 0.0f, 1.0f);
        v.fovDegrees = 45.0f;
    }

    // Window pixel of a world point (nearest pixel).
    IPoint2 screenOf(const Point3& p) {
        float sx = 0.0f, sy = 0.0f;
        EXPECT_TRUE(ip->GetActiveViewExp().MapWorldToScreen(p, sx, sy));
        return {static_cast<int>(std::lround(sx)), static_cast<int>(std::lround(sy))};
    }

    HWND window() { return ip->ActiveViewportWindow(); }
    int press(IPoint2 p, int flags = 0) { return cloth.proc(window(), MOUSE_POINT, 0, flags, p); }
    int release(IPoint2 p, int flags = 0) { return cloth.proc(window(), MOUSE_POINT, 1, flags, p); }
    int drag(IPoint2 p, int flags = 0) { return cloth.proc(window(), MOUSE_MOVE, 0, flags, p); }
    int freeMove(IPoint2 p) { return cloth.proc(window(), MOUSE_FREEMOVE, 0, 0, p); }

    // Index of the vertex nearest to p.
    int nearestVertex(const Point3& p) const {
        int best = 0;
        float bestD = INFINITY;
        for (int i = 0; i < cloth.mesh->getNumVerts(); ++i) {
            const float d = LengthSquared(cloth.mesh->verts[static_cast<size_t>(i)] - p);
            if (d < bestD) { bestD = d; best = i; }
        }
        return best;
    }

    Interface* ip = nullptr;
    BrushDisplayValues display;
    ClothMouseProc cloth;
    INode* node = nullptr;
};

// A 10 x 10 grid of unit quads from the origin, seen from above: centre (5, 5) at pixel (400, 300).
class GridFixture : public StrokeFixture {
public:
    void SetUp() override {
        StrokeFixture::SetUp();
        buildOn(velmora::fixtures::makeGrid(10, 10, 1.0f));
        lookDown(5.0f, 5.0f, 12.0f);
    }
    // Holds the grid's outer ring of vertices still (mask 0).
    void pinBorder() {
        for (size_t i = 0; i < cloth.mask.size(); ++i) {
            const Point3& p = cloth.mesh->verts[i];
            if (p.x == 0.0f || p.y == 0.0f || p.x == 10.0f || p.y == 10.0f) cloth.mask[i] = 0.0f;
        }
        cloth.writeMaskColors();
    }

    static constexpr IPoint2 kCentre{400, 300};
    static constexpr IPoint2 kOffMesh{20, 20};  // left of and above the grid
};

}  // namespace brushtest
