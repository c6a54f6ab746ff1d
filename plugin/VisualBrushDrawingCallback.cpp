#include "plugin/VisualBrushDrawingCallback.h"

#include <cmath>
#include <numbers>

#include "sdk/HostRelease.h"
#include "sdk/Interface.h"
#include "sdk/ModuleLoader.h"
#include "sdk/ViewExp.h"

namespace {
constexpr int kRingPoints = 37;  // 36 segments of 10 degrees; the last point closes the ring
constexpr DWORD kLimitsCleared = 0x20;
constexpr DWORD kLimitsSet = 0x200001;

// Angle of ring point i. The older host releases step by a product with the rounded reciprocal of
// 36 and a single-precision pi, twice; the newer ones divide and use pi in double precision. The
// two can differ in the last bit, and each build draws what its host release drew.
float ringAngle(int i) {
#if MAX_RELEASE >= 24000
    const float turns = static_cast<float>(i) / 36.0f * 2.0f;
    return static_cast<float>(static_cast<double>(turns) * std::numbers::pi);
#else
    const float a = static_cast<float>(i) * 0.027777778f;
    const float half = a * 3.1415927f;
    const float otherHalf = a * 3.1415927f;
    return half + otherHalf;
#endif
}
}  // namespace

VisualBrushDrawingCallback::VisualBrushDrawingCallback() {
    Matrix3 identity;
    identity.IdentityMatrix();
    displayFrame = identity;
    displayRadius = 10.0f;
    NoteModuleObjectEvent("construct VisualBrushDrawingCallback");
}

VisualBrushDrawingCallback::~VisualBrushDrawingCallback() {
    NoteModuleObjectEvent("destroy VisualBrushDrawingCallback");
}

void VisualBrushDrawingCallback::proc(Interface* ip) {
    if (ip == nullptr) return;
    GraphicsWindow* gw = ip->GetActiveViewExp().getGW();
    if (gw == nullptr) return;

    const DWORD savedLimits = gw->getRndLimits();
    gw->setRndLimits((savedLimits & ~kLimitsCleared) | kLimitsSet);
    const Matrix3 savedTransform = gw->getTransform();
    gw->setTransform(displayFrame);

    Point3 ring[kRingPoints];
    for (int i = 0; i < kRingPoints; ++i) {
        const float angle = ringAngle(i);
        ring[i] = Point3(displayRadius * std::cos(angle), displayRadius * std::sin(angle), 0.0f);
    }
    gw->setColor(LINE_COLOR, 1.0f, 1.0f, 0.0f);
    gw->polyline(kRingPoints, ring, nullptr, 0, nullptr);

    gw->setTransform(savedTransform);
    gw->setRndLimits(savedLimits);
    gw->enlargeUpdateRect(nullptr);
    gw->updateScreen();
}
