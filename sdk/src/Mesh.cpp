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

// Moller-Trumbore, two-sided: the nearest t >= 0 over faces [begin, end); strict < keeps the
// lowest face index among equal distances. The barycentric tests run on values scaled by |det|,
// so the one division happens only for faces the ray actually crosses.
Hit nearestInRange(const RayJob& job, int begin, int end) {
    Hit best{std::numeric_limits<float>::infinity(), -1};
    const Point3 o = job.orig;
    const Point3 d = job.dir;
    const Point3* verts = job.verts;
    const DWORD nv = job.numVerts;
    for (int f = begin; f < end; ++f) {
        const DWORD* idx = job.faces[f].v;
        const DWORD i0 = idx[0], i1 = idx[1], i2 = idx[2];
        if (i0 >= nv || i1 >= nv || i2 >= nv) continue;
        const Point3 v0 = verts[i0];
        const Point3 e1 = verts[i1] - v0;
        const Point3 e2 = verts[i2] - v0;
        const Point3 p = d ^ e2;
        const float det = e1 % p;
        if (det == 0.0f) continue;
        const float sign = det < 0.0f ? -1.0f : 1.0f;
        const float absDet = det * sign;
        const Point3 s = o - v0;
        const float u = (s % p) * sign;
        // Written so that NaN fails every test.
        if (!(u >= 0.0f && u <= absDet)) continue;
        const Point3 q = s ^ e1;
        const float v = (d % q) * sign;
        if (!(v >= 0.0f && u + v <= absDet)) continue;
        const float tScaled = (e2 % q) * sign;
        if (!(tScaled >= 0.0f)) continue;
        const float t = tScaled / absDet;
        if (t < best.t) best = {t, f};
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
