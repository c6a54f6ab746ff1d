#include <gtest/gtest.h>

#include "sdk/Cursors.h"
#include "viewer/DrawCalls.h"

namespace velmora::viewer {
namespace {

// Points from any numbers (the host type takes float or double triples).
Point3 P(double x, double y, double z) { return Point3(x, y, z); }

TEST(DrawCalls, PolylinesKeepTheirColourLimitsAndTransform) {
    GraphicsWindow gw;
    const Point3 ring[4] = {P(1, 0, 0), P(0, 1, 0), P(-1, 0, 0), P(0, -1, 0)};
    gw.polyline(4, ring, nullptr, 0, nullptr);  // defaults: white, Z buffer on
    gw.setRndLimits(GW_WIREFRAME | GW_TRANSPARENCY);
    Matrix3 shift;
    shift.SetTrans(P(5, 0, 2));
    gw.setTransform(shift);
    gw.setColor(FILL_COLOR, 0.0f, 0.0f, 1.0f);  // not the line colour
    gw.setColor(LINE_COLOR, 1.0f, 1.0f, 0.0f);
    gw.polyline(4, ring, nullptr, 1, nullptr);
    gw.polyline(1, ring, nullptr, 0, nullptr);  // a single point draws no line
    const std::vector<LineStrip> strips = lineStripsFromCalls(gw.calls());
    ASSERT_EQ(strips.size(), 2u);
    EXPECT_EQ(strips[0].points.size(), 4u);
    EXPECT_EQ(strips[0].color, P(1, 1, 1));
    EXPECT_TRUE(strips[0].depthTested);
    ASSERT_EQ(strips[1].points.size(), 5u) << "a closed polyline returns to its start";
    EXPECT_EQ(strips[1].points[0], P(6, 0, 2)) << "world points, through the transform";
    EXPECT_EQ(strips[1].points[4], strips[1].points[0]);
    EXPECT_EQ(strips[1].color, P(1, 1, 0));
    EXPECT_FALSE(strips[1].depthTested);
}

TEST(DrawCalls, HostCursorsMapToWindowCursors) {
    const struct {
        int number;
        CursorShape shape;
    } cases[] = {{155, CursorShape::Hand},      {IDC_HAND_ID, CursorShape::Hand}, {153, CursorShape::Crosshair},
                 {IDC_CROSS_ID, CursorShape::Crosshair}, {0, CursorShape::Arrow},  {154, CursorShape::Arrow}};
    for (const auto& c : cases) EXPECT_EQ(cursorShapeFor(c.number), c.shape) << c.number;
    HCURSOR point = MaxSDK::LoadMouseCursor(155);
    EXPECT_EQ(cursorShapeFor(CursorNumber(point)), CursorShape::Hand);
    DestroyCursor(point);
}

}  // namespace
}  // namespace velmora::viewer
