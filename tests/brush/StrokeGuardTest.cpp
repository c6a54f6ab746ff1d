// The stroke guard: a drag event that overflows is put back and reported.
#include <gtest/gtest.h>

#include <string>

#include "StrokeFixture.h"
#include "brush/BrushMode.h"
#include "brush/StrokeGuard.h"

namespace brushtest {
namespace {

using velmora::fixtures::makeGrid;
using velmora::fixtures::makeUvSphere;

struct OverflowCase {
    const char* name;
    bool closedMesh;
    int flags;
    void (*overflow)(BrushSettings& s);
};

class StrokeGuard : public StrokeFixture, public ::testing::WithParamInterface<OverflowCase> {};

TEST_P(StrokeGuard, AnEventThatOverflowsIsPutBackAndReported) {
    const OverflowCase& c = GetParam();
    if (c.closedMesh) {
        buildOn(makeUvSphere(2.0f, 12, 16));
        lookAt(Point3(0.0f, -10.0f, 0.0f), Point3(0.0f, 0.0f, 0.0f));
    } else {
        buildOn(makeGrid(10, 10, 1.0f));
        lookDown(5.0f, 5.0f, 12.0f);
    }
    const IPoint2 start{400, 300};
    press(start);
    // A sound event first, so that velocities and the mask are not trivially zero or one.
    drag({405, 300});
    cloth.settings.maskVal = 0.3f;
    drag({405, 300}, kAltBit);
    EXPECT_FALSE(cloth.lastEventReverted);
    const ClothSnapshot before = ClothSnapshot::of(cloth);
    const int notifications = node->notifyCount;

    c.overflow(cloth.settings);
    drag({412, 296}, c.flags);
    EXPECT_TRUE(cloth.lastEventReverted);
    const ClothSnapshot after = ClothSnapshot::of(cloth);
    EXPECT_TRUE(sameBits(before.positions, after.positions));
    EXPECT_TRUE(sameBits(before.velocities, after.velocities));
    EXPECT_TRUE(sameBits(before.restLengths, after.restLengths));
    EXPECT_TRUE(sameBits(before.restAngles, after.restAngles));
    EXPECT_TRUE(sameBits(before.mask, after.mask));
    EXPECT_TRUE(allZero(after.deltas));
    EXPECT_TRUE(coloursShowMask(cloth));
    EXPECT_EQ(node->notifyCount, notifications + 1);  // the host still hears of the event

    // Back to sane settings, the next event goes through.
    cloth.settings = BrushSettings{};
    drag({420, 292}, c.flags);
    EXPECT_FALSE(cloth.lastEventReverted);
    EXPECT_TRUE(clothStateFinite(cloth));
    release({420, 292});
    EXPECT_EQ(theHold.UndoCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Overflows, StrokeGuard,
    ::testing::Values(
        OverflowCase{"HugeMaskBlur", false, kShiftBit | kAltBit, [](BrushSettings& s) { s.maskBlurStrength = 1e30f; }},
        OverflowCase{"InfinitePressure", true, 0,
                     [](BrushSettings& s) {
                         s.pressureEnabled = true;
                         s.pressure = INFINITY;
                     }},
        OverflowCase{"HugeMoveStrength", false, kCtrlBit, [](BrushSettings& s) { s.moveStrength = 3e38f; }},
        OverflowCase{"HugeMaskValue", false, kAltBit, [](BrushSettings& s) { s.maskVal = INFINITY; }}),
    [](const ::testing::TestParamInfo<OverflowCase>& p) { return std::string(p.param.name); });

TEST_F(StrokeFixture, TheFiniteCheckSeesOneBadValueAnywhere) {
    buildOn(makeGrid(120, 120, 0.1f));  // big enough to be checked in several chunks
    ASSERT_TRUE(clothStateFinite(cloth));
    const size_t v = cloth.mesh->verts.size();
    const size_t c = cloth.constraints.size();
    struct Spot { const char* name; float* value; };
    const Spot spots[] = {
        {"first position", &cloth.mesh->verts[0].x},
        {"last position", &cloth.mesh->verts[v - 1].z},
        {"middle velocity", &cloth.velocities[v / 2].y},
        {"last mask", &cloth.mask[v - 1]},
        {"first rest length", &cloth.constraints[0].restLength},
        {"last rest angle", &cloth.constraints[c - 1].restAngle},
    };
    for (const Spot& s : spots) {
        for (const float bad : {NAN, INFINITY, -INFINITY}) {
            const float kept = *s.value;
            *s.value = bad;
            EXPECT_FALSE(clothStateFinite(cloth)) << s.name;
            *s.value = kept;
        }
        *s.value = 3.4e38f;  // huge but finite
        EXPECT_TRUE(clothStateFinite(cloth)) << s.name;
    }
}

}  // namespace
}  // namespace brushtest
