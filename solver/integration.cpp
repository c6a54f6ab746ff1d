// Integration: deltas and gravity into velocity, velocity into position, damping, ground.
#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"

void integrateVertices(ClothMouseProc& state, const Point3& gravityVector, float stepFactor) {
    using namespace velmora::solver;
    if (!stateMatchesMesh(state)) return;
    Point3* positions = state.mesh->verts.data();
    Point3* velocities = state.velocities.data();
    Point3* deltas = state.deltas.data();
    const float* mask = state.mask.data();
    const Point3 gravity = gravityVector;
    const float damping = state.settings.damping;
    const bool ground = state.settings.groundCollision;
    const int n = static_cast<int>(state.deltas.size());
    if (state.settings.useVCMask) {
        concurrency::parallel_for_ranges(n, [=](int begin, int end) {
            for (int v = begin; v < end; ++v) {
                const VertexMotion r = integrateMasked(positions[v], velocities[v], deltas[v], mask[v], gravity,
                                                       stepFactor, damping, ground);
                positions[v] = r.position;
                velocities[v] = r.velocity;
                deltas[v] = Point3(0.0f, 0.0f, 0.0f);
            }
        });
    } else {
        concurrency::parallel_for_ranges(n, [=](int begin, int end) {
            for (int v = begin; v < end; ++v) {
                const VertexMotion r =
                    integrateUnmasked(positions[v], velocities[v], deltas[v], gravity, stepFactor, damping, ground);
                positions[v] = r.position;
                velocities[v] = r.velocity;
                deltas[v] = Point3(0.0f, 0.0f, 0.0f);
            }
        });
    }
}
