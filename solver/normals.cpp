// Face normals of the current positions, and their per-vertex sums for the pressure.
#include <algorithm>
#include <bit>
#include <cstdint>

#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"

namespace {

constexpr int kBlock = 64;

// Edge vectors of a block of faces, one float per face and coordinate, then the normals.
struct FaceBlock {
    Float4 u[kBlock], v[kBlock];  // corner1 - corner0 and corner2 - corner0, as loaded
    float ux[kBlock], uy[kBlock], uz[kBlock];
    float vx[kBlock], vy[kBlock], vz[kBlock];
    std::uint32_t inRange[kBlock];
};
static_assert(kBlock % 4 == 0, "edge vectors are split four faces at a time");

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
    concurrency::parallel_for_ranges(state.mesh->getNumFaces(), [=](int begin, int end) {
        FaceBlock k{};  // zeroed once: the split reads whole groups of four past a short last block
        for (int blockBegin = begin; blockBegin < end; blockBegin += kBlock) {
            const int count = std::min(kBlock, end - blockBegin);
            for (int i = 0; i < count; ++i) {
                const DWORD* v = faces[blockBegin + i].v;
                // A corner outside the vertex array has no normal, as the host answers; such a
                // face reads the first vertex instead and gets a zero normal.
                const bool inRange = v[0] < numVerts && v[1] < numVerts && v[2] < numVerts;
                k.inRange[i] = inRange ? 1u : 0u;
                const int a = inRange ? static_cast<int>(v[0]) : 0;
                const int b = inRange ? static_cast<int>(v[1]) : 0;
                const int c = inRange ? static_cast<int>(v[2]) : 0;
                const Vec4 pa = loadPoint(positions, a, lastVertex);
                (loadPoint(positions, b, lastVertex) - pa).store(k.u[i]);
                (loadPoint(positions, c, lastVertex) - pa).store(k.v[i]);
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
