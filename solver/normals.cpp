// Face normals of the current positions, and their per-vertex sums for the pressure.
#include "sdk/Parallel.h"
#include "solver/Solver.h"
#include "solver/StageDetail.h"

void computeFaceNormals(ClothMouseProc& state) {
    if (!velmora::solver::stateMatchesMesh(state)) return;
    const Mesh* mesh = state.mesh;
    Point3* normals = state.faceNormals.data();
    // The host's face normal only reads the mesh, so faces run concurrently.
    concurrency::parallel_for_ranges(mesh->getNumFaces(), [=](int begin, int end) {
        for (int f = begin; f < end; ++f) normals[f] = mesh->FaceNormal(f, true);
    });
}

void accumulateVertexNormals(ClothMouseProc& state) {
    if (!velmora::solver::stateMatchesMesh(state)) return;
    const std::vector<Face>& faces = state.mesh->faces;
    Point3* sums = state.vertexNormals.data();
    const Point3* normals = state.faceNormals.data();
    // Faces share vertices, so this runs on the calling thread, in face order.
    const std::size_t numFaces = faces.size();
    for (std::size_t f = 0; f < numFaces; ++f) {
        for (int k = 0; k < 3; ++k) sums[faces[f].v[k]] += normals[f];
    }
}
