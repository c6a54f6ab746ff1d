#include <gtest/gtest.h>
#include <unistd.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <vector>

#include "host/Renderer.h"
#include "sdk/Interface.h"

namespace velmora::host {
namespace {

// A square of two triangles at height z, side 2 around (cx, cy), one colour.
Mesh square(float cx, float cy, float z, const Point3& colour) {
    Mesh m;
    m.setNumVerts(4);
    m.verts = {Point3(cx - 1, cy - 1, z), Point3(cx + 1, cy - 1, z), Point3(cx + 1, cy + 1, z), Point3(cx - 1, cy + 1, z)};
    m.setNumFaces(2);
    m.faces[0].setVerts(0, 1, 2);
    m.faces[1].setVerts(0, 2, 3);
    m.setMapSupport(0, true);
    m.setNumVertCol(4);
    m.setNumVCFaces(2);
    for (int i = 0; i < 4; ++i) m.vertCol[static_cast<size_t>(i)] = colour;
    m.vcFace[0].setTVerts(0, 1, 2);
    m.vcFace[1].setTVerts(0, 2, 3);
    return m;
}

ViewExp topView(bool perspective) {
    ViewExp vp;
    vp.width = 64;
    vp.height = 48;
    vp.eye = Point3(0.0f, 0.0f, 10.0f);
    vp.target = Point3(0.0f, 0.0f, 0.0f);
    vp.up = Point3(0.0f, 1.0f, 0.0f);
    vp.perspective = perspective;
    vp.orthoHeight = 8.0f;
    return vp;
}

TEST(Renderer, ProjectionIsTheInverseOfTheViewportsRays) {
    for (bool perspective : {true, false}) {
        ViewExp vp = topView(perspective);
        vp.eye = Point3(3.0f, -7.0f, 5.0f);
        vp.target = Point3(0.5f, 0.25f, -0.5f);
        vp.up = Point3(0.0f, 0.0f, 1.0f);
        for (const Point3& p : {Point3(0.0f, 0.0f, 0.0f), Point3(1.0f, -0.5f, 0.25f), Point3(-1.5f, 1.0f, 0.5f)}) {
            ProjectedPoint s;
            ASSERT_TRUE(projectPoint(vp, p, s));
            Ray ray;
            vp.MapScreenToWorldRay(s.x, s.y, ray);
            // The ray through the projected pixel passes through the point.
            const Point3 toP = p - ray.p;
            const float along = toP % ray.dir;
            const Point3 off = toP - ray.dir * along;
            EXPECT_LT(off.Length(), 1e-4f) << "perspective " << perspective;
            EXPECT_GT(along, 0.0f);
        }
    }
}

TEST(Renderer, PointsBehindTheEyeAreNotProjected) {
    const ViewExp vp = topView(true);
    ProjectedPoint s;
    EXPECT_FALSE(projectPoint(vp, Point3(0.0f, 0.0f, 11.0f), s));
    EXPECT_FALSE(projectPoint(vp, Point3(0.0f, 0.0f, 10.0f), s));
}

TEST(Renderer, NearerSurfaceWinsWhateverTheDrawingOrder) {
    for (bool perspective : {true, false}) {
        const ViewExp vp = topView(perspective);
        const Mesh low = square(0.0f, 0.0f, 0.0f, Point3(1.0f, 0.0f, 0.0f));
        const Mesh high = square(0.0f, 0.0f, 1.0f, Point3(0.0f, 0.0f, 1.0f));
        for (int order = 0; order < 2; ++order) {
            Image img;
            img.resize(vp.width, vp.height, 0, 0, 0);
            std::vector<float> depth(static_cast<size_t>(vp.width * vp.height), std::numeric_limits<float>::infinity());
            const Matrix3 identity;
            drawMesh(vp, order == 0 ? low : high, identity, img, depth);
            drawMesh(vp, order == 0 ? high : low, identity, img, depth);
            const std::uint8_t* c = img.pixel(vp.width / 2, vp.height / 2);
            // Nearly facing the eye, the headlight term is close to 1.
            EXPECT_EQ(c[0], 0) << "perspective " << perspective << " order " << order;
            EXPECT_GT(c[2], 240) << "perspective " << perspective << " order " << order;
            const std::uint8_t* corner = img.pixel(0, 0);
            EXPECT_EQ(corner[0] + corner[1] + corner[2], 0);
        }
    }
}

TEST(Renderer, TiltedSurfaceIsDarkerThanOneFacingTheEye) {
    ViewExp vp = topView(false);
    Mesh m = square(0.0f, 0.0f, 0.0f, Point3(1.0f, 1.0f, 1.0f));
    Image flat, tilted;
    for (Image* img : {&flat, &tilted}) {
        img->resize(vp.width, vp.height, 0, 0, 0);
        std::vector<float> depth(static_cast<size_t>(vp.width * vp.height), std::numeric_limits<float>::infinity());
        if (img == &tilted) {
            m.verts[1].z = 1.5f;
            m.verts[2].z = 1.5f;
        }
        drawMesh(vp, m, Matrix3(), *img, depth);
    }
    const int x = vp.width / 2, y = vp.height / 2;
    EXPECT_EQ(flat.pixel(x, y)[0], 255);
    EXPECT_LT(tilted.pixel(x, y)[0], 230);
    EXPECT_GT(tilted.pixel(x, y)[0], 0);
}

TEST(Renderer, RedrawCallbackPolylinesAreDrawnInTheirColour) {
    struct Ring : RedrawViewsCallback {
        void proc(Interface* ip) override {
            GraphicsWindow* gw = ip->GetActiveViewExp().getGW();
            gw->setColor(LINE_COLOR, 1.0f, 1.0f, 0.0f);
            const Point3 pts[2] = {Point3(-2.0f, 0.0f, 0.0f), Point3(2.0f, 0.0f, 0.0f)};
            gw->polyline(2, pts, nullptr, 0, nullptr);
        }
    } ring;
    Interface& ip = *GetCOREInterface();
    ip.Reset();
    ViewExp& vp = ip.GetActiveViewExp();
    vp.width = 64;
    vp.height = 48;
    vp.eye = Point3(0.0f, 0.0f, 10.0f);
    vp.up = Point3(0.0f, 1.0f, 0.0f);
    ip.RegisterRedrawViewsCallback(&ring);
    const Image img = renderActiveViewport(ip);
    // The window's record is left empty: each picture asks the callbacks afresh.
    EXPECT_TRUE(vp.getGW()->calls().empty());
    ip.UnRegisterRedrawViewsCallback(&ring);
    ip.Reset();
    int yellow = 0;
    for (int y = 0; y < img.height; ++y) {
        for (int x = 0; x < img.width; ++x) {
            const std::uint8_t* c = img.pixel(x, y);
            yellow += (c[0] == 255 && c[1] == 255 && c[2] == 0);
        }
    }
    EXPECT_GT(yellow, 10);
    EXPECT_EQ(img.pixel(img.width / 2, img.height / 2)[2], 0);
}

TEST(Renderer, WritesAPngThatReadsBackPixelForPixel) {
    Image img;
    img.resize(5, 3, 10, 20, 30);
    img.rgb[3 * 7 + 1] = 200;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("velmora_renderer_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "pic.png").string();
    std::string error;
    ASSERT_TRUE(writePng(path, img, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(path + ".partial"));

    png_image read{};
    read.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&read, path.c_str()));
    read.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> back(PNG_IMAGE_SIZE(read));
    ASSERT_TRUE(png_image_finish_read(&read, nullptr, back.data(), 0, nullptr));
    EXPECT_EQ(read.width, 5u);
    EXPECT_EQ(read.height, 3u);
    EXPECT_EQ(back, img.rgb);

    EXPECT_FALSE(writePng((dir / "missing-folder" / "pic.png").string(), img, error));
    EXPECT_NE(error.find("missing-folder"), std::string::npos) << error;
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velmora::host
