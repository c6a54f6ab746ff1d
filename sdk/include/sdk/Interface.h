#pragma once
// The host's core interface: scene nodes and selection, time, prompt line, command modes,
// redraw-views callbacks and viewports.
#include <memory>
#include <string>
#include <vector>

#include "sdk/HostTypes.h"
#include "sdk/PluginFrame.h"
#include "sdk/Scene.h"
#include "sdk/ViewExp.h"

constexpr DWORD REDRAW_INTERACTIVE = 2;

class Interface {
public:
    Interface();
    ~Interface();
    Interface(const Interface&) = delete;
    Interface& operator=(const Interface&) = delete;

    // Scene. The scene owns its nodes. A null object makes no node (returns null).
    INode* CreateObjectNode(Object* obj, const std::wstring& name);
    // Deletes a node (and its object). Returns false for a node not in the scene.
    bool DeleteNode(INode* node);
    INode* GetINodeByName(const std::wstring& name) const;
    // Null when no node of the scene has this handle (handles are never reused).
    INode* GetINodeByHandle(ULONG handle) const;
    std::vector<INode*> GetNodes() const;

    // Selection, in the order of selection. A node not in the scene is not selected; selecting
    // a selected node again keeps one entry. GetSelNode out of range: null.
    int GetSelNodeCount() const { return static_cast<int>(selection_.size()); }
    INode* GetSelNode(int i) const;
    void SelectNode(INode* node, int clearSel = 1);
    void ClearNodeSelection() { selection_.clear(); }

    TimeValue GetTime() const { return time_; }
    void SetTime(TimeValue t) { time_ = t; }

    // Prompt line: a stack of texts.
    void PushPrompt(const MCHAR* s) { prompts_.emplace_back(s ? s : L""); }
    void PopPrompt() { if (!prompts_.empty()) prompts_.pop_back(); }
    const std::vector<std::wstring>& Prompts() const { return prompts_; }

    // Command modes: pushing makes the mode active (EnterMode); pushing the active mode again
    // leaves it and enters it again. PopCommandMode leaves the active mode (ExitMode). Only the
    // active mode is entered: pushing another mode leaves the one below it, and popping enters
    // the one that becomes active again.
    void PushCommandMode(CommandMode* m);
    void PopCommandMode();
    CommandMode* GetCommandMode() const { return modes_.empty() ? nullptr : modes_.back(); }
    // Leaves every mode that `m` has on the stack (used when a plug-in goes away).
    void RemoveMode(CommandMode* m);

    // Redraw-views callbacks; registering one twice keeps one entry.
    void RegisterRedrawViewsCallback(RedrawViewsCallback* cb);
    void UnRegisterRedrawViewsCallback(RedrawViewsCallback* cb);
    const std::vector<RedrawViewsCallback*>& RedrawViewsCallbacks() const { return callbacks_; }
    // Calls every registered callback; counted.
    void RedrawViews(TimeValue t, DWORD vpFlags = REDRAW_INTERACTIVE, void* changingObj = nullptr);
    int redrawCount = 0;
    DWORD lastRedrawFlags = 0;

    // Viewports. There is one viewport per window handle; the first is active.
    ViewExp& GetViewExp(HWND hwnd);     // unknown handle: the active viewport
    ViewExp& GetActiveViewExp();
    HWND ActiveViewportWindow() const;

    // Back to an empty scene: modes left, prompts, callbacks and nodes cleared, undo history
    // cleared, viewport reset to its defaults (same window handle), time 0 and the redraw
    // counters zero. Node handles keep counting up.
    void Reset();

private:
    std::vector<std::unique_ptr<INode>> nodes_;
    std::vector<INode*> selection_;
    std::vector<std::wstring> prompts_;
    std::vector<CommandMode*> modes_;
    std::vector<RedrawViewsCallback*> callbacks_;
    std::unique_ptr<ViewExp> viewport_;
    TimeValue time_ = 0;
    ULONG nextHandle_ = 1;
};

Interface* GetCOREInterface();
