#include "viewer/GlScene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace velmora::viewer {
namespace {

constexpr const char* kMeshVertex = R"(#version 330 core
layout(location = 0) in vec3 aPos;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec3 aColor;
uniform mat4 uViewProj;
uniform mat4 uModel;
out vec3 vNormal;
out vec3 vColor;
void main() {
    gl_Position = uViewProj * (uModel * vec4(aPos, 1.0));
    vNormal = mat3(uModel) * aNormal;
    vColor = aColor;
}
)";

// Two-sided headlight: open sheets look the same from both sides, as in the host's viewports.
constexpr const char* kMeshFragment = R"(#version 330 core
in vec3 vNormal;
in vec3 vColor;
uniform vec3 uLight;
uniform int uFlat;
uniform vec3 uFlatColor;
out vec4 fragColor;
void main() {
    if (uFlat == 1) { fragColor = vec4(uFlatColor, 1.0); return; }
    float l = length(vNormal);
    float d = l > 0.0 ? abs(dot(vNormal / l, uLight)) : 1.0;
    fragColor = vec4(vColor * (0.3 + 0.7 * d), 1.0);
}
)";

constexpr const char* kLineVertex = R"(#version 330 core
layout(location = 0) in vec3 aPos;
uniform mat4 uViewProj;
void main() { gl_Position = uViewProj * vec4(aPos, 1.0); }
)";

constexpr const char* kLineFragment = R"(#version 330 core
uniform vec3 uColor;
out vec4 fragColor;
void main() { fragColor = vec4(uColor, 1.0); }
)";

constexpr float kDefaultGrey = 0.8f;  // a mesh without vertex colours
constexpr float kWireGrey = 0.15f;

GLuint compile(GLenum type, const char* source) {
    const GLuint s = glCreateShader(type);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        std::fprintf(stderr, "velmora viewer: shader compile failed: %s\n", log);
    }
    return s;
}

GLuint link(const char* vertex, const char* fragment) {
    const GLuint vs = compile(GL_VERTEX_SHADER, vertex);
    const GLuint fs = compile(GL_FRAGMENT_SHADER, fragment);
    const GLuint p = glCreateProgram();
    glAttachShader(p, vs);
    glAttachShader(p, fs);
    glLinkProgram(p);
    GLint ok = 0;
    glGetProgramiv(p, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetProgramInfoLog(p, sizeof log, nullptr, log);
        std::fprintf(stderr, "velmora viewer: shader link failed: %s\n", log);
    }
    glDeleteShader(vs);
    glDeleteShader(fs);
    return p;
}

Mat4 modelMatrix(const Matrix3& m) {
    return {m.m[0].x, m.m[0].y, m.m[0].z, 0.0f, m.m[1].x, m.m[1].y, m.m[1].z, 0.0f,
            m.m[2].x, m.m[2].y, m.m[2].z, 0.0f, m.m[3].x, m.m[3].y, m.m[3].z, 1.0f};
}

bool validFace(const Face& f, DWORD numVerts) {
    return f.v[0] < numVerts && f.v[1] < numVerts && f.v[2] < numVerts;
}

}  // namespace

GlScene::GlScene() {
    meshProgram_ = link(kMeshVertex, kMeshFragment);
    meshViewProj_ = glGetUniformLocation(meshProgram_, "uViewProj");
    meshModel_ = glGetUniformLocation(meshProgram_, "uModel");
    meshLight_ = glGetUniformLocation(meshProgram_, "uLight");
    meshFlat_ = glGetUniformLocation(meshProgram_, "uFlat");
    meshFlatColor_ = glGetUniformLocation(meshProgram_, "uFlatColor");
    lineProgram_ = link(kLineVertex, kLineFragment);
    lineViewProj_ = glGetUniformLocation(lineProgram_, "uViewProj");
    lineColor_ = glGetUniformLocation(lineProgram_, "uColor");
    glGenVertexArrays(1, &lineVao_);
    glGenBuffers(1, &lineVbo_);
    glBindVertexArray(lineVao_);
    glBindBuffer(GL_ARRAY_BUFFER, lineVbo_);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 3 * sizeof(float), nullptr);
    glBindVertexArray(0);
    GLfloat range[2] = {1.0f, 1.0f};
    glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, range);
    maxLineWidth_ = std::max(1.0f, range[1]);
}

