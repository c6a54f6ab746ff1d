#pragma once
// What every fuzz target checks after a read: a refusal leaves the mesh alone and says why; an
// accepted mesh is consistent, finite and non-empty, and survives a save and reload bit for bit.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "MeshIO.h"
#include "MeshIOInternal.h"

namespace velmora::io::fuzz {

inline void require(bool ok, const char* what) {
    if (!ok) {
        __builtin_printf("fuzz check failed: %s\n", what);
        std::abort();
    }
}

inline bool sameBits(const Point3& a, const Point3& b) {
    return std::bit_cast<std::uint32_t>(a.x) == std::bit_cast<std::uint32_t>(b.x) &&
           std::bit_cast<std::uint32_t>(a.y) == std::bit_cast<std::uint32_t>(b.y) &&
           std::bit_cast<std::uint32_t>(a.z) == std::bit_cast<std::uint32_t>(b.z);
}

inline void checkMesh(const Mesh& m) {
    require(!m.verts.empty() && !m.faces.empty(), "accepted mesh is empty");
    for (const Point3& p : m.verts) require(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z), "non-finite vertex");
    for (const Face& f : m.faces) {
        for (int k = 0; k < 3; ++k) require(f.v[k] < m.verts.size(), "face index out of range");
    }
    if (m.mapSupport(0)) {
        require(m.vertCol.size() == m.verts.size() && m.vcFace.size() == m.faces.size(), "colour channel sizes");
        for (std::size_t f = 0; f < m.faces.size(); ++f) {
            for (int k = 0; k < 3; ++k) require(m.vcFace[f].t[k] == m.faces[f].v[k], "colour face differs");
        }
    } else {
        require(m.vertCol.empty() && m.vcFace.empty(), "colours without a channel");
    }
}

inline void checkRoundTrip(const Mesh& m, std::string_view kind) {
    std::string bytes;
    std::string what;
    require(detail::encodeMesh(kind, m, bytes, what), "accepted mesh cannot be written");
    Mesh back;
    std::string error;
    const bool ok = kind == "obj" ? readObj(bytes, "again.obj", back, error) : readPly(bytes, "again.ply", back, error);
    require(ok, "written mesh cannot be read back");
    require(back.verts.size() == m.verts.size() && back.faces.size() == m.faces.size(), "round trip counts");
    for (std::size_t v = 0; v < m.verts.size(); ++v) require(sameBits(back.verts[v], m.verts[v]), "round trip position");
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
        for (int k = 0; k < 3; ++k) require(back.faces[f].v[k] == m.faces[f].v[k], "round trip face");
    }
}

// Reads `data` with `reader` and checks the outcome.
template <typename Reader>
void readAndCheck(Reader reader, std::string_view data, const std::string& name) {
    Mesh m;
    m.verts = {Point3(1.0f, 2.0f, 3.0f)};
    std::string error;
    if (!reader(data, name, m, error)) {
        require(!error.empty() && error.rfind(name, 0) == 0, "refusal without a message naming the file");
        require(m.verts.size() == 1 && m.faces.empty() && m.verts[0] == Point3(1.0f, 2.0f, 3.0f), "refusal changed the mesh");
        return;
    }
    checkMesh(m);
    checkRoundTrip(m, "obj");
    checkRoundTrip(m, "ply");
}

}  // namespace velmora::io::fuzz
