#pragma once
// Headless software rendering of a viewport: the scene's meshes with a z-buffer, shaded with
// their vertex colours times a headlight Lambert term, and on top the polylines that the
// registered redraw-views callbacks draw into the viewport's graphics window for this picture.
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/Interface.h"
#include "sdk/Mesh.h"
#include "sdk/ViewExp.h"

namespace velmora::host {

// An 8-bit RGB picture, rows from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // width * height * 3
    void resize(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b);
    const std::uint8_t* pixel(int x, int y) const { return &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3]; }
};

// Colour of the background and of a mesh without vertex colours.
constexpr float kBackgroundGrey = 0.22f;
constexpr float kDefaultMeshGrey = 0.8f;

// Pixel position and depth of a world point in a viewport, by the same camera model as the
// viewport's ray mapping (pixel x right, y down). False when the point is not in front of the eye.
struct ProjectedPoint {
    float x = 0.0f, y = 0.0f;  // window pixels
    float depth = 0.0f;        // distance in front of the eye along the view axis
};
bool projectPoint(const ViewExp& vp, const Point3& world, ProjectedPoint& out);

// Draws a mesh with transform `tm` into `image` and `depth` (one float a pixel, initialised to
// +infinity by the caller). Corner colours come from map channel 0 when it matches the faces.
void drawMesh(const ViewExp& vp, const Mesh& mesh, const Matrix3& tm, Image& image, std::vector<float>& depth);
// Draws a world-space segment as a two-pixel line over everything.
void drawLine(const ViewExp& vp, const Point3& a, const Point3& b, const Point3& colour, Image& image);

// The active viewport as the user sees it: every node's mesh (primitives through a temporary
// converted copy), then the polylines of every registered redraw-views callback.
Image renderActiveViewport(Interface& ip);

// Writes `image` as an 8-bit RGB PNG. The picture goes to a temporary file in the same folder that
// replaces `path` only when complete, so a failure never leaves a half-written file.
bool writePng(const std::string& path, const Image& image, std::string& error);

}  // namespace velmora::host
