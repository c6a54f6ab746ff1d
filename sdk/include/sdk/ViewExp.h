#pragma once
// Viewport over a camera, and its graphics window that records every drawing call.
#include <vector>

#include "sdk/HostTypes.h"
#include "sdk/Matrix3.h"
#include "sdk/Point3.h"

struct RECT { int left, top, right, bottom; };

// Render-limit bits used by plug-ins.
constexpr DWORD GW_WIREFRAME = 0x1;
constexpr DWORD GW_Z_BUFFER = 0x20;
constexpr DWORD GW_TRANSPARENCY = 0x200000;

enum ColorType { LINE_COLOR = 0, FILL_COLOR, TEXT_COLOR, CLEAR_COLOR };

class GraphicsWindow {
public:
    enum class Op { SetRndLimits, SetTransform, SetColor, Polyline, EnlargeUpdateRect, UpdateScreen };
    struct Call {
        Op op;
        DWORD limits = 0;             // SetRndLimits
        Matrix3 transform;            // SetTransform
        ColorType colorType = LINE_COLOR;
        Point3 color;                 // SetColor
        std::vector<Point3> points;   // Polyline: points as given
        std::vector<Point3> world;    // Polyline: the same points through the current transform
        int closed = 0;
        bool wholeWindow = false;     // EnlargeUpdateRect with null
        RECT rect{0, 0, 0, 0};        // EnlargeUpdateRect with a rectangle
    };

    DWORD getRndLimits() const { return limits_; }
    void setRndLimits(DWORD l);
    Matrix3 getTransform() const { return tm_; }
    void setTransform(const Matrix3& m);
    void setColor(ColorType t, float r, float g, float b);
    void setColor(ColorType t, const Point3& c) { setColor(t, c.x, c.y, c.z); }
    // Polyline through ct points; rgb per-point colours and es edge flags may be null.
    // A negative ct, or points missing for a positive ct, draws and records nothing.
    void polyline(int ct, const Point3* xyz, const Point3* rgb, int closed, const int* es);
    void enlargeUpdateRect(const RECT* rect);
    void updateScreen();

    // What has been drawn since the last clearCalls.
    const std::vector<Call>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }

private:
    DWORD limits_ = GW_Z_BUFFER;
    Matrix3 tm_;
    std::vector<Call> calls_;
};

// A camera looking from eye to target. View axes: z = normalize(eye - target), x = normalize(up x z),
// y = z x x; when up is parallel to z, +y stands in for it (and +z when that is parallel too).
// Eye on the target gives z = +z. The mappings treat a window side below one pixel as one pixel
// and keep the field of view inside [0.01, 179.99] degrees, so they never produce NaN.
class ViewExp {
public:
    int width = 800, height = 600;
    Point3 eye{0.0f, -10.0f, 0.0f};
    Point3 target{0.0f, 0.0f, 0.0f};
    Point3 up{0.0f, 0.0f, 1.0f};
    bool perspective = true;
    float fovDegrees = 45.0f;     // vertical field of view (perspective)
    float orthoHeight = 10.0f;    // visible height in world units (orthographic)

    HWND GetHWnd() const { return hwnd_; }
    void SetHWnd(HWND h) { hwnd_ = h; }
    bool IsAlive() const { return true; }
    GraphicsWindow* getGW() { return &gw_; }

    // View axes x, y, z in world coordinates (rows 0, 1, 2 of the inverse affine transform).
    void GetViewAxes(Point3& x, Point3& y, Point3& z) const;
    // World-to-view transform; the rows 0, 1, 2 of its inverse are x, y, z and row 3 is eye.
    void getAffineTM(Matrix3& tm) const;
    Matrix3 getAffineTM() const { Matrix3 m; getAffineTM(m); return m; }
    // With nx = 2 sx / width - 1, ny = 1 - 2 sy / height, aspect = width / height:
    // perspective: origin eye, direction normalize(nx*aspect*tan(fov/2)*x + ny*tan(fov/2)*y - z);
    // orthographic: origin eye + nx*aspect*h/2*x + ny*h/2*y, direction -z.
    void MapScreenToWorldRay(float sx, float sy, Ray& ray) const;
    // Inverse of the ray mapping: window pixel of a world point (for hosts and tests). False (and
    // sx, sy untouched) for a point not in front of the eye in perspective, or a zero ortho height.
    bool MapWorldToScreen(const Point3& p, float& sx, float& sy) const;

private:
    HWND hwnd_ = nullptr;
    GraphicsWindow gw_;
};
