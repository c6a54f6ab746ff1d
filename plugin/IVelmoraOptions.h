#pragma once
// The scripting interface "VelmoraOptions": solver options beside the brush settings of "Velmora".
#include "plugin/IVelmora.h"
#include "sdk/FunctionPublishing.h"

inline constexpr Interface_ID kVelmoraOptionsInterfaceId(0x4C0D4270, 0x4DF62191);

enum : FunctionID {
    kSetExactSolver = 0,
};

// A static core interface like IVelmora, published under its own name and id.
class IVelmoraOptions : public FPInterfaceDesc {
public:
    IVelmoraOptions();
    ~IVelmoraOptions() override;

protected:
    // SetExactSolver(BOOL): non-zero runs the plain solver formulas without the stabilisation of
    // busy vertices, zero (the default) turns the stabilisation back on; kept until the module is
    // unloaded, across brush entries. Status FPS_OK (1) for function 0, FPS_NO_SUCH_FUNCTION (-1)
    // for any other id (nothing changes, `result` not written). A handled call writes `result` as
    // the declared result type. An empty parameter list (or a null one) throws
    // MaxSDK::Util::OutOfRangeException before anything changes.
    FPStatus _dispatch_fn(FunctionID fid, TimeValue t, FPValue& result, FPParams* p) override;
};

// The interface object, constructed at load after "Velmora" and the brush display.
extern IVelmoraOptions velmoraOptionsInterface;
