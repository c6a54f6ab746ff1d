#pragma once
// Mouse cursors: the host's cursor library by number, the system's cursors, and the current cursor.
#include "sdk/HostTypes.h"

constexpr int IDC_HAND_ID = 32649;
constexpr int IDC_CROSS_ID = 32515;

namespace MaxSDK {
// A cursor of the host's cursor library, by its number (e.g. 153, 155). A new handle each call.
HCURSOR LoadMouseCursor(int id);
}
// A system cursor by id (32649 hand, 32515 cross, ...). A new handle each call.
HCURSOR LoadCursor(HINSTANCE module, int id);
HCURSOR GetCursor();            // null until a cursor is set
HCURSOR SetCursor(HCURSOR c);  // returns the previous cursor; a handle not live makes it null
// Frees a live handle (TRUE); FALSE for null or a handle already destroyed. Destroying the
// current cursor leaves no current cursor.
BOOL DestroyCursor(HCURSOR c);

// Introspection for hosts and tests.
int CursorNumber(HCURSOR c);        // library or system number of a live handle, 0 otherwise
bool CursorIsSystem(HCURSOR c);
int SetCursorCallCount();
int LiveCursorCount();
