#include <gtest/gtest.h>

#include <cmath>

#include "viewer/ViewCamera.h"

namespace velmora::viewer {
namespace {

// Points from any numbers (the host type takes float or double triples).
Point3 P(double x, double y, double z) { return Point3(x, y, z); }

// Window pixel of a world point through the GL matrix (y down, as the viewport counts pixels).
bool glPixel(const ViewExp& v, const Point3& p, float& sx, float& sy) {
    const auto clip = clipRange(v, [&] { Box3 b; b += P(-20.f, -20.f, -20.f); b += P(20.f, 20.f, 20.f); return b; }());
    const Mat4 m = viewProjection(v, clip[0], clip[1]);
    float c[4];
    for (int r = 0; r < 4; ++r) c[r] = m[static_cast<size_t>(r)] * p.x + m[static_cast<size_t>(4 + r)] * p.y + m[static_cast<size_t>(8 + r)] * p.z + m[static_cast<size_t>(12 + r)];
    if (!(c[3] > 0.0f)) return false;
    sx = (c[0] / c[3] + 1.0f) * 0.5f * static_cast<float>(v.width);
    sy = (1.0f - c[1] / c[3]) * 0.5f * static_cast<float>(v.height);
    return true;
}

struct ViewCase {
    const char* name;
    bool perspective;
    Point3 eye, target, up;
    int width, height;
};

TEST(ViewCamera, DrawsEveryPointAtThePixelTheBrushRaysUse) {
    const ViewCase cases[] = {
        {"front perspective", true, P(0, -10, 0), P(0, 0, 0), P(0, 0, 1), 800, 600},
        {"oblique perspective", true, P(4.5, -7.5, 6.0), P(1, 0.5, 0), P(0, 0, 1), 640, 900},
        {"top ortho", false, P(0, 0, 10), P(0, 0, 0), P(0, 1, 0), 800, 600},
        {"oblique ortho", false, P(-6, 3, 5), P(0.5, 0, -1), P(0, 0, 1), 1024, 400},
    };
    const Point3 points[] = {P(0, 0, 0), P(1.5, -2, 0.25), P(-3, 3, 1), P(2, 2, -2)};
    for (const ViewCase& c : cases) {
        ViewExp v;
        v.perspective = c.perspective;
        v.eye = c.eye;
        v.target = c.target;
        v.up = c.up;
        v.width = c.width;
        v.height = c.height;
        v.orthoHeight = 9.0f;
        for (const Point3& p : points) {
            float hx = 0, hy = 0, gx = 0, gy = 0;
            ASSERT_TRUE(v.MapWorldToScreen(p, hx, hy)) << c.name;
            ASSERT_TRUE(glPixel(v, p, gx, gy)) << c.name;
            EXPECT_NEAR(gx, hx, 0.02f) << c.name;
            EXPECT_NEAR(gy, hy, 0.02f) << c.name;
        }
    }
}

TEST(ViewCamera, OrbitKeepsTargetAndDistanceAndNeverFlips) {
    ViewExp v;
    v.eye = P(3, -8, 4);
    v.target = P(1, 1, 0);
    const float distance = (v.eye - v.target).Length();
    const float drags[][2] = {{40, 0}, {-15, 25}, {0, 100000}, {0, -100000}, {1e6f, 1e6f}};
    for (const auto& d : drags) {
        orbitCamera(v, d[0], d[1]);
        EXPECT_EQ(v.target, P(1, 1, 0));
        EXPECT_NEAR((v.eye - v.target).Length(), distance, 1e-3f * distance);
        const Point3 dir = (v.eye - v.target).Normalize();
        EXPECT_LT(std::fabs(dir % P(0, 0, 1)), std::cos(0.9f * 3.14159265f / 180.0f)) << "kept off the up axis";
        Point3 x, y, z;
        v.GetViewAxes(x, y, z);
        EXPECT_NEAR(x.Length(), 1.0f, 1e-4f);
        EXPECT_TRUE(std::isfinite(v.eye.x) && std::isfinite(v.eye.y) && std::isfinite(v.eye.z));
    }
}

TEST(ViewCamera, OrbitStartsFromAViewAlongTheUpAxis) {
    ViewExp v;
    v.eye = P(0, 0, 10);
    v.target = P(0, 0, 0);
    v.up = P(0, 0, 1);
    orbitCamera(v, 0, -30);
    const Point3 dir = (v.eye - v.target).Normalize();
    EXPECT_TRUE(std::isfinite(dir.x) && std::isfinite(dir.y) && std::isfinite(dir.z));
    EXPECT_LT(dir.z, 0.999f);
}

TEST(ViewCamera, PanMovesTheTargetWithTheCursor) {
    for (bool perspective : {true, false}) {
        ViewExp v;
        v.perspective = perspective;
        v.eye = P(2, -9, 5);
        v.target = P(0.5f, 0.5f, 0);
        const Point3 offset = v.eye - v.target;
        float x0 = 0, y0 = 0;
        ASSERT_TRUE(v.MapWorldToScreen(P(0.5f, 0.5f, 0), x0, y0));
        panCamera(v, 30, -12);
        float x1 = 0, y1 = 0;
        ASSERT_TRUE(v.MapWorldToScreen(P(0.5f, 0.5f, 0), x1, y1));
        EXPECT_NEAR(x1 - x0, 30.0f, 0.05f) << perspective;
        EXPECT_NEAR(y1 - y0, -12.0f, 0.05f) << perspective;
        EXPECT_LT((v.eye - v.target - offset).Length(), 1e-4f) << "eye and target move together";
    }
}

TEST(ViewCamera, ZoomScalesDistanceOrHeightAndStaysPositive) {
    ViewExp v;
    v.eye = P(0, -10, 0);
    zoomCamera(v, 1.0f);
    EXPECT_NEAR((v.eye - v.target).Length(), 8.5f, 1e-4f);
    zoomCamera(v, -1.0f);
    EXPECT_NEAR((v.eye - v.target).Length(), 10.0f, 1e-4f);
    zoomCamera(v, 1e4f);
    EXPECT_GE((v.eye - v.target).Length(), 1e-4f);
    ViewExp o;
    o.perspective = false;
    o.orthoHeight = 4.0f;
    zoomCamera(o, 2.0f);
    EXPECT_NEAR(o.orthoHeight, 4.0f * 0.85f * 0.85f, 1e-5f);
    zoomCamera(o, 1e4f);
    EXPECT_GE(o.orthoHeight, 1e-4f);
}

TEST(ViewCamera, ClipRangeHoldsTheSceneAndIsAlwaysValid) {
    ViewExp v;
    Box3 box;
    box += P(-1, -1, -1);
    box += P(1, 1, 1);
    auto r = clipRange(v, box);
    EXPECT_GT(r[0], 0.0f);
    EXPECT_LT(r[0], 9.0f) << "the box's near face is 9 in front of the eye";
    EXPECT_GT(r[1], 11.0f);
    r = clipRange(v, Box3());
    EXPECT_GT(r[0], 0.0f);
    EXPECT_GT(r[1], r[0]);
    Box3 behind;
    behind += P(0, -30, 0);
    behind += P(1, -20, 1);
    r = clipRange(v, behind);
    EXPECT_GT(r[0], 0.0f);
    EXPECT_GT(r[1], r[0]);
}

}  // namespace
}  // namespace velmora::viewer
