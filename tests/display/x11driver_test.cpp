// x11driver_test.cpp: the X11 display driver seen from two programs of one device: windows
// and their properties, stacking, the foreground, shapes, input injection, messages between
// programs and the screen's picture. Each driver opens its own X connection, as a separate
// program does; what one makes, the other must see through the server alone.
#include <gtest/gtest.h>

#include <thread>

#include "kernel/device.h"
#include "testdisplay.h"
#include "windows.h"

namespace {

using ce::user::WindowDesc;
using ce::user::WireMessage;
using cetest::DeliveryRecorder;
using cetest::hexId;

class X11DriverTest : public cetest::DisplayTest {
protected:
    WindowDesc topLevel(const std::u16string& cls, const std::u16string& text, RECT rect,
                        bool topmost = false) {
        WindowDesc d;
        d.rect = rect;
        d.visible = true;
        d.topmost = topmost;
        d.style = WS_POPUP | WS_VISIBLE;
        d.exStyle = topmost ? WS_EX_TOPMOST : 0;
        d.className = cls;
        d.text = text;
        d.processId = 4242;
        d.threadId = 77;
        return d;
    }
};

// The record of run/display: what every program of the device reads to find its display.
TEST(DisplayRecord, ParsesWhatItFormats) {
    ce::display::DisplayRecord r{":42", 1234, 0x200001, 5678};
    auto back = ce::display::parseDisplayRecord(ce::display::formatDisplayRecord(r));
    ASSERT_TRUE(back);
    EXPECT_EQ(":42", back->display);
    EXPECT_EQ(1234, back->xvfbPid);
    EXPECT_EQ(0x200001u, back->desktopWindow);
    EXPECT_EQ(5678, back->desktopPid);
}

TEST(DisplayRecord, RejectsBrokenRecords) {
    const char* bad[] = {
        "",                                                     // nothing
        "display = :1\n",                                       // no desktop window
        "desktop.window = 0x200001\n",                          // no display
        "display = :1\ndesktop.window = 0\n",                   // window 0 is no window
        "display = :1\ndesktop.window = 0x1FFFFFFFF\n",         // beyond 32 bits
        "display = :1\ndesktop.window = 0x20\nxvfb.pid = -5\n", // negative pid
        "display = nocolon\ndesktop.window = 0x20\n",           // not a display name
        "display = :1\ndesktop.window = 12abc\n",               // not a number
    };
    for (const char* text : bad)
        EXPECT_FALSE(ce::display::parseDisplayRecord(text)) << text;
    // Unknown keys and blank lines are no reason to refuse a record.
    EXPECT_TRUE(ce::display::parseDisplayRecord("\nfuture = 1\ndisplay = :3\n"
                                                "desktop.window = 0x400001\n"));
}

// cedev display start/status/stop: the record names live processes while it runs, and
// neither survives the stop.
TEST_F(X11DriverTest, StatusAndStopFollowTheRecordedProcesses) {
    const auto rec = display->record();
    EXPECT_TRUE(ce::display::processIsRunning(rec.xvfbPid, "Xvfb"));
    EXPECT_TRUE(ce::display::processIsRunning(rec.desktopPid, "cedesktop"));
    std::string out;
    EXPECT_EQ(0, cetest::runCedev({"display", "status"}, &out));
    EXPECT_NE(std::string::npos, out.find("running = yes")) << out;
    // A second start finds the running display and leaves it as it is.
    EXPECT_EQ(0, cetest::runCedev({"display", "start"}, &out));
    auto again = ce::display::parseDisplayRecord(out);
    ASSERT_TRUE(again);
    EXPECT_EQ(rec.display, again->display);

    EXPECT_EQ(0, cetest::runCedev({"display", "stop"}, &out));
    EXPECT_FALSE(ce::display::processIsRunning(rec.xvfbPid, "Xvfb"));
    EXPECT_FALSE(ce::display::processIsRunning(rec.desktopPid, "cedesktop"));
    EXPECT_FALSE(ce::display::readDisplayRecord());
    EXPECT_EQ(1, cetest::runCedev({"display", "status"}, &out));
    EXPECT_EQ(1, cetest::runCedev({"tap", "5", "5"}, &out));
    // Back up, so the fixture's own stop has something to stop.
    EXPECT_EQ(0, cetest::runCedev({"display", "start"}, &out));
}

// Properties make a window readable by every program: class, text, owner process and thread,
// styles, and its rectangle in screen coordinates, a child's included.
TEST_F(X11DriverTest, AnotherProgramReadsWhatAWindowIs) {
    auto maker = openDriver();
    auto reader = openDriver();
    ASSERT_TRUE(maker && reader);
    uint32_t top = maker->createWindow(
        topLevel(u"ZolvaneMaxCls", u"Zolvane \u00e9t\u00e9", RECT{10, 20, 110, 220}));
    ASSERT_NE(0u, top);
    WindowDesc child;
    child.parent = top;
    child.rect = RECT{5, 7, 45, 27};
    child.visible = true;
    child.style = WS_CHILD | WS_VISIBLE;
    child.className = u"Item";
    child.processId = 4242;
    uint32_t kid = maker->createWindow(child);
    ASSERT_NE(0u, kid);

    auto f = reader->queryWindow(top);
    ASSERT_TRUE(f);
    EXPECT_EQ(u"ZolvaneMaxCls", f->className);
    EXPECT_EQ(u"Zolvane \u00e9t\u00e9", f->text);
    EXPECT_EQ(4242u, f->processId);
    EXPECT_EQ(77u, f->threadId);
    EXPECT_EQ(static_cast<uint32_t>(WS_POPUP | WS_VISIBLE), f->style);
    EXPECT_EQ(0u, f->parent);
    EXPECT_TRUE(f->visible);
    EXPECT_EQ(10, f->rect.left);
    EXPECT_EQ(20, f->rect.top);
    EXPECT_EQ(110, f->rect.right);
    EXPECT_EQ(220, f->rect.bottom);

    auto c = reader->queryWindow(kid);
    ASSERT_TRUE(c);
    EXPECT_EQ(top, c->parent);
    EXPECT_EQ(15, c->rect.left);
    EXPECT_EQ(27, c->rect.top);
    EXPECT_EQ(55, c->rect.right);
    EXPECT_EQ(47, c->rect.bottom);
    EXPECT_EQ(std::vector<uint32_t>{kid}, reader->childWindows(top));

    // Changes show at once; a height of 0 (which X cannot have) reads back as 0.
    maker->setWindowText(top, u"Renamed");
    maker->setWindowRect(kid, RECT{0, 0, 240, 0});
    maker->setWindowVisible(top, false);
    f = reader->queryWindow(top);
    ASSERT_TRUE(f);
    EXPECT_EQ(u"Renamed", f->text);
    EXPECT_FALSE(f->visible);
    c = reader->queryWindow(kid);
    ASSERT_TRUE(c);
    EXPECT_EQ(240, c->rect.right - c->rect.left);
    EXPECT_EQ(0, c->rect.bottom - c->rect.top);

    // Gone windows, and values that never were windows, are nothing, not a crash.
    maker->destroyWindow(top);
    EXPECT_FALSE(reader->queryWindow(top));
    EXPECT_FALSE(reader->queryWindow(kid));
    EXPECT_FALSE(reader->queryWindow(0x1234));
    EXPECT_FALSE(reader->queryWindow(0xFFFFFFFF));
    EXPECT_FALSE(reader->showForeignWindow(top, true));
    EXPECT_EQ(0u, maker->createWindow([&] {
        WindowDesc d = child;
        d.parent = top; // the parent is gone
        return d;
    }()));
}

// Top-level windows stack newest first, restacking moves them, and a topmost window stays
// above every window that is not, however they are made or raised.
TEST_F(X11DriverTest, StackingKeepsTopmostWindowsAbove) {
    auto d = openDriver();
    auto other = openDriver();
    ASSERT_TRUE(d && other);
    uint32_t a = d->createWindow(topLevel(u"A", u"", RECT{0, 0, 50, 50}));
    uint32_t t = d->createWindow(topLevel(u"T", u"", RECT{0, 0, 50, 50}, true));
    uint32_t b = other->createWindow(topLevel(u"B", u"", RECT{0, 0, 50, 50}));
    EXPECT_EQ((std::vector<uint32_t>{t, b, a}), other->childWindows(0));
    d->restackWindow(a, 0, false);
    EXPECT_EQ((std::vector<uint32_t>{t, a, b}), d->childWindows(0));
    EXPECT_TRUE(d->placeForeignWindow(b, nullptr, 1, true, false));
    EXPECT_EQ((std::vector<uint32_t>{t, a, b}), d->childWindows(d->desktopWindow()));
    d->restackWindow(t, 1, false); // no longer topmost: to the bottom
    EXPECT_EQ((std::vector<uint32_t>{a, b, t}), d->childWindows(0));
    EXPECT_TRUE(other->placeForeignWindow(a, nullptr, b, true, false)); // below b
    EXPECT_EQ((std::vector<uint32_t>{b, a, t}), d->childWindows(0));
}

// The foreground is one value for the whole device, kept on the desktop window: every
// program sees it change, and a child makes its top-level window the foreground.
TEST_F(X11DriverTest, ForegroundIsDeviceWide) {
    DeliveryRecorder seen;
    auto d = openDriver();
    auto watcher = openDriver(seen.sink());
    ASSERT_TRUE(d && watcher);
    uint32_t top = d->createWindow(topLevel(u"Fg", u"", RECT{0, 0, 100, 100}));
    WindowDesc child;
    child.parent = top;
    child.rect = RECT{1, 1, 20, 20};
    child.visible = true;
    uint32_t kid = d->createWindow(child);
    EXPECT_EQ(0u, watcher->foregroundWindow());
    EXPECT_TRUE(d->setForegroundWindow(kid));
    EXPECT_EQ(top, watcher->foregroundWindow());
    EXPECT_EQ("foreground 0x0 " + hexId(top), seen.waitFor("foreground"));
    EXPECT_FALSE(d->setForegroundWindow(0x1234));
    EXPECT_EQ(top, watcher->foregroundWindow());
    d->destroyWindow(top);
    EXPECT_EQ(0u, watcher->foregroundWindow());
}

// Hit testing follows the windows' shapes: outside its shape a window is not there.
TEST_F(X11DriverTest, HitTestHonoursShapes) {
    auto d = openDriver();
    ASSERT_TRUE(d);
    uint32_t below = d->createWindow(topLevel(u"Below", u"", RECT{0, 0, 200, 200}));
    uint32_t icon = d->createWindow(topLevel(u"Icon", u"", RECT{50, 50, 150, 150}));
    POINT at{};
    EXPECT_EQ(icon, d->windowAtPoint(POINT{140, 140}, &at));
    EXPECT_EQ(90, at.x);
    EXPECT_EQ(90, at.y);
    ce::RectList shape;
    shape.add(RECT{0, 0, 50, 100}); // the left half only
    d->setWindowShape(icon, &shape);
    EXPECT_EQ(below, d->windowAtPoint(POINT{140, 140}, &at));
    EXPECT_EQ(140, at.x);
    EXPECT_EQ(icon, d->windowAtPoint(POINT{60, 140}));
    d->setWindowShape(icon, nullptr);
    EXPECT_EQ(icon, d->windowAtPoint(POINT{140, 140}));
    EXPECT_EQ(d->desktopWindow(), d->windowAtPoint(POINT{230, 300}));
}

// Injected taps reach the program that owns the window under the point, in that window's
// coordinates, and the window that got the press gets the moves and the release.
TEST_F(X11DriverTest, InjectedTapReachesTheWindowUnderThePoint) {
    DeliveryRecorder owner;
    auto d = openDriver(owner.sink());
    auto injector = openDriver();
    ASSERT_TRUE(d && injector);
    uint32_t top = d->createWindow(topLevel(u"Host", u"", RECT{20, 30, 220, 230}));
    WindowDesc child;
    child.parent = top;
    child.rect = RECT{10, 40, 110, 90};
    child.visible = true;
    uint32_t kid = d->createWindow(child);
    injector->injectPointer(POINT{35, 75}, false, true); // 5,5 inside the child
    injector->injectPointer(POINT{200, 200}, true, false);
    injector->injectPointer(POINT{201, 202}, false, false);
    std::string up = owner.waitFor("input " + hexId(kid) + " 0x202");
    std::vector<std::string> expected = {
        "input " + hexId(kid) + " 0x201 1 5,5",
        "input " + hexId(kid) + " 0x200 1 170,130",
        "input " + hexId(kid) + " 0x202 0 171,132",
    };
    EXPECT_EQ(expected, owner.lines());
    EXPECT_EQ(201, injector->pointerPosition().x);
    EXPECT_EQ(202, d->pointerPosition().y);
}

// Keys go to the foreground window's program, as the device's virtual keys; a key the X
// keymap lacks arrives as well.
TEST_F(X11DriverTest, InjectedKeysReachTheForegroundWindow) {
    DeliveryRecorder owner;
    auto d = openDriver(owner.sink());
    auto injector = openDriver();
    ASSERT_TRUE(d && injector);
    uint32_t top = d->createWindow(topLevel(u"Keys", u"", RECT{0, 0, 100, 100}));
    ASSERT_TRUE(d->setForegroundWindow(top));
    injector->injectKey(VK_RETURN, false);
    injector->injectKey(VK_RETURN, true);
    injector->injectKey(VK_F1, false);
    injector->injectKey('Q', false);
    injector->injectKey(0x87, true);
    owner.waitFor("key " + hexId(top) + " 0x101 0x87");
    std::vector<std::string> keys;
    for (const auto& l : owner.lines())
        if (l.rfind("key", 0) == 0) keys.push_back(l);
    std::vector<std::string> expected = {
        "key " + hexId(top) + " 0x100 0xd", "key " + hexId(top) + " 0x101 0xd",
        "key " + hexId(top) + " 0x100 0x70", "key " + hexId(top) + " 0x100 0x51",
        "key " + hexId(top) + " 0x101 0x87"};
    EXPECT_EQ(expected, keys);
}

// Posted and sent messages between programs: the same message, parameters and data arrive;
// a sent one's result and reply data come back to the sender under its ticket.
TEST_F(X11DriverTest, MessagesTravelBetweenPrograms) {
    DeliveryRecorder receiver, sender;
    auto r = openDriver(receiver.sink(
        [](const WireMessage& m) { return static_cast<LRESULT>(0x1234567890LL + m.wParam); }));
    auto s = openDriver(sender.sink());
    ASSERT_TRUE(r && s);
    uint32_t target = r->createWindow(topLevel(u"Target", u"", RECT{0, 0, 10, 10}));
    WireMessage posted{target, WM_DESTROY, 0, 0, {}};
    EXPECT_TRUE(s->postForeign(posted));
    WireMessage withData{target, 0x8206, 0xFFFFFFFF, 0x80000001, {1, 2, 3, 0, 255}};
    EXPECT_TRUE(s->postForeign(withData));
    WireMessage sent{target, WM_GETTEXT, 100, 0, {9, 8, 7}};
    EXPECT_TRUE(s->sendForeign(sent, 77));
    std::string reply = sender.waitFor("reply");
    EXPECT_EQ("reply 77 0x12:0x345678f4", reply);
    std::vector<std::string> expected = {
        "posted " + hexId(target) + " 0x2 0x0 0x0",
        "posted " + hexId(target) + " 0x8206 0xffffffff 0x80000001",
        "sent " + hexId(target) + " 0xd 0x64 0x0",
    };
    EXPECT_EQ(expected, receiver.lines());
    auto data = receiver.payloads();
    ASSERT_EQ(3u, data.size());
    EXPECT_TRUE(data[0].empty());
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 0, 255}), data[1]);
    EXPECT_EQ((std::vector<uint8_t>{9, 8, 7}), sender.payloads().at(0));
    // No window, no message.
    EXPECT_FALSE(s->postForeign(WireMessage{0x1234, WM_CLOSE, 0, 0, {}}));
    EXPECT_FALSE(s->sendForeign(WireMessage{0, WM_CLOSE, 0, 0, {}}, 78));
}

