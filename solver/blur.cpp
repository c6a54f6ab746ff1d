// Mask blur: each face draws its corners' mask values toward their mean.
#include "solver/Solver.h"
#include "solver/StageDetail.h"

void blurMask(ClothMouseProc& state) {
    using namespace velmora::solver;
    if (!stateMatchesMesh(state)) return;
    const std::vector<Face>& faces = state.mesh->faces;
    float* mask = state.mask.data();
    const float* w = state.brushWeights.data();
    const float strength = state.settings.maskBlurStrength;
    // Faces run in order on this thread: each sees what earlier faces wrote.
    for (const Face& face : faces) {
        const DWORD a = face.v[0], b = face.v[1], c = face.v[2];
        const float k = blurFraction(w[a], w[b], w[c], strength);
        const float avg = thirdOf(mask[a] + mask[b] + mask[c]) * k;
        mask[a] = (1.0f - k) * mask[a] + avg;
        mask[b] = (1.0f - k) * mask[b] + avg;
        mask[c] = (1.0f - k) * mask[c] + avg;
    }
}
