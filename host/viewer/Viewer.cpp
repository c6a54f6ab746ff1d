#include "viewer/Viewer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <system_error>

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>
#include <imgui.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>

#include "host/HostSession.h"
#include "host/Renderer.h"
#include "host/SceneCommands.h"
#include "host/ScriptParser.h"
#include "host/ScriptRunner.h"
#include "host/TextCodec.h"
#include "sdk/Cursors.h"
#include "sdk/Hold.h"
#include "sdk/Interface.h"
#include "viewer/DrawCalls.h"
#include "viewer/GlScene.h"
#include "viewer/InputQueue.h"
#include "viewer/SavePath.h"
#include "viewer/VelmoraSettings.h"
#include "viewer/ViewCamera.h"

namespace velmora::viewer {
namespace {

namespace fs = std::filesystem;

constexpr int kPanelWidth = 340;
constexpr int kMaxWindowSide = 4096;
constexpr float kBackground[3] = {0.22f, 0.22f, 0.24f};
constexpr double kIdleWaitSeconds = 1.0 / 60.0;

constexpr const char* kUsage =
    "usage: velmora-host view [--plugins DIR] [--screenshot PATH.png] [--stats] MESH|SCRIPT\n"
    "\n"
    "Opens a window on MESH (.obj or .ply) or runs SCRIPT first (load, viewport, settings, strokes),\n"
    "then sculpt by hand: B or the Brush button starts the brush, the left button strokes.\n"
    "  --plugins DIR         plug-in folder; default: ../plugins next to this program, else the build's folder\n"
    "  --screenshot PATH     F12 writes a PNG of the window there\n"
    "  --stats               print frame and drag-event times when the window closes\n"
    "Left drag: brush (none Move, Ctrl Drag, Shift Flatten, Shift+Ctrl Expand, Ctrl+Alt Shrink,\n"
    "  Alt MaskPaint, Shift+Alt MaskBlur, Shift+Ctrl+Alt Resize). Middle drag: orbit; Shift+middle: pan;\n"
    "  wheel: zoom; F: frame; W: wireframe; right click or Esc: leave the brush; Ctrl+Z undo;\n"
    "  Ctrl+Y or Ctrl+Shift+Z redo; Ctrl+S save as NAME-sculpted.EXT next to the input; Ctrl+Q quit.\n";

struct LegendRow {
    const char* keys;
    const char* mode;
    int flags;
};
constexpr LegendRow kLegend[8] = {
    {"none", "Move", 0},
    {"Ctrl", "Drag", MOUSE_CTRL},
    {"Shift", "Flatten", MOUSE_SHIFT},
    {"Shift+Ctrl", "Expand", MOUSE_SHIFT | MOUSE_CTRL},
    {"Ctrl+Alt", "Shrink", MOUSE_CTRL | MOUSE_ALT},
    {"Alt", "MaskPaint", MOUSE_ALT},
    {"Shift+Alt", "MaskBlur", MOUSE_SHIFT | MOUSE_ALT},
    {"Shift+Ctrl+Alt", "Resize", MOUSE_SHIFT | MOUSE_CTRL | MOUSE_ALT},
};

bool isMeshPath(const fs::path& p) {
    std::string ext = p.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".obj" || ext == ".ply";
}

void glfwErrorMessage(int code, const char* text) {
    std::cerr << "velmora-host view: window system error " << code << ": " << (text ? text : "") << '\n';
}

class ViewerApp {
public:
    ViewerApp(const ViewerOptions& options, std::ostream& out, std::ostream& err)
        : options_(options), out_(out), err_(err) {}
    ~ViewerApp() { tearDown(); }
    ViewerApp(const ViewerApp&) = delete;
    ViewerApp& operator=(const ViewerApp&) = delete;

    int run();

private:
    bool setUpScene();
    bool runStartScript(const fs::path& script);
    bool loadStartMesh(const fs::path& mesh);
    bool openWindow();
    void tearDown();
    void frame();
    void deliver(const InputEvent& e);
    void callMouseProc(int msg, int point, int flags, IPoint2 p);
    void perform(Action a);
    void applySettings(SettingsFunction f);
    void saveMesh();
    void writeScreenshot();
    void drawPanel();
    void drawPromptOverlay();
    void updateCursor();
    ViewExp& view() { return ip_->GetActiveViewExp(); }