// More messages with data than the payload slots, to a receiver that reads them all: each
// one arrives with its own data.
TEST_F(X11DriverTest, PayloadSlotsAreReused) {
    DeliveryRecorder receiver;
    auto r = openDriver(receiver.sink());
    auto s = openDriver();
    ASSERT_TRUE(r && s);
    uint32_t target = r->createWindow(topLevel(u"Many", u"", RECT{0, 0, 10, 10}));
    const int count = ce::display::kPayloadSlots * 3;
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(s->postForeign(WireMessage{target, WM_USER, static_cast<uint32_t>(i), 0,
                                               std::vector<uint8_t>(5, static_cast<uint8_t>(i))}));
        if (i % 8 == 7) receiver.waitFor("posted " + hexId(target) + " 0x400 " + hexId(i));
    }
    receiver.waitFor("posted " + hexId(target) + " 0x400 " + hexId(count - 1));
    auto data = receiver.payloads();
    ASSERT_EQ(static_cast<size_t>(count), data.size());
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(std::vector<uint8_t>(5, static_cast<uint8_t>(i)), data[i]) << i;
}

// A program that never answers does not hold up a sender: sendForeign returns at once.
TEST_F(X11DriverTest, SendingToAProgramThatDoesNotAnswerReturnsAtOnce) {
    DeliveryRecorder mute, sender;
    auto r = openDriver(mute.sink()); // records, never replies
    auto s = openDriver(sender.sink());
    ASSERT_TRUE(r && s);
    uint32_t target = r->createWindow(topLevel(u"Hung", u"", RECT{0, 0, 10, 10}));
    auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(s->sendForeign(WireMessage{target, WM_GETTEXT, 50, 0, {}}, 5));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(500));
    EXPECT_NE("", mute.waitFor("sent"));
    EXPECT_EQ("", sender.waitFor("reply", 300));
}

