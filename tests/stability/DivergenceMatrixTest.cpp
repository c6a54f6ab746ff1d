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
