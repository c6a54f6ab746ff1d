#include "plugin/IVelmora.h"
#include "plugin/VisualBrushDrawingCallback.h"
VisualBrushDrawingCallback brushDisplay;
IVelmora velmoraInterface;
