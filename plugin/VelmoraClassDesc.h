#pragma once
// The one class descriptor of the module: it creates the global utility plug-in object.
#include "sdk/HostRelease.h"
#include "sdk/HostTypes.h"
#include "sdk/PluginFrame.h"

inline constexpr Class_ID kVelmoraClassId(0x27A67FF8, 0x7C225B77);

class VelmoraClassDesc : public ClassDesc2 {
public:
    VelmoraClassDesc();
    ~VelmoraClassDesc() override;

    int IsPublic() override;
    // A new Velmora from the host heap (the host deletes it); null when the heap gives nothing.
    void* Create(BOOL loading = FALSE) override;
    // String 3 of the table, in the shared text buffer; null when it cannot be read.
    const MCHAR* ClassName() override;
#if MAX_RELEASE >= 24000
    const MCHAR* NonLocalizedClassName() override;
#endif
    SClass_ID SuperClassID() override;
    Class_ID ClassID() override;
    // String 2 of the table, in the shared text buffer; null when it cannot be read.
    const MCHAR* Category() override;
    const MCHAR* InternalName() override;
    HINSTANCE HInstance() override;
};

// The descriptor, built on the first call and destroyed when the module is unloaded.
VelmoraClassDesc* getVelmoraClassDesc();
