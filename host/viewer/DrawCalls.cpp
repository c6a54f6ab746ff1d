#include "viewer/DrawCalls.h"

#include "sdk/Cursors.h"

namespace velmora::viewer {

std::vector<LineStrip> lineStripsFromCalls(const std::vector<GraphicsWindow::Call>& calls) {
    std::vector<LineStrip> strips;
    Point3 color(1.0f, 1.0f, 1.0f);
    DWORD limits = GW_Z_BUFFER;
    for (const GraphicsWindow::Call& c : calls) {
        switch (c.op) {
        case GraphicsWindow::Op::SetRndLimits: limits = c.limits; break;
        case GraphicsWindow::Op::SetColor:
            if (c.colorType == LINE_COLOR) color = c.color;
            break;
        case GraphicsWindow::Op::Polyline: {
            if (c.world.size() < 2) break;
            LineStrip s;
            s.points = c.world;
            if (c.closed != 0) s.points.push_back(c.world.front());
            s.color = color;
            s.depthTested = (limits & GW_Z_BUFFER) != 0;
            strips.push_back(std::move(s));
            break;
        }
        default: break;
        }
    }
    return strips;
}

CursorShape cursorShapeFor(int cursorNumber) {
    switch (cursorNumber) {
    case 155:
    case IDC_HAND_ID: return CursorShape::Hand;
    case 153:
    case IDC_CROSS_ID: return CursorShape::Crosshair;
    default: return CursorShape::Arrow;
    }
}

}  // namespace velmora::viewer
