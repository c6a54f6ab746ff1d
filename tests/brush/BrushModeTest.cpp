// The eight brush modes driven through the mouse procedure on a grid seen from above.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "StrokeFixture.h"
#include "brush/BrushMode.h"

namespace brushtest {
namespace {

using velmora::fixtures::makeGrid;

bool allFinite(const ClothSnapshot& s) {
    auto finite3 = [](const std::vector<Point3>& v) {
        for (const Point3& p : v) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
        }
        return true;
    };
    auto finite1 = [](const std::vector<float>& v) {
        for (float f : v) {
            if (!std::isfinite(f)) return false;
        }
        return true;
    };
    return finite3(s.positions) && finite3(s.velocities) && finite1(s.restLengths) && finite1(s.restAngles) &&
           finite1(s.mask) && finite1(s.weights);
}

enum class Trend { Same, Grows, Shrinks, Changes, Free };

// Compares b against a: Same means identical bits, Grows/Shrinks means no entry moved the other
// way and at least one moved, Changes means some entry differs, Free means anything goes.
::testing::AssertionResult followsTrend(const std::vector<float>& a, const std::vector<float>& b, Trend t) {
    if (a.size() != b.size()) return ::testing::AssertionFailure() << "sizes differ";
    if (t == Trend::Free) return ::testing::AssertionSuccess();
    if (t == Trend::Same) {
        return sameBits(a, b) ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "values changed";
    }
    bool any = false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) any = true;
        if (t == Trend::Grows && b[i] < a[i]) return ::testing::AssertionFailure() << "entry " << i << " shrank";
        if (t == Trend::Shrinks && b[i] > a[i]) return ::testing::AssertionFailure() << "entry " << i << " grew";
    }
    return any ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "nothing changed";
}

TEST(BrushModeChoice, EveryModifierCombinationSelectsItsRow) {
    struct Row { int flags; BrushMode mode; };
    const Row rows[] = {
        {0, BrushMode::Move},
        {kCtrlBit, BrushMode::Drag},
        {kShiftBit, BrushMode::Flatten},
        {kShiftBit | kCtrlBit, BrushMode::Expand},
        {kCtrlBit | kAltBit, BrushMode::Shrink},
        {kAltBit, BrushMode::MaskPaint},
        {kShiftBit | kAltBit, BrushMode::MaskBlur},
        {kShiftBit | kCtrlBit | kAltBit, BrushMode::Resize},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(brushModeFromFlags(r.flags), r.mode) << "flags " << r.flags;
        // Bits above Alt (mouse buttons and the like) do not change the choice.
        EXPECT_EQ(brushModeFromFlags(r.flags | 0x18 | (1 << 20)), r.mode) << "flags " << r.flags;
    }
}

struct ModeCase {
    const char* name;
    int flags;
    bool movesVertices;   // runs the solver with a visible effect on positions
    bool runsSolver;      // velocities and (through plasticity) rest angles may change
    Trend restLengths;
    bool flattens;        // some rest angle under the brush loses most of its value
    Trend mask;
    bool picks;           // brush placed again and weights recomputed at every drag
    Trend radius;
};

class ModeTable : public StrokeFixture, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ModeTable, DragChangesWhatItsRowSaysAndNothingElse) {
    const ModeCase& c = GetParam();
    buildOn(bumpyGrid());
    lookDown(5.0f, 5.0f, 12.0f);
    // A mask of 0.5 and 1 in turn: everything still moves, and blur has something to even out.
    for (size_t i = 0; i < cloth.mask.size(); ++i) cloth.mask[i] = (i % 2 == 0) ? 0.5f : 1.0f;
    cloth.writeMaskColors();
    cloth.settings.maskVal = 0.0f;
    // Without plasticity only Flatten may touch the rest angles.
    cloth.settings.plasticity = 0.0f;

    const IPoint2 start{400, 300};
    ASSERT_EQ(press(start), 1);
    const ClothSnapshot before = ClothSnapshot::of(cloth);
    const int centre = nearestVertex(before.brushFrame.GetTrans());

    const IPoint2 path[] = {{410, 295}, {420, 290}, {430, 285}};  // right and up on the screen
    for (IPoint2 p : path) ASSERT_EQ(drag(p, c.flags), 1);
    const ClothSnapshot after = ClothSnapshot::of(cloth);

