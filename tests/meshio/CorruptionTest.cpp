// Every truncation and every single-byte corruption of small valid files: each is read or
// refused with a message, never a crash, and a refusal leaves the mesh as it was. Inputs that the
// fuzzers once found troublesome are kept at the end as regressions.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "MeshIO.h"
#include "MeshIOTestUtil.h"

namespace velmora::io {
namespace {

using test::PlyBytes;

// Vertices with colours and mask, a quad face, a strip with a restart, and an element that is
// skipped, so every decoding path is cut somewhere.
std::string smallBinaryPly() {
    PlyBytes b;
    b.data =
        "ply\nformat binary_little_endian 1.0\nelement vertex 5\nproperty float x\nproperty float y\n"
        "property double z\nproperty uchar red\nproperty uchar green\nproperty uchar blue\nproperty float mask\n"
        "element face 1\nproperty list uchar int vertex_indices\n"
        "element extra 2\nproperty list ushort short values\nproperty char c\n"
        "element tristrips 1\nproperty list int int vertex_indices\nend_header\n";
    for (int v = 0; v < 5; ++v) {
        b.put(float(v)).put(float(v * v)).put(0.5 * v).put(std::uint8_t(v)).put(std::uint8_t{9}).put(std::uint8_t{200});
        b.put(0.25f * float(v));
    }
    b.put(std::uint8_t{4}).put(0).put(1).put(2).put(3);
    b.put(std::uint16_t{2}).put(std::int16_t{-4}).put(std::int16_t{4}).put(std::int8_t{-1});
    b.put(std::uint16_t{0}).put(std::int8_t{3});
    b.put(7).put(0).put(1).put(2).put(-1).put(2).put(3).put(4);
    return b.data;
}

std::string smallAsciiPly() {
    return "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\n"
           "property float red\nproperty float green\nproperty float blue\n"
           "element face 2\nproperty list uchar uint vertex_indices\nend_header\n"
           "0 0 0 1 0.5 0.25\n1 0 0 0 0 0\n1 1 0 1 1 1\n0 1 0 0.5 0.5 0.5\n3 0 1 2\n3 0 2 3\n";
}

std::string smallObj() {
    return "# quad and triangle\nv 0 0 0 1 0 0\nv 1 0 0 0 1 0\nv 1 1 0 0 0 1\nv 0 1 0 1 1 1\n"
           "vt 0 0\nf 1/1 2/1 3/1 4/1\nf -4//1 -2//1 -1//1\n";
}

// Reads `data`; on success the mesh is consistent, on failure it is untouched and the message
// names the file.
void readSafely(bool ply, const std::string& data, bool& ok) {
    Mesh m = test::sentinelMesh();
    std::string err;
    ok = ply ? readPly(data, "c.ply", m, err) : readObj(data, "c.obj", m, err);
    if (ok) {
        test::expectConsistent(m);
        EXPECT_FALSE(m.verts.empty());
        EXPECT_FALSE(m.faces.empty());
    } else {
        test::expectSentinel(m);
        EXPECT_EQ(err.rfind(ply ? "c.ply:" : "c.obj:", 0), 0u) << err;
    }
}

struct Sample {
    const char* label;
    bool ply;
    std::string data;
};

std::vector<Sample> samples() {
    return {{"binary ply", true, smallBinaryPly()}, {"ascii ply", true, smallAsciiPly()}, {"obj", false, smallObj()}};
}

TEST(Corruption, TheSamplesThemselvesRead) {
    for (const Sample& s : samples()) {
        SCOPED_TRACE(s.label);
        Mesh m;
        std::string err;
        ASSERT_TRUE(s.ply ? readPly(s.data, "c.ply", m, err) : readObj(s.data, "c.obj", m, err)) << err;
        EXPECT_EQ(m.faces.size(), s.label[0] == 'b' ? 4u : 3u - (s.label[0] == 'a' ? 1u : 0u));
    }
}

TEST(Corruption, ElementsWithoutPropertiesAndHugeCountsAreSkippedAtOnce) {
    PlyBytes b;
    b.data = "ply\nformat binary_little_endian 1.0\nelement nothing 2147483647\nelement vertex 3\n"
             "property float x\nproperty float y\nproperty float z\n"
             "element face 1\nproperty list uchar int vertex_indices\nend_header\n";
    b.put(0.0f).put(0.0f).put(0.0f).put(1.0f).put(0.0f).put(0.0f).put(0.0f).put(1.0f).put(0.0f);
    b.put(std::uint8_t{3}).put(0).put(1).put(2);
    Mesh m;
    std::string err;
    EXPECT_TRUE(readPly(b.data, "n.ply", m, err)) << err;
}

// The fuzzers' seed files are valid meshes, so the fuzzers start from inputs that get deep.
TEST(Corruption, FuzzSeedsRead) {
    int count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(VELMORA_FUZZ_CORPUS)) {
        if (!entry.is_regular_file()) continue;
        SCOPED_TRACE(entry.path().string());
        Mesh m;
        std::string err;
        EXPECT_TRUE(readMesh(entry.path().string(), m, err)) << err;
        ++count;
    }
    EXPECT_GE(count, 8);
}

TEST(Corruption, EveryTruncationIsReadOrRefusedSafely) {
    for (const Sample& s : samples()) {
        SCOPED_TRACE(s.label);
        int refused = 0;
        for (std::size_t n = 0; n < s.data.size(); ++n) {
            SCOPED_TRACE(n);
            bool ok = false;
            readSafely(s.ply, s.data.substr(0, n), ok);
            refused += ok ? 0 : 1;
        }
        // A binary file cut anywhere is short of data; text files may end at a line boundary.
        if (s.label[0] == 'b') {
            EXPECT_EQ(refused, static_cast<int>(s.data.size()));
        }
        EXPECT_GT(refused, 0);
    }
}

TEST(Corruption, EverySingleByteCorruptionIsReadOrRefusedSafely) {
    const unsigned char replacements[] = {0x00, 0xff, 0x80, '\n', ' ', '-', '9', 'e'};
    for (const Sample& s : samples()) {
        SCOPED_TRACE(s.label);
        for (std::size_t i = 0; i < s.data.size(); ++i) {
            for (unsigned char r : replacements) {
                std::string d = s.data;
                d[i] = static_cast<char>(r);
                bool ok = false;
                readSafely(s.ply, d, ok);
                if (HasFailure()) {
                    ADD_FAILURE() << "byte " << i << " replaced by " << int(r);
                    return;
                }
            }
        }
    }
}

}  // namespace
}  // namespace velmora::io
