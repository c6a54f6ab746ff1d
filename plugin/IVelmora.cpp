#include "plugin/IVelmora.h"

#include "plugin/ClothCommandMode.h"
#include "sdk/Interface.h"
#include "sdk/ModuleLoader.h"

namespace {
using Arguments = MaxSDK::Array<FPValue>;

FPParamDef param(const MCHAR* name, ParamType2 type) { return FPParamDef{name, 0, type}; }

void doOperation() {
    Interface* ip = GetCOREInterface();
    if (ip->GetSelNodeCount() >= 1) ip->PushCommandMode(&getClothCommandMode());
}

void setSettings(const Arguments& args) {
    // The highest index first: a short list throws here, before the mode exists or anything changes.
    static_cast<void>(args[4]);
    BrushSettings& s = getClothCommandMode().mouseProc.settings;
    s.iterations = args[0].i;
    s.moveStrength = args[1].f;
    s.damping = args[2].f;
    s.plasticity = args[3].f;
    s.bendiness = args[4].f;
}

void setSettingsV2(const Arguments& args) {
    static_cast<void>(args[9]);
    BrushSettings& s = getClothCommandMode().mouseProc.settings;
    // The argument order is not the settings' declaration order: each goes to the setting of its name.
    s.useVCMask = args[0].i != 0;
    s.gravityEnabled = args[1].i != 0;
    s.pressureEnabled = args[2].i != 0;
    s.gravity = args[3].f;
    s.pressure = args[4].f;
    s.groundCollision = args[5].i != 0;
    s.maskVal = args[6].f;
    s.maskBlurStrength = args[7].f;
    s.clothStrength = args[8].f;
    s.directionalExpand = args[9].i != 0;
}
}  // namespace

IVelmora::IVelmora() : FPInterfaceDesc(kVelmoraInterfaceId, L"Velmora", 0, nullptr, FP_CORE) {
    NoteModuleObjectEvent("construct IVelmora");
    AppendFunction(kAssignWorkingNode, L"AssignWorkingNode", 0, kVelmoraResultType, 0,
                   {param(L"node", TYPE_INODE)});
    AppendFunction(kDoOperation, L"DoOperation", 0, kVelmoraResultType, 0, {});
    AppendFunction(kSetSettings, L"SetSettings", 0, kVelmoraResultType, 0,
                   {param(L"iterations", TYPE_INT), param(L"moveStrength", TYPE_FLOAT),
                    param(L"damping", TYPE_FLOAT), param(L"plasticity", TYPE_FLOAT),
                    param(L"bendiness", TYPE_FLOAT)});
    AppendFunction(kSetSettingsV2, L"SetSettingsV2", 0, kVelmoraResultType, 0,
                   {param(L"useVCMask", TYPE_BOOL), param(L"gravityEnabled", TYPE_BOOL),
                    param(L"pressureEnabled", TYPE_BOOL), param(L"gravity", TYPE_FLOAT),
                    param(L"pressure", TYPE_FLOAT), param(L"groundCollision", TYPE_BOOL),
                    param(L"maskVal", TYPE_FLOAT), param(L"maskBlurStrength", TYPE_FLOAT),
                    param(L"clothStrength", TYPE_FLOAT), param(L"directionalExpand", TYPE_BOOL)});
}

IVelmora::~IVelmora() { NoteModuleObjectEvent("destroy IVelmora"); }

FPStatus IVelmora::_dispatch_fn(FunctionID fid, TimeValue /*t*/, FPValue& result, FPParams* p) {
    const Arguments none;
    const Arguments& args = p != nullptr ? p->params : none;
    switch (fid) {
        case kAssignWorkingNode:
            // The node is not used: the brush always works on the first selected node at entry.
            static_cast<void>(args[0]);
            break;
        case kDoOperation:
            doOperation();
            break;
        case kSetSettings:
            setSettings(args);
            break;
        case kSetSettingsV2:
            setSettingsV2(args);
            break;
        default:
            return FPS_NO_SUCH_FUNCTION;
    }
    result = handledResult();
    return FPS_OK;
}