    EXPECT_TRUE(allFinite(after));
    EXPECT_FALSE(cloth.lastEventReverted);
    EXPECT_EQ(!sameBits(before.positions, after.positions), c.movesVertices) << "positions";
    if (c.movesVertices) {
        // Mouse right and up: along the view's +x and +y.
        const Point3 moved = after.positions[static_cast<size_t>(centre)] - before.positions[static_cast<size_t>(centre)];
        if (c.flags == 0 || c.flags == kCtrlBit) {
            EXPECT_GT(moved.x, 0.0f);
            EXPECT_GT(moved.y, 0.0f);
        }
    }
    EXPECT_EQ(!allZero(after.velocities), c.runsSolver) << "velocities";
    EXPECT_TRUE(followsTrend(before.restLengths, after.restLengths, c.restLengths)) << "rest lengths";
    if (!c.flattens) {
        EXPECT_TRUE(sameBits(before.restAngles, after.restAngles)) << "rest angles";
    }
    if (c.flattens) {
        bool flattened = false;
        for (size_t k = 0; k < before.restAngles.size(); ++k) {
            const float a = before.restAngles[k], b = after.restAngles[k];
            if (std::fabs(a) > 0.05f && std::fabs(b) < 0.5f * std::fabs(a)) flattened = true;
        }
        EXPECT_TRUE(flattened);
    }
    EXPECT_TRUE(followsTrend(before.mask, after.mask, c.mask)) << "mask";
    EXPECT_TRUE(coloursShowMask(cloth));

    if (c.picks) {
        EXPECT_FALSE(sameBits(before.weights, after.weights));
        EXPECT_GT(after.brushFrame.GetTrans().x, before.brushFrame.GetTrans().x + 0.3f);
        EXPECT_TRUE(sameBits(display.displayFrame, cloth.brushFrame));
    } else {
        EXPECT_TRUE(sameBits(before.weights, after.weights));
        EXPECT_TRUE(sameBits(before.brushFrame, after.brushFrame));
    }
    if (c.radius == Trend::Same) {
        EXPECT_TRUE(sameBits(before.brushRadius, after.brushRadius));
    } else {
        float expected = before.brushRadius;
        for (int i = 0; i < 3; ++i) expected *= 1.1f;
        EXPECT_TRUE(sameBits(after.brushRadius, expected));
        EXPECT_TRUE(sameBits(display.displayRadius, expected));
    }
    EXPECT_EQ(cloth.lastMousePoint, path[2]);
    EXPECT_TRUE(sameBits(cloth.prevBrushPoint.x, cloth.brushFrame.GetTrans().x));
    EXPECT_TRUE(sameBits(cloth.prevBrushPoint.y, cloth.brushFrame.GetTrans().y));

