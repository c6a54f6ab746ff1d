// OBJ reader: vertices (optionally with colours) and polygon faces; every other geometry
// statement is refused rather than silently dropped.
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "MeshIO.h"
#include "MeshIOInternal.h"

namespace velmora::io {
namespace {

using detail::parseNumber;
using detail::quoted;

// Splits a line into whitespace-separated tokens; '#' starts a comment that runs to the line's end.
struct Tokens {
    std::vector<std::string_view> items;
    void split(std::string_view line) {
        items.clear();
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\f' || line[i] == '\v')) ++i;
            if (i >= line.size() || line[i] == '#') break;
            const std::size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\f' && line[i] != '\v' && line[i] != '#') ++i;
            items.push_back(line.substr(start, i - start));
        }
    }
};

bool isIgnored(std::string_view keyword) {
    static constexpr std::array<std::string_view, 7> kIgnored = {"vn", "vt", "g", "o", "s", "usemtl", "mtllib"};
    for (std::string_view k : kIgnored) {
        if (keyword == k) return true;
    }
    return false;
}

}  // namespace

bool readObj(std::string_view data, const std::string& name, Mesh& mesh, std::string& error) {
    std::vector<Point3> verts;
    std::vector<Point3> colours;
    std::vector<Face> faces;
    int coloursState = -1;  // -1 unknown until the first vertex, then 0 (none) or 1 (every vertex)
    std::vector<std::uint32_t> polygon;
    Tokens tok;
    std::size_t lineNo = 0;
    std::size_t pos = 0;

    auto fail = [&](const std::string& what) {
        error = name + ":" + std::to_string(lineNo) + ": " + what;
        return false;
    };

    while (pos < data.size()) {
        std::size_t eol = data.find('\n', pos);
        if (eol == std::string_view::npos) eol = data.size();
        const std::string_view line = data.substr(pos, eol - pos);
        pos = eol + 1;
        ++lineNo;
        tok.split(line);
        if (tok.items.empty()) continue;
        const std::string_view key = tok.items[0];

        if (key == "v") {
            const std::size_t n = tok.items.size() - 1;
            if (n != 3 && n != 6) {
                return fail("vertex needs 3 coordinates, or 3 coordinates and 3 colour components (r g b); got " +
                            std::to_string(n) + " values");
            }
            std::array<float, 6> val{};
            for (std::size_t i = 0; i < n; ++i) {
                if (!parseNumber(tok.items[i + 1], val[i])) {
                    return fail("malformed number " + quoted(tok.items[i + 1]) + " in vertex " +
                                std::to_string(verts.size() + 1));
                }
                if (!std::isfinite(val[i])) {
                    return fail(std::string(i < 3 ? "non-finite coordinate " : "non-finite colour component ") +
                                quoted(tok.items[i + 1]) + " in vertex " + std::to_string(verts.size() + 1));
                }
            }
            const int hasColour = n == 6 ? 1 : 0;
            if (coloursState == -1) coloursState = hasColour;
            if (coloursState != hasColour) {
                return fail("vertex " + std::to_string(verts.size() + 1) +
                            (hasColour ? " has a colour but the vertices before it have none"
                                       : " has no colour but the vertices before it have one") +
                            " (colours must be on every vertex or on none)");
            }
            if (verts.size() >= detail::kMaxCount) return fail("too many vertices");
            verts.emplace_back(val[0], val[1], val[2]);
            if (hasColour) colours.emplace_back(val[3], val[4], val[5]);
        } else if (key == "f") {
            const std::size_t n = tok.items.size() - 1;
            if (n < 3) return fail("face needs at least 3 vertices; got " + std::to_string(n));
            polygon.clear();
            for (std::size_t i = 1; i <= n; ++i) {
                const std::string_view ref = tok.items[i];
                // "v", "v/vt", "v//vn" or "v/vt/vn": the vertex index is the first part; the
                // others must be integers or empty (only in the middle), but are not used.
                const std::size_t slash = ref.find('/');
                const std::string_view vpart = ref.substr(0, slash);
                std::int64_t idx = 0;
                if (!parseNumber(vpart, idx)) return fail("malformed vertex index " + quoted(ref) + " in face");
                if (slash != std::string_view::npos) {
                    const std::string_view rest = ref.substr(slash + 1);
                    const std::size_t slash2 = rest.find('/');
                    const std::string_view tpart = rest.substr(0, slash2);
                    std::int64_t unused = 0;
                    bool ok = tpart.empty() ? slash2 != std::string_view::npos : parseNumber(tpart, unused);
                    if (ok && slash2 != std::string_view::npos) ok = parseNumber(rest.substr(slash2 + 1), unused);
                    if (!ok) return fail("malformed vertex reference " + quoted(ref) + " in face");
                }
                const auto count = static_cast<std::int64_t>(verts.size());
                std::int64_t resolved = 0;
                if (idx > 0) {
                    resolved = idx - 1;
                } else if (idx < 0) {
                    resolved = count + idx;  // -1 is the vertex defined last before this line
                } else {
                    return fail("vertex index 0 in face (indices start at 1)");
                }
                if (resolved < 0 || resolved >= count) {
                    return fail("vertex index " + std::to_string(idx) + " out of range (" + std::to_string(count) +
                                " vertices defined before this line)");
                }
                polygon.push_back(static_cast<std::uint32_t>(resolved));
            }
            if (faces.size() + (n - 2) > detail::kMaxCount) return fail("too many faces");
            for (std::size_t i = 1; i + 1 < polygon.size(); ++i) {
                Face f;
                f.v[0] = polygon[0];
                f.v[1] = polygon[i];
                f.v[2] = polygon[i + 1];
                faces.push_back(f);
            }
        } else if (!isIgnored(key)) {
            return fail("unsupported statement " + quoted(key));
        }
    }

    if (verts.empty()) {
        error = name + ": empty mesh: no vertices";
        return false;
    }
    if (faces.empty()) {
        error = name + ": empty mesh: no faces";
        return false;
    }
    detail::commitMesh(std::move(verts), std::move(faces), coloursState == 1 ? &colours : nullptr, mesh);
    return true;
}

}  // namespace velmora::io
