// window_test.cpp: the item window's answers to the Today screen and the other programs: the
// height at the cache query, the selection, a pen-up that ends a drag, quiet-mode requests, the
// settings program's exit notice, moves, database notices and the skin-refresh timer.
#include <windbase.h>

#include "itemhost.h"
#include "zvwindows.h"

using namespace itemtest;

namespace {

#define VAL_SKINHEIGHT u"skinHeight"
#define VAL_QUIETMODE  u"quietMode"

class ItemWindow : public ItemHost {
protected:
    void SetUp() override {
        ItemHost::SetUp();
        window = initialize();
        ASSERT_NE(nullptr, window);
    }
    LRESULT query() {
        return SendMessageW(window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0,
                            reinterpret_cast<LPARAM>(&item));
    }
    HWND window = nullptr;
};

// Nothing changed and the item already has a height: no work, no registry write.
TEST_F(ItemWindow, QueryWithoutChangeAnswersFalse) {
    useTestSkin();
    alarmCount = 3;
    deleteReg(VAL_SKINHEIGHT);
    item.cyp = 57;
    pluginState.heightChanged = FALSE;
    EXPECT_EQ(FALSE, query());
    EXPECT_EQ(57u, item.cyp);
    DWORD stored = 0xdeadbeef;
    EXPECT_FALSE(regDword(VAL_SKINHEIGHT, &stored));
    EXPECT_EQ(FALSE, SendMessageW(window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, 0));
}

// The height rule: the skin's todayHeight unless the item follows a list that fits; then the
// text window's top plus the list, at least extra1. A new height is answered TRUE and stored.
TEST_F(ItemWindow, QueryComputesTheHeight) {
    useTestSkin(); // text window 20..100, extra1 30, todayHeight 120, lineHeight 12
    struct Case {
        LONG showOffset;
        LONG alarms;
        DWORD height;
    } cases[] = {
        {0, 3, 120},  // the skin's fixed height
        {1, 3, 56},   // 20 + 36
        {1, 1, 50},   // 20 + extra1 30: the text window never shrinks below it
        {1, 6, 92},   // 4 + 72 < 80: just fits
        {1, 7, 120},  // 4 + 84 >= 80: the list does not fit the text window
        {2, 0, 50},   // an empty list
        {-1, 3, 120}, // a negative setting counts as off
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.showOffset << " " << c.alarms);
        getSettings().showOffset = c.showOffset;
        alarmCount = c.alarms;
        item.cyp = 1; // some other height
        pluginState.heightChanged = TRUE;
        EXPECT_EQ(TRUE, query());
        EXPECT_EQ(c.height, item.cyp);
        EXPECT_EQ(static_cast<LONG>(c.height), pluginState.itemHeight);
        EXPECT_FALSE(pluginState.heightChanged);
        DWORD stored = 0;
        ASSERT_TRUE(regDword(VAL_SKINHEIGHT, &stored));
        EXPECT_EQ(c.height, stored);
    }
}

// The same height again: FALSE, nothing stored; a height of 0 is always recomputed.
TEST_F(ItemWindow, QueryWithTheSameHeightAnswersFalse) {
    useTestSkin();
    getSettings().showOffset = 1;
    alarmCount = 3;
    item.cyp = 56;
    pluginState.heightChanged = TRUE;
    deleteReg(VAL_SKINHEIGHT);
    EXPECT_EQ(FALSE, query());
    EXPECT_EQ(56u, item.cyp);
    EXPECT_FALSE(pluginState.heightChanged);
    DWORD stored = 0xdeadbeef;
    EXPECT_FALSE(regDword(VAL_SKINHEIGHT, &stored));

    // Without a skin the height stays what it is, even at 0.
    currentSkin = nullptr;
    item.cyp = 0;
    EXPECT_EQ(FALSE, query());
    EXPECT_EQ(0u, item.cyp);
}

