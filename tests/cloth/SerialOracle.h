#pragma once
// A plain serial version of one solver call, one loop per stage in index order, written directly
// from the formulas. It is the reference the parallel solver is compared with (bit for bit) and
// the baseline the benchmark measures against. It uses none of the solver's code.
#include "cloth/ClothMouseProc.h"

namespace velmora::oracle {

// The same work as runSolverIterations(state, moveActive, moveVector): the same positions,
// velocities, rest angles, deltas and vertex normals afterwards. Degenerate elements are treated
// as the solver treats them: an edge without a direction (zero, denormal or overflowing length)
// adds nothing and keeps its rest angle for that iteration; a two-face edge with a zero face
// normal adds no bending push and keeps its rest angle.
void runSolverIterations(ClothMouseProc& state, bool moveActive, const Point3& moveVector);

}  // namespace velmora::oracle
