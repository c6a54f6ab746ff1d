#pragma once
// The brush display: draws the brush as a yellow circle in the active viewport while the brush
// command mode is active.
#include "cloth/BrushDisplayValues.h"
#include "sdk/PluginFrame.h"

class VisualBrushDrawingCallback : public RedrawViewsCallback, public BrushDisplayValues {
public:
    // The identity frame and radius 10.
    VisualBrushDrawingCallback();
    ~VisualBrushDrawingCallback() override;

    // Draws a 37-point ring of displayRadius in the plane of displayFrame through the active
    // viewport's graphics window, which gets back its render limits and transform afterwards.
    // Allocates nothing.
    void proc(Interface* ip) override;
};

// The brush display object, constructed at load after the scripting interface.
extern VisualBrushDrawingCallback brushDisplay;
