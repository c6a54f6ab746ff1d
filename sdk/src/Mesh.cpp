#include "sdk/Mesh.h"

#include <array>
#include <cmath>
#include <limits>

#include "sdk/Parallel.h"

bool Mesh::setNumVerts(int n, bool /*keep*/) {
    if (n < 0) return false;
    verts.resize(static_cast<size_t>(n));
    return true;
}

bool Mesh::setNumFaces(int n, bool /*keep*/) {
    if (n < 0) return false;
    faces.resize(static_cast<size_t>(n));
    // The colour channel has one colour face per face, as the host keeps its active maps.
    if (vcSupport_) vcFace.resize(static_cast<size_t>(n));
    return true;
}

BOOL Mesh::mapSupport(int mp) const { return mp == 0 && vcSupport_ ? TRUE : FALSE; }

void Mesh::setMapSupport(int mp, bool support) {
    if (mp != 0) return;
    if (support == vcSupport_) return;
    vcSupport_ = support;
    if (!support) {
        vertCol.clear();
        vcFace.clear();
        return;
    }
    // A new channel starts as the host's default: one white colour per vertex, colour faces
    // equal to the geometry faces, so every colour face index is valid at once.
    vertCol.assign(verts.size(), VertColor(1.0f, 1.0f, 1.0f));
    vcFace.resize(faces.size());
    for (size_t f = 0; f < faces.size(); ++f) {
        for (int k = 0; k < 3; ++k) vcFace[f].t[k] = faces[f].v[k];
    }
}

bool Mesh::setNumVertCol(int ct, bool /*keep*/) {
    if (ct < 0) return false;
    vertCol.resize(static_cast<size_t>(ct));
    return true;
}

bool Mesh::setNumVCFaces(int ct, bool /*keep*/, int /*oldCt*/) {
    if (ct < 0) return false;
    vcFace.resize(static_cast<size_t>(ct));
    return true;
}

Point3 Mesh::FaceNormal(int f, bool normalize) const {
    if (f < 0 || f >= getNumFaces()) return {};
    const Face& face = faces[static_cast<size_t>(f)];
    const DWORD nv = static_cast<DWORD>(verts.size());
    if (face.v[0] >= nv || face.v[1] >= nv || face.v[2] >= nv) return {};
    const Point3& a = verts[face.v[0]];
    const Point3& b = verts[face.v[1]];
    const Point3& c = verts[face.v[2]];
    const Point3 n = (b - a) ^ (c - a);
    if (!normalize) return n;
    const float l = n.Length();
    // Zero area, or non-finite coordinates: no direction rather than NaN.
    if (!(l > 0.0f) || !std::isfinite(l)) return {};
    return n / l;
}

void Mesh::buildBoundingBox() {
    bbox_.Init();
    for (const Point3& p : verts) bbox_ += p;
}

Box3 Mesh::getBoundingBox(const Matrix3* tm) const {
    if (tm == nullptr || bbox_.IsEmpty()) return bbox_;
    Box3 r;
    for (int c = 0; c < 8; ++c) {
        const Point3 p((c & 1) ? bbox_.pmax.x : bbox_.pmin.x, (c & 2) ? bbox_.pmax.y : bbox_.pmin.y,
                       (c & 4) ? bbox_.pmax.z : bbox_.pmin.z);
        r += p * *tm;
    }
    return r;
}

namespace {
// The faces are split into at most kMaxChunks fixed chunks; each keeps its nearest hit (lowest
// face on ties) and the chunks are reduced in order, so the answer is the same with any thread
// count and any scheduling.
constexpr int kMaxChunks = 64;
constexpr int kMinChunkFaces = 16384;

struct Hit {
    float t;
    int face;
};

struct RayJob {
    const Point3* verts;
    const Face* faces;
    DWORD numVerts;
    int numFaces;
    int chunkSize;
    Point3 orig;
    Point3 dir;
    Hit* hits;
};

// Faces are tested in blocks of kLanes: their corners are gathered into small arrays first, so
// the Moller-Trumbore arithmetic below is a fixed-length loop without branches that the compiler
// turns into vector code. Every face goes through the same arithmetic, in every block and on
// every thread, so the distances never depend on how the faces were split.
constexpr int kLanes = 8;

// Two-sided Moller-Trumbore on kLanes faces given as corner v0 and edges e1 = v1 - v0,
// e2 = v2 - v0: t[j] is the hit distance, or infinity for no hit at t >= 0. The barycentric tests
// run on values scaled by |det| so that a miss needs no division; NaN fails every test.
void intersectLanes(const Point3& o, const Point3& d, const float (&v0)[3][kLanes], const float (&e1)[3][kLanes],
                    const float (&e2)[3][kLanes], float (&t)[kLanes]) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    for (int j = 0; j < kLanes; ++j) {
        const float px = d.y * e2[2][j] - d.z * e2[1][j];
        const float py = d.z * e2[0][j] - d.x * e2[2][j];
        const float pz = d.x * e2[1][j] - d.y * e2[0][j];
        const float det = e1[0][j] * px + e1[1][j] * py + e1[2][j] * pz;
        const float sign = det < 0.0f ? -1.0f : 1.0f;
        const float absDet = det * sign;
        const float sx = o.x - v0[0][j], sy = o.y - v0[1][j], sz = o.z - v0[2][j];
        const float qx = sy * e1[2][j] - sz * e1[1][j];
        const float qy = sz * e1[0][j] - sx * e1[2][j];
        const float qz = sx * e1[1][j] - sy * e1[0][j];
        const float u = (sx * px + sy * py + sz * pz) * sign;
        const float v = (d.x * qx + d.y * qy + d.z * qz) * sign;
        const float tScaled = (e2[0][j] * qx + e2[1][j] * qy + e2[2][j] * qz) * sign;
        const bool crosses = (absDet > 0.0f) & (u >= 0.0f) & (v >= 0.0f) & (u + v <= absDet) & (tScaled >= 0.0f);
        t[j] = crosses ? tScaled / (crosses ? absDet : 1.0f) : kInf;
    }
}

