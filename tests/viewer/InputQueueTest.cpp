#include <gtest/gtest.h>

#include "viewer/InputQueue.h"

namespace velmora::viewer {
namespace {

using Kind = InputEvent::Kind;

TEST(InputQueue, AFastStrokeBecomesPressOneDragRelease) {
    InputQueue q;
    q.cursorMoved({10, 10}, 0);
    const std::vector<InputEvent> before = q.takeFrame();
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(before[0].kind, Kind::FreeMove);
    q.buttonPressed(2);
    for (int i = 1; i <= 50; ++i) q.cursorMoved({10 + i, 10 + 2 * i}, 2);
    q.buttonReleased(2);
    const std::vector<InputEvent> e = q.takeFrame();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].kind, Kind::Press);
    EXPECT_EQ(e[0].point, IPoint2(10, 10)) << "the press is where the last move left the cursor";
    EXPECT_EQ(e[1].kind, Kind::Drag);
    EXPECT_EQ(e[1].point, IPoint2(60, 110));
    EXPECT_EQ(e[1].flags, 2);
    EXPECT_EQ(e[2].kind, Kind::Release);
    EXPECT_EQ(e[2].point, IPoint2(60, 110));
}

TEST(InputQueue, AtMostOneDragPerFrameWithTheLatestKeys) {
    InputQueue q;
    q.cursorMoved({0, 0}, 0);
    q.buttonPressed(0);
    (void)q.takeFrame();
    for (int frame = 0; frame < 3; ++frame) {
        q.cursorMoved({frame, 1}, 0);
        q.cursorMoved({frame, 2}, 1);
        q.cursorMoved({frame, 3}, 5);
        const std::vector<InputEvent> e = q.takeFrame();
        ASSERT_EQ(e.size(), 1u);
        EXPECT_EQ(e[0].kind, Kind::Drag);
        EXPECT_EQ(e[0].point, IPoint2(frame, 3));
        EXPECT_EQ(e[0].flags, 5);
    }
    EXPECT_TRUE(q.buttonHeld());
    EXPECT_TRUE(q.takeFrame().empty());
}

TEST(InputQueue, ActionsWaitForTheReleaseOfAHeldButton) {
    InputQueue q;
    q.cursorMoved({5, 5}, 0);
    (void)q.takeFrame();
    q.buttonPressed(0);
    q.cursorMoved({6, 6}, 0);
    q.requestAction(Action::Undo);
    q.requestAction(Action::Save);
    std::vector<InputEvent> e = q.takeFrame();
    ASSERT_EQ(e.size(), 2u) << "press and drag only; undo and save wait";
    EXPECT_EQ(e[0].kind, Kind::Press);
    EXPECT_EQ(e[1].kind, Kind::Drag);
    q.requestAction(Action::Redo);
    EXPECT_TRUE(q.takeFrame().empty());
    q.cursorMoved({7, 7}, 0);
    q.buttonReleased(0);
    q.requestAction(Action::Quit);
    e = q.takeFrame();
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[0].kind, Kind::Drag);
    EXPECT_EQ(e[1].kind, Kind::Release);
    const Action expected[] = {Action::Undo, Action::Save, Action::Redo, Action::Quit};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(e[static_cast<size_t>(2 + i)].kind, Kind::Action);
        EXPECT_EQ(e[static_cast<size_t>(2 + i)].action, expected[i]) << "in the order asked";
    }
}

TEST(InputQueue, ActionsWithNoButtonHeldKeepTheirPlace) {
    InputQueue q;
    q.cursorMoved({1, 1}, 0);
    q.requestAction(Action::Undo);
    q.cursorMoved({2, 2}, 0);
    q.cursorMoved({3, 3}, 0);
    const std::vector<InputEvent> e = q.takeFrame();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].kind, Kind::FreeMove);
    EXPECT_EQ(e[1].kind, Kind::Action);
    EXPECT_EQ(e[2].kind, Kind::FreeMove);
    EXPECT_EQ(e[2].point, IPoint2(3, 3));
}

TEST(InputQueue, UnpairedButtonsAreIgnored) {
    InputQueue q;
    q.buttonReleased(0);
    EXPECT_TRUE(q.takeFrame().empty());
    q.buttonPressed(0);
    q.buttonPressed(1);
    const std::vector<InputEvent> e = q.takeFrame();
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].kind, Kind::Press);
}

}  // namespace
}  // namespace velmora::viewer