// Selection arriving from below starts at the first line and holds for two minutes; losing it
// clears the line; the time-out resets the navigation.
TEST_F(ItemWindow, SelectionFromBelowAndItsTimeout) {
    pluginState.firstLine = 4;
    EXPECT_EQ(TRUE, SendMessageW(window, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN, 0));
    EXPECT_TRUE(pluginState.hasFocus);
    EXPECT_EQ(4, pluginState.firstLine);
    EXPECT_FALSE(windowTimerRunning(TIMER_SELECTION));

    EXPECT_EQ(TRUE, SendMessageW(window, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_UP, 0));
    EXPECT_EQ(0, pluginState.selectedLine);
    EXPECT_EQ(0, pluginState.firstLine);
    EXPECT_EQ(0, pluginState.thumbTop);
    EXPECT_TRUE(windowTimerRunning(TIMER_SELECTION));
    EXPECT_EQ(2, logCount("GetSel: sel="));

    pluginState.navIndex = 3;
    advanceMs(119'999);
    EXPECT_EQ(0, pluginState.selectedLine);
    advanceMs(1);
    EXPECT_EQ(-1, pluginState.selectedLine);
    EXPECT_EQ(0, pluginState.navIndex);
    EXPECT_FALSE(windowTimerRunning(TIMER_SELECTION));

    pluginState.selectedLine = 2;
    EXPECT_EQ(0, SendMessageW(window, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0));
    EXPECT_FALSE(pluginState.hasFocus);
    EXPECT_EQ(-1, pluginState.selectedLine);
}

// A pen-up while the drag timer runs ends the drag: the timer really stops, and no WM_TIMER of
// it comes later.
TEST_F(ItemWindow, PenUpEndsADrag) {
    useTestSkin();
    pluginState.dragging = TRUE;
    startWindowTimer(window, TIMER_DRAG, 500);
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(100, 50));
    EXPECT_FALSE(pluginState.dragging);
    EXPECT_FALSE(windowTimerRunning(TIMER_DRAG));
    EXPECT_FALSE(KillTimer(window, TIMER_DRAG)) << "the timer still existed";

    // Without the timer a drag flag stays until the timer would have ended it.
    pluginState.dragging = TRUE;
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(100, 50));
    EXPECT_TRUE(pluginState.dragging);
}

// MSG_EXTERNAL_MUTE with mode 1 only acts when the state is to change; other modes set and
// store the state.
TEST_F(ItemWindow, ExternalMute) {
    getSettings().quietMode = 1;
    deleteReg(VAL_QUIETMODE);
    SendMessageW(window, MSG_EXTERNAL_MUTE, 1, 1);
    EXPECT_EQ(1, getSettings().quietMode);
    DWORD stored = 0xdeadbeef;
    EXPECT_FALSE(regDword(VAL_QUIETMODE, &stored)) << "(1, 1) while on must do nothing";
    EXPECT_EQ(1, logCount("MSG_EXTERNAL_MUTE: 1, 1, mode:1"));

    SendMessageW(window, MSG_EXTERNAL_MUTE, 0, 0);
    EXPECT_EQ(0, getSettings().quietMode);
    ASSERT_TRUE(regDword(VAL_QUIETMODE, &stored));
    EXPECT_EQ(0u, stored);

    useTestSkin();
    SendMessageW(window, MSG_EXTERNAL_MUTE, 1, 0);
    EXPECT_EQ(1, getSettings().quietMode);
    ASSERT_TRUE(regDword(VAL_QUIETMODE, &stored));
    EXPECT_EQ(1u, stored);
}

// The settings program's exit notice always reloads the settings; bit 4 asks for a new height.
TEST_F(ItemWindow, ExitSettings) {
    setRegDword(u"maxAlarms", 7);
    pluginState.heightChanged = FALSE;
    PostMessageW(window, MSG_EXIT_SETTINGS, 0, 0);
    pump();
    EXPECT_EQ(7, getSettings().maxAlarms);
    EXPECT_FALSE(pluginState.heightChanged);
    EXPECT_EQ(1, logCount("MSG_EXIT_SETTINGS"));

    PostMessageW(window, MSG_EXIT_SETTINGS, EXIT_SETTINGS_HEIGHT, 0);
    pump();
    EXPECT_TRUE(pluginState.heightChanged);
}