GlScene::~GlScene() {
    for (auto& entry : meshes_) release(entry.second);
    glDeleteBuffers(1, &lineVbo_);
    glDeleteVertexArrays(1, &lineVao_);
    glDeleteProgram(meshProgram_);
    glDeleteProgram(lineProgram_);
}

void GlScene::release(GpuMesh& g) {
    if (g.ebo) glDeleteBuffers(1, &g.ebo);
    if (g.vbo) glDeleteBuffers(1, &g.vbo);
    if (g.vao) glDeleteVertexArrays(1, &g.vao);
    g.vao = g.vbo = g.ebo = 0;
}

void GlScene::upload(GpuMesh& g, const Mesh& mesh, bool topology) {
    const int nv = mesh.getNumVerts();
    const int nf = mesh.getNumFaces();
    const DWORD unv = static_cast<DWORD>(nv);
    // Smooth normals: area-weighted sums of the face normals around each vertex.
    scratch_.assign(static_cast<size_t>(nv) * 9, 0.0f);
    for (int v = 0; v < nv; ++v) {
        const Point3& p = mesh.verts[static_cast<size_t>(v)];
        float* d = &scratch_[static_cast<size_t>(v) * 9];
        d[0] = p.x; d[1] = p.y; d[2] = p.z;
        d[6] = d[7] = d[8] = kDefaultGrey;
    }
    for (int f = 0; f < nf; ++f) {
        const Face& face = mesh.faces[static_cast<size_t>(f)];
        if (!validFace(face, unv)) continue;
        const Point3& a = mesh.verts[face.v[0]];
        const Point3 n = (mesh.verts[face.v[1]] - a) ^ (mesh.verts[face.v[2]] - a);
        if (!std::isfinite(n.x) || !std::isfinite(n.y) || !std::isfinite(n.z)) continue;
        for (DWORD v : face.v) {
            float* d = &scratch_[static_cast<size_t>(v) * 9];
            d[3] += n.x; d[4] += n.y; d[5] += n.z;
        }
    }
    // A vertex shows the colour of its corner in the highest-numbered face that uses it: that is
    // the colour the brush reads its mask from.
    const bool colours = mesh.getNumVCFaces() == nf && mesh.numCVerts() > 0;
    if (colours) {
        const DWORD ncv = static_cast<DWORD>(mesh.numCVerts());
        for (int f = 0; f < nf; ++f) {
            const Face& face = mesh.faces[static_cast<size_t>(f)];
            const TVFace& tf = mesh.vcFace[static_cast<size_t>(f)];
            if (!validFace(face, unv)) continue;
            for (int k = 0; k < 3; ++k) {
                if (tf.t[k] >= ncv) continue;
                const VertColor& c = mesh.vertCol[tf.t[k]];
                float* d = &scratch_[static_cast<size_t>(face.v[k]) * 9];
                d[6] = c.x; d[7] = c.y; d[8] = c.z;
            }
        }
    }
    if (!g.vao) {
        glGenVertexArrays(1, &g.vao);
        glGenBuffers(1, &g.vbo);
        glGenBuffers(1, &g.ebo);
        glBindVertexArray(g.vao);
        glBindBuffer(GL_ARRAY_BUFFER, g.vbo);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.ebo);
        const GLsizei stride = 9 * sizeof(float);
        for (GLuint a = 0; a < 3; ++a) {
            glEnableVertexAttribArray(a);
            glVertexAttribPointer(a, 3, GL_FLOAT, GL_FALSE, stride,
                                  reinterpret_cast<const void*>(static_cast<std::uintptr_t>(a * 3 * sizeof(float))));
        }
        topology = true;
    }
    glBindVertexArray(g.vao);
    glBindBuffer(GL_ARRAY_BUFFER, g.vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(scratch_.size() * sizeof(float)), scratch_.data(),
                 GL_DYNAMIC_DRAW);
    if (topology) {
        indices_.clear();
        indices_.reserve(static_cast<size_t>(nf) * 3);
        for (const Face& face : mesh.faces) {
            if (!validFace(face, unv)) continue;
            indices_.insert(indices_.end(), {face.v[0], face.v[1], face.v[2]});
        }
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.ebo);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices_.size() * sizeof(std::uint32_t)),
                     indices_.data(), GL_STATIC_DRAW);
        g.indexCount = static_cast<GLsizei>(indices_.size());
    }
    glBindVertexArray(0);
}

