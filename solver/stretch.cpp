// The edge stage: stretch toward the rest length, and bending for two-face edges.
//
// Records run in blocks of kBlock. Each block's records' positions and normals are split into
// plain per-quantity arrays; branch-free loops the compiler vectorises compute every record's
// stretch, angle, bending pushes and new rest angle from those arrays; then the contributions are
// added into the solver's accumulator (or slots) in record order. The splitting and the taking
// back run four records at a time, or sixteen where the processor has AVX-512 (runChunkWide).
// Every record's arithmetic is that of the formulas in ElementMath.h, operation for operation,
// so the sums are the serial loop's to the bit.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"
#include "solver/Vec4.h"
#include "solver/WideBlocks.h"

namespace velmora::solver {
namespace {

constexpr int kBlock = 64;

// One float per record of the block for every input quantity, then the results; the four
// contributions of each record as Float4, ready to be added with one vector instruction each.
struct BlockScratch {
    // Loaded a vector at a time; the fourth lane holds whatever followed the point in memory and
    // is never read.
    Float4 d[kBlock];   // vert1 - vert0
    Float4 q[kBlock];   // opposite1 - vert0 (zero for an open edge)
    Float4 n0[kBlock];  // normal of face0 (zero for an open edge)
    Float4 n1[kBlock];  // normal of face1 (zero for an open edge)
    // The same, one float per record and coordinate, for the vectorised loops.
    float dx[kBlock], dy[kBlock], dz[kBlock];
    float qx[kBlock], qy[kBlock], qz[kBlock];
    float n0x[kBlock], n0y[kBlock], n0z[kBlock];
    float n1x[kBlock], n1y[kBlock], n1z[kBlock];
    float restLength[kBlock];
    float restAngle[kBlock];
    // Results.
    float length[kBlock];
    std::uint32_t valid[kBlock];  // the edge has a direction: it contributes this iteration
    std::uint32_t bends[kBlock];  // valid, two faces and two non-zero normals: bending runs
    float newAngle[kBlock];
    float sinAngle[kBlock], cosAngle[kBlock];
    float theta[kBlock];  // the angle between the normals, 0 to pi
    std::uint32_t below[kBlock];  // the far corner of face1 is behind face0: the angle is negative
    float sx[kBlock], sy[kBlock], sz[kBlock];     // stretch, added to vert0, subtracted from vert1
    float a0x[kBlock], a0y[kBlock], a0z[kBlock];  // push on opposite0, negated: added to it
    float a1x[kBlock], a1y[kBlock], a1z[kBlock];  // push on opposite1, negated: added to it
    float ex[kBlock], ey[kBlock], ez[kBlock];     // push added to vert0 and vert1
};

// The four contributions of one record, as the additions take them.
struct Contribution {
    Vec4 stretch;        // added to vert0, subtracted from vert1
    Vec4 pushOpposite0;  // added to opposite0
    Vec4 pushOpposite1;  // added to opposite1
    Vec4 pushEdge;       // added to vert0 and vert1
};
static_assert(kBlock % 16 == 0, "the contributions are interleaved four or sixteen records at a time");

// Contributions of a record none of whose vertices is shared: straight into the accumulator.
struct DirectSink {
    Float4* accum;
    void add(int v, Vec4 value) { addInto(accum[at(v)], value); }
    void skip(int) {}
};

// Contributions of a record with shared vertices: the k-th contribution goes into its slot when
// bit k of `roles` is set, else straight into the accumulator (see ClothWorkspace).
struct MixedSink {
    Float4* accum;
    Float4* slots;
    const int* positions;  // the record's slot positions, in the order of its contributions
    unsigned roles;
    unsigned role = 0;

