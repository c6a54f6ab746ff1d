// Whole drag events of the eight brush modes through the mouse procedure, with a real viewport
// ray for every pick: on a 100k-vertex bumpy grid and on a real scanned mesh (skipped when the
// shared meshes are absent). Each counts the heap allocations the drag events make.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "cloth/ClothMouseProc.h"
#include "io/MeshIO.h"
#include "sdk/Hold.h"
#include "sdk/Interface.h"
#include "sdk/Parallel.h"
#include "sdk/Scene.h"
#include "sdk/ViewExp.h"

namespace {
using velmora::bench::allocationCount;

// A node of the host's scene holding `mesh`, its cloth state built, and an orthographic camera
// straight down on the mesh's middle.
class BrushScene {
public:
    explicit BrushScene(Mesh mesh) {
        ip_ = GetCOREInterface();
        ip_->Reset();
        theHold.ClearHistory();
        TriObject* tri = CreateNewTriObject();
        tri->mesh = std::move(mesh);
        INode* node = ip_->CreateObjectNode(tri, L"cloth");
        cloth_.display = &display_;
        cloth_.mesh = &tri->mesh;
        cloth_.node = node;
        cloth_.nodeHandle = node->GetHandle();
        cloth_.buildClothState();

        cloth_.mesh->buildBoundingBox();
        const Box3 box = cloth_.mesh->getBoundingBox();
        const Point3 c = box.Center();
        const Point3 size = box.Width();
        ViewExp& v = ip_->GetActiveViewExp();
        v.perspective = false;
        v.eye = Point3(c.x, c.y, box.pmax.z + size.z + 10.0f);
        v.target = Point3(c.x, c.y, box.pmin.z);
        v.up = Point3(0.0f, 1.0f, 0.0f);
        v.orthoHeight = 1.2f * std::fmax(size.x, size.y);
        centre_ = IPoint2(v.width / 2, v.height / 2);
    }
    ~BrushScene() {
        theHold.ClearHistory();
        ip_->Reset();
    }

    ClothMouseProc& cloth() { return cloth_; }
    HWND window() { return ip_->ActiveViewportWindow(); }
    IPoint2 centre() const { return centre_; }

private:
    Interface* ip_ = nullptr;
    BrushDisplayValues display_;
    ClothMouseProc cloth_;
    IPoint2 centre_;
};

// One stroke: a press at the centre, then one drag event per benchmark iteration with the mode's
// modifier keys, the mouse swinging a few pixels around the centre (so Resize grows and shrinks
// the brush in turn), and the release at the end.
void runStroke(benchmark::State& bench, BrushScene& scene, int flags) {
    ClothMouseProc& cloth = scene.cloth();
    const IPoint2 c = scene.centre();
    cloth.proc(scene.window(), MOUSE_POINT, 0, flags, c);
    std::uint64_t allocations = 0;
    long event = 0;
    for (auto _ : bench) {
        const int swing = (event++ % 2 == 0) ? 3 : -3;
        const IPoint2 m(c.x + swing, c.y + swing);
        const std::uint64_t before = allocationCount();
        cloth.proc(scene.window(), MOUSE_MOVE, 0, flags, m);
        allocations += allocationCount() - before;
        benchmark::DoNotOptimize(cloth.mesh->verts.data());
    }
    cloth.proc(scene.window(), MOUSE_POINT, 1, flags, c);
    bench.counters["vertices"] = cloth.mesh->getNumVerts();
    // Vertices that edge records of more than one chunk touch: their contributions take the
    // slower way through slots (a measure of how coherent the mesh's order is).
    bench.counters["shared_vertices"] = static_cast<double>(cloth.work.sharedVertices.size()) /
                                        static_cast<double>(std::max(1, cloth.mesh->getNumVerts()));
    bench.counters["allocations_per_event"] = static_cast<double>(allocations) / static_cast<double>(bench.iterations());
    if (cloth.lastEventReverted) bench.SkipWithError("a drag event produced a non-finite value");
}

// The modifier bits of each mode: bit 0 Shift, bit 1 Ctrl, bit 2 Alt.
struct ModeCase {
    const char* name;
    int flags;
};
constexpr ModeCase kModes[] = {{"Move", 0},    {"Drag", MOUSE_CTRL},
                               {"Flatten", MOUSE_SHIFT}, {"Expand", MOUSE_SHIFT | MOUSE_CTRL},
                               {"Shrink", MOUSE_CTRL | MOUSE_ALT}, {"MaskPaint", MOUSE_ALT},
                               {"MaskBlur", MOUSE_SHIFT | MOUSE_ALT}, {"Resize", MOUSE_SHIFT | MOUSE_CTRL | MOUSE_ALT}};

void BM_BrushMode100k(benchmark::State& bench, int flags) {
    velmora::parallel::ThreadLimit limit(2);
    BrushScene scene(velmora::bench::bumpyGrid(316));
    runStroke(bench, scene, flags);
}

// The scanned head (134k vertices, closed) when present, else the bunny.
void BM_BrushModeRealMesh(benchmark::State& bench, int flags) {
    velmora::parallel::ThreadLimit limit(2);
    Mesh mesh;
    std::string error;
    std::string used;
    for (const char* file : {"igea.ply", "stanford-bunny.obj"}) {
        const std::string path = velmora::bench::sharedMeshDir() + "/" + file;
        if (velmora::io::readMesh(path, mesh, error)) {
            used = file;
            break;
        }
    }
    if (used.empty()) {
        for (auto _ : bench) {
        }
        bench.SkipWithError(("no real mesh: " + error).c_str());
        return;
    }
    BrushScene scene(std::move(mesh));
    bench.SetLabel(used);
    runStroke(bench, scene, flags);
}

const bool kRegistered = [] {
    for (const ModeCase& m : kModes) {
        benchmark::RegisterBenchmark((std::string("BM_BrushMode100k/") + m.name).c_str(), BM_BrushMode100k, m.flags)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    for (const ModeCase& m : kModes) {
        benchmark::RegisterBenchmark((std::string("BM_BrushModeRealMesh/") + m.name).c_str(), BM_BrushModeRealMesh,
                                     m.flags)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    return true;
}();

}  // namespace