// What a window presents is what the screen shows, at the window's place; the rest of the
// desktop is white.
TEST_F(X11DriverTest, PresentedPixelsAreOnTheScreen) {
    auto d = openDriver();
    auto viewer = openDriver();
    ASSERT_TRUE(d && viewer);
    uint32_t w = d->createWindow(topLevel(u"Paint", u"", RECT{10, 20, 50, 60}));
    ce::Surface surface(40, 40, 0xFF112233u);
    surface.row(5)[6] = 0xFFFF0000u;
    d->presentWindow(w, surface, RECT{0, 0, 40, 40});
    auto shot = viewer->captureScreen();
    ASSERT_EQ(240, shot->width);
    ASSERT_EQ(320, shot->height);
    EXPECT_EQ(0xFF112233u, shot->row(20)[10]);
    EXPECT_EQ(0xFF112233u, shot->row(59)[49]);
    EXPECT_EQ(0xFFFF0000u, shot->row(25)[16]);
    EXPECT_EQ(0xFFFFFFFFu, shot->row(19)[10]);
    EXPECT_EQ(0xFFFFFFFFu, shot->row(60)[50]);
    // Only the dirty part goes out; a dirty rectangle beyond the surface is clipped.
    ce::Surface blue(40, 40, 0xFF0000FFu);
    d->presentWindow(w, blue, RECT{30, 30, 400, 400});
    shot = viewer->captureScreen();
    EXPECT_EQ(0xFF0000FFu, shot->row(59)[49]);
    EXPECT_EQ(0xFF112233u, shot->row(20)[10]);
    // Moving the window keeps its picture.
    d->setWindowRect(w, RECT{100, 100, 140, 140});
    shot = viewer->captureScreen();
    EXPECT_EQ(0xFF0000FFu, shot->row(139)[139]);
    EXPECT_EQ(0xFF112233u, shot->row(100)[100]);
    EXPECT_EQ(0xFFFFFFFFu, shot->row(20)[10]);
}

