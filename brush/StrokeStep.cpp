#include <cmath>
#include <cstdint>

#include "brush/BrushMode.h"
#include "cloth/ClothMouseProc.h"
#include "sdk/ViewExp.h"
#include "solver/Solver.h"

namespace {

constexpr float kMoveScale = 0.0001f;
constexpr float kShrinkFactor = 0.9f;  // mouse moved down
constexpr float kGrowFactor = 1.1f;    // mouse moved up

void pickAndWeigh(ClothMouseProc& state, ViewExp& vpt, IPoint2 m) {
    state.pickBrush(vpt, m);
    computeBrushWeights(state);
}

// Unit direction of the brush's motion. A brush that did not move (or a difference too large to
// measure) gives the zero vector, which makes directional Expand grow nothing.
Point3 strokeDirectionOf(const Point3& from, const Point3& to) {
    const Point3 dir = Normalize(to - from);
    if (!std::isfinite(dir.x) || !std::isfinite(dir.y) || !std::isfinite(dir.z)) return Point3(0.0f, 0.0f, 0.0f);
    return dir;
}

// Mouse motion in pixels; computed in 64 bits so that far-apart points cannot overflow.
float pixelDelta(int now, int before) {
    return static_cast<float>(static_cast<std::int64_t>(now) - static_cast<std::int64_t>(before));
}

}  // namespace

void ClothMouseProc::strokeStep(ViewExp& vpt, int flags, IPoint2 m) {
    if (mesh == nullptr) return;
    Matrix3 viewTm;
    vpt.getAffineTM(viewTm);
    const Matrix3 viewInverse = Inverse(viewTm);
    const Point3 r0 = viewInverse.GetRow(0);  // view's horizontal axis in world coordinates
    const Point3 r1 = viewInverse.GetRow(1);  // view's vertical axis in world coordinates

    const float dx = pixelDelta(m.x, lastMousePoint.x);
    const float dy = pixelDelta(m.y, lastMousePoint.y);

    // Screen y grows downward, so moving the mouse up (dy < 0) moves along +r1. The scale follows
    // the size of the mesh at the build, not the current brush radius.
    const auto moveVector = [&] {
        return (r0 * dx - r1 * dy) * (settings.moveStrength * baseRadius * kMoveScale);
    };
    const Point3 noMove(0.0f, 0.0f, 0.0f);

    switch (brushModeFromFlags(flags)) {
        case BrushMode::Move:
            runSolverIterations(*this, true, moveVector());
            break;
        case BrushMode::Drag:
            pickAndWeigh(*this, vpt, m);
            runSolverIterations(*this, true, moveVector());
            break;
        case BrushMode::Flatten:
            pickAndWeigh(*this, vpt, m);
            flattenRestAngles(*this);
            runSolverIterations(*this, false, noMove);
            break;
        case BrushMode::Expand: {
            pickAndWeigh(*this, vpt, m);
            const Point3 strokeDirection = settings.directionalExpand
                                               ? strokeDirectionOf(prevBrushPoint, brushFrame.GetTrans())
                                               : Point3(0.0f, 0.0f, 0.0f);
            expandRestLengths(*this, strokeDirection);
            runSolverIterations(*this, false, noMove);
            break;
        }
        case BrushMode::Shrink:
            pickAndWeigh(*this, vpt, m);
            shrinkRestLengths(*this);
            runSolverIterations(*this, false, noMove);
            break;
        case BrushMode::MaskPaint:
            pickAndWeigh(*this, vpt, m);
            paintMask(*this);
            writeMaskColors();
            break;
        case BrushMode::MaskBlur:
            pickAndWeigh(*this, vpt, m);
            blurMask(*this);
            writeMaskColors();
            break;
        case BrushMode::Resize:
            if (dy != 0.0f) {
                const float resized = brushRadius * (dy > 0.0f ? kShrinkFactor : kGrowFactor);
                // A radius that reached zero or infinity could never come back and would turn
                // the weights into NaN: such a step is refused.
                if (std::isnormal(resized)) {
                    brushRadius = resized;
                    if (display != nullptr) display->displayRadius = brushRadius;
                }
            }
            break;
    }

    lastMousePoint = m;
    prevBrushPoint = brushFrame.GetTrans();
}
