// The built velmora-host run on scripts: the brush modes through the Velmora plug-in, undo and
// redo, saving and loading, rendering, and the error report of every kind of bad line.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "HostRun.h"
#include "fixtures/MeshBuilders.h"
#include "host/io/MeshIO.h"

namespace velmora::host::testing {
namespace {

namespace fs = std::filesystem;

// A 10 x 10 plane of 20 x 20 quads at the origin, seen from above: window pixel (400, 300) is the
// origin, +x to the right, +y up, about 36 pixels a unit.
constexpr const char* kPlaneScene =
    "create plane name:\"grid\" width:10 length:10 segments:20\n"
    "viewport width:800 height:600 eye:[0,0,20] target:[0,0,0] up:[0,1,0] fov:45\n";

// The same view over a wavy grid loaded from wavy.obj (written by the test).
constexpr const char* kWavyScene =
    "load \"wavy.obj\"\n"
    "viewport width:800 height:600 eye:[0,0,20] target:[0,0,0] up:[0,1,0] fov:45\n";

void writeWavyGrid(const fs::path& dir) {
    Mesh m = fixtures::makeGrid(20, 20, 0.5f);
    for (Point3& p : m.verts) {
        p.x -= 5.0f;
        p.y -= 5.0f;
        p.z = 0.4f * std::sin(1.7f * p.x) * std::cos(1.3f * p.y);
    }
    std::string error;
    ASSERT_TRUE(io::writeMesh((dir / "wavy.obj").string(), m, error)) << error;
}

std::vector<int> verticesNear(const Mesh& m, const Point3& c, float r) {
    std::vector<int> out;
    for (int i = 0; i < m.getNumVerts(); ++i) {
        if ((m.verts[static_cast<size_t>(i)] - c).Length() <= r) out.push_back(i);
    }
    return out;
}

int nearestVertex(const Mesh& m, const Point3& c) {
    int best = 0;
    for (int i = 1; i < m.getNumVerts(); ++i) {
        if ((m.verts[static_cast<size_t>(i)] - c).Length() < (m.verts[static_cast<size_t>(best)] - c).Length()) best = i;
    }
    return best;
}

// Faces whose three corners are all in `set`.
std::vector<int> facesWithin(const Mesh& m, const std::vector<int>& set) {
    const std::set<int> s(set.begin(), set.end());
    std::vector<int> out;
    for (int f = 0; f < m.getNumFaces(); ++f) {
        const Face& face = m.faces[static_cast<size_t>(f)];
        if (s.count(static_cast<int>(face.v[0])) && s.count(static_cast<int>(face.v[1])) && s.count(static_cast<int>(face.v[2])))
            out.push_back(f);
    }
    return out;
}

double edgeLength(const Mesh& m, const std::vector<int>& faces) {
    double sum = 0.0;
    for (int f : faces) {
        const Face& face = m.faces[static_cast<size_t>(f)];
        for (int k = 0; k < 3; ++k) sum += (m.verts[face.v[k]] - m.verts[face.v[(k + 1) % 3]]).Length();
    }
    return sum;
}

// Sum of the angles between the normals of neighbouring faces among `faces`.
double bending(const Mesh& m, const std::vector<int>& faces) {
    std::map<std::pair<DWORD, DWORD>, std::vector<int>> byEdge;
    for (int f : faces) {
        const Face& face = m.faces[static_cast<size_t>(f)];
        for (int k = 0; k < 3; ++k) {
            DWORD a = face.v[k], b = face.v[(k + 1) % 3];
            byEdge[{std::min(a, b), std::max(a, b)}].push_back(f);
        }
    }
    double sum = 0.0;
    for (const auto& [edge, fs] : byEdge) {
        if (fs.size() != 2) continue;
        const float d = m.FaceNormal(fs[0], true) % m.FaceNormal(fs[1], true);
        sum += std::acos(std::clamp(static_cast<double>(d), -1.0, 1.0));
    }
    return sum;
}

bool samePositions(const Mesh& a, const Mesh& b) {
    if (a.getNumVerts() != b.getNumVerts()) return false;
    for (size_t i = 0; i < a.verts.size(); ++i) {
        if (std::memcmp(&a.verts[i], &b.verts[i], sizeof(Point3)) != 0) return false;
    }
    return true;
}

float maskOf(const Mesh& m, int v) {
    return m.vertCol.empty() ? 1.0f : m.vertCol[static_cast<size_t>(v)].x;
}

struct ModeCase {
    const char* name;
    bool wavy;
    const char* setup;   // after the scene and DoOperation, before "save before.ply"
    const char* stroke;
    std::function<void(const Mesh& before, const Mesh& after)> check;
};

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class BrushModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(BrushModes, StrokeMakesTheExpectedChange) {
    const ModeCase& c = GetParam();
    const fs::path dir = freshFolder(std::string("mode_") + c.name);
    if (c.wavy) writeWavyGrid(dir);
    const std::string script = std::string(c.wavy ? kWavyScene : kPlaneScene) + "Velmora.DoOperation()\n" + c.setup +
                               "save \"before.ply\"\n" + c.stroke + "\nsave \"after.ply\"\n";
    const HostRun r = runScript(dir, script);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Mesh before = readMeshOrFail(dir / "before.ply");
    const Mesh after = readMeshOrFail(dir / "after.ply");
    ASSERT_EQ(before.getNumVerts(), after.getNumVerts());
    for (const Point3& p : after.verts) ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    c.check(before, after);
}

const Point3 kOrigin(0.0f, 0.0f, 0.0f);

void expectMovedRight(const Mesh& before, const Mesh& after) {
    const int v = nearestVertex(before, kOrigin);
    const Point3 d = after.verts[static_cast<size_t>(v)] - before.verts[static_cast<size_t>(v)];
    EXPECT_GT(d.x, 1e-3f) << "the vertex under the brush follows the mouse to the right";
    EXPECT_LT(std::fabs(d.y), 0.5f * d.x);
    const int far = nearestVertex(before, Point3(5.0f, 5.0f, 0.0f));
    const Point3 dFar = after.verts[static_cast<size_t>(far)] - before.verts[static_cast<size_t>(far)];
    EXPECT_LT(dFar.Length(), d.Length()) << "a far corner moves less than the vertex under the brush";
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrushModes,
    ::testing::Values(
        ModeCase{"Move", false, "", "stroke from:[400,300] to:[460,300] steps:12", expectMovedRight},
        ModeCase{"Drag", false, "", "stroke ctrl from:[400,300] to:[460,300] steps:12", expectMovedRight},
        ModeCase{"Expand", false, "", "stroke shift ctrl from:[400,300] to:[410,300] steps:10",
                 [](const Mesh& b, const Mesh& a) {
                     const std::vector<int> f = facesWithin(b, verticesNear(b, kOrigin, 1.0f));
                     ASSERT_FALSE(f.empty());
                     EXPECT_GT(edgeLength(a, f), 1.02 * edgeLength(b, f)) << "edges under the brush grow";
                 }},
        ModeCase{"Shrink", false, "", "stroke ctrl alt from:[400,300] to:[410,300] steps:10",
                 [](const Mesh& b, const Mesh& a) {
                     const std::vector<int> f = facesWithin(b, verticesNear(b, kOrigin, 1.0f));
                     ASSERT_FALSE(f.empty());
                     EXPECT_LT(edgeLength(a, f), 0.98 * edgeLength(b, f)) << "edges under the brush shrink";
                 }},
        ModeCase{"Flatten", true, "", "stroke shift from:[400,300] to:[410,300] steps:10",
                 [](const Mesh& b, const Mesh& a) {
                     const std::vector<int> f = facesWithin(b, verticesNear(b, kOrigin, 1.5f));
                     ASSERT_FALSE(f.empty());
                     EXPECT_LT(bending(a, f), 0.95 * bending(b, f)) << "the surface under the brush gets flatter";
                 }},
        ModeCase{"MaskPaint", false, "Velmora.SetSettingsV2 true false false 1.0 1.0 false 0.0 1.0 1.0 false\n",
                 "stroke alt from:[400,300] to:[401,300] steps:4",
                 [](const Mesh& b, const Mesh& a) {
                     EXPECT_TRUE(samePositions(b, a)) << "painting the mask moves nothing";
                     EXPECT_LT(maskOf(a, nearestVertex(b, kOrigin)), 0.5f);
                     EXPECT_EQ(maskOf(a, nearestVertex(b, Point3(5.0f, 5.0f, 0.0f))), 1.0f);
                     EXPECT_EQ(maskOf(b, nearestVertex(b, kOrigin)), 1.0f);
                 }},
        ModeCase{"MaskBlur", false,
                 "Velmora.SetSettingsV2 true false false 1.0 1.0 false 0.0 1.0 1.0 false\n"
                 "stroke alt from:[400,300] to:[401,300] steps:4\n",
                 "stroke shift alt from:[400,300] to:[401,300] steps:4",
                 [](const Mesh& b, const Mesh& a) {
                     EXPECT_TRUE(samePositions(b, a)) << "blurring the mask moves nothing";
                     // Blurring evens out neighbouring mask values.
                     double tvBefore = 0.0, tvAfter = 0.0;
                     for (const Face& f : b.faces) {
                         for (int k = 0; k < 3; ++k) {
                             const int u = static_cast<int>(f.v[k]), w = static_cast<int>(f.v[(k + 1) % 3]);
                             tvBefore += std::fabs(maskOf(b, u) - maskOf(b, w));
                             tvAfter += std::fabs(maskOf(a, u) - maskOf(a, w));
                         }
                     }
                     EXPECT_GT(tvBefore, 0.0);
                     EXPECT_LT(tvAfter, tvBefore);
                     for (int v = 0; v < a.getNumVerts(); ++v) {
                         EXPECT_GE(maskOf(a, v), 0.0f);
                         EXPECT_LE(maskOf(a, v), 1.0f);
                     }
                 }},
        ModeCase{"Resize", false, "", "stroke shift ctrl alt from:[400,300] to:[400,340] steps:5",
                 [](const Mesh& b, const Mesh& a) {
                     EXPECT_TRUE(samePositions(b, a)) << "resizing the brush moves nothing";
                 }}),
    [](const ::testing::TestParamInfo<ModeCase>& p) { return std::string(p.param.name); });

// The mask after a MaskPaint and a MaskBlur drag at the middle of the plane, worked out here from
// the brush's formulas: radius = mean bounding-box extent x 0.2, weight = 1 - distance / radius,
// paint m := w^2 maskVal + (1 - w^2) m, blur face by face toward the face's mean by k.
TEST(HostScript, MaskModesMatchAnIndependentCalculation) {
    const fs::path dir = freshFolder("mask_oracle");
    const std::string script = std::string(kPlaneScene) +
                               "Velmora.SetSettingsV2 true false false 1.0 1.0 false 0.25 0.6 1.0 false\n"
                               "Velmora.DoOperation()\n"
                               "save \"before.ply\"\n"
                               "stroke alt [400,300] [400,300]\n"
                               "save \"painted.ply\"\n"
                               "stroke shift alt [400,300] [400,300]\n"
                               "save \"blurred.ply\"\n";
    const HostRun r = runScript(dir, script);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Mesh before = readMeshOrFail(dir / "before.ply");
    const Mesh painted = readMeshOrFail(dir / "painted.ply");
    const Mesh blurred = readMeshOrFail(dir / "blurred.ply");
    const int n = before.getNumVerts();
    ASSERT_EQ(painted.getNumVerts(), n);
    ASSERT_EQ(blurred.getNumVerts(), n);

    // The window's middle looks straight down at the origin of the 10 x 10 plane.
    const float radius = ((10.0f + 10.0f) + 0.0f) * 0.33333334f * 0.2f;
    std::vector<float> w(static_cast<size_t>(n)), m(static_cast<size_t>(n), 1.0f);
    for (int v = 0; v < n; ++v) {
        const Point3& p = before.verts[static_cast<size_t>(v)];
        const float d2 = p.x * p.x + p.y * p.y + p.z * p.z;
        w[static_cast<size_t>(v)] = d2 > radius * radius ? 0.0f : 1.0f - std::sqrt(d2) * (1.0f / radius);
    }
    for (int v = 0; v < n; ++v) {
        const size_t i = static_cast<size_t>(v);
        const float s = w[i] * w[i];
        m[i] = s * 0.25f + (1.0f - s) * m[i];
        EXPECT_NEAR(maskOf(painted, v), m[i], 1e-6f) << "painted vertex " << v;
    }
    for (const Face& f : before.faces) {
        const size_t a = f.v[0], b = f.v[1], c = f.v[2];
        const float k = (w[a] + w[b] + w[c]) * 0.33333334f * 0.6f;
        const float avg = (m[a] + m[b] + m[c]) * 0.33333334f * k;
        m[a] = (1.0f - k) * m[a] + avg;
        m[b] = (1.0f - k) * m[b] + avg;
        m[c] = (1.0f - k) * m[c] + avg;
    }
    int inside = 0;
    for (int v = 0; v < n; ++v) {
        EXPECT_NEAR(maskOf(blurred, v), m[static_cast<size_t>(v)], 1e-5f) << "blurred vertex " << v;
        inside += m[static_cast<size_t>(v)] < 1.0f;
    }
    EXPECT_GT(inside, 4);
}

TEST(HostScript, MaskedRegionStaysStillUnderAMove) {
    const fs::path dir = freshFolder("masked_move");
    const std::string script = std::string(kPlaneScene) +
                               "Velmora.SetSettingsV2 true false false 1.0 1.0 false 0.0 1.0 1.0 false\n"
                               "Velmora.DoOperation()\n"
                               "stroke alt from:[400,300] to:[401,300] steps:6\n"
                               "save \"masked.ply\"\n"
                               "stroke from:[400,300] to:[470,300] steps:12\n"
                               "save \"moved.ply\"\n";
    const HostRun r = runScript(dir, script);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Mesh masked = readMeshOrFail(dir / "masked.ply");
    const Mesh moved = readMeshOrFail(dir / "moved.ply");
    int held = 0, free = 0;
    for (int v = 0; v < masked.getNumVerts(); ++v) {
        const float d = (moved.verts[static_cast<size_t>(v)] - masked.verts[static_cast<size_t>(v)]).Length();
        if (maskOf(masked, v) == 0.0f) {
            ++held;
            EXPECT_EQ(d, 0.0f) << "fully masked vertex " << v << " moved";
        } else if (d > 0.0f) {
            ++free;
        }
    }
    EXPECT_GT(held, 0);
    EXPECT_GT(free, 0);
}

TEST(HostScript, UndoAndRedoRestoreEveryBit) {
    const fs::path dir = freshFolder("undo_redo");
    const std::string script = std::string(kPlaneScene) +
                               "undo -- nothing to undo yet: no effect\n"
                               "redo\n"
                               "Velmora.DoOperation()\n"
                               "save \"s0.ply\"\n"
                               "stroke from:[400,300] to:[440,280] steps:8\n"
                               "save \"s1.ply\"\n"
                               "Velmora.SetSettingsV2 true false false 1.0 1.0 false 0.0 1.0 1.0 false\n"
                               "stroke alt from:[380,300] to:[390,300] steps:3\n"
                               "save \"s2.ply\"\n"
                               "undo\nsave \"u1.ply\"\n"
                               "undo\nsave \"u0.ply\"\n"
                               "undo -- nothing left\n"
                               "redo\nsave \"r1.ply\"\n"
                               "redo\nsave \"r2.ply\"\n"
                               "redo -- nothing left\n"
                               "save \"r2again.ply\"\n";
    const HostRun r = runScript(dir, script);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fileBytes(dir / "u0.ply") == fileBytes(dir / "s0.ply"));
    EXPECT_TRUE(fileBytes(dir / "u1.ply") == fileBytes(dir / "s1.ply"));
    EXPECT_TRUE(fileBytes(dir / "r1.ply") == fileBytes(dir / "s1.ply"));
    EXPECT_TRUE(fileBytes(dir / "r2.ply") == fileBytes(dir / "s2.ply"));
    EXPECT_TRUE(fileBytes(dir / "r2again.ply") == fileBytes(dir / "s2.ply"));
    EXPECT_TRUE(fileBytes(dir / "s1.ply") != fileBytes(dir / "s0.ply"));
    EXPECT_TRUE(fileBytes(dir / "s2.ply") != fileBytes(dir / "s1.ply"));
}

TEST(HostScript, SaveThenLoadIsBitIdenticalInPositionsAndMask) {
    for (const char* ext : {"ply", "obj"}) {
        const fs::path dir = freshFolder(std::string("roundtrip_") + ext);
        const std::string a = std::string("a.") + ext, b = std::string("b.") + ext;
        const std::string script = std::string(kPlaneScene) +
                                   "Velmora.SetSettingsV2 true false false 1.0 1.0 false 0.37 1.0 1.0 false\n"
                                   "Velmora.DoOperation()\n"
                                   "stroke alt from:[390,300] to:[400,310] steps:3\n"
                                   "stroke ctrl from:[420,300] to:[450,260] steps:7\n"
                                   "save \"" + a + "\"\n"
                                   "load \"" + a + "\"\n"
                                   "save \"" + b + "\"\n"
                                   "select \"grid\"\n"
                                   "save \"again." + ext + "\"\n";
        const HostRun r = runScript(dir, script);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Mesh ma = readMeshOrFail(dir / a);
        const Mesh mb = readMeshOrFail(dir / b);
        EXPECT_TRUE(samePositions(ma, mb)) << ext;
        ASSERT_EQ(ma.vertCol.size(), mb.vertCol.size());
        bool masked = false;
        for (size_t i = 0; i < ma.vertCol.size(); ++i) {
            EXPECT_EQ(std::memcmp(&ma.vertCol[i].x, &mb.vertCol[i].x, sizeof(float)), 0) << ext << " vertex " << i;
            masked = masked || (ma.vertCol[i].x < 1.0f && ma.vertCol[i].x > 0.0f);
        }
        EXPECT_TRUE(masked) << "the round trip carries a partial mask";
        EXPECT_TRUE(fileBytes(dir / a) == fileBytes(dir / b)) << ext;
        EXPECT_TRUE(fileBytes(dir / a) == fileBytes(dir / ("again." + std::string(ext)))) << ext;
    }
}

TEST(HostScript, PrintGivesCountsAndBoxOnOneLine) {
    const fs::path dir = freshFolder("print");
    const HostRun r = runScript(dir, "create box name:\"crate\" width:2 length:4 height:3 segments:1\nprint\n"
                                     "create plane name:\"p\" width:2 length:2 segments:3000\nprint\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "crate: 8 vertices, 12 faces, bbox [-1,-2,0] to [1,2,3]\n"
              "p: 1050625 vertices, 2097152 faces, bbox [-1,-1,0] to [1,1,0]\n");
}

TEST(HostScript, RenderShowsTheYellowBrushCircleWhileTheModeIsActive) {
    const fs::path dir = freshFolder("render_circle");
    const std::string script = std::string(kPlaneScene) +
                               "render \"plain.png\"\n"
                               "Velmora.DoOperation()\n"
                               "move [500,250]\n"
                               "render \"circle.png\"\n"
                               "stroke shift ctrl alt from:[500,250] to:[500,300] steps:5\n"
                               "render \"smaller.png\"\n"
                               "exitMode\n"
                               "render \"after_exit.png\"\n";
    const HostRun r = runScript(dir, script);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(countColour(dir / "plain.png", 255, 255, 0).count, 0);
    const ColourCount circle = countColour(dir / "circle.png", 255, 255, 0);
    EXPECT_GT(circle.count, 50);
    // A ring around the brush point under the mouse.
    EXPECT_NEAR(circle.meanX, 500.0, 3.0);
    EXPECT_NEAR(circle.meanY, 250.0, 3.0);
    // Five drags down shrink the radius to 0.9^5 of what it was: fewer pixels on the ring.
    const ColourCount smaller = countColour(dir / "smaller.png", 255, 255, 0);
    EXPECT_GT(smaller.count, 0);
    EXPECT_LT(smaller.count, 0.8 * circle.count);
    EXPECT_EQ(countColour(dir / "after_exit.png", 255, 255, 0).count, 0);
}

TEST(HostScript, PathsAreRelativeToTheScriptsFolder) {
    const fs::path dir = freshFolder("relative");
    fs::create_directories(dir / "sub");
    const HostRun r = runScript(dir / "sub", "create sphere name:\"s\" radius:1 segments:8\nsave \"../out/s.obj\"\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "out" / "s.obj"));
}

TEST(HostScript, StatsReportTheDragEvents) {
    const fs::path dir = freshFolder("stats");
    const HostRun r = runScript(dir, std::string(kPlaneScene) + "Velmora.DoOperation()\nstroke from:[400,300] to:[420,300] steps:7\n",
                                "test.vms", "--stats");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("drag events: 7, ms per event: mean "), std::string::npos) << r.out;
}

struct ScriptError {
    const char* name;
    const char* script;
    int line;
    const char* message;
};

void PrintTo(const ScriptError& e, std::ostream* os) { *os << e.name; }

class ScriptErrors : public ::testing::TestWithParam<ScriptError> {};

TEST_P(ScriptErrors, ReportScriptLineAndWhatIsWrong) {
    const ScriptError& e = GetParam();
    const fs::path dir = freshFolder(std::string("error_") + e.name);
    {
        std::ofstream bad(dir / "bad.obj");
        bad << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 7\n";
    }
    const HostRun r = runScript(dir, e.script, "err.vms");
    EXPECT_EQ(r.exitCode, 1);
    const std::string prefix = (dir / "err.vms").string() + ":" + std::to_string(e.line) + ": ";
    EXPECT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
    EXPECT_NE(r.err.find(e.message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
    EXPECT_FALSE(fs::exists(dir / "never.ply")) << "nothing after the failing line runs";
}

#define PLANE "create plane name:\"grid\" segments:4\n"
#define MODE PLANE "Velmora.DoOperation()\n"

INSTANTIATE_TEST_SUITE_P(
    Table, ScriptErrors,
    ::testing::Values(
        ScriptError{"UnknownCommand", "-- comment\n\nfrobnicate\nsave \"never.ply\"\n", 3, "unknown command 'frobnicate'"},
        ScriptError{"ParseError", PLANE "viewport fov:200\nsave \"never.ply\"\n", 2, "fov must be a number of degrees"},
        ScriptError{"MissingFile", "load \"missing.obj\"\n", 1, "missing.obj"},
        ScriptError{"MalformedFile", "load \"bad.obj\"\n", 1, "bad.obj:4"},
        ScriptError{"UnknownExtension", "load \"mesh.stl\"\n", 1, "mesh.stl"},
        ScriptError{"NonPositiveSize", "create box height:0\n", 1, "height must be a positive finite size"},
        ScriptError{"DuplicateName", PLANE PLANE, 2, "a node named \"grid\" already exists"},
        ScriptError{"SelectUnknown", PLANE "select \"grid\" \"nope\"\n", 2, "no node named \"nope\""},
        ScriptError{"DeleteUnknown", "delete \"nope\"\n", 1, "no node named \"nope\""},
        ScriptError{"UnknownInterface", "Nope.Foo()\n", 1, "no interface named \"Nope\""},
        ScriptError{"UnknownFunction", "Velmora.Nope()\n", 1, "interface \"Velmora\" has no function \"Nope\""},
        ScriptError{"MissingArgument", "Velmora.SetSettings 20 1.0 0.95 0.1\n", 1,
                    "Velmora.SetSettings takes 5 arguments (iterations, moveStrength, damping, plasticity, bendiness), got 4"},
        ScriptError{"ExtraArgument", "Velmora.SetSettings 20 1.0 0.95 0.1 0.1 7\n", 1, "takes 5 arguments"},
        ScriptError{"ArgumentsToNone", "Velmora.DoOperation 1\n", 1, "Velmora.DoOperation takes 0 arguments, got 1"},
        ScriptError{"IntFromFraction", "Velmora.SetSettings 2.5 1 1 1 1\n", 1,
                    "argument 1 (iterations) of Velmora.SetSettings must be an int, got 2.5"},
        ScriptError{"FloatFromString", "Velmora.SetSettings 20 \"x\" 1 1 1\n", 1,
                    "argument 2 (moveStrength) of Velmora.SetSettings must be a float, got \"x\""},
        ScriptError{"FloatOutOfRange", "Velmora.SetSettings 20 1e300 1 1 1\n", 1, "out of the float range"},
        ScriptError{"BoolFromString", "Velmora.SetSettingsV2 \"yes\" false false 1 1 false 1 1 1 false\n", 1,
                    "argument 1 (useVCMask) of Velmora.SetSettingsV2 must be a BOOL"},
        ScriptError{"BoolFromFraction", "Velmora.SetSettingsV2 0.5 false false 1 1 false 1 1 1 false\n", 1,
                    "must be a BOOL"},
        ScriptError{"NodeUnknown", "Velmora.AssignWorkingNode \"ghost\"\n", 1, "no node of that name"},
        ScriptError{"NodeFromNumber", "Velmora.AssignWorkingNode 3\n", 1, "must be a node (a quoted node name), got 3"},
        ScriptError{"MouseWithoutMode", PLANE "press [1,1]\n", 2, "no command mode is active"},
        ScriptError{"ReleaseWithoutPress", MODE "release [1,1]\n", 3, "release without a press"},
        ScriptError{"DragWithoutPress", MODE "drag [1,1]\n", 3, "drag without a press"},
        ScriptError{"PressTwice", MODE "press [1,1]\npress [2,2]\n", 4, "previous press is not released"},
        ScriptError{"MoveWhileHeld", MODE "press [1,1]\nmove [2,2]\n", 4, "move while the button is held"},
        ScriptError{"UndoInStroke", MODE "press [400,300]\ndrag [410,300]\nundo\nrelease [410,300]\n", 5,
                    "undo between a press and its release"},
        ScriptError{"RedoInStroke", MODE "press [400,300]\nredo\n", 4, "redo between a press and its release"},
        ScriptError{"ExitInStroke", MODE "press [400,300]\nexitMode\n", 4, "exitMode between a press and its release"},
        ScriptError{"StrokeInStroke", MODE "press [400,300]\nstroke [1,1] [2,2]\n", 4, "previous press is not released"},
        ScriptError{"UnreleasedAtEnd", MODE "press [400,300]\ndrag [410,300]\n-- end\n", 3,
                    "the script ends before this press is released"},
        ScriptError{"SaveNothingSelected", PLANE "clearSelection\nsave \"never.ply\"\n", 3, "nothing is selected"},
        ScriptError{"SaveUnknownExtension", PLANE "save \"never.stl\"\n", 2, "never.stl"},
        ScriptError{"PrintNothingSelected", "print\n", 1, "nothing is selected"},
        ScriptError{"FrameNothingSelected", PLANE "delete \"grid\"\nframe\n", 3, "nothing is selected"},
        ScriptError{"EyeOnTarget", "viewport eye:[0,0,0]\n", 1, "eye and target are the same point"},
        ScriptError{"RenderNotPng", "render \"pic.jpg\"\n", 1, "must end in .png"},
        ScriptError{"RenderIntoAFile", PLANE "save \"file.ply\"\nrender \"file.ply/never.png\"\n", 3, "file.ply"}),
    [](const ::testing::TestParamInfo<ScriptError>& p) { return std::string(p.param.name); });

TEST(HostScript, FailedLineWritesNoFileAndKeepsEarlierOutputs) {
    const fs::path dir = freshFolder("failed_line");
    {
        std::ofstream(dir / "keep.png") << "old picture";
    }
    // The save refused on line 3 leaves no file of its own; the render of line 2 is complete.
    const HostRun r = runScript(dir, PLANE "render \"first.png\"\nsave \"x.stl\"\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(fs::exists(dir / "first.png"));
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find("partial"), std::string::npos) << name;
        EXPECT_EQ(name.find("x.stl"), std::string::npos) << name;
    }
    EXPECT_EQ(fileBytes(dir / "keep.png"), "old picture");
}

TEST(HostScript, CommandLine) {
    const fs::path dir = freshFolder("command_line");
    auto sh = [&](const std::string& args) {
        const std::string cmd = std::string("'") + VELMORA_HOST_EXE + "' " + args + " >'" + (dir / "o").string() +
                                "' 2>'" + (dir / "e").string() + "'";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(sh("--help"), 0);
    EXPECT_NE(fileBytes(dir / "o").find("usage: velmora-host"), std::string::npos);
    EXPECT_EQ(sh("--version"), 0);
    EXPECT_EQ(fileBytes(dir / "o").rfind("velmora-host ", 0), 0u);
    EXPECT_EQ(sh(""), 2);
    EXPECT_EQ(sh("--bogus"), 2);
    EXPECT_EQ(sh("run"), 2);
    EXPECT_EQ(sh("run '" + (dir / "missing.vms").string() + "'"), 1);
    EXPECT_NE(fileBytes(dir / "e").find("missing.vms: cannot read the script"), std::string::npos);
    // A plug-in folder without modules is refused before the script runs.
    EXPECT_EQ(sh("--plugins '" + dir.string() + "' run '" + (dir / "missing.vms").string() + "'"), 1);
    EXPECT_NE(fileBytes(dir / "e").find("no plug-in modules"), std::string::npos) << fileBytes(dir / "e");
    // Without --plugins the build's plug-in folder is found.
    std::ofstream(dir / "ok.vms") << "Velmora.DoOperation()\n";
    EXPECT_EQ(sh("run '" + (dir / "ok.vms").string() + "'"), 0) << fileBytes(dir / "e");
}

}  // namespace
}  // namespace velmora::host::testing
