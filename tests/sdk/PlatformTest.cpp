#include <gtest/gtest.h>

#include "sdk/Cursors.h"
#include "sdk/HostHeap.h"
#include "sdk/HostRelease.h"
#include "sdk/InterfaceServer.h"

namespace {

TEST(CursorTest, LoadSetAndDestroy) {
    const int live = LiveCursorCount();
    HCURSOR point = MaxSDK::LoadMouseCursor(155);
    HCURSOR drag = MaxSDK::LoadMouseCursor(153);
    HCURSOR hand = LoadCursor(nullptr, IDC_HAND_ID);
    ASSERT_NE(point, nullptr);
    EXPECT_NE(point, drag);
    EXPECT_NE(MaxSDK::LoadMouseCursor(155), nullptr);
    EXPECT_EQ(LiveCursorCount(), live + 4);
    EXPECT_EQ(CursorNumber(point), 155);
    EXPECT_EQ(CursorNumber(drag), 153);
    EXPECT_EQ(CursorNumber(hand), IDC_HAND_ID);
    EXPECT_FALSE(CursorIsSystem(point));
    EXPECT_TRUE(CursorIsSystem(hand));

    const int sets = SetCursorCallCount();
    const HCURSOR before = GetCursor();
    EXPECT_EQ(SetCursor(point), before);
    EXPECT_EQ(GetCursor(), point);
    EXPECT_EQ(SetCursor(drag), point);
    EXPECT_EQ(SetCursorCallCount(), sets + 2);

    // Destroying the current cursor leaves no dangling current cursor.
    EXPECT_TRUE(DestroyCursor(drag));
    EXPECT_EQ(GetCursor(), nullptr);
    EXPECT_FALSE(DestroyCursor(drag));
    EXPECT_EQ(CursorNumber(drag), 0);
    EXPECT_FALSE(CursorIsSystem(drag));
    EXPECT_FALSE(DestroyCursor(nullptr));
    EXPECT_TRUE(DestroyCursor(point));
    EXPECT_TRUE(DestroyCursor(hand));
    EXPECT_EQ(LiveCursorCount(), live + 1);
}

class HeapObject : public InterfaceServer {
public:
    int payload[4] = {1, 2, 3, 4};
};

TEST(HostHeapTest, CountsLiveBlocks) {
    const auto live = HostHeapLiveBlocks();
    auto* a = new HeapObject;
    auto* b = new HeapObject[3];
    EXPECT_EQ(HostHeapLiveBlocks(), live + 2);
    delete a;
    delete[] b;
    EXPECT_EQ(HostHeapLiveBlocks(), live);
}

TEST(HostReleaseTest, ReleaseAndApiNumberMatch) {
    struct Pair {
        int release, api;
    };
    const Pair table[] = {{18000, 46}, {19000, 48}, {20000, 50}, {21000, 52},
                          {22000, 55}, {24000, 60}, {25000, 62}};
    bool found = false;
    for (const Pair& p : table) {
        if (p.release == MAX_RELEASE) {
            EXPECT_EQ(MAX_API_NUM, p.api);
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

}  // namespace
