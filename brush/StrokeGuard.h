#pragma once
// The stroke guard: a drag event whose result holds a non-finite value is put back to the state
// before it. Copies go to the `guard` buffers sized at the build, so no event allocates.
#include "cloth/ClothMouseProc.h"

// Copies every position, velocity, rest length, rest angle and mask value into `state.guard`.
// Precondition: clothStateUsable(state). Buffers of the wrong size (a state built without them)
// are resized here, which allocates only on the first event after such a build.
void saveStrokeGuard(ClothMouseProc& state);

// True when every position, velocity, restLength, restAngle and mask value is finite. One pass,
// parallel over fixed chunks; the answer does not depend on the thread count.
bool clothStateFinite(const ClothMouseProc& state);

// Puts back what saveStrokeGuard copied, sets every delta to zero and rewrites the mask colours
// (an event may already have written non-finite greys). Precondition: saveStrokeGuard ran on the
// same state with the same counts.
void restoreStrokeGuard(ClothMouseProc& state);
