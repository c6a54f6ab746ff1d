#pragma once
// Edge adjacency of a triangle mesh, as the host builds it.
#include "sdk/Exceptions.h"
#include "sdk/HostRelease.h"
#include "sdk/Mesh.h"

class MEdge {
public:
    DWORD f[2] = {UNDEFINED, UNDEFINED};  // faces; f[1] is UNDEFINED for an edge with one face
    DWORD v[2] = {0, 0};                  // vertices, as first met
};

// Edge table in first-appearance order: faces in index order, each face's sides (0,1), (1,2),
// (2,0). A side whose vertex pair already has a record with a free second face slot fills that
// slot; otherwise it opens a new record. A non-manifold edge (three or more faces) therefore gives
// one record per two faces in face order: faces 1 and 2 share the first, 3 and 4 the next, and an
// odd last face stays alone. A side whose two corners are the same vertex gives no record, nor
// does a side with a corner index outside the vertex array.
// Linear in the mesh size.
class AdjEdgeList {
public:
#if MAX_RELEASE >= 24000
    AdjEdgeList(Mesh& mesh, int flags);
#else
    explicit AdjEdgeList(Mesh& mesh);
#endif
    Tab<MEdge> edges;
};