    void add(int v, Vec4 value) {
        if (roles & (1u << role++)) {
            value.store(slots[at(*positions++)]);
        } else {
            addInto(accum[at(v)], value);
        }
    }
    // A contribution this iteration does not make: its slot, if it has one, still gets a zero,
    // which the gather adds without changing a bit (an accumulator is never -0 there).
    void skip(int) {
        if (roles & (1u << role++)) slots[*positions++] = Float4{};
    }
};

// 1 for a finite value, 0 for an infinity or NaN; integer arithmetic, so the loops stay
// branch-free.
inline std::uint32_t finite(float v) {
    return static_cast<std::uint32_t>((std::bit_cast<std::uint32_t>(v) & 0x7f800000u) != 0x7f800000u);
}
inline std::uint32_t isZeroVector(float x, float y, float z) {
    return static_cast<std::uint32_t>(x == 0.0f) & static_cast<std::uint32_t>(y == 0.0f) &
           static_cast<std::uint32_t>(z == 0.0f);
}

struct EdgeStage {
    EdgeConstraint* records;
    const int* slotBase;
    const int* slotPositions;
    const std::uint8_t* sharedRoles;
    const Point3* positions;
    const Point3* normals;
    int lastVertex;  // index of the last position and of the last normal
    int lastFace;
    Float4* accum;
    Float4* slots;
    float stiffness;
    float bendiness;
    float plasticity;
    const int* lastElementRecords;  // ascending
    const int* lastElementRecordsEnd;

    // Whether one of records [begin, begin + count) reads the last point or face normal.
    bool readsLastElement(int begin, int count) const {
        const int* next = std::lower_bound(lastElementRecords, lastElementRecordsEnd, begin);
        return next != lastElementRecordsEnd && *next < begin + count;
    }

    // kChecked: the block may read the last point or face normal (see ClothWorkspace).
    template <bool kChecked>
    [[gnu::always_inline]] void loadBlock(int begin, int count, BlockScratch& b) const {
        for (int i = 0; i < count; ++i) {
            const EdgeConstraint& r = records[begin + i];
            const Vec4 p0 = loadPointIf<kChecked>(positions, r.vert0, lastVertex);
            (loadPointIf<kChecked>(positions, r.vert1, lastVertex) - p0).store(b.d[i]);
            b.restLength[i] = r.restLength;
            b.restAngle[i] = r.restAngle;
            // An open edge's face and corner fields carry no meaning and are never followed.
            if (!r.openEdge) {
                (loadPointIf<kChecked>(positions, r.opposite1, lastVertex) - p0).store(b.q[i]);
                loadPointIf<kChecked>(normals, r.face0, lastFace).store(b.n0[i]);
                loadPointIf<kChecked>(normals, r.face1, lastFace).store(b.n1[i]);
            } else {
                b.q[i] = Float4{};
                b.n0[i] = Float4{};
                b.n1[i] = Float4{};
            }
        }
        for (int i = 0; i < count; i += 4) {
            deinterleave4(b.d + i, b.dx + i, b.dy + i, b.dz + i);
            deinterleave4(b.q + i, b.qx + i, b.qy + i, b.qz + i);
            deinterleave4(b.n0 + i, b.n0x + i, b.n0y + i, b.n0z + i);
            deinterleave4(b.n1 + i, b.n1x + i, b.n1y + i, b.n1z + i);
        }
    }

