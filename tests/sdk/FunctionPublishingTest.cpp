#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "sdk/Exceptions.h"
#include "sdk/FunctionPublishing.h"

namespace {

constexpr Interface_ID kTestId(0x1234, 0x5678);

// A published interface whose one function reads two float parameters.
class AddInterface : public FPInterfaceDesc {
public:
    AddInterface(Interface_ID id, const MCHAR* name, ULONG flags) : FPInterfaceDesc(id, name, 0, nullptr, flags) {
        AppendFunction(7, L"Add", 0, TYPE_FLOAT, 0, {{L"a", 0, TYPE_FLOAT}, {L"b", 0, TYPE_FLOAT}});
    }

protected:
    FPStatus _dispatch_fn(FunctionID fid, TimeValue, FPValue& result, FPParams* p) override {
        if (fid != 7) return FPS_NO_SUCH_FUNCTION;
        result = FPValue::Float(p->params[0].f + p->params[1].f);
        return FPS_OK;
    }
};

TEST(FunctionPublishingTest, RegistryRefusesDuplicates) {
    TakeRefusedInterfaceNames();
    {
        AddInterface first(kTestId, L"TestAdd", FP_CORE);
        EXPECT_TRUE(first.IsRegistered());
        EXPECT_EQ(GetCOREInterface(kTestId), &first);
        EXPECT_EQ(GetCOREInterfaceByName(L"TestAdd"), &first);
        const auto all = GetCOREInterfaces();
        EXPECT_NE(std::find(all.begin(), all.end(), &first), all.end());

        {
            AddInterface sameName(Interface_ID(0x99, 0x99), L"TestAdd", FP_CORE);
            AddInterface sameId(kTestId, L"OtherName", FP_CORE);
            EXPECT_FALSE(sameName.IsRegistered());
            EXPECT_FALSE(sameId.IsRegistered());
            EXPECT_EQ(GetCOREInterfaceByName(L"OtherName"), nullptr);
            EXPECT_EQ(GetCOREInterface(Interface_ID(0x99, 0x99)), nullptr);
        }
        // The refused ones' destructors leave the registered one in place.
        EXPECT_EQ(GetCOREInterface(kTestId), &first);
        EXPECT_EQ(TakeRefusedInterfaceNames(), (std::vector<std::wstring>{L"TestAdd", L"OtherName"}));
        EXPECT_TRUE(TakeRefusedInterfaceNames().empty());

        AddInterface notCore(Interface_ID(0x55, 0x55), L"Local", 0);
        EXPECT_FALSE(notCore.IsRegistered());
        EXPECT_EQ(GetCOREInterfaceByName(L"Local"), nullptr);
        EXPECT_TRUE(TakeRefusedInterfaceNames().empty());
    }
    EXPECT_EQ(GetCOREInterface(kTestId), nullptr);
    EXPECT_EQ(GetCOREInterfaceByName(L"TestAdd"), nullptr);
    // The name is free again.
    AddInterface again(kTestId, L"TestAdd", FP_CORE);
    EXPECT_TRUE(again.IsRegistered());
}

TEST(FunctionPublishingTest, FunctionsAndDispatch) {
    AddInterface fp(kTestId, L"TestAdd2", 0);
    ASSERT_EQ(fp.Functions().size(), 1u);
    const FPFunctionDef* add = fp.FindFunction(L"Add");
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->id, 7);
    EXPECT_EQ(add->resultType, TYPE_FLOAT);
    ASSERT_EQ(add->params.size(), 2u);
    EXPECT_EQ(add->params[1].internalName, L"b");
    EXPECT_EQ(fp.FindFunction(L"Sub"), nullptr);

    FPParams params;
    params.params.append(FPValue::Float(1.5f));
    params.params.append(FPValue::Float(2.0f));
    FPValue result;
    EXPECT_EQ(fp.Invoke(7, 0, result, &params), FPS_OK);
    EXPECT_EQ(result.type, TYPE_FLOAT);
    EXPECT_EQ(result.f, 3.5f);
    EXPECT_EQ(fp.Invoke(8, 0, result, &params), FPS_NO_SUCH_FUNCTION);

    // Too few arguments: the bounds-checked array throws the host's exception and message.
    FPParams one;
    one.params.append(FPValue::Float(1.0f));
    try {
        fp.Invoke(7, 0, result, &one);
        FAIL() << "no exception";
    } catch (const MaxSDK::Util::OutOfRangeException& e) {
        EXPECT_STREQ(e.GetMessage(), "Argument index out of bounds, passed into a MaxSDK::Array::operator[]");
    }
    EXPECT_THROW(one.params[-1], MaxSDK::Util::OutOfRangeException);
}

TEST(FunctionPublishingTest, TabIndexCheck) {
    Tab<int> tab;
    const int items[3] = {4, 5, 6};
    tab.Append(3, items);
    EXPECT_EQ(tab.Count(), 3);
    EXPECT_EQ(tab[2], 6);
    try {
        (void)tab[3];
        FAIL() << "no exception";
    } catch (const TabOutOfRangeException& e) {
        EXPECT_STREQ(e.what(), "Invalid index passed into a Max SDK Tab::operator[]");
    }
    EXPECT_THROW((void)tab[-1], TabOutOfRangeException);
}

}  // namespace
