#include "sdk/Cursors.h"

#include <mutex>
#include <unordered_set>

// A cursor handle is a small heap object; the live set lets every query validate a handle
// without reading freed memory.
struct HostCursor {
    int number;
    bool system;
};

namespace {
struct CursorTable {
    std::mutex mutex;
    std::unordered_set<HCURSOR> live;
    HCURSOR current = nullptr;
    int setCalls = 0;
};

// Never destroyed, so handles released by static objects during unload still find it.
CursorTable& table() {
    static CursorTable* t = new CursorTable;
    return *t;
}

HCURSOR makeCursor(int number, bool system) {
    CursorTable& t = table();
    HCURSOR c = new HostCursor{number, system};
    std::lock_guard<std::mutex> lock(t.mutex);
    t.live.insert(c);
    return c;
}
}  // namespace

namespace MaxSDK {
HCURSOR LoadMouseCursor(int id) { return makeCursor(id, false); }
}  // namespace MaxSDK

HCURSOR LoadCursor(HINSTANCE /*module*/, int id) { return makeCursor(id, true); }

HCURSOR GetCursor() {
    CursorTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.current;
}

HCURSOR SetCursor(HCURSOR c) {
    CursorTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    ++t.setCalls;
    HCURSOR previous = t.current;
    // A handle that is not live (never loaded, or destroyed) shows no cursor.
    t.current = (c != nullptr && t.live.count(c) != 0) ? c : nullptr;
    return previous;
}

BOOL DestroyCursor(HCURSOR c) {
    CursorTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (c == nullptr || t.live.erase(c) == 0) return FALSE;
    // The current cursor never dangles.
    if (t.current == c) t.current = nullptr;
    delete c;
    return TRUE;
}

int CursorNumber(HCURSOR c) {
    CursorTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    return (c != nullptr && t.live.count(c) != 0) ? c->number : 0;
}

bool CursorIsSystem(HCURSOR c) {
    CursorTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    return c != nullptr && t.live.count(c) != 0 && c->system;
}

int SetCursorCallCount() {
    CursorTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.setCalls;
}

int LiveCursorCount() {
    CursorTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    return static_cast<int>(t.live.size());
}
