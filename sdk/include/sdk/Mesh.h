#pragma once
// The host's triangle mesh: public vertex and face arrays and map channel 0 as vertex colours.
#include <vector>

#include "sdk/HostTypes.h"
#include "sdk/Matrix3.h"
#include "sdk/Point3.h"

// The no-face / no-vertex marker (all bits set).
constexpr DWORD UNDEFINED = 0xffffffffu;

class Face {
public:
    DWORD v[3] = {0, 0, 0};
    void setVerts(int a, int b, int c) {
        v[0] = static_cast<DWORD>(a); v[1] = static_cast<DWORD>(b); v[2] = static_cast<DWORD>(c);
    }
    DWORD getVert(int k) const { return v[k]; }
};

// A face of a map channel: indices into that channel's vertices, one per corner.
class TVFace {
public:
    DWORD t[3] = {0, 0, 0};
    void setTVerts(int a, int b, int c) {
        t[0] = static_cast<DWORD>(a); t[1] = static_cast<DWORD>(b); t[2] = static_cast<DWORD>(c);
    }
};

using VertColor = Point3;

class Mesh {
public:
    // Geometry. Vectors are always sized to the counts.
    std::vector<Point3> verts;
    std::vector<Face> faces;
    // Map channel 0: vertex colours and colour faces (one per geometry face).
    std::vector<VertColor> vertCol;
    std::vector<TVFace> vcFace;

    int getNumVerts() const { return static_cast<int>(verts.size()); }
    int getNumFaces() const { return static_cast<int>(faces.size()); }
    int numCVerts() const { return static_cast<int>(vertCol.size()); }
    int getNumVertCol() const { return static_cast<int>(vertCol.size()); }
    int getNumVCFaces() const { return static_cast<int>(vcFace.size()); }
    // Resize; new entries are zero. `keep` is accepted for the host's signature; contents are kept.
    // A negative count changes nothing and returns false. While channel 0 is on, setNumFaces also
    // sizes the colour faces to match, as the host keeps its active maps.
    bool setNumVerts(int n, bool keep = false);
    bool setNumFaces(int n, bool keep = false);
    void setVert(int i, const Point3& p) { verts[static_cast<size_t>(i)] = p; }
    Point3& getVert(int i) { return verts[static_cast<size_t>(i)]; }
    const Point3& getVert(int i) const { return verts[static_cast<size_t>(i)]; }

    // Map channel support; only channel 0 (vertex colours) is kept by this host. Turning channel 0
    // on when it is off makes the host's default channel: one white colour per vertex and colour
    // faces equal to the geometry faces; turning it on again keeps it; turning it off drops
    // colours and colour faces. Other channels are ignored (never supported).
    // setNumVertCol / setNumVCFaces size the arrays (new entries zero); negative: false.
    BOOL mapSupport(int mp) const;
    void setMapSupport(int mp, bool support = true);
    bool setNumVertCol(int ct, bool keep = false);
    bool setNumVCFaces(int ct, bool keep = false, int oldCt = 0);

    // Normal of face f by the right-hand rule over corners 0, 1, 2. Reads only: safe from many
    // threads at once. A face of zero area (or with an index out of range) gives (0, 0, 0).
    Point3 FaceNormal(int f, bool normalize = false) const;

    void buildBoundingBox();
    // The box of the last buildBoundingBox, transformed by tm when given. Empty mesh: an empty box.
    Box3 getBoundingBox(const Matrix3* tm = nullptr) const;

    // Nearest hit at distance >= 0 along the ray over all faces, from either side. On a hit: at is
    // the distance in units of ray.dir, norm the hit face's unit normal; returns non-zero. Equal
    // distances go to the lowest face index. Parallel over faces; the result is thread-independent.
    // A zero direction, or no face hit, returns 0 and leaves at and norm untouched. Faces with a
    // corner index out of range are skipped. If the hit face's normal vanishes in float (a sliver),
    // norm is -normalize(ray.dir).
    int IntersectRay(const Ray& ray, float& at, Point3& norm) const;

    // Cache invalidation; counted so callers can be observed.
    void InvalidateGeomCache() { ++geomCacheInvalidations; }
    void InvalidateTopologyCache() { ++topologyCacheInvalidations; }
    // Explicit (user-specified) normals: this host keeps a flag only.
    void ClearSpecifiedNormals() { hasSpecifiedNormals = false; ++specifiedNormalsCleared; }

    bool hasSpecifiedNormals = false;
    int geomCacheInvalidations = 0;
    int topologyCacheInvalidations = 0;
    int specifiedNormalsCleared = 0;

private:
    bool vcSupport_ = false;
    Box3 bbox_;
};
