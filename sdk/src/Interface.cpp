#include "sdk/Interface.h"

#include <algorithm>

#include "sdk/Hold.h"

namespace {
// The one viewport's window handle: a fixed address that is never dereferenced.
char gViewportWindowTag = 0;
HWND viewportWindow() { return reinterpret_cast<HWND>(&gViewportWindowTag); }

std::unique_ptr<ViewExp> makeViewport() {
    auto v = std::make_unique<ViewExp>();
    v->SetHWnd(viewportWindow());
    return v;
}
}  // namespace

Interface::Interface() : viewport_(makeViewport()) {}

Interface::~Interface() = default;

INode* Interface::CreateObjectNode(Object* obj, const std::wstring& name) {
    if (obj == nullptr) return nullptr;
    nodes_.push_back(std::make_unique<INode>(name, obj, nextHandle_++));
    return nodes_.back().get();
}

bool Interface::DeleteNode(INode* node) {
    auto it = std::find_if(nodes_.begin(), nodes_.end(), [node](const auto& n) { return n.get() == node; });
    if (node == nullptr || it == nodes_.end()) return false;
    selection_.erase(std::remove(selection_.begin(), selection_.end(), node), selection_.end());
    nodes_.erase(it);
    return true;
}

INode* Interface::GetINodeByName(const std::wstring& name) const {
    for (const auto& n : nodes_) {
        if (name == n->GetName()) return n.get();
    }
    return nullptr;
}

INode* Interface::GetINodeByHandle(ULONG handle) const {
    for (const auto& n : nodes_) {
        if (n->GetHandle() == handle) return n.get();
    }
    return nullptr;
}

std::vector<INode*> Interface::GetNodes() const {
    std::vector<INode*> out;
    out.reserve(nodes_.size());
    for (const auto& n : nodes_) out.push_back(n.get());
    return out;
}

INode* Interface::GetSelNode(int i) const {
    if (i < 0 || i >= GetSelNodeCount()) return nullptr;
    return selection_[static_cast<size_t>(i)];
}

void Interface::SelectNode(INode* node, int clearSel) {
    if (clearSel) selection_.clear();
    const bool inScene =
        std::any_of(nodes_.begin(), nodes_.end(), [node](const auto& n) { return n.get() == node; });
    if (node == nullptr || !inScene) return;
    if (std::find(selection_.begin(), selection_.end(), node) == selection_.end()) selection_.push_back(node);
}

void Interface::PushCommandMode(CommandMode* m) {
    if (m == nullptr) return;
    CommandMode* previous = GetCommandMode();
    if (previous == m) {
        m->ExitMode();
        m->EnterMode();
        return;
    }
    // Only the active mode is entered: the one below is left until it becomes active again.
    modes_.push_back(m);
    if (previous != nullptr) previous->ExitMode();
    m->EnterMode();
}

void Interface::PopCommandMode() {
    if (modes_.empty()) return;
    CommandMode* m = modes_.back();
    modes_.pop_back();
    m->ExitMode();
    if (CommandMode* next = GetCommandMode(); next != nullptr) next->EnterMode();
}

void Interface::RemoveMode(CommandMode* m) {
    if (m == nullptr) return;
    const bool active = GetCommandMode() == m;
    const bool present = std::find(modes_.begin(), modes_.end(), m) != modes_.end();
    if (!present) return;
    modes_.erase(std::remove(modes_.begin(), modes_.end(), m), modes_.end());
    if (!active) return;
    m->ExitMode();
    if (CommandMode* next = GetCommandMode(); next != nullptr) next->EnterMode();
}

void Interface::RegisterRedrawViewsCallback(RedrawViewsCallback* cb) {
    if (cb == nullptr) return;
    if (std::find(callbacks_.begin(), callbacks_.end(), cb) == callbacks_.end()) callbacks_.push_back(cb);
}

void Interface::UnRegisterRedrawViewsCallback(RedrawViewsCallback* cb) {
    callbacks_.erase(std::remove(callbacks_.begin(), callbacks_.end(), cb), callbacks_.end());
}

void Interface::RedrawViews(TimeValue /*t*/, DWORD vpFlags, void* /*changingObj*/) {
    ++redrawCount;
    lastRedrawFlags = vpFlags;
    // A callback may unregister itself or another one while it runs: walk a snapshot and skip
    // the ones that are gone by the time their turn comes.
    const std::vector<RedrawViewsCallback*> snapshot = callbacks_;
    for (RedrawViewsCallback* cb : snapshot) {
        if (std::find(callbacks_.begin(), callbacks_.end(), cb) != callbacks_.end()) cb->proc(this);
    }
}

ViewExp& Interface::GetViewExp(HWND /*hwnd*/) { return *viewport_; }

ViewExp& Interface::GetActiveViewExp() { return *viewport_; }

HWND Interface::ActiveViewportWindow() const { return viewport_->GetHWnd(); }

void Interface::Reset() {
    if (CommandMode* active = GetCommandMode(); active != nullptr) {
        modes_.clear();
        active->ExitMode();
    }
    modes_.clear();
    prompts_.clear();
    callbacks_.clear();
    selection_.clear();
    nodes_.clear();
    theHold.ClearHistory();
    viewport_ = makeViewport();
    time_ = 0;
    redrawCount = 0;
    lastRedrawFlags = 0;
}

Interface* GetCOREInterface() {
    // Never destroyed: plug-in statics that borrow it may outlive this library's statics at exit.
    static Interface* core = new Interface;
    return core;
}
