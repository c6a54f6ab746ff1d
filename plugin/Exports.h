#pragma once
// Marks the few symbols the host finds by name; everything else of the module stays hidden.
#define VELMORA_EXPORT __attribute__((visibility("default")))
