#include "sdk/ViewExp.h"

#include <cmath>

void GraphicsWindow::setRndLimits(DWORD l) {
    limits_ = l;
    Call c{};
    c.op = Op::SetRndLimits;
    c.limits = l;
    calls_.push_back(std::move(c));
}

void GraphicsWindow::setTransform(const Matrix3& m) {
    tm_ = m;
    Call c{};
    c.op = Op::SetTransform;
    c.transform = m;
    calls_.push_back(std::move(c));
}

void GraphicsWindow::setColor(ColorType t, float r, float g, float b) {
    Call c{};
    c.op = Op::SetColor;
    c.colorType = t;
    c.color = Point3(r, g, b);
    calls_.push_back(std::move(c));
}

void GraphicsWindow::polyline(int ct, const Point3* xyz, const Point3* /*rgb*/, int closed, const int* /*es*/) {
    if (ct < 0 || (ct > 0 && xyz == nullptr)) return;
    Call c{};
    c.op = Op::Polyline;
    c.closed = closed;
    c.points.assign(xyz, xyz + ct);
    c.world.reserve(static_cast<size_t>(ct));
    for (int i = 0; i < ct; ++i) c.world.push_back(xyz[i] * tm_);
    calls_.push_back(std::move(c));
}

void GraphicsWindow::enlargeUpdateRect(const RECT* rect) {
    Call c{};
    c.op = Op::EnlargeUpdateRect;
    c.wholeWindow = rect == nullptr;
    if (rect != nullptr) c.rect = *rect;
    calls_.push_back(std::move(c));
}

void GraphicsWindow::updateScreen() {
    Call c{};
    c.op = Op::UpdateScreen;
    calls_.push_back(std::move(c));
}

namespace {
struct V3 {
    double x, y, z;
};
V3 toV(const Point3& p) { return {p.x, p.y, p.z}; }
Point3 toP(const V3& v) { return Point3(v.x, v.y, v.z); }
V3 operator-(const V3& a, const V3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator+(const V3& a, const V3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator*(const V3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 cross(const V3& a, const V3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double len(const V3& a) { return std::sqrt(dot(a, a)); }

// Below this sine of the angle between up and z the cross product has no usable direction.
constexpr double kParallelSine = 1e-6;

struct Axes {
    V3 x, y, z;
};

// The view axes in double precision; every mapping below uses these same values.
Axes viewAxes(const ViewExp& v) {
    Axes a{};
    V3 z = toV(v.eye) - toV(v.target);
    const double zl = len(z);
    // Eye on the target: no viewing direction, so the view looks down from +z.
    a.z = (zl > 0.0 && std::isfinite(zl)) ? z * (1.0 / zl) : V3{0.0, 0.0, 1.0};
    const V3 candidates[3] = {toV(v.up), {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
    for (const V3& up : candidates) {
        const V3 x = cross(up, a.z);
        const double ul = len(up), xl = len(x);
        if (ul > 0.0 && std::isfinite(ul) && xl > kParallelSine * ul) {
            a.x = x * (1.0 / xl);
            break;
        }
    }
    a.y = cross(a.z, a.x);
    return a;
}

double safeSize(int pixels) { return pixels < 1 ? 1.0 : static_cast<double>(pixels); }

// tan(fov / 2) with the field of view kept inside (0, 180) degrees, so it stays finite.
double halfTan(float fovDegrees) {
    double fov = std::isfinite(fovDegrees) ? fovDegrees : 45.0;
    if (fov < 0.01) fov = 0.01;
    if (fov > 179.99) fov = 179.99;
    return std::tan(fov * 3.14159265358979323846 / 360.0);
}
}  // namespace

void ViewExp::GetViewAxes(Point3& x, Point3& y, Point3& z) const {
    const Axes a = viewAxes(*this);
    x = toP(a.x);
    y = toP(a.y);
    z = toP(a.z);
}

void ViewExp::getAffineTM(Matrix3& tm) const {
    // The camera frame has rows x, y, z, eye; its inverse (an orthonormal frame) is the transpose
    // of the rotation with the translation -eye expressed on the axes.
    const Axes a = viewAxes(*this);
    const V3 e = toV(eye);
    tm = Matrix3(Point3(a.x.x, a.y.x, a.z.x), Point3(a.x.y, a.y.y, a.z.y), Point3(a.x.z, a.y.z, a.z.z),
                 Point3(-dot(e, a.x), -dot(e, a.y), -dot(e, a.z)));
}

void ViewExp::MapScreenToWorldRay(float sx, float sy, Ray& ray) const {
    const Axes a = viewAxes(*this);
    const double w = safeSize(width), h = safeSize(height);
    const double nx = 2.0 * sx / w - 1.0;
    const double ny = 1.0 - 2.0 * sy / h;
    const double aspect = w / h;
    if (perspective) {
        const double t = halfTan(fovDegrees);
        const V3 d = a.x * (nx * aspect * t) + a.y * (ny * t) - a.z;
        ray.p = eye;
        ray.dir = toP(d * (1.0 / len(d)));
    } else {
        const double half = 0.5 * orthoHeight;
        ray.p = toP(toV(eye) + a.x * (nx * aspect * half) + a.y * (ny * half));
        ray.dir = toP(a.z * -1.0);
    }
}

bool ViewExp::MapWorldToScreen(const Point3& p, float& sx, float& sy) const {
    const Axes a = viewAxes(*this);
    const V3 rel = toV(p) - toV(eye);
    const double vx = dot(rel, a.x), vy = dot(rel, a.y), vz = dot(rel, a.z);
    const double w = safeSize(width), h = safeSize(height);
    const double aspect = w / h;
    double nx, ny;
    if (perspective) {
        // Only points in front of the eye (negative view z) reach the screen.
        if (!(vz < 0.0)) return false;
        const double t = halfTan(fovDegrees);
        nx = vx / (-vz * aspect * t);
        ny = vy / (-vz * t);
    } else {
        const double half = 0.5 * orthoHeight;
        if (!(half != 0.0)) return false;
        nx = vx / (aspect * half);
        ny = vy / half;
    }
    const double px = (nx + 1.0) * 0.5 * w, py = (1.0 - ny) * 0.5 * h;
    if (!std::isfinite(px) || !std::isfinite(py)) return false;
    sx = static_cast<float>(px);
    sy = static_cast<float>(py);
    return true;
}
