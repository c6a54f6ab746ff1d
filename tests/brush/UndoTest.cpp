// The undo record of a stroke: undo and redo put every bit back, and never touch a cloth the
// snapshot no longer fits.
#include <gtest/gtest.h>

#include <string>

#include "StrokeFixture.h"
#include "brush/BrushMode.h"
#include "brush/ClothRestore.h"
#include "brush/StrokeLifecycle.h"
#include "sdk/HostHeap.h"

namespace brushtest {
namespace {

using velmora::fixtures::makeGrid;
using velmora::fixtures::makeUvSphere;
// A bumpy grid, so that a stroke changes rest angles too.
class Undo : public GridFixture {
public:
    void SetUp() override {
        GridFixture::SetUp();
        buildOn(bumpyGrid(), L"bumpy");
    }
};

// A stroke that moves, grows, shrinks, flattens and paints, so that every saved array changes.
void richStroke(StrokeFixture& f, ClothMouseProc& cloth) {
    cloth.settings.maskVal = 0.25f;
    IPoint2 p{400, 300};
    auto step = [&](int dx, int dy, int flags) {
        p = {p.x + dx, p.y + dy};
        cloth.proc(f.ip->ActiveViewportWindow(), MOUSE_MOVE, 0, flags, p);
    };
    cloth.proc(f.ip->ActiveViewportWindow(), MOUSE_POINT, 0, 0, p);
    step(8, -4, 0);
    step(8, -4, kShiftBit | kCtrlBit);
    step(-5, 6, kCtrlBit | kAltBit);
    step(4, 0, kShiftBit);
    step(0, 0, kAltBit);
    step(3, 3, kShiftBit | kAltBit);
    step(6, 2, kCtrlBit);
    cloth.proc(f.ip->ActiveViewportWindow(), MOUSE_POINT, 1, 0, p);
}

::testing::AssertionResult sameSavedState(const ClothSnapshot& a, const ClothSnapshot& b) {
    if (!sameBits(a.positions, b.positions)) return ::testing::AssertionFailure() << "positions differ";
    if (!sameBits(a.restLengths, b.restLengths)) return ::testing::AssertionFailure() << "rest lengths differ";
    if (!sameBits(a.restAngles, b.restAngles)) return ::testing::AssertionFailure() << "rest angles differ";
    if (!sameBits(a.mask, b.mask)) return ::testing::AssertionFailure() << "mask differs";
    if (!sameBits(a.colours, b.colours)) return ::testing::AssertionFailure() << "colours differ";
    return ::testing::AssertionSuccess();
}

TEST_F(Undo, UndoAndRedoAlternatedGiveTheSameTwoStatesBitForBit) {
    const ClothSnapshot beforeStroke = ClothSnapshot::of(cloth);
    richStroke(*this, cloth);
    const ClothSnapshot afterStroke = ClothSnapshot::of(cloth);
    ASSERT_FALSE(sameBits(beforeStroke.positions, afterStroke.positions));
    ASSERT_FALSE(sameBits(beforeStroke.restLengths, afterStroke.restLengths));
    ASSERT_FALSE(sameBits(beforeStroke.restAngles, afterStroke.restAngles));
    ASSERT_FALSE(sameBits(beforeStroke.mask, afterStroke.mask));
    ASSERT_EQ(theHold.UndoLabels(), std::vector<std::wstring>{L"ClothStroke"});

    const std::int64_t heapBlocks = HostHeapLiveBlocks();
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        const int notifications = node->notifyCount;
        const int redraws = ip->redrawCount;
        ASSERT_TRUE(theHold.Undo());
        const ClothSnapshot undone = ClothSnapshot::of(cloth);
        EXPECT_TRUE(sameSavedState(beforeStroke, undone));
        EXPECT_TRUE(allZero(undone.velocities));
        EXPECT_TRUE(allZero(undone.deltas));
        EXPECT_TRUE(coloursShowMask(cloth));
        // Undo leaves the brush alone.
        EXPECT_TRUE(sameBits(undone.weights, afterStroke.weights));
        EXPECT_TRUE(sameBits(undone.brushFrame, afterStroke.brushFrame));
        EXPECT_EQ(node->notifyCount, notifications + 1);
        EXPECT_EQ(ip->redrawCount, redraws + 1);

        ASSERT_TRUE(theHold.Redo());
        const ClothSnapshot redone = ClothSnapshot::of(cloth);
        EXPECT_TRUE(sameSavedState(afterStroke, redone));
        EXPECT_TRUE(allZero(redone.velocities));
        EXPECT_TRUE(allZero(redone.deltas));
        EXPECT_TRUE(coloursShowMask(cloth));
        EXPECT_EQ(node->notifyCount, notifications + 2);

        EXPECT_EQ(theHold.UndoCount(), 1);
        EXPECT_EQ(theHold.RedoCount(), 0);
        EXPECT_EQ(HostHeapLiveBlocks(), heapBlocks);
    }
}

TEST_F(Undo, TheRecordHoldsOneCopyPerSideAndDoesNotGrow) {
    ClothRestore record(&cloth);
    EXPECT_EQ(record.Description(), L" Cloth State");
    const size_t v = cloth.mesh->verts.size();
    const size_t c = cloth.constraints.size();
    EXPECT_EQ(record.undoPositions.size(), v);
    EXPECT_EQ(record.undoMask.size(), v);
    EXPECT_EQ(record.undoRestLengths.size(), c);
    EXPECT_EQ(record.undoRestAngles.size(), c);
    EXPECT_TRUE(record.redoPositions.empty());

    // Redo before any undo does nothing.
    const int notifications = node->notifyCount;
    const float pressedZ = cloth.mesh->verts[3].z;
    cloth.mesh->verts[3].z = 0.75f;
    record.Redo();
    EXPECT_EQ(cloth.mesh->verts[3].z, 0.75f);
    EXPECT_EQ(node->notifyCount, notifications);

    record.Restore(1);
    const size_t capacity = record.redoPositions.capacity();
    for (int i = 0; i < 30; ++i) {
        record.Redo();
        record.Restore(1);
    }
    EXPECT_EQ(record.redoPositions.size(), v);
    EXPECT_EQ(record.redoMask.size(), v);
    EXPECT_EQ(record.redoRestLengths.size(), c);
    EXPECT_EQ(record.redoRestAngles.size(), c);
    EXPECT_EQ(record.redoPositions.capacity(), capacity);
    EXPECT_EQ(cloth.mesh->verts[3].z, pressedZ);
    record.Redo();
    EXPECT_EQ(cloth.mesh->verts[3].z, 0.75f);
}

TEST_F(Undo, AResizeOnlyStrokeUndoesWithoutTouchingTheRadius) {
    const ClothSnapshot before = ClothSnapshot::of(cloth);
    press(kCentre);
    drag({400, 320}, kShiftBit | kCtrlBit | kAltBit);
    release({400, 320});
    const float resized = cloth.brushRadius;
    ASSERT_NE(resized, before.brushRadius);
    const int redraws = ip->redrawCount;
    ASSERT_TRUE(theHold.Undo());
    EXPECT_TRUE(sameBits(cloth.brushRadius, resized));
    EXPECT_TRUE(sameSavedState(before, ClothSnapshot::of(cloth)));
    EXPECT_EQ(ip->redrawCount, redraws + 1);
}

// Undo and redo of a snapshot that no longer fits the cloth: nothing is read or written.
struct MismatchCase {
    const char* name;
    void (*change)(StrokeFixture& f);
};

class UndoMismatch : public Undo, public ::testing::WithParamInterface<MismatchCase> {};

TEST_P(UndoMismatch, LeavesTheCurrentClothAlone) {
    richStroke(*this, cloth);
    ASSERT_TRUE(theHold.Undo());
    ASSERT_TRUE(theHold.Redo());
    GetParam().change(*this);
    const bool usable = clothStateUsable(cloth);
    const ClothSnapshot before = usable ? ClothSnapshot::of(cloth) : ClothSnapshot{};
    const int redraws = ip->redrawCount;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(theHold.Undo());
        EXPECT_TRUE(theHold.Redo());
    }
    EXPECT_EQ(ip->redrawCount, redraws);
    if (usable) {
        const ClothSnapshot after = ClothSnapshot::of(cloth);
        EXPECT_TRUE(sameSavedState(before, after));
        EXPECT_TRUE(sameBits(before.velocities, after.velocities));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UndoMismatch,
    ::testing::Values(
        MismatchCase{"RebuiltOnAnotherObject",
                     [](StrokeFixture& f) { f.buildOn(makeUvSphere(2.0f, 8, 12), L"other"); }},
        MismatchCase{"RebuiltOnAnotherObjectWithTheSameCounts",
                     [](StrokeFixture& f) { f.buildOn(makeGrid(10, 10, 1.0f), L"twin"); }},
        MismatchCase{"NodeDeleted", [](StrokeFixture& f) { ASSERT_TRUE(f.ip->DeleteNode(f.node)); }},
        MismatchCase{"SameNodeRebuiltWithOtherCounts",
                     [](StrokeFixture& f) {
                         INode* n = f.node;
                         TriObject* tri = CreateNewTriObject();
                         tri->mesh = makeGrid(4, 3, 1.0f);
                         n->SetObjectRef(tri);
                         f.rebuild(&tri->mesh);
                     }}),
    [](const ::testing::TestParamInfo<MismatchCase>& p) { return std::string(p.param.name); });

TEST_F(Undo, ARecordOfAMeshWithoutVerticesDoesNothing) {
    buildOn(Mesh{}, L"empty");
    const int notifications = node->notifyCount;
    ClothRestore record(&cloth);
    record.Restore(1);
    record.Redo();
    EXPECT_TRUE(record.redoPositions.empty());
    EXPECT_EQ(node->notifyCount, notifications);

    ClothRestore nobody(nullptr);
    nobody.Restore(1);
    nobody.Redo();
    EXPECT_EQ(nobody.Description(), L" Cloth State");
}

}  // namespace
}  // namespace brushtest