    int modifierFlags() const;
    IPoint2 toViewport(double x, double y) const {
        return {static_cast<int>(std::floor(x)) - kPanelWidth, static_cast<int>(std::floor(y))};
    }
    bool inViewport(double x, double y) const;

    static ViewerApp& self(GLFWwindow* w) { return *static_cast<ViewerApp*>(glfwGetWindowUserPointer(w)); }
    void onCursor(double x, double y);
    void onButton(int button, int action, int mods);
    void onKey(int key, int action, int mods);
    void onScroll(double dy);

    const ViewerOptions& options_;
    std::ostream& out_;
    std::ostream& err_;
    host::HostSession session_;
    Interface* ip_ = nullptr;
    std::unique_ptr<host::ScriptRunner> runner_;
    fs::path saveSource_;
    fs::path savePath_;
    std::string title_;
    PanelSettings sent_;
    PanelSettings edit_;
    // The solver switch of VelmoraOptions, as last given to the plug-in and as shown.
    bool exactSent_ = false;
    bool exactEdit_ = false;
    InputQueue input_;

    GLFWwindow* window_ = nullptr;
    bool glfwReady_ = false;
    bool imguiReady_ = false;
    std::unique_ptr<GlScene> scene_;
    GLFWcursor* handCursor_ = nullptr;
    GLFWcursor* crossCursor_ = nullptr;
    CursorShape shownCursor_ = CursorShape::Arrow;

    bool keys_[6] = {};  // left/right shift, ctrl, alt
    double cursorX_ = -1.0, cursorY_ = -1.0;
    enum class CameraDrag { None, Orbit, Pan } cameraDrag_ = CameraDrag::None;
    double cameraX_ = 0.0, cameraY_ = 0.0;

    bool strokeDelivered_ = false;  // a press reached the mode's mouse procedure, its release not yet
    bool wireframe_ = false;
    bool meshesChanged_ = true;
    bool screenshotPending_ = false;
    double frameMs_ = 0.0;
    double lastDragMs_ = 0.0;
    long dragCount_ = 0;
    double dragMsTotal_ = 0.0, dragMsMax_ = 0.0;
    long frameCount_ = 0;
    double frameMsTotal_ = 0.0, frameMsMax_ = 0.0;
    std::string status_;
};

int ViewerApp::modifierFlags() const {
    int f = 0;
    if (keys_[0] || keys_[1]) f |= MOUSE_SHIFT;
    if (keys_[2] || keys_[3]) f |= MOUSE_CTRL;
    if (keys_[4] || keys_[5]) f |= MOUSE_ALT;
    return f;
}

bool ViewerApp::inViewport(double x, double y) const {
    if (!ip_) return false;
    const ViewExp& v = ip_->GetActiveViewExp();
    return x >= kPanelWidth && x < kPanelWidth + v.width && y >= 0.0 && y < v.height;
}

bool ViewerApp::setUpScene() {
    const fs::path pluginDir =
        options_.pluginDir.empty() ? host::choosePluginDir(options_.executable) : options_.pluginDir;
    std::string error;
    if (!session_.loadPlugins(pluginDir, error)) {
        err_ << "velmora-host view: " << error << '\n';
        return false;
    }
    ip_ = GetCOREInterface();
    if (isMeshPath(options_.input)) return loadStartMesh(options_.input);
    return runStartScript(options_.input);
}

bool ViewerApp::loadStartMesh(const fs::path& mesh) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(mesh, ec);
    runner_ = std::make_unique<host::ScriptRunner>(*ip_, absolute.parent_path(), out_);
    host::Command load;
    load.kind = host::CommandKind::Load;
    load.path = absolute.string();
    std::string error;
    if (!runner_->execute(load, error)) {
        err_ << "velmora-host view: " << error << '\n';
        return false;
    }
    saveSource_ = absolute;
    title_ = absolute.filename().string();
    // A view from above and in front shows a sheet lying in the ground plane as well as a solid.
    ViewExp& v = view();
    v.up = Point3(0.0f, 0.0f, 1.0f);
    v.target = Point3(0.0f, 0.0f, 0.0f);
    v.eye = Point3(0.45f, -0.75f, 0.6f) * 10.0f;
    Box3 box;
    if (host::selectionBox(*ip_, box, error)) host::frameBox(v, box);
    return true;
}

bool ViewerApp::runStartScript(const fs::path& script) {
    host::RunOptions runOptions;
    if (host::runScriptFile(*ip_, script, runOptions, out_, err_) != 0) return false;
    // The script ran whole; read it again for what the viewer keeps from it: the settings it
    // sent (the panel shows them) and the last mesh file it loaded (the name to save under).
    std::ifstream in(script, std::ios::binary);
    const fs::path base = script.parent_path();
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        const host::ParseResult parsed = host::parseScriptLine(line);
        if (!parsed.ok) continue;
        if (parsed.command.kind == host::CommandKind::Call) {
            recordScriptCall(sent_, parsed.command.call);
            recordExactSolverCall(exactSent_, parsed.command.call);
        }
        if (parsed.command.kind == host::CommandKind::Load) saveSource_ = base / parsed.command.path;
    }
    edit_ = sent_;
    exactEdit_ = exactSent_;
    runner_ = std::make_unique<host::ScriptRunner>(*ip_, base, out_);
    if (saveSource_.empty()) {
        // A primitive made by the script: name the file after the node, next to the script.
        INode* node = ip_->GetSelNodeCount() > 0 ? ip_->GetSelNode(0) : nullptr;
        saveSource_ = base / ((node ? host::narrow(node->GetName()) : std::string("mesh")) + ".ply");
    }
    title_ = script.filename().string();
    return true;
}

