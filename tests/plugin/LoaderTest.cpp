// The module loader with the real plug-in and with small modules it must refuse: what a load
// constructs, what an unload destroys (at unload, in reverse order), string resources through the
// module handle, and every refusal leaving nothing loaded.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "PluginTestSupport.h"

namespace plugintest {
namespace {

using Events = std::vector<std::string>;

std::unique_ptr<LoadedModule> load(const std::string& path, std::string& error) {
    return LoadPluginModule(path, error);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ModuleLoader, LoadsThePluginWithItsStringsAndEntryPoint) {
    TakeModuleObjectEvents();
    std::string error;
    std::unique_ptr<LoadedModule> mod = load(kPluginPath, error);
    ASSERT_NE(mod, nullptr) << error;
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(mod->Path(), kPluginPath);
    ASSERT_NE(mod->Handle(), nullptr);
    EXPECT_TRUE(ThreadLibraryCallsDisabled(mod->Handle()));
    for (auto* fn : {reinterpret_cast<void*>(mod->LibDescription), reinterpret_cast<void*>(mod->LibNumberClasses),
                     reinterpret_cast<void*>(mod->LibClassDesc), reinterpret_cast<void*>(mod->LibVersion),
                     reinterpret_cast<void*>(mod->LibInitialize), reinterpret_cast<void*>(mod->LibShutdown)}) {
        EXPECT_NE(fn, nullptr);
    }

    struct Case { UINT id; const wchar_t* text; };
    const Case table[] = {{1, L"Tessane For 3dsMax"}, {2, L"Quorvel"}, {3, L"VelmoraUtil"},
                          {4, L"Parameters"}, {5, L"Spin"}, {0, L""}, {6, L""}};
    for (const Case& c : table) {
        MCHAR buf[256] = {L'x'};
        const int n = LoadStringW(mod->Handle(), c.id, buf, 256);
        EXPECT_EQ(n, static_cast<int>(std::wcslen(c.text))) << "id " << c.id;
        EXPECT_EQ(std::wstring(buf), c.text) << "id " << c.id;
    }
    // Truncated to the buffer, always terminated; no buffer or no module reads nothing.
    MCHAR small[4];
    EXPECT_EQ(LoadStringW(mod->Handle(), 1, small, 4), 3);
    EXPECT_EQ(std::wstring(small), L"Tes");
    EXPECT_EQ(LoadStringW(mod->Handle(), 1, nullptr, 4), 0);
    EXPECT_EQ(LoadStringW(mod->Handle(), 1, small, 0), 0);
    EXPECT_EQ(LoadStringW(nullptr, 1, small, 4), 0);
    EXPECT_EQ(small[0], 0);

    HINSTANCE handle = mod->Handle();
    mod.reset();
    // An unloaded module's strings and records are gone with it.
    MCHAR buf[16];
    EXPECT_EQ(LoadStringW(handle, 1, buf, 16), 0);
    EXPECT_FALSE(ThreadLibraryCallsDisabled(handle));
    EXPECT_FALSE(fileIsLoaded(kPluginPath));
}

TEST(ModuleLoader, VersionWordOfEveryHostRelease) {
    struct Release { int release; ULONG word; };
    const Release table[] = {{18000, 0x46502E00u}, {19000, 0x4A383000u}, {20000, 0x4E203200u},
                             {21000, 0x52083400u}, {22000, 0x55F03700u}, {24000, 0x5DC03C00u},
                             {25000, 0x61A83E00u}};
    bool found = false;
    for (const Release& r : table) {
        if (r.release != MAX_RELEASE) continue;
        found = true;
        EXPECT_EQ(HostVersionWord(), r.word);
        std::string error;
        std::unique_ptr<LoadedModule> mod = load(kPluginPath, error);
        ASSERT_NE(mod, nullptr) << error;
        EXPECT_EQ(mod->LibVersion(), r.word);
    }
    EXPECT_TRUE(found) << "no version word known for release " << MAX_RELEASE;
}

// The static objects: constructed at load (interface, then display), the descriptor and the
// command mode on first use, and all destroyed during the unload itself in reverse order.
TEST(ModuleLoader, StaticObjectsAreDestroyedAtUnloadInReverseOrder) {
    enum class Use { Nothing, Descriptor, DescriptorThenMode, ModeThenDescriptor };
    struct Case {
        const char* name;
        Use use;
        Events destroyed;
    };
    const Case table[] = {
        {"nothing used", Use::Nothing,
         {"destroy VisualBrushDrawingCallback", "destroy IVelmora"}},
        {"descriptor only", Use::Descriptor,
         {"destroy VelmoraClassDesc", "destroy VisualBrushDrawingCallback", "destroy IVelmora"}},
        {"descriptor, then mode", Use::DescriptorThenMode,
         {"destroy ClothCommandMode", "destroy VelmoraClassDesc", "destroy VisualBrushDrawingCallback",
          "destroy IVelmora"}},
        {"mode, then descriptor", Use::ModeThenDescriptor,
         {"destroy VelmoraClassDesc", "destroy ClothCommandMode", "destroy VisualBrushDrawingCallback",
          "destroy IVelmora"}},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        GetCOREInterface()->Reset();
        TakeModuleObjectEvents();
        const int cursors = LiveCursorCount();
        std::string error;
        std::unique_ptr<LoadedModule> mod = load(kPluginPath, error);
        ASSERT_NE(mod, nullptr) << error;
        EXPECT_EQ(TakeModuleObjectEvents(), (Events{"construct IVelmora", "construct VisualBrushDrawingCallback"}));
        FPInterfaceDesc* velmora = GetCOREInterfaceByName(L"Velmora");
        ASSERT_NE(velmora, nullptr);

        auto setSettings = [&] {
            FPParams p = makeParams({FPValue::Int(3), FPValue::Float(1.0f), FPValue::Float(0.9f),
                                     FPValue::Float(0.1f), FPValue::Float(0.1f)});
            FPValue result;
            EXPECT_EQ(velmora->Invoke(2, 0, result, &p), FPS_OK);
        };
        Events constructed;
        switch (c.use) {
            case Use::Nothing:
                break;
            case Use::Descriptor:
                mod->LibClassDesc(0);
                constructed = {"construct VelmoraClassDesc"};
                break;
            case Use::DescriptorThenMode:
                mod->LibClassDesc(0);
                setSettings();
                constructed = {"construct VelmoraClassDesc", "construct ClothCommandMode"};
                break;
            case Use::ModeThenDescriptor:
                setSettings();
                mod->LibClassDesc(0);
                constructed = {"construct ClothCommandMode", "construct VelmoraClassDesc"};
                break;
        }
        EXPECT_EQ(TakeModuleObjectEvents(), constructed);

        mod.reset();
        // Destroyed by the unload itself, not left for process exit.
        EXPECT_EQ(TakeModuleObjectEvents(), c.destroyed);
        EXPECT_EQ(GetCOREInterfaceByName(L"Velmora"), nullptr);
        EXPECT_EQ(GetCOREInterface(kInterfaceId), nullptr);
        EXPECT_FALSE(fileIsLoaded(kPluginPath));
        // The mouse procedure's cursors went with the command mode.
        EXPECT_EQ(LiveCursorCount(), cursors);
    }
}

TEST(ModuleLoader, ReloadStartsAfresh) {
    for (int round = 0; round < 2; ++round) {
        std::string error;
        std::unique_ptr<LoadedModule> mod = load(kPluginPath, error);
        ASSERT_NE(mod, nullptr) << "round " << round << ": " << error;
        EXPECT_NE(GetCOREInterfaceByName(L"Velmora"), nullptr);
        mod.reset();
        EXPECT_EQ(GetCOREInterfaceByName(L"Velmora"), nullptr);
    }
}

TEST(ModuleLoader, RefusesTheSameFileTwice) {
    std::string error;
    std::unique_ptr<LoadedModule> first = load(kPluginPath, error);
    ASSERT_NE(first, nullptr) << error;
    FPInterfaceDesc* published = GetCOREInterfaceByName(L"Velmora");
    TakeModuleObjectEvents();

    std::unique_ptr<LoadedModule> second = load(kPluginPath, error);
    EXPECT_EQ(second, nullptr);
    EXPECT_TRUE(contains(error, kPluginPath)) << error;
    EXPECT_TRUE(contains(error, "already loaded")) << error;
    // The first one is untouched: not detached, not closed, its interface still published.
    EXPECT_TRUE(TakeModuleObjectEvents().empty());
    EXPECT_EQ(GetCOREInterfaceByName(L"Velmora"), published);
    EXPECT_TRUE(fileIsLoaded(kPluginPath));
    MCHAR buf[32];
    EXPECT_GT(LoadStringW(first->Handle(), 2, buf, 32), 0);
}

// A second copy of the plug-in publishes "Velmora" again: it is refused and fully unloaded, and
// the first copy's interface stays the published one.
TEST(ModuleLoader, RefusesAModuleWhoseInterfaceNameIsTaken) {
    const std::filesystem::path copy =
        std::filesystem::temp_directory_path() / ("VelmoraCopy-" + std::to_string(::getpid()) + ".gup");
    std::filesystem::copy_file(kPluginPath, copy, std::filesystem::copy_options::overwrite_existing);

    std::string error;
    std::unique_ptr<LoadedModule> first = load(kPluginPath, error);
    ASSERT_NE(first, nullptr) << error;
    FPInterfaceDesc* published = GetCOREInterfaceByName(L"Velmora");
    TakeModuleObjectEvents();

    std::unique_ptr<LoadedModule> second = load(copy.string(), error);
    EXPECT_EQ(second, nullptr);
    EXPECT_TRUE(contains(error, copy.string())) << error;
    EXPECT_TRUE(contains(error, "\"Velmora\"")) << error;
    // The copy was constructed, refused, and destroyed again in reverse order.
    EXPECT_EQ(TakeModuleObjectEvents(),
              (Events{"construct IVelmora", "construct VisualBrushDrawingCallback",
                      "destroy VisualBrushDrawingCallback", "destroy IVelmora"}));
    EXPECT_FALSE(fileIsLoaded(copy.string()));
    EXPECT_EQ(GetCOREInterfaceByName(L"Velmora"), published);
    EXPECT_TRUE(TakeRefusedInterfaceNames().empty());

    // The first copy still works.
    FPParams none;
    FPValue result;
    EXPECT_EQ(published->Invoke(1, 0, result, &none), FPS_OK);

    first.reset();
    std::filesystem::remove(copy);
}

TEST(ModuleLoader, RefusalsNameTheFileAndTheReason) {
    struct Case {
        const char* file;
        Events events;                 // noted by the module during the attempt
        std::vector<std::string> parts;  // in the message
    };
    const std::string ours = std::to_string(MAX_RELEASE);
    const std::string theirs = MAX_RELEASE == 19000 ? "22000" : "19000";
    const Case table[] = {
        {"fake_other_release.gup",
         {"construct FakeModule", "attach, strings readable", "detach", "destroy FakeModule"},
         {"release " + theirs, "release " + ours}},
        {"fake_no_libversion.gup",
         {"construct FakeModule", "attach, strings readable", "detach", "destroy FakeModule"},
         {"does not export LibVersion"}},
        {"fake_dllmain_fails.gup",
         {"construct FakeModule", "attach, strings readable", "detach", "destroy FakeModule"},
         {"DllMain"}},
        {"no_such_module.gup", {}, {"cannot be loaded"}},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.file);
        const std::string path = kFakeModuleDir + "/" + c.file;
        TakeModuleObjectEvents();
        std::string error;
        std::unique_ptr<LoadedModule> mod = load(path, error);
        EXPECT_EQ(mod, nullptr);
        EXPECT_TRUE(contains(error, path)) << error;
        for (const std::string& part : c.parts) EXPECT_TRUE(contains(error, part)) << error;
        EXPECT_EQ(TakeModuleObjectEvents(), c.events);
        EXPECT_FALSE(fileIsLoaded(path));
    }
}

TEST(ModuleLoader, AcceptedModuleIsDetachedAndClosedAtUnload) {
    const std::string path = kFakeModuleDir + "/fake_good.gup";
    TakeModuleObjectEvents();
    std::string error;
    std::unique_ptr<LoadedModule> mod = load(path, error);
    ASSERT_NE(mod, nullptr) << error;
    EXPECT_EQ(mod->LibInitialize, nullptr);  // optional exports may be absent
    EXPECT_EQ(TakeModuleObjectEvents(), (Events{"construct FakeModule", "attach, strings readable"}));
    mod.reset();
    EXPECT_EQ(TakeModuleObjectEvents(), (Events{"detach", "destroy FakeModule"}));
    EXPECT_FALSE(fileIsLoaded(path));
}

}  // namespace
}  // namespace plugintest
