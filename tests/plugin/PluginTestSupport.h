#pragma once
// Loads the built Velmora.gup through the module loader, as the host does, and reaches the plug-in
// only through its exports, the interface registry and the host objects it hands out.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "cloth/ClothMouseProc.h"
#include "sdk/Cursors.h"
#include "sdk/FunctionPublishing.h"
#include "sdk/Hold.h"
#include "sdk/HostRelease.h"
#include "sdk/Interface.h"
#include "sdk/ModuleLoader.h"
#include "sdk/Scene.h"

namespace plugintest {

inline const std::string kPluginPath = std::string(VELMORA_PLUGIN_DIR) + "/Velmora.gup";
inline const std::string kFakeModuleDir = VELMORA_FAKE_MODULE_DIR;

inline constexpr Interface_ID kInterfaceId(0x4C0D426F, 0x4DF62190);
inline constexpr ParamType2 kResultType = MAX_RELEASE < 20000 ? TYPE_VOID : TYPE_bool;
inline constexpr const wchar_t* kPrompt = L"[Quorvel] Tessane Mode Activated.";

// True while the file is mapped in this process.
inline bool fileIsLoaded(const std::string& path) {
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h == nullptr) return false;
    dlclose(h);
    return true;
}

inline FPParams makeParams(std::initializer_list<FPValue> values) {
    FPParams p;
    for (const FPValue& v : values) p.params.append(v);
    return p;
}

// `count` arguments of the type each position expects (only their number matters).
inline FPParams paramsOfCount(int count) {
    FPParams p;
    for (int i = 0; i < count; ++i) p.params.append(FPValue::Int(1));
    return p;
}

// A fresh scene and a freshly loaded module for every test: the module's settings and command
// mode live as long as it is loaded, so no test sees another's.
class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        ip = GetCOREInterface();
        ip->Reset();
        TakeModuleObjectEvents();
        cursorsBefore = LiveCursorCount();
        std::string error;
        module = LoadPluginModule(kPluginPath, error);
        ASSERT_NE(module, nullptr) << error;
        velmora = GetCOREInterfaceByName(L"Velmora");
        ASSERT_NE(velmora, nullptr);
    }

    void TearDown() override {
        // The host leaves the mode and drops the undo records (their code lives in the module)
        // before it unloads the module.
        ip->Reset();
        module.reset();
        EXPECT_FALSE(fileIsLoaded(kPluginPath));
        EXPECT_EQ(LiveCursorCount(), cursorsBefore);
    }

    FPStatus call(FunctionID fid, FPParams params, FPValue* resultOut = nullptr) {
        FPValue result;
        const FPStatus status = velmora->Invoke(fid, 0, result, &params);
        if (resultOut != nullptr) *resultOut = result;
        return status;
    }
    FPStatus doOperation() { return call(1, FPParams{}); }

    INode* addNode(Object* obj, const wchar_t* name) { return ip->CreateObjectNode(obj, name); }
    INode* addPlane(const wchar_t* name = L"plane", int segments = 4) {
        return addNode(new PlaneObject(20.0f, 20.0f, segments), name);
    }

    // The brush command mode and its mouse procedure as the host sees them while it is active.
    CommandMode* activeMode() const { return ip->GetCommandMode(); }
    ClothMouseProc* activeMouseProc() const {
        CommandMode* mode = ip->GetCommandMode();
        if (mode == nullptr) return nullptr;
        int points = 0;
        return static_cast<ClothMouseProc*>(mode->MouseProc(&points));
    }
    // Enters the mode on `node` (selected alone) and returns its mouse procedure.
    ClothMouseProc* enterOn(INode* node) {
        ip->SelectNode(node);
        EXPECT_EQ(doOperation(), FPS_OK);
        return activeMouseProc();
    }

    // Looks straight down -z onto the XY plane, so that screen points map to plane points.
    void lookDown() {
        ViewExp& v = ip->GetActiveViewExp();
        v.eye = Point3(0.0f, 0.0f, 50.0f);
        v.target = Point3(0.0f, 0.0f, 0.0f);
        v.up = Point3(0.0f, 1.0f, 0.0f);
    }
    IPoint2 screenOf(const Point3& p) {
        float sx = 0.0f, sy = 0.0f;
        EXPECT_TRUE(ip->GetActiveViewExp().MapWorldToScreen(p, sx, sy));
        return IPoint2(static_cast<int>(sx + 0.5f), static_cast<int>(sy + 0.5f));
    }

    // Nothing but the brush display registers redraw callbacks in these tests.
    bool displayRegistered() const { return !ip->RedrawViewsCallbacks().empty(); }

    Interface* ip = nullptr;
    std::unique_ptr<LoadedModule> module;
    FPInterfaceDesc* velmora = nullptr;
    int cursorsBefore = 0;
};

}  // namespace plugintest
