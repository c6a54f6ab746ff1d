#pragma once
// String resources of a module, read through its module handle.
#include "sdk/HostTypes.h"

// One entry of a module's string table.
struct StringResource {
    UINT id;
    const MCHAR* text;
};
struct StringTable {
    int language;                 // e.g. 1033
    int count;
    const StringResource* entries;
};

// Copies string `id` of the module's table into buf (at most bufLen - 1 units, then a 0) and
// returns its length; 0 when the module or the id is unknown.
int LoadStringW(HINSTANCE module, UINT id, MCHAR* buf, int bufLen);
// Turns off thread attach/detach notifications for the module (recorded only).
BOOL DisableThreadLibraryCalls(HMODULE module);
bool ThreadLibraryCallsDisabled(HMODULE module);
