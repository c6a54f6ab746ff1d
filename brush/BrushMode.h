#pragma once
// The eight brush modes and their choice from the modifier keys of a drag event.
#include <cstdint>

#include "sdk/PluginFrame.h"

// Modifier bits of a mouse event as the host reports them.
constexpr int kShiftBit = MOUSE_SHIFT;
constexpr int kCtrlBit = MOUSE_CTRL;
constexpr int kAltBit = MOUSE_ALT;

enum class BrushMode : std::uint8_t {
    Move,       // no key: moves the cloth with the weights computed last
    Drag,       // Ctrl: picks again, then moves the cloth
    Flatten,    // Shift: reduces rest angles under the brush
    Expand,     // Shift+Ctrl: grows rest lengths under the brush
    Shrink,     // Ctrl+Alt: shrinks rest lengths under the brush
    MaskPaint,  // Alt: paints maskVal into the mask
    MaskBlur,   // Shift+Alt: blurs the mask
    Resize,     // Shift+Ctrl+Alt: scales the brush radius on vertical motion
};

// The mode that Shift (bit 0), Ctrl (bit 1) and Alt (bit 2) of `flags` select; other bits are
// ignored.
constexpr BrushMode brushModeFromFlags(int flags) {
    constexpr BrushMode kByBits[8] = {
        BrushMode::Move,       // ---
        BrushMode::Flatten,    // Shift
        BrushMode::Drag,       // Ctrl
        BrushMode::Expand,     // Shift+Ctrl
        BrushMode::MaskPaint,  // Alt
        BrushMode::MaskBlur,   // Shift+Alt
        BrushMode::Shrink,     // Ctrl+Alt
        BrushMode::Resize,     // Shift+Ctrl+Alt
    };
    return kByBits[flags & (kShiftBit | kCtrlBit | kAltBit)];
}
