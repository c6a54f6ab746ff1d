#pragma once
// The host's script language, one command a line. Parsing is a pure function of the line's text:
// it touches no scene, file or global state, so fuzzers and tests may call it with anything.
//
// Grammar of a line (`--` starts a comment that runs to the end of the line):
//   line     := [command {argument}] [comment]
//   argument := value | name ':' value | modifier
//   value    := "string" | number | true | false | [x,y] | [x,y,z]
// Strings take the escapes \" and \\; numbers are decimal with optional sign, fraction and
// exponent, and must be finite in double precision.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::host {

// One literal of a line.
struct ScriptValue {
    enum class Kind { String, Number, Bool, Point };
    Kind kind = Kind::Number;
    std::string text;             // String: the unescaped text; Number: the literal as written
    double number = 0.0;          // Number
    bool isInteger = false;       // Number written without fraction or exponent, within int32
    bool boolean = false;         // Bool
    std::array<double, 3> point{};  // Point: components (unused ones 0)
    int dimensions = 0;           // Point: 2 or 3
};

enum class PrimitiveKind { Plane, Box, Sphere };

// Modifier bits of mouse lines, as the mouse procedure receives them.
constexpr int kModShift = 1 << 0;
constexpr int kModCtrl = 1 << 1;
constexpr int kModAlt = 1 << 2;

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

enum class CommandKind {
    Empty,           // blank or comment-only line
    Load,            // path
    Create,          // primitive
    Select,          // names
    ClearSelection,
    Delete,          // names (one)
    Viewport,        // viewport
    Frame,
    Call,            // call
    Press, Drag, Release, Move,  // points[0], modifiers
    Stroke,          // points (press at the first, drags to the rest, release at the last), modifiers
    ExitMode,
    Undo,
    Redo,
    Save,            // path
    Render,          // path
    Print,
};

struct CreateArgs {
    PrimitiveKind primitive = PrimitiveKind::Plane;
    std::string name;        // default: "Plane", "Box" or "Sphere"
    double width = 10.0;     // plane, box
    double length = 10.0;    // plane, box
    double height = 10.0;    // box
    double radius = 5.0;     // sphere
    int segments = 10;       // before the primitive's own clamping
};

// Only the options present on the line are set; the rest keep the viewport's current values.
struct ViewportArgs {
    bool hasWidth = false, hasHeight = false, hasEye = false, hasTarget = false, hasUp = false;
    bool hasFov = false, hasOrtho = false;
    int width = 0, height = 0;
    std::array<double, 3> eye{}, target{}, up{};
    double fov = 0.0;        // degrees, in (0, 180)
    double ortho = 0.0;      // visible height in world units, > 0
};

struct CallArgs {
    std::string interfaceName;
    std::string functionName;
    std::vector<ScriptValue> args;   // positional, converted later against the declared types
};

struct Command {
    CommandKind kind = CommandKind::Empty;
    std::string path;                // Load, Save, Render: as written (relative to the script)
    std::vector<std::string> names;  // Select, Delete
    CreateArgs create;
    ViewportArgs viewport;
    CallArgs call;
    std::vector<ScreenPoint> points; // mouse and stroke lines, window pixels
    int modifiers = 0;               // kMod* bits
};

// Largest `steps:` of a straight stroke and largest |coordinate| of a mouse point; beyond them a
// line is refused rather than flooding the brush with events or overflowing pixel arithmetic.
constexpr int kMaxStrokeSteps = 100000;
constexpr double kMaxPixelCoordinate = 1.0e6;
// Largest viewport (and so rendered picture) side in pixels.
constexpr int kMaxViewportSide = 8192;

struct ParseResult {
    bool ok = false;
    Command command;      // valid when ok
    std::string error;    // when !ok: what is wrong, without file and line
};

// Parses one script line (without its line break). Never throws for any input.
ParseResult parseScriptLine(std::string_view line);

}  // namespace velmora::host