Box3 GlScene::sync(Interface& ip, bool meshesChanged) {
    Box3 box;
    std::map<ULONG, GpuMesh> kept;
    for (INode* node : ip.GetNodes()) {
        Object* obj = node->GetObjectRef();
        if (obj == nullptr) continue;
        auto found = meshes_.find(node->GetHandle());
        GpuMesh g;
        if (found != meshes_.end()) {
            g = std::move(found->second);
            meshes_.erase(found);
        }
        const Mesh* mesh = nullptr;
        auto* tri = dynamic_cast<TriObject*>(obj);
        if (tri != nullptr) {
            g.converted.reset();
            mesh = &tri->mesh;
        } else {
            if (!g.converted || g.object != obj) g.converted = std::make_unique<host::NodeMeshView>(node, ip.GetTime());
            mesh = g.converted->mesh();
        }
        if (mesh == nullptr) {
            release(g);
            continue;
        }
        const bool topology = g.object != obj || g.mesh != mesh || g.numVerts != mesh->getNumVerts() ||
                              g.numFaces != mesh->getNumFaces() || !g.vao;
        const Matrix3 tm = node->GetNodeTM(ip.GetTime());
        const bool refresh = topology || meshesChanged;
        if (refresh) upload(g, *mesh, topology);
        if (refresh || !(tm == g.tm)) g.box = host::worldBox(*mesh, tm);
        g.object = obj;
        g.mesh = mesh;
        g.numVerts = mesh->getNumVerts();
        g.numFaces = mesh->getNumFaces();
        g.tm = tm;
        if (!g.box.IsEmpty()) {
            box += g.box.pmin;
            box += g.box.pmax;
        }
        kept.emplace(node->GetHandle(), std::move(g));
    }
    for (auto& entry : meshes_) release(entry.second);
    meshes_ = std::move(kept);
    return box;
}

void GlScene::draw(const Mat4& viewProj, const Point3& lightDir, bool wireframe) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glUseProgram(meshProgram_);
    glUniformMatrix4fv(meshViewProj_, 1, GL_FALSE, viewProj.data());
    glUniform3f(meshLight_, lightDir.x, lightDir.y, lightDir.z);
    for (auto& entry : meshes_) {
        GpuMesh& g = entry.second;
        if (!g.vao || g.indexCount == 0) continue;
        const Mat4 model = modelMatrix(g.tm);
        glUniformMatrix4fv(meshModel_, 1, GL_FALSE, model.data());
        glBindVertexArray(g.vao);
        // Push the filled surface back a little so that the wire over it is not z-fighting.
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(1.0f, 1.0f);
        glUniform1i(meshFlat_, 0);
        glDrawElements(GL_TRIANGLES, g.indexCount, GL_UNSIGNED_INT, nullptr);
        glDisable(GL_POLYGON_OFFSET_FILL);
        if (wireframe) {
            glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
            glUniform1i(meshFlat_, 1);
            glUniform3f(meshFlatColor_, kWireGrey, kWireGrey, kWireGrey);
            glDrawElements(GL_TRIANGLES, g.indexCount, GL_UNSIGNED_INT, nullptr);
            glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        }
    }
    glBindVertexArray(0);
}

void GlScene::drawLines(const Mat4& viewProj, const std::vector<LineStrip>& strips) {
    if (strips.empty()) return;
    glUseProgram(lineProgram_);
    glUniformMatrix4fv(lineViewProj_, 1, GL_FALSE, viewProj.data());
    glBindVertexArray(lineVao_);
    glBindBuffer(GL_ARRAY_BUFFER, lineVbo_);
    glLineWidth(std::min(2.0f, maxLineWidth_));
    for (const LineStrip& s : strips) {
        if (s.depthTested) glEnable(GL_DEPTH_TEST);
        else glDisable(GL_DEPTH_TEST);
        glUniform3f(lineColor_, s.color.x, s.color.y, s.color.z);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.points.size() * sizeof(Point3)), s.points.data(),
                     GL_STREAM_DRAW);
        glDrawArrays(GL_LINE_STRIP, 0, static_cast<GLsizei>(s.points.size()));
    }
    glLineWidth(1.0f);
    glEnable(GL_DEPTH_TEST);
    glBindVertexArray(0);
}

int GlScene::vertexCount() const {
    int n = 0;
    for (const auto& entry : meshes_) n += entry.second.numVerts;
    return n;
}

int GlScene::faceCount() const {
    int n = 0;
    for (const auto& entry : meshes_) n += entry.second.numFaces;
    return n;
}

}  // namespace velmora::viewer
