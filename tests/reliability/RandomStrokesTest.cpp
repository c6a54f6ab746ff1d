// Random stroke sequences on generated meshes. After every event the cloth stays finite with
// unchanged counts; every undo and redo gives back the recorded state bit for bit.
// Seeded: a failure prints its seed; VELMORA_SEED=n explores other sequences.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "RandomStrokes.h"

namespace reliability {
namespace {

using velmora::fixtures::makeRandomMesh;
using velmora::fixtures::makeUvSphere;

struct GeneratedCase {
    const char* name;
    Mesh (*make)(std::uint32_t seed);
};

Mesh bumpy(std::uint32_t) { return brushtest::bumpyGrid(); }
Mesh sphere(std::uint32_t) { return makeUvSphere(2.0f, 10, 14); }
Mesh randomOpen(std::uint32_t seed) { return makeRandomMesh(seed, {false, false}); }
Mesh randomClosed(std::uint32_t seed) { return makeRandomMesh(seed, {true, false}); }
Mesh randomOpenDegenerate(std::uint32_t seed) { return makeRandomMesh(seed, {false, true}); }
Mesh randomClosedDegenerate(std::uint32_t seed) { return makeRandomMesh(seed, {true, true}); }
Mesh separate(std::uint32_t) { return velmora::fixtures::makeSeparateTriangles(6); }

class RandomStrokesOnGenerated : public RandomStrokes, public ::testing::WithParamInterface<GeneratedCase> {};

TEST_P(RandomStrokesOnGenerated, StaySoundAndUndoBitForBit) {
    for (std::uint32_t run = 1; run <= 10 && !HasFatalFailure(); ++run) {
        const std::uint32_t seed = seedOr(run * 7919u + static_cast<std::uint32_t>(std::string(GetParam().name).size()));
        SetUp();  // a fresh scene and history for every run
        Plan plan;
        plan.seed = seed;
        plan.events = 120;
        play(GetParam().make(seed), plan);
    }
    // The sequences must do something, or they prove nothing.
    EXPECT_GT(changingStrokes, 6);
}

INSTANTIATE_TEST_SUITE_P(Meshes, RandomStrokesOnGenerated,
                         ::testing::Values(GeneratedCase{"BumpyGrid", bumpy}, GeneratedCase{"Sphere", sphere},
                                           GeneratedCase{"RandomOpen", randomOpen},
                                           GeneratedCase{"RandomClosed", randomClosed},
                                           GeneratedCase{"RandomOpenDegenerate", randomOpenDegenerate},
                                           GeneratedCase{"RandomClosedDegenerate", randomClosedDegenerate},
                                           GeneratedCase{"SeparateTriangles", separate}),
                         [](const ::testing::TestParamInfo<GeneratedCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace reliability