bool ViewerApp::openWindow() {
    glfwSetErrorCallback(glfwErrorMessage);
    if (!glfwInit()) {
        err_ << "velmora-host view: cannot open a window: no display (set DISPLAY, or run under Xvfb)\n";
        return false;
    }
    glfwReady_ = true;
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    ViewExp& v = view();
    const int width = std::clamp(v.width, 64, kMaxWindowSide) + kPanelWidth;
    const int height = std::clamp(v.height, 64, kMaxWindowSide);
    const std::string title = "Velmora - " + title_;
    window_ = glfwCreateWindow(width, height, title.c_str(), nullptr, nullptr);
    if (window_ == nullptr) {
        err_ << "velmora-host view: cannot create an OpenGL 3.3 core window\n";
        return false;
    }
    glfwMakeContextCurrent(window_);
    glfwSwapInterval(1);
    glfwSetWindowUserPointer(window_, this);
    // Ours first: the GUI backend installed after them passes every event on to them.
    glfwSetCursorPosCallback(window_, [](GLFWwindow* w, double x, double y) { self(w).onCursor(x, y); });
    glfwSetMouseButtonCallback(window_, [](GLFWwindow* w, int b, int a, int m) { self(w).onButton(b, a, m); });
    glfwSetKeyCallback(window_, [](GLFWwindow* w, int k, int, int a, int m) { self(w).onKey(k, a, m); });
    glfwSetScrollCallback(window_, [](GLFWwindow* w, double, double dy) { self(w).onScroll(dy); });

    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;  // no imgui.ini dropped into the user's folder
    io.ConfigFlags |= ImGuiConfigFlags_NoMouseCursorChange;  // the brush's cursors are ours to set
    ImGui::StyleColorsDark();
    ImGui_ImplGlfw_InitForOpenGL(window_, true);
    ImGui_ImplOpenGL3_Init("#version 330 core");
    imguiReady_ = true;

    scene_ = std::make_unique<GlScene>();
    handCursor_ = glfwCreateStandardCursor(GLFW_HAND_CURSOR);
    crossCursor_ = glfwCreateStandardCursor(GLFW_CROSSHAIR_CURSOR);
    return true;
}

void ViewerApp::tearDown() {
    if (strokeDelivered_ && ip_ && ip_->GetCommandMode()) {
        // Close the open stroke so its undo entry is complete before everything goes away.
        callMouseProc(MOUSE_POINT, 1, modifierFlags(), input_.lastCursor());
        strokeDelivered_ = false;
    }
    if (window_) glfwMakeContextCurrent(window_);
    scene_.reset();
    if (imguiReady_) {
        ImGui_ImplOpenGL3_Shutdown();
        ImGui_ImplGlfw_Shutdown();
        ImGui::DestroyContext();
        imguiReady_ = false;
    }
    if (handCursor_) glfwDestroyCursor(handCursor_);
    if (crossCursor_) glfwDestroyCursor(crossCursor_);
    handCursor_ = crossCursor_ = nullptr;
    if (window_) glfwDestroyWindow(window_);
    window_ = nullptr;
    if (glfwReady_) glfwTerminate();
    glfwReady_ = false;
    runner_.reset();
    session_.shutdown();
}