    // edgeFrame, stretchCorrection and the parts of signedDihedralAngle around its arc tangent,
    // lane by lane. An open edge has zero normals here, so it never bends.
    VELMORA_TARGET_CLONES static void frameBlock(int count, float k, BlockScratch& b) {
        for (int i = 0; i < count; ++i) {
            const float dx = b.dx[i], dy = b.dy[i], dz = b.dz[i];
            const float length = std::sqrt(dx * dx + dy * dy + dz * dz);
            const float inv = 1.0f / length;
            b.length[i] = length;
            const float ux = dx * inv, uy = dy * inv, uz = dz * inv;
            const std::uint32_t valid = static_cast<std::uint32_t>(length > 0.0f) & finite(inv) & finite(length);
            const float stretch = length - b.restLength[i];
            b.sx[i] = ux * stretch * k;
            b.sy[i] = uy * stretch * k;
            b.sz[i] = uz * stretch * k;
            const float ax = b.n0x[i], ay = b.n0y[i], az = b.n0z[i];
            const float cx = b.n1x[i], cy = b.n1y[i], cz = b.n1z[i];
            const std::uint32_t nonZero = (isZeroVector(ax, ay, az) | isZeroVector(cx, cy, cz)) ^ 1u;
            const float crossX = ay * cz - az * cy, crossY = az * cx - ax * cz, crossZ = ax * cy - ay * cx;
            b.sinAngle[i] = std::sqrt(crossX * crossX + crossY * crossY + crossZ * crossZ);
            b.cosAngle[i] = ax * cx + ay * cy + az * cz;
            const float qx = b.qx[i], qy = b.qy[i], qz = b.qz[i];
            const float along = qx * ux + qy * uy + qz * uz;
            const float hx = qx - ux * along, hy = qy - uy * along, hz = qz - uz * along;
            b.below[i] = static_cast<std::uint32_t>((hx * ax + hy * ay + hz * az) < 0.0f);
            b.valid[i] = valid;
            b.bends[i] = valid & nonZero;
        }
    }

    // The arc tangent, lane by lane: a loop of its own, so that its constants stay in registers.
    VELMORA_TARGET_CLONES static void angleBlock(int count, BlockScratch& b) {
        for (int i = 0; i < count; ++i) b.theta[i] = atan2Exact(b.sinAngle[i], b.cosAngle[i]);
    }

    // bendTerms, lane by lane.
    VELMORA_TARGET_CLONES static void bendBlock(int count, float bendiness, float plasticity, BlockScratch& b) {
        for (int i = 0; i < count; ++i) {
            const float theta = b.theta[i];
            const float phi = detail::select(b.below[i] != 0u, -theta, theta);
            const float diff = phi - b.restAngle[i];
            // The push uses the rest angle from before the plasticity update.
            const float push = b.length[i] * bendiness * diff;
            float angle = b.restAngle[i] + plasticity * diff;
            angle = detail::select(angle > kBendAngleLimit, kBendAngleLimit, angle);
            angle = detail::select(angle < -kBendAngleLimit, -kBendAngleLimit, angle);
            b.newAngle[i] = angle;
            // The pushes on the far corners are subtracted: stored negated, which changes no bit.
            b.a0x[i] = -(b.n0x[i] * push), b.a0y[i] = -(b.n0y[i] * push), b.a0z[i] = -(b.n0z[i] * push);
            b.a1x[i] = -(b.n1x[i] * push), b.a1y[i] = -(b.n1y[i] * push), b.a1z[i] = -(b.n1z[i] * push);
            const float half = 0.5f * push;
            b.ex[i] = (b.n0x[i] + b.n1x[i]) * half;
            b.ey[i] = (b.n0y[i] + b.n1y[i]) * half;
            b.ez[i] = (b.n0z[i] + b.n1z[i]) * half;
        }
    }

    // applyEdgeRecord's additions for one record, from the block's results.
    template <class Sink>
    [[gnu::always_inline]] static void addRecord(EdgeConstraint& r, const BlockScratch& b, int i, const Contribution& k,
                                                 Sink& sink) {
        if (b.valid[i] == 0) {
            // Coincident vertices have no direction: the edge sits this iteration out.
            sink.skip(r.vert0);
            sink.skip(r.vert1);
            if (r.openEdge) return;
            sink.skip(r.opposite0);
            sink.skip(r.opposite1);
            sink.skip(r.vert0);
            sink.skip(r.vert1);
            return;
        }
        sink.add(r.vert0, k.stretch);
        sink.add(r.vert1, -k.stretch);
        if (r.openEdge) return;
        if (b.bends[i] == 0) {
            // A face of zero area has no angle: no push, no plasticity.
            sink.skip(r.opposite0);
            sink.skip(r.opposite1);
            sink.skip(r.vert0);
            sink.skip(r.vert1);
            return;
        }
        r.restAngle = b.newAngle[i];
        sink.add(r.opposite0, k.pushOpposite0);
        sink.add(r.opposite1, k.pushOpposite1);
        sink.add(r.vert0, k.pushEdge);
        sink.add(r.vert1, k.pushEdge);
    }

