#include "host/ScriptRunner.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <fstream>
#include <ostream>
#include <sstream>
#include <system_error>

#include "host/Renderer.h"
#include "host/SceneCommands.h"
#include "host/TextCodec.h"
#include "host/io/MeshIO.h"
#include "sdk/FunctionPublishing.h"
#include "sdk/Hold.h"

namespace velmora::host {

namespace fs = std::filesystem;

ScriptRunner::ScriptRunner(Interface& ip, fs::path baseDir, std::ostream& out)
    : ip_(ip), baseDir_(std::move(baseDir)), out_(out) {}

fs::path ScriptRunner::resolve(const std::string& path) const {
    const fs::path p(path);
    return p.is_absolute() ? p : baseDir_ / p;
}

bool ScriptRunner::firstSelected(INode*& node, std::string& error) const {
    if (ip_.GetSelNodeCount() == 0) {
        error = "nothing is selected";
        return false;
    }
    node = ip_.GetSelNode(0);
    return true;
}

bool ScriptRunner::execute(const Command& c, std::string& error) {
    switch (c.kind) {
    case CommandKind::Empty: return true;
    case CommandKind::Load: return load(c, error);
    case CommandKind::Create: return createPrimitive(ip_, c.create, error) != nullptr;
    case CommandKind::Select: return selectByNames(ip_, c.names, error);
    case CommandKind::ClearSelection: ip_.ClearNodeSelection(); return true;
    case CommandKind::Delete: return deleteByNames(ip_, c.names, error);
    case CommandKind::Viewport: return viewport(c, error);
    case CommandKind::Frame: return frame(error);
    case CommandKind::Call: return call(c, error);
    case CommandKind::Press:
        if (strokeOpen_) {
            error = "press while the previous press is not released";
            return false;
        }
        if (!mouse(MOUSE_POINT, 0, c.points.front(), c.modifiers, error)) return false;
        strokeOpen_ = true;
        return true;
    case CommandKind::Drag:
        if (!strokeOpen_) {
            error = "drag without a press (a move with no button held is 'move')";
            return false;
        }
        return mouse(MOUSE_MOVE, 0, c.points.front(), c.modifiers, error);
    case CommandKind::Release:
        if (!strokeOpen_) {
            error = "release without a press";
            return false;
        }
        if (!mouse(MOUSE_POINT, 1, c.points.front(), c.modifiers, error)) return false;
        strokeOpen_ = false;
        return true;
    case CommandKind::Move:
        if (strokeOpen_) {
            error = "move while the button is held (a move with the button held is 'drag')";
            return false;
        }
        return mouse(MOUSE_FREEMOVE, 0, c.points.front(), c.modifiers, error);
    case CommandKind::Stroke: return stroke(c, error);
    case CommandKind::ExitMode:
        if (strokeOpen_) {
            error = "exitMode between a press and its release";
            return false;
        }
        if (ip_.GetCommandMode()) ip_.PopCommandMode();
        return true;
    case CommandKind::Undo:
    case CommandKind::Redo:
        if (strokeOpen_ || theHold.Holding()) {
            error = std::string(c.kind == CommandKind::Undo ? "undo" : "redo") + " between a press and its release";
            return false;
        }
        // Nothing to undo or redo is not a fault, as in the host.
        if (c.kind == CommandKind::Undo) theHold.Undo();
        else theHold.Redo();
        return true;
    case CommandKind::Save: return save(c, error);
    case CommandKind::Render: return render(c, error);
    case CommandKind::Print: return print(error);
    }
    error = "unknown command";
    return false;
}

bool ScriptRunner::load(const Command& c, std::string& error) {
    const fs::path path = resolve(c.path);
    Mesh mesh;
    if (!io::readMesh(path.string(), mesh, error)) return false;
    return addMeshNode(ip_, std::move(mesh), path.stem().string(), error) != nullptr;
}

bool ScriptRunner::viewport(const Command& c, std::string& error) {
    ViewExp& vp = ip_.GetActiveViewExp();
    const ViewportArgs& a = c.viewport;
    auto p3 = [](const std::array<double, 3>& v) { return Point3(v[0], v[1], v[2]); };
    const Point3 eye = a.hasEye ? p3(a.eye) : vp.eye;
    const Point3 target = a.hasTarget ? p3(a.target) : vp.target;
    const Point3 up = a.hasUp ? p3(a.up) : vp.up;
    if (eye == target) {
        error = "viewport: eye and target are the same point";
        return false;
    }
    if (up.LengthSquared() == 0.0f) {
        error = "viewport: up is too short";
        return false;
    }
    if (a.hasWidth) vp.width = a.width;
    if (a.hasHeight) vp.height = a.height;
    vp.eye = eye;
    vp.target = target;
    vp.up = up;
    if (a.hasFov) {
        vp.perspective = true;
        vp.fovDegrees = static_cast<float>(a.fov);
    }
    if (a.hasOrtho) {
        vp.perspective = false;
        vp.orthoHeight = static_cast<float>(a.ortho);
    }
    return true;
}

bool ScriptRunner::frame(std::string& error) {
    Box3 box;
    if (!selectionBox(ip_, box, error)) return false;
    frameBox(ip_.GetActiveViewExp(), box);
    return true;
}

namespace {

std::string describeValue(const ScriptValue& v) {
    switch (v.kind) {
    case ScriptValue::Kind::String: return "\"" + v.text + "\"";
    case ScriptValue::Kind::Number: return v.text;
    case ScriptValue::Kind::Bool: return v.boolean ? "true" : "false";
    case ScriptValue::Kind::Point: return v.dimensions == 2 ? "a point [x,y]" : "a point [x,y,z]";
    }
    return "a value";
}

const char* typeName(ParamType2 t) {
    switch (t) {
    case TYPE_FLOAT: return "a float";
    case TYPE_INT: return "an int";
    case TYPE_BOOL: return "a BOOL (true, false or an integer)";
    case TYPE_INODE: return "a node (a quoted node name)";
    default: return "a value of an unsupported type";
    }
}

// Converts a script value to the declared parameter type; false when it does not convert.
bool convertArgument(Interface& ip, const ScriptValue& v, ParamType2 type, FPValue& out, std::string& why) {
    switch (type) {
    case TYPE_FLOAT:
        if (v.kind != ScriptValue::Kind::Number) return false;
        if (v.number > FLT_MAX || v.number < -FLT_MAX) {
            why = " (out of the float range)";
            return false;
        }
        out = FPValue::Float(static_cast<float>(v.number));
        return true;
    case TYPE_INT:
        if (v.kind != ScriptValue::Kind::Number || !v.isInteger) return false;
        out = FPValue::Int(static_cast<int>(v.number));
        return true;
    case TYPE_BOOL:
        if (v.kind == ScriptValue::Kind::Bool) {
            out = FPValue::Bool(v.boolean ? 1 : 0);
            return true;
        }
        if (v.kind != ScriptValue::Kind::Number || !v.isInteger) return false;
        out = FPValue::Bool(static_cast<int>(v.number));
        return true;
    case TYPE_INODE: {
        if (v.kind != ScriptValue::Kind::String) return false;
        INode* node = ip.GetINodeByName(widen(v.text));
        if (!node) {
            why = " (no node of that name)";
            return false;
        }
        out = FPValue::Node(node);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace

bool ScriptRunner::call(const Command& c, std::string& error) {
    const std::string full = c.call.interfaceName + "." + c.call.functionName;
    FPInterfaceDesc* iface = GetCOREInterfaceByName(widen(c.call.interfaceName));
    if (!iface) {
        error = "no interface named \"" + c.call.interfaceName + "\" (is its plug-in loaded?)";
        return false;
    }
    const FPFunctionDef* fn = iface->FindFunction(widen(c.call.functionName));
    if (!fn) {
        std::string names;
        for (const FPFunctionDef& f : iface->Functions()) names += (names.empty() ? "" : ", ") + narrow(f.internalName);
        error = "interface \"" + c.call.interfaceName + "\" has no function \"" + c.call.functionName + "\" (" +
                names + ")";
        return false;
    }
    if (c.call.args.size() != fn->params.size()) {
        std::string names;
        for (const FPParamDef& p : fn->params) names += (names.empty() ? "" : ", ") + narrow(p.internalName);
        error = full + " takes " + std::to_string(fn->params.size()) + " argument" +
                (fn->params.size() == 1 ? "" : "s") + (names.empty() ? "" : " (" + names + ")") + ", got " +
                std::to_string(c.call.args.size());
        return false;
    }
    FPParams params;
    params.params.reserve(static_cast<int>(fn->params.size()));
    for (size_t i = 0; i < fn->params.size(); ++i) {
        const FPParamDef& def = fn->params[i];
        FPValue value;
        std::string why;
        if (!convertArgument(ip_, c.call.args[i], def.type, value, why)) {
            error = "argument " + std::to_string(i + 1) + " (" + narrow(def.internalName) + ") of " + full + " must be " +
                    typeName(def.type) + ", got " + describeValue(c.call.args[i]) + why;
            return false;
        }
        params.params.append(value);
    }
    FPValue result;
    FPStatus status = FPS_FAIL;
    try {
        status = iface->Invoke(fn->id, ip_.GetTime(), result, &params);
    } catch (const std::exception& e) {
        error = full + " failed: " + e.what();
        return false;
    }
    if (status != FPS_OK) {
        error = full + " failed with status " + std::to_string(status);
        return false;
    }
    return true;
}

bool ScriptRunner::mouse(int msg, int point, const ScreenPoint& p, int modifiers, std::string& error) {
    CommandMode* mode = ip_.GetCommandMode();
    if (!mode) {
        error = "no command mode is active to take the mouse (enter one first, as with Velmora.DoOperation())";
        return false;
    }
    int numPoints = 0;
    MouseCallBack* proc = mode->MouseProc(&numPoints);
    if (!proc) {
        error = "the active command mode has no mouse procedure";
        return false;
    }
    const HWND hwnd = ip_.ActiveViewportWindow();
    try {
        if (msg == MOUSE_MOVE) {
            const auto start = std::chrono::steady_clock::now();
            proc->proc(hwnd, msg, point, modifiers, IPoint2(p.x, p.y));
            dragSeconds_.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        } else {
            proc->proc(hwnd, msg, point, modifiers, IPoint2(p.x, p.y));
        }
    } catch (const std::exception& e) {
        error = std::string("the mouse procedure failed: ") + e.what();
        return false;
    }
    // The record of the window's drawing calls would otherwise grow with every redraw.
    ip_.GetActiveViewExp().getGW()->clearCalls();
    return true;
}

bool ScriptRunner::stroke(const Command& c, std::string& error) {
    if (strokeOpen_) {
        error = "stroke while the previous press is not released";
        return false;
    }
    if (!mouse(MOUSE_POINT, 0, c.points.front(), c.modifiers, error)) return false;
    strokeOpen_ = true;
    const size_t total = c.points.size() + 1;
    for (size_t i = 1; i < c.points.size(); ++i) {
        if (!mouse(MOUSE_MOVE, 0, c.points[i], c.modifiers, error)) return false;
        if (strokeProgress_) strokeProgress_(i + 1, total);
    }
    if (!mouse(MOUSE_POINT, 1, c.points.back(), c.modifiers, error)) return false;
    strokeOpen_ = false;
    return true;
}

namespace {

bool ensureParent(const fs::path& path, std::string& error) {
    const fs::path parent = path.parent_path();
    if (parent.empty()) return true;
    std::error_code ec;
    fs::create_directories(parent, ec);
    if (ec) {
        error = "cannot create the folder " + parent.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace

bool ScriptRunner::save(const Command& c, std::string& error) {
    INode* node = nullptr;
    if (!firstSelected(node, error)) return false;
    NodeMeshView view(node, ip_.GetTime());
    if (!view.mesh()) {
        error = "node \"" + narrow(node->GetName()) + "\" has no mesh to save";
        return false;
    }
    const fs::path target = resolve(c.path);
    if (!ensureParent(target, error)) return false;
    // The writer replaces the target only with a complete file.
    return io::writeMesh(target.string(), *view.mesh(), error);
}

bool ScriptRunner::render(const Command& c, std::string& error) {
    const fs::path target = resolve(c.path);
    if (!ensureParent(target, error)) return false;
    return writePng(target.string(), renderActiveViewport(ip_), error);
}

bool ScriptRunner::print(std::string& error) {
    INode* node = nullptr;
    if (!firstSelected(node, error)) return false;
    const std::string line = describeNode(node, ip_.GetTime(), error);
    if (line.empty()) return false;
    out_ << line << '\n';
    out_.flush();
    return true;
}

namespace {

class ProgressBar {
public:
    ProgressBar(bool enabled, std::ostream& err) : enabled_(enabled), err_(err), start_(Clock::now()), last_(start_) {}
    ~ProgressBar() { clear(); }

    // `done` counts lines, with a fraction for a line under way.
    void update(double done, size_t total) {
        if (!enabled_ || total == 0) return;
        const auto now = Clock::now();
        if (now - start_ < std::chrono::seconds(1) || (shown_ && now - last_ < std::chrono::milliseconds(100))) return;
        last_ = now;
        shown_ = true;
        constexpr size_t kWidth = 30;
        const double part = std::clamp(done / static_cast<double>(total), 0.0, 1.0);
        const auto filled = static_cast<size_t>(part * kWidth);
        err_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, '.') << "] "
             << static_cast<int>(100.0 * part) << "% line " << static_cast<size_t>(std::ceil(done)) << " of "
             << total << std::flush;
    }
    void clear() {
        if (!shown_) return;
        err_ << "\r" << std::string(60, ' ') << "\r" << std::flush;
        shown_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;
    bool enabled_;
    std::ostream& err_;
    Clock::time_point start_, last_;
    bool shown_ = false;
};

void printStats(const std::vector<double>& seconds, std::ostream& out) {
    if (seconds.empty()) {
        out << "drag events: 0\n";
        return;
    }
    std::vector<double> sorted = seconds;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0.0;
    for (double s : sorted) sum += s;
    std::ostringstream line;
    line.setf(std::ios::fixed);
    line.precision(3);
    line << "drag events: " << sorted.size() << ", ms per event: mean " << 1000.0 * sum / static_cast<double>(sorted.size())
         << ", median " << 1000.0 * sorted[sorted.size() / 2] << ", max " << 1000.0 * sorted.back() << '\n';
    out << line.str();
}

}  // namespace

int runScriptFile(Interface& ip, const fs::path& script, const RunOptions& options, std::ostream& out,
                  std::ostream& err) {
    std::ifstream in(script, std::ios::binary);
    if (!in) {
        err << script.string() << ": cannot read the script\n";
        return 1;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    if (in.bad()) {
        err << script.string() << ": cannot read the script\n";
        return 1;
    }
    if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0) lines[0].erase(0, 3);

    fs::path base = script.parent_path();
    ScriptRunner runner(ip, base, out);
    ProgressBar bar(options.progress, err);
    size_t pressLine = 0;
    size_t current = 0;
    runner.setStrokeProgress([&](size_t sent, size_t total) {
        bar.update(static_cast<double>(current) + static_cast<double>(sent) / static_cast<double>(total), lines.size());
    });
    for (size_t i = 0; i < lines.size(); ++i) {
        current = i;
        const size_t lineNo = i + 1;
        ParseResult parsed = parseScriptLine(lines[i]);
        std::string error = parsed.error;
        if (parsed.ok && !runner.execute(parsed.command, error)) parsed.ok = false;
        if (!parsed.ok) {
            bar.clear();
            err << script.string() << ':' << lineNo << ": " << error << '\n';
            return 1;
        }
        if (parsed.command.kind == CommandKind::Press) pressLine = lineNo;
        bar.update(static_cast<double>(lineNo), lines.size());
    }
    bar.clear();
    if (runner.strokeOpen()) {
        err << script.string() << ':' << pressLine << ": the script ends before this press is released\n";
        return 1;
    }
    if (options.stats) printStats(runner.dragSeconds(), out);
    return 0;
}

}  // namespace velmora::host