void ViewerApp::onCursor(double x, double y) {
    if (cameraDrag_ != CameraDrag::None && ip_) {
        const float dx = static_cast<float>(x - cameraX_), dy = static_cast<float>(y - cameraY_);
        if (cameraDrag_ == CameraDrag::Orbit) orbitCamera(view(), dx, dy);
        else panCamera(view(), dx, dy);
        cameraX_ = x;
        cameraY_ = y;
    }
    cursorX_ = x;
    cursorY_ = y;
    input_.cursorMoved(toViewport(x, y), modifierFlags());
}

void ViewerApp::onButton(int button, int action, int mods) {
    int flags = modifierFlags();
    if (mods & GLFW_MOD_SHIFT) flags |= MOUSE_SHIFT;
    if (mods & GLFW_MOD_CONTROL) flags |= MOUSE_CTRL;
    if (mods & GLFW_MOD_ALT) flags |= MOUSE_ALT;
    // The press position is the last cursor-move event's: with a fast (scripted) press the
    // window system's own position may already be the end of the stroke.
    const bool overViewport = inViewport(cursorX_, cursorY_);
    if (button == GLFW_MOUSE_BUTTON_LEFT) {
        if (action == GLFW_PRESS && overViewport) input_.buttonPressed(flags);
        if (action == GLFW_RELEASE) input_.buttonReleased(flags);
    } else if (button == GLFW_MOUSE_BUTTON_RIGHT) {
        if (action == GLFW_PRESS && overViewport) input_.requestAction(Action::LeaveBrush);
    } else if (button == GLFW_MOUSE_BUTTON_MIDDLE) {
        if (action == GLFW_PRESS && overViewport) {
            cameraDrag_ = (flags & MOUSE_SHIFT) ? CameraDrag::Pan : CameraDrag::Orbit;
            cameraX_ = cursorX_;
            cameraY_ = cursorY_;
        }
        if (action == GLFW_RELEASE) cameraDrag_ = CameraDrag::None;
    }
}

void ViewerApp::onKey(int key, int action, int mods) {
    const bool down = action != GLFW_RELEASE;
    switch (key) {
    case GLFW_KEY_LEFT_SHIFT: keys_[0] = down; return;
    case GLFW_KEY_RIGHT_SHIFT: keys_[1] = down; return;
    case GLFW_KEY_LEFT_CONTROL: keys_[2] = down; return;
    case GLFW_KEY_RIGHT_CONTROL: keys_[3] = down; return;
    case GLFW_KEY_LEFT_ALT: keys_[4] = down; return;
    case GLFW_KEY_RIGHT_ALT: keys_[5] = down; return;
    default: break;
    }
    if (action != GLFW_PRESS) return;
    if (imguiReady_ && ImGui::GetIO().WantTextInput) return;  // typing a number into the panel
    const bool ctrl = (mods & GLFW_MOD_CONTROL) != 0;
    const bool shift = (mods & GLFW_MOD_SHIFT) != 0;
    if (ctrl) {
        if (key == GLFW_KEY_Z) input_.requestAction(shift ? Action::Redo : Action::Undo);
        else if (key == GLFW_KEY_Y) input_.requestAction(Action::Redo);
        else if (key == GLFW_KEY_S) input_.requestAction(Action::Save);
        else if (key == GLFW_KEY_Q) input_.requestAction(Action::Quit);
        return;
    }
    switch (key) {
    case GLFW_KEY_F: input_.requestAction(Action::FrameSelection); break;
    case GLFW_KEY_W: wireframe_ = !wireframe_; break;
    case GLFW_KEY_B: input_.requestAction(Action::StartBrush); break;
    case GLFW_KEY_ESCAPE: input_.requestAction(Action::LeaveBrush); break;
    case GLFW_KEY_F12: input_.requestAction(Action::Screenshot); break;
    default: break;
    }
}

void ViewerApp::onScroll(double dy) {
    if (inViewport(cursorX_, cursorY_)) zoomCamera(view(), static_cast<float>(dy));
}

