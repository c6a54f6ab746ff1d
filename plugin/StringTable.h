#pragma once
// The module's string table, its handle and the string loader that reads the table through it.
#include "plugin/Exports.h"
#include "sdk/HostTypes.h"
#include "sdk/Resources.h"

// Set by DllMain when the process attaches the module; null until then.
extern HINSTANCE hInstance;

constexpr UINT kIdsLibDescription = 1;
constexpr UINT kIdsCategory = 2;
constexpr UINT kIdsClassName = 3;
constexpr UINT kIdsParameters = 4;
constexpr UINT kIdsSpin = 5;

// Size in UTF-16 units of the one text buffer that every lookup shares.
constexpr int kStringBufferSize = 256;

// Loads string `id` into the shared buffer and returns the buffer; null when the module handle is
// not set yet, the id is not in the table or its text is empty. The next lookup overwrites the
// text, so use it before looking up another.
const MCHAR* loadResourceString(UINT id);

// The string resources (language 1033) that the host reads through the module handle.
extern "C" {
VELMORA_EXPORT extern const StringTable ModuleStringTable;
}
