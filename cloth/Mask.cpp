#include <algorithm>
#include <cstddef>
#include <vector>

#include "cloth/ClothMouseProc.h"

// The colour faces are expected to match the geometry faces one for one, with indices inside the
// colour-vertex array. A mesh that breaks this (fewer colour faces, or an index past the colour
// vertices) has those corners skipped: they neither set a mask value nor receive a colour.

void ClothMouseProc::initMask() {
    const int numVerts = mesh->getNumVerts();
    const int numFaces = mesh->getNumFaces();
    std::vector<float>().swap(mask);
    mask.assign(static_cast<std::size_t>(numVerts), 0.0f);

    if (mesh->mapSupport(0)) {
        const int colourFaces = std::min(numFaces, mesh->getNumVCFaces());
        const DWORD colourVerts = static_cast<DWORD>(mesh->getNumVertCol());
        for (int f = 0; f < colourFaces; ++f) {
            const Face& face = mesh->faces[static_cast<std::size_t>(f)];
            const TVFace& colourFace = mesh->vcFace[static_cast<std::size_t>(f)];
            for (int k = 0; k < 3; ++k) {
                const DWORD c = colourFace.t[k];
                const DWORD v = face.v[k];
                if (c >= colourVerts || v >= static_cast<DWORD>(numVerts)) continue;
                // Later faces overwrite earlier ones: the highest-numbered face decides.
                mask[v] = mesh->vertCol[c].x;
            }
        }
        return;
    }

    mesh->setMapSupport(0, true);
    mesh->setNumVertCol(numVerts, false);
    mesh->setNumVCFaces(numFaces, false, 0);
    const int colourVerts = mesh->getNumVertCol();
    for (int i = 0; i < numVerts; ++i) {
        if (i < colourVerts) mesh->vertCol[static_cast<std::size_t>(i)] = Point3(1.0f, 1.0f, 1.0f);
        mask[static_cast<std::size_t>(i)] = 1.0f;
    }
    const int colourFaces = std::min(numFaces, mesh->getNumVCFaces());
    for (int f = 0; f < colourFaces; ++f) {
        const Face& face = mesh->faces[static_cast<std::size_t>(f)];
        mesh->vcFace[static_cast<std::size_t>(f)].setTVerts(static_cast<int>(face.v[0]), static_cast<int>(face.v[1]),
                                                            static_cast<int>(face.v[2]));
    }
}

void ClothMouseProc::writeMaskColors() {
    const int numFaces = std::min(mesh->getNumFaces(), mesh->getNumVCFaces());
    const DWORD colourVerts = static_cast<DWORD>(mesh->getNumVertCol());
    const DWORD maskSize = static_cast<DWORD>(mask.size());
    for (int f = 0; f < numFaces; ++f) {
        const Face& face = mesh->faces[static_cast<std::size_t>(f)];
        const TVFace& colourFace = mesh->vcFace[static_cast<std::size_t>(f)];
        for (int k = 0; k < 3; ++k) {
            const DWORD v = face.v[k];
            const DWORD c = colourFace.t[k];
            if (v >= maskSize || c >= colourVerts) continue;
            const float m = mask[v];
            mesh->vertCol[c] = Point3(m, m, m);
        }
    }
}