    release(path[2]);
    EXPECT_EQ(theHold.UndoCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ModeTable,
    ::testing::Values(
        //        name        flags                          moves  solver restLengths     flat   mask            picks  radius
        ModeCase{"Move", 0, true, true, Trend::Same, false, Trend::Same, false, Trend::Same},
        ModeCase{"Drag", kCtrlBit, true, true, Trend::Same, false, Trend::Same, true, Trend::Same},
        ModeCase{"Flatten", kShiftBit, true, true, Trend::Same, true, Trend::Same, true, Trend::Same},
        ModeCase{"Expand", kShiftBit | kCtrlBit, true, true, Trend::Grows, false, Trend::Same, true, Trend::Same},
        ModeCase{"Shrink", kCtrlBit | kAltBit, true, true, Trend::Shrinks, false, Trend::Same, true, Trend::Same},
        ModeCase{"MaskPaint", kAltBit, false, false, Trend::Same, false, Trend::Shrinks, true, Trend::Same},
        ModeCase{"MaskBlur", kShiftBit | kAltBit, false, false, Trend::Same, false, Trend::Changes, true, Trend::Same},
        ModeCase{"Resize", kShiftBit | kCtrlBit | kAltBit, false, false, Trend::Same, false, Trend::Same, false,
                 Trend::Grows}),
    [](const ::testing::TestParamInfo<ModeCase>& p) { return std::string(p.param.name); });

using BrushModes = GridFixture;

TEST_F(BrushModes, MoveKeepsThePressWeightsWhenDraggedOffTheMesh) {
    pinBorder();  // a free cloth would follow almost rigidly; pinned, the pull shows where it acts
    press(kCentre);
    const ClothSnapshot atPress = ClothSnapshot::of(cloth);
    const int centre = nearestVertex(atPress.brushFrame.GetTrans());
    const int nearBorder = nearestVertex(Point3(1.0f, 1.0f, 0.0f));

    drag({kCentre.x - 40, kCentre.y - 30});  // the first event already lands off the mesh...
    drag(kOffMesh);
    const ClothSnapshot after = ClothSnapshot::of(cloth);
    EXPECT_TRUE(sameBits(atPress.weights, after.weights));
    EXPECT_TRUE(sameBits(atPress.brushFrame, after.brushFrame));
    // Mouse left and up: the cloth under the press point follows along -x and +y, far more than
    // the cloth near the pinned border.
    const Point3 movedCentre = after.positions[static_cast<size_t>(centre)] - atPress.positions[static_cast<size_t>(centre)];
    const Point3 movedNearBorder =
        after.positions[static_cast<size_t>(nearBorder)] - atPress.positions[static_cast<size_t>(nearBorder)];
    EXPECT_LT(movedCentre.x, 0.0f);
    EXPECT_GT(movedCentre.y, 0.0f);
    EXPECT_GT(Length(movedCentre), 3.0f * Length(movedNearBorder));

    drag({kOffMesh.x - 5, kOffMesh.y});  // ...and further off
    EXPECT_TRUE(sameBits(atPress.weights, cloth.brushWeights));
}

TEST_F(BrushModes, MoveUsesTheWeightsOfTheLastDragThatRecomputedThem) {
    press(kCentre);
    const std::vector<float> pressWeights = cloth.brushWeights;
    drag({450, 300}, kCtrlBit);
    const std::vector<float> dragWeights = cloth.brushWeights;
    ASSERT_FALSE(sameBits(pressWeights, dragWeights));
    drag({460, 300});
    drag({470, 310});
    EXPECT_TRUE(sameBits(dragWeights, cloth.brushWeights));
}

TEST_F(BrushModes, DragOffTheMeshKeepsActingAtTheLastHit) {
    pinBorder();
    press(kCentre);
    drag({450, 300}, kCtrlBit);
    const Matrix3 lastHit = cloth.brushFrame;
    const Point3 hitPoint = lastHit.GetTrans();
    ASSERT_NEAR(hitPoint.x, 6.0f, 1e-4f);
    const ClothSnapshot beforeOff = ClothSnapshot::of(cloth);

    drag(kOffMesh, kCtrlBit);
    EXPECT_TRUE(sameBits(cloth.brushFrame, lastHit));
    EXPECT_TRUE(sameBits(display.displayFrame, lastHit));
    // Weights recomputed around the last hit, and the cloth there keeps following the mouse.
    const int there = nearestVertex(hitPoint);
    EXPECT_GT(cloth.brushWeights[static_cast<size_t>(there)], 0.5f);
    EXPECT_EQ(cloth.brushWeights[static_cast<size_t>(nearestVertex(Point3(0.0f, 0.0f, 0.0f)))], 0.0f);
    const Point3 moved = cloth.mesh->verts[static_cast<size_t>(there)] - beforeOff.positions[static_cast<size_t>(there)];
    EXPECT_LT(moved.x, 0.0f);
    EXPECT_GT(moved.y, 0.0f);
}

TEST_F(BrushModes, ResizeScalesOnVerticalMotionOnly) {
    struct Case { const char* name; int stepX; int stepY; int steps; float factor; };
    const Case cases[] = {
        {"ten steps down", 0, 4, 10, 0.9f},
        {"ten steps up", 0, -4, 10, 1.1f},
        {"down and sideways", 7, 4, 5, 0.9f},
        {"sideways only", 6, 0, 10, 1.0f},
    };
    const int resize = kShiftBit | kCtrlBit | kAltBit;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const float r0 = cloth.brushRadius;
        IPoint2 p = kCentre;
        press(p);
        const ClothSnapshot atPress = ClothSnapshot::of(cloth);
        float expected = r0;
        for (int i = 0; i < c.steps; ++i) {
            p = {p.x + c.stepX, p.y + c.stepY};
            drag(p, resize);
            if (c.factor != 1.0f) expected *= c.factor;  // step by step, as floats
        }
        EXPECT_TRUE(sameBits(cloth.brushRadius, expected)) << cloth.brushRadius << " vs " << expected;
        EXPECT_TRUE(sameBits(display.displayRadius, expected));
        const ClothSnapshot after = ClothSnapshot::of(cloth);
        EXPECT_TRUE(sameBits(atPress.positions, after.positions));
        EXPECT_TRUE(sameBits(atPress.weights, after.weights));
        EXPECT_TRUE(sameBits(atPress.restLengths, after.restLengths));
        EXPECT_TRUE(sameBits(atPress.mask, after.mask));
        release(p);
    }
    float tenth = 1.0f;
    for (int i = 0; i < 10; ++i) tenth *= 0.9f;
    EXPECT_NEAR(tenth, std::pow(0.9, 10), 1e-6);
}

