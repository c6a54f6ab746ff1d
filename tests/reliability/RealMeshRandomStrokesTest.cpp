// Random stroke sequences on every real mesh beside the repository (skipped when absent).
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "RandomStrokes.h"
#include "io/MeshIO.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;

// A seed from the file name that is the same on every platform.
std::uint32_t nameSeed(const std::string& s) {
    std::uint32_t h = 2166136261u;
    for (const char c : s) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h;
}

// The real meshes: fewer events and iterations on the big ones, so the run stays short.
class RandomStrokesOnRealMeshes : public RandomStrokes, public ::testing::WithParamInterface<const char*> {};

TEST_P(RandomStrokesOnRealMeshes, StaySoundAndUndoBitForBit) {
    const fs::path meshes(VELMORA_SHARED_MESHES);
    if (!fs::is_directory(meshes)) GTEST_SKIP() << "the real meshes folder is not present: " << meshes;
    const fs::path file = meshes / GetParam();
    if (!fs::exists(file)) GTEST_SKIP() << "not present: " << file;
    Mesh mesh;
    std::string error;
    ASSERT_TRUE(velmora::io::readMesh(file.string(), mesh, error)) << error;
    const bool big = mesh.getNumVerts() > 20000;
    Plan plan;
    plan.seed = seedOr(nameSeed(GetParam()));
    plan.events = big ? 40 : 120;
    plan.maxIterations = big ? 8 : 20;
    play(std::move(mesh), plan);
    EXPECT_GT(changingStrokes, 2) << "the sequence hardly touched the mesh";
}

INSTANTIATE_TEST_SUITE_P(Meshes, RandomStrokesOnRealMeshes,
                         ::testing::Values("woody.obj", "beetle.obj", "cow.obj", "spot.obj", "teapot.obj",
                                           "fandisk.obj", "stanford-bunny.obj", "igea.ply"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             std::string n = fs::path(p.param).stem().string();
                             for (char& ch : n) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return n;
                         });

}  // namespace
}  // namespace reliability