// A move starts the skin refresh; a move to the same y with no refresh pending is ignored;
// without a skin moves and sizes do nothing.
TEST_F(ItemWindow, MovesAndTheSkinRefresh) {
    SendMessageW(window, WM_MOVE, 0, MAKELPARAM(0, 40));
    EXPECT_FALSE(windowTimerRunning(TIMER_SKINREFRESH));

    useTestSkin();
    SendMessageW(window, WM_MOVE, 0, MAKELPARAM(0, 40));
    EXPECT_TRUE(windowTimerRunning(TIMER_SKINREFRESH));
    EXPECT_EQ(40, pluginState.lastWindowY);
    EXPECT_EQ(1, logCount("WM_MOVE: 0, 40 - old:"));
    advanceMs(150);
    EXPECT_FALSE(windowTimerRunning(TIMER_SKINREFRESH));
    EXPECT_EQ(1, logCount("MSG_SKINREFRESH_TIMER"));

    SendMessageW(window, WM_MOVE, 0, MAKELPARAM(0, 40));
    EXPECT_FALSE(windowTimerRunning(TIMER_SKINREFRESH));
    EXPECT_EQ(1, logCount("WM_MOVE:"));

    SendMessageW(window, WM_SIZE, 0, MAKELPARAM(240, 120));
    EXPECT_TRUE(windowTimerRunning(TIMER_SKINREFRESH));
    EXPECT_EQ(1, logCount("WM_SIZE: 240, 120"));
}

// Database notices are logged by kind (while no debounce runs) and answered with 0.
TEST_F(ItemWindow, DatabaseNoticesAreLogged) {
    CENOTIFICATION created = {sizeof(CENOTIFICATION), 1, DB_CEOID_CREATED, {}, 5, 0};
    CENOTIFICATION deleted = {sizeof(CENOTIFICATION), 1, DB_CEOID_RECORD_DELETED, {}, 5, 0};
    CENOTIFICATION changed = {sizeof(CENOTIFICATION), 1, DB_CEOID_CHANGED, {}, 5, 0};
    // Each notice asks for a debounced reload; while the debounce runs, notices are not logged
    // (a burst writes one line), so the test ends it between them.
    EXPECT_EQ(0, SendMessageW(window, WM_DBNOTIFICATION, 0, reinterpret_cast<LPARAM>(&created)));
    EXPECT_TRUE(windowTimerRunning(TIMER_DEBOUNCE));
    EXPECT_EQ(0, SendMessageW(window, WM_DBNOTIFICATION, 0, reinterpret_cast<LPARAM>(&changed)));
    EXPECT_EQ(0, logCount("WM_DBNOTIFICATION: Changed"));
    stopWindowTimer(window, TIMER_DEBOUNCE);
    EXPECT_EQ(0, SendMessageW(window, WM_DBNOTIFICATION, 0, reinterpret_cast<LPARAM>(&deleted)));
    stopWindowTimer(window, TIMER_DEBOUNCE);
    EXPECT_EQ(0, SendMessageW(window, WM_DBNOTIFICATION, 0, reinterpret_cast<LPARAM>(&changed)));
    EXPECT_EQ(0, SendMessageW(window, WM_DBNOTIFICATION, 0, 0));
    EXPECT_EQ(1, logCount("WM_DBNOTIFICATION: New"));
    EXPECT_EQ(1, logCount("WM_DBNOTIFICATION: Deleted"));
    EXPECT_EQ(1, logCount("WM_DBNOTIFICATION: Changed"));

    SendMessageW(window, 0x8102, 0, 0);
    SendMessageW(window, 0x8105, 0, 0);
    SendMessageW(window, 0x8106, 0, 0);
    EXPECT_EQ(1, logCount("Database changed"));
    EXPECT_EQ(1, logCount("Database new"));
    EXPECT_EQ(1, logCount("Database delete"));
}

} // namespace
