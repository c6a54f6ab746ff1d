#include "plugin/IVelmoraOptions.h"

#include "plugin/ClothCommandMode.h"

IVelmoraOptions::IVelmoraOptions()
    : FPInterfaceDesc(kVelmoraOptionsInterfaceId, L"VelmoraOptions", 0, nullptr, FP_CORE) {
    AppendFunction(kSetExactSolver, L"SetExactSolver", 0, kVelmoraResultType, 0,
                   {FPParamDef{L"exact", 0, TYPE_BOOL}});
}

IVelmoraOptions::~IVelmoraOptions() = default;

FPStatus IVelmoraOptions::_dispatch_fn(FunctionID fid, TimeValue /*t*/, FPValue& result, FPParams* p) {
    const MaxSDK::Array<FPValue> none;
    const MaxSDK::Array<FPValue>& args = p != nullptr ? p->params : none;
    switch (fid) {
        case kSetExactSolver: {
            // Read first: a missing argument throws here, before the mode exists or anything changes.
            const bool exact = args[0].i != 0;
            getClothCommandMode().mouseProc.exactSolver = exact;
            break;
        }
        default:
            return FPS_NO_SUCH_FUNCTION;
    }
    result = handledResult();
    return FPS_OK;
}
