// Replays every input the scripting fuzzers keep (their seed corpus and the inputs that once
// failed, in fuzz/corpus/) through the built plug-in's interface and through the script parser,
// so that what the fuzzers found stays fixed in every build, sanitizer builds included.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "cloth/ClothMouseProc.h"
#include "fuzz/DispatchInput.h"  // IWYU pragma: keep
#include <algorithm>
#include "host/ScriptParser.h"
#include "sdk/FunctionPublishing.h"
#include "sdk/Hold.h"
#include "sdk/Interface.h"
#include "sdk/ModuleLoader.h"
#include "sdk/Scene.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> corpus(const char* target) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(fs::path(VELMORA_RELIABILITY_CORPUS) / target)) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

bool finite(const Point3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

class DispatchReplay : public ::testing::Test {
protected:
    void SetUp() override {
        ip = GetCOREInterface();
        ip->Reset();
        theHold.ClearHistory();
        std::string error;
        module = LoadPluginModule(std::string(VELMORA_PLUGIN_DIR) + "/Velmora.gup", error);
        ASSERT_NE(module, nullptr) << error;
        velmora = GetCOREInterfaceByName(L"Velmora");
        ASSERT_NE(velmora, nullptr);
    }
    void TearDown() override {
        ip->Reset();  // leaves the mode and drops undo records before their code is unloaded
        theHold.ClearHistory();
        module.reset();
    }

    INode* freshPlane() {
        ip->Reset();
        theHold.ClearHistory();
        INode* plane = ip->CreateObjectNode(new PlaneObject(20.0f, 20.0f, 3), L"plane");
        ip->SelectNode(plane);
        ViewExp& v = ip->GetActiveViewExp();
        v.eye = Point3(0.0f, 0.0f, 50.0f);
        v.target = Point3(0.0f, 0.0f, 0.0f);
        v.up = Point3(0.0f, 1.0f, 0.0f);
        return plane;
    }

    // A short stroke in the mode `flags` selects, when the calls entered the brush mode. Skipped
    // when the calls stored an iteration count whose cost alone would stall the run: scripts may
    // store any count, and each drag event then runs that many solver iterations.
    ::testing::AssertionResult strokeStaysFinite(int flags) {
        CommandMode* mode = ip->GetCommandMode();
        if (mode == nullptr) return ::testing::AssertionSuccess();
        int points = 0;
        auto* proc = static_cast<ClothMouseProc*>(mode->MouseProc(&points));
        if (proc->settings.iterations > velmorafuzz::kMaxStrokeIterations) return ::testing::AssertionSuccess();
        HWND w = ip->ActiveViewportWindow();
        IPoint2 p{400, 300};
        proc->proc(w, MOUSE_POINT, 0, 0, p);
        for (int k = 0; k < 3; ++k) {
            p = IPoint2(p.x + 5, p.y - 3);
            proc->proc(w, MOUSE_MOVE, 0, flags, p);
        }
        proc->proc(w, MOUSE_POINT, 1, 0, p);
        for (const Point3& q : proc->mesh->verts) {
            if (!finite(q)) return ::testing::AssertionFailure() << "a position is not finite";
        }
        for (const float m : proc->mask) {
            if (!std::isfinite(m)) return ::testing::AssertionFailure() << "a mask value is not finite";
        }
        return ::testing::AssertionSuccess();
    }

    Interface* ip = nullptr;
    std::unique_ptr<LoadedModule> module;
    FPInterfaceDesc* velmora = nullptr;
};

TEST_F(DispatchReplay, EveryKeptInputCallsWithoutHarm) {
    const std::vector<fs::path> files = corpus("dispatch");
    ASSERT_FALSE(files.empty());
    for (const fs::path& f : files) {
        SCOPED_TRACE(f.filename().string());
        const std::vector<std::uint8_t> bytes = readBytes(f);
        INode* plane = freshPlane();
        velmorafuzz::ByteReader in(bytes.data(), bytes.size());
        // Only the host's range exception may leave a call; anything else fails the test here.
        EXPECT_NO_THROW(velmorafuzz::playDispatchCalls(in, *velmora, plane));
        EXPECT_TRUE(strokeStaysFinite(in.byte() & 7));
    }
}

// Settings a script can set to anything, then a stroke in every mode: the brush stays finite.
TEST_F(DispatchReplay, HostileSettingsThenEveryMode) {
    const float kValues[] = {0.0f, -1.0f, 1e30f, -1e30f, std::numeric_limits<float>::max(), 1e-30f,
                             std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
    const int kIterations[] = {0, -1, 1, 2, std::numeric_limits<int>::min()};
    for (const float v : kValues) {
        for (const int iterations : kIterations) {
            for (int flags = 0; flags < 8; ++flags) {
                SCOPED_TRACE(::testing::Message() << "value " << v << ", iterations " << iterations << ", flags " << flags);
                freshPlane();
                FPParams s;
                s.params.append(FPValue::Int(iterations));
                for (int k = 0; k < 4; ++k) s.params.append(FPValue::Float(v));
                FPParams s2;
                for (int k = 0; k < 10; ++k) {
                    const bool isBool = k < 3 || k == 5 || k == 9;
                    s2.params.append(isBool ? FPValue::Bool(1) : FPValue::Float(v));
                }
                FPValue result;
                ASSERT_EQ(velmora->Invoke(2, 0, result, &s), FPS_OK);
                ASSERT_EQ(velmora->Invoke(3, 0, result, &s2), FPS_OK);
                ASSERT_EQ(velmora->Invoke(1, 0, result, nullptr), FPS_OK);
                ASSERT_NE(ip->GetCommandMode(), nullptr);
                EXPECT_TRUE(strokeStaysFinite(flags));
            }
        }
    }
}

TEST(ScriptParserReplay, EveryKeptLineParsesWithinItsLimits) {
    using namespace velmora::host;
    const std::vector<fs::path> files = corpus("script");
    ASSERT_FALSE(files.empty());
    for (const fs::path& f : files) {
        SCOPED_TRACE(f.filename().string());
        const std::vector<std::uint8_t> bytes = readBytes(f);
        const std::string line(bytes.begin(), bytes.end());
        ParseResult r;
        ASSERT_NO_THROW(r = parseScriptLine(line));
        if (!r.ok) {
            EXPECT_FALSE(r.error.empty());
            continue;
        }
        for (const ScreenPoint& p : r.command.points) {
            EXPECT_LE(std::abs(p.x), kMaxPixelCoordinate);
            EXPECT_LE(std::abs(p.y), kMaxPixelCoordinate);
        }
    }
}

}  // namespace
}  // namespace reliability
