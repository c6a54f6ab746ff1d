#pragma once
// What the viewport's graphics window recorded, turned into what the viewer draws: line strips in
// world space with their colour, and the window cursor for a host cursor.
#include <vector>

#include "sdk/Point3.h"
#include "sdk/ViewExp.h"

namespace velmora::viewer {

struct LineStrip {
    std::vector<Point3> points;  // world space; a closed polyline repeats its first point at the end
    Point3 color{1.0f, 1.0f, 1.0f};
    bool depthTested = true;     // the window's Z-buffer limit bit at the time of the call
};

// Every polyline of `calls` with the line colour and render limits in force when it was drawn
// (the window starts with white lines and the Z buffer on). Polylines of fewer than two points
// give nothing.
std::vector<LineStrip> lineStripsFromCalls(const std::vector<GraphicsWindow::Call>& calls);

enum class CursorShape { Arrow, Hand, Crosshair };

// The window cursor for a host cursor number: the host's point cursor (155) and the system hand
// (32649) show a hand, the host's drag cursor (153) and the system cross (32515) a crosshair,
// anything else the arrow.
CursorShape cursorShapeFor(int cursorNumber);

}  // namespace velmora::viewer
