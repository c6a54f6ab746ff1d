// The entry points the host calls by name after loading the module.
#include "plugin/Exports.h"

#include "plugin/StringTable.h"
#include "plugin/VelmoraClassDesc.h"
#include "plugin/VertexNormalsControl.h"
#include "sdk/HostRelease.h"
#include "sdk/PluginFrame.h"
#include "sdk/Resources.h"

HINSTANCE hInstance = nullptr;

extern "C" {

VELMORA_EXPORT BOOL DllMain(HINSTANCE module, ULONG reason, void* /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        hInstance = module;
        // The module keeps no per-thread state, so thread notifications would only cost time.
        DisableThreadLibraryCalls(module);
    }
    return TRUE;
}

VELMORA_EXPORT const MCHAR* LibDescription() { return loadResourceString(kIdsLibDescription); }

VELMORA_EXPORT int LibNumberClasses() { return 1; }

VELMORA_EXPORT ClassDesc* LibClassDesc(int i) { return i == 0 ? getVelmoraClassDesc() : nullptr; }

VELMORA_EXPORT ULONG LibVersion() { return static_cast<ULONG>(VERSION_3DSMAX); }

VELMORA_EXPORT int LibInitialize() { return TRUE; }

VELMORA_EXPORT int LibShutdown() { return TRUE; }

}  // extern "C"

VertexNormalsControl::VertexNormalsControl() : enabled(true) {}
