#include "sdk/Resources.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <set>

namespace {
struct ResourceRegistry {
    std::mutex mutex;
    std::map<HINSTANCE, const StringTable*> tables;
    std::set<HMODULE> noThreadCalls;
};

// Never destroyed: modules may still read their strings while they are unloaded at process exit.
ResourceRegistry& resources() {
    static ResourceRegistry* r = new ResourceRegistry;
    return *r;
}

const MCHAR* findText(const StringTable* table, UINT id) {
    if (table == nullptr || table->entries == nullptr) return nullptr;
    for (int i = 0; i < table->count; ++i) {
        if (table->entries[i].id == id) return table->entries[i].text;
    }
    return nullptr;
}
}  // namespace

int LoadStringW(HINSTANCE module, UINT id, MCHAR* buf, int bufLen) {
    if (buf == nullptr || bufLen <= 0) return 0;
    buf[0] = 0;
    if (module == nullptr) return 0;
    ResourceRegistry& r = resources();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto it = r.tables.find(module);
    if (it == r.tables.end()) return 0;
    const MCHAR* text = findText(it->second, id);
    if (text == nullptr) return 0;
    int n = 0;
    while (n < bufLen - 1 && text[n] != 0) {
        buf[n] = text[n];
        ++n;
    }
    buf[n] = 0;
    return n;
}

BOOL DisableThreadLibraryCalls(HMODULE module) {
    if (module == nullptr) return FALSE;
    ResourceRegistry& r = resources();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.noThreadCalls.insert(module);
    return TRUE;
}

bool ThreadLibraryCallsDisabled(HMODULE module) {
    ResourceRegistry& r = resources();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.noThreadCalls.count(module) != 0;
}

void RegisterModuleResources(HINSTANCE module, const StringTable* table) {
    if (module == nullptr) return;
    ResourceRegistry& r = resources();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.tables[module] = table;
}

void UnregisterModuleResources(HINSTANCE module) {
    ResourceRegistry& r = resources();
    std::lock_guard<std::mutex> lock(r.mutex);
    // A later module may get the same handle value; nothing of this one may carry over.
    r.tables.erase(module);
    r.noThreadCalls.erase(module);
}
