#include "viewer/VelmoraSettings.h"

#include <algorithm>
#include <array>
#include <exception>

#include "sdk/FunctionPublishing.h"

namespace velmora::viewer {
namespace {

struct SettingRef {
    std::string_view name;
    int PanelSettings::*intMember = nullptr;
    float PanelSettings::*floatMember = nullptr;
    bool PanelSettings::*boolMember = nullptr;
};

const std::array<SettingRef, 15>& settingTable() {
    static const std::array<SettingRef, 15> table = {{
        {"iterations", &PanelSettings::iterations, nullptr, nullptr},
        {"moveStrength", nullptr, &PanelSettings::moveStrength, nullptr},
        {"damping", nullptr, &PanelSettings::damping, nullptr},
        {"plasticity", nullptr, &PanelSettings::plasticity, nullptr},
        {"bendiness", nullptr, &PanelSettings::bendiness, nullptr},
        {"useVCMask", nullptr, nullptr, &PanelSettings::useVCMask},
        {"gravityEnabled", nullptr, nullptr, &PanelSettings::gravityEnabled},
        {"pressureEnabled", nullptr, nullptr, &PanelSettings::pressureEnabled},
        {"groundCollision", nullptr, nullptr, &PanelSettings::groundCollision},
        {"pressure", nullptr, &PanelSettings::pressure, nullptr},
        {"gravity", nullptr, &PanelSettings::gravity, nullptr},
        {"maskVal", nullptr, &PanelSettings::maskVal, nullptr},
        {"maskBlurStrength", nullptr, &PanelSettings::maskBlurStrength, nullptr},
        {"clothStrength", nullptr, &PanelSettings::clothStrength, nullptr},
        {"directionalExpand", nullptr, nullptr, &PanelSettings::directionalExpand},
    }};
    return table;
}

// Interface and parameter names are plain ASCII identifiers.
std::string ascii(std::wstring_view w) {
    std::string s;
    s.reserve(w.size());
    for (wchar_t c : w) s.push_back(c >= 0 && c < 128 ? static_cast<char>(c) : '?');
    return s;
}

const SettingRef* findSetting(std::string_view name) {
    for (const SettingRef& r : settingTable()) {
        if (r.name == name) return &r;
    }
    return nullptr;
}

FPInterfaceDesc* velmoraInterface(std::string& error) {
    FPInterfaceDesc* fp = GetCOREInterfaceByName(L"Velmora");
    if (fp == nullptr) error = "the \"Velmora\" interface is not published (is the plug-in loaded?)";
    return fp;
}

bool invoke(FPInterfaceDesc& fp, const FPFunctionDef& def, FPParams& params, std::string& error) {
    const std::string where = ascii(fp.GetName()) + "." + ascii(def.internalName);
    try {
        FPValue result;
        const FPStatus status = fp.Invoke(def.id, 0, result, &params);
        if (status != FPS_OK) {
            error = where + ": the call answered status " + std::to_string(status);
            return false;
        }
    } catch (const std::exception& e) {
        error = where + ": " + e.what();
        return false;
    }
    return true;
}

}  // namespace

const wchar_t* functionName(SettingsFunction f) {
    return f == SettingsFunction::SetSettings ? L"SetSettings" : L"SetSettingsV2";
}

const std::vector<std::string_view>& settingNames() {
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> n;
        for (const SettingRef& r : settingTable()) n.push_back(r.name);
        return n;
    }();
    return names;
}

