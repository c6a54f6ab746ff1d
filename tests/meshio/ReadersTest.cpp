// OBJ and PLY readers: what they decode, and that every bad input is refused with its place.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "MeshIO.h"
#include "MeshIOTestUtil.h"

namespace velmora::io {
namespace {

using test::expectConsistent;
using test::expectSentinel;
using test::faceList;
using test::PlyBytes;
using test::sentinelMesh;
using Tri = std::array<DWORD, 3>;

TEST(ObjReader, FansPolygonsResolvesNegativeIndicesAndIgnoresOtherStatements) {
    const std::string obj =
        "# pentagon, then a triangle through relative indices\n"
        "mtllib x.mtl\no thing\ng group\ns off\nusemtl red\n"
        "v 0 0 0\nv 1 0 0\nv 2 1 0\nv 1 2 0\nv 0 1 0\n"
        "vt 0 0\nvn 0 0 1\n"
        "f 1/1/1 2//1 3/1 4 5   # comment after a face\n"
        "v 5 5 5\n"
        "f -1 -2 -6\n"
        "f\t-3/1/1  -2//1 -1\r\n";
    Mesh m;
    std::string err;
    ASSERT_TRUE(readObj(obj, "t.obj", m, err)) << err;
    expectConsistent(m);
    EXPECT_EQ(m.verts.size(), 6u);
    EXPECT_EQ(faceList(m), (std::vector<Tri>{{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {5, 4, 0}, {3, 4, 5}}));
    EXPECT_FALSE(m.mapSupport(0));
}

TEST(ObjReader, ColoursBecomeChannelZeroOnePerVertex) {
    Mesh m;
    std::string err;
    ASSERT_TRUE(readObj("v 0 0 0 0.25 0.5 1\nv 1 0 0 2.5 -0.5 0\nv 0 1 0 +1 0 0\nf 1 2 3\n", "c.obj", m, err)) << err;
    expectConsistent(m);
    ASSERT_TRUE(m.mapSupport(0));
    EXPECT_EQ(m.vertCol[0], Point3(0.25f, 0.5f, 1.0f));
    EXPECT_EQ(m.vertCol[1], Point3(2.5f, -0.5f, 0.0f));  // values outside 0..1 pass unchanged
    EXPECT_EQ(m.vertCol[2], Point3(1.0f, 0.0f, 0.0f));
}

// One strip with a restart, a repeated vertex (two degenerate triangles skipped) and a second
// strip; the vertices zigzag in the XY plane so every decoded face must face +z.
std::string stripHeader(const char* format) {
    return std::string("ply\nformat ") + format +
           " 1.0\nelement vertex 8\nproperty float x\nproperty float y\nproperty float z\n"
           "element tristrips 1\nproperty list int int vertex_indices\nend_header\n";
}
const float kStripXY[8][2] = {{0, 1}, {0, 0}, {1, 1}, {1, 0}, {3, 1}, {3, 0}, {4, 1}, {4, 0}};
const std::vector<int> kStrip = {0, 1, 2, 3, -1, 4, 5, 6, 6, 7};
// 0 1 2 | 2 1 3 (flipped) | restart | 4 5 6 | (5 6 6) and (6 6 7) skipped, parity kept:
// 6 7 would be the next even triangle if the strip went on.
const std::vector<Tri> kStripFaces = {{0, 1, 2}, {2, 1, 3}, {4, 5, 6}};

std::string stripBinary(bool big) {
    PlyBytes b;
    b.bigEndian = big;
    b.data = stripHeader(big ? "binary_big_endian" : "binary_little_endian");
    for (const auto& p : kStripXY) b.put(p[0]).put(p[1]).put(0.0f);
    b.put(static_cast<std::int32_t>(kStrip.size()));
    for (int i : kStrip) b.put(static_cast<std::int32_t>(i));
    return b.data;
}

std::string stripAscii() {
    std::string s = stripHeader("ascii");
    for (const auto& p : kStripXY) s += std::to_string(p[0]) + " " + std::to_string(p[1]) + " 0\n";
    s += std::to_string(kStrip.size());
    for (int i : kStrip) s += " " + std::to_string(i);
    return s + "\n";
}

TEST(PlyReader, TriangleStripsRestartFlipEverySecondAndSkipDegenerates) {
    for (const auto& [label, data] : std::vector<std::pair<std::string, std::string>>{
             {"ascii", stripAscii()}, {"little", stripBinary(false)}, {"big", stripBinary(true)}}) {
        SCOPED_TRACE(label);
        Mesh m;
        std::string err;
        ASSERT_TRUE(readPly(data, "s.ply", m, err)) << err;
        expectConsistent(m);
        EXPECT_EQ(faceList(m), kStripFaces);
        for (int f = 0; f < m.getNumFaces(); ++f) EXPECT_GT(m.FaceNormal(f).z, 0.0f) << "face " << f;
    }
}

TEST(PlyReader, FacesOfAnyIntegerTypesWithExtraElementsAndPropertiesSkipped) {
    PlyBytes b;
    b.data =
        "ply\r\nformat binary_little_endian 1.0\r\ncomment skipped\r\nobj_info x\r\n"
        "element camera 2\r\nproperty double f\r\nproperty list uchar float k\r\n"
        "element vertex 5\r\nproperty list ushort double junk\r\nproperty double x\r\nproperty double y\r\n"
        "property double z\r\nproperty short n\r\nproperty uchar red\r\nproperty uchar green\r\nproperty uchar blue\r\n"
        "element face 1\r\nproperty uchar flags\r\nproperty list uint short vertex_index\r\nproperty int t\r\n"
        "end_header\r\n";
    b.put(1.0).put(std::uint8_t{1}).put(2.0f);
    b.put(3.0).put(std::uint8_t{0});
    for (int v = 0; v < 5; ++v) {
        b.put(std::uint16_t{1}).put(9.0);
        b.put(double(v)).put(0.5).put(-0.25).put(std::int16_t{-3});
        b.put(std::uint8_t(v * 60)).put(std::uint8_t{255}).put(std::uint8_t{0});
    }
    b.put(std::uint8_t{7}).put(std::uint32_t{5});
    for (int i = 4; i >= 0; --i) b.put(static_cast<std::int16_t>(i));
    b.put(std::int32_t{-1});
    Mesh m;
    std::string err;
    ASSERT_TRUE(readPly(b.data, "f.ply", m, err)) << err;
    expectConsistent(m);
    EXPECT_EQ(faceList(m), (std::vector<Tri>{{4, 3, 2}, {4, 2, 1}, {4, 1, 0}}));
    EXPECT_EQ(m.verts[3], Point3(3.0f, 0.5f, -0.25f));
    ASSERT_TRUE(m.mapSupport(0));
    EXPECT_EQ(m.vertCol[2], Point3(120.0f / 255.0f, 1.0f, 0.0f));
}

TEST(PlyReader, MaskIsPreferredToColoursAndKeptExactly) {
    const float mask = 0.1f;  // not a multiple of 1/255
    PlyBytes b;
    b.data =
        "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
        "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty float mask\n"
        "element face 1\nproperty list uchar int vertex_indices\nend_header\n";
    for (int v = 0; v < 3; ++v) {
        b.put(float(v == 1)).put(float(v == 2)).put(0.0f);
        b.put(std::uint8_t{255}).put(std::uint8_t{0}).put(std::uint8_t{0}).put(mask * float(v));
    }
    b.put(std::uint8_t{3}).put(0).put(1).put(2);
    Mesh m;
    std::string err;
    ASSERT_TRUE(readPly(b.data, "m.ply", m, err)) << err;
    ASSERT_TRUE(m.mapSupport(0));
    for (int v = 0; v < 3; ++v) {
        const float e = mask * float(v);
        EXPECT_EQ(m.vertCol[v], Point3(e, e, e));
    }
}

struct BadInput {
    const char* label;
    bool ply;
    std::string data;
    const char* fragment;
    int line;  // 0: the message has no line (binary data or whole-file problems)
};

std::string plyAscii(const std::string& vertexProps, int nv, int nf, const std::string& body) {
    return "ply\nformat ascii 1.0\nelement vertex " + std::to_string(nv) + "\n" + vertexProps +
           "element face " + std::to_string(nf) + "\nproperty list uchar int vertex_indices\nend_header\n" + body;
}
const std::string kXyz = "property float x\nproperty float y\nproperty float z\n";

std::string binaryTriangle(const std::string& tail) {
    PlyBytes b;
    b.data = "ply\nformat binary_little_endian 1.0\nelement vertex 3\n" + kXyz +
             "element face 1\nproperty list uchar int vertex_indices\nend_header\n";
    b.put(0.0f).put(0.0f).put(0.0f).put(1.0f).put(0.0f).put(0.0f).put(0.0f).put(1.0f).put(0.0f);
    return b.data + tail;
}
std::string binaryFace(std::uint8_t n, std::vector<std::int32_t> idx) {
    PlyBytes b;
    b.put(n);
    for (auto i : idx) b.put(i);
    return binaryTriangle(b.data);
}

std::vector<BadInput> badInputs() {
    const float inf = std::numeric_limits<float>::infinity();
    PlyBytes nonFinite;
    nonFinite.data = "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty double x\nproperty double y\n"
                     "property double z\nelement face 0\nproperty list uchar int vertex_indices\nend_header\n";
    nonFinite.put(0.0).put(0.0).put(0.0).put(1.0).put(1e300).put(0.0).put(0.0).put(1.0).put(0.0);
    PlyBytes infFloat;
    infFloat.data = "ply\nformat binary_little_endian 1.0\nelement vertex 1\n" + kXyz +
                    "element face 0\nproperty list uchar int vertex_indices\nend_header\n";
    infFloat.put(0.0f).put(inf).put(0.0f);
    return {
        {"obj malformed number", false, "v 0 0 0\nv 1 0 0\nv 0 1x 0\nf 1 2 3\n", "malformed number '1x'", 3},
        {"obj nan", false, "v 0 0 0\nv nan 0 0\n", "non-finite coordinate 'nan'", 2},
        {"obj inf", false, "v 0 0 0\n\nv 0 inf 0\n", "non-finite coordinate", 3},
        {"obj overflow", false, "v 0 0 1e39\n", "malformed number '1e39'", 1},
        {"obj two values", false, "v 0 0\n", "got 2 values", 1},
        {"obj four values", false, "v 0 0 0 1\n", "got 4 values", 1},
        {"obj colour on some", false, "v 0 0 0 1 1 1\nv 1 0 0\n", "has no colour but the vertices before it have one", 2},
        {"obj colour later", false, "v 0 0 0\nv 1 0 0 1 1 1\n", "has a colour but the vertices before it have none", 2},
        {"obj index too big", false, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n", "vertex index 4 out of range (3 vertices", 4},
        {"obj forward reference", false, "v 0 0 0\nv 1 0 0\nf 1 2 3\nv 0 1 0\n", "vertex index 3 out of range", 3},
        {"obj negative too far", false, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf -1 -2 -4\n", "vertex index -4 out of range", 4},
        {"obj index zero", false, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n", "vertex index 0", 4},
        {"obj two-vertex face", false, "v 0 0 0\nv 1 0 0\nf 1 2\n", "at least 3 vertices", 3},
        {"obj bad reference", false, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/x 2 3\n", "malformed vertex reference '1/x'", 4},
        {"obj bad index", false, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3.0\n", "malformed vertex index '3.0'", 4},
        {"obj huge index", false, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 99999999999999999999\n", "malformed vertex index", 4},
        {"obj unknown statement", false, "v 0 0 0\nl 1 2\n", "unsupported statement 'l'", 2},
        {"obj no faces", false, "v 0 0 0\n# nothing else\n", "empty mesh: no faces", 0},
        {"obj no vertices", false, "# empty\n", "empty mesh: no vertices", 0},
        {"obj binary junk", false, std::string("v 0 0 0\n\x01\x02\x7f\n", 12), "unsupported statement '\?\?\?'", 2},
        {"ply not ply", true, "plx\n", "not a PLY file", 1},
        {"ply no end_header", true, "ply\nformat ascii 1.0\nelement vertex 1\n", "no end_header", 3},
        {"ply unknown format", true, "ply\nformat binary 1.0\nend_header\n", "unknown format 'binary'", 2},
        {"ply bad version", true, "ply\nformat ascii 2.0\nend_header\n", "unsupported version '2.0'", 2},
        {"ply unknown type", true, "ply\nformat ascii 1.0\nelement vertex 1\nproperty float128 x\nend_header\n",
         "unknown type 'float128'", 4},
        {"ply float list count", true,
         "ply\nformat ascii 1.0\nelement face 1\nproperty list float int vertex_indices\nend_header\n",
         "list count type 'float' is not an integer type", 4},
        {"ply negative count", true, "ply\nformat ascii 1.0\nelement vertex -1\nend_header\n", "malformed element count '-1'", 3},
        {"ply count too large", true, "ply\nformat ascii 1.0\nelement vertex 4294967296\nend_header\n", "is too large", 3},
        {"ply duplicate element", true, "ply\nformat ascii 1.0\nelement vertex 0\nelement vertex 0\nend_header\n",
         "declared twice", 4},
        {"ply property first", true, "ply\nformat ascii 1.0\nproperty float x\nend_header\n", "property before any element", 3},
        {"ply no vertex element", true, "ply\nformat ascii 1.0\nelement face 0\nend_header\n", "no element vertex", 0},
        {"ply no x", true, plyAscii("property float y\nproperty float z\n", 0, 0, ""), "element vertex has no property x", 3},
        {"ply int coordinate", true, plyAscii("property int x\nproperty float y\nproperty float z\n", 0, 0, ""),
         "vertex property x must be float or double", 4},
        {"ply partial colour", true, plyAscii(kXyz + "property uchar red\n", 0, 0, ""),
         "some but not all of red, green and blue", 3},
        {"ply int mask", true, plyAscii(kXyz + "property uchar mask\n", 0, 0, ""), "mask must be float or double", 7},
        {"ply no face element", true, "ply\nformat ascii 1.0\nelement vertex 1\n" + kXyz + "end_header\n0 0 0\n",
         "no element face or tristrips", 0},
        {"ply face without list", true,
         "ply\nformat ascii 1.0\nelement vertex 0\n" + kXyz + "element face 0\nproperty int vertex_indices\nend_header\n",
         "vertex_indices of element face must be a list", 8},
        {"ply float indices", true,
         "ply\nformat ascii 1.0\nelement vertex 0\n" + kXyz +
             "element face 0\nproperty list uchar float vertex_indices\nend_header\n",
         "must hold integers", 8},
        {"ply ascii malformed", true, plyAscii(kXyz, 3, 1, "0 0 0\n1 0 0\n0 1e 0\n3 0 1 2\n"),
         "vertex 2: malformed number '1e' for property y", 12},
        {"ply ascii short line", true, plyAscii(kXyz, 3, 1, "0 0 0\n1 0\n0 1 0\n3 0 1 2\n"),
         "vertex 1: no value for property z", 11},
        {"ply ascii extra value", true, plyAscii(kXyz, 3, 1, "0 0 0\n1 0 0 5\n0 1 0\n3 0 1 2\n"),
         "unexpected extra value '5'", 11},
        {"ply ascii index range", true, plyAscii(kXyz, 3, 1, "0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n"),
         "face 0: vertex index 3 out of range (3 vertices)", 13},
        {"ply ascii negative index", true, plyAscii(kXyz, 3, 1, "0 0 0\n1 0 0\n0 1 0\n3 0 -1 2\n"),
         "vertex index -1 out of range", 13},
        {"ply ascii uchar overflow", true, plyAscii(kXyz, 3, 1, "0 0 0\n1 0 0\n0 1 0\n256 0 1 2\n"),
         "malformed number '256' for the count of list", 13},
        {"ply ascii two-vertex face", true, plyAscii(kXyz, 3, 1, "0 0 0\n1 0 0\n0 1 0\n2 0 1\n"),
         "face has 2 vertices; at least 3 needed", 13},
        {"ply ascii list too long", true, plyAscii(kXyz, 3, 1, "0 0 0\n1 0 0\n0 1 0\n4 0 1 2\n"),
         "list vertex_indices declares 4 items, more than the data holds", 13},
        {"ply ascii truncated", true, plyAscii(kXyz, 3, 1, "0 0 0\n1 0 0\n"), "more than the rest of the file can hold", 3},
        {"ply ascii inf", true, plyAscii(kXyz, 3, 1, "0 0 0\n1 0 inf\n0 1 0\n3 0 1 2\n"), "vertex 1: non-finite coordinate", 11},
        {"ply ascii trailing data", true, plyAscii(kXyz, 3, 1, "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n\n7\n"),
         "unexpected data after the last element", 15},
        {"ply ascii no faces", true, plyAscii(kXyz, 3, 0, "0 0 0\n1 0 0\n0 1 0\n"), "empty mesh: no faces", 0},
        {"ply binary index range", true, binaryFace(3, {0, 1, 7}), "f.ply: face 0: vertex index 7 out of range", 0},
        {"ply binary truncated list", true, binaryFace(3, {0, 1}), "face 0: list vertex_indices declares 3 items", 0},
        {"ply binary missing face", true, binaryTriangle(""), "element face declares 1 entries", 7},
        {"ply binary trailing", true, binaryFace(3, {0, 1, 2}) + "x", "unexpected data after the last element", 0},
        {"ply binary double overflow", true, nonFinite.data, "f.ply: vertex 1: non-finite coordinate", 0},
        {"ply binary float inf", true, infFloat.data, "vertex 0: non-finite coordinate", 0},
    };
}

TEST(Readers, MalformedInputsAreRefusedWithPlaceAndLeaveTheMeshAlone) {
    for (const BadInput& c : badInputs()) {
        SCOPED_TRACE(c.label);
        Mesh m = sentinelMesh();
        std::string err;
        const std::string name = c.ply ? "f.ply" : "f.obj";
        const bool ok = c.ply ? readPly(c.data, name, m, err) : readObj(c.data, name, m, err);
        EXPECT_FALSE(ok);
        EXPECT_NE(err.find(c.fragment), std::string::npos) << "message: " << err;
        const std::string place = c.line > 0 ? name + ":" + std::to_string(c.line) + ": " : name + ": ";
        EXPECT_EQ(err.rfind(place, 0), 0u) << "message: " << err;
        expectSentinel(m);
    }
}

TEST(Readers, HugeDeclaredCountsAreRefusedBeforeAllocating) {
    const std::string big = "2000000000";
    const std::vector<std::string> inputs = {
        "ply\nformat binary_little_endian 1.0\nelement vertex " + big + "\n" + kXyz +
            "element face 1\nproperty list uchar int vertex_indices\nend_header\n0123456789",
        "ply\nformat ascii 1.0\nelement vertex " + big + "\n" + kXyz +
            "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n",
        binaryTriangle(std::string("\xff\xff\xff\x7f", 4)).replace(
            binaryTriangle("").find("list uchar int"), 14, "list uint  int"),
        "ply\nformat binary_little_endian 1.0\nelement vertex 3\n" + kXyz + "element face " + big +
            "\nproperty list uchar int vertex_indices\nend_header\n",
    };
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE(i);
        Mesh m = sentinelMesh();
        std::string err;
        EXPECT_FALSE(readPly(inputs[i], "big.ply", m, err));
        EXPECT_NE(err.find("truncated data"), std::string::npos) << err;
        expectSentinel(m);
    }
}

}  // namespace
}  // namespace velmora::io
