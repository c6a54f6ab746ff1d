// The scripting interface "VelmoraOptions": published beside "Velmora", which keeps its four
// functions, and its SetExactSolver reaching the brush's mouse procedure.
#include "PluginTestSupport.h"

namespace plugintest {
namespace {

inline constexpr Interface_ID kOptionsId(0x4C0D4270, 0x4DF62191);

class Options : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        options = GetCOREInterfaceByName(L"VelmoraOptions");
        ASSERT_NE(options, nullptr);
    }
    FPStatus setExact(int value, FPValue* resultOut = nullptr) {
        FPParams p = makeParams({FPValue::Int(value)});
        FPValue result;
        const FPStatus status = options->Invoke(0, 0, result, &p);
        if (resultOut != nullptr) *resultOut = result;
        return status;
    }
    bool exactAtEntry() {
        if (ip->GetINodeByName(L"probe") == nullptr) addPlane(L"probe");
        ClothMouseProc* mp = enterOn(ip->GetINodeByName(L"probe"));
        EXPECT_NE(mp, nullptr);
        const bool exact = mp != nullptr && mp->exactSolver;
        ip->PopCommandMode();
        return exact;
    }
    FPInterfaceDesc* options = nullptr;
};

TEST_F(Options, PublishedSeparatelyAndVelmoraKeepsItsFourFunctions) {
    EXPECT_EQ(GetCOREInterface(kOptionsId), options);
    EXPECT_NE(options, velmora);
    EXPECT_EQ(options->GetID(), kOptionsId);
    EXPECT_EQ(options->GetName(), L"VelmoraOptions");
    EXPECT_EQ(options->GetFlags(), FP_CORE);
    const std::vector<FPFunctionDef>& functions = options->Functions();
    ASSERT_EQ(functions.size(), 1u);
    EXPECT_EQ(functions[0].id, 0);
    EXPECT_EQ(functions[0].internalName, L"SetExactSolver");
    EXPECT_EQ(functions[0].resultType, kResultType);
    EXPECT_EQ(options->FindFunction(L"SetExactSolver"), &functions[0]);
    ASSERT_EQ(functions[0].params.size(), 1u);
    EXPECT_EQ(functions[0].params[0].type, TYPE_BOOL);

    EXPECT_EQ(velmora->Functions().size(), 4u);
    EXPECT_EQ(velmora->FindFunction(L"SetExactSolver"), nullptr);
    FPParams p = paramsOfCount(1);
    FPValue result = FPValue::Int(777);
    EXPECT_EQ(velmora->Invoke(4, 0, result, &p), FPS_NO_SUCH_FUNCTION);
    EXPECT_EQ(result.i, 777);
}

TEST_F(Options, ShortCallsThrowAndUnknownIdsAnswerNoSuchFunctionChangingNothing) {
    ASSERT_EQ(setExact(1), FPS_OK);
    for (bool nullList : {false, true}) {
        FPParams empty;
        FPValue result = FPValue::Int(12345);
        try {
            options->Invoke(0, 0, result, nullList ? nullptr : &empty);
            ADD_FAILURE() << "no exception for SetExactSolver without its argument";
        } catch (const MaxSDK::Util::OutOfRangeException& e) {
            EXPECT_STREQ(e.what(), "Argument index out of bounds, passed into a MaxSDK::Array::operator[]");
        }
        EXPECT_EQ(result.i, 12345);
    }
    for (FunctionID id : {FunctionID{1}, FunctionID{4}, FunctionID{-1}}) {
        FPParams p = makeParams({FPValue::Int(0)});
        FPValue result = FPValue::Int(777);
        EXPECT_EQ(options->Invoke(id, 0, result, &p), FPS_NO_SUCH_FUNCTION) << "id " << id;
        EXPECT_EQ(result.i, 777);
    }
    EXPECT_TRUE(exactAtEntry());  // neither the short calls nor the unknown ids turned it off
}

TEST_F(Options, SetExactSolverReachesTheBrushAndLastsAcrossEntries) {
    EXPECT_FALSE(exactAtEntry());  // the stabilisation is on by default
    FPValue result = FPValue::Int(-5);
    ASSERT_EQ(setExact(1, &result), FPS_OK);
    EXPECT_EQ(result.type, kResultType);
    if (kResultType == TYPE_bool) {
        EXPECT_EQ(result.i, 1);
    }
    EXPECT_TRUE(exactAtEntry());
    EXPECT_TRUE(exactAtEntry());
    ASSERT_EQ(setExact(7), FPS_OK);  // any non-zero value is true
    EXPECT_TRUE(exactAtEntry());
    ASSERT_EQ(setExact(0), FPS_OK);
    EXPECT_FALSE(exactAtEntry());
}

}  // namespace
}  // namespace plugintest
