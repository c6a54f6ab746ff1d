// One solver call: `iterations` iterations of the fixed stage sequence.
#include "solver/Solver.h"
#include "solver/StageDetail.h"

float constraintStiffness(int iterations, float clothStrength) {
    return velmora::solver::stiffnessFor(iterations, clothStrength);
}

void runSolverIterations(ClothMouseProc& state, bool moveActive, const Point3& moveVector) {
    using namespace velmora::solver;
    const BrushSettings& s = state.settings;
    if (s.iterations <= 0 || !stateMatchesMesh(state)) return;
    const float stepFactor = 1.0f / static_cast<float>(s.iterations);
    const float stiffness = constraintStiffness(s.iterations, s.clothStrength);
    for (int i = 0; i < s.iterations; ++i) {
        computeFaceNormals(state);                             // normals of this iteration's positions
        if (moveActive) applyMoveFalloff(state, moveVector);   // the brush pulls
        if (s.pressureEnabled) {
            accumulateVertexNormals(state);                    // serial: faces share vertices
            applyPressure(state);
        }
        applyEdgeChunks(state, stiffness);                     // stretch and bending of every edge
        const Point3 gravityVector = gravityVectorFor(s.gravityEnabled, s.gravity);
        integrateGathering(state, gravityVector, stepFactor);  // shared vertices' edge slots first;
                                                               // the only stage that moves vertices
    }
}
