#include "sdk/AdjEdgeList.h"

#include <cstdint>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {
// Sides are numbered s = 3 f + k (k = 0, 1, 2 for sides (0,1), (1,2), (2,0)), so side order is
// first-appearance order. A counting sort buckets the sides by their smaller vertex, keeping side
// order inside each bucket, with the larger vertex stored alongside so that matching never goes
// back to the faces. Inside a bucket a per-vertex slot holds the side whose record is still open
// for each larger vertex: the next side with that vertex fills it, the one after opens a new
// record. Finally the opening sides are emitted in side order. Linear in faces plus vertices.
struct BucketEntry {
    std::uint32_t hi;
    std::uint32_t side;
};

// A vector of n copies of `value` whose storage the kernel is asked to back with huge pages
// before it is first touched: for a million-vertex mesh the page faults of these tables cost
// more than filling them. Only a hint; nothing changes when the system declines it.
template <class T>
std::vector<T> freshTable(std::size_t n, const T& value) {
    std::vector<T> v;
    v.reserve(n);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t kPage = 4096;
    const std::size_t bytes = n * sizeof(T);
    if (bytes >= (std::size_t{4} << 20)) {
        const auto begin = (reinterpret_cast<std::uintptr_t>(v.data()) + kPage - 1) & ~(kPage - 1);
        const auto end = (reinterpret_cast<std::uintptr_t>(v.data()) + bytes) & ~(kPage - 1);
        if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
#endif
    v.assign(n, value);
    return v;
}

constexpr std::uint32_t kNone = 0xffffffffu;
constexpr std::uint32_t kNotOpener = 0xfffffffeu;

void buildEdges(const Mesh& mesh, Tab<MEdge>& edges) {
    edges.ZeroCount();
    const std::size_t nf = mesh.faces.size();
    const std::size_t nv = mesh.verts.size();
    // Side numbers and face indices must fit the 32-bit slots used below.
    if (nf == 0 || nv == 0 || nf > (kNotOpener - 1) / 3) return;
    const std::size_t numSides = 3 * nf;
    const DWORD nvd = static_cast<DWORD>(nv);
    const Face* faces = mesh.faces.data();

    // start[lo + 1] counts the usable sides whose smaller vertex is lo. A side with a corner
    // outside the vertex array, or whose two corners coincide, makes no edge.
    std::vector<std::uint32_t> start = freshTable<std::uint32_t>(nv + 1, 0);
    for (std::size_t f = 0; f < nf; ++f) {
        const DWORD* v = faces[f].v;
        for (int k = 0; k < 3; ++k) {
            const DWORD a = v[k], b = v[k == 2 ? 0 : k + 1];
            if (a != b && a < nvd && b < nvd) ++start[(a < b ? a : b) + 1];
        }
    }
    for (std::size_t i = 0; i < nv; ++i) start[i + 1] += start[i];

    std::vector<BucketEntry> bucket = freshTable<BucketEntry>(start[nv], BucketEntry{0, 0});
    {
        std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
        for (std::size_t f = 0; f < nf; ++f) {
            const DWORD* v = faces[f].v;
            for (int k = 0; k < 3; ++k) {
                const DWORD a = v[k], b = v[k == 2 ? 0 : k + 1];
                if (a == b || a >= nvd || b >= nvd) continue;
                const DWORD lo = a < b ? a : b, hi = a < b ? b : a;
                bucket[fill[lo]++] = {hi, static_cast<std::uint32_t>(3 * f + static_cast<std::size_t>(k))};
            }
        }
    }

    // partner[s]: kNotOpener for a side that opened no record, otherwise the second face of the
    // record it opened (UNDEFINED while it has none).
    std::vector<std::uint32_t> partner = freshTable<std::uint32_t>(numSides, kNotOpener);
    std::vector<std::uint32_t> openSide = freshTable<std::uint32_t>(nv, kNone);
    std::size_t numEdges = 0;
    for (std::size_t lo = 0; lo < nv; ++lo) {
        const std::uint32_t b0 = start[lo], b1 = start[lo + 1];
        for (std::uint32_t i = b0; i < b1; ++i) {
            const BucketEntry e = bucket[i];
            std::uint32_t& open = openSide[e.hi];
            if (open == kNone) {
                open = e.side;
                partner[e.side] = UNDEFINED;
                ++numEdges;
            } else {
                partner[open] = e.side / 3;
                open = kNone;
            }
        }
        for (std::uint32_t i = b0; i < b1; ++i) openSide[bucket[i].hi] = kNone;
    }

    edges.SetCount(static_cast<int>(numEdges));
    MEdge* out = edges.data();
    std::size_t n = 0;
    for (std::size_t s = 0; s < numSides; ++s) {
        if (partner[s] == kNotOpener) continue;
        const DWORD* v = faces[s / 3].v;
        const std::size_t k = s % 3;
        MEdge& e = out[n++];
        e.v[0] = v[k];
        e.v[1] = v[k == 2 ? 0 : k + 1];
        e.f[0] = static_cast<DWORD>(s / 3);
        e.f[1] = partner[s];
    }
}
}  // namespace

#if MAX_RELEASE >= 24000
AdjEdgeList::AdjEdgeList(Mesh& mesh, int /*flags*/) { buildEdges(mesh, edges); }
#else
AdjEdgeList::AdjEdgeList(Mesh& mesh) { buildEdges(mesh, edges); }
#endif