// The nearest t >= 0 over faces [begin, end); strict < keeps the lowest face index among equal
// distances. A face with a corner index out of range is skipped (it has zero edges, so no hit).
Hit nearestInRange(const RayJob& job, int begin, int end) {
    Hit best{std::numeric_limits<float>::infinity(), -1};
    const Point3* verts = job.verts;
    const DWORD nv = job.numVerts;
    float v0[3][kLanes], e1[3][kLanes], e2[3][kLanes], t[kLanes];
    for (int f = begin; f < end; f += kLanes) {
        const int n = end - f < kLanes ? end - f : kLanes;
        for (int j = 0; j < kLanes; ++j) {
            Point3 a, b, c;
            if (j < n) {
                const DWORD* idx = job.faces[f + j].v;
                if (idx[0] < nv && idx[1] < nv && idx[2] < nv) {
                    a = verts[idx[0]];
                    b = verts[idx[1]] - a;
                    c = verts[idx[2]] - a;
                }
            }
            v0[0][j] = a.x; v0[1][j] = a.y; v0[2][j] = a.z;
            e1[0][j] = b.x; e1[1][j] = b.y; e1[2][j] = b.z;
            e2[0][j] = c.x; e2[1][j] = c.y; e2[2][j] = c.z;
        }
        intersectLanes(job.orig, job.dir, v0, e1, e2, t);
        for (int j = 0; j < n; ++j) {
            if (t[j] < best.t) best = {t[j], f + j};
        }
    }
    return best;
}
}  // namespace

int Mesh::IntersectRay(const Ray& ray, float& at, Point3& norm) const {
    const int nf = getNumFaces();
    if (nf == 0 || ray.dir.LengthSquared() == 0.0f) return 0;

    std::array<Hit, kMaxChunks> hits;
    int chunkSize = (nf + kMaxChunks - 1) / kMaxChunks;
    if (chunkSize < kMinChunkFaces) chunkSize = kMinChunkFaces;
    const int numChunks = (nf + chunkSize - 1) / chunkSize;
    RayJob job{verts.data(), faces.data(), static_cast<DWORD>(verts.size()), nf, chunkSize,
               ray.p, ray.dir, hits.data()};

    auto runChunks = [](void* ctx, int begin, int end) {
        const RayJob& j = *static_cast<const RayJob*>(ctx);
        for (int c = begin; c < end; ++c) {
            const int fb = c * j.chunkSize;
            const int fe = fb + j.chunkSize < j.numFaces ? fb + j.chunkSize : j.numFaces;
            j.hits[c] = nearestInRange(j, fb, fe);
        }
    };
    if (numChunks == 1) {
        runChunks(&job, 0, 1);
    } else {
        velmora::parallel::forRangesGrain(numChunks, 1, runChunks, &job);
    }

    Hit best{std::numeric_limits<float>::infinity(), -1};
    for (int c = 0; c < numChunks; ++c) {
        if (hits[static_cast<size_t>(c)].face >= 0 && hits[static_cast<size_t>(c)].t < best.t) {
            best = hits[static_cast<size_t>(c)];
        }
    }
    if (best.face < 0) return 0;
    at = best.t;
    norm = FaceNormal(best.face, true);
    // A sliver whose normal vanishes in float still reports a usable normal: facing the ray.
    if (norm.LengthSquared() == 0.0f) norm = -ray.dir.Normalize();
    return 1;
}
