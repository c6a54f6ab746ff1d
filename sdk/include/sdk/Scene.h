#pragma once
// Scene objects and nodes: triangle-mesh objects, parametric primitives that convert to them,
// and nodes that hold an object reference.
#include <string>

#include "sdk/HostHeap.h"
#include "sdk/HostTypes.h"
#include "sdk/Matrix3.h"
#include "sdk/Mesh.h"

constexpr SClass_ID GEOMOBJECT_CLASS_ID = 0x10;
constexpr SClass_ID GUP_CLASS_ID = 0x10E0;
inline constexpr Class_ID triObjectClassID(0x0009, 0);
inline constexpr Class_ID planeObjectClassID(0x81f1dfc, 0x77566f65);
inline constexpr Class_ID boxObjectClassID(0x0010, 0);
inline constexpr Class_ID sphereObjectClassID(0x0011, 0);

constexpr int PART_GEOM = 2;  // "part 2 (geometry)"
constexpr int REFMSG_CHANGE = 80;
constexpr ULONG NOTIFY_ALL = 0xfffffff0u;

class Object : public MaxHeapOperators {
public:
    virtual ~Object() = default;
    virtual Class_ID ClassID() const = 0;
    // The object with its modifier stack collapsed; a plain object returns itself.
    virtual Object* CollapseObject() { return this; }
    virtual bool CanConvertToType(Class_ID cid) const { return cid == ClassID(); }
    // Returns this when already of class cid, a new object (owned by the caller) when it
    // converts, or null when it cannot convert.
    virtual Object* ConvertToType(TimeValue t, Class_ID cid);
    virtual void DeleteMe() { delete this; }
};

class TriObject : public Object {
public:
    Class_ID ClassID() const override { return triObjectClassID; }
    Mesh& GetMesh() { return mesh; }
    Mesh mesh;
};
TriObject* CreateNewTriObject();

// Parametric primitives, centred at the origin. Segment counts are clamped to
// [1, kMaxPrimitiveSegments] (sphere: at least 3 segments). Sizes are lengths: their magnitude is
// used, and a non-finite size counts as 0, so the mesh never holds NaN and a negative size never
// turns the faces inside out. ConvertToType(t, triObjectClassID) builds a new TriObject each call
// (owned by the caller); ConvertToType to the primitive's own class returns this.
// Every grid cell below is split along its (a, b)-(a+1, b+1) diagonal into the faces
// (p00, p10, p11) and (p00, p11, p01), where pAB is the grid vertex (a + A, b + B).
constexpr int kMaxPrimitiveSegments = 1024;

// Plane in the XY plane, width along x, length along y; segs x segs quads, each split along
// its (i, j)-(i+1, j+1) diagonal; normals point to +z. Vertex (i, j) (i along x, j along y, both
// in [0, segs]) has index j * (segs + 1) + i; quad (i, j) gives faces 2 (j * segs + i) and the
// next one.
class PlaneObject : public Object {
public:
    PlaneObject(float width, float length, int segments);
    Class_ID ClassID() const override { return planeObjectClassID; }
    bool CanConvertToType(Class_ID cid) const override;
    Object* ConvertToType(TimeValue t, Class_ID cid) override;
    float width, length; int segments;
};

// Box from (-w/2, -l/2, 0) to (w/2, l/2, h) (sitting on the ground plane, as the host's box),
// each side a segs x segs grid with shared corner and edge vertices (closed, outward normals):
// 6 segs^2 + 2 vertices and 12 segs^2 faces. Sides in the order bottom (-z), top (+z), front (-y),
// right (+x), back (+y), left (-x), each a grid over two axes (a, b) whose cross product points
// outward: bottom (y, x), top (x, y), front (x, z), right (y, z), back (z, x), left (z, y).
// Vertices are numbered in the order the sides first use them, row b by row b, a within a row.
class BoxObject : public Object {
public:
    BoxObject(float width, float length, float height, int segments);
    Class_ID ClassID() const override { return boxObjectClassID; }
    bool CanConvertToType(Class_ID cid) const override;
    Object* ConvertToType(TimeValue t, Class_ID cid) override;
    float width, length, height; int segments;
};

// UV sphere: `segments` around, segments/2 rings (at least 2); the poles are single vertices
// (0, 0, +-r) joined by a triangle fan to every segment. Closed, outward normals.
// With s segments and R rings: vertex 0 is the north pole, then the R - 1 parallels from north
// to south with s vertices each (polar angle pi k / R, azimuth 2 pi i / s from +x toward +y),
// then the south pole: 2 + s (R - 1) vertices, 2 s (R - 1) faces. Faces: the north fan
// (pole, ring1[i], ring1[i+1]), then each band between parallels k and k+1 as
// (k[i], k+1[i], k+1[i+1]) and (k[i], k+1[i+1], k[i+1]), then the south fan
// (pole, last[i+1], last[i]); ring indices wrap around.
class SphereObject : public Object {
public:
    SphereObject(float radius, int segments);
    Class_ID ClassID() const override { return sphereObjectClassID; }
    bool CanConvertToType(Class_ID cid) const override;
    Object* ConvertToType(TimeValue t, Class_ID cid) override;
    float radius; int segments;
};

// An object that cannot become a triangle mesh (a shape or a helper, in the host).
class HelperObject : public Object {
public:
    Class_ID ClassID() const override { return Class_ID(0x5, 0x5); }
};

class INode : public MaxHeapOperators {
public:
    INode(std::wstring name, Object* obj, ULONG handle) : name_(std::move(name)), obj_(obj), handle_(handle) {}
    ~INode();
    INode(const INode&) = delete;
    INode& operator=(const INode&) = delete;

    const MCHAR* GetName() const { return name_.c_str(); }
    ULONG GetHandle() const { return handle_; }
    Object* GetObjectRef() const { return obj_; }
    // The node owns its object: setting a different object deletes the previous one (DeleteMe),
    // and so does the node's destructor.
    void SetObjectRef(Object* obj);
    Matrix3 GetNodeTM(TimeValue) const { return tm_; }
    void SetNodeTM(TimeValue, const Matrix3& tm) { tm_ = tm; }

    // Tells dependents that the node's object changed; counted and recorded. Returns 1.
    int NotifyDependents(Interval changeInt, int partID, int message, ULONG sclass = NOTIFY_ALL,
                         bool propagate = true, void* hTarg = nullptr, int option = 0);

    struct Notification {
        Interval interval; int partID; int message; ULONG sclass; bool propagate; void* target; int option;
    };
    int notifyCount = 0;
    Notification lastNotification{};

private:
    std::wstring name_;
    Object* obj_;
    ULONG handle_;
    Matrix3 tm_;
};
