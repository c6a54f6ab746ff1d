// Fuzz target: the host's script-line parser. Any bytes must give a result, never a crash or an
// exception; a refused line says why, and an accepted one keeps within the documented limits.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "host/ScriptParser.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora::host;
    const ParseResult r = parseScriptLine(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!r.ok) {
        if (r.error.empty()) fail("a refused line without a message");
        return 0;
    }
    const Command& c = r.command;
    for (const ScreenPoint& p : c.points) {
        if (std::fabs(static_cast<double>(p.x)) > kMaxPixelCoordinate || std::fabs(static_cast<double>(p.y)) > kMaxPixelCoordinate)
            fail("a mouse point beyond the pixel limit");
    }
    if (c.points.size() > static_cast<std::size_t>(kMaxStrokeSteps) + 2) fail("more stroke points than the step limit");
    if (c.kind == CommandKind::Viewport) {
        const ViewportArgs& v = c.viewport;
        if (v.hasWidth && (v.width <= 0 || v.width > kMaxViewportSide)) fail("viewport width out of range");
        if (v.hasHeight && (v.height <= 0 || v.height > kMaxViewportSide)) fail("viewport height out of range");
        if (v.hasFov && !(v.fov > 0.0 && v.fov < 180.0)) fail("field of view out of range");
        if (v.hasOrtho && !(v.ortho > 0.0 && std::isfinite(v.ortho))) fail("orthographic height out of range");
    }
    for (const ScriptValue& a : c.call.args) {
        if (a.kind == ScriptValue::Kind::Number && !std::isfinite(a.number)) fail("a non-finite number accepted");
    }
    if (c.kind == CommandKind::Create) {
        const CreateArgs& k = c.create;
        for (const double d : {k.width, k.length, k.height, k.radius}) {
            if (!std::isfinite(d)) fail("a non-finite size accepted");
        }
    }
    return 0;
}
