#include "plugin/StringTable.h"

namespace {
constexpr StringResource kStrings[] = {
    {kIdsLibDescription, L"Tessane For 3dsMax"},
    {kIdsCategory, L"Quorvel"},
    {kIdsClassName, L"VelmoraUtil"},
    {kIdsParameters, L"Parameters"},
    {kIdsSpin, L"Spin"},
};

MCHAR stringBuffer[kStringBufferSize];
}  // namespace

const StringTable ModuleStringTable = {1033, static_cast<int>(sizeof kStrings / sizeof kStrings[0]), kStrings};

const MCHAR* loadResourceString(UINT id) {
    if (hInstance == nullptr) return nullptr;
    return LoadStringW(hInstance, id, stringBuffer, kStringBufferSize) != 0 ? stringBuffer : nullptr;
}
