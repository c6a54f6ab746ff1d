#pragma once
// Camera controls of the interactive viewer. The camera is the host viewport itself (eye, target,
// up, field of view or orthographic height), so what the window draws and what the brush's rays
// hit are the same view. These functions are plain arithmetic on that viewport: no window needed.
#include <array>

#include "sdk/Point3.h"
#include "sdk/ViewExp.h"

namespace velmora::viewer {

// Column-major 4x4 matrix, as OpenGL takes it.
using Mat4 = std::array<float, 16>;

// Turns the eye around the target: `dx` pixels about the viewport's up axis, `dy` pixels about the
// view's horizontal axis (0.5 degree per pixel). The elevation stays at least 1 degree away from
// the up axis, so the view never flips or loses its horizontal axis. The distance is kept.
void orbitCamera(ViewExp& view, float dx, float dy);

// Moves eye and target together so that the scene under the cursor follows a cursor motion of
// (dx, dy) pixels (screen y grows downward) at the target's depth.
void panCamera(ViewExp& view, float dx, float dy);

// One wheel step (`steps` may be fractional or negative; positive zooms in) scales the
// eye-to-target distance (perspective) or the orthographic height by 0.85 per step, never below
// 1e-4 world units.
void zoomCamera(ViewExp& view, float steps);

// The view-projection matrix that maps a world point to the same window pixel as the viewport's
// MapWorldToScreen (GL window y grows upward). `nearPlane` and `farPlane` are distances in front
// of the eye (0 < nearPlane < farPlane).
Mat4 viewProjection(const ViewExp& view, float nearPlane, float farPlane);

// Near and far distances that hold `sceneBox` (with a margin) for this view; a valid pair even for
// an empty box or a box behind the eye.
std::array<float, 2> clipRange(const ViewExp& view, const Box3& sceneBox);

// The world direction from the scene toward the eye (the view's +z axis): used as the light.
Point3 viewDirection(const ViewExp& view);

}  // namespace velmora::viewer
