#include "sdk/AdjEdgeList.h"

#include <cstdint>
#include <vector>

namespace {
// Sides are numbered s = 3 f + k (k = 0, 1, 2 for sides (0,1), (1,2), (2,0)), so side order is
// first-appearance order. Sides are bucketed by their smaller vertex (a counting sort keeps side
// order inside a bucket); inside a bucket, a per-vertex slot holds the record still open for each
// larger vertex. Records are created out of order and finally emitted in the order of the side
// that opened them. Every step is linear in faces plus vertices.
void buildEdges(const Mesh& mesh, Tab<MEdge>& edges) {
    edges.ZeroCount();
    const std::size_t nf = mesh.faces.size();
    const std::size_t nv = mesh.verts.size();
    if (nf == 0 || nv == 0) return;
    const std::size_t numSides = 3 * nf;
    const DWORD nvd = static_cast<DWORD>(nv);
    constexpr std::uint32_t kNone = 0xffffffffu;

    auto sideVerts = [&](std::size_t s, DWORD& a, DWORD& b) {
        const Face& face = mesh.faces[s / 3];
        const std::size_t k = s % 3;
        a = face.v[k];
        b = face.v[k == 2 ? 0 : k + 1];
    };
    // A side with a corner outside the vertex array, or whose two corners coincide, makes no edge.
    auto usable = [&](DWORD a, DWORD b) { return a != b && a < nvd && b < nvd; };

    std::vector<std::uint32_t> start(nv + 1, 0);
    for (std::size_t s = 0; s < numSides; ++s) {
        DWORD a, b;
        sideVerts(s, a, b);
        if (usable(a, b)) ++start[(a < b ? a : b) + 1];
    }
    for (std::size_t i = 0; i < nv; ++i) start[i + 1] += start[i];
    const std::size_t numUsable = start[nv];
    std::vector<std::uint32_t> bucket(numUsable);
    {
        std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
        for (std::size_t s = 0; s < numSides; ++s) {
            DWORD a, b;
            sideVerts(s, a, b);
            if (usable(a, b)) bucket[fill[a < b ? a : b]++] = static_cast<std::uint32_t>(s);
        }
    }

    // recordOfSide[s]: the record that side s opened (kNone when it opened none).
    std::vector<std::uint32_t> recordOfSide(numSides, kNone);
    std::vector<MEdge> records;
    records.reserve(numUsable / 2 + 1);
    std::vector<std::uint32_t> openRecord(nv, kNone);
    for (std::size_t lo = 0; lo < nv; ++lo) {
        const std::uint32_t b0 = start[lo], b1 = start[lo + 1];
        for (std::uint32_t i = b0; i < b1; ++i) {
            const std::uint32_t s = bucket[i];
            DWORD a, b;
            sideVerts(s, a, b);
            const DWORD hi = a < b ? b : a;
            const DWORD face = static_cast<DWORD>(s / 3);
            std::uint32_t& open = openRecord[hi];
            if (open == kNone) {
                MEdge e;
                e.v[0] = a;
                e.v[1] = b;
                e.f[0] = face;
                open = static_cast<std::uint32_t>(records.size());
                recordOfSide[s] = open;
                records.push_back(e);
            } else {
                records[open].f[1] = face;
                open = kNone;
            }
        }
        for (std::uint32_t i = b0; i < b1; ++i) {
            DWORD a, b;
            sideVerts(bucket[i], a, b);
            openRecord[a < b ? b : a] = kNone;
        }
    }

    edges.SetCount(static_cast<int>(records.size()));
    MEdge* out = edges.data();
    std::size_t n = 0;
    for (std::size_t s = 0; s < numSides; ++s) {
        if (recordOfSide[s] != kNone) out[n++] = records[recordOfSide[s]];
    }
}
}  // namespace

#if MAX_RELEASE >= 24000
AdjEdgeList::AdjEdgeList(Mesh& mesh, int /*flags*/) { buildEdges(mesh, edges); }
#else
AdjEdgeList::AdjEdgeList(Mesh& mesh) { buildEdges(mesh, edges); }
#endif
