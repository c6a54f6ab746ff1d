// Serialisation of a mesh as OBJ text or binary little-endian PLY. Everything is checked before
// the first byte is produced, so a mesh that could not be read back is refused whole.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "MeshIOInternal.h"

namespace velmora::io::detail {

namespace {

bool finite(const Point3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// One colour per vertex, as the brush reads the mask: the colour of the vertex's corner in the
// highest-numbered face that uses it (later corners of one face win, as in a forward scan).
bool vertexColours(const Mesh& mesh, std::vector<Point3>& colours, std::string& what) {
    const Point3 white(1.0f, 1.0f, 1.0f);
    colours.assign(mesh.verts.size(), white);
    if (!mesh.mapSupport(0)) return true;
    if (mesh.vcFace.size() != mesh.faces.size()) {
        what = "the colour channel has " + std::to_string(mesh.vcFace.size()) + " faces for " +
               std::to_string(mesh.faces.size()) + " geometry faces";
        return false;
    }
    // A vertex in no face keeps the colour vertex of its own number, which is where the
    // readers put it.
    for (std::size_t v = 0; v < colours.size() && v < mesh.vertCol.size(); ++v) colours[v] = mesh.vertCol[v];
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        for (int k = 0; k < 3; ++k) {
            const DWORD t = mesh.vcFace[f].t[k];
            if (t >= mesh.vertCol.size()) {
                what = "colour face " + std::to_string(f) + " refers to colour vertex " + std::to_string(t) +
                       " of " + std::to_string(mesh.vertCol.size());
                return false;
            }
            colours[mesh.faces[f].v[k]] = mesh.vertCol[t];
        }
    }
    for (std::size_t v = 0; v < colours.size(); ++v) {
        if (!finite(colours[v])) {
            what = "vertex " + std::to_string(v) + " has a non-finite colour";
            return false;
        }
    }
    return true;
}

bool checkGeometry(const Mesh& mesh, std::string& what) {
    if (mesh.verts.empty() || mesh.faces.empty()) {
        what = "empty mesh (" + std::to_string(mesh.verts.size()) + " vertices, " + std::to_string(mesh.faces.size()) +
               " faces)";
        return false;
    }
    if (mesh.verts.size() > kMaxCount || mesh.faces.size() > kMaxCount) {
        what = "too many vertices or faces";
        return false;
    }
    for (std::size_t v = 0; v < mesh.verts.size(); ++v) {
        if (!finite(mesh.verts[v])) {
            what = "vertex " + std::to_string(v) + " has a non-finite coordinate";
            return false;
        }
    }
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        for (int k = 0; k < 3; ++k) {
            if (mesh.faces[f].v[k] >= mesh.verts.size()) {
                what = "face " + std::to_string(f) + " refers to vertex " + std::to_string(mesh.faces[f].v[k]) + " of " +
                       std::to_string(mesh.verts.size());
                return false;
            }
        }
    }
    return true;
}

// Nine significant digits identify every float, so the text reads back to the same bits.
void appendFloat(std::string& out, float f) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, f, std::chars_format::general, 9);
    out.append(buf, r.ptr);
}

void appendUInt(std::string& out, std::uint64_t u) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, u);
    out.append(buf, r.ptr);
}

void encodeObj(const Mesh& mesh, const std::vector<Point3>& colours, std::string& out) {
    out.reserve(mesh.verts.size() * 80 + mesh.faces.size() * 24);
    out += "# Velmora mesh: ";
    appendUInt(out, mesh.verts.size());
    out += " vertices, ";
    appendUInt(out, mesh.faces.size());
    out += " faces; vertex colours r g b, mask in red\n";
    for (std::size_t v = 0; v < mesh.verts.size(); ++v) {
        const Point3& p = mesh.verts[v];
        const Point3& c = colours[v];
        out += "v";
        for (float x : {p.x, p.y, p.z, c.x, c.y, c.z}) {
            out += ' ';
            appendFloat(out, x);
        }
        out += '\n';
    }
    for (const Face& f : mesh.faces) {
        out += "f";
        for (int k = 0; k < 3; ++k) {
            out += ' ';
            appendUInt(out, std::uint64_t{f.v[k]} + 1);
        }
        out += '\n';
    }
}

template <typename T>
void appendLittle(std::string& out, T value) {
    char b[sizeof(T)];
    std::memcpy(b, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(b[i], b[sizeof(T) - 1 - i]);
    }
    out.append(b, sizeof(T));
}

std::uint8_t toByte(float c) {
    const float clamped = c < 0.0f ? 0.0f : (c > 1.0f ? 1.0f : c);
    return static_cast<std::uint8_t>(std::lround(clamped * 255.0f));
}

void encodePly(const Mesh& mesh, const std::vector<Point3>& colours, std::string& out) {
    out.reserve(256 + mesh.verts.size() * 19 + mesh.faces.size() * 13);
    out += "ply\nformat binary_little_endian 1.0\ncomment Velmora mesh; mask is the exact brush mask\nelement vertex ";
    appendUInt(out, mesh.verts.size());
    out += "\nproperty float x\nproperty float y\nproperty float z\n"
           "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty float mask\n"
           "element face ";
    appendUInt(out, mesh.faces.size());
    out += "\nproperty list uchar int vertex_indices\nend_header\n";
    for (std::size_t v = 0; v < mesh.verts.size(); ++v) {
        const Point3& p = mesh.verts[v];
        const Point3& c = colours[v];
        appendLittle(out, p.x);
        appendLittle(out, p.y);
        appendLittle(out, p.z);
        appendLittle(out, toByte(c.x));
        appendLittle(out, toByte(c.y));
        appendLittle(out, toByte(c.z));
        appendLittle(out, c.x);
    }
    for (const Face& f : mesh.faces) {
        appendLittle(out, std::uint8_t{3});
        for (int k = 0; k < 3; ++k) appendLittle(out, static_cast<std::int32_t>(f.v[k]));
    }
}

}  // namespace

bool encodeMesh(std::string_view kind, const Mesh& mesh, std::string& out, std::string& what) {
    if (!checkGeometry(mesh, what)) return false;
    std::vector<Point3> colours;
    if (!vertexColours(mesh, colours, what)) return false;
    out.clear();
    if (kind == "obj") {
        encodeObj(mesh, colours, out);
    } else {
        encodePly(mesh, colours, out);
    }
    return true;
}

}  // namespace velmora::io::detail
