#include "sdk/Scene.h"

#include <cmath>
#include <cstdint>
#include <unordered_map>

Object* Object::ConvertToType(TimeValue /*t*/, Class_ID cid) { return cid == ClassID() ? this : nullptr; }

TriObject* CreateNewTriObject() { return new TriObject; }

namespace {
int clampSegments(int s, int lowest) {
    if (s < lowest) return lowest;
    if (s > kMaxPrimitiveSegments) return kMaxPrimitiveSegments;
    return s;
}

// A size is a length: its magnitude is used, and a non-finite size counts as 0 so the mesh
// never holds NaN or infinity.
float sizeOf(float s) { return std::isfinite(s) ? std::fabs(s) : 0.0f; }

int addFace(Mesh& mesh, int f, int a, int b, int c) {
    mesh.faces[static_cast<size_t>(f)].setVerts(a, b, c);
    return f + 1;
}

// Lattice coordinate k of s steps over [lo, lo + size]; the end points are exact.
float latticeCoord(int k, int s, float lo, float size) {
    if (k == s) return lo + size;
    return lo + size * static_cast<float>(k) / static_cast<float>(s);
}
}  // namespace

PlaneObject::PlaneObject(float w, float l, int segs) : width(w), length(l), segments(segs) {}

bool PlaneObject::CanConvertToType(Class_ID cid) const {
    return cid == triObjectClassID || cid == ClassID();
}

Object* PlaneObject::ConvertToType(TimeValue t, Class_ID cid) {
    if (cid != triObjectClassID) return Object::ConvertToType(t, cid);
    const int s = clampSegments(segments, 1);
    const float w = sizeOf(width), l = sizeOf(length);
    TriObject* tri = CreateNewTriObject();
    Mesh& mesh = tri->mesh;
    const int row = s + 1;
    mesh.setNumVerts(row * row);
    for (int j = 0; j <= s; ++j) {
        for (int i = 0; i <= s; ++i) {
            mesh.verts[static_cast<size_t>(j * row + i)] =
                Point3(latticeCoord(i, s, -0.5f * w, w), latticeCoord(j, s, -0.5f * l, l), 0.0f);
        }
    }
    mesh.setNumFaces(2 * s * s);
    int f = 0;
    for (int j = 0; j < s; ++j) {
        for (int i = 0; i < s; ++i) {
            const int a = j * row + i, b = a + 1, c = a + row + 1, d = a + row;
            f = addFace(mesh, f, a, b, c);
            f = addFace(mesh, f, a, c, d);
        }
    }
    return tri;
}

BoxObject::BoxObject(float w, float l, float h, int segs) : width(w), length(l), height(h), segments(segs) {}

bool BoxObject::CanConvertToType(Class_ID cid) const {
    return cid == triObjectClassID || cid == ClassID();
}

Object* BoxObject::ConvertToType(TimeValue t, Class_ID cid) {
    if (cid != triObjectClassID) return Object::ConvertToType(t, cid);
    const int s = clampSegments(segments, 1);
    const float w = sizeOf(width), l = sizeOf(length), h = sizeOf(height);
    TriObject* tri = CreateNewTriObject();
    Mesh& mesh = tri->mesh;

    // Each side is a grid over two lattice axes (u, v) with u x v pointing outward. Vertices are
    // numbered in order of first use, so edge and corner vertices are shared between sides.
    struct Side {
        int fixedAxis, fixedValue, uAxis, vAxis;
    };
    const Side sides[6] = {
        {2, 0, 1, 0},  // bottom (-z): y x x = -z
        {2, s, 0, 1},  // top (+z):    x x y = +z
        {1, 0, 0, 2},  // front (-y):  x x z = -y
        {0, s, 1, 2},  // right (+x):  y x z = +x
        {1, s, 2, 0},  // back (+y):   z x x = +y
        {0, 0, 2, 1},  // left (-x):   z x y = -x
    };
    const int row = s + 1;
    const std::size_t numVerts = static_cast<std::size_t>(6 * s * s + 2);
    mesh.verts.reserve(numVerts);
    std::unordered_map<std::uint64_t, int> index;
    index.reserve(numVerts);
    std::vector<int> grid(static_cast<size_t>(row * row));
    mesh.setNumFaces(12 * s * s);
    int f = 0;
    for (const Side& side : sides) {
        for (int b = 0; b <= s; ++b) {
            for (int a = 0; a <= s; ++a) {
                int k[3];
                k[side.fixedAxis] = side.fixedValue;
                k[side.uAxis] = a;
                k[side.vAxis] = b;
                const std::uint64_t key = (static_cast<std::uint64_t>(k[0]) << 40) |
                                          (static_cast<std::uint64_t>(k[1]) << 20) |
                                          static_cast<std::uint64_t>(k[2]);
                auto [it, added] = index.try_emplace(key, static_cast<int>(mesh.verts.size()));
                if (added) {
                    mesh.verts.emplace_back(latticeCoord(k[0], s, -0.5f * w, w),
                                            latticeCoord(k[1], s, -0.5f * l, l),
                                            latticeCoord(k[2], s, 0.0f, h));
                }
                grid[static_cast<size_t>(b * row + a)] = it->second;
            }
        }
        for (int b = 0; b < s; ++b) {
            for (int a = 0; a < s; ++a) {
                const int p00 = grid[static_cast<size_t>(b * row + a)];
                const int p10 = grid[static_cast<size_t>(b * row + a + 1)];
                const int p11 = grid[static_cast<size_t>((b + 1) * row + a + 1)];
                const int p01 = grid[static_cast<size_t>((b + 1) * row + a)];
                f = addFace(mesh, f, p00, p10, p11);
                f = addFace(mesh, f, p00, p11, p01);
            }
        }
    }
    return tri;
}

