#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/Hold.h"
#include "sdk/Interface.h"

namespace {

class RecordingMode : public CommandMode {
public:
    RecordingMode(std::vector<std::string>* log, std::string name) : log_(log), name_(std::move(name)) {}
    int Class() override { return VIEWPORT_COMMAND; }
    int ID() override { return 202; }
    MouseCallBack* MouseProc(int* numPoints) override {
        *numPoints = 2;
        return &mouse_;
    }
    ChangeForegroundCallback* ChangeFGProc() override { return nullptr; }
    BOOL ChangeFG(CommandMode*) override { return FALSE; }
    void EnterMode() override { log_->push_back("enter " + name_); }
    void ExitMode() override { log_->push_back("exit " + name_); }

private:
    std::vector<std::string>* log_;
    std::string name_;
    MouseCallBack mouse_;
};

TEST(InterfaceTest, CommandModeStack) {
    Interface ip;
    std::vector<std::string> log;
    RecordingMode a(&log, "a"), b(&log, "b");
    ip.PushCommandMode(&a);
    EXPECT_EQ(ip.GetCommandMode(), &a);
    ip.PushCommandMode(&a);  // the active mode again: left and entered again
    ip.PushCommandMode(&b);
    EXPECT_EQ(ip.GetCommandMode(), &b);
    ip.PopCommandMode();
    EXPECT_EQ(ip.GetCommandMode(), &a);
    ip.PopCommandMode();
    EXPECT_EQ(ip.GetCommandMode(), nullptr);
    ip.PopCommandMode();  // nothing to pop
    ip.PushCommandMode(nullptr);
    const std::vector<std::string> want = {"enter a", "exit a", "enter a", "exit a", "enter b",
                                           "exit b",  "enter a", "exit a"};
    EXPECT_EQ(log, want);

    log.clear();
    ip.PushCommandMode(&a);
    ip.PushCommandMode(&b);
    ip.RemoveMode(&a);  // not active: no calls
    EXPECT_EQ(ip.GetCommandMode(), &b);
    ip.RemoveMode(&b);
    EXPECT_EQ(ip.GetCommandMode(), nullptr);
    const std::vector<std::string> want2 = {"enter a", "exit a", "enter b", "exit b"};
    EXPECT_EQ(log, want2);
}

class CountingCallback : public RedrawViewsCallback {
public:
    void proc(Interface* ip) override {
        ++calls;
        seen = ip;
        if (unregisterSelf) ip->UnRegisterRedrawViewsCallback(this);
    }
    int calls = 0;
    Interface* seen = nullptr;
    bool unregisterSelf = false;
};

TEST(InterfaceTest, RedrawViewsCallsEveryRegisteredCallback) {
    Interface ip;
    CountingCallback one, two;
    ip.RegisterRedrawViewsCallback(&one);
    ip.RegisterRedrawViewsCallback(&one);
    ip.RegisterRedrawViewsCallback(&two);
    EXPECT_EQ(ip.RedrawViewsCallbacks().size(), 2u);
    ip.RedrawViews(5, REDRAW_INTERACTIVE);
    EXPECT_EQ(ip.redrawCount, 1);
    EXPECT_EQ(ip.lastRedrawFlags, REDRAW_INTERACTIVE);
    EXPECT_EQ(one.calls, 1);
    EXPECT_EQ(two.calls, 1);
    EXPECT_EQ(one.seen, &ip);

    one.unregisterSelf = true;
    ip.RedrawViews(6);
    ip.RedrawViews(7);
    EXPECT_EQ(one.calls, 2);
    EXPECT_EQ(two.calls, 3);
    ip.UnRegisterRedrawViewsCallback(&two);
    ip.RedrawViews(8);
    EXPECT_EQ(two.calls, 3);
    EXPECT_EQ(ip.redrawCount, 4);
}

TEST(InterfaceTest, NodesSelectionAndPrompts) {
    Interface ip;
    INode* a = ip.CreateObjectNode(CreateNewTriObject(), L"A");
    INode* b = ip.CreateObjectNode(CreateNewTriObject(), L"B");
    EXPECT_EQ(ip.CreateObjectNode(nullptr, L"C"), nullptr);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a->GetHandle(), b->GetHandle());
    EXPECT_EQ(ip.GetINodeByName(L"B"), b);
    EXPECT_EQ(ip.GetINodeByHandle(a->GetHandle()), a);
    EXPECT_EQ(ip.GetNodes().size(), 2u);

