#pragma once
// Helpers for the mesh file tests: binary PLY assembly and mesh comparisons.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sdk/Mesh.h"

namespace velmora::io::test {

// Appends values in little- or big-endian byte order after a header given as text.
struct PlyBytes {
    std::string data;
    bool bigEndian = false;
    template <typename T>
    PlyBytes& put(T value) {
        char b[sizeof(T)];
        std::memcpy(b, &value, sizeof(T));
        if (bigEndian != (std::endian::native == std::endian::big)) {
            for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(b[i], b[sizeof(T) - 1 - i]);
        }
        data.append(b, sizeof(T));
        return *this;
    }
};

inline std::uint32_t bitsOf(float f) { return std::bit_cast<std::uint32_t>(f); }

// The mask as the brush reads it: red of the vertex's corner in its highest-numbered face,
// 1 everywhere without a colour channel.
inline std::vector<float> brushMask(const Mesh& m) {
    std::vector<float> mask(m.verts.size(), m.mapSupport(0) ? 0.0f : 1.0f);
    if (!m.mapSupport(0)) return mask;
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
        for (int k = 0; k < 3; ++k) mask[m.faces[f].v[k]] = m.vertCol[m.vcFace[f].t[k]].x;
    }
    return mask;
}

// Every face index is in range, and a colour channel (if any) mirrors the geometry faces.
inline void expectConsistent(const Mesh& m) {
    for (const Face& f : m.faces) {
        for (int k = 0; k < 3; ++k) ASSERT_LT(f.v[k], m.verts.size());
    }
    if (m.mapSupport(0)) {
        ASSERT_EQ(m.vertCol.size(), m.verts.size());
        ASSERT_EQ(m.vcFace.size(), m.faces.size());
        for (std::size_t f = 0; f < m.faces.size(); ++f) {
            for (int k = 0; k < 3; ++k) ASSERT_EQ(m.vcFace[f].t[k], m.faces[f].v[k]);
        }
    } else {
        EXPECT_TRUE(m.vertCol.empty());
        EXPECT_TRUE(m.vcFace.empty());
    }
}

inline std::vector<std::array<DWORD, 3>> faceList(const Mesh& m) {
    std::vector<std::array<DWORD, 3>> r;
    for (const Face& f : m.faces) r.push_back({f.v[0], f.v[1], f.v[2]});
    return r;
}

// A one-triangle mesh that a failed read must leave exactly as it is.
inline Mesh sentinelMesh() {
    Mesh m;
    m.verts = {Point3(7.0f, 8.0f, 9.0f), Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f)};
    m.faces.resize(1);
    m.faces[0].setVerts(0, 1, 2);
    return m;
}

inline void expectSentinel(const Mesh& m) {
    ASSERT_EQ(m.verts.size(), 3u);
    EXPECT_EQ(m.verts[0], Point3(7.0f, 8.0f, 9.0f));
    ASSERT_EQ(m.faces.size(), 1u);
    EXPECT_FALSE(m.mapSupport(0));
}

}  // namespace velmora::io::test
