#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "sdk/FunctionPublishing.h"
#include "viewer/VelmoraSettings.h"

namespace velmora::viewer {
namespace {

// A stand-in "Velmora" interface that records what it is given. `reversedV2` declares
// SetSettingsV2's parameters in reverse order, to show that values go by name, not by position.
class FakeVelmora : public FPInterfaceDesc {
public:
    explicit FakeVelmora(bool reversedV2 = false)
        : FPInterfaceDesc(Interface_ID(0x4C0D426F, 0x4DF62190), L"Velmora", 0, nullptr, FP_CORE) {
        AppendFunction(0, L"AssignWorkingNode", 0, TYPE_bool, 0, {{L"node", 0, TYPE_INODE}});
        AppendFunction(1, L"DoOperation", 0, TYPE_bool, 0, {});
        AppendFunction(2, L"SetSettings", 0, TYPE_bool, 0,
                       {{L"iterations", 0, TYPE_INT}, {L"moveStrength", 0, TYPE_FLOAT}, {L"damping", 0, TYPE_FLOAT},
                        {L"plasticity", 0, TYPE_FLOAT}, {L"bendiness", 0, TYPE_FLOAT}});
        std::vector<FPParamDef> v2 = {{L"useVCMask", 0, TYPE_BOOL},        {L"gravityEnabled", 0, TYPE_BOOL},
                                      {L"pressureEnabled", 0, TYPE_BOOL},  {L"gravity", 0, TYPE_FLOAT},
                                      {L"pressure", 0, TYPE_FLOAT},        {L"groundCollision", 0, TYPE_BOOL},
                                      {L"maskVal", 0, TYPE_FLOAT},         {L"maskBlurStrength", 0, TYPE_FLOAT},
                                      {L"clothStrength", 0, TYPE_FLOAT},   {L"directionalExpand", 0, TYPE_BOOL}};
        if (reversedV2) std::reverse(v2.begin(), v2.end());
        AppendFunction(3, L"SetSettingsV2", 0, TYPE_bool, 0, v2);
    }
    std::vector<FunctionID> calls;
    std::vector<FPValue> lastParams;
    FPStatus answer = FPS_OK;
    bool throwOnCall = false;

protected:
    FPStatus _dispatch_fn(FunctionID fid, TimeValue, FPValue&, FPParams* p) override {
        if (throwOnCall) throw std::runtime_error("boom");
        calls.push_back(fid);
        lastParams.clear();
        for (int i = 0; i < p->params.length(); ++i) lastParams.push_back(p->params[i]);
        return answer;
    }
};

TEST(VelmoraSettings, SetSettingsSendsTheFirstFiveInDeclaredTypes) {
    FakeVelmora fp;
    ASSERT_TRUE(fp.IsRegistered());
    PanelSettings s;
    s.iterations = 7;
    s.moveStrength = 2.5f;
    s.damping = -0.5f;
    s.plasticity = 0.25f;
    s.bendiness = 3.0f;
    std::string error;
    ASSERT_TRUE(sendSettings(s, SettingsFunction::SetSettings, error)) << error;
    ASSERT_EQ(fp.calls, std::vector<FunctionID>{2});
    ASSERT_EQ(fp.lastParams.size(), 5u);
    EXPECT_EQ(fp.lastParams[0].type, TYPE_INT);
    EXPECT_EQ(fp.lastParams[0].i, 7);
    const float floats[] = {2.5f, -0.5f, 0.25f, 3.0f};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(fp.lastParams[static_cast<size_t>(k + 1)].type, TYPE_FLOAT);
        EXPECT_EQ(fp.lastParams[static_cast<size_t>(k + 1)].f, floats[k]) << "sent exactly, never clamped";
    }
}

TEST(VelmoraSettings, SetSettingsV2GoesByParameterName) {
    for (bool reversed : {false, true}) {
        FakeVelmora fp(reversed);
        PanelSettings s;
        s.useVCMask = false;
        s.gravityEnabled = true;
        s.gravity = 9.0f;
        s.pressure = 2.0f;
        s.maskVal = 0.0f;
        s.clothStrength = 0.5f;
        s.directionalExpand = true;
        std::string error;
        ASSERT_TRUE(sendSettings(s, SettingsFunction::SetSettingsV2, error)) << error;
        ASSERT_EQ(fp.lastParams.size(), 10u);
        const FPFunctionDef* def = fp.FindFunction(L"SetSettingsV2");
        const struct {
            const wchar_t* name;
            float value;  // BOOL parameters: 0 or 1
        } expected[] = {{L"useVCMask", 0}, {L"gravityEnabled", 1}, {L"pressureEnabled", 0}, {L"gravity", 9},
                        {L"pressure", 2}, {L"groundCollision", 0}, {L"maskVal", 0}, {L"maskBlurStrength", 1},
                        {L"clothStrength", 0.5f}, {L"directionalExpand", 1}};
        for (size_t i = 0; i < def->params.size(); ++i) {
            const FPValue& v = fp.lastParams[i];
            EXPECT_EQ(v.type, def->params[i].type);
            for (const auto& e : expected) {
                if (def->params[i].internalName != e.name) continue;
                const float got = v.type == TYPE_FLOAT ? v.f : static_cast<float>(v.i);
                EXPECT_EQ(got, e.value) << i;
            }
        }
    }
}

TEST(VelmoraSettings, FailuresAreReportedNotHidden) {
    std::string error;
    EXPECT_FALSE(sendSettings(PanelSettings{}, SettingsFunction::SetSettings, error));
    EXPECT_NE(error.find("\"Velmora\""), std::string::npos) << error;
    EXPECT_FALSE(startBrush(error));

    FakeVelmora fp;
    fp.answer = FPS_FAIL;
    error.clear();
    EXPECT_FALSE(sendSettings(PanelSettings{}, SettingsFunction::SetSettings, error));
    EXPECT_NE(error.find("Velmora.SetSettings"), std::string::npos) << error;
    fp.answer = FPS_OK;
    fp.throwOnCall = true;
    error.clear();
    EXPECT_FALSE(startBrush(error));
    EXPECT_NE(error.find("boom"), std::string::npos) << error;
    fp.throwOnCall = false;
    EXPECT_TRUE(startBrush(error));
    EXPECT_EQ(fp.calls.back(), 1);
}

host::ScriptValue number(double v) {
    host::ScriptValue s;
    s.kind = host::ScriptValue::Kind::Number;
    s.number = v;
    return s;
}
host::ScriptValue boolean(bool v) {
    host::ScriptValue s;
    s.kind = host::ScriptValue::Kind::Bool;
    s.boolean = v;
    return s;
}

TEST(VelmoraSettings, ScriptCallsAreRecordedByName) {
    FakeVelmora fp(true);
    PanelSettings s;
    host::CallArgs call;
    call.interfaceName = "Velmora";
    call.functionName = "SetSettings";
    call.args = {number(12), number(40), number(0.9), number(0.2), number(0.3)};
    EXPECT_TRUE(recordScriptCall(s, call));
    EXPECT_EQ(s.iterations, 12);
    EXPECT_EQ(s.moveStrength, 40.0f);
    EXPECT_EQ(s.bendiness, 0.3f);
    // Reversed declaration: the first argument is directionalExpand, the last useVCMask.
    call.functionName = "SetSettingsV2";
    call.args = {number(2), number(0.5), number(0.0), number(0.25), boolean(true),
                 number(3), number(4), boolean(false), boolean(true), boolean(false)};
    EXPECT_TRUE(recordScriptCall(s, call));
    EXPECT_TRUE(s.directionalExpand) << "a non-zero number is true";
    EXPECT_EQ(s.clothStrength, 0.5f);
    EXPECT_EQ(s.maskVal, 0.25f);
    EXPECT_TRUE(s.groundCollision);
    EXPECT_EQ(s.pressure, 3.0f);
    EXPECT_EQ(s.gravity, 4.0f);
    EXPECT_FALSE(s.pressureEnabled);
    EXPECT_TRUE(s.gravityEnabled);
    EXPECT_FALSE(s.useVCMask);

    const PanelSettings before = s;
    call.interfaceName = "Other";
    EXPECT_FALSE(recordScriptCall(s, call));
    call.interfaceName = "Velmora";
    call.functionName = "DoOperation";
    EXPECT_FALSE(recordScriptCall(s, call));
    EXPECT_EQ(s, before);
}

// A stand-in "VelmoraOptions" interface with its one switch.
class FakeVelmoraOptions : public FPInterfaceDesc {
public:
    FakeVelmoraOptions()
        : FPInterfaceDesc(Interface_ID(0x4C0D4270, 0x4DF62191), L"VelmoraOptions", 0, nullptr, FP_CORE) {
        AppendFunction(0, L"SetExactSolver", 0, TYPE_bool, 0, {{L"exact", 0, TYPE_BOOL}});
    }
    std::vector<FPValue> received;
    FPStatus answer = FPS_OK;

protected:
    FPStatus _dispatch_fn(FunctionID, TimeValue, FPValue&, FPParams* p) override {
        received.push_back(p->params[0]);
        return answer;
    }
};

TEST(VelmoraSettings, ExactSolverSwitchGoesThroughVelmoraOptions) {
    std::string error;
    EXPECT_FALSE(sendExactSolver(true, error));
    EXPECT_NE(error.find("\"VelmoraOptions\""), std::string::npos) << error;

    FakeVelmoraOptions fp;
    for (bool exact : {true, false}) {
        error.clear();
        ASSERT_TRUE(sendExactSolver(exact, error)) << error;
        EXPECT_EQ(fp.received.back().type, TYPE_BOOL);
        EXPECT_EQ(fp.received.back().i, exact ? 1 : 0);
    }
    fp.answer = FPS_FAIL;
    EXPECT_FALSE(sendExactSolver(true, error));
    EXPECT_NE(error.find("VelmoraOptions.SetExactSolver"), std::string::npos) << error;
}

TEST(VelmoraSettings, ExactSolverScriptCallsAreRecorded) {
    struct Case {
        const char* name;
        host::CallArgs call;
        bool recorded;
        bool exact;
    };
    const Case cases[] = {
        {"true", {"VelmoraOptions", "SetExactSolver", {boolean(true)}}, true, true},
        {"false", {"VelmoraOptions", "SetExactSolver", {boolean(false)}}, true, false},
        {"number", {"VelmoraOptions", "SetExactSolver", {number(2.0)}}, true, true},
        {"zero", {"VelmoraOptions", "SetExactSolver", {number(0.0)}}, true, false},
        {"no argument", {"VelmoraOptions", "SetExactSolver", {}}, false, true},
        {"other function", {"Velmora", "SetExactSolver", {boolean(false)}}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool exact = true;
        EXPECT_EQ(recordExactSolverCall(exact, c.call), c.recorded);
        EXPECT_EQ(exact, c.exact);
    }
}

TEST(VelmoraSettings, FifteenNamesInPanelOrder) {
    const auto& names = settingNames();
    ASSERT_EQ(names.size(), 15u);
    EXPECT_EQ(names.front(), "iterations");
    EXPECT_EQ(names.back(), "directionalExpand");
}

}  // namespace
}  // namespace velmora::viewer
