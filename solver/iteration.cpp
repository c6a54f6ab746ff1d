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
    // Busy vertices whose summed spring gain would make the step overshoot get a scaled edge
    // response; when no vertex needs it (or exactSolver is on) the iterations are the plain ones.
    const bool stabilise = refreshEdgeScales(state, stiffness, stepFactor);
    // The first iteration's brush move is a stage of its own; every later one is added by the
    // integration before it, into the delta it clears (nothing reads deltas in between).
    loadAccumulator(state);                                    // deltas, zero between calls
    if (moveActive) addMoveToAccumulator(state, moveVector);  // the brush pulls
    for (int i = 0; i < s.iterations; ++i) {
        computeFaceNormals(state);                             // normals of this iteration's positions
        if (s.pressureEnabled) {
            accumulateVertexNormals(state);                    // serial: faces share vertices
            addPressureToAccumulator(state);
        }
        if (stabilise) holdScaledDeltas(state);
        applyEdgeChunks(state, stiffness);                     // stretch and bending of every edge
        if (stabilise) scaleHeldVertices(state);
        const Point3 gravityVector = gravityVectorFor(s.gravityEnabled, s.gravity);
        const bool moveNext = moveActive && i + 1 < s.iterations;
        integrateGathering(state, gravityVector, stepFactor,   // shared vertices' edge slots first;
                           moveNext, moveVector);              // the only stage that moves vertices
    }
}
