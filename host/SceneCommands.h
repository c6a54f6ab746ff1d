#pragma once
// Scene operations of the host's script: primitives, mesh nodes, selection by name, deletion,
// framing the selection, and read access to any node's mesh. Each operation either succeeds or
// returns an error and leaves the scene as it was.
#include <string>
#include <vector>

#include "host/ScriptParser.h"
#include "sdk/Interface.h"
#include "sdk/Mesh.h"
#include "sdk/Scene.h"
#include "sdk/ViewExp.h"

namespace velmora::host {

// The mesh of a node for reading: the node's own mesh when its object is a triangle mesh,
// otherwise a temporary converted copy owned by this view. The node's object is never replaced,
// so a primitive stays a primitive.
class NodeMeshView {
public:
    NodeMeshView(INode* node, TimeValue t);
    ~NodeMeshView();
    NodeMeshView(const NodeMeshView&) = delete;
    NodeMeshView& operator=(const NodeMeshView&) = delete;
    // Null when the node's object cannot become a triangle mesh.
    const Mesh* mesh() const { return mesh_; }

private:
    Object* temp_ = nullptr;
    const Mesh* mesh_ = nullptr;
};

// Creates the primitive node of `args` (segments clamped to kMaxPrimitiveSegments) and selects it
// alone. Fails when a node of that name exists.
INode* createPrimitive(Interface& ip, const CreateArgs& args, std::string& error);
// Adds a triangle-mesh node holding `mesh` and selects it alone. Fails when the name is taken.
INode* addMeshNode(Interface& ip, Mesh&& mesh, const std::string& name, std::string& error);
// Replaces the selection with the named nodes, in order. Fails (selection unchanged) when a name
// is unknown.
bool selectByNames(Interface& ip, const std::vector<std::string>& names, std::string& error);
// Deletes the named nodes. Fails (nothing deleted) when a name is unknown.
bool deleteByNames(Interface& ip, const std::vector<std::string>& names, std::string& error);

// World-space box of a mesh under a node transform. Empty for an empty mesh.
Box3 worldBox(const Mesh& mesh, const Matrix3& tm);
// World-space box of the selected nodes' meshes; false with `error` when nothing is selected or
// no selected node has vertices.
bool selectionBox(Interface& ip, Box3& box, std::string& error);
// Keeps the view direction and up; puts the target at the box centre and moves the eye back along
// the view axis until the box's bounding sphere fits the view (perspective, both directions), or
// sets the orthographic height so that the sphere fits (eye moved back as for perspective so that
// rays start outside the sphere).
void frameBox(ViewExp& vp, const Box3& box);

// One line: name, vertex and face counts and world bounding box of a node.
std::string describeNode(INode* node, TimeValue t, std::string& error);

}  // namespace velmora::host
