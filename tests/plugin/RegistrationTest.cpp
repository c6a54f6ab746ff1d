// What the host reads from the module's exports: the description, the one class descriptor and
// the global utility plug-in object it creates, and the exported VertexNormalsControl constructor.
#include <cstring>
#include <cwchar>
#include <new>

#include "PluginTestSupport.h"
#include "sdk/HostHeap.h"

namespace plugintest {
namespace {

class Registration : public PluginTest {};

TEST_F(Registration, ExportsAnswer) {
    EXPECT_EQ(module->LibNumberClasses(), 1);
    EXPECT_EQ(module->LibInitialize(), 1);
    EXPECT_EQ(module->LibShutdown(), 1);
    EXPECT_EQ(module->LibVersion(), static_cast<ULONG>(VERSION_3DSMAX));
    const MCHAR* description = module->LibDescription();
    ASSERT_NE(description, nullptr);
    EXPECT_STREQ(description, L"Tessane For 3dsMax");
}

TEST_F(Registration, OneDescriptorForIndexZeroOnly) {
    ClassDesc* first = module->LibClassDesc(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(module->LibClassDesc(0), first);
    for (int i : {1, -1, 2, 1000}) EXPECT_EQ(module->LibClassDesc(i), nullptr) << "index " << i;
    EXPECT_EQ(module->LibClassDesc(0), first);
}

TEST_F(Registration, DescriptorAnswers) {
    auto* cd = static_cast<ClassDesc2*>(module->LibClassDesc(0));
    ASSERT_NE(cd, nullptr);
    EXPECT_EQ(cd->IsPublic(), 1);
    EXPECT_EQ(cd->SuperClassID(), 0x10E0u);
    EXPECT_EQ(cd->ClassID(), Class_ID(0x27A67FF8, 0x7C225B77));
    EXPECT_STREQ(cd->InternalName(), L"VelmoraUtil");
    EXPECT_EQ(cd->HInstance(), module->Handle());
}

// Every lookup lands in the one shared buffer: a caller must use a text before the next lookup.
TEST_F(Registration, ClassNameAndCategoryShareOneBuffer) {
    ClassDesc* cd = module->LibClassDesc(0);
    ASSERT_NE(cd, nullptr);
    const MCHAR* name = cd->ClassName();
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, L"VelmoraUtil");
    const MCHAR* category = cd->Category();
    EXPECT_EQ(category, name);
    EXPECT_STREQ(name, L"Quorvel");
    EXPECT_EQ(module->LibDescription(), name);
    EXPECT_STREQ(name, L"Tessane For 3dsMax");
}

TEST_F(Registration, NonLocalizedClassName) {
    ClassDesc* cd = module->LibClassDesc(0);
    ASSERT_NE(cd, nullptr);
    const MCHAR* category = cd->Category();
    ASSERT_NE(category, nullptr);
    const MCHAR* name = cd->NonLocalizedClassName();
    EXPECT_STREQ(name, L"VelmoraUtil");
#if MAX_RELEASE >= 24000
    // A fixed text of its own: the shared buffer still holds the category.
    EXPECT_NE(name, category);
    EXPECT_STREQ(category, L"Quorvel");
#else
    // The host's default: the localised class name, through the shared buffer.
    EXPECT_EQ(name, category);
#endif
}

TEST_F(Registration, CreatesAGlobalUtilityObjectOnTheHostHeap) {
    ClassDesc* cd = module->LibClassDesc(0);
    ASSERT_NE(cd, nullptr);
    const std::int64_t blocks = HostHeapLiveBlocks();
    for (BOOL loading : {FALSE, TRUE}) {
        auto* gup = static_cast<GUP*>(cd->Create(loading));
        ASSERT_NE(gup, nullptr);
        EXPECT_EQ(HostHeapLiveBlocks(), blocks + 1);
        EXPECT_EQ(gup->Start(), GUPRESULT_KEEP);
        EXPECT_EQ(gup->Control(7), 0u);
        EXPECT_EQ(gup->Save(nullptr), IO_OK);
        EXPECT_EQ(gup->Load(nullptr), IO_OK);
        gup->Stop();
        gup->DeleteThis();
        EXPECT_EQ(HostHeapLiveBlocks(), blocks);
    }
    // The object does nothing of its own: no mode, no prompt, no callback.
    EXPECT_EQ(ip->GetCommandMode(), nullptr);
    EXPECT_TRUE(ip->Prompts().empty());
    EXPECT_FALSE(displayRegistered());
}

}  // namespace
}  // namespace plugintest

// The host's class as the module exports it: layout from the module's header, code from the module.
#include "plugin/VertexNormalsControl.h"

namespace plugintest {
namespace {

TEST_F(Registration, ExportsTheVertexNormalsControlConstructor) {
    void* dl = dlopen(kPluginPath.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(dl, nullptr);
    using Ctor = void (*)(void*);
    auto ctor = reinterpret_cast<Ctor>(dlsym(dl, "_ZN20VertexNormalsControlC1Ev"));
    ASSERT_NE(ctor, nullptr);
    alignas(VertexNormalsControl) unsigned char storage[sizeof(VertexNormalsControl)];
    std::memset(storage, 0xAB, sizeof storage);
    ctor(storage);
    auto* control = std::launder(reinterpret_cast<VertexNormalsControl*>(storage));
    EXPECT_TRUE(control->enabled);
    EXPECT_EQ(control->callbacks.Count(), 0);
    control->~VertexNormalsControl();
    dlclose(dl);
}

}  // namespace
}  // namespace plugintest
