#include "cloth/ClothMouseProc.h"

#include <vector>

#include "sdk/HostRelease.h"

namespace {
HCURSOR loadPointCursor() {
#if MAX_RELEASE == 18000
    // This host release has no cursor library of its own: the system's hand stands in.
    return LoadCursor(nullptr, IDC_HAND_ID);
#else
    return MaxSDK::LoadMouseCursor(155);
#endif
}

HCURSOR loadDragCursor() {
#if MAX_RELEASE == 18000
    return LoadCursor(nullptr, IDC_CROSS_ID);
#else
    return MaxSDK::LoadMouseCursor(153);
#endif
}

// Frees a vector's storage now (clear() would keep it).
template <class T>
void release(std::vector<T>& v) {
    std::vector<T>().swap(v);
}
}  // namespace

ClothMouseProc::ClothMouseProc()
    : hostInterface(GetCOREInterface()), pointCursor(loadPointCursor()), dragCursor(loadDragCursor()) {}

ClothMouseProc::~ClothMouseProc() {
    if (pointCursor) DestroyCursor(pointCursor);
    pointCursor = nullptr;
    if (dragCursor) DestroyCursor(dragCursor);
    dragCursor = nullptr;
    release(mask);
    release(vertexNormals);
    release(faceNormals);
    release(velocities);
    release(constraints);
    release(deltas);
    release(brushWeights);
}