SphereObject::SphereObject(float r, int segs) : radius(r), segments(segs) {}

bool SphereObject::CanConvertToType(Class_ID cid) const {
    return cid == triObjectClassID || cid == ClassID();
}

Object* SphereObject::ConvertToType(TimeValue t, Class_ID cid) {
    if (cid != triObjectClassID) return Object::ConvertToType(t, cid);
    const int s = clampSegments(segments, 3);
    const int rings = s / 2 < 2 ? 2 : s / 2;
    const double r = sizeOf(radius);
    const double pi = 3.14159265358979323846;
    TriObject* tri = CreateNewTriObject();
    Mesh& mesh = tri->mesh;

    // Vertex 0 is the north pole, then rings 1 .. rings-1 from north to south with `s` vertices
    // each (azimuth 2 pi i / s from +x toward +y), then the south pole.
    const int numVerts = 2 + s * (rings - 1);
    const int south = numVerts - 1;
    mesh.setNumVerts(numVerts);
    mesh.verts[0] = Point3(0.0, 0.0, r);
    for (int k = 1; k < rings; ++k) {
        const double theta = pi * k / rings;
        const double z = r * std::cos(theta), rho = r * std::sin(theta);
        for (int i = 0; i < s; ++i) {
            const double phi = 2.0 * pi * i / s;
            mesh.verts[static_cast<size_t>(1 + (k - 1) * s + i)] =
                Point3(rho * std::cos(phi), rho * std::sin(phi), z);
        }
    }
    mesh.verts[static_cast<size_t>(south)] = Point3(0.0, 0.0, -r);

    auto ringVert = [s](int k, int i) { return 1 + (k - 1) * s + (i % s); };
    mesh.setNumFaces(2 * s * (rings - 1));
    int f = 0;
    for (int i = 0; i < s; ++i) f = addFace(mesh, f, 0, ringVert(1, i), ringVert(1, i + 1));
    for (int k = 1; k + 1 < rings; ++k) {
        for (int i = 0; i < s; ++i) {
            const int a = ringVert(k, i), b = ringVert(k, i + 1);
            const int c = ringVert(k + 1, i + 1), d = ringVert(k + 1, i);
            f = addFace(mesh, f, a, d, c);
            f = addFace(mesh, f, a, c, b);
        }
    }
    for (int i = 0; i < s; ++i) f = addFace(mesh, f, south, ringVert(rings - 1, i + 1), ringVert(rings - 1, i));
    return tri;
}

INode::~INode() {
    if (obj_ != nullptr) obj_->DeleteMe();
}

void INode::SetObjectRef(Object* obj) {
    if (obj == obj_) return;
    Object* previous = obj_;
    obj_ = obj;
    if (previous != nullptr) previous->DeleteMe();
}

int INode::NotifyDependents(Interval changeInt, int partID, int message, ULONG sclass, bool propagate,
                            void* hTarg, int option) {
    ++notifyCount;
    lastNotification = {changeInt, partID, message, sclass, propagate, hTarg, option};
    return 1;
}
