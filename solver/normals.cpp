// Face normals of the current positions, and their per-vertex sums for the pressure.
#include <algorithm>
#include <bit>
#include <cstdint>

#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"
#include "solver/WideBlocks.h"

namespace {
using namespace velmora::solver;

constexpr int kBlock = 64;

// Edge vectors of a block of faces, one float per face and coordinate, then the normals.
struct FaceBlock {
    Float4 u[kBlock], v[kBlock];  // corner1 - corner0 and corner2 - corner0, as loaded
    float ux[kBlock], uy[kBlock], uz[kBlock];
    float vx[kBlock], vy[kBlock], vz[kBlock];
    std::uint32_t inRange[kBlock];
};
static_assert(kBlock % 16 == 0, "edge vectors are split four or sixteen faces at a time");

// faceUnitNormal lane by lane, branch-free so that it vectorises: u x v divided by its length,
// zero for a zero or non-finite length or a corner outside the vertex array. Written straight
// into the normals of the block's faces.
VELMORA_TARGET_CLONES void normalsOfBlock(int count, const FaceBlock& k, Point3* out) {
    for (int i = 0; i < count; ++i) {
        const float ux = k.ux[i], uy = k.uy[i], uz = k.uz[i];
        const float vx = k.vx[i], vy = k.vy[i], vz = k.vz[i];
        const float x = uy * vz - uz * vy, y = uz * vx - ux * vz, z = ux * vy - uy * vx;
        const float l = std::sqrt(x * x + y * y + z * z);
        const bool finite = (std::bit_cast<std::uint32_t>(l) & 0x7f800000u) != 0x7f800000u;
        const bool use = (l > 0.0f) & finite & (k.inRange[i] != 0u);
        out[i].x = velmora::solver::detail::select(use, x / l, 0.0f);
        out[i].y = velmora::solver::detail::select(use, y / l, 0.0f);
        out[i].z = velmora::solver::detail::select(use, z / l, 0.0f);
    }
}

struct EdgeVectors {
    Vec4 u, v;  // corner1 - corner0, corner2 - corner0
};

struct FaceLoader {
    const Face* faces;
    const Point3* positions;
    DWORD numVerts;
    int lastVertex;

    // The edge vectors of face f. A corner outside the vertex array has no normal, as the host
    // answers; such a face reads the first vertex instead and gets a zero normal (inRange 0).
    [[gnu::always_inline]] EdgeVectors edgeVectors(int f, std::uint32_t& inRange) const {
        const DWORD* v = faces[f].v;
        const DWORD highest = std::max(v[0], std::max(v[1], v[2]));
        if (highest < static_cast<DWORD>(lastVertex)) {
            // Every corner has a point after it: plain 16-byte loads.
            inRange = 1u;
            const Vec4 pa = loadPointFollowed(positions, static_cast<int>(v[0]));
            return {loadPointFollowed(positions, static_cast<int>(v[1])) - pa,
                    loadPointFollowed(positions, static_cast<int>(v[2])) - pa};
        }
        const bool in = highest < numVerts;
        inRange = in ? 1u : 0u;
        const int a = in ? static_cast<int>(v[0]) : 0;
        const int b = in ? static_cast<int>(v[1]) : 0;
        const int c = in ? static_cast<int>(v[2]) : 0;
        const Vec4 pa = loadPoint(positions, a, lastVertex);
        return {loadPoint(positions, b, lastVertex) - pa, loadPoint(positions, c, lastVertex) - pa};
    }
};

#if defined(VELMORA_HAS_WIDE_BLOCKS)
// Face i of the block into lane group kJ of u and v (left zero past count).
template <int kJ>
[[gnu::always_inline]] VELMORA_WIDE inline void loadFaceLane(const FaceLoader& loader, int begin, int count, int i,
                                                             FaceBlock& k, __m512& u, __m512& v) {
    if (i >= count) return;
    const EdgeVectors e = loader.edgeVectors(begin + i, k.inRange[i]);
    u = _mm512_insertf32x4(u, e.u.v, kJ);
    v = _mm512_insertf32x4(v, e.v.v, kJ);
}

struct FourFaces {
    __m512 u, v;
};

[[gnu::always_inline]] VELMORA_WIDE inline FourFaces loadFourFaces(const FaceLoader& loader, int begin, int count,
                                                                   int i, FaceBlock& k) {
    FourFaces f{_mm512_setzero_ps(), _mm512_setzero_ps()};
    loadFaceLane<0>(loader, begin, count, i, k, f.u, f.v);
    loadFaceLane<1>(loader, begin, count, i + 1, k, f.u, f.v);
    loadFaceLane<2>(loader, begin, count, i + 2, k, f.u, f.v);
    loadFaceLane<3>(loader, begin, count, i + 3, k, f.u, f.v);
    return f;
}

// The edge vectors of faces [begin, begin + count) into the block's per-coordinate arrays,
// sixteen faces at a time through AVX-512 permutes.
VELMORA_WIDE void loadFacesWide(const FaceLoader& loader, int begin, int count, FaceBlock& k) {
    for (int g = 0; g < count; g += 16) {
        const FourFaces f0 = loadFourFaces(loader, begin, count, g, k);
        const FourFaces f1 = loadFourFaces(loader, begin, count, g + 4, k);
        const FourFaces f2 = loadFourFaces(loader, begin, count, g + 8, k);
        const FourFaces f3 = loadFourFaces(loader, begin, count, g + 12, k);
        const __m512 u[4] = {f0.u, f1.u, f2.u, f3.u};
        const __m512 v[4] = {f0.v, f1.v, f2.v, f3.v};
        wide::splitSixteen(u, k.ux + g, k.uy + g, k.uz + g);
        wide::splitSixteen(v, k.vx + g, k.vy + g, k.vz + g);
    }
}
#endif

}  // namespace