    EXPECT_EQ(ip.GetSelNodeCount(), 0);
    EXPECT_EQ(ip.GetSelNode(0), nullptr);
    ip.SelectNode(b);
    ip.SelectNode(a, 0);
    ip.SelectNode(a, 0);
    ASSERT_EQ(ip.GetSelNodeCount(), 2);
    EXPECT_EQ(ip.GetSelNode(0), b);
    EXPECT_EQ(ip.GetSelNode(1), a);
    ip.SelectNode(a);
    EXPECT_EQ(ip.GetSelNodeCount(), 1);

    const ULONG handle = a->GetHandle();
    EXPECT_TRUE(ip.DeleteNode(a));
    EXPECT_FALSE(ip.DeleteNode(a));
    EXPECT_EQ(ip.GetSelNodeCount(), 0);
    EXPECT_EQ(ip.GetINodeByHandle(handle), nullptr);
    INode* c = ip.CreateObjectNode(CreateNewTriObject(), L"C");
    EXPECT_GT(c->GetHandle(), b->GetHandle()) << "handles are never reused";

    ip.PushPrompt(L"first");
    ip.PushPrompt(L"second");
    ip.PopPrompt();
    ASSERT_EQ(ip.Prompts().size(), 1u);
    EXPECT_EQ(ip.Prompts()[0], L"first");
    ip.PopPrompt();
    ip.PopPrompt();
    EXPECT_TRUE(ip.Prompts().empty());
}

TEST(InterfaceTest, CoreInterfaceAndViewport) {
    Interface* core = GetCOREInterface();
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(GetCOREInterface(), core);
    const HWND hwnd = core->ActiveViewportWindow();
    EXPECT_NE(hwnd, nullptr);
    EXPECT_EQ(core->GetActiveViewExp().GetHWnd(), hwnd);
    EXPECT_EQ(&core->GetViewExp(hwnd), &core->GetActiveViewExp());
    EXPECT_EQ(&core->GetViewExp(nullptr), &core->GetActiveViewExp());
}

class NoteRecord : public RestoreObj {
public:
    void Restore(int) override {}
    void Redo() override {}
};

TEST(InterfaceTest, ResetEmptiesTheScene) {
    Interface ip;
    std::vector<std::string> log;
    RecordingMode a(&log, "a");
    CountingCallback cb;
    ip.PushCommandMode(&a);
    ip.RegisterRedrawViewsCallback(&cb);
    ip.SelectNode(ip.CreateObjectNode(CreateNewTriObject(), L"A"));
    ip.PushPrompt(L"p");
    ip.SetTime(160);
    ip.RedrawViews(0);
    ip.GetActiveViewExp().eye = {1.0f, 2.0f, 3.0f};
    const HWND hwnd = ip.ActiveViewportWindow();
    theHold.Begin();
    theHold.Put(new NoteRecord);
    theHold.Accept(L"x");
    ASSERT_EQ(theHold.UndoCount(), 1);

    ip.Reset();
    EXPECT_EQ(log.back(), "exit a");
    EXPECT_EQ(ip.GetCommandMode(), nullptr);
    EXPECT_TRUE(ip.RedrawViewsCallbacks().empty());
    EXPECT_TRUE(ip.GetNodes().empty());
    EXPECT_EQ(ip.GetSelNodeCount(), 0);
    EXPECT_TRUE(ip.Prompts().empty());
    EXPECT_EQ(ip.GetTime(), 0);
    EXPECT_EQ(ip.redrawCount, 0);
    EXPECT_EQ(theHold.UndoCount(), 0);
    EXPECT_EQ(ip.GetActiveViewExp().eye, ViewExp().eye);
    EXPECT_EQ(ip.ActiveViewportWindow(), hwnd);
}

}  // namespace
