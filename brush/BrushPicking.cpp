#include "cloth/ClothMouseProc.h"
#include "sdk/ViewExp.h"

void ClothMouseProc::pickBrush(ViewExp& vpt, IPoint2 m) {
    if (mesh == nullptr) return;
    const float x = static_cast<float>(m.x);
    const float y = static_cast<float>(m.y);

    Ray ray;
    ray.p = Point3(0.0f, 0.0f, 0.0f);
    ray.dir = Point3(0.0f, 0.0f, 0.0f);
    vpt.MapScreenToWorldRay(x, y, ray);

    // The world ray meets the mesh's own coordinates: the brush works on the mesh as stored,
    // whatever the node's transform.
    Point3 normal(0.0f, 0.0f, 0.0f);
    float distance = 0.0f;
    if (mesh->IntersectRay(ray, distance, normal) == 0) return;

    const Point3 hit(ray.p.x + ray.dir.x * distance, ray.p.y + ray.dir.y * distance,
                     ray.p.z + ray.dir.z * distance);

    // The view's vertical axis keeps the frame's roll steady as the brush slides over the surface.
    Matrix3 viewTm;
    vpt.getAffineTM(viewTm);
    const Point3 up = Inverse(viewTm).GetRow(1);

    brushFrame.IdentityMatrix();
    brushFrame.SetFromToUp(hit, hit + normal, up);

    if (display != nullptr) {
        display->displayFrame = brushFrame;
        display->displayRadius = brushRadius;
    }
}
