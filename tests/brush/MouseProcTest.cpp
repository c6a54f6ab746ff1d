// The mouse procedure: the life of a stroke, the host notifications, the cursor, and events that
// arrive when there is no cloth to work on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StrokeFixture.h"
#include "brush/BrushMode.h"
#include "brush/StrokeLifecycle.h"
#include "sdk/Cursors.h"
#include "sdk/Parallel.h"

namespace brushtest {
namespace {

using velmora::fixtures::makeGrid;
using MouseProc = GridFixture;

// Host-side counters that a stroke may move.
struct HostCounters {
    int notifications, redraws, geomInvalidations, topologyInvalidations, undoEntries;
    static HostCounters of(const ClothMouseProc& c, const INode* n) {
        return {n->notifyCount, GetCOREInterface()->redrawCount, c.mesh->geomCacheInvalidations,
                c.mesh->topologyCacheInvalidations, theHold.UndoCount()};
    }
};

TEST_F(MouseProc, PressAndReleaseWithoutDragRecordOneClothStroke) {
    const ClothSnapshot initial = ClothSnapshot::of(cloth);
    EXPECT_EQ(press(kCentre), 1);
    EXPECT_TRUE(cloth.strokeOpen);
    EXPECT_TRUE(theHold.Holding());
    EXPECT_EQ(release(kCentre), 1);
    EXPECT_FALSE(cloth.strokeOpen);
    EXPECT_FALSE(theHold.Holding());
    ASSERT_EQ(theHold.UndoLabels(), std::vector<std::wstring>{L"ClothStroke"});

    ASSERT_TRUE(theHold.Undo());
    const ClothSnapshot undone = ClothSnapshot::of(cloth);
    EXPECT_TRUE(sameBits(initial.positions, undone.positions));
    EXPECT_TRUE(sameBits(initial.restLengths, undone.restLengths));
    EXPECT_TRUE(sameBits(initial.restAngles, undone.restAngles));
    EXPECT_TRUE(sameBits(initial.mask, undone.mask));
}

TEST_F(MouseProc, OneStrokeOfManyDragsAndModeChangesIsOneEntry) {
    press(kCentre);
    const int modes[] = {0, kCtrlBit, kShiftBit, kAltBit, kShiftBit | kCtrlBit | kAltBit, 0};
    int x = kCentre.x;
    for (int flags : modes) drag({x += 5, kCentre.y}, flags);
    release({x, kCentre.y});
    EXPECT_EQ(theHold.UndoCount(), 1);
    EXPECT_FALSE(theHold.Holding());
}

TEST_F(MouseProc, PressPlacesTheBrushAndWeighsItWhateverTheKeys) {
    for (const int flags : {0, kCtrlBit, kShiftBit | kCtrlBit | kAltBit}) {
        SCOPED_TRACE(flags);
        const IPoint2 p{420, 280};
        press(p, flags);
        const Point3 hit = cloth.brushFrame.GetTrans();
        EXPECT_NEAR(hit.x, 5.4f, 1e-4f);
        EXPECT_NEAR(hit.y, 5.4f, 1e-4f);
        EXPECT_TRUE(sameBits(cloth.prevBrushPoint.x, hit.x));
        EXPECT_EQ(cloth.lastMousePoint, p);
        EXPECT_GT(cloth.brushWeights[static_cast<size_t>(nearestVertex(hit))], 0.0f);
        release(p);
    }
    EXPECT_EQ(theHold.UndoCount(), 3);
}

TEST_F(MouseProc, APressOffTheMeshBeforeAnyHitWeighsAroundTheOrigin) {
    // The grid's corner vertex sits at the origin, the translation of the never-moved frame.
    press(kOffMesh);
    EXPECT_TRUE(sameBits(cloth.brushFrame, Matrix3()));
    EXPECT_EQ(cloth.brushWeights[0], 1.0f);
    EXPECT_EQ(cloth.brushWeights[static_cast<size_t>(nearestVertex(Point3(5.0f, 5.0f, 0.0f)))], 0.0f);
    const Point3 cornerBefore = cloth.mesh->verts[0];
    drag({kOffMesh.x + 20, kOffMesh.y});
    EXPECT_GT(cloth.mesh->verts[0].x, cornerBefore.x);
    release({kOffMesh.x + 20, kOffMesh.y});
    EXPECT_EQ(theHold.UndoCount(), 1);
}

TEST_F(MouseProc, AStrokeGivesTheSameBitsWithOneThreadOrMany) {
    auto stroke = [&] {
        IPoint2 p = kCentre;
        press(p);
        const int modes[] = {0, kCtrlBit, kShiftBit | kCtrlBit, kCtrlBit | kAltBit, kShiftBit, kAltBit, kShiftBit | kAltBit};
        for (int flags : modes) {
            p = {p.x + 6, p.y - 2};
            drag(p, flags);
        }
        release(p);
        return ClothSnapshot::of(cloth);
    };
    const ClothSnapshot many = stroke();
    ASSERT_TRUE(theHold.Undo());
    ClothSnapshot one;
    {
        velmora::parallel::ThreadLimit single(1);
        one = stroke();
    }
    EXPECT_TRUE(sameBits(many.positions, one.positions));
    EXPECT_TRUE(sameBits(many.velocities, one.velocities));
    EXPECT_TRUE(sameBits(many.restLengths, one.restLengths));
    EXPECT_TRUE(sameBits(many.restAngles, one.restAngles));
    EXPECT_TRUE(sameBits(many.mask, one.mask));
    EXPECT_TRUE(sameBits(many.weights, one.weights));
}

TEST_F(MouseProc, ReleaseMovesTheBrushButNotTheWeights) {
    press(kCentre);
    const std::vector<float> weights = cloth.brushWeights;
    release({450, 300});
    EXPECT_NEAR(cloth.brushFrame.GetTrans().x, 6.0f, 1e-4f);
    EXPECT_TRUE(sameBits(cloth.prevBrushPoint.x, cloth.brushFrame.GetTrans().x));
    EXPECT_EQ(cloth.lastMousePoint, (IPoint2{450, 300}));
    EXPECT_TRUE(sameBits(weights, cloth.brushWeights));
}

TEST_F(MouseProc, TenDragsNotifyTenTimesAndPressReleaseAndFreeMoveNever) {
    const HostCounters start = HostCounters::of(cloth, node);
    freeMove({410, 300});
    press(kCentre);
    const HostCounters pressed = HostCounters::of(cloth, node);
    EXPECT_EQ(pressed.notifications, start.notifications);
    EXPECT_EQ(pressed.redraws, start.redraws);
    EXPECT_EQ(pressed.geomInvalidations, start.geomInvalidations);
    EXPECT_EQ(pressed.topologyInvalidations, start.topologyInvalidations);

    // Every mode counts, also those that change nothing in the mesh (Resize, a missed pick).
    const int modes[] = {0, kCtrlBit, kShiftBit, kShiftBit | kCtrlBit, kCtrlBit | kAltBit,
                         kAltBit, kShiftBit | kAltBit, kShiftBit | kCtrlBit | kAltBit, kCtrlBit, 0};
    for (int i = 0; i < 10; ++i) drag(i == 8 ? kOffMesh : IPoint2{kCentre.x + 3 * i, kCentre.y}, modes[i]);
    const HostCounters dragged = HostCounters::of(cloth, node);
    EXPECT_EQ(dragged.notifications - pressed.notifications, 10);
    EXPECT_EQ(dragged.redraws - pressed.redraws, 10);
    EXPECT_EQ(dragged.geomInvalidations - pressed.geomInvalidations, 10);
    EXPECT_EQ(dragged.topologyInvalidations - pressed.topologyInvalidations, 10);

    const INode::Notification& n = node->lastNotification;
    EXPECT_EQ(n.interval, Interval(-2147483647 - 1, 2147483647));
    EXPECT_EQ(n.partID, 2);
    EXPECT_EQ(n.message, 80);
    EXPECT_EQ(n.sclass, 0xFFFFFFF0u);
    EXPECT_TRUE(n.propagate);
    EXPECT_EQ(n.target, nullptr);
    EXPECT_EQ(n.option, 0);
    EXPECT_EQ(ip->lastRedrawFlags, 2u);

    release(kCentre);
    freeMove({380, 300});
    const HostCounters end = HostCounters::of(cloth, node);
    EXPECT_EQ(end.notifications, dragged.notifications);
    EXPECT_EQ(end.redraws, dragged.redraws);
    EXPECT_EQ(end.geomInvalidations, dragged.geomInvalidations);
}

TEST_F(MouseProc, CursorIsSetOnlyWhenItDiffers) {
    press(kCentre);
    EXPECT_EQ(GetCursor(), cloth.pointCursor);
    const int afterPress = SetCursorCallCount();
    drag({410, 300});
    EXPECT_EQ(GetCursor(), cloth.dragCursor);
    EXPECT_EQ(SetCursorCallCount(), afterPress + 1);
    drag({420, 300});
    drag({430, 300});
    EXPECT_EQ(SetCursorCallCount(), afterPress + 1);
    release({430, 300});
    EXPECT_EQ(GetCursor(), cloth.pointCursor);
    freeMove({440, 300});
    freeMove({450, 300});
    EXPECT_EQ(SetCursorCallCount(), afterPress + 2);
}

TEST_F(MouseProc, FreeMoveFollowsTheMeshAndChangesNoVertexWeightOrMask) {
    press(kCentre);
    release(kCentre);
    const ClothSnapshot before = ClothSnapshot::of(cloth);
    const int notifications = node->notifyCount;

    EXPECT_EQ(freeMove({450, 250}), 1);
    EXPECT_NEAR(cloth.brushFrame.GetTrans().x, 6.0f, 1e-4f);
    EXPECT_NEAR(cloth.brushFrame.GetTrans().y, 6.0f, 1e-4f);
    EXPECT_TRUE(sameBits(display.displayFrame, cloth.brushFrame));
    EXPECT_TRUE(sameBits(display.displayRadius, cloth.brushRadius));
    const Matrix3 overMesh = cloth.brushFrame;

    freeMove(kOffMesh);  // over empty space: nothing moves
    EXPECT_TRUE(sameBits(cloth.brushFrame, overMesh));
    EXPECT_TRUE(sameBits(display.displayFrame, overMesh));

    const ClothSnapshot after = ClothSnapshot::of(cloth);
    EXPECT_TRUE(sameBits(before.positions, after.positions));
    EXPECT_TRUE(sameBits(before.weights, after.weights));
    EXPECT_TRUE(sameBits(before.mask, after.mask));
    EXPECT_EQ(node->notifyCount, notifications);
    EXPECT_EQ(theHold.UndoCount(), 1);
}

TEST_F(MouseProc, EveryMessageReturnsOne) {
    for (const int msg : {0, 1, 2, 3, 4, 5, 6, 7, 99, -1}) {
        EXPECT_EQ(cloth.proc(window(), msg, 0, 0, kCentre), 1) << "message " << msg;
        EXPECT_EQ(cloth.proc(window(), msg, 1, 0, kCentre), 1) << "message " << msg;
    }
    EXPECT_FALSE(theHold.Holding());
}

TEST_F(MouseProc, OnlyBitZeroOfThePointNumberTellsPressFromRelease) {
    cloth.proc(window(), MOUSE_POINT, 2, 0, kCentre);  // even: a press
    EXPECT_TRUE(theHold.Holding());
    cloth.proc(window(), MOUSE_POINT, 3, 0, kCentre);  // odd: the release
    EXPECT_FALSE(theHold.Holding());
    EXPECT_EQ(theHold.UndoCount(), 1);
}

TEST_F(MouseProc, ClosingAnOpenStrokeAcceptsItOnce) {
    closeOpenStroke(cloth);  // nothing open: nothing happens
    EXPECT_EQ(theHold.UndoCount(), 0);

    press(kCentre);
    drag({420, 300});
    closeOpenStroke(cloth);
    EXPECT_FALSE(cloth.strokeOpen);
    EXPECT_FALSE(theHold.Holding());
    EXPECT_EQ(theHold.UndoLabels(), std::vector<std::wstring>{L"ClothStroke"});

    closeOpenStroke(cloth);
    release({420, 300});  // the late release of the closed stroke adds nothing
    EXPECT_EQ(theHold.UndoCount(), 1);
    EXPECT_FALSE(theHold.Holding());
}

TEST_F(MouseProc, APressWhoseReleaseWasLostClosesTheStrokeBefore) {
    press(kCentre);
    drag({420, 300});
    press({430, 300});
    drag({440, 300});
    release({440, 300});
    EXPECT_EQ(theHold.UndoCount(), 2);
    EXPECT_FALSE(theHold.Holding());
}

// Events that reach no usable cloth: nothing is changed, no hold opens, the host hears nothing.
struct NoClothCase {
    const char* name;
    void (*spoil)(StrokeFixture& f, ClothMouseProc& cloth, INode*& node);
};

class NoCloth : public StrokeFixture, public ::testing::WithParamInterface<NoClothCase> {};

TEST_P(NoCloth, EventsDoNothingAndOpenNoHold) {
    buildOn(makeGrid(10, 10, 1.0f));
    lookDown(5.0f, 5.0f, 12.0f);
    GetParam().spoil(*this, cloth, node);
    const int redraws = ip->redrawCount;
    const Matrix3 frame = cloth.brushFrame;
    const HCURSOR cursor = GetCursor();

    const IPoint2 points[] = {{400, 300}, {420, 300}, {440, 310}};
    for (int flags = 0; flags < 8; ++flags) {
        EXPECT_EQ(press(points[0], flags), 1);
        EXPECT_FALSE(theHold.Holding());
        EXPECT_EQ(drag(points[1], flags), 1);
        EXPECT_EQ(freeMove(points[2]), 1);
        EXPECT_EQ(release(points[2], flags), 1);
    }
    EXPECT_FALSE(cloth.strokeOpen);
    EXPECT_EQ(theHold.UndoCount(), 0);
    EXPECT_EQ(ip->redrawCount, redraws);
    EXPECT_TRUE(sameBits(cloth.brushFrame, frame));
    EXPECT_EQ(GetCursor(), cursor);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoCloth,
    ::testing::Values(
        NoClothCase{"NeverBuilt",
                    [](StrokeFixture&, ClothMouseProc& c, INode*&) {
                        c.mesh = nullptr;
                        c.node = nullptr;
                    }},
        NoClothCase{"NodeDeleted",
                    [](StrokeFixture&, ClothMouseProc& c, INode*& n) {
                        ASSERT_TRUE(GetCOREInterface()->DeleteNode(c.node));
                        n = nullptr;
                    }},
        NoClothCase{"ObjectReplaced",
                    [](StrokeFixture&, ClothMouseProc& c, INode*&) {
                        TriObject* other = CreateNewTriObject();
                        other->mesh = makeGrid(10, 10, 1.0f);
                        c.node->SetObjectRef(other);
                    }},
        NoClothCase{"ObjectNoLongerAMesh",
                    [](StrokeFixture&, ClothMouseProc& c, INode*&) { c.node->SetObjectRef(new HelperObject); }},
        NoClothCase{"MeshChangedSize",
                    [](StrokeFixture&, ClothMouseProc& c, INode*&) { c.mesh->setNumVerts(c.mesh->getNumVerts() + 7, true); }}),
    [](const ::testing::TestParamInfo<NoClothCase>& p) { return std::string(p.param.name); });

TEST_F(MouseProc, ANodeDeletedMidStrokeStillClosesTheHold) {
    press(kCentre);
    drag({420, 300});
    ASSERT_TRUE(ip->DeleteNode(node));
    drag({440, 300});
    EXPECT_TRUE(theHold.Holding());
    release({440, 300});
    EXPECT_FALSE(theHold.Holding());
    EXPECT_FALSE(cloth.strokeOpen);
    ASSERT_EQ(theHold.UndoCount(), 1);
    // The snapshot's object is gone: undo and redo leave everything alone.
    const int redraws = ip->redrawCount;
    EXPECT_TRUE(theHold.Undo());
    EXPECT_TRUE(theHold.Redo());
    EXPECT_EQ(ip->redrawCount, redraws);
}

}  // namespace
}  // namespace brushtest
