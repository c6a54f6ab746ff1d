#include "host/SceneCommands.h"

#include <algorithm>
#include <cmath>

#include "host/TextCodec.h"

namespace velmora::host {

NodeMeshView::NodeMeshView(INode* node, TimeValue t) {
    Object* obj = node ? node->GetObjectRef() : nullptr;
    if (!obj) return;
    Object* collapsed = obj->CollapseObject();
    if (!collapsed) return;
    Object* converted = collapsed->ConvertToType(t, triObjectClassID);
    if (!converted) return;
    if (converted != collapsed && converted != obj) temp_ = converted;
    if (converted->ClassID() == triObjectClassID) mesh_ = &static_cast<TriObject*>(converted)->GetMesh();
}

NodeMeshView::~NodeMeshView() {
    if (temp_) temp_->DeleteMe();
}

namespace {

bool nameTaken(Interface& ip, const std::string& name, std::string& error) {
    if (ip.GetINodeByName(widen(name))) {
        error = "a node named \"" + name + "\" already exists";
        return true;
    }
    return false;
}

}  // namespace

INode* createPrimitive(Interface& ip, const CreateArgs& a, std::string& error) {
    if (nameTaken(ip, a.name, error)) return nullptr;
    const int segs = std::clamp(a.segments, 1, kMaxPrimitiveSegments);
    Object* obj = nullptr;
    switch (a.primitive) {
    case PrimitiveKind::Plane:
        obj = new PlaneObject(static_cast<float>(a.width), static_cast<float>(a.length), segs);
        break;
    case PrimitiveKind::Box:
        obj = new BoxObject(static_cast<float>(a.width), static_cast<float>(a.length), static_cast<float>(a.height), segs);
        break;
    case PrimitiveKind::Sphere:
        obj = new SphereObject(static_cast<float>(a.radius), segs);
        break;
    }
    INode* node = ip.CreateObjectNode(obj, widen(a.name));
    ip.SelectNode(node, 1);
    return node;
}

INode* addMeshNode(Interface& ip, Mesh&& mesh, const std::string& name, std::string& error) {
    if (nameTaken(ip, name, error)) return nullptr;
    TriObject* tri = CreateNewTriObject();
    tri->mesh = std::move(mesh);
    INode* node = ip.CreateObjectNode(tri, widen(name));
    ip.SelectNode(node, 1);
    return node;
}

namespace {

bool findAll(Interface& ip, const std::vector<std::string>& names, std::vector<INode*>& nodes, std::string& error) {
    for (const std::string& n : names) {
        INode* node = ip.GetINodeByName(widen(n));
        if (!node) {
            error = "no node named \"" + n + "\"";
            return false;
        }
        nodes.push_back(node);
    }
    return true;
}

}  // namespace

bool selectByNames(Interface& ip, const std::vector<std::string>& names, std::string& error) {
    std::vector<INode*> nodes;
    if (!findAll(ip, names, nodes, error)) return false;
    ip.ClearNodeSelection();
    for (INode* n : nodes) ip.SelectNode(n, 0);
    return true;
}

bool deleteByNames(Interface& ip, const std::vector<std::string>& names, std::string& error) {
    std::vector<INode*> nodes;
    if (!findAll(ip, names, nodes, error)) return false;
    std::sort(nodes.begin(), nodes.end());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    for (INode* n : nodes) ip.DeleteNode(n);
    return true;
}

Box3 worldBox(const Mesh& mesh, const Matrix3& tm) {
    Box3 box;
    for (const Point3& p : mesh.verts) box += p * tm;
    return box;
}

bool selectionBox(Interface& ip, Box3& box, std::string& error) {
    if (ip.GetSelNodeCount() == 0) {
        error = "nothing is selected";
        return false;
    }
    box.Init();
    for (int i = 0; i < ip.GetSelNodeCount(); ++i) {
        INode* node = ip.GetSelNode(i);
        NodeMeshView view(node, ip.GetTime());
        if (!view.mesh()) continue;
        const Box3 b = worldBox(*view.mesh(), node->GetNodeTM(ip.GetTime()));
        if (b.IsEmpty()) continue;
        box += b.pmin;
        box += b.pmax;
    }
    if (box.IsEmpty()) {
        error = "the selection has no vertices";
        return false;
    }
    return true;
}

void frameBox(ViewExp& vp, const Box3& box) {
    constexpr double kPi = 3.14159265358979323846;
    const Point3 centre = box.Center();
    // A single point still gets a view of finite size.
    double radius = 0.5 * static_cast<double>(box.Width().Length());
    if (!(radius > 0.0)) radius = 1.0;
    Point3 axis = (vp.eye - vp.target).Normalize();
    if (axis.LengthSquared() == 0.0f) axis = Point3(0.0f, -1.0f, 0.0f);
    const double aspect = static_cast<double>(vp.width) / static_cast<double>(vp.height);
    const double halfV = 0.5 * static_cast<double>(vp.fovDegrees) * kPi / 180.0;
    const double halfH = std::atan(aspect * std::tan(halfV));
    const double half = std::min(halfV, halfH);
    const double distance = radius / std::sin(half);
    vp.target = centre;
    if (vp.perspective) {
        vp.eye = centre + axis * static_cast<float>(distance);
    } else {
        // Orthographic: the sphere's diameter in both directions; the eye stays outside the sphere
        // because picking rays start at the eye plane.
        vp.orthoHeight = static_cast<float>(2.0 * radius * std::max(1.0, 1.0 / aspect));
        vp.eye = centre + axis * static_cast<float>(std::max(distance, 2.0 * radius));
    }
}

std::string describeNode(INode* node, TimeValue t, std::string& error) {
    NodeMeshView view(node, t);
    if (!view.mesh()) {
        error = "node \"" + narrow(node->GetName()) + "\" has no mesh";
        return {};
    }
    const Mesh& m = *view.mesh();
    const Box3 b = worldBox(m, node->GetNodeTM(t));
    std::string line = narrow(node->GetName()) + ": " + std::to_string(m.getNumVerts()) + " vertices, " +
                       std::to_string(m.getNumFaces()) + " faces, bbox ";
    if (b.IsEmpty()) return line + "empty";
    auto pt = [](const Point3& p) {
        std::string r(1, '[');
        r.append(formatFloat(p.x)).append(1, ',').append(formatFloat(p.y)).append(1, ',').append(formatFloat(p.z));
        return r.append(1, ']');
    };
    return line + pt(b.pmin) + " to " + pt(b.pmax);
}

}  // namespace velmora::host
