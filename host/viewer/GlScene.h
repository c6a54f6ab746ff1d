#pragma once
// OpenGL 3.3 drawing of the viewer's viewport: every scene node's mesh shaded with its vertex
// colours under a headlight, an optional wireframe over it, and world-space line strips (what the
// redraw-views callbacks drew). Needs a current GL context for every call, construction and
// destruction included.
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include <epoxy/gl.h>

#include "host/SceneCommands.h"
#include "sdk/Interface.h"
#include "viewer/DrawCalls.h"
#include "viewer/ViewCamera.h"

namespace velmora::viewer {

class GlScene {
public:
    GlScene();
    ~GlScene();
    GlScene(const GlScene&) = delete;
    GlScene& operator=(const GlScene&) = delete;

    // Brings the GPU copies up to date with the scene: a node's buffers are rebuilt when its
    // object or mesh changed identity or size, and its vertex data re-sent when `meshesChanged`
    // (the viewer sets it after anything that may move vertices or change colours). Nodes that
    // left the scene are dropped. Returns the world box of all meshes.
    Box3 sync(Interface& ip, bool meshesChanged);

    // Draws into the current viewport (x, y, width, height in framebuffer pixels) with `viewProj`.
    void draw(const Mat4& viewProj, const Point3& lightDir, bool wireframe);
    void drawLines(const Mat4& viewProj, const std::vector<LineStrip>& strips);

    int vertexCount() const;
    int faceCount() const;

private:
    struct GpuMesh {
        GLuint vao = 0, vbo = 0, ebo = 0;
        GLsizei indexCount = 0;
        const Object* object = nullptr;
        const Mesh* mesh = nullptr;
        int numVerts = 0, numFaces = 0;
        Matrix3 tm;
        Box3 box;  // world box, refreshed with the vertex data
        std::unique_ptr<host::NodeMeshView> converted;  // primitives: a mesh copy for drawing
    };
    void upload(GpuMesh& g, const Mesh& mesh, bool topology);
    static void release(GpuMesh& g);

    std::map<ULONG, GpuMesh> meshes_;  // by node handle
    GLuint meshProgram_ = 0, lineProgram_ = 0;
    GLint meshViewProj_ = -1, meshModel_ = -1, meshLight_ = -1, meshFlat_ = -1, meshFlatColor_ = -1;
    GLint lineViewProj_ = -1, lineColor_ = -1;
    GLuint lineVao_ = 0, lineVbo_ = 0;
    float maxLineWidth_ = 1.0f;
    std::vector<float> scratch_;
    std::vector<std::uint32_t> indices_;
};

}  // namespace velmora::viewer
