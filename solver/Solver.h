#pragma once
// The cloth solver: free functions over the one cloth state. Each stage is a parallel loop (unless
// noted) and returns when every index is done. No stage allocates.
#include "cloth/ClothMouseProc.h"

// Unit normal of every face from the current positions.
void computeFaceNormals(ClothMouseProc& state);
// Sum of the normals of the faces around each vertex (serial, face order).
void accumulateVertexNormals(ClothMouseProc& state);
// Push along each normalised vertex normal by 0.01 x pressure; clears vertexNormals.
void applyPressure(ClothMouseProc& state);
// deltas[v] += moveEase(brushWeights[v]) x moveVector.
void applyMoveFalloff(ClothMouseProc& state, const Point3& moveVector);
// Stretch toward restLength and, for two-face edges, bending with plasticity.
void solveEdgeConstraints(ClothMouseProc& state);
// Velocity, position, damping, ground; clears deltas. Masked variant when useVCMask is on.
void integrateVertices(ClothMouseProc& state, const Point3& gravityVector, float stepFactor);
// `iterations` solver iterations in the fixed stage order.
void runSolverIterations(ClothMouseProc& state, bool moveActive, const Point3& moveVector);

// Brush kernels, applied once per drag event.
void expandRestLengths(ClothMouseProc& state, const Point3& strokeDirection);
void flattenRestAngles(ClothMouseProc& state);
void shrinkRestLengths(ClothMouseProc& state);
void paintMask(ClothMouseProc& state);
void blurMask(ClothMouseProc& state);  // serial, face order
// Brush weight of every vertex: 1 at the brush point, linear to 0 at brushRadius, 0 beyond.
void computeBrushWeights(ClothMouseProc& state);

// Stiffness of the stretch: trunc(iterations x 0.25) x clothStrength, at least 1.
float constraintStiffness(int iterations, float clothStrength);