TEST_F(BrushModes, ResizeDoesNotChangeTheMoveOfLaterDrags) {
    // The same Move drag (10 pixels right) from the same state, once after a Resize drag: the
    // move scales with the radius of the build, so the cloth ends in the same place.
    const float builtRadius = cloth.brushRadius;
    press(kCentre);
    drag({410, 300});
    const ClothSnapshot plain = ClothSnapshot::of(cloth);
    release({410, 300});
    ASSERT_TRUE(theHold.Undo());

    press(kCentre);
    drag({400, 340}, kShiftBit | kCtrlBit | kAltBit);
    ASSERT_NE(cloth.brushRadius, builtRadius);
    drag({410, 340});
    EXPECT_TRUE(sameBits(plain.positions, ClothSnapshot::of(cloth).positions));
    release({410, 340});
}

TEST_F(BrushModes, PaintedMaskOfZeroHoldsVerticesStillWhenTheMaskIsOn) {
    for (const bool useMask : {true, false}) {
        SCOPED_TRACE(useMask ? "useVCMask on" : "useVCMask off");
        GetCOREInterface()->Reset();
        buildOn(makeGrid(10, 10, 1.0f));
        lookDown(5.0f, 5.0f, 12.0f);
        cloth.settings.maskVal = 0.0f;
        cloth.settings.useVCMask = useMask;

        press(kCentre);  // the ray hits the grid vertex (5, 5) exactly
        drag(kCentre, kAltBit);
        drag(kCentre, kAltBit);
        std::vector<size_t> held;
        for (size_t i = 0; i < cloth.mask.size(); ++i) {
            if (cloth.mask[i] == 0.0f) held.push_back(i);
        }
        ASSERT_FALSE(held.empty());
        EXPECT_TRUE(coloursShowMask(cloth));
        const ClothSnapshot painted = ClothSnapshot::of(cloth);

        for (int i = 1; i <= 3; ++i) drag({kCentre.x + 15 * i, kCentre.y});
        const ClothSnapshot moved = ClothSnapshot::of(cloth);
        ASSERT_FALSE(sameBits(painted.positions, moved.positions));
        for (size_t v : held) {
            const bool still = sameBits(painted.positions[v].x, moved.positions[v].x) &&
                               sameBits(painted.positions[v].y, moved.positions[v].y) &&
                               sameBits(painted.positions[v].z, moved.positions[v].z);
            EXPECT_EQ(still, useMask) << "vertex " << v;
        }
        // The mask itself is untouched by moving, and its colours stay written.
        EXPECT_TRUE(sameBits(painted.mask, moved.mask));
        EXPECT_TRUE(coloursShowMask(cloth));
        release({kCentre.x + 45, kCentre.y});
        theHold.ClearHistory();
    }
}

TEST_F(BrushModes, DirectionalExpandFollowsTheBrushAndIsANumberWhenItStandsStill) {
    cloth.settings.directionalExpand = true;
    const int expand = kShiftBit | kCtrlBit;
    press(kCentre);
    const ClothSnapshot atPress = ClothSnapshot::of(cloth);

    // The brush point does not move: no direction, nothing grows, nothing turns NaN.
    drag(kCentre, expand);
    EXPECT_FALSE(cloth.lastEventReverted);
    EXPECT_TRUE(sameBits(atPress.restLengths, ClothSnapshot::of(cloth).restLengths));
    EXPECT_TRUE(allFinite(ClothSnapshot::of(cloth)));

    // The brush moves along +x (the centre row of pixels maps to y = 5 exactly): edges along y do
    // not grow, edges along x do.
    const ClothSnapshot beforeMove = ClothSnapshot::of(cloth);
    drag({kCentre.x + 20, kCentre.y}, expand);
    bool alongXGrew = false;
    for (size_t k = 0; k < cloth.constraints.size(); ++k) {
        const EdgeConstraint& e = cloth.constraints[k];
        const Point3 a = atPress.positions[static_cast<size_t>(e.vert0)];
        const Point3 b = atPress.positions[static_cast<size_t>(e.vert1)];
        if (a.x == b.x) {
            EXPECT_NEAR(e.restLength, beforeMove.restLengths[k], 1e-6f) << "edge " << k;
        }
        if (a.y == b.y && e.restLength > beforeMove.restLengths[k]) alongXGrew = true;
    }
    EXPECT_TRUE(alongXGrew);
}

}  // namespace
}  // namespace brushtest
