#pragma once
// The host class whose default constructor the module exports for the host's use.
#include "plugin/Exports.h"
#include "sdk/Exceptions.h"

class VertexNormalsCallback;

class VELMORA_EXPORT VertexNormalsControl {
public:
    // Enabled, with no callbacks. The plug-in itself never constructs one.
    VertexNormalsControl();

    bool enabled;
    Tab<VertexNormalsCallback*> callbacks;
};
