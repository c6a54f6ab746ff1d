// Random stroke sequences on generated meshes. After every event the cloth stays finite with
// unchanged counts; every undo and redo gives back the recorded state bit for bit.
// Seeded: a failure prints its seed; VELMORA_SEED=n explores other sequences.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
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

// Test names in ctest carry the case name rather than the bytes of the case.
void PrintTo(const GeneratedCase& c, std::ostream* os) { *os << c.name; }

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

// Undo entries outlive the cloth they were taken on: the brush is entered again on another object
// (with other counts, or with the very same counts), strokes there, then everything is undone and
// redone, and the first object is deleted and everything undone again. Entries of another cloth
// must leave the current one alone and never read or write outside either mesh.
struct ReentryCase {
    const char* name;
    bool sameCounts;
};

// Test names in ctest carry the case name rather than the bytes of the case.
void PrintTo(const ReentryCase& c, std::ostream* os) { *os << c.name; }

class UndoAcrossReentry : public brushtest::StrokeFixture, public ::testing::WithParamInterface<ReentryCase> {
protected:
    // Three strokes of several modes across the middle of the framed mesh.
    void strokes() {
        const int modes[][3] = {{0, kCtrlBit, kShiftBit | kCtrlBit}, {kAltBit, kCtrlBit | kAltBit, kShiftBit},
                                {kShiftBit | kAltBit, 0, kCtrlBit}};
        cloth.settings.maskVal = 0.4f;
        for (const auto& stroke : modes) {
            IPoint2 p{390, 305};
            press(p);
            for (const int flags : stroke) {
                for (int k = 0; k < 3; ++k) {
                    p = {p.x + 6, p.y - 2};
                    drag(p, flags);
                }
            }
            release(p);
        }
    }
    ::testing::AssertionResult sound(const Counts& counts) {
        if (::testing::AssertionResult r = clothIsFinite(cloth); !r) return r;
        if (!(Counts::of(cloth) == counts)) return ::testing::AssertionFailure() << "an array changed size";
        return ::testing::AssertionSuccess();
    }
};

TEST_P(UndoAcrossReentry, EntriesOfAnotherClothLeaveTheCurrentOneAlone) {
    INode* first = buildOn(brushtest::bumpyGrid(), L"first");
    Mesh* firstMesh = cloth.mesh;
    frameMesh(ip, *cloth.mesh, Point3(0.1f, -0.2f, 1.0f), false);
    strokes();
    const std::vector<Point3> firstAfter = firstMesh->verts;

    Mesh second = GetParam().sameCounts ? brushtest::bumpyGrid() : makeUvSphere(3.0f, 9, 13);
    for (Point3& p : second.verts) p.z += 0.25f;
    buildOn(std::move(second), L"second");
    frameMesh(ip, *cloth.mesh, Point3(0.1f, -0.2f, 1.0f), false);
    const Counts counts = Counts::of(cloth);
    const Restorable secondEntry = Restorable::of(cloth);
    strokes();
    const Restorable secondLast = Restorable::of(cloth);
    ASSERT_FALSE(sameRestorable(secondEntry, secondLast)) << "the strokes changed nothing";
    ASSERT_EQ(theHold.UndoCount(), 6);

    while (theHold.Undo()) ASSERT_TRUE(sound(counts));
    EXPECT_TRUE(sameRestorable(secondEntry, Restorable::of(cloth)));
    EXPECT_TRUE(sameBits(firstAfter, firstMesh->verts)) << "an entry of the first cloth wrote into it while the brush was elsewhere";
    while (theHold.Redo()) ASSERT_TRUE(sound(counts));
    EXPECT_TRUE(sameRestorable(secondLast, Restorable::of(cloth)));
    EXPECT_TRUE(sameBits(firstAfter, firstMesh->verts));

    // The first object goes away; its entries must not touch freed memory.
    ASSERT_TRUE(ip->DeleteNode(first));
    while (theHold.Undo()) ASSERT_TRUE(sound(counts));
    EXPECT_TRUE(sameRestorable(secondEntry, Restorable::of(cloth)));
    while (theHold.Redo()) ASSERT_TRUE(sound(counts));
    EXPECT_TRUE(sameRestorable(secondLast, Restorable::of(cloth)));
}

INSTANTIATE_TEST_SUITE_P(Cases, UndoAcrossReentry,
                         ::testing::Values(ReentryCase{"OtherCounts", false}, ReentryCase{"SameCounts", true}),
                         [](const ::testing::TestParamInfo<ReentryCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace reliability