void computeFaceNormals(ClothMouseProc& state) {
    using namespace velmora::solver;
    if (!stateMatchesMesh(state)) return;
    const Face* faces = state.mesh->faces.data();
    const Point3* positions = state.mesh->verts.data();
    const DWORD numVerts = static_cast<DWORD>(state.mesh->getNumVerts());
    const int lastVertex = state.mesh->getNumVerts() - 1;
    Point3* normals = state.faceNormals.data();
    if (numVerts == 0) {
        // Every corner is outside an empty vertex array: no face has a normal.
        for (Point3& n : state.faceNormals) n = Point3(0.0f, 0.0f, 0.0f);
        return;
    }
    // The host's face normal, inlined and taken a block at a time: the same arithmetic without a
    // call per face. The stage only reads positions, so faces run concurrently.
    const FaceLoader loader{faces, positions, numVerts, lastVertex};
#if defined(VELMORA_HAS_WIDE_BLOCKS)
    if (wideBlocksEnabled()) {
        concurrency::parallel_for_ranges(state.mesh->getNumFaces(), [=](int begin, int end) {
            FaceBlock k{};
            for (int blockBegin = begin; blockBegin < end; blockBegin += kBlock) {
                const int count = std::min(kBlock, end - blockBegin);
                loadFacesWide(loader, blockBegin, count, k);
                normalsOfBlock(count, k, normals + blockBegin);
            }
        });
        return;
    }
#endif
    concurrency::parallel_for_ranges(state.mesh->getNumFaces(), [=](int begin, int end) {
        FaceBlock k{};  // zeroed once: the split reads whole groups of four past a short last block
        for (int blockBegin = begin; blockBegin < end; blockBegin += kBlock) {
            const int count = std::min(kBlock, end - blockBegin);
            for (int i = 0; i < count; ++i) {
                const EdgeVectors e = loader.edgeVectors(blockBegin + i, k.inRange[i]);
                e.u.store(k.u[i]);
                e.v.store(k.v[i]);
            }
            for (int i = 0; i < count; i += 4) {
                deinterleave4(k.u + i, k.ux + i, k.uy + i, k.uz + i);
                deinterleave4(k.v + i, k.vx + i, k.vy + i, k.vz + i);
            }
            normalsOfBlock(count, k, normals + blockBegin);
        }
    });
}

void accumulateVertexNormals(ClothMouseProc& state) {
    if (!velmora::solver::stateMatchesMesh(state)) return;
    const std::vector<Face>& faces = state.mesh->faces;
    Point3* sums = state.vertexNormals.data();
    const Point3* normals = state.faceNormals.data();
    // Faces share vertices, so this runs on the calling thread, in face order.
    const std::size_t numFaces = faces.size();
    for (std::size_t f = 0; f < numFaces; ++f) {
        for (int k = 0; k < 3; ++k) sums[faces[f].v[k]] += normals[f];
    }
}
