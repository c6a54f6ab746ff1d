// The module's global objects, defined together so that their order is fixed: the scripting
// interface first, then the brush display, then the solver options interface; destruction at
// unload runs in the reverse order.
#include "plugin/IVelmora.h"
#include "plugin/IVelmoraOptions.h"
#include "plugin/VisualBrushDrawingCallback.h"

IVelmora velmoraInterface;
VisualBrushDrawingCallback brushDisplay;
IVelmoraOptions velmoraOptionsInterface;
