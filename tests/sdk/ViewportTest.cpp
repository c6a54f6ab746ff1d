#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "SdkTestMeshes.h"
#include "sdk/ViewExp.h"

namespace {

void expectNear(const Point3& a, const Point3& b, float tol, const std::string& what) {
    EXPECT_NEAR(a.x, b.x, tol) << what;
    EXPECT_NEAR(a.y, b.y, tol) << what;
    EXPECT_NEAR(a.z, b.z, tol) << what;
}

struct CameraCase {
    const char* name;
    sdktest::V3 eye, target, up;
    sdktest::V3 x, y, z;  // expected view axes
};

const CameraCase kCameras[] = {
    {"front (default)", {0, -10, 0}, {0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
    {"top, up parallel: +y stands in", {0, 0, 10}, {0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
    {"side, up and +y parallel: +z stands in", {0, 10, 0}, {0, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
    {"zero up: +y stands in", {0, 0, -5}, {0, 0, 0}, {0, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
    {"offset target", {3, -4, 2}, {3, 0, 2}, {0, 0, 2}, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
};

ViewExp camera(const CameraCase& c, bool perspective) {
    ViewExp v;
    v.width = 640;
    v.height = 480;
    v.eye = c.eye;
    v.target = c.target;
    v.up = c.up;
    v.perspective = perspective;
    v.fovDegrees = 60.0f;
    v.orthoHeight = 8.0f;
    return v;
}

TEST(ViewportTest, ViewAxesAndAffineTransform) {
    for (const CameraCase& c : kCameras) {
        const ViewExp v = camera(c, true);
        Point3 x, y, z;
        v.GetViewAxes(x, y, z);
        expectNear(x, c.x, 1e-6f, std::string(c.name) + " x");
        expectNear(y, c.y, 1e-6f, std::string(c.name) + " y");
        expectNear(z, c.z, 1e-6f, std::string(c.name) + " z");
        // World to view: the eye is the origin, the target lies on -z.
        const Matrix3 tm = v.getAffineTM();
        expectNear(v.eye * tm, Point3(0.0f, 0.0f, 0.0f), 1e-5f, std::string(c.name) + " eye");
        const float dist = Length(v.target - v.eye);
        expectNear(v.target * tm, Point3(0.0f, 0.0f, -dist), 1e-5f, std::string(c.name) + " target");
        // Its inverse has the axes as rows 0, 1, 2 and the eye as row 3.
        const Matrix3 inv = Inverse(tm);
        expectNear(inv.GetRow(0), x, 1e-6f, std::string(c.name) + " inverse row 0");
        expectNear(inv.GetRow(1), y, 1e-6f, std::string(c.name) + " inverse row 1");
        expectNear(inv.GetRow(2), z, 1e-6f, std::string(c.name) + " inverse row 2");
        expectNear(inv.GetRow(3), v.eye, 1e-5f, std::string(c.name) + " inverse row 3");
    }
}

TEST(ViewportTest, PerspectiveRays) {
    for (const CameraCase& c : kCameras) {
        const ViewExp v = camera(c, true);
        Point3 x, y, z;
        v.GetViewAxes(x, y, z);
        const float t = std::tan(30.0f * 3.14159265f / 180.0f);
        const float aspect = 640.0f / 480.0f;
        struct Pixel {
            const char* name;
            float sx, sy, nx, ny;
        };
        const Pixel pixels[] = {{"centre", 320.0f, 240.0f, 0.0f, 0.0f},
                                {"top left corner", 0.0f, 0.0f, -1.0f, 1.0f},
                                {"bottom right corner", 640.0f, 480.0f, 1.0f, -1.0f},
                                {"quarter", 160.0f, 360.0f, -0.5f, -0.5f}};
        for (const Pixel& p : pixels) {
            Ray ray;
            v.MapScreenToWorldRay(p.sx, p.sy, ray);
            const std::string name = std::string(c.name) + ", " + p.name;
            EXPECT_EQ(ray.p, v.eye) << name;
            const Point3 want = Normalize(x * (p.nx * aspect * t) + y * (p.ny * t) - z);
            expectNear(ray.dir, want, 1e-6f, name);
            EXPECT_NEAR(Length(ray.dir), 1.0f, 1e-6f) << name;
        }
        Ray centre;
        v.MapScreenToWorldRay(320.0f, 240.0f, centre);
        expectNear(centre.dir, Normalize(v.target - v.eye), 1e-6f, std::string(c.name) + " centre looks at target");
    }
}

TEST(ViewportTest, OrthographicRays) {
    for (const CameraCase& c : kCameras) {
        const ViewExp v = camera(c, false);
        Point3 x, y, z;
        v.GetViewAxes(x, y, z);
        const float aspect = 640.0f / 480.0f;
        Ray ray;
        v.MapScreenToWorldRay(320.0f, 240.0f, ray);
        expectNear(ray.p, v.eye, 1e-6f, std::string(c.name) + " centre origin");
        expectNear(ray.dir, -z, 1e-6f, std::string(c.name) + " centre direction");
        v.MapScreenToWorldRay(0.0f, 0.0f, ray);
        // Visible height 8: the top-left corner is 4 up and 4 * aspect left of the eye.
        expectNear(ray.p, v.eye - x * (4.0f * aspect) + y * 4.0f, 1e-5f, std::string(c.name) + " corner origin");
        expectNear(ray.dir, -z, 1e-6f, std::string(c.name) + " corner direction");
    }
}

TEST(ViewportTest, WorldToScreenInvertsTheRayMapping) {
    for (const bool perspective : {true, false}) {
        for (const CameraCase& c : kCameras) {
            const ViewExp v = camera(c, perspective);
            const std::string name = std::string(c.name) + (perspective ? " perspective" : " orthographic");
            for (const float sx : {0.0f, 17.5f, 320.0f, 639.0f}) {
                for (const float sy : {0.0f, 240.0f, 479.5f}) {
                    Ray ray;
                    v.MapScreenToWorldRay(sx, sy, ray);
                    for (const float d : {0.5f, 7.0f, 40.0f}) {
                        float px = -1.0f, py = -1.0f;
                        ASSERT_TRUE(v.MapWorldToScreen(ray.p + ray.dir * d, px, py)) << name;
                        EXPECT_NEAR(px, sx, 1e-3f) << name << " at " << sx << ", " << sy;
                        EXPECT_NEAR(py, sy, 1e-3f) << name << " at " << sx << ", " << sy;
                    }
                }
            }
        }
    }
    ViewExp v;
    float px = 5.0f, py = 6.0f;
    EXPECT_FALSE(v.MapWorldToScreen(v.eye - (v.target - v.eye), px, py)) << "behind the eye";
    EXPECT_FALSE(v.MapWorldToScreen(v.eye, px, py)) << "at the eye";
    EXPECT_EQ(px, 5.0f);
    EXPECT_EQ(py, 6.0f);
}

TEST(ViewportTest, DegenerateCamerasGiveFiniteRays) {
    ViewExp v;
    v.target = v.eye;
    v.width = 0;
    v.height = -3;
    v.fovDegrees = 180.0f;
    Ray ray;
    v.MapScreenToWorldRay(10.0f, 10.0f, ray);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(std::isfinite(ray.dir[i]));
        EXPECT_TRUE(std::isfinite(ray.p[i]));
    }
    EXPECT_NEAR(Length(ray.dir), 1.0f, 1e-6f);
}

TEST(ViewportTest, RayThroughAPixelHitsWhatIsDrawnThere) {
    const Mesh cube = sdktest::makeCube();
    ViewExp v;
    v.eye = {0.0f, -10.0f, 0.0f};
    Ray ray;
    float at = 0.0f;
    Point3 n;
    v.MapScreenToWorldRay(400.0f, 300.0f, ray);
    ASSERT_TRUE(cube.IntersectRay(ray, at, n));
    EXPECT_NEAR(at, 9.0f, 1e-5f);
    EXPECT_EQ(n, Point3(0.0f, -1.0f, 0.0f));
    v.MapScreenToWorldRay(5.0f, 5.0f, ray);
    EXPECT_FALSE(cube.IntersectRay(ray, at, n));
}

TEST(GraphicsWindowTest, RecordsEveryCall) {
    ViewExp v;
    GraphicsWindow* gw = v.getGW();
    ASSERT_NE(gw, nullptr);
    const DWORD old = gw->getRndLimits();
    gw->setRndLimits(old & ~GW_Z_BUFFER);
    EXPECT_EQ(gw->getRndLimits(), old & ~GW_Z_BUFFER);
    Matrix3 tm;
    tm.SetTrans({1.0f, 2.0f, 3.0f});
    gw->setTransform(tm);
    EXPECT_EQ(gw->getTransform(), tm);
    gw->setColor(LINE_COLOR, 1.0f, 1.0f, 0.0f);
    const Point3 pts[3] = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}};
    gw->polyline(3, pts, nullptr, 1, nullptr);
    gw->polyline(-1, pts, nullptr, 0, nullptr);
    gw->polyline(2, nullptr, nullptr, 0, nullptr);
    gw->enlargeUpdateRect(nullptr);
    const RECT r{1, 2, 3, 4};
    gw->enlargeUpdateRect(&r);
    gw->updateScreen();

    const auto& calls = gw->calls();
    ASSERT_EQ(calls.size(), 7u);
    using Op = GraphicsWindow::Op;
    EXPECT_EQ(calls[0].op, Op::SetRndLimits);
    EXPECT_EQ(calls[0].limits, old & ~GW_Z_BUFFER);
    EXPECT_EQ(calls[1].op, Op::SetTransform);
    EXPECT_EQ(calls[1].transform, tm);
    EXPECT_EQ(calls[2].op, Op::SetColor);
    EXPECT_EQ(calls[2].color, Point3(1.0f, 1.0f, 0.0f));
    EXPECT_EQ(calls[3].op, Op::Polyline);
    EXPECT_EQ(calls[3].closed, 1);
    ASSERT_EQ(calls[3].points.size(), 3u);
    ASSERT_EQ(calls[3].world.size(), 3u);
    EXPECT_EQ(calls[3].points[1], Point3(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(calls[3].world[1], Point3(2.0f, 2.0f, 3.0f));
    EXPECT_EQ(calls[4].op, Op::EnlargeUpdateRect);
    EXPECT_TRUE(calls[4].wholeWindow);
    EXPECT_FALSE(calls[5].wholeWindow);
    EXPECT_EQ(calls[5].rect.right, 3);
    EXPECT_EQ(calls[6].op, Op::UpdateScreen);
    gw->clearCalls();
    EXPECT_TRUE(gw->calls().empty());
}

}  // namespace
