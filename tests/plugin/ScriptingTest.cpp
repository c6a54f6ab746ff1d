// The scripting interface "Velmora" as a script reaches it: found in the registry, its declared
// functions, and the dispatch of every function with good, short and unknown calls.
#include <cmath>
#include <cstring>
#include <limits>

#include "PluginTestSupport.h"

namespace plugintest {
namespace {

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every one of the fifteen settings, bit for bit.
bool sameSettings(const BrushSettings& a, const BrushSettings& b) {
    return a.iterations == b.iterations && sameBits(a.moveStrength, b.moveStrength) &&
           sameBits(a.damping, b.damping) && sameBits(a.plasticity, b.plasticity) &&
           sameBits(a.bendiness, b.bendiness) && a.useVCMask == b.useVCMask &&
           a.gravityEnabled == b.gravityEnabled && a.pressureEnabled == b.pressureEnabled &&
           a.groundCollision == b.groundCollision && sameBits(a.pressure, b.pressure) &&
           sameBits(a.gravity, b.gravity) && sameBits(a.maskVal, b.maskVal) &&
           sameBits(a.maskBlurStrength, b.maskBlurStrength) && sameBits(a.clothStrength, b.clothStrength) &&
           a.directionalExpand == b.directionalExpand;
}

class Scripting : public PluginTest {
protected:
    // The settings as the brush sees them: entering the mode on a plane.
    BrushSettings settingsAtEntry() {
        if (ip->GetINodeByName(L"probe") == nullptr) addPlane(L"probe");
        ClothMouseProc* mp = enterOn(ip->GetINodeByName(L"probe"));
        EXPECT_NE(mp, nullptr);
        BrushSettings s = mp != nullptr ? mp->settings : BrushSettings{};
        ip->PopCommandMode();
        return s;
    }
    bool modeCreated() {
        for (const std::string& e : TakeModuleObjectEvents()) {
            if (e == "construct ClothCommandMode") created = true;
        }
        return created;
    }
    bool created = false;
};

TEST_F(Scripting, PublishedAsACoreInterfaceWithFourFunctions) {
    EXPECT_EQ(GetCOREInterface(kInterfaceId), velmora);
    EXPECT_EQ(velmora->GetID(), kInterfaceId);
    EXPECT_EQ(velmora->GetName(), L"Velmora");
    EXPECT_EQ(velmora->GetFlags(), FP_CORE);

    struct Param { const wchar_t* name; ParamType2 type; };
    struct Function { FunctionID id; const wchar_t* name; std::vector<Param> params; };
    const Function table[] = {
        {0, L"AssignWorkingNode", {{L"node", TYPE_INODE}}},
        {1, L"DoOperation", {}},
        {2, L"SetSettings",
         {{L"iterations", TYPE_INT}, {L"moveStrength", TYPE_FLOAT}, {L"damping", TYPE_FLOAT},
          {L"plasticity", TYPE_FLOAT}, {L"bendiness", TYPE_FLOAT}}},
        {3, L"SetSettingsV2",
         {{L"useVCMask", TYPE_BOOL}, {L"gravityEnabled", TYPE_BOOL}, {L"pressureEnabled", TYPE_BOOL},
          {L"gravity", TYPE_FLOAT}, {L"pressure", TYPE_FLOAT}, {L"groundCollision", TYPE_BOOL},
          {L"maskVal", TYPE_FLOAT}, {L"maskBlurStrength", TYPE_FLOAT}, {L"clothStrength", TYPE_FLOAT},
          {L"directionalExpand", TYPE_BOOL}}},
    };
    const std::vector<FPFunctionDef>& functions = velmora->Functions();
    ASSERT_EQ(functions.size(), 4u);
    for (size_t f = 0; f < 4; ++f) {
        const Function& want = table[f];
        const FPFunctionDef& got = functions[f];
        SCOPED_TRACE(testing::Message() << "function " << f);
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.internalName, want.name);
        EXPECT_EQ(got.description, 0);
        EXPECT_EQ(got.flags, 0);
        EXPECT_EQ(got.resultType, kResultType);
        EXPECT_EQ(velmora->FindFunction(want.name), &got);
        ASSERT_EQ(got.params.size(), want.params.size());
        for (size_t p = 0; p < want.params.size(); ++p) {
            EXPECT_EQ(got.params[p].internalName, want.params[p].name) << "parameter " << p;
            EXPECT_EQ(got.params[p].type, want.params[p].type) << "parameter " << p;
            EXPECT_EQ(got.params[p].description, 0) << "parameter " << p;
        }
    }
}

// A short parameter list throws the host's exception before anything happens: the command mode
// is not even created, and settings already stored stay.
TEST_F(Scripting, TooFewArgumentsThrowBeforeAnyChange) {
    struct Case { FunctionID id; int count; bool nullList; };
    const Case table[] = {{0, 0, false}, {0, 0, true}, {2, 4, false}, {2, 0, true},
                          {3, 9, false}, {3, 0, false}, {3, 1, true}};
    auto callShort = [&](const Case& c) {
        FPParams p = paramsOfCount(c.count);
        FPValue result = FPValue::Int(12345);
        try {
            velmora->Invoke(c.id, 0, result, c.nullList ? nullptr : &p);
            ADD_FAILURE() << "no exception for function " << c.id << " with " << c.count << " arguments";
        } catch (const MaxSDK::Util::OutOfRangeException& e) {
            EXPECT_STREQ(e.what(), "Argument index out of bounds, passed into a MaxSDK::Array::operator[]");
        }
        EXPECT_EQ(result.type, TYPE_INT);
        EXPECT_EQ(result.i, 12345);
    };
    for (const Case& c : table) callShort(c);
    EXPECT_FALSE(modeCreated());
    EXPECT_EQ(LiveCursorCount(), cursorsBefore);
    EXPECT_EQ(ip->GetCommandMode(), nullptr);

    // With the mode there and settings of our own, a short call changes none of them.
    ASSERT_EQ(call(2, makeParams({FPValue::Int(7), FPValue::Float(0.5f), FPValue::Float(0.25f),
                                  FPValue::Float(0.125f), FPValue::Float(0.0625f)})),
              FPS_OK);
    const BrushSettings before = settingsAtEntry();
    for (const Case& c : table) callShort(c);
    EXPECT_TRUE(sameSettings(settingsAtEntry(), before));
    EXPECT_EQ(before.iterations, 7);
}

TEST_F(Scripting, UnknownFunctionIdsAnswerNoSuchFunction) {
    for (FunctionID id : {FunctionID{4}, FunctionID{5}, FunctionID{-1}, FunctionID{1000}}) {
        FPParams p = paramsOfCount(10);
        FPValue result = FPValue::Int(777);
        EXPECT_EQ(velmora->Invoke(id, 0, result, &p), FPS_NO_SUCH_FUNCTION) << "id " << id;
        EXPECT_EQ(result.type, TYPE_INT);
        EXPECT_EQ(result.i, 777);
    }
    EXPECT_FALSE(modeCreated());
    EXPECT_EQ(ip->GetCommandMode(), nullptr);
}

// Handled calls write the declared result: true, or no value where functions return nothing.
TEST_F(Scripting, HandledCallsWriteTheDeclaredResult) {
    INode* plane = addPlane();
    struct Case { FunctionID id; FPParams params; };
    Case table[] = {{0, makeParams({FPValue::Node(plane)})}, {1, FPParams{}},
                    {2, paramsOfCount(5)}, {3, paramsOfCount(10)}};
    for (Case& c : table) {
        FPValue result = FPValue::Int(-5);
        EXPECT_EQ(velmora->Invoke(c.id, 0, result, &c.params), FPS_OK) << "id " << c.id;
        EXPECT_EQ(result.type, kResultType) << "id " << c.id;
        if (kResultType == TYPE_bool) {
            EXPECT_EQ(result.i, 1) << "id " << c.id;
        }
    }
}

// Values are stored exactly as passed, into the setting of the same name, and a setter called
// before the first entry decides what that entry uses.
TEST_F(Scripting, SetSettingsBeforeTheFirstEntryStoresExactValues) {
    const float tiny = std::numeric_limits<float>::denorm_min();
    ASSERT_EQ(call(2, makeParams({FPValue::Int(0), FPValue::Float(tiny), FPValue::Float(-0.5f),
                                  FPValue::Float(-0.0f), FPValue::Float(1e30f)})),
              FPS_OK);
    EXPECT_TRUE(modeCreated());
    BrushSettings want;
    want.iterations = 0;
    want.moveStrength = tiny;
    want.damping = -0.5f;
    want.plasticity = -0.0f;
    want.bendiness = 1e30f;
    EXPECT_TRUE(sameSettings(settingsAtEntry(), want));
}

TEST_F(Scripting, SetSettingsV2MapsByNameAndReadsBoolsAsNonZero) {
    struct Case {
        int bools[5];       // useVCMask, gravityEnabled, pressureEnabled, groundCollision, directionalExpand
        bool expected[5];
    };
    const Case table[] = {
        {{2, 0, 0, 0, 0}, {true, false, false, false, false}},
        {{0, -1, 0, 0, 0}, {false, true, false, false, false}},
        {{0, 0, 1, 0, 0}, {false, false, true, false, false}},
        {{0, 0, 0, 0x10000, 0}, {false, false, false, true, false}},
        {{0, 0, 0, 0, 3}, {false, false, false, false, true}},
        {{0, 0, 0, 0, 0}, {false, false, false, false, false}},
    };
    for (const Case& c : table) {
        // Every float distinct, so a value stored under the wrong name shows.
        ASSERT_EQ(call(3, makeParams({FPValue::Bool(c.bools[0]), FPValue::Bool(c.bools[1]),
                                      FPValue::Bool(c.bools[2]), FPValue::Float(-9.5f), FPValue::Float(0.3f),
                                      FPValue::Bool(c.bools[3]), FPValue::Float(0.7f), FPValue::Float(2.25f),
                                      FPValue::Float(-0.0f), FPValue::Bool(c.bools[4])})),
                  FPS_OK);
        BrushSettings want;
        want.useVCMask = c.expected[0];
        want.gravityEnabled = c.expected[1];
        want.pressureEnabled = c.expected[2];
        want.groundCollision = c.expected[3];
        want.directionalExpand = c.expected[4];
        want.gravity = -9.5f;
        want.pressure = 0.3f;
        want.maskVal = 0.7f;
        want.maskBlurStrength = 2.25f;
        want.clothStrength = -0.0f;
        EXPECT_TRUE(sameSettings(settingsAtEntry(), want)) << "bools " << c.bools[0] << c.bools[1]
                                                           << c.bools[2] << c.bools[3] << c.bools[4];
    }
}

TEST_F(Scripting, SettingsSurviveExitAndReentry) {
    const BrushSettings defaults = settingsAtEntry();
    EXPECT_TRUE(sameSettings(defaults, BrushSettings{}));
    ASSERT_EQ(call(2, makeParams({FPValue::Int(3), FPValue::Float(2.0f), FPValue::Float(0.5f),
                                  FPValue::Float(0.2f), FPValue::Float(0.3f)})),
              FPS_OK);
    const BrushSettings first = settingsAtEntry();
    EXPECT_EQ(first.iterations, 3);
    EXPECT_TRUE(sameSettings(settingsAtEntry(), first));
    EXPECT_TRUE(sameSettings(settingsAtEntry(), first));
}

TEST_F(Scripting, DoOperationWithoutSelectionDoesNothing) {
    addPlane();
    FPValue result;
    EXPECT_EQ(call(1, FPParams{}, &result), FPS_OK);
    EXPECT_EQ(ip->GetCommandMode(), nullptr);
    EXPECT_TRUE(ip->Prompts().empty());
    EXPECT_FALSE(displayRegistered());
    EXPECT_FALSE(modeCreated());
    // A null parameter list is an empty one.
    EXPECT_EQ(velmora->Invoke(1, 0, result, nullptr), FPS_OK);
    EXPECT_EQ(ip->GetCommandMode(), nullptr);
}

TEST_F(Scripting, DoOperationWithASelectionEntersTheBrushMode) {
    INode* plane = addPlane();
    ip->SelectNode(plane);
    EXPECT_EQ(doOperation(), FPS_OK);
    CommandMode* mode = ip->GetCommandMode();
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->ID(), 202);
    EXPECT_EQ(ip->Prompts(), std::vector<std::wstring>{kPrompt});
    EXPECT_TRUE(displayRegistered());
    // Doing it again re-enters the same mode; prompts stay paired.
    EXPECT_EQ(doOperation(), FPS_OK);
    EXPECT_EQ(ip->GetCommandMode(), mode);
    EXPECT_EQ(ip->Prompts().size(), 1u);
    ip->PopCommandMode();
    EXPECT_TRUE(ip->Prompts().empty());
    EXPECT_FALSE(displayRegistered());
}

// The node given to AssignWorkingNode is not the one worked on: the first selected node is.
TEST_F(Scripting, AssignWorkingNodeChangesNothing) {
    INode* selected = addPlane(L"selected");
    INode* assigned = addNode(new SphereObject(5.0f, 8), L"assigned");
    Object* assignedObject = assigned->GetObjectRef();
    EXPECT_EQ(call(0, makeParams({FPValue::Node(assigned)})), FPS_OK);
    EXPECT_EQ(call(0, makeParams({FPValue::Node(nullptr)})), FPS_OK);
    EXPECT_FALSE(modeCreated());
    ClothMouseProc* mp = enterOn(selected);
    ASSERT_NE(mp, nullptr);
    EXPECT_EQ(mp->node, selected);
    EXPECT_EQ(assigned->GetObjectRef(), assignedObject);
}

}  // namespace
}  // namespace plugintest
