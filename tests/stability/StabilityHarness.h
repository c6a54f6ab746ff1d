#pragma once
// Drives a cloth state through many drag events and watches whether it stays finite and bounded:
// by the solver alone under pressure, or through the mouse procedure with Ctrl drag or Move at
// the vertex with the most edges, seen along its normal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cloth/ClothMouseProc.h"
#include "fixtures/MeshBuilders.h"
#include "host/io/MeshIO.h"
#include "sdk/Hold.h"
#include "sdk/Interface.h"
#include "sdk/Scene.h"
#include "sdk/ViewExp.h"
#include "solver/Solver.h"

namespace stabilitytest {

#ifdef VELMORA_SHARED_MESHES
inline const char* kSharedMeshes = VELMORA_SHARED_MESHES;
#else
inline const char* kSharedMeshes = "";
#endif

enum class Drive { Pressure, CtrlDrag, Move };

inline const char* driveName(Drive d) {
    switch (d) {
        case Drive::Pressure: return "pressure alone";
        case Drive::CtrlDrag: return "Ctrl drag";
        case Drive::Move: return "Move";
    }
    return "?";
}

// One settings column of the matrix: a name and what it changes from the defaults.
struct SettingsCase {
    const char* name;
    std::function<void(BrushSettings&)> apply;
};

inline const std::vector<SettingsCase>& allSettings() {
    static const std::vector<SettingsCase> cases = {
        {"defaults", [](BrushSettings&) {}},
        {"clothStrength 2", [](BrushSettings& s) { s.clothStrength = 2.0f; }},
        {"clothStrength 4", [](BrushSettings& s) { s.clothStrength = 4.0f; }},
        {"clothStrength 8", [](BrushSettings& s) { s.clothStrength = 8.0f; }},
        {"damping 0", [](BrushSettings& s) { s.damping = 0.0f; }},
        {"damping 1", [](BrushSettings& s) { s.damping = 1.0f; }},
        {"damping 0, clothStrength 4", [](BrushSettings& s) { s.damping = 0.0f; s.clothStrength = 4.0f; }},
        {"damping 1, clothStrength 4", [](BrushSettings& s) { s.damping = 1.0f; s.clothStrength = 4.0f; }},
        {"iterations 1, damping 0", [](BrushSettings& s) { s.iterations = 1; s.damping = 0.0f; }},
        {"iterations 1", [](BrushSettings& s) { s.iterations = 1; }},
        {"iterations 2", [](BrushSettings& s) { s.iterations = 2; }},
        {"iterations 7", [](BrushSettings& s) { s.iterations = 7; }},
        {"iterations 100", [](BrushSettings& s) { s.iterations = 100; }},
        {"pressure 2", [](BrushSettings& s) { s.pressureEnabled = true; s.pressure = 2.0f; }},
        {"pressure -2", [](BrushSettings& s) { s.pressureEnabled = true; s.pressure = -2.0f; }},
        {"gravity with ground", [](BrushSettings& s) { s.gravityEnabled = true; s.groundCollision = true; }},
    };
    return cases;
}

inline const SettingsCase& settingsNamed(const std::string& name) {
    for (const SettingsCase& c : allSettings()) {
        if (name == c.name) return c;
    }
    ADD_FAILURE() << "no settings case named " << name;
    return allSettings().front();
}

// What 30 drag events did.
struct RunResult {
    bool finite = true;
    int firstBadEvent = -1;       // first event that left (or, through the guard, would have left) a non-finite value
    // Speed of a vertex: how far one event carries it (the velocity alone says nothing when
    // damping is 0, since it is then cleared after every iteration).
    double firstMaxSpeed = 0.0;  // largest vertex speed over the first ten events
    double lastMaxSpeed = 0.0;   // largest vertex speed over the last ten events
    // Above this speed the cloth has left any sense long before it overflows a float.
    double speedLimit = 0.0;
    bool passes() const {
        return finite && lastMaxSpeed <= 10.0 * firstMaxSpeed && firstMaxSpeed <= speedLimit &&
               lastMaxSpeed <= speedLimit;
    }
};

inline bool stateFinite(const ClothMouseProc& c) {
    for (const Point3& p : c.mesh->verts) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    }
    for (const Point3& v : c.velocities) {
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) return false;
    }
    for (const EdgeConstraint& e : c.constraints) {
        if (!std::isfinite(e.restAngle) || !std::isfinite(e.restLength)) return false;
    }
    return true;
}

