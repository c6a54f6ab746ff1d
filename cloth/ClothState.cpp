#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "cloth/ClothMouseProc.h"
#include "sdk/AdjEdgeList.h"
#include "sdk/HostRelease.h"
#include "solver/EdgeResponseScale.h"
#include "solver/ElementMath.h"

namespace {

// The edge's length. Where the squares overflow (coordinates beyond about 1e19) the vector is
// scaled first, so a length that fits in a float is stored finite; the solver then leaves such an
// edge out while its current length overflows.
float restLengthOf(const Point3& d) {
    const float plain = Length(d);
    if (std::isfinite(plain) || !(std::isfinite(d.x) && std::isfinite(d.y) && std::isfinite(d.z))) return plain;
    const float m = std::fmax(std::fabs(d.x), std::fmax(std::fabs(d.y), std::fabs(d.z)));
    return m * Length(d / m);
}
// Asks the kernel to back a large fresh allocation with huge pages before it is first touched:
// filling a million-vertex state page by page costs more in page faults than in the filling.
// Only a hint; nothing changes when the system declines it.
void preferHugePages(void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t kPage = 4096;
    constexpr std::size_t kWorthIt = std::size_t{4} << 20;
    if (bytes < kWorthIt) return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kPage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

// Drops a vector's old storage and gives it n fresh entries of `value`.
template <class T>
void allocateFresh(std::vector<T>& v, std::size_t n, const T& value) {
    std::vector<T>().swap(v);
    v.reserve(n);
    preferHugePages(v.data(), n * sizeof(T));
    v.assign(n, value);
}

// Every face corner must name a vertex of the mesh: the solver indexes its per-vertex arrays
// with them and does not test them again.
void checkFaceIndices(const Mesh& mesh) {
    const int numVerts = mesh.getNumVerts();
    const int numFaces = mesh.getNumFaces();
    for (int f = 0; f < numFaces; ++f) {
        for (int k = 0; k < 3; ++k) {
            const DWORD v = mesh.faces[static_cast<std::size_t>(f)].v[k];
            if (v >= static_cast<DWORD>(numVerts)) {
                throw std::out_of_range("buildClothState: face " + std::to_string(f) + " corner " +
                                        std::to_string(k) + " refers to vertex " + std::to_string(v) +
                                        ", but the mesh has " + std::to_string(numVerts) + " vertices");
            }
        }
    }
}

float buildRadius(const Point3& ext) {
    // Mean extent, one fifth of it; each step rounded to single precision.
    const float sum = (ext.y + ext.x) + ext.z;
#if MAX_RELEASE >= 24000
    const float mean = sum / 3.0f;
    return mean / 5.0f;
#else
    const float mean = sum * 0.33333334f;
    return mean * 0.2f;
#endif
}

// Records per chunk of the edge stage: about 16 chunks, so a handful of threads share the work
// evenly, and chunks long enough that only a thin seam of vertices is shared between them.
int constraintChunkFor(std::size_t numConstraints) {
    constexpr std::size_t kTargetChunks = 16;
    constexpr std::size_t kMinChunk = 2048;
    const std::size_t chunk = std::max(kMinChunk, (numConstraints + kTargetChunks - 1) / kTargetChunks);
    return static_cast<int>(std::min<std::size_t>(chunk, INT_MAX));
}

// Calls visit(vertex) for each contribution of a record, in the order the edge stage makes them.
template <class Visit>
void forEachContribution(const EdgeConstraint& r, Visit&& visit) {
    visit(r.vert0);
    visit(r.vert1);
    if (r.openEdge) return;
    visit(r.opposite0);
    visit(r.opposite1);
    visit(r.vert0);
    visit(r.vert1);
}

void buildEdgeStageLayout(const std::vector<EdgeConstraint>& constraints, int numVerts, int numFaces,
                           ClothWorkspace& work) {
    const std::size_t numConstraints = constraints.size();
    // The records whose reads reach the last point or the last face normal, which have nothing
    // after them in memory.
    std::vector<int>().swap(work.lastElementRecords);
    for (std::size_t c = 0; c < numConstraints; ++c) {
        const EdgeConstraint& r = constraints[c];
        bool last = r.vert0 == numVerts - 1 || r.vert1 == numVerts - 1;
        if (!r.openEdge) {
            last = last || r.opposite1 == numVerts - 1 || r.face0 == numFaces - 1 || r.face1 == numFaces - 1;
        }
        if (last) work.lastElementRecords.push_back(static_cast<int>(c));
    }

    const int chunk = work.requestedChunk > 0 ? work.requestedChunk : constraintChunkFor(numConstraints);
    work.constraintChunk = chunk;

    // The first chunk that touches each vertex, and which vertices a later chunk touches too.
    constexpr int kNoChunk = -1;
    std::vector<int> firstChunk(static_cast<std::size_t>(numVerts), kNoChunk);
    allocateFresh(work.vertexShared, static_cast<std::size_t>(numVerts), std::uint8_t{0});
    for (std::size_t c = 0; c < numConstraints; ++c) {
        const int chunkIndex = static_cast<int>(c / static_cast<std::size_t>(chunk));
        forEachContribution(constraints[c], [&](int v) {
            int& first = firstChunk[static_cast<std::size_t>(v)];
            if (first == kNoChunk) first = chunkIndex;
            else if (first != chunkIndex) work.vertexShared[static_cast<std::size_t>(v)] = 1;
        });
    }
    // A contribution takes a slot when it comes from a chunk after its vertex's first one.
    const auto slotted = [&](std::size_t c, int v) {
        return firstChunk[static_cast<std::size_t>(v)] != static_cast<int>(c / static_cast<std::size_t>(chunk));
    };

    // Roles and slot counts per record and per vertex.
    allocateFresh(work.constraintSlotBase, numConstraints, 0);
    allocateFresh(work.constraintSharedRoles, numConstraints, std::uint8_t{0});
    std::vector<int> slotsOfVertex(static_cast<std::size_t>(numVerts), 0);
    std::size_t slotCount = 0;
    for (std::size_t c = 0; c < numConstraints; ++c) {
        if (slotCount > static_cast<std::size_t>(INT_MAX) - 6) {
            throw std::length_error("buildClothState: " + std::to_string(numConstraints) +
                                    " edges are more than the edge stage can index");
        }
        work.constraintSlotBase[c] = static_cast<int>(slotCount);
        unsigned role = 0;
        unsigned roles = 0;
        forEachContribution(constraints[c], [&](int v) {
            if (slotted(c, v)) {
                roles |= 1u << role;
                ++slotCount;
                ++slotsOfVertex[static_cast<std::size_t>(v)];
            }
            ++role;
        });
        const EdgeConstraint& r = constraints[c];
        if (!r.openEdge && (r.opposite0 == r.vert0 || r.opposite0 == r.vert1 || r.opposite1 == r.vert0 ||
                            r.opposite1 == r.vert1)) {
            roles |= ClothWorkspace::kCornerOnEdge;
        }
        work.constraintSharedRoles[c] = static_cast<std::uint8_t>(roles);
    }
    allocateFresh(work.edgeSlots, slotCount, Float4{});

    // Slots grouped by vertex (offsets by a counting pass), each vertex's in record order; every
    // slotted contribution learns its slot's position.
    std::vector<int>().swap(work.sharedVertices);
    allocateFresh(work.vertexSlotOffsets, static_cast<std::size_t>(numVerts) + 1, 0);
    for (int v = 0; v < numVerts; ++v) {
        const std::size_t i = static_cast<std::size_t>(v);
        if (work.vertexShared[i]) work.sharedVertices.push_back(v);
        work.vertexSlotOffsets[i + 1] = work.vertexSlotOffsets[i] + slotsOfVertex[i];
    }
    allocateFresh(work.slotPositions, slotCount, 0);
    std::vector<int> cursor(work.vertexSlotOffsets.begin(), work.vertexSlotOffsets.end() - 1);
    std::size_t next = 0;
    for (std::size_t c = 0; c < numConstraints; ++c) {
        forEachContribution(constraints[c], [&](int v) {
            if (!slotted(c, v)) return;
            work.slotPositions[next++] = cursor[static_cast<std::size_t>(v)]++;
        });
    }
}
// Edge-record counts and the scales of the edge response for the current settings; the arrays
// are sized here so that a change of settings later refills them without allocating.
void buildEdgeScales(const std::vector<EdgeConstraint>& constraints, int numVerts, const BrushSettings& settings,
                     ClothWorkspace& work) {
    const std::size_t n = static_cast<std::size_t>(numVerts);
    allocateFresh(work.edgeRecordCount, n, 0);
    for (const EdgeConstraint& r : constraints) {
        ++work.edgeRecordCount[static_cast<std::size_t>(r.vert0)];
        ++work.edgeRecordCount[static_cast<std::size_t>(r.vert1)];
    }
    allocateFresh(work.edgeScale, n, 1.0f);
    allocateFresh(work.scaledVertices, n, 0);
    allocateFresh(work.heldDeltas, n, Float4{});
    work.scaledCount = 0;
    work.scalesValid = false;
    if (settings.iterations <= 0) return;  // no solver call runs; the next one fills them
    const float step = 1.0f / static_cast<float>(settings.iterations);
    velmora::solver::fillEdgeScales(work, velmora::solver::stiffnessFor(settings.iterations, settings.clothStrength),
                                    step, settings.damping);
}
}  // namespace

void ClothMouseProc::buildClothState() {
    if (!mesh) throw std::invalid_argument("buildClothState: mesh is null");
    checkFaceIndices(*mesh);

    const int numVerts = mesh->getNumVerts();
    const int numFaces = mesh->getNumFaces();
    const std::vector<Point3>& P = mesh->verts;
    const Point3 zero(0.0f, 0.0f, 0.0f);

    mesh->buildBoundingBox();
    const Box3 box = mesh->getBoundingBox();
    const Point3 ext = box.pmax - box.pmin;
    brushRadius = buildRadius(ext);
    if (display) display->displayRadius = brushRadius;
    baseRadius = brushRadius;

    allocateFresh(faceNormals, static_cast<std::size_t>(numFaces), zero);
    allocateFresh(vertexNormals, static_cast<std::size_t>(numVerts), zero);
    allocateFresh(brushWeights, static_cast<std::size_t>(numVerts), 0.0f);
    allocateFresh(velocities, static_cast<std::size_t>(numVerts), zero);

#if MAX_RELEASE >= 24000
    AdjEdgeList edgeList(*mesh, 0);
#else
    AdjEdgeList edgeList(*mesh);
#endif
    const int numEdges = edgeList.edges.Count();
    std::vector<EdgeConstraint>().swap(constraints);
    constraints.reserve(static_cast<std::size_t>(numEdges));
    preferHugePages(constraints.data(), constraints.capacity() * sizeof(EdgeConstraint));
    for (int i = 0; i < numEdges; ++i) {
        const MEdge& edge = edgeList.edges[i];
        const int a = static_cast<int>(edge.v[0]);
        const int b = static_cast<int>(edge.v[1]);
        const DWORD f0 = edge.f[0];
        const DWORD f1 = edge.f[1];
        EdgeConstraint record;
        record.restLength = restLengthOf(P[a] - P[b]);
        record.vert0 = a;
        record.vert1 = b;
        // A face index outside the mesh cannot come from the host; it is read as a missing face.
        const bool twoFaces = f1 != UNDEFINED && f0 < static_cast<DWORD>(numFaces) &&
                              f1 < static_cast<DWORD>(numFaces);
        if (!twoFaces) {
            record.openEdge = true;
            constraints.push_back(record);
            continue;
        }
        const Face& face0 = mesh->faces[f0];
        const Face& face1 = mesh->faces[f1];
        int opposite0 = 0;
        int opposite1 = 0;
        for (int k = 0; k < 3; ++k) {
            const int c0 = static_cast<int>(face0.v[k]);
            const int c1 = static_cast<int>(face1.v[k]);
            if (c0 != a && c0 != b) opposite0 = c0;
            if (c1 != a && c1 != b) opposite1 = c1;
        }
        const Point3 n0 = mesh->FaceNormal(static_cast<int>(f0), true);
        const Point3 n1 = mesh->FaceNormal(static_cast<int>(f1), true);
        const Point3 u = Normalize(P[b] - P[a]);
        record.openEdge = false;
        record.face0 = static_cast<int>(f0);
        record.face1 = static_cast<int>(f1);
        record.opposite0 = opposite0;
        record.opposite1 = opposite1;
        record.restAngle = velmora::solver::signedDihedralAngle(n0, n1, P[opposite1] - P[a], u);
        constraints.push_back(record);
    }

    allocateFresh(deltas, static_cast<std::size_t>(numVerts), zero);
    allocateFresh(work.accum, static_cast<std::size_t>(numVerts), Float4{});
    buildEdgeStageLayout(constraints, numVerts, numFaces, work);
    buildEdgeScales(constraints, numVerts, settings, work);
    // The stroke guard copies these before every drag event; sized here so that no event allocates.
    allocateFresh(guard.positions, static_cast<std::size_t>(numVerts), zero);
    allocateFresh(guard.velocities, static_cast<std::size_t>(numVerts), zero);
    allocateFresh(guard.mask, static_cast<std::size_t>(numVerts), 0.0f);
    allocateFresh(guard.restLengths, constraints.size(), 0.0f);
    allocateFresh(guard.restAngles, constraints.size(), 0.0f);

    initMask();
}