    void runChunk(int begin, int end) const {
        // A vector store may alias anything, so the members would be reloaded after every
        // addition; a local copy, which nothing else sees, stays in registers.
        const EdgeStage stage = *this;
        // Zeroed once: the interleaving reads whole groups of four past a short last block.
        BlockScratch b{};
        for (int blockBegin = begin; blockBegin < end; blockBegin += kBlock) {
            const int count = std::min(kBlock, end - blockBegin);
            if (stage.readsLastElement(blockBegin, count)) {
                stage.loadBlock<true>(blockBegin, count, b);
            } else {
                stage.loadBlock<false>(blockBegin, count, b);
            }
            frameBlock(count, stage.stiffness, b);
            angleBlock(count, b);
            bendBlock(count, stage.bendiness, stage.plasticity, b);
            stage.addBlock(blockBegin, count, b);
        }
    }

    // The additions of one record. The common case: a two-face record that bends, none of its
    // vertices shared with another chunk and its far corners distinct from the edge's ends
    // (roles 0, see ClothWorkspace). The edge's two sums stay in registers between their two
    // additions each; every vertex still receives its additions in record order.
    [[gnu::always_inline]] void addOne(int c, const BlockScratch& b, int i, const Contribution& k) const {
        EdgeConstraint& r = records[c];
        const unsigned roles = sharedRoles[c];
        if (roles == 0 && b.bends[i] != 0) {
            r.restAngle = b.newAngle[i];
            addInto(accum[at(r.opposite0)], k.pushOpposite0);
            addInto(accum[at(r.opposite1)], k.pushOpposite1);
            Float4& a0 = accum[at(r.vert0)];
            Float4& a1 = accum[at(r.vert1)];
            ((Vec4::load(a0) + k.stretch) + k.pushEdge).store(a0);
            ((Vec4::load(a1) + -k.stretch) + k.pushEdge).store(a1);
        } else if ((roles & ClothWorkspace::kSlotRoles) == 0) {
            DirectSink sink{accum};
            addRecord(r, b, i, k, sink);
        } else {
            MixedSink sink{accum, slots, slotPositions + slotBase[c], roles};
            addRecord(r, b, i, k, sink);
        }
    }

#if defined(VELMORA_HAS_WIDE_BLOCKS)
    // Record i of the block into lane group kJ of the four registers. kChecked: the block may be
    // short (registers left zero past it) or read the last point or face normal.
    template <int kJ, bool kChecked>
    [[gnu::always_inline]] VELMORA_WIDE void loadLane(int begin, int count, int i, BlockScratch& b, __m512& d,
                                                      __m512& q, __m512& n0, __m512& n1) const {
        if (kChecked && i >= count) return;
        const EdgeConstraint& r = records[begin + i];
        const Vec4 p0 = loadPointIf<kChecked>(positions, r.vert0, lastVertex);
        d = _mm512_insertf32x4(d, (loadPointIf<kChecked>(positions, r.vert1, lastVertex) - p0).v, kJ);
        b.restLength[i] = r.restLength;
        b.restAngle[i] = r.restAngle;
        if (!r.openEdge) {
            q = _mm512_insertf32x4(q, (loadPointIf<kChecked>(positions, r.opposite1, lastVertex) - p0).v, kJ);
            n0 = _mm512_insertf32x4(n0, loadPointIf<kChecked>(normals, r.face0, lastFace).v, kJ);
            n1 = _mm512_insertf32x4(n1, loadPointIf<kChecked>(normals, r.face1, lastFace).v, kJ);
        }
    }

    // The vectors of four records, record j in lanes 4j to 4j + 3.
    struct FourRecords {
        __m512 d, q, n0, n1;
    };

