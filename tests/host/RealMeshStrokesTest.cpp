// Every real mesh beside the repository takes strokes in all eight brush modes without a
// non-finite value, and undoing every stroke gives back each bit of its positions and mask.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "HostRun.h"

namespace velmora::host::testing {
namespace {

namespace fs = std::filesystem;

class RealMeshStrokes : public ::testing::TestWithParam<const char*> {};

TEST_P(RealMeshStrokes, StrokesInEveryModeThenUndoEverything) {
    const fs::path meshes(VELMORA_SHARED_MESHES);
    if (!fs::is_directory(meshes)) GTEST_SKIP() << "the real meshes folder is not present: " << meshes;
    const fs::path file = meshes / GetParam();
    if (!fs::exists(file)) GTEST_SKIP() << "not present: " << file;
    const fs::path dir = freshFolder(std::string("real_") + fs::path(GetParam()).stem().string());

    // Strokes across the middle of the framed mesh: one per mode, Move first (keys up).
    const char* strokes[] = {
        "stroke from:[170,150] to:[230,150] steps:4",
        "stroke ctrl from:[200,130] to:[215,170] steps:4",
        "stroke shift from:[185,150] to:[215,150] steps:4",
        "stroke shift ctrl from:[200,150] to:[220,140] steps:4",
        "stroke ctrl alt from:[190,160] to:[210,150] steps:4",
        "stroke alt from:[180,150] to:[220,150] steps:4",
        "stroke shift alt from:[185,155] to:[215,145] steps:4",
        "stroke shift ctrl alt from:[200,150] to:[200,170] steps:3",
        "stroke from:[200,150] to:[200,120] steps:4",
    };
    std::string script = "load \"" + file.string() + "\"\n"
                         "viewport width:400 height:300 eye:[1,-10,4] target:[0,0,0] up:[0,0,1] fov:40\n"
                         "frame\n"
                         "Velmora.SetSettingsV2 true false false 1.0 1.0 false 0.2 1.0 1.0 true\n"
                         "Velmora.DoOperation()\n"
                         "save \"orig.ply\"\n";
    for (const char* s : strokes) script += std::string(s) + "\n";
    script += "save \"stroked.ply\"\n";
    for (size_t i = 0; i < std::size(strokes); ++i) script += "undo\n";
    script += "save \"undone.ply\"\n";

    const HostRun r = runScript(dir, script);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Mesh orig = readMeshOrFail(dir / "orig.ply");
    const Mesh stroked = readMeshOrFail(dir / "stroked.ply");
    const Mesh undone = readMeshOrFail(dir / "undone.ply");
    ASSERT_EQ(orig.getNumVerts(), stroked.getNumVerts());
    ASSERT_EQ(orig.getNumVerts(), undone.getNumVerts());
    bool changed = false;
    for (size_t i = 0; i < stroked.verts.size(); ++i) {
        const Point3& p = stroked.verts[i];
        ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << "vertex " << i;
        changed = changed || !(p == orig.verts[i]);
    }
    EXPECT_TRUE(changed) << "the strokes reached the mesh";
    EXPECT_EQ(std::memcmp(orig.verts.data(), undone.verts.data(), orig.verts.size() * sizeof(Point3)), 0)
        << "undo gives back every bit of the positions";
    ASSERT_EQ(orig.vertCol.size(), undone.vertCol.size());
    EXPECT_EQ(std::memcmp(orig.vertCol.data(), undone.vertCol.data(), orig.vertCol.size() * sizeof(Point3)), 0)
        << "undo gives back every bit of the mask";
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(SharedMeshes, RealMeshStrokes,
                         ::testing::Values("woody.obj", "beetle.obj", "cow.obj", "spot.obj", "teapot.obj",
                                           "fandisk.obj", "stanford-bunny.obj", "igea.ply"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             std::string n = fs::path(p.param).stem().string();
                             for (char& c : n) c = (c == '-') ? '_' : c;
                             return n;
                         });

}  // namespace
}  // namespace velmora::host::testing
