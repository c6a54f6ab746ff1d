#include "SdkTestMeshes.h"

namespace sdktest {

Mesh makeMesh(std::initializer_list<V3> verts, std::initializer_list<std::vector<int>> faces) {
    Mesh m;
    m.setNumVerts(static_cast<int>(verts.size()));
    int i = 0;
    for (const V3& p : verts) m.setVert(i++, p);
    m.setNumFaces(static_cast<int>(faces.size()));
    int f = 0;
    for (const std::vector<int>& c : faces) m.faces[static_cast<size_t>(f++)].setVerts(c[0], c[1], c[2]);
    return m;
}

Mesh makeCube() {
    return makeMesh({{-1.0f, -1.0f, -1.0f}, {1.0f, -1.0f, -1.0f}, {1.0f, 1.0f, -1.0f}, {-1.0f, 1.0f, -1.0f},
                     {-1.0f, -1.0f, 1.0f}, {1.0f, -1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, {-1.0f, 1.0f, 1.0f}},
                    {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                     {3, 7, 6}, {3, 6, 2}, {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}});
}

double signedVolume(const Mesh& mesh) {
    double v = 0.0;
    for (const Face& f : mesh.faces) {
        const Point3& a = mesh.verts[f.v[0]];
        const Point3& b = mesh.verts[f.v[1]];
        const Point3& c = mesh.verts[f.v[2]];
        // Tetrahedron with the origin: a . (b x c) / 6.
        v += (static_cast<double>(a.x) * (static_cast<double>(b.y) * c.z - static_cast<double>(b.z) * c.y) +
              static_cast<double>(a.y) * (static_cast<double>(b.z) * c.x - static_cast<double>(b.x) * c.z) +
              static_cast<double>(a.z) * (static_cast<double>(b.x) * c.y - static_cast<double>(b.y) * c.x)) /
             6.0;
    }
    return v;
}

std::vector<MEdge> edgesOf(Mesh& m) {
#if MAX_RELEASE >= 24000
    AdjEdgeList list(m, 0);
#else
    AdjEdgeList list(m);
#endif
    std::vector<MEdge> out;
    for (int i = 0; i < list.edges.Count(); ++i) out.push_back(list.edges[i]);
    return out;
}

}  // namespace sdktest
