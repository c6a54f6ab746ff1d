#include "sdk/Resources.h"
// Placeholder until string resources land.
int LoadStringW(HINSTANCE, UINT, MCHAR* buf, int bufLen) { if (buf && bufLen > 0) buf[0] = 0; return 0; }
BOOL DisableThreadLibraryCalls(HMODULE) { return TRUE; }
bool ThreadLibraryCallsDisabled(HMODULE) { return false; }