    template <bool kChecked>
    [[gnu::always_inline]] VELMORA_WIDE FourRecords loadFour(int begin, int count, int i, BlockScratch& b) const {
        FourRecords f{_mm512_setzero_ps(), _mm512_setzero_ps(), _mm512_setzero_ps(), _mm512_setzero_ps()};
        loadLane<0, kChecked>(begin, count, i, b, f.d, f.q, f.n0, f.n1);
        loadLane<1, kChecked>(begin, count, i + 1, b, f.d, f.q, f.n0, f.n1);
        loadLane<2, kChecked>(begin, count, i + 2, b, f.d, f.q, f.n0, f.n1);
        loadLane<3, kChecked>(begin, count, i + 3, b, f.d, f.q, f.n0, f.n1);
        return f;
    }

    // loadBlock sixteen records at a time: each record's vectors straight into registers of four
    // records, split into the per-quantity arrays with AVX-512 permutes.
    template <bool kChecked>
    [[gnu::always_inline]] VELMORA_WIDE void loadBlockWide(int begin, int count, BlockScratch& b) const {
        for (int g = 0; g < count; g += 16) {
            const FourRecords f0 = loadFour<kChecked>(begin, count, g, b);
            const FourRecords f1 = loadFour<kChecked>(begin, count, g + 4, b);
            const FourRecords f2 = loadFour<kChecked>(begin, count, g + 8, b);
            const FourRecords f3 = loadFour<kChecked>(begin, count, g + 12, b);
            const __m512 d[4] = {f0.d, f1.d, f2.d, f3.d};
            const __m512 q[4] = {f0.q, f1.q, f2.q, f3.q};
            const __m512 n0[4] = {f0.n0, f1.n0, f2.n0, f3.n0};
            const __m512 n1[4] = {f0.n1, f1.n1, f2.n1, f3.n1};
            wide::splitSixteen(d, b.dx + g, b.dy + g, b.dz + g);
            wide::splitSixteen(q, b.qx + g, b.qy + g, b.qz + g);
            wide::splitSixteen(n0, b.n0x + g, b.n0y + g, b.n0z + g);
            wide::splitSixteen(n1, b.n1x + g, b.n1y + g, b.n1z + g);
        }
    }

    template <int kJ>
    [[gnu::always_inline]] VELMORA_WIDE void addLane(int c, const BlockScratch& b, int i, __m512 s, __m512 a0,
                                                     __m512 a1, __m512 e) const {
        addOne(c, b, i,
               Contribution{{wide::element<kJ>(s)}, {wide::element<kJ>(a0)}, {wide::element<kJ>(a1)},
                            {wide::element<kJ>(e)}});
    }

    // The additions of the four records from record i of the block on (those before `count`).
    [[gnu::always_inline]] VELMORA_WIDE void addFour(int blockBegin, int count, int i, const BlockScratch& b,
                                                     __m512 s, __m512 a0, __m512 a1, __m512 e) const {
        const int n = count - i;
        if (n > 0) addLane<0>(blockBegin + i, b, i, s, a0, a1, e);
        if (n > 1) addLane<1>(blockBegin + i + 1, b, i + 1, s, a0, a1, e);
        if (n > 2) addLane<2>(blockBegin + i + 2, b, i + 2, s, a0, a1, e);
        if (n > 3) addLane<3>(blockBegin + i + 3, b, i + 3, s, a0, a1, e);
    }

    // addBlock sixteen records at a time.
    [[gnu::always_inline]] VELMORA_WIDE void addBlockWide(int blockBegin, int count, const BlockScratch& b) const {
        for (int g = 0; g < count; g += 16) {
            __m512 s[4], a0[4], a1[4], e[4];
            wide::joinSixteen(b.sx + g, b.sy + g, b.sz + g, s);
            wide::joinSixteen(b.a0x + g, b.a0y + g, b.a0z + g, a0);
            wide::joinSixteen(b.a1x + g, b.a1y + g, b.a1z + g, a1);
            wide::joinSixteen(b.ex + g, b.ey + g, b.ez + g, e);
            addFour(blockBegin, count, g, b, s[0], a0[0], a1[0], e[0]);
            addFour(blockBegin, count, g + 4, b, s[1], a0[1], a1[1], e[1]);
            addFour(blockBegin, count, g + 8, b, s[2], a0[2], a1[2], e[2]);
            addFour(blockBegin, count, g + 12, b, s[3], a0[3], a1[3], e[3]);
        }
    }