// Largest distance of any vertex from where it was (in double: the float length of a diverging
// cloth would overflow before its coordinates do).
inline double maxDisplacement(const std::vector<Point3>& before, const std::vector<Point3>& after) {
    double m = 0.0;
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
        const double dx = static_cast<double>(after[i].x) - static_cast<double>(before[i].x);
        const double dy = static_cast<double>(after[i].y) - static_cast<double>(before[i].y);
        const double dz = static_cast<double>(after[i].z) - static_cast<double>(before[i].z);
        m = std::max(m, std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    return m;
}

// Vertex with the most edges (the lowest index among equals).
inline int busiestVertex(const ClothMouseProc& c) {
    std::vector<int> count(c.velocities.size(), 0);
    for (const EdgeConstraint& e : c.constraints) {
        ++count[static_cast<std::size_t>(e.vert0)];
        ++count[static_cast<std::size_t>(e.vert1)];
    }
    return static_cast<int>(std::max_element(count.begin(), count.end()) - count.begin());
}

// Sum of the unit normals of the faces around vertex v (unit length; +z when they cancel).
inline Point3 vertexNormalOf(const Mesh& m, int v) {
    Point3 n(0.0f, 0.0f, 0.0f);
    for (int f = 0; f < m.getNumFaces(); ++f) {
        const Face& face = m.faces[static_cast<std::size_t>(f)];
        if (face.v[0] == static_cast<DWORD>(v) || face.v[1] == static_cast<DWORD>(v) ||
            face.v[2] == static_cast<DWORD>(v)) {
            n += m.FaceNormal(f, true);
        }
    }
    return Length(n) > 1e-6f ? Normalize(n) : Point3(0.0f, 0.0f, 1.0f);
}

inline bool loadSharedMesh(const std::string& file, Mesh& mesh) {
    std::string error;
    return velmora::io::readMesh(std::string(kSharedMeshes) + "/" + file, mesh, error);
}

class StabilityFixture : public ::testing::Test {
public:
    static constexpr int kEvents = 30;

    void SetUp() override {
        ip = GetCOREInterface();
        ip->Reset();
        theHold.ClearHistory();
    }
    void TearDown() override {
        theHold.ClearHistory();
        ip->Reset();
    }

    // A fresh node holding `mesh` and a cloth state built on it.
    ClothMouseProc& buildOn(Mesh mesh) {
        cloth = std::make_unique<ClothMouseProc>();
        TriObject* tri = CreateNewTriObject();
        tri->mesh = std::move(mesh);
        INode* node = ip->CreateObjectNode(tri, L"cloth");
        cloth->mesh = &tri->mesh;
        cloth->node = node;
        cloth->nodeHandle = node->GetHandle();
        cloth->buildClothState();
        return *cloth;
    }

    // 30 events of `drive` on `mesh` with `settings` applied to the defaults. `configure` runs on
    // the built state before the first event.
    RunResult run(const Mesh& mesh, const SettingsCase& settings, Drive drive,
                  const std::function<void(ClothMouseProc&)>& configure = {}) {
        ClothMouseProc& c = buildOn(mesh);
        settings.apply(c.settings);
        if (configure) configure(c);
        if (drive == Drive::Pressure) c.settings.pressureEnabled = true;
        c.mesh->buildBoundingBox();
        const Box3 box = c.mesh->getBoundingBox();
        const float size = Length(box.pmax - box.pmin);
        RunResult r;
        r.speedLimit = 1000.0 * (static_cast<double>(size) + 1.0);
        std::vector<Point3> before;
        const auto record = [&](int event, bool finite) {
            if (!finite && r.finite) {
                r.finite = false;
                r.firstBadEvent = event;
            }
            const double speed = maxDisplacement(before, c.mesh->verts);
            if (event < 10) r.firstMaxSpeed = std::max(r.firstMaxSpeed, speed);
            if (event >= kEvents - 10) r.lastMaxSpeed = std::max(r.lastMaxSpeed, speed);
        };
        if (drive == Drive::Pressure) {
            for (int e = 0; e < kEvents && r.finite; ++e) {
                before = c.mesh->verts;
                runSolverIterations(c, false, Point3(0.0f, 0.0f, 0.0f));
                record(e, stateFinite(c));
            }
            return r;
        }
        const int v = busiestVertex(c);
        const Point3 p = c.mesh->verts[static_cast<std::size_t>(v)];
        const Point3 n = vertexNormalOf(*c.mesh, v);
        ViewExp& view = ip->GetActiveViewExp();
        view.perspective = false;
        view.eye = p + n * (2.0f * size + 1.0f);
        view.target = p;
        view.up = std::fabs(n.z) < 0.9f ? Point3(0.0f, 0.0f, 1.0f) : Point3(0.0f, 1.0f, 0.0f);
        view.orthoHeight = size;
        float sx = 0.0f, sy = 0.0f;
        EXPECT_TRUE(view.MapWorldToScreen(p, sx, sy));
        IPoint2 m{static_cast<int>(std::lround(sx)), static_cast<int>(std::lround(sy))};
        const int flags = drive == Drive::CtrlDrag ? MOUSE_CTRL : 0;
        HWND hwnd = ip->ActiveViewportWindow();
        c.proc(hwnd, MOUSE_POINT, 0, flags, m);
        for (int e = 0; e < kEvents && r.finite; ++e) {
            m.x += 3;
            m.y += (e % 2 == 0) ? 1 : -1;
            before = c.mesh->verts;
            c.proc(hwnd, MOUSE_MOVE, 0, flags, m);
            record(e, !c.lastEventReverted && stateFinite(c));
        }
        c.proc(hwnd, MOUSE_POINT, 1, flags, m);
        return r;
    }

    Interface* ip = nullptr;
    std::unique_ptr<ClothMouseProc> cloth;
};

inline std::string describe(const std::string& mesh, const SettingsCase& s, Drive d, const RunResult& r) {
    char line[256];
    std::snprintf(line, sizeof line, "%-10s %-27s %-15s finite %d (bad event %d) speed first %.3g last %.3g", mesh.c_str(),
                  s.name, driveName(d), r.finite ? 1 : 0, r.firstBadEvent, r.firstMaxSpeed, r.lastMaxSpeed);
    return line;
}

}  // namespace stabilitytest
