#include "host/Renderer.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "host/SceneCommands.h"

namespace velmora::host {

void Image::resize(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    width = w;
    height = h;
    rgb.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, 0);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = r;
        rgb[i + 1] = g;
        rgb[i + 2] = b;
    }
}

namespace {

// Points closer than this to the eye plane are not drawn (the projection divides by depth).
constexpr float kNearDepth = 1e-4f;

struct Camera {
    Point3 x, y, z, eye;
    bool perspective = true;
    float sx = 1.0f, sy = 1.0f;  // normalised device units per view unit (at depth 1 in perspective)
    float width = 1.0f, height = 1.0f;
};

Camera cameraOf(const ViewExp& vp) {
    Camera c;
    vp.GetViewAxes(c.x, c.y, c.z);
    c.eye = vp.eye;
    c.perspective = vp.perspective;
    c.width = static_cast<float>(vp.width);
    c.height = static_cast<float>(vp.height);
    const float aspect = c.width / c.height;
    if (vp.perspective) {
        const float t = std::tan(0.5f * vp.fovDegrees * 3.14159265f / 180.0f);
        c.sx = 1.0f / (aspect * t);
        c.sy = 1.0f / t;
    } else {
        c.sx = 2.0f / (aspect * vp.orthoHeight);
        c.sy = 2.0f / vp.orthoHeight;
    }
    return c;
}

bool project(const Camera& c, const Point3& p, ProjectedPoint& out) {
    const Point3 v = p - c.eye;
    const float depth = -(v % c.z);
    if (!(depth > kNearDepth) && c.perspective) return false;
    if (!(depth >= 0.0f)) return false;
    float nx = (v % c.x) * c.sx;
    float ny = (v % c.y) * c.sy;
    if (c.perspective) {
        nx /= depth;
        ny /= depth;
    }
    out.x = (nx + 1.0f) * 0.5f * c.width;
    out.y = (1.0f - ny) * 0.5f * c.height;
    out.depth = depth;
    return std::isfinite(out.x) && std::isfinite(out.y);
}

std::uint8_t toByte(float v) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

Point3 cornerColour(const Mesh& m, int f, int k, bool useColours) {
    if (!useColours) return {kDefaultMeshGrey, kDefaultMeshGrey, kDefaultMeshGrey};
    const DWORD t = m.vcFace[static_cast<size_t>(f)].t[k];
    if (t >= static_cast<DWORD>(m.vertCol.size())) return {kDefaultMeshGrey, kDefaultMeshGrey, kDefaultMeshGrey};
    return m.vertCol[t];
}

float edge(float ax, float ay, float bx, float by, float px, float py) {
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

}  // namespace

bool projectPoint(const ViewExp& vp, const Point3& world, ProjectedPoint& out) {
    return project(cameraOf(vp), world, out);
}

void drawMesh(const ViewExp& vp, const Mesh& mesh, const Matrix3& tm, Image& image, std::vector<float>& depth) {
    const Camera cam = cameraOf(vp);
    const bool useColours = mesh.getNumVCFaces() == mesh.getNumFaces() && mesh.getNumVertCol() > 0;
    const int nv = mesh.getNumVerts();
    for (int f = 0; f < mesh.getNumFaces(); ++f) {
        const Face& face = mesh.faces[static_cast<size_t>(f)];
        Point3 w[3];
        ProjectedPoint s[3];
        bool visible = true;
        for (int k = 0; k < 3 && visible; ++k) {
            if (face.v[k] >= static_cast<DWORD>(nv)) { visible = false; break; }
            w[k] = mesh.verts[face.v[k]] * tm;
            visible = project(cam, w[k], s[k]);
        }
        if (!visible) continue;
        // Headlight: light comes from the eye, both sides of a face lit alike.
        const Point3 n = ((w[1] - w[0]) ^ (w[2] - w[0])).Normalize();
        const Point3 centroid = (w[0] + w[1] + w[2]) * (1.0f / 3.0f);
        const Point3 toEye = cam.perspective ? (cam.eye - centroid).Normalize() : cam.z;
        const float lambert = 0.15f + 0.85f * std::fabs(n % toEye);
        const Point3 col[3] = {cornerColour(mesh, f, 0, useColours), cornerColour(mesh, f, 1, useColours),
                               cornerColour(mesh, f, 2, useColours)};
        const float area = edge(s[0].x, s[0].y, s[1].x, s[1].y, s[2].x, s[2].y);
        if (!(std::fabs(area) > 0.0f)) continue;
        const float minX = std::min({s[0].x, s[1].x, s[2].x}), maxX = std::max({s[0].x, s[1].x, s[2].x});
        const float minY = std::min({s[0].y, s[1].y, s[2].y}), maxY = std::max({s[0].y, s[1].y, s[2].y});
        const int x0 = std::max(0, static_cast<int>(std::floor(minX)));
        const int x1 = std::min(image.width - 1, static_cast<int>(std::ceil(maxX)));
        const int y0 = std::max(0, static_cast<int>(std::floor(minY)));
        const int y1 = std::min(image.height - 1, static_cast<int>(std::ceil(maxY)));
        // Depth is interpolated as 1/depth in perspective (linear in screen space), as is depth
        // in orthographic views.
        const float inv[3] = {cam.perspective ? 1.0f / s[0].depth : s[0].depth,
                              cam.perspective ? 1.0f / s[1].depth : s[1].depth,
                              cam.perspective ? 1.0f / s[2].depth : s[2].depth};
        for (int y = y0; y <= y1; ++y) {
            const float py = static_cast<float>(y) + 0.5f;
            for (int x = x0; x <= x1; ++x) {
                const float px = static_cast<float>(x) + 0.5f;
                const float b0 = edge(s[1].x, s[1].y, s[2].x, s[2].y, px, py) / area;
                const float b1 = edge(s[2].x, s[2].y, s[0].x, s[0].y, px, py) / area;
                const float b2 = 1.0f - b0 - b1;
                if (b0 < 0.0f || b1 < 0.0f || b2 < 0.0f) continue;
                const float q = b0 * inv[0] + b1 * inv[1] + b2 * inv[2];
                const float d = cam.perspective ? 1.0f / q : q;
                float& zb = depth[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)];
                if (!(d < zb)) continue;
                zb = d;
                const Point3 c = (col[0] * b0 + col[1] * b1 + col[2] * b2) * lambert;
                std::uint8_t* px8 = &image.rgb[(static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 3];
                px8[0] = toByte(c.x);
                px8[1] = toByte(c.y);
                px8[2] = toByte(c.z);
            }
        }
    }
}

void drawLine(const ViewExp& vp, const Point3& a, const Point3& b, const Point3& colour, Image& image) {
    const Camera cam = cameraOf(vp);
    ProjectedPoint pa, pb;
    if (!project(cam, a, pa) || !project(cam, b, pb)) return;
    const float dx = pb.x - pa.x, dy = pb.y - pa.y;
    const float len = std::max(std::fabs(dx), std::fabs(dy));
    // A segment far outside the window is not walked pixel by pixel.
    if (!(len < 4.0f * static_cast<float>(image.width + image.height))) return;
    const int steps = std::max(1, static_cast<int>(std::ceil(len)));
    const std::uint8_t rgb[3] = {toByte(colour.x), toByte(colour.y), toByte(colour.z)};
    for (int i = 0; i <= steps; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(steps);
        const int cx = static_cast<int>(std::floor(pa.x + dx * t));
        const int cy = static_cast<int>(std::floor(pa.y + dy * t));
        for (int oy = -1; oy <= 0; ++oy) {
            for (int ox = -1; ox <= 0; ++ox) {
                const int x = cx + ox, y = cy + oy;
                if (x < 0 || y < 0 || x >= image.width || y >= image.height) continue;
                std::memcpy(&image.rgb[(static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 3], rgb, 3);
            }
        }
    }
}

Image renderActiveViewport(Interface& ip) {
    ViewExp& vp = ip.GetActiveViewExp();
    Image image;
    const std::uint8_t bg = toByte(kBackgroundGrey);
    image.resize(vp.width, vp.height, bg, bg, bg);
    std::vector<float> depth(static_cast<size_t>(vp.width) * static_cast<size_t>(vp.height),
                             std::numeric_limits<float>::infinity());
    for (INode* node : ip.GetNodes()) {
        NodeMeshView view(node, ip.GetTime());
        if (view.mesh()) drawMesh(vp, *view.mesh(), node->GetNodeTM(ip.GetTime()), image, depth);
    }
    // What the callbacks draw for this picture only: the window's record is emptied before and after.
    GraphicsWindow* gw = vp.getGW();
    gw->clearCalls();
    const std::vector<RedrawViewsCallback*> callbacks = ip.RedrawViewsCallbacks();
    for (RedrawViewsCallback* cb : callbacks) cb->proc(&ip);
    Point3 colour(1.0f, 1.0f, 1.0f);
    for (const GraphicsWindow::Call& call : gw->calls()) {
        if (call.op == GraphicsWindow::Op::SetColor && call.colorType == LINE_COLOR) colour = call.color;
        if (call.op != GraphicsWindow::Op::Polyline) continue;
        const std::vector<Point3>& p = call.world;
        for (size_t i = 1; i < p.size(); ++i) drawLine(vp, p[i - 1], p[i], colour, image);
        if (call.closed && p.size() > 2) drawLine(vp, p.back(), p.front(), colour, image);
    }
    gw->clearCalls();
    return image;
}

namespace {

// libpng reports faults through longjmp; this function keeps only trivially destructible locals
// alive across the setjmp.
bool writePngFile(std::FILE* file, const Image& image, std::vector<png_bytep>& rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePng(const std::string& path, const Image& image, std::string& error) {
    namespace fs = std::filesystem;
    if (image.width <= 0 || image.height <= 0) {
        error = "cannot write " + path + ": the picture is empty";
        return false;
    }
    const fs::path target(path);
    fs::path temp = target;
    temp += ".partial";
    std::vector<png_bytep> rows(static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        rows[static_cast<size_t>(y)] = const_cast<png_bytep>(image.pixel(0, y));
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool ok = writePngFile(f, image, rows);
    const bool closed = std::fclose(f) == 0;
    std::error_code ec;
    if (!ok || !closed) {
        fs::remove(temp, ec);
        error = "cannot write " + path + ": writing the PNG data failed";
        return false;
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        error = "cannot write " + path + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace velmora::host
