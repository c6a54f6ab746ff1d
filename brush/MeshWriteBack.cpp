#include "cloth/ClothMouseProc.h"

void ClothMouseProc::notifyMeshChanged() {
    if (mesh == nullptr || node == nullptr || hostInterface == nullptr) return;
    mesh->InvalidateGeomCache();
    mesh->InvalidateTopologyCache();
    // All time, geometry part, change message, every class, propagated.
    node->NotifyDependents(Interval(TIME_NegInfinity, TIME_PosInfinity), PART_GEOM, REFMSG_CHANGE, 0xFFFFFFF0u, true,
                           nullptr, 0);
    const TimeValue t = hostInterface->GetTime();
    hostInterface->RedrawViews(t, REDRAW_INTERACTIVE, nullptr);
}
