#include "plugin/Velmora.h"

DWORD Velmora::Start() { return GUPRESULT_KEEP; }

void Velmora::Stop() {}

DWORD_PTR Velmora::Control(DWORD /*parameter*/) { return 0; }

IOResult Velmora::Save(ISave* /*isave*/) { return IO_OK; }

IOResult Velmora::Load(ILoad* /*iload*/) { return IO_OK; }

// Allocated from the host heap by the descriptor; the host gives it back through here.
void Velmora::DeleteThis() { delete this; }