void ViewerApp::callMouseProc(int msg, int point, int flags, IPoint2 p) {
    CommandMode* mode = ip_->GetCommandMode();
    if (mode == nullptr) return;
    int points = 0;
    MouseCallBack* proc = mode->MouseProc(&points);
    if (proc == nullptr) return;
    try {
        proc->proc(ip_->ActiveViewportWindow(), msg, point, flags, p);
    } catch (const std::exception& ex) {
        status_ = std::string("The brush failed: ") + ex.what();
        err_ << "velmora-host view: " << status_ << '\n';
    }
}

void ViewerApp::deliver(const InputEvent& e) {
    const bool hasMode = ip_->GetCommandMode() != nullptr;
    switch (e.kind) {
    case InputEvent::Kind::Press:
        if (!hasMode) break;
        callMouseProc(MOUSE_POINT, 0, e.flags, e.point);
        strokeDelivered_ = true;
        meshesChanged_ = true;
        break;
    case InputEvent::Kind::Drag: {
        if (!strokeDelivered_ || !hasMode) break;
        const auto start = std::chrono::steady_clock::now();
        callMouseProc(MOUSE_MOVE, 0, e.flags, e.point);
        lastDragMs_ = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        ++dragCount_;
        dragMsTotal_ += lastDragMs_;
        dragMsMax_ = std::max(dragMsMax_, lastDragMs_);
        meshesChanged_ = true;
        break;
    }
    case InputEvent::Kind::Release:
        if (!strokeDelivered_) break;
        callMouseProc(MOUSE_POINT, 1, e.flags, e.point);
        strokeDelivered_ = false;
        meshesChanged_ = true;
        break;
    case InputEvent::Kind::FreeMove: {
        if (strokeDelivered_ || !hasMode) break;
        const ViewExp& v = view();
        if (e.point.x < 0 || e.point.y < 0 || e.point.x >= v.width || e.point.y >= v.height) break;
        callMouseProc(MOUSE_FREEMOVE, 0, e.flags, e.point);
        break;
    }
    case InputEvent::Kind::Action:
        perform(e.action);
        meshesChanged_ = true;
        break;
    }
}

void ViewerApp::perform(Action a) {
    std::string error;
    switch (a) {
    case Action::Undo:
        status_ = theHold.Undo() ? "Undone." : "Nothing to undo.";
        break;
    case Action::Redo:
        status_ = theHold.Redo() ? "Redone." : "Nothing to redo.";
        break;
    case Action::Save: saveMesh(); break;
    case Action::StartBrush:
        if (ip_->GetSelNodeCount() == 0) status_ = "Nothing is selected for the brush.";
        else if (!startBrush(error)) status_ = error;
        else status_ = "Brush on: drag with the left button.";
        break;
    case Action::LeaveBrush:
        if (ip_->GetCommandMode() != nullptr) {
            ip_->PopCommandMode();
            status_ = "Brush off.";
        }
        break;
    case Action::FrameSelection: {
        Box3 box;
        if (host::selectionBox(*ip_, box, error)) host::frameBox(view(), box);
        else status_ = error;
        break;
    }
    case Action::Screenshot:
        if (options_.screenshot.empty()) status_ = "Start the viewer with --screenshot PATH.png to take pictures.";
        else screenshotPending_ = true;
        break;
    case Action::Quit: glfwSetWindowShouldClose(window_, GLFW_TRUE); break;
    }
}

void ViewerApp::applySettings(SettingsFunction f) {
    std::string error;
    if (sendSettings(edit_, f, error)) {
        sent_ = edit_;
    } else {
        edit_ = sent_;  // the panel shows only what the plug-in was actually given
        status_ = error;
    }
}

void ViewerApp::saveMesh() {
    if (ip_->GetSelNodeCount() == 0) {
        status_ = "Nothing is selected to save.";
        return;
    }
    if (savePath_.empty()) savePath_ = chooseSavePath(saveSource_);
    host::Command save;
    save.kind = host::CommandKind::Save;
    save.path = savePath_.string();
    std::string error;
    if (!runner_->execute(save, error)) {
        status_ = "Save failed: " + error;
        err_ << "velmora-host view: " << status_ << '\n';
        return;
    }
    status_ = "Saved " + savePath_.filename().string();
    out_ << "Saved " << savePath_.string() << std::endl;
}

