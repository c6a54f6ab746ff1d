// Placing the brush with real viewport rays: a perspective camera at a closed mesh.
#include <gtest/gtest.h>

#include <cmath>

#include "StrokeFixture.h"
#include "brush/BrushMode.h"

namespace brushtest {
namespace {

using velmora::fixtures::makeUvSphere;

// A sphere of radius 2 at the origin, seen in perspective from -y; screen centre (400, 300).
class SpherePicking : public StrokeFixture {
protected:
    void SetUp() override {
        StrokeFixture::SetUp();
        buildOn(makeUvSphere(2.0f, 16, 24));
        lookAt(Point3(0.0f, -10.0f, 0.0f), Point3(0.0f, 0.0f, 0.0f));
    }
    static constexpr IPoint2 kCentre{400, 300};
};

TEST_F(SpherePicking, FrameSitsOnTheNearSurfaceWithItsAxisAlongTheNormal) {
    press(kCentre);
    const Point3 hit = cloth.brushFrame.GetTrans();
    // The near side of the sphere, on the view axis, between the facet and the true surface.
    EXPECT_NEAR(hit.x, 0.0f, 1e-4f);
    EXPECT_NEAR(hit.z, 0.0f, 1e-4f);
    EXPECT_LT(hit.y, -1.9f);
    EXPECT_GE(hit.y, -2.0f - 1e-4f);
    // Row 2 is the hit face's normal (toward the camera); row 1 leans on the view's up (+z).
    const Point3 axis = cloth.brushFrame.GetRow(2);
    EXPECT_NEAR(Length(axis), 1.0f, 1e-5f);
    EXPECT_LT(axis.y, -0.9f);
    EXPECT_GT(cloth.brushFrame.GetRow(1).z, 0.9f);
    EXPECT_TRUE(sameBits(display.displayFrame, cloth.brushFrame));
    EXPECT_TRUE(sameBits(display.displayRadius, cloth.brushRadius));

    // Weights: 1 at the brush point falling to 0 at the radius; the far side gets nothing.
    EXPECT_GT(cloth.brushWeights[static_cast<size_t>(nearestVertex(hit))], 0.8f);
    EXPECT_EQ(cloth.brushWeights[static_cast<size_t>(nearestVertex(Point3(0.0f, 2.0f, 0.0f)))], 0.0f);
    for (size_t i = 0; i < cloth.brushWeights.size(); ++i) {
        const float d = Length(cloth.mesh->verts[i] - hit);
        if (d >= cloth.brushRadius) {
            EXPECT_EQ(cloth.brushWeights[i], 0.0f);
        } else {
            EXPECT_NEAR(cloth.brushWeights[i], 1.0f - d / cloth.brushRadius, 1e-5f);
        }
    }
}

TEST_F(SpherePicking, AMissChangesNeitherFrameNorDisplayNorWeights) {
    press(kCentre);
    release(kCentre);
    const ClothSnapshot before = ClothSnapshot::of(cloth);
    const BrushDisplayValues shown = display;
    freeMove({10, 10});
    press({790, 10});
    const ClothSnapshot after = ClothSnapshot::of(cloth);
    EXPECT_TRUE(sameBits(before.brushFrame, after.brushFrame));
    EXPECT_TRUE(sameBits(shown.displayFrame, display.displayFrame));
    // The press recomputes the weights, around the last hit: the same weights.
    EXPECT_TRUE(sameBits(before.weights, after.weights));
}

TEST_F(SpherePicking, TheNodeTransformIsNotAppliedToTheRay) {
    press(kCentre);
    release(kCentre);
    const Matrix3 untransformed = cloth.brushFrame;
    Matrix3 moved;
    moved.SetTrans(Point3(5.0f, 1.0f, -3.0f));
    node->SetNodeTM(0, moved);
    freeMove({300, 300});
    press(kCentre);
    EXPECT_TRUE(sameBits(cloth.brushFrame, untransformed));
}

TEST_F(SpherePicking, DragMovesTheNearSideAlongTheView) {
    // The margins below are those of the plain solver; the sphere's poles lie beyond the
    // stabilised bound, which the stability tests cover.
    cloth.exactSolver = true;
    press(kCentre);
    const ClothSnapshot before = ClothSnapshot::of(cloth);
    const int front = nearestVertex(before.brushFrame.GetTrans());
    const int back = nearestVertex(Point3(0.0f, 2.0f, 0.0f));
    // Mouse right: the view's horizontal axis is world +x from this camera.
    for (int i = 1; i <= 4; ++i) drag({kCentre.x + 10 * i, kCentre.y}, kCtrlBit);
    const ClothSnapshot after = ClothSnapshot::of(cloth);
    const Point3 frontMove = after.positions[static_cast<size_t>(front)] - before.positions[static_cast<size_t>(front)];
    const Point3 backMove = after.positions[static_cast<size_t>(back)] - before.positions[static_cast<size_t>(back)];
    EXPECT_GT(frontMove.x, 0.0f);
    EXPECT_GT(std::fabs(frontMove.x), 5.0f * std::fabs(frontMove.z));
    EXPECT_GT(frontMove.x, 5.0f * std::fabs(backMove.x));
    EXPECT_GT(cloth.brushFrame.GetTrans().x, 0.1f);
}

TEST_F(SpherePicking, EveryModeOnTheClosedMeshStaysFiniteAndKeepsCounts) {
    const size_t v = cloth.mesh->verts.size();
    const size_t c = cloth.constraints.size();
    cloth.settings.pressureEnabled = true;
    cloth.settings.gravityEnabled = true;
    press(kCentre);
    for (int flags = 0; flags < 8; ++flags) {
        for (int i = 0; i < 3; ++i) drag({kCentre.x + 7 * i + flags, kCentre.y - 3 * i}, flags);
        EXPECT_FALSE(cloth.lastEventReverted) << "flags " << flags;
    }
    release(kCentre);
    EXPECT_EQ(cloth.mesh->verts.size(), v);
    EXPECT_EQ(cloth.constraints.size(), c);
    for (const Point3& p : cloth.mesh->verts) {
        ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    }
}

}  // namespace
}  // namespace brushtest
