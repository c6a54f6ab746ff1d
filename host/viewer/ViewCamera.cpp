#include "viewer/ViewCamera.h"

#include <algorithm>
#include <cmath>

namespace velmora::viewer {
namespace {

constexpr float kDegreesPerPixel = 0.5f;
constexpr float kMinElevationDegrees = 1.0f;
constexpr float kZoomPerStep = 0.85f;
constexpr float kMinExtent = 1.0e-4f;
constexpr float kPi = 3.14159265358979f;

float radians(float degrees) { return degrees * kPi / 180.0f; }

Point3 unitUp(const ViewExp& view) {
    const Point3 u = view.up.Normalize();
    return u.LengthSquared() > 0.0f ? u : Point3(0.0f, 0.0f, 1.0f);
}

// Same guards as the viewport's own mappings: at least one pixel a side, a usable field of view.
float aspectOf(const ViewExp& view) {
    return static_cast<float>(std::max(view.width, 1)) / static_cast<float>(std::max(view.height, 1));
}
float clampedFov(const ViewExp& view) { return std::clamp(view.fovDegrees, 0.01f, 179.99f); }

}  // namespace

Point3 viewDirection(const ViewExp& view) {
    Point3 x, y, z;
    view.GetViewAxes(x, y, z);
    return z;
}

void orbitCamera(ViewExp& view, float dx, float dy) {
    const Point3 u = unitUp(view);
    const Point3 d = view.eye - view.target;
    const float r = d.Length();
    if (!(r > 0.0f)) return;
    const float along = std::clamp((d / r) % u, -1.0f, 1.0f);
    float theta = std::acos(along);  // angle from the up axis
    Point3 h = d - u * (d % u);
    if (h.LengthSquared() <= 1.0e-12f * r * r) {
        // Looking straight along up: take the view's vertical axis as the horizontal heading.
        Point3 x, y, z;
        view.GetViewAxes(x, y, z);
        h = y - u * (y % u);
        if (h.LengthSquared() <= 1.0e-12f) h = x - u * (x % u);
    }
    Point3 hdir = h.Normalize();
    const Point3 side = u ^ hdir;
    const float yaw = -radians(dx * kDegreesPerPixel);
    hdir = (hdir * std::cos(yaw) + side * std::sin(yaw)).Normalize();
    theta = std::clamp(theta - radians(dy * kDegreesPerPixel), radians(kMinElevationDegrees),
                       radians(180.0f - kMinElevationDegrees));
    view.eye = view.target + (u * std::cos(theta) + hdir * std::sin(theta)) * r;
}

void panCamera(ViewExp& view, float dx, float dy) {
    Point3 x, y, z;
    view.GetViewAxes(x, y, z);
    const float height = static_cast<float>(std::max(view.height, 1));
    float perPixel = 0.0f;
    if (view.perspective) {
        const float dist = (view.eye - view.target).Length();
        perPixel = 2.0f * dist * std::tan(radians(clampedFov(view)) * 0.5f) / height;
    } else {
        perPixel = view.orthoHeight / height;
    }
    const Point3 shift = (x * -dx + y * dy) * perPixel;
    view.eye += shift;
    view.target += shift;
}

void zoomCamera(ViewExp& view, float steps) {
    const float factor = std::pow(kZoomPerStep, steps);
    if (view.perspective) {
        const Point3 d = view.eye - view.target;
        const float r = d.Length();
        if (!(r > 0.0f)) return;
        const float newR = std::max(r * factor, kMinExtent);
        view.eye = view.target + d * (newR / r);
    } else {
        view.orthoHeight = std::max(view.orthoHeight * factor, kMinExtent);
    }
}

Mat4 viewProjection(const ViewExp& view, float nearPlane, float farPlane) {
    Point3 x, y, z;
    view.GetViewAxes(x, y, z);
    const Point3& e = view.eye;
    // Rows of the world-to-view transform (view looks down -z).
    const float v[3][4] = {{x.x, x.y, x.z, -(x % e)}, {y.x, y.y, y.z, -(y % e)}, {z.x, z.y, z.z, -(z % e)}};
    float p[4][4] = {};
    const float aspect = aspectOf(view);
    const float n = nearPlane, f = farPlane;
    if (view.perspective) {
        const float c = 1.0f / std::tan(radians(clampedFov(view)) * 0.5f);
        p[0][0] = c / aspect;
        p[1][1] = c;
        p[2][2] = (f + n) / (n - f);
        p[2][3] = 2.0f * f * n / (n - f);
        p[3][2] = -1.0f;
    } else {
        const float halfH = std::max(view.orthoHeight, kMinExtent) * 0.5f;
        p[0][0] = 1.0f / (aspect * halfH);
        p[1][1] = 1.0f / halfH;
        p[2][2] = -2.0f / (f - n);
        p[2][3] = -(f + n) / (f - n);
        p[3][3] = 1.0f;
    }
    Mat4 out{};
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            float s = p[row][3] * (col == 3 ? 1.0f : 0.0f);
            for (int k = 0; k < 3; ++k) s += p[row][k] * v[k][col];
            out[static_cast<size_t>(col * 4 + row)] = s;
        }
    }
    return out;
}

std::array<float, 2> clipRange(const ViewExp& view, const Box3& sceneBox) {
    if (sceneBox.IsEmpty()) return {0.01f, 1000.0f};
    Point3 x, y, z;
    view.GetViewAxes(x, y, z);
    float nearest = 1e30f, farthest = -1e30f;
    for (int i = 0; i < 8; ++i) {
        const Point3 corner((i & 1) ? sceneBox.pmax.x : sceneBox.pmin.x,
                            (i & 2) ? sceneBox.pmax.y : sceneBox.pmin.y,
                            (i & 4) ? sceneBox.pmax.z : sceneBox.pmin.z);
        const float depth = (view.eye - corner) % z;
        nearest = std::min(nearest, depth);
        farthest = std::max(farthest, depth);
    }
    const float size = std::max(sceneBox.Width().Length(), 1.0e-3f);
    const float farPlane = std::max(farthest + 0.05f * size, 1.0e-2f);
    const float nearPlane = std::max(nearest - 0.05f * size, farPlane * 1.0e-4f);
    return {nearPlane, std::max(farPlane, nearPlane * 2.0f)};
}

}  // namespace velmora::viewer
