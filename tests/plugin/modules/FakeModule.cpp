// A minimal module with the host's exports, built in variants that the loader must refuse (and one
// it must accept). It notes its entry-point calls so that tests can see what the loader did.
#include "sdk/HostRelease.h"
#include "sdk/ModuleLoader.h"
#include "sdk/PluginFrame.h"
#include "sdk/Resources.h"

#define FAKE_EXPORT __attribute__((visibility("default")))

namespace {
constexpr StringResource kStrings[] = {{1, L"Fake module"}};

struct Lifetime {
    Lifetime() { NoteModuleObjectEvent("construct FakeModule"); }
    ~Lifetime() { NoteModuleObjectEvent("destroy FakeModule"); }
};
Lifetime lifetime;

[[maybe_unused]] ULONG versionWord() {
#if defined(FAKE_OTHER_RELEASE)
    // A release this build is not: 19000 (API 48), or 22000 (API 55) for a 19000 build.
    return MAX_RELEASE == 19000 ? 0x55F03700u : 0x4A383000u;
#else
    return static_cast<ULONG>(VERSION_3DSMAX);
#endif
}
}  // namespace

extern "C" {
FAKE_EXPORT extern const StringTable ModuleStringTable;
const StringTable ModuleStringTable = {1033, 1, kStrings};

FAKE_EXPORT BOOL DllMain(HINSTANCE module, ULONG reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        // The strings must already be readable through the handle the entry point receives.
        MCHAR text[32];
        NoteModuleObjectEvent(LoadStringW(module, 1, text, 32) == 11 ? "attach, strings readable"
                                                                      : "attach, strings missing");
    } else {
        NoteModuleObjectEvent("detach");
    }
#if defined(FAKE_DLLMAIN_FAILS)
    return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
#else
    return TRUE;
#endif
}

FAKE_EXPORT const MCHAR* LibDescription() { return L"Fake module"; }
FAKE_EXPORT int LibNumberClasses() { return 0; }
FAKE_EXPORT ClassDesc* LibClassDesc(int) { return nullptr; }
#if !defined(FAKE_NO_LIBVERSION)
FAKE_EXPORT ULONG LibVersion() { return versionWord(); }
#endif
}
