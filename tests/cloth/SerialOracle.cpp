#include "SerialOracle.h"

#include <cmath>
#include <cstddef>

namespace velmora::oracle {

void runSolverIterations(ClothMouseProc& state, bool moveActive, const Point3& moveVector) {
    const BrushSettings& s = state.settings;
    if (s.iterations <= 0) return;
    Mesh& mesh = *state.mesh;
    const int numVerts = mesh.getNumVerts();
    const int numFaces = mesh.getNumFaces();
    const int numConstraints = static_cast<int>(state.constraints.size());
    const float stepFactor = 1.0f / static_cast<float>(s.iterations);

    for (int iteration = 0; iteration < s.iterations; ++iteration) {
        for (int f = 0; f < numFaces; ++f) state.faceNormals[f] = mesh.FaceNormal(f, true);

        if (moveActive) {
            for (int v = 0; v < numVerts; ++v) {
                const float x = state.brushWeights[v];
                float ease;
                if (x < 0.5f) {
                    ease = 2.0f * x * x;
                } else {
                    ease = 1.0f - (2.0f - 2.0f * x) * (2.0f - 2.0f * x) * 0.5f;
                }
                state.deltas[v] += moveVector * ease;
            }
        }

        if (s.pressureEnabled) {
            for (int f = 0; f < numFaces; ++f) {
                for (int k = 0; k < 3; ++k) state.vertexNormals[mesh.faces[f].v[k]] += state.faceNormals[f];
            }
            for (int v = 0; v < numVerts; ++v) {
                const Point3 n = Normalize(state.vertexNormals[v]);
                state.deltas[v] += n * 0.01f * s.pressure;
                state.vertexNormals[v] = Point3(0.0f, 0.0f, 0.0f);
            }
        }

        float k = static_cast<float>(static_cast<int>(static_cast<float>(s.iterations) * 0.25f)) * s.clothStrength;
        if (!(k >= 1.0f)) k = 1.0f;
        for (int c = 0; c < numConstraints; ++c) {
            EdgeConstraint& r = state.constraints[c];
            const Point3 d = mesh.verts[r.vert1] - mesh.verts[r.vert0];
            const float L = Length(d);
            const float invL = 1.0f / L;
            if (!(L > 0.0f) || std::isinf(invL) || std::isinf(L)) continue;
            const Point3 e = d * invL;
            const Point3 stretch = e * (L - r.restLength) * k;
            state.deltas[r.vert0] += stretch;
            state.deltas[r.vert1] -= stretch;
            if (r.openEdge) continue;

            const Point3 n0 = state.faceNormals[r.face0];
            const Point3 n1 = state.faceNormals[r.face1];
            if (n0 == Point3(0.0f, 0.0f, 0.0f) || n1 == Point3(0.0f, 0.0f, 0.0f)) continue;
            const float theta = atan2f(Length(CrossProd(n0, n1)), DotProd(n0, n1));
            const Point3 q = mesh.verts[r.opposite1] - mesh.verts[r.vert0];
            const Point3 h = q - e * DotProd(q, e);
            const float phi = DotProd(h, n0) < 0.0f ? -theta : theta;
            const float diff = phi - r.restAngle;
            float rest = r.restAngle + s.plasticity * diff;
            if (rest > 2.8f) rest = 2.8f;
            if (rest < -2.8f) rest = -2.8f;
            r.restAngle = rest;
            const float b = L * s.bendiness * diff;
            state.deltas[r.opposite0] -= n0 * b;
            state.deltas[r.opposite1] -= n1 * b;
            state.deltas[r.vert0] += (n0 + n1) * (0.5f * b);
            state.deltas[r.vert1] += (n0 + n1) * (0.5f * b);
        }

        const Point3 gravityVector =
            s.gravityEnabled ? Point3(0.0f, 0.0f, -0.01f * s.gravity) : Point3(0.0f, 0.0f, 0.0f);
        for (int v = 0; v < numVerts; ++v) {
            Point3& p = mesh.verts[v];
            Point3& vel = state.velocities[v];
            if (s.useVCMask) {
                const float m = state.mask[v];
                vel = vel + (gravityVector + state.deltas[v]) * m;
                p = p + vel * stepFactor * m;
            } else {
                vel = vel + state.deltas[v] + gravityVector;
                p = p + vel * stepFactor;
            }
            vel = vel * s.damping;
            if (s.groundCollision && !(p.z >= 0.0f)) p.z = p.z * 0.8f;
            state.deltas[v] = Point3(0.0f, 0.0f, 0.0f);
        }
    }
}

}  // namespace velmora::oracle
