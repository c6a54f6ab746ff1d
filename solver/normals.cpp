// Face normals of the current positions, and their per-vertex sums for the pressure.
#include <algorithm>
#include <bit>
#include <cstdint>

#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"

namespace {

constexpr int kBlock = 64;

// Corner positions of a block of faces, one float per face and coordinate, then the normals.
struct FaceBlock {
    float ax[kBlock], ay[kBlock], az[kBlock];
    float bx[kBlock], by[kBlock], bz[kBlock];
    float cx[kBlock], cy[kBlock], cz[kBlock];
    std::uint32_t inRange[kBlock];
    float nx[kBlock], ny[kBlock], nz[kBlock];
};

// faceUnitNormal lane by lane, branch-free so that it vectorises: (b - a) x (c - a) divided by
// its length, zero for a zero or non-finite length or a corner outside the vertex array.
VELMORA_TARGET_CLONES void normalsOfBlock(int count, FaceBlock& k) {
    for (int i = 0; i < count; ++i) {
        const float ux = k.bx[i] - k.ax[i], uy = k.by[i] - k.ay[i], uz = k.bz[i] - k.az[i];
        const float vx = k.cx[i] - k.ax[i], vy = k.cy[i] - k.ay[i], vz = k.cz[i] - k.az[i];
        const float x = uy * vz - uz * vy, y = uz * vx - ux * vz, z = ux * vy - uy * vx;
        const float l = std::sqrt(x * x + y * y + z * z);
        const bool finite = (std::bit_cast<std::uint32_t>(l) & 0x7f800000u) != 0x7f800000u;
        const bool use = (l > 0.0f) & finite & (k.inRange[i] != 0u);
        k.nx[i] = velmora::solver::detail::select(use, x / l, 0.0f);
        k.ny[i] = velmora::solver::detail::select(use, y / l, 0.0f);
        k.nz[i] = velmora::solver::detail::select(use, z / l, 0.0f);
    }
}

}  // namespace

void computeFaceNormals(ClothMouseProc& state) {
    using namespace velmora::solver;
    if (!stateMatchesMesh(state)) return;
    const Face* faces = state.mesh->faces.data();
    const Point3* positions = state.mesh->verts.data();
    const DWORD numVerts = static_cast<DWORD>(state.mesh->getNumVerts());
    Point3* normals = state.faceNormals.data();
    // The host's face normal, inlined and taken a block at a time: the same arithmetic without a
    // call per face. The stage only reads positions, so faces run concurrently.
    concurrency::parallel_for_ranges(state.mesh->getNumFaces(), [=](int begin, int end) {
        FaceBlock k;
        for (int blockBegin = begin; blockBegin < end; blockBegin += kBlock) {
            const int count = std::min(kBlock, end - blockBegin);
            for (int i = 0; i < count; ++i) {
                const DWORD* v = faces[blockBegin + i].v;
                // A corner outside the vertex array has no normal, as the host answers; such a
                // face reads its own first corner in range or none at all.
                const bool inRange = v[0] < numVerts && v[1] < numVerts && v[2] < numVerts;
                k.inRange[i] = inRange ? 1u : 0u;
                const Point3 zero(0.0f, 0.0f, 0.0f);
                const Point3 a = inRange ? positions[v[0]] : zero;
                const Point3 b = inRange ? positions[v[1]] : zero;
                const Point3 c = inRange ? positions[v[2]] : zero;
                k.ax[i] = a.x, k.ay[i] = a.y, k.az[i] = a.z;
                k.bx[i] = b.x, k.by[i] = b.y, k.bz[i] = b.z;
                k.cx[i] = c.x, k.cy[i] = c.y, k.cz[i] = c.z;
            }
            normalsOfBlock(count, k);
            for (int i = 0; i < count; ++i) normals[blockBegin + i] = Point3(k.nx[i], k.ny[i], k.nz[i]);
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
