#include "plugin/VelmoraClassDesc.h"

#include <new>

#include "plugin/StringTable.h"
#include "plugin/Velmora.h"
#include "sdk/ModuleLoader.h"
#include "sdk/Scene.h"

VelmoraClassDesc::VelmoraClassDesc() { NoteModuleObjectEvent("construct VelmoraClassDesc"); }

VelmoraClassDesc::~VelmoraClassDesc() { NoteModuleObjectEvent("destroy VelmoraClassDesc"); }

int VelmoraClassDesc::IsPublic() { return TRUE; }

void* VelmoraClassDesc::Create(BOOL /*loading*/) {
    GUP* object = new (std::nothrow) Velmora;
    return object;
}

const MCHAR* VelmoraClassDesc::ClassName() { return loadResourceString(kIdsClassName); }

#if MAX_RELEASE >= 24000
const MCHAR* VelmoraClassDesc::NonLocalizedClassName() { return L"VelmoraUtil"; }
#endif

SClass_ID VelmoraClassDesc::SuperClassID() { return GUP_CLASS_ID; }

Class_ID VelmoraClassDesc::ClassID() { return kVelmoraClassId; }

const MCHAR* VelmoraClassDesc::Category() { return loadResourceString(kIdsCategory); }

// Fixed rather than from the table: scripts and scene files name the class by it.
const MCHAR* VelmoraClassDesc::InternalName() { return L"VelmoraUtil"; }

HINSTANCE VelmoraClassDesc::HInstance() { return hInstance; }

VelmoraClassDesc* getVelmoraClassDesc() {
    static VelmoraClassDesc desc;
    return &desc;
}
