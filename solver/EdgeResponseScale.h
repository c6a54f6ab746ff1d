#pragma once
// The per-vertex scale of the edge stage's response, shared by the cloth build (which sizes and
// first fills the scales) and the solver call (which refills them when the settings changed).
//
// Why: each edge acts on its two vertices as a spring of gain k h per iteration (k the stretch
// stiffness, h = 1 / iterations), and a vertex sums the gains of its n_v edge records. The
// explicit step is stable only while h times the largest stiffness stays below 2 (1 + damping);
// at a pole of a UV sphere (32 edges), at a teapot's 44-edge vertex, or at a high clothStrength,
// the sum passes that bound and the cloth diverges within an event or two.
//
// The rule: with d = damping clamped to [0, 1] and the bound
//     C = (1 + d) (1.35 - h),
// a vertex with k h n_v <= C is untouched: it receives exactly what the plain formulas give it,
// bit for bit (its scale is exactly 1 and is never multiplied in). Beyond the bound the vertex's
// summed edge response, stretch and bending together, is multiplied by C / (k h n_v), so that
// its gain k h n_v x scale is C. The factor (1 + d) follows the stability bound's damping term;
// the - h part keeps a margin for the bending pushes and the pressure, which do not scale with
// k but are applied with the full step when there are few iterations (measured: with 1 or 2
// iterations a bound without it still diverged under pressure and drag; scaling the stretch
// alone was not enough there either, so the bending push of a scaled vertex is scaled too).
// At the defaults (k 5, h 0.05, d 0.95) C is 2.535 and k h = 0.25: every vertex with up to 10
// edges is untouched.
//
// Scaling one endpoint of an edge and not the other breaks the pair's equal and opposite
// corrections, so the stretch no longer keeps the pair's centre fixed: the scaled (busy) vertex
// moves less than its neighbour. That is acceptable here because the scaled vertices are those
// whose plain response overshoots: there the plain formulas would not keep the centre either,
// they throw both vertices to infinity. The momentum given away is bounded by the length
// errors and damped like any velocity, and the cloth still settles to the same rest shape
// (a scaled spring pulls toward the same rest length, only more slowly).
#include <cstddef>
#include <vector>

#include "cloth/ClothWorkspace.h"

namespace velmora::solver {

inline constexpr float kEdgeScaleMargin = 1.35f;

// The bound C for the damping and the step h = 1 / iterations; always positive and finite for
// h in (0, 1] (a damping that is not a number counts as 0).
inline float edgeScaleBound(float damping, float step) {
    float d = damping;
    if (!(d >= 0.0f)) d = 0.0f;
    if (d > 1.0f) d = 1.0f;
    return (1.0f + d) * (kEdgeScaleMargin - step);
}

// Refills work.edgeScale and the list of scaled vertices for stiffness k, step h and damping.
// Allocates nothing: the arrays were sized at the build.
inline void fillEdgeScales(ClothWorkspace& work, float stiffness, float step, float damping) {
    const float bound = edgeScaleBound(damping, step);
    const float gainPerRecord = stiffness * step;
    const std::size_t numVerts = work.edgeScale.size();
    int count = 0;
    for (std::size_t v = 0; v < numVerts; ++v) {
        const float gain = gainPerRecord * static_cast<float>(work.edgeRecordCount[v]);
        if (gain <= bound) {
            work.edgeScale[v] = 1.0f;
        } else {
            // A gain beyond the bound (an infinite one too) gives a scale in [0, 1).
            work.edgeScale[v] = bound / gain;
            work.scaledVertices[static_cast<std::size_t>(count++)] = static_cast<int>(v);
        }
    }
    work.scaledCount = count;
    work.scaleStiffness = stiffness;
    work.scaleStep = step;
    work.scaleDamping = damping;
    work.scalesValid = true;
}

}  // namespace velmora::solver
