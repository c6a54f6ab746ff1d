#include "cloth/ClothMouseProc.h"
// Placeholder until the stroke handling lands.
int ClothMouseProc::proc(HWND, int, int, int, IPoint2) { return 1; }
void ClothMouseProc::pickBrush(ViewExp&, IPoint2) {}
void ClothMouseProc::strokeStep(ViewExp&, int, IPoint2) {}
void ClothMouseProc::notifyMeshChanged() {}
