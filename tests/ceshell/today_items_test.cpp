// today_items_test.cpp: how the shell's Today screen loads, lays out, asks and unloads its
// items, seen from an item library (test_todayitem's log), the journal and the window tree
// other programs walk. Matches the Today item protocol: items in Order, ordinal 240 called
// with the item's TODAYLISTITEM and the Today window, WM_TODAYCUSTOM_QUERYREFRESHCACHE at load
// and every two seconds, TRUE re-laying the items out; WM_WININICHANGE 0xF2 to the desktop
// reloading them; WM_TODAYCUSTOM_CLEARCACHE before an item's window goes.
#include <algorithm>
#include <thread>

#include "shellfixture.h"

#include "kernel/strings.h"
#include "windows.h"

namespace {

using cetest::parseHex;
using cetest::wordValue;

class TodayItems : public cetest::ShellTest {
protected:
    // The "NAME init ..." line of an item, "" when it was not loaded.
    std::string initLine(const std::string& name) {
        auto lines = itemLog(name + " init ");
        return lines.empty() ? "" : lines.back();
    }
};

// Items load in Order (those without one after the others), disabled ones not at all, an
// item whose library is missing leaves a journal line and the others load; each gets its
// record filled in (name, type, order, enabled, options, flags, library path and handle, cyp
// 0) and the holder as its parent; they are stacked by the heights they report.
TEST_F(TodayItems, LoadInOrderWithTheirRecords) {
    addItem("Beta", 3, "\\Windows\\testitem.dll", 1, 0x5);
    addItem("Alpha", 2);
    addItem("Missing", 2, "\\Windows\\nothere.dll");
    addItem("Zulu", -1);
    addItem("Off", 1, "\\Windows\\testitem.dll", 0);
    setItemSetting("Alpha", "Height", 30);
    setItemSetting("Beta", "Height", 40);
    setItemSetting("Zulu", "Height", 10);
    ASSERT_TRUE(startShell());

    std::vector<std::string> order;
    for (const auto& line : itemLog())
        if (line.find(" init ") != std::string::npos)
            order.push_back(line.substr(0, line.find(' ')));
    EXPECT_EQ((std::vector<std::string>{"Alpha", "Beta", "Zulu"}), order);

    std::string alpha = initLine("Alpha");
    EXPECT_EQ("4", wordValue(alpha, "tlit")) << alpha;
    EXPECT_EQ("2", wordValue(alpha, "order")) << alpha;
    EXPECT_EQ("1", wordValue(alpha, "enabled")) << alpha;
    EXPECT_EQ("1", wordValue(alpha, "options")) << alpha;
    EXPECT_EQ("0", wordValue(alpha, "flags")) << alpha;
    EXPECT_EQ("\\Windows\\testitem.dll", wordValue(alpha, "dll")) << alpha;
    EXPECT_EQ("self", wordValue(alpha, "hinst")) << alpha; // the handle DllMain was given
    EXPECT_EQ("0", wordValue(alpha, "cyp")) << alpha;
    EXPECT_EQ("0x5", wordValue(initLine("Beta"), "flags"));
    EXPECT_EQ("0", wordValue(initLine("Zulu"), "order")); // no Order value

    // The query at load hands over the same record, in wParam and lParam.
    EXPECT_EQ((std::vector<std::string>{"Alpha query cyp=0->30 same=1"}), itemLog("Alpha query"));
    // Date (20 pixels at 96 dpi) first, then the items by their heights.
    EXPECT_TRUE(waitForLine("Alpha move 0 20"));
    EXPECT_TRUE(waitForLine("Beta move 0 50"));
    EXPECT_TRUE(waitForLine("Zulu move 0 90"));
    EXPECT_TRUE(waitForLine("Beta size 240 40"));

    std::string j = journal();
    EXPECT_NE(std::string::npos, j.find("\"event\":\"today.item.failed\",\"name\":\"Missing\""))
        << j;
    EXPECT_NE(std::string::npos, j.find("\"event\":\"today.item.loaded\",\"name\":\"Date\"")) << j;
    EXPECT_EQ(std::string::npos, j.find("\"name\":\"Off\"")) << j;
}

// The walk the product makes finds the holder: the desktop's first child is the Today frame
// covering the work area, whose first child's next sibling is the parent the items were given.
// The title bar (HHTaskBar with a WisBarClass child saying "Start") sits above it.
TEST_F(TodayItems, TreeWalkFindsTheHolder) {
    addItem("Alpha", 2);
    setItemSetting("Alpha", "Height", 30);
    ASSERT_TRUE(startShell());
    uint32_t parent = parseHex(wordValue(initLine("Alpha"), "parent"));
    uint32_t window = parseHex(wordValue(initLine("Alpha"), "window"));
    ASSERT_NE(0u, parent);

    auto found = probe([&](Findings& f) {
        WCHAR text[64] = {};
        HWND frame = GetWindow(GetDesktopWindow(), GW_CHILD);
        GetClassNameW(frame, text, 64);
        f["frame.class"] = ce::toUtf8(text);
        RECT r{-1, -1, -1, -1};
        GetWindowRect(frame, &r);
        f["frame.rect"] = std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                          std::to_string(r.right) + "," + std::to_string(r.bottom);
        HWND holder = GetWindow(GetWindow(frame, GW_CHILD), GW_HWNDNEXT);
        f["holder"] = std::to_string(HandleToULong(holder));
        f["item.parent"] =
            std::to_string(HandleToULong(GetParent(static_cast<HWND>(ULongToHandle(window)))));
        HWND bar = FindWindowW(u"HHTaskBar", nullptr);
        HWND wis = GetWindow(bar, GW_CHILD);
        GetClassNameW(wis, text, 64);
        f["wis.class"] = ce::toUtf8(text);
        GetWindowTextW(wis, text, 64);
        f["wis.text"] = ce::toUtf8(text);
        GetWindowRect(bar, &r);
        f["bar.height"] = std::to_string(r.bottom - r.top);
    });
    EXPECT_EQ("TodayScreen", found["frame.class"]);
    EXPECT_EQ("0,26,240,294", found["frame.rect"]); // below the title bar, above the soft keys
    EXPECT_EQ(std::to_string(parent), found["holder"]);
    EXPECT_EQ(std::to_string(parent), found["item.parent"]);
    EXPECT_EQ("WisBarClass", found["wis.class"]);
    EXPECT_EQ("Start", found["wis.text"]);
    EXPECT_EQ("26", found["bar.height"]);
}

// Enabled 0 and WM_WININICHANGE 0xF2 sent to the desktop window: when the send returns, the
// item has had CLEARCACHE, its window is gone and its library freed; the other item keeps its
// window and moves up. Enabling it again loads it anew.
TEST_F(TodayItems, DisabledItemIsUnloadedOnReload) {
    addItem("Alpha", 2);
    addItem("Beta", 3);
    setItemSetting("Alpha", "Height", 30);
    setItemSetting("Beta", "Height", 40);
    ASSERT_TRUE(startShell());
    ASSERT_TRUE(waitForLine("Beta move 0 50"));
    uint32_t alpha = parseHex(wordValue(initLine("Alpha"), "window"));
    uint32_t beta = parseHex(wordValue(initLine("Beta"), "window"));

    setItemValue("Alpha", "Enabled", 0);
    auto found = probe([&](Findings& f) {
        SendMessageW(GetDesktopWindow(), WM_WININICHANGE, 0xF2, 0);
        f["alpha"] = std::to_string(IsWindow(static_cast<HWND>(ULongToHandle(alpha))));
        f["beta"] = std::to_string(IsWindow(static_cast<HWND>(ULongToHandle(beta))));
    });
    EXPECT_EQ("0", found["alpha"]);
    EXPECT_EQ("1", found["beta"]);
    auto alphaLines = itemLog("Alpha ");
    auto clear = std::find(alphaLines.begin(), alphaLines.end(), "Alpha clearcache");
    auto destroy = std::find(alphaLines.begin(), alphaLines.end(), "Alpha destroy");
    EXPECT_TRUE(clear != alphaLines.end() && destroy != alphaLines.end() && clear < destroy);
    EXPECT_TRUE(waitForLine("Beta move 0 20"));
    EXPECT_EQ(1u, itemLog("Beta init").size());
    EXPECT_NE(std::string::npos,
              journal().find("\"event\":\"today.item.unloaded\",\"name\":\"Alpha\""));

    setItemValue("Alpha", "Enabled", 1);
    probe([&](Findings&) { SendMessageW(GetDesktopWindow(), WM_WININICHANGE, 0xF2, 0); });
    EXPECT_EQ(2u, itemLog("Alpha init").size());
    EXPECT_TRUE(waitForLine("Beta move 0 50"));
}

// The items are asked every two seconds of device clock, not of real time: with the clock
// frozen nothing comes until it is advanced, 1.5 s is not enough, 2 s is.
TEST_F(TodayItems, QueriedEveryTwoSecondsOfDeviceClock) {
    addItem("Alpha", 2);
    setItemSetting("Alpha", "Height", 30);
    ASSERT_TRUE(startShell());
    size_t atStart = itemLog("Alpha query").size();
    EXPECT_EQ(1u, atStart);
    advance(1500);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(atStart, itemLog("Alpha query").size());
    advance(500);
    EXPECT_TRUE(waitForCount("Alpha query", atStart + 1));
    advance(2000);
    EXPECT_TRUE(waitForCount("Alpha query", atStart + 2));
    EXPECT_EQ("Alpha query cyp=30->30 same=1", itemLog("Alpha query").back());
}

// An item that reports another height (TRUE from the query) is resized and the items below it
// move; an answer FALSE changes nothing.
TEST_F(TodayItems, HeightChangeLaysOutAgain) {
    addItem("Alpha", 2);
    addItem("Beta", 3);
    setItemSetting("Alpha", "Height", 30);
    setItemSetting("Beta", "Height", 40);
    ASSERT_TRUE(startShell());
    ASSERT_TRUE(waitForLine("Beta move 0 50"));
    size_t moves = itemLog("Beta move").size();

    advance(2000); // same heights: no new place
    ASSERT_TRUE(waitForCount("Beta query", 2));
    setItemSetting("Alpha", "Height", 50);
    advance(2000);
    EXPECT_TRUE(waitForLine("Alpha size 240 50"));
    EXPECT_TRUE(waitForLine("Beta move 0 70"));
    EXPECT_EQ(moves + 1, itemLog("Beta move").size());
}

} // namespace
