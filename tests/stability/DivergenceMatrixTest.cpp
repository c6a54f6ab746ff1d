// The divergence matrix: every mesh under the settings that show something on it, driven by
// pressure alone, by Ctrl drag and by Move at its busiest vertex, 30 events each. The cloth must
// stay finite, and its fastest vertex over the last ten events may be at most ten times as fast
// as over the first ten (pressure legitimately carries small meshes far, so speed, not distance,
// is the measure).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "StabilityHarness.h"

namespace stabilitytest {
namespace {

const std::vector<Drive> kAllDrives = {Drive::Pressure, Drive::CtrlDrag, Drive::Move};

std::vector<std::string> allSettingNames() {
    std::vector<std::string> names;
    for (const SettingsCase& c : allSettings()) names.emplace_back(c.name);
    return names;
}

class DivergenceMatrix : public StabilityFixture {
public:
    void runMatrix(const std::string& name, const Mesh& mesh, const std::vector<std::string>& settings,
                   const std::vector<Drive>& drives = kAllDrives) {
        for (const std::string& s : settings) {
            for (Drive d : drives) {
                const SettingsCase& sc = settingsNamed(s);
                const RunResult r = run(mesh, sc, d);
                const std::string line = describe(name, sc, d, r);
                std::printf("%s\n", line.c_str());
                EXPECT_TRUE(r.passes()) << line;
            }
        }
    }
    bool loadOrSkip(const std::string& file, Mesh& mesh) {
        if (loadSharedMesh(file, mesh)) return true;
        return false;
    }
};

TEST_F(DivergenceMatrix, FlatGridUnderEverySetting) {
    runMatrix("grid", velmora::fixtures::makeGrid(16, 16, 1.0f), allSettingNames());
}

TEST_F(DivergenceMatrix, UvSphereWith32EdgePolesUnderEverySetting) {
    runMatrix("uv sphere", velmora::fixtures::makeUvSphere(5.0f, 16, 32), allSettingNames());
}

// A closed cone: apex (0, 0, 2) with `segments` edges, a ring of radius 1 at z = 0 and a base
// centre; outward normals.
Mesh makeCone(int segments) {
    Mesh m;
    m.setNumVerts(segments + 2);
    m.setNumFaces(2 * segments);
    m.verts[0] = Point3(0.0f, 0.0f, 2.0f);
    m.verts[1] = Point3(0.0f, 0.0f, 0.0f);
    for (int i = 0; i < segments; ++i) {
        const float a = 6.2831853f * static_cast<float>(i) / static_cast<float>(segments);
        m.verts[static_cast<std::size_t>(i + 2)] = Point3(std::cos(a), std::sin(a), 0.0f);
    }
    for (int i = 0; i < segments; ++i) {
        const DWORD r0 = static_cast<DWORD>(i + 2);
        const DWORD r1 = static_cast<DWORD>((i + 1) % segments + 2);
        m.faces[static_cast<std::size_t>(2 * i)].setVerts(0, r0, r1);
        m.faces[static_cast<std::size_t>(2 * i + 1)].setVerts(1, r1, r0);
    }
    return m;
}

TEST_F(DivergenceMatrix, ConesWithApexesOf6To24Edges) {
    for (int segments : {6, 10, 11, 16, 24}) {
        runMatrix("cone " + std::to_string(segments), makeCone(segments), {"defaults", "pressure 2"});
    }
}

// The harness sees the fault the stabilisation mends: the plain formulas on the 32-edge poles.
TEST_F(DivergenceMatrix, PlainFormulasDivergeOnTheUvSphere) {
    const Mesh sphere = velmora::fixtures::makeUvSphere(5.0f, 16, 32);
    for (Drive d : kAllDrives) {
        const RunResult r = run(sphere, settingsNamed("defaults"), d, [](ClothMouseProc& c) { c.exactSolver = true; });
        EXPECT_FALSE(r.passes()) << describe("uv sphere", settingsNamed("defaults"), d, r);
    }
}

TEST_F(DivergenceMatrix, TeapotWith44EdgeVertex) {
    Mesh mesh;
    if (!loadSharedMesh("teapot.obj", mesh)) GTEST_SKIP() << "teapot.obj not found in " << kSharedMeshes;
    runMatrix("teapot", mesh,
              {"defaults", "clothStrength 4", "clothStrength 8", "damping 0", "damping 1", "iterations 1",
               "pressure 2", "pressure -2", "gravity with ground"});
}

TEST_F(DivergenceMatrix, Spot) {
    Mesh mesh;
    if (!loadSharedMesh("spot.obj", mesh)) GTEST_SKIP() << "spot.obj not found in " << kSharedMeshes;
    runMatrix("spot", mesh,
              {"defaults", "clothStrength 2", "clothStrength 4", "clothStrength 8", "damping 0", "iterations 1",
               "iterations 7", "pressure -2", "gravity with ground"});
}

TEST_F(DivergenceMatrix, Cow) {
    Mesh mesh;
    if (!loadSharedMesh("cow.obj", mesh)) GTEST_SKIP() << "cow.obj not found in " << kSharedMeshes;
    runMatrix("cow", mesh, {"defaults", "clothStrength 4", "damping 1", "iterations 1", "pressure 2"});
}

TEST_F(DivergenceMatrix, StanfordBunny) {
    Mesh mesh;
    if (!loadSharedMesh("stanford-bunny.obj", mesh)) GTEST_SKIP() << "stanford-bunny.obj not found in " << kSharedMeshes;
    runMatrix("bunny", mesh, {"defaults", "clothStrength 4"}, {Drive::Pressure, Drive::CtrlDrag});
}

}  // namespace
}  // namespace stabilitytest
