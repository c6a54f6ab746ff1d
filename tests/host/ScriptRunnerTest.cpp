// The script runner in process, without plug-ins: a failing line leaves the host as it was, and a
// published function's exception or bad status becomes the line's error.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/ScriptParser.h"
#include "host/ScriptRunner.h"
#include "sdk/FunctionPublishing.h"
#include "sdk/Interface.h"

namespace velmora::host {
namespace {

namespace fs = std::filesystem;

// A core interface whose functions fail in the two ways a published function can.
class FailingInterface : public FPInterfaceDesc {
public:
    FailingInterface() : FPInterfaceDesc(Interface_ID(0x1234, 0x5678), L"Failing", 0, nullptr, FP_CORE) {
        AppendFunction(0, L"Throws", 0, TYPE_bool, 0, {});
        AppendFunction(1, L"BadStatus", 0, TYPE_bool, 0, {});
        AppendFunction(2, L"Takes", 0, TYPE_bool, 0, {{L"count", 0, TYPE_INT}, {L"on", 0, TYPE_BOOL}});
    }
    int calls = 0;
    int lastCount = 0, lastOn = 0;

protected:
    FPStatus _dispatch_fn(FunctionID fid, TimeValue, FPValue&, FPParams* p) override {
        ++calls;
        if (fid == 0) throw MaxSDK::Util::OutOfRangeException(MaxSDK::kArrayOutOfBoundsMessage);
        if (fid == 1) return FPS_NO_SUCH_FUNCTION;
        lastCount = p->params[0].i;
        lastOn = p->params[1].i;
        return FPS_OK;
    }
};

class Runner : public ::testing::Test {
protected:
    void SetUp() override {
        ip.Reset();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        ip.Reset();
        fs::remove_all(dir);
    }
    bool run(const std::string& line, std::string& error) {
        const ParseResult r = parseScriptLine(line);
        if (!r.ok) {
            error = r.error;
            return false;
        }
        return runner.execute(r.command, error);
    }
    void ok(const std::string& line) {
        std::string error;
        ASSERT_TRUE(run(line, error)) << line << ": " << error;
    }

