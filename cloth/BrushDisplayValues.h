#pragma once
// The brush display's own copy of the brush: the frame and radius of the drawn circle.
#include "sdk/Matrix3.h"

struct BrushDisplayValues {
    Matrix3 displayFrame;          // rows 0-2 the brush orientation, row 3 the brush point
    float displayRadius = 10.0f;
};
