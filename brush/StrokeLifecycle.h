#pragma once
// Life of a stroke beyond the mouse procedure itself: whether the cloth state may be touched, and
// closing a stroke that the command mode abandons.
#include "cloth/ClothMouseProc.h"

// True when a cloth state has been built and still belongs to a live scene object: `mesh` and
// `node` are set, the scene still holds a node with `nodeHandle` and it is `node`, that node's
// object is a triangle-mesh object whose mesh is `mesh`, and the per-vertex and per-face arrays
// have the mesh's current counts. Reads only; never dereferences `mesh` or `node` before the
// scene has vouched for them.
bool clothStateUsable(const ClothMouseProc& state);

// Accepts the undo hold of a stroke left open (press without release) under the label
// "ClothStroke" and clears `strokeOpen`. Does nothing when no stroke is open.
void closeOpenStroke(ClothMouseProc& state);
