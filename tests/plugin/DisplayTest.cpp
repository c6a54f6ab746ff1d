// The brush display as the host's redraw sees it: the exact sequence of graphics-window calls,
// the ring of this host release, the window state given back, and no drawing after exit.
#include <cmath>
#include <cstring>
#include <numbers>

#include "PluginTestSupport.h"

namespace plugintest {
namespace {

using Op = GraphicsWindow::Op;

// Angle of ring point i as this host release computes it: older releases with single-precision
// products by the rounded 1/36 and pi; 24000 on with a true division and pi in double precision.
// The two differ in the last bit for 15 of the 37 points.
float expectedAngle(int i) {
    if (MAX_RELEASE >= 24000) {
        return static_cast<float>(static_cast<double>(static_cast<float>(i) / 36.0f * 2.0f) * std::numbers::pi);
    }
    const float a = static_cast<float>(i) * 0.027777778f;
    return a * 3.1415927f + a * 3.1415927f;
}

bool sameBits(const Matrix3& a, const Matrix3& b) {
    return a == b && a.GetIdentFlags() == b.GetIdentFlags();
}

class Display : public PluginTest {
protected:
    GraphicsWindow& gw() { return *ip->GetActiveViewExp().getGW(); }
    // Puts the window in a state of its own, clears its record, and redraws the views.
    void redraw() {
        gw().setRndLimits(savedLimits);
        gw().setTransform(savedTransform);
        gw().clearCalls();
        ip->RedrawViews(ip->GetTime());
    }

    const DWORD savedLimits = 0x20 | 0x4 | 0x100;
    const Matrix3 savedTransform{Point3(0.0f, 1.0f, 0.0f), Point3(-1.0f, 0.0f, 0.0f), Point3(0.0f, 0.0f, 1.0f),
                                 Point3(3.0f, 4.0f, 5.0f)};
};

TEST_F(Display, DrawsTheRingInOrderAndRestoresTheWindow) {
    ClothMouseProc* mp = enterOn(addPlane());
    ASSERT_NE(mp, nullptr);
    ASSERT_NE(mp->display, nullptr);
    // Before any hit the frame is the identity; the radius is the new build's.
    Matrix3 identity;
    EXPECT_TRUE(sameBits(mp->display->displayFrame, identity));
    EXPECT_EQ(mp->display->displayRadius, mp->brushRadius);
    const float r = mp->display->displayRadius;

    redraw();
    const std::vector<GraphicsWindow::Call>& calls = gw().calls();
    const Op order[] = {Op::SetRndLimits, Op::SetTransform, Op::SetColor,          Op::Polyline,
                        Op::SetTransform, Op::SetRndLimits, Op::EnlargeUpdateRect, Op::UpdateScreen};
    ASSERT_EQ(calls.size(), std::size(order));
    for (size_t k = 0; k < calls.size(); ++k) EXPECT_EQ(calls[k].op, order[k]) << "call " << k;

    EXPECT_EQ(calls[0].limits, (savedLimits & ~0x20u) | 0x200001u);
    EXPECT_TRUE(sameBits(calls[1].transform, mp->display->displayFrame));
    EXPECT_EQ(calls[2].colorType, LINE_COLOR);
    EXPECT_EQ(calls[2].color, Point3(1.0f, 1.0f, 0.0f));
    EXPECT_EQ(calls[3].closed, 0);
    ASSERT_EQ(calls[3].points.size(), 37u);
    for (int i = 0; i < 37; ++i) {
        const float angle = expectedAngle(i);
        const Point3 want(r * std::cos(angle), r * std::sin(angle), 0.0f);
        EXPECT_EQ(calls[3].points[static_cast<size_t>(i)], want) << "point " << i;
    }
    // A closed ring of 36 ten-degree segments.
    const std::vector<Point3>& ring = calls[3].points;
    EXPECT_NEAR((ring[36] - ring[0]).Length(), 0.0f, 1e-5f * r);
    for (int i = 0; i < 36; ++i) {
        EXPECT_NEAR((ring[static_cast<size_t>(i) + 1] - ring[static_cast<size_t>(i)]).Length(),
                    2.0f * r * std::sin(std::numbers::pi_v<float> / 36.0f), 1e-4f * r);
    }
    EXPECT_TRUE(sameBits(calls[4].transform, savedTransform));
    EXPECT_EQ(calls[5].limits, savedLimits);
    EXPECT_TRUE(calls[6].wholeWindow);

    EXPECT_EQ(gw().getRndLimits(), savedLimits);
    EXPECT_TRUE(sameBits(gw().getTransform(), savedTransform));
}

// Once the brush has hit the mesh, the ring lies around the brush point in the brush plane.
TEST_F(Display, FollowsTheBrushFrame) {
    lookDown();
    ClothMouseProc* mp = enterOn(addPlane(L"plane", 6));
    ASSERT_NE(mp, nullptr);
    const Point3 target(2.0f, -3.0f, 0.0f);
    float sx = 0.0f, sy = 0.0f;
    ASSERT_TRUE(ip->GetActiveViewExp().MapWorldToScreen(target, sx, sy));
    int points = 0;
    activeMode()->MouseProc(&points)->proc(ip->ActiveViewportWindow(), MOUSE_FREEMOVE, 0, 0,
                                           IPoint2(static_cast<int>(sx + 0.5f), static_cast<int>(sy + 0.5f)));
    const Point3 centre = mp->display->displayFrame.GetTrans();
    ASSERT_NEAR((centre - target).Length(), 0.0f, 0.1f) << "the free move did not place the brush";

    redraw();
    ASSERT_EQ(gw().calls().size(), 8u);
    const GraphicsWindow::Call& ring = gw().calls()[3];
    ASSERT_EQ(ring.world.size(), 37u);
    const float r = mp->display->displayRadius;
    for (const Point3& p : ring.world) {
        EXPECT_NEAR((p - centre).Length(), r, 1e-4f * r);
        EXPECT_NEAR(p.z, 0.0f, 1e-4f * r);  // the plane's brush frame lies in z = 0
    }
}

TEST_F(Display, NothingIsDrawnOutsideTheMode) {
    addPlane();
    redraw();
    EXPECT_TRUE(gw().calls().empty());

    ClothMouseProc* mp = enterOn(ip->GetINodeByName(L"plane"));
    ASSERT_NE(mp, nullptr);
    redraw();
    EXPECT_EQ(gw().calls().size(), 8u);

    ip->PopCommandMode();
    const float radius = mp->display->displayRadius;
    redraw();
    EXPECT_TRUE(gw().calls().empty());
    // The display keeps its values across exits.
    EXPECT_EQ(mp->display->displayRadius, radius);
}

}  // namespace
}  // namespace plugintest
