#pragma once
// The global utility plug-in object. It does nothing of its own: the work is done by the
// scripting interface and the brush command mode it starts.
#include "sdk/PluginFrame.h"

class Velmora : public GUP {
public:
    DWORD Start() override;  // GUPRESULT_KEEP: the host keeps the object
    void Stop() override;
    DWORD_PTR Control(DWORD parameter) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;
    void DeleteThis() override;
};