bool sendSettings(const PanelSettings& s, SettingsFunction f, std::string& error) {
    FPInterfaceDesc* fp = velmoraInterface(error);
    if (fp == nullptr) return false;
    const FPFunctionDef* def = fp->FindFunction(functionName(f));
    if (def == nullptr) {
        error = "Velmora." + ascii(functionName(f)) + ": no such function";
        return false;
    }
    FPParams params;
    for (const FPParamDef& p : def->params) {
        const std::string name = ascii(p.internalName);
        const SettingRef* ref = findSetting(name);
        if (ref == nullptr) {
            error = "Velmora." + ascii(def->internalName) + ": unknown parameter \"" + name + "\"";
            return false;
        }
        // The value travels in the parameter's declared type, whatever the setting's own type.
        float asFloat = 0.0f;
        int asInt = 0;
        if (ref->intMember) { asInt = s.*(ref->intMember); asFloat = static_cast<float>(asInt); }
        if (ref->floatMember) { asFloat = s.*(ref->floatMember); asInt = static_cast<int>(asFloat); }
        if (ref->boolMember) { asInt = (s.*(ref->boolMember)) ? 1 : 0; asFloat = static_cast<float>(asInt); }
        switch (p.type) {
        case TYPE_INT: params.params.append(FPValue::Int(asInt)); break;
        case TYPE_FLOAT: params.params.append(FPValue::Float(asFloat)); break;
        case TYPE_BOOL:
        case TYPE_bool: params.params.append(FPValue::Bool(asInt != 0 ? 1 : 0)); break;
        default:
            error = "Velmora." + ascii(def->internalName) + ": parameter \"" + name +
                    "\" has a type the panel cannot send";
            return false;
        }
    }
    return invoke(*fp, *def, params, error);
}

bool startBrush(std::string& error) {
    FPInterfaceDesc* fp = velmoraInterface(error);
    if (fp == nullptr) return false;
    const FPFunctionDef* def = fp->FindFunction(L"DoOperation");
    if (def == nullptr) {
        error = "Velmora.DoOperation: no such function";
        return false;
    }
    FPParams params;
    return invoke(*fp, *def, params, error);
}

bool recordScriptCall(PanelSettings& s, const host::CallArgs& call) {
    if (call.interfaceName != "Velmora") return false;
    if (call.functionName != "SetSettings" && call.functionName != "SetSettingsV2") return false;
    FPInterfaceDesc* fp = GetCOREInterfaceByName(L"Velmora");
    if (fp == nullptr) return false;
    const std::wstring wname(call.functionName.begin(), call.functionName.end());
    const FPFunctionDef* def = fp->FindFunction(wname);
    if (def == nullptr) return false;
    const std::size_t n = std::min(def->params.size(), call.args.size());
    for (std::size_t i = 0; i < n; ++i) {
        const SettingRef* ref = findSetting(ascii(def->params[i].internalName));
        const host::ScriptValue& v = call.args[i];
        if (ref == nullptr) continue;
        double number = 0.0;
        if (v.kind == host::ScriptValue::Kind::Number) number = v.number;
        else if (v.kind == host::ScriptValue::Kind::Bool) number = v.boolean ? 1.0 : 0.0;
        else continue;
        if (ref->intMember) s.*(ref->intMember) = static_cast<int>(number);
        if (ref->floatMember) s.*(ref->floatMember) = static_cast<float>(number);
        if (ref->boolMember) s.*(ref->boolMember) = number != 0.0;
    }
    return true;
}

bool sendExactSolver(bool exact, std::string& error) {
    FPInterfaceDesc* fp = GetCOREInterfaceByName(L"VelmoraOptions");
    if (fp == nullptr) {
        error = "the \"VelmoraOptions\" interface is not published (is the plug-in loaded?)";
        return false;
    }
    const FPFunctionDef* def = fp->FindFunction(L"SetExactSolver");
    if (def == nullptr || def->params.size() != 1) {
        error = "VelmoraOptions.SetExactSolver: no such function taking one argument";
        return false;
    }
    FPParams params;
    params.params.append(FPValue::Bool(exact ? 1 : 0));
    return invoke(*fp, *def, params, error);
}

bool recordExactSolverCall(bool& exact, const host::CallArgs& call) {
    if (call.interfaceName != "VelmoraOptions" || call.functionName != "SetExactSolver") return false;
    if (call.args.size() != 1) return false;
    const host::ScriptValue& v = call.args[0];
    if (v.kind == host::ScriptValue::Kind::Bool) exact = v.boolean;
    else if (v.kind == host::ScriptValue::Kind::Number) exact = v.number != 0.0;
    else return false;
    return true;
}

}  // namespace velmora::viewer
