#pragma once
// The scripting interface "Velmora": sets the fifteen brush settings and starts the brush.
#include "sdk/FunctionPublishing.h"
#include "sdk/HostRelease.h"

inline constexpr Interface_ID kVelmoraInterfaceId(0x4C0D426F, 0x4DF62190);

// Function ids, in the order the functions are appended.
enum : FunctionID {
    kAssignWorkingNode = 0,
    kDoOperation = 1,
    kSetSettings = 2,
    kSetSettingsV2 = 3,
};

// The result type every function declares: a boolean, or nothing for the oldest host releases.
inline constexpr ParamType2 kVelmoraResultType = MAX_RELEASE < 20000 ? TYPE_VOID : TYPE_bool;

// The result of a handled call: a defined value of kVelmoraResultType (true where it is a
// boolean), so that a script never reads whatever the host left in the result.
inline FPValue handledResult() {
    FPValue result;
    result.type = kVelmoraResultType;
    if (kVelmoraResultType == TYPE_bool) result.i = 1;
    return result;
}

// A static core interface: the one object is at once the interface and its descriptor, published
// under its name when the module is loaded and withdrawn when it is unloaded.
class IVelmora : public FPInterfaceDesc {
public:
    IVelmora();
    ~IVelmora() override;

protected:
    // Status FPS_OK (1) for functions 0 to 3, FPS_NO_SUCH_FUNCTION (-1) for any other id (then
    // nothing changes and `result` is not written). A handled call writes `result` as the declared
    // result type: true for TYPE_bool, an empty value for TYPE_VOID. A parameter list shorter than
    // the function needs throws MaxSDK::Util::OutOfRangeException before anything changes; a null
    // list counts as empty.
    FPStatus _dispatch_fn(FunctionID fid, TimeValue t, FPValue& result, FPParams* p) override;
};

// The interface object, constructed at load before the brush display.
extern IVelmora velmoraInterface;
