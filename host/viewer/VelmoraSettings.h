#pragma once
// The brush settings as the viewer's panel knows them, and the calls that send them. The plug-in
// keeps its settings to itself; the only way to change them is the "Velmora" scripting interface,
// so the panel shows the values it (or the start-up script) last sent through that interface.
#include <string>
#include <string_view>
#include <vector>

#include "host/ScriptParser.h"

namespace velmora::viewer {

// The fifteen settings under their scripting names, with the plug-in's defaults.
struct PanelSettings {
    int iterations = 20;
    float moveStrength = 1.0f;
    float damping = 0.95f;
    float plasticity = 0.1f;
    float bendiness = 0.1f;
    bool useVCMask = true;
    bool gravityEnabled = false;
    bool pressureEnabled = false;
    bool groundCollision = false;
    float pressure = 1.0f;
    float gravity = 1.0f;
    float maskVal = 1.0f;
    float maskBlurStrength = 1.0f;
    float clothStrength = 1.0f;
    bool directionalExpand = false;

    bool operator==(const PanelSettings&) const = default;
};

// The two setter functions of the interface: SetSettings takes the first five settings,
// SetSettingsV2 the other ten.
enum class SettingsFunction { SetSettings, SetSettingsV2 };
const wchar_t* functionName(SettingsFunction f);

// Calls `f` on the "Velmora" interface with the values of `s`, each argument taken from the
// setting named like the declared parameter and converted to the declared type. Returns false
// with `error` (naming the interface, function and parameter) when the interface or function is
// missing, a parameter name is unknown, the call throws, or the status is not "handled".
bool sendSettings(const PanelSettings& s, SettingsFunction f, std::string& error);

// Calls DoOperation() on the "Velmora" interface (starts the brush on the selection); same
// failure rules as sendSettings.
bool startBrush(std::string& error);

// Records in `s` the values of one script call, if it is a Velmora.SetSettings or
// Velmora.SetSettingsV2 call: argument i goes to the setting named like the function's declared
// parameter i (an int setting takes the number, a BOOL true, false or a non-zero number). Other
// calls, and arguments without a declared parameter, change nothing. Returns true when it was
// such a call.
bool recordScriptCall(PanelSettings& s, const host::CallArgs& call);

// Calls SetExactSolver(exact) on the "VelmoraOptions" interface: true runs the plain solver
// formulas, false (the default) keeps vertices with very many edges stable. Same failure rules as
// sendSettings, the error naming VelmoraOptions.SetExactSolver.
bool sendExactSolver(bool exact, std::string& error);

// Records in `exact` the value of one script call, if it is VelmoraOptions.SetExactSolver with a
// true, false or numeric argument (non-zero is true). Returns true when it was such a call.
bool recordExactSolverCall(bool& exact, const host::CallArgs& call);

// Names of the fifteen settings in panel order.
const std::vector<std::string_view>& settingNames();

}  // namespace velmora::viewer
