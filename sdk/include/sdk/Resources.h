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
// returns the number of units copied; 0 (and buf[0] = 0 when bufLen > 0) when the module or the
// id is unknown, the text is empty, or buf is null.
int LoadStringW(HINSTANCE module, UINT id, MCHAR* buf, int bufLen);
// Turns off thread attach/detach notifications for the module (recorded only).
BOOL DisableThreadLibraryCalls(HMODULE module);
bool ThreadLibraryCallsDisabled(HMODULE module);

// The module loader's side: the string table a module brings (it must outlive the registration;
// null registers an empty table), and forgetting everything recorded for a module handle before
// the handle goes away.
void RegisterModuleResources(HINSTANCE module, const StringTable* table);
void UnregisterModuleResources(HINSTANCE module);