void ViewerApp::writeScreenshot() {
    int fbw = 0, fbh = 0;
    glfwGetFramebufferSize(window_, &fbw, &fbh);
    if (fbw <= 0 || fbh <= 0) return;
    std::vector<unsigned char> rgba(static_cast<size_t>(fbw) * static_cast<size_t>(fbh) * 4);
    // The back buffer, before the swap: after it the contents are undefined (and empty here).
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, fbw, fbh, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    host::Image image;
    image.resize(fbw, fbh, 0, 0, 0);
    for (int y = 0; y < fbh; ++y) {
        const unsigned char* src = &rgba[static_cast<size_t>(fbh - 1 - y) * static_cast<size_t>(fbw) * 4];
        std::uint8_t* dst = &image.rgb[static_cast<size_t>(y) * static_cast<size_t>(fbw) * 3];
        for (int x = 0; x < fbw; ++x) {
            dst[x * 3 + 0] = src[x * 4 + 0];
            dst[x * 3 + 1] = src[x * 4 + 1];
            dst[x * 3 + 2] = src[x * 4 + 2];
        }
    }
    std::string error;
    if (host::writePng(options_.screenshot.string(), image, error)) {
        status_ = "Screenshot " + options_.screenshot.filename().string();
        out_ << "Screenshot " << options_.screenshot.string() << std::endl;
    } else {
        status_ = "Screenshot failed: " + error;
        err_ << "velmora-host view: " << status_ << '\n';
    }
}

void ViewerApp::updateCursor() {
    CursorShape shape = CursorShape::Arrow;
    if (ip_->GetCommandMode() != nullptr && (strokeDelivered_ || inViewport(cursorX_, cursorY_))) {
        shape = cursorShapeFor(CursorNumber(GetCursor()));
    }
    if (shape == shownCursor_) return;
    shownCursor_ = shape;
    glfwSetCursor(window_, shape == CursorShape::Hand ? handCursor_
                           : shape == CursorShape::Crosshair ? crossCursor_ : nullptr);
}

void ViewerApp::drawPromptOverlay() {
    const auto& prompts = ip_->Prompts();
    if (prompts.empty()) return;
    const std::string text = host::narrow(prompts.back());
    const ViewExp& v = view();
    ImDrawList* dl = ImGui::GetForegroundDrawList();
    const ImVec2 pos(static_cast<float>(kPanelWidth) + 10.0f, static_cast<float>(v.height) - 26.0f);
    const ImVec2 size = ImGui::CalcTextSize(text.c_str());
    dl->AddRectFilled(ImVec2(pos.x - 4.0f, pos.y - 3.0f), ImVec2(pos.x + size.x + 4.0f, pos.y + size.y + 3.0f),
                      IM_COL32(0, 0, 0, 160), 3.0f);
    dl->AddText(pos, IM_COL32(255, 255, 255, 255), text.c_str());
}

