// Integration: deltas and gravity into velocity, velocity into position, damping, ground.
#include <algorithm>

#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"
#include "solver/WideBlocks.h"

namespace {
using namespace velmora::solver;

// The arrays and values of one integration pass.
struct IntegrationPass {
    Point3* positions;
    Point3* velocities;
    Float4* accum;
    const float* mask;
    const float* weights;
    const Float4* slots;
    const int* offsets;
    Vec4 gravity4;
    Vec4 move4;
    float stepFactor;
    float damping;
    bool ground;
    bool masked;
    int last;  // index of the last vertex
};

// integrateMasked and integrateUnmasked for vertex v, four lanes at a time (the same operations
// in the same order, lane by lane); the ground rule on the stored height.
// kGather: add the vertex's edge-stage slots to its delta first (see integrateGathering).
// kNextMove: leave the next iteration's brush move in the cleared delta (see integrateGathering).
template <bool kGather, bool kNextMove>
[[gnu::always_inline]] inline void integrateOne(const IntegrationPass& s, int v) {
    Vec4 delta = Vec4::load(s.accum[v]);
    if constexpr (kGather) delta = gatheredDelta(delta, s.slots, s.offsets[v], s.offsets[v + 1]);
    Vec4 p = loadPoint(s.positions, v, s.last);
    Vec4 u = loadPoint(s.velocities, v, s.last);
    if (s.masked) {
        const float m = s.mask[v];
        u = u + (s.gravity4 + delta) * m;
        p = p + (u * s.stepFactor) * m;
    } else {
        u = (u + delta) + s.gravity4;
        p = p + u * s.stepFactor;
    }
    u = u * s.damping;
    storePoint(s.positions[v], p);
    storePoint(s.velocities[v], u);
    if (s.ground && !(s.positions[v].z >= 0.0f)) s.positions[v].z = s.positions[v].z * kGroundKeep;
    // The move stage of the next iteration, as it would add into the cleared delta.
    Vec4 cleared = Vec4::zero();
    if constexpr (kNextMove) cleared = cleared + s.move4 * moveEase(s.weights[v]);
    cleared.store(s.accum[v]);
}

template <bool kGather, bool kNextMove>
void integrateRange(const IntegrationPass& pass, int begin, int end) {
    const IntegrationPass s = pass;  // in registers: a vector store may alias anything
    for (int v = begin; v < end; ++v) integrateOne<kGather, kNextMove>(s, v);
}

#if defined(VELMORA_HAS_WIDE_BLOCKS)
// Sixteen vertices from v on, one coordinate of each in the sixteen lanes of a register: the
// operations of integrateOne, lane by lane, in the same order.
template <bool kGather, bool kNextMove>
[[gnu::always_inline]] VELMORA_WIDE inline void integrateSixteen(const IntegrationPass& s, int v) {
    if constexpr (kGather) {
        // Vertices with slots (a few rows where chunks of edge records meet) take them first.
        const __m512i from = _mm512_loadu_si512(s.offsets + v);
        const __m512i to = _mm512_loadu_si512(s.offsets + v + 1);
        for (unsigned shared = _mm512_cmpneq_epi32_mask(from, to); shared != 0; shared &= shared - 1) {
            const int w = v + __builtin_ctz(shared);
            gatheredDelta(Vec4::load(s.accum[w]), s.slots, s.offsets[w], s.offsets[w + 1]).store(s.accum[w]);
        }
    }
    __m512 deltas[4];
    for (int k = 0; k < 4; ++k) deltas[k] = _mm512_loadu_ps(&s.accum[v + 4 * k].x);
    __m512 dx, dy, dz, px, py, pz, ux, uy, uz;
    wide::splitSixteen(deltas, dx, dy, dz);
    wide::splitPoints(&s.positions[v].x, px, py, pz);
    wide::splitPoints(&s.velocities[v].x, ux, uy, uz);
    const Point3 g = s.gravity4.point();
    const __m512 gx = _mm512_set1_ps(g.x), gy = _mm512_set1_ps(g.y), gz = _mm512_set1_ps(g.z);
    const __m512 step = _mm512_set1_ps(s.stepFactor);
    if (s.masked) {
        const __m512 m = _mm512_loadu_ps(s.mask + v);
        ux = _mm512_add_ps(ux, _mm512_mul_ps(_mm512_add_ps(gx, dx), m));
        uy = _mm512_add_ps(uy, _mm512_mul_ps(_mm512_add_ps(gy, dy), m));
        uz = _mm512_add_ps(uz, _mm512_mul_ps(_mm512_add_ps(gz, dz), m));
        px = _mm512_add_ps(px, _mm512_mul_ps(_mm512_mul_ps(ux, step), m));
        py = _mm512_add_ps(py, _mm512_mul_ps(_mm512_mul_ps(uy, step), m));
        pz = _mm512_add_ps(pz, _mm512_mul_ps(_mm512_mul_ps(uz, step), m));
    } else {
        ux = _mm512_add_ps(_mm512_add_ps(ux, dx), gx);
        uy = _mm512_add_ps(_mm512_add_ps(uy, dy), gy);
        uz = _mm512_add_ps(_mm512_add_ps(uz, dz), gz);
        px = _mm512_add_ps(px, _mm512_mul_ps(ux, step));
        py = _mm512_add_ps(py, _mm512_mul_ps(uy, step));
        pz = _mm512_add_ps(pz, _mm512_mul_ps(uz, step));
    }
    const __m512 damping = _mm512_set1_ps(s.damping);
    ux = _mm512_mul_ps(ux, damping);
    uy = _mm512_mul_ps(uy, damping);
    uz = _mm512_mul_ps(uz, damping);
    if (s.ground) {
        // !(z >= 0): below the plane, or not a number.
        const __mmask16 below = _mm512_cmp_ps_mask(pz, _mm512_setzero_ps(), _CMP_NGE_UQ);
        pz = _mm512_mask_mul_ps(pz, below, pz, _mm512_set1_ps(kGroundKeep));
    }
    wide::joinPoints(px, py, pz, &s.positions[v].x);
    wide::joinPoints(ux, uy, uz, &s.velocities[v].x);
    __m512 cleared[4] = {_mm512_setzero_ps(), _mm512_setzero_ps(), _mm512_setzero_ps(), _mm512_setzero_ps()};
    if constexpr (kNextMove) {
        // moveEase, lane by lane.
        const __m512 w = _mm512_loadu_ps(s.weights + v);
        const __m512 two = _mm512_set1_ps(2.0f);
        const __m512 low = _mm512_mul_ps(_mm512_mul_ps(two, w), w);
        const __m512 r = _mm512_sub_ps(two, _mm512_mul_ps(two, w));
        const __m512 half = _mm512_set1_ps(0.5f);
        const __m512 high = _mm512_sub_ps(_mm512_set1_ps(1.0f), _mm512_mul_ps(_mm512_mul_ps(r, r), half));
        const __m512 ease = _mm512_mask_blend_ps(_mm512_cmp_ps_mask(w, half, _CMP_LT_OQ), high, low);
        const Point3 m = s.move4.point();
        const __m512 zero = _mm512_setzero_ps();
        wide::joinSixteen(_mm512_add_ps(zero, _mm512_mul_ps(_mm512_set1_ps(m.x), ease)),
                          _mm512_add_ps(zero, _mm512_mul_ps(_mm512_set1_ps(m.y), ease)),
                          _mm512_add_ps(zero, _mm512_mul_ps(_mm512_set1_ps(m.z), ease)), cleared);
    }
    for (int k = 0; k < 4; ++k) _mm512_storeu_ps(&s.accum[v + 4 * k].x, cleared[k]);
}

template <bool kGather, bool kNextMove>
VELMORA_WIDE void integrateRangeWide(const IntegrationPass& pass, int begin, int end) {
    const IntegrationPass s = pass;
    int v = begin;
    for (; v + 16 <= end; v += 16) integrateSixteen<kGather, kNextMove>(s, v);
    for (; v < end; ++v) integrateOne<kGather, kNextMove>(s, v);
}
#endif

template <bool kGather, bool kNextMove>
void integrate(ClothMouseProc& state, const Point3& gravityVector, float stepFactor, const Point3& nextMove) {
    const IntegrationPass pass{state.mesh->verts.data(),
                               state.velocities.data(),
                               state.work.accum.data(),
                               state.mask.data(),
                               state.brushWeights.data(),
                               state.work.edgeSlots.data(),
                               state.work.vertexSlotOffsets.data(),
                               Vec4::of(gravityVector),
                               Vec4::of(nextMove),
                               stepFactor,
                               state.settings.damping,
                               state.settings.groundCollision,
                               state.settings.useVCMask,
                               static_cast<int>(state.deltas.size()) - 1};
    const int numVerts = static_cast<int>(state.deltas.size());
#if defined(VELMORA_HAS_WIDE_BLOCKS)
    if (wideBlocksEnabled()) {
        // Whole blocks of sixteen vertices per index, so that any division of the range among the
        // workers leaves the vertices in blocks (only the mesh's last few go one by one).
        const int numBlocks = numVerts / 16 + (numVerts % 16 != 0 ? 1 : 0);
        concurrency::parallel_for_ranges(numBlocks, [&pass, numVerts](int begin, int end) {
            integrateRangeWide<kGather, kNextMove>(pass, begin * 16, std::min(numVerts, end * 16));
        });
        return;
    }
#endif
    concurrency::parallel_for_ranges(numVerts, [&pass](int begin, int end) {
        integrateRange<kGather, kNextMove>(pass, begin, end);
    });
}
}  // namespace

namespace velmora::solver {
void integrateGathering(ClothMouseProc& state, const Point3& gravityVector, float stepFactor, bool nextMoveActive,
                        const Point3& nextMove) {
    if (!stateMatchesMesh(state)) return;
    if (nextMoveActive) {
        integrate<true, true>(state, gravityVector, stepFactor, nextMove);
    } else {
        integrate<true, false>(state, gravityVector, stepFactor, nextMove);
    }
}
}  // namespace velmora::solver

void integrateVertices(ClothMouseProc& state, const Point3& gravityVector, float stepFactor) {
    if (!stateMatchesMesh(state)) return;
    loadAccumulator(state);
    integrate<false, false>(state, gravityVector, stepFactor, Point3(0.0f, 0.0f, 0.0f));
    storeAccumulator(state);
}