// Two devices on one machine: each has its own server, so neither sees the other's windows
// and input injected into one never reaches the other.
TEST_F(X11DriverTest, TwoDevicesShareNothing) {
    std::filesystem::path second = device.dir().parent_path() / "second";
    std::string error;
    ASSERT_TRUE(ce::createDevice(second, "qvga", &error)) << error;
    cetest::DeviceDisplay otherDisplay(second);
    ASSERT_TRUE(otherDisplay.running());
    EXPECT_NE(display->record().display, otherDisplay.record().display);

    DeliveryRecorder mine;
    auto d = openDriver(mine.sink());
    auto other = ce::display::X11Driver::open(otherDisplay.record(), {}, &error);
    ASSERT_TRUE(d && other) << error;
    uint32_t w = d->createWindow(topLevel(u"Mine", u"", RECT{0, 0, 240, 320}));
    EXPECT_TRUE(other->childWindows(0).empty());
    EXPECT_FALSE(other->queryWindow(w) && other->queryWindow(w)->className == u"Mine");
    EXPECT_EQ(0, cetest::runCedev({"tap", "100", "100"}, nullptr, nullptr, second));
    EXPECT_EQ(0, cetest::runCedev({"tap", "100", "100"}));
    EXPECT_NE("", mine.waitFor("input " + hexId(w) + " 0x202"));
    std::vector<std::string> expected = {"input " + hexId(w) + " 0x201 1 100,100",
                                         "input " + hexId(w) + " 0x202 0 100,100"};
    EXPECT_EQ(expected, mine.lines());
}

} // namespace
