#pragma once
// Helpers shared by the mesh readers and the writer; not part of the library's interface.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "sdk/Mesh.h"

namespace velmora::io::detail {

// The largest vertex or face count a Mesh can hold (its counts are int).
inline constexpr std::uint64_t kMaxCount = static_cast<std::uint64_t>(std::numeric_limits<int>::max());

// from_chars takes no leading '+', which some writers emit; it is accepted here.
// Parses the whole of `s` as one number (float, double or integer). An out-of-range value, trailing
// text or an empty token fails.
template <typename T>
bool parseNumber(std::string_view s, T& out) {
    if (s.size() > 1 && s.front() == '+' && s[1] != '-' && s[1] != '+') s.remove_prefix(1);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

// Quotes a token for a message, cut short and with control bytes shown as '?', so that a
// binary file fed to a text reader still gives a readable one-line message.
inline std::string quoted(std::string_view s) {
    constexpr std::size_t kMaxShown = 40;
    std::string r = "'";
    for (std::size_t i = 0; i < s.size() && i < kMaxShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        r += (c < 0x20 || c >= 0x7f) ? '?' : static_cast<char>(c);
    }
    if (s.size() > kMaxShown) r += "...";
    r += "'";
    return r;
}

// Moves a parsed mesh into `mesh`. With colours (one per vertex), map channel 0 gets one colour
// vertex per mesh vertex and colour faces equal to the geometry faces.
void commitMesh(std::vector<Point3>&& verts, std::vector<Face>&& faces,
                std::vector<Point3>* colours, Mesh& mesh);

// Serialises `mesh` as "obj" text or binary little-endian "ply" into `out`; false with `what`
// (no path) when the mesh could not be read back. Used by writeMesh and by the fuzzers.
bool encodeMesh(std::string_view kind, const Mesh& mesh, std::string& out, std::string& what);

}  // namespace velmora::io::detail