    VELMORA_WIDE void runChunkWide(int begin, int end) const {
        const EdgeStage stage = *this;  // in registers, as in runChunk
        BlockScratch b{};
        for (int blockBegin = begin; blockBegin < end; blockBegin += kBlock) {
            const int count = std::min(kBlock, end - blockBegin);
            if (count < kBlock || stage.readsLastElement(blockBegin, count)) {
                stage.loadBlockWide<true>(blockBegin, count, b);
            } else {
                stage.loadBlockWide<false>(blockBegin, count, b);
            }
            frameBlock(count, stage.stiffness, b);
            angleBlock(count, b);
            bendBlock(count, stage.bendiness, stage.plasticity, b);
            stage.addBlockWide(blockBegin, count, b);
        }
    }
#endif

    // The block's contributions, four records at a time from the per-quantity arrays into
    // registers, then added record by record.
    [[gnu::always_inline]] void addBlock(int blockBegin, int count, const BlockScratch& b) const {
        for (int g = 0; g < count; g += 4) {
            Vec4 s[4], a0[4], a1[4], e[4];
            interleave4(b.sx + g, b.sy + g, b.sz + g, s);
            interleave4(b.a0x + g, b.a0y + g, b.a0z + g, a0);
            interleave4(b.a1x + g, b.a1y + g, b.a1z + g, a1);
            interleave4(b.ex + g, b.ey + g, b.ez + g, e);
            const int n = std::min(4, count - g);
            for (int j = 0; j < 4; ++j) {
                if (j < n) addOne(blockBegin + g + j, b, g + j, Contribution{s[j], a0[j], a1[j], e[j]});
            }
        }
    }
};

}  // namespace

void applyEdgeChunks(ClothMouseProc& state, float stiffness) {
    const int numRecords = static_cast<int>(state.constraints.size());
    const int chunk = std::max(1, state.work.constraintChunk);
    const int numChunks = numRecords / chunk + (numRecords % chunk != 0 ? 1 : 0);
    const EdgeStage stage{state.constraints.data(),
                          state.work.constraintSlotBase.data(),
                          state.work.slotPositions.data(),
                          state.work.constraintSharedRoles.data(),
                          state.mesh->verts.data(),
                          state.faceNormals.data(),
                          state.mesh->getNumVerts() - 1,
                          state.mesh->getNumFaces() - 1,
                          state.work.accum.data(),
                          state.work.edgeSlots.data(),
                          stiffness,
                          state.settings.bendiness,
                          state.settings.plasticity,
                          state.work.lastElementRecords.data(),
                          state.work.lastElementRecords.data() + state.work.lastElementRecords.size()};
    // One chunk per index: a chunk's records run in index order on one thread, so the vertices it
    // owns receive their contributions in the serial order.
#if defined(VELMORA_HAS_WIDE_BLOCKS)
    if (wideBlocksEnabled()) {
        concurrency::parallel_for(0, numChunks, [&stage, chunk, numRecords](int chunkIndex) {
            const int begin = chunkIndex * chunk;
            stage.runChunkWide(begin, std::min(numRecords, begin + chunk));
        });
        return;
    }
#endif
    concurrency::parallel_for(0, numChunks, [&stage, chunk, numRecords](int chunkIndex) {
        const int begin = chunkIndex * chunk;
        stage.runChunk(begin, std::min(numRecords, begin + chunk));
    });
}

}  // namespace velmora::solver

void solveEdgeConstraints(ClothMouseProc& state) {
    using namespace velmora::solver;
    if (!stateMatchesMesh(state)) return;
    loadAccumulator(state);
    applyEdgeChunks(state, constraintStiffness(state.settings.iterations, state.settings.clothStrength));
    gatherEdgeSlots(state);
    storeAccumulator(state);
}
