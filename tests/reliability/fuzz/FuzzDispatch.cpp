// Fuzz target: the plug-in's scripting interface "Velmora", loaded as the host loads it, called
// with parameter arrays of random length, types and values, then a short stroke with whatever
// settings the calls left. Nothing may crash; the only exception allowed is the host's
// OutOfRangeException for a list too short; the cloth must stay finite.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "DispatchInput.h"
#include "cloth/ClothMouseProc.h"
#include "sdk/FunctionPublishing.h"
#include "sdk/Hold.h"
#include "sdk/Interface.h"
#include "sdk/ModuleLoader.h"
#include "sdk/Scene.h"

namespace {

std::unique_ptr<LoadedModule> gModule;
FPInterfaceDesc* gVelmora = nullptr;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

bool finite(const Point3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

void checkCloth(const ClothMouseProc& c) {
    if (c.mesh == nullptr) return;
    for (const Point3& p : c.mesh->verts) {
        if (!finite(p)) fail("a position is not finite");
    }
    for (const Point3& v : c.velocities) {
        if (!finite(v)) fail("a velocity is not finite");
    }
    for (const float m : c.mask) {
        if (!std::isfinite(m)) fail("a mask value is not finite");
    }
    for (const EdgeConstraint& e : c.constraints) {
        if (!std::isfinite(e.restLength) || !std::isfinite(e.restAngle)) fail("a rest value is not finite");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string error;
    gModule = LoadPluginModule(std::string(VELMORA_PLUGIN_DIR) + "/Velmora.gup", error);
    if (gModule == nullptr) {
        std::fprintf(stderr, "cannot load the plug-in: %s\n", error.c_str());
        std::exit(1);
    }
    gVelmora = GetCOREInterfaceByName(L"Velmora");
    if (gVelmora == nullptr) {
        std::fprintf(stderr, "the plug-in published no interface \"Velmora\"\n");
        std::exit(1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Interface* ip = GetCOREInterface();
    ip->Reset();
    theHold.ClearHistory();
    INode* plane = ip->CreateObjectNode(new PlaneObject(20.0f, 20.0f, 3), L"plane");
    ip->SelectNode(plane);
    ViewExp& view = ip->GetActiveViewExp();
    view.eye = Point3(0.0f, 0.0f, 50.0f);
    view.target = Point3(0.0f, 0.0f, 0.0f);
    view.up = Point3(0.0f, 1.0f, 0.0f);

    velmorafuzz::ByteReader in(data, size);
    velmorafuzz::playDispatchCalls(in, *gVelmora, plane);

    // A stroke in a mode of the input's choosing with the settings the calls left.
    if (CommandMode* mode = ip->GetCommandMode()) {
        int points = 0;
        auto* proc = static_cast<ClothMouseProc*>(mode->MouseProc(&points));
        // Scripts may store any iteration count; a huge one only costs time, so it is not stroked.
        if (proc->settings.iterations > velmorafuzz::kMaxStrokeIterations) {
            ip->Reset();
            theHold.ClearHistory();
            return 0;
        }
        HWND w = ip->ActiveViewportWindow();
        IPoint2 p{400, 300};
        const int flags = in.byte() & 7;
        proc->proc(w, MOUSE_POINT, 0, 0, p);
        for (int k = 0; k < 3; ++k) {
            p = IPoint2(p.x + 5, p.y - 3);
            proc->proc(w, MOUSE_MOVE, 0, flags, p);
            checkCloth(*proc);
        }
        proc->proc(w, MOUSE_POINT, 1, 0, p);
        if (!theHold.Undo()) fail("the stroke left no undo entry");
        checkCloth(*proc);
    }
    ip->Reset();
    theHold.ClearHistory();
    return 0;
}