void ViewerApp::drawPanel() {
    int ww = 0, wh = 0;
    glfwGetWindowSize(window_, &ww, &wh);
    ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(ImVec2(static_cast<float>(kPanelWidth), static_cast<float>(wh)));
    ImGui::Begin("Velmora", nullptr,
                 ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse |
                     ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoSavedSettings);
    ImGui::TextUnformatted(("Velmora - " + title_).c_str());
    ImGui::Text("%d vertices, %d faces", scene_->vertexCount(), scene_->faceCount());
    const bool brushOn = ip_->GetCommandMode() != nullptr;
    const auto& prompts = ip_->Prompts();
    ImGui::TextColored(ImVec4(1.0f, 0.9f, 0.3f, 1.0f), "%s",
                       prompts.empty() ? "Brush off: press B or Brush" : host::narrow(prompts.back()).c_str());

    if (ImGui::Button(brushOn ? "Brush (on)" : "Brush")) input_.requestAction(Action::StartBrush);
    ImGui::SameLine();
    if (ImGui::Button("Undo")) input_.requestAction(Action::Undo);
    ImGui::SameLine();
    if (ImGui::Button("Redo")) input_.requestAction(Action::Redo);
    ImGui::SameLine();
    if (ImGui::Button("Save")) input_.requestAction(Action::Save);
    if (brushOn) {
        ImGui::SameLine();
        if (ImGui::Button("Leave")) input_.requestAction(Action::LeaveBrush);
    }

    ImGui::PushItemWidth(130.0f);
    if (ImGui::CollapsingHeader("SetSettings", ImGuiTreeNodeFlags_DefaultOpen)) {
        bool changed = false;
        changed |= ImGui::DragInt("iterations", &edit_.iterations, 0.2f, 0, 1000);
        changed |= ImGui::DragFloat("moveStrength", &edit_.moveStrength, 0.01f, 0.0f, 0.0f, "%.3f");
        changed |= ImGui::DragFloat("damping", &edit_.damping, 0.002f, 0.0f, 0.0f, "%.3f");
        changed |= ImGui::DragFloat("plasticity", &edit_.plasticity, 0.002f, 0.0f, 0.0f, "%.3f");
        changed |= ImGui::DragFloat("bendiness", &edit_.bendiness, 0.002f, 0.0f, 0.0f, "%.3f");
        if (changed) applySettings(SettingsFunction::SetSettings);
    }
    if (ImGui::CollapsingHeader("SetSettingsV2", ImGuiTreeNodeFlags_DefaultOpen)) {
        bool changed = false;
        changed |= ImGui::Checkbox("useVCMask", &edit_.useVCMask);
        changed |= ImGui::Checkbox("gravityEnabled", &edit_.gravityEnabled);
        changed |= ImGui::Checkbox("pressureEnabled", &edit_.pressureEnabled);
        changed |= ImGui::DragFloat("gravity", &edit_.gravity, 0.01f, 0.0f, 0.0f, "%.3f");
        changed |= ImGui::DragFloat("pressure", &edit_.pressure, 0.01f, 0.0f, 0.0f, "%.3f");
        changed |= ImGui::Checkbox("groundCollision", &edit_.groundCollision);
        changed |= ImGui::DragFloat("maskVal", &edit_.maskVal, 0.005f, 0.0f, 1.0f, "%.3f");
        changed |= ImGui::DragFloat("maskBlurStrength", &edit_.maskBlurStrength, 0.005f, 0.0f, 0.0f, "%.3f");
        changed |= ImGui::DragFloat("clothStrength", &edit_.clothStrength, 0.01f, 0.0f, 0.0f, "%.3f");
        changed |= ImGui::Checkbox("directionalExpand", &edit_.directionalExpand);
        if (changed) applySettings(SettingsFunction::SetSettingsV2);
    }
    if (ImGui::CollapsingHeader("VelmoraOptions")) {
        if (ImGui::Checkbox("exact solver (no stabilisation)", &exactEdit_)) {
            std::string error;
            if (sendExactSolver(exactEdit_, error)) {
                exactSent_ = exactEdit_;
            } else {
                exactEdit_ = exactSent_;
                status_ = error;
            }
        }
        if (ImGui::IsItemHovered()) {
            ImGui::SetTooltip("Plain solver formulas: vertices with very many edges may diverge (the event is then undone)");
        }
    }
    ImGui::PopItemWidth();

    if (ImGui::CollapsingHeader("Modifier keys", ImGuiTreeNodeFlags_DefaultOpen) &&
        ImGui::BeginTable("legend", 2, ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersInnerV)) {
        const int held = modifierFlags();
        for (const LegendRow& row : kLegend) {
            ImGui::TableNextRow();
            const ImVec4 colour = row.flags == held ? ImVec4(1.0f, 0.9f, 0.3f, 1.0f) : ImVec4(0.85f, 0.85f, 0.85f, 1.0f);
            ImGui::TableSetColumnIndex(0);
            ImGui::TextColored(colour, "%s", row.keys);
            ImGui::TableSetColumnIndex(1);
            ImGui::TextColored(colour, "%s", row.mode);
        }
        ImGui::EndTable();
    }

    if (ImGui::CollapsingHeader("Undo history", ImGuiTreeNodeFlags_DefaultOpen)) {
        const std::vector<std::wstring> undo = theHold.UndoLabels();
        const std::vector<std::wstring> redo = theHold.RedoLabels();
        if (undo.empty() && redo.empty()) ImGui::TextDisabled("(empty)");
        constexpr size_t kShown = 8;
        if (undo.size() > kShown) ImGui::TextDisabled("... %zu earlier", undo.size() - kShown);
        for (size_t i = undo.size() > kShown ? undo.size() - kShown : 0; i < undo.size(); ++i) {
            ImGui::BulletText("%zu %s", i + 1, host::narrow(undo[i]).c_str());
        }
        // The next entry to redo is the last of the list: show it first, right under the undo list.
        for (size_t i = redo.size(); i-- > 0;) ImGui::TextDisabled("  undone: %s", host::narrow(redo[i]).c_str());
    }

    ImGui::Separator();
    ImGui::Text("frame %.1f ms   last drag event %.1f ms", frameMs_, lastDragMs_);
    ImGui::Text("drag events %ld%s", dragCount_, wireframe_ ? "   wireframe" : "");
    ImGui::TextDisabled("Mid: orbit  Shift+Mid: pan  Wheel: zoom");
    ImGui::TextDisabled("F frame  W wire  Esc/right: leave brush");
    ImGui::TextDisabled("Ctrl+Z undo  Ctrl+Y redo  Ctrl+S save");
    if (!status_.empty()) ImGui::TextWrapped("%s", status_.c_str());
    ImGui::End();
}

