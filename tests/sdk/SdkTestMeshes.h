#pragma once
// Small meshes built by hand for the host-services tests.
#include <initializer_list>
#include <vector>

#include "sdk/AdjEdgeList.h"
#include "sdk/Mesh.h"

namespace sdktest {

// A point written as three numbers in a table of cases (integers allowed).
struct V3 {
    float x, y, z;
    operator Point3() const { return Point3(x, y, z); }
};

Mesh makeMesh(std::initializer_list<V3> verts, std::initializer_list<std::vector<int>> faces);

// Cube [-1, 1]^3: 8 vertices, 12 outward faces. Faces 2k, 2k+1 form one side, in the order
// bottom (-z), top (+z), front (-y), back (+y), left (-x), right (+x).
Mesh makeCube();

// The host edge list of a mesh, as a plain vector.
std::vector<MEdge> edgesOf(Mesh& m);

// Signed volume of a closed mesh (positive when the faces point outward).
double signedVolume(const Mesh& mesh);

}  // namespace sdktest