    Interface& ip = *GetCOREInterface();
    fs::path dir = fs::temp_directory_path() / ("velmora_runner_test_" + std::to_string(getpid()));
    std::ostringstream out;
    ScriptRunner runner{ip, dir, out};
};

TEST_F(Runner, PublishedFunctionFailuresAreErrorsOfTheLine) {
    FailingInterface iface;
    std::string error;
    EXPECT_FALSE(run("Failing.Throws()", error));
    EXPECT_EQ(error, std::string("Failing.Throws failed: ") + MaxSDK::kArrayOutOfBoundsMessage);
    EXPECT_FALSE(run("Failing.BadStatus()", error));
    EXPECT_EQ(error, "Failing.BadStatus failed with status -1");
    ok("Failing.Takes -7 2");
    EXPECT_EQ(iface.lastCount, -7);
    EXPECT_EQ(iface.lastOn, 2);
    ok("Failing.Takes 3 true");
    EXPECT_EQ(iface.lastOn, 1);
    const int before = iface.calls;
    EXPECT_FALSE(run("Failing.Takes 3 2.5", error));
    EXPECT_FALSE(run("Failing.Takes 3", error));
    EXPECT_EQ(iface.calls, before) << "a line refused for its arguments calls nothing";
}

TEST_F(Runner, FailedLoadLeavesTheSceneAsItWas) {
    ok("create plane name:\"grid\" segments:2");
    ok("create sphere name:\"ball\" segments:8");
    std::ofstream(dir / "short.ply") << "ply\nformat ascii 1.0\nelement vertex 2000000000\nproperty float x\n"
                                        "property float y\nproperty float z\nend_header\n0 0 0\n";
    std::string error;
    EXPECT_FALSE(run("load \"short.ply\"", error));
    EXPECT_NE(error.find("short.ply"), std::string::npos) << error;
    EXPECT_EQ(ip.GetNodes().size(), 2u);
    ASSERT_EQ(ip.GetSelNodeCount(), 1);
    EXPECT_EQ(std::wstring(ip.GetSelNode(0)->GetName()), L"ball");
}

TEST_F(Runner, FailedSelectAndDeleteChangeNothing) {
    ok("create plane name:\"a\" segments:2");
    ok("create plane name:\"b\" segments:2");
    std::string error;
    EXPECT_FALSE(run("select \"a\" \"zzz\"", error));
    ASSERT_EQ(ip.GetSelNodeCount(), 1);
    EXPECT_EQ(std::wstring(ip.GetSelNode(0)->GetName()), L"b");
    EXPECT_FALSE(run("delete \"a\" \"zzz\"", error));
    EXPECT_EQ(ip.GetNodes().size(), 2u);
    ok("select \"b\" \"a\"");
    ASSERT_EQ(ip.GetSelNodeCount(), 2);
    EXPECT_EQ(std::wstring(ip.GetSelNode(0)->GetName()), L"b");
    ok("delete \"a\"");
    EXPECT_EQ(ip.GetNodes().size(), 1u);
}

TEST_F(Runner, ViewportOptionsSetOnlyThemselves) {
    ViewExp& vp = ip.GetActiveViewExp();
    EXPECT_EQ(vp.width, 800);
    EXPECT_EQ(vp.height, 600);
    EXPECT_EQ(vp.eye, Point3(0.0f, -10.0f, 0.0f));
    EXPECT_EQ(vp.fovDegrees, 45.0f);
    ok("viewport width:320");
    EXPECT_EQ(vp.width, 320);
    EXPECT_EQ(vp.height, 600);
    EXPECT_EQ(vp.eye, Point3(0.0f, -10.0f, 0.0f));
    ok("viewport ortho:7");
    EXPECT_FALSE(vp.perspective);
    EXPECT_EQ(vp.orthoHeight, 7.0f);
    EXPECT_EQ(vp.fovDegrees, 45.0f);
    ok("viewport eye:[1,2,3]");
    EXPECT_FALSE(vp.perspective);
    ok("viewport fov:30");
    EXPECT_TRUE(vp.perspective);
    EXPECT_EQ(vp.fovDegrees, 30.0f);
    EXPECT_EQ(vp.eye, Point3(1.0f, 2.0f, 3.0f));
    std::string error;
    EXPECT_FALSE(run("viewport width:100 target:[1,2,3]", error));
    EXPECT_EQ(vp.width, 320) << "a refused viewport line sets nothing";
}

TEST_F(Runner, FrameFitsTheSelectionsBoundingSphere) {
    ok("create box name:\"b\" width:2 length:2 height:2 segments:1");  // box from (-1,-1,0) to (1,1,2)
    ok("viewport eye:[0,-10,5] target:[0,0,5] up:[0,0,1] fov:60 width:600 height:600");
    ok("frame");
    ViewExp& vp = ip.GetActiveViewExp();
    EXPECT_EQ(vp.target, Point3(0.0f, 0.0f, 1.0f));
    const float r = std::sqrt(3.0f);
    // View direction kept; the sphere of radius sqrt(3) fills the 60 degree view: distance r / sin(30).
    EXPECT_NEAR(vp.eye.x, 0.0f, 1e-5f);
    EXPECT_NEAR(vp.eye.y, -2.0f * r, 1e-4f);
    EXPECT_NEAR(vp.eye.z, 1.0f, 1e-5f);
    // A wide window: the vertical field is the tighter one; a tall window: the horizontal one.
    ok("viewport width:300");
    ok("frame");
    const float halfH = std::atan(0.5f * std::tan(0.5236f));
    EXPECT_NEAR((vp.eye - vp.target).Length(), r / std::sin(halfH), 1e-3f);
    ok("viewport ortho:1 width:600");
    ok("frame");
    EXPECT_NEAR(vp.orthoHeight, 2.0f * r, 1e-5f);
}

TEST_F(Runner, PrimitiveStaysAPrimitiveThroughSavePrintAndRender) {
    ok("create sphere name:\"s\" radius:2 segments:12");
    ok("print");
    ok("save \"s.ply\"");
    ok("render \"s.png\"");
    EXPECT_EQ(ip.GetINodeByName(L"s")->GetObjectRef()->ClassID(), sphereObjectClassID);
    EXPECT_TRUE(fs::exists(dir / "s.ply"));
    EXPECT_TRUE(fs::exists(dir / "s.png"));
    EXPECT_EQ(out.str().rfind("s: ", 0), 0u) << out.str();
}

TEST_F(Runner, FailedRenderLeavesNoFile) {
    std::ofstream(dir / "blocker") << "a file where a folder would go";
    std::string error;
    EXPECT_FALSE(run("render \"blocker/pic.png\"", error));
    EXPECT_NE(error.find("blocker"), std::string::npos) << error;
    EXPECT_EQ(fs::file_size(dir / "blocker"), 30u);
}

}  // namespace
}  // namespace velmora::host
