#include <new>

#include "brush/ClothRestore.h"
#include "brush/StrokeGuard.h"
#include "brush/StrokeLifecycle.h"
#include "cloth/ClothMouseProc.h"
#include "sdk/Cursors.h"
#include "sdk/Hold.h"
#include "solver/Solver.h"

namespace {

// Setting the cursor costs a system call and can flicker; only change it when it differs.
void showCursor(HCURSOR wanted) {
    if (GetCursor() != wanted) SetCursor(wanted);
}

void onPress(ClothMouseProc& state, ViewExp& vpt, IPoint2 m) {
    theHold.Begin();
    ClothRestore* record = nullptr;
    try {
        record = new ClothRestore(&state);
    } catch (const std::bad_alloc&) {
        // Without its snapshot the stroke could not be undone: refuse the stroke instead.
        theHold.Cancel();
        return;
    }
    theHold.Put(record);
    state.strokeOpen = true;
    state.pickBrush(vpt, m);
    computeBrushWeights(state);
}

void storeLastPoints(ClothMouseProc& state, ViewExp& vpt, IPoint2 m) {
    state.lastMousePoint = m;
    state.pickBrush(vpt, m);
    state.prevBrushPoint = state.brushFrame.GetTrans();
}

}  // namespace

int ClothMouseProc::proc(HWND hwnd, int msg, int point, int flags, IPoint2 m) {
    if (hostInterface == nullptr) return 1;
    ViewExp& vpt = hostInterface->GetViewExp(hwnd);
    const bool usable = clothStateUsable(*this);

    switch (msg) {
        case MOUSE_POINT: {
            const bool release = (point & 1) != 0;
            // The hold of an open stroke is closed even when the object went away mid-stroke, so
            // that it cannot swallow the records of later operations.
            if (!usable) {
                closeOpenStroke(*this);
                return 1;
            }
            showCursor(pointCursor);
            if (release) {
                closeOpenStroke(*this);
            } else {
                // A press while a stroke is still open means its release was lost: that stroke
                // becomes its own entry before the new one begins.
                closeOpenStroke(*this);
                onPress(*this, vpt, m);
                if (!strokeOpen) return 1;
            }
            storeLastPoints(*this, vpt, m);
            return 1;
        }
        case MOUSE_MOVE: {
            if (!usable) return 1;
            showCursor(dragCursor);
            saveStrokeGuard(*this);
            strokeStep(vpt, flags, m);
            lastEventReverted = !clothStateFinite(*this);
            if (lastEventReverted) restoreStrokeGuard(*this);
            notifyMeshChanged();
            return 1;
        }
        case MOUSE_FREEMOVE: {
            if (!usable) return 1;
            showCursor(pointCursor);
            pickBrush(vpt, m);
            return 1;
        }
        default:
            return 1;
    }
}