void ViewerApp::frame() {
    const auto start = std::chrono::steady_clock::now();
    glfwWaitEventsTimeout(kIdleWaitSeconds);
    int ww = 0, wh = 0, fbw = 0, fbh = 0;
    glfwGetWindowSize(window_, &ww, &wh);
    glfwGetFramebufferSize(window_, &fbw, &fbh);
    ViewExp& v = view();
    v.width = std::max(1, ww - kPanelWidth);
    v.height = std::max(1, wh);

    for (const InputEvent& e : input_.takeFrame()) deliver(e);
    updateCursor();

    glViewport(0, 0, fbw, fbh);
    glClearColor(kBackground[0], kBackground[1], kBackground[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const double scale = ww > 0 ? static_cast<double>(fbw) / ww : 1.0;
    const int vx = static_cast<int>(std::lround(kPanelWidth * scale));
    glViewport(vx, 0, std::max(1, fbw - vx), fbh);
    const Box3 box = scene_->sync(*ip_, meshesChanged_);
    meshesChanged_ = false;
    const auto clip = clipRange(v, box);
    const Mat4 viewProj = viewProjection(v, clip[0], clip[1]);
    scene_->draw(viewProj, viewDirection(v), wireframe_);
    // Every redraw-views callback draws through the viewport's graphics window for this picture.
    v.getGW()->clearCalls();
    ip_->RedrawViews(ip_->GetTime());
    scene_->drawLines(viewProj, lineStripsFromCalls(v.getGW()->calls()));
    glViewport(0, 0, fbw, fbh);

    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();
    drawPanel();
    drawPromptOverlay();
    ImGui::Render();
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    if (screenshotPending_) {
        writeScreenshot();
        screenshotPending_ = false;
    }
    glfwSwapBuffers(window_);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    frameMs_ = frameMs_ == 0.0 ? ms : 0.9 * frameMs_ + 0.1 * ms;
    ++frameCount_;
    frameMsTotal_ += ms;
    frameMsMax_ = std::max(frameMsMax_, ms);
}

int ViewerApp::run() {
    if (!setUpScene()) return 1;
    if (!openWindow()) return 1;
    out_ << "Viewer ready" << std::endl;
    while (!glfwWindowShouldClose(window_)) frame();
    tearDown();
    if (options_.stats) {
        // Frame times include the wait for events, at most 1/60 s when idle.
        out_ << "frames: " << frameCount_ << ", mean " << (frameCount_ ? frameMsTotal_ / static_cast<double>(frameCount_) : 0.0)
             << " ms, max " << frameMsMax_ << " ms\n"
             << "drag events: " << dragCount_ << ", mean " << (dragCount_ ? dragMsTotal_ / static_cast<double>(dragCount_) : 0.0)
             << " ms, max " << dragMsMax_ << " ms" << std::endl;
    }
    return 0;
}

}  // namespace

const char* viewerUsage() { return kUsage; }

bool parseViewerArgs(const std::vector<std::string>& args, ViewerOptions& options, std::string& error) {
    std::vector<std::string> inputs;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--plugins" || a == "--screenshot") {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            (a == "--plugins" ? options.pluginDir : options.screenshot) = args[++i];
        } else if (a == "--stats") {
            options.stats = true;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option '" + a + "'";
            return false;
        } else {
            inputs.push_back(a);
        }
    }
    if (inputs.size() != 1) {
        error = inputs.empty() ? "view needs a mesh or a script" : "view takes one mesh or script";
        return false;
    }
    options.input = inputs.front();
    return true;
}

int runViewer(const ViewerOptions& options, std::ostream& out, std::ostream& err) {
    ViewerApp app(options, out, err);
    return app.run();
}

int runViewer(const ViewerOptions& options) { return runViewer(options, std::cout, std::cerr); }

}  // namespace velmora::viewer
