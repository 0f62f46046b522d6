// itemhost.cpp: the Today-screen stand-in of the item tests.
#include "itemhost.h"

#include "kernel/clock.h"
#include "kernel/device.h"

namespace itemtest {

namespace {

const char16_t kTodayClass[] = u"ItemHostToday";

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER || message == WM_CLOSE)
        received().push_back({window, message, wParam, lParam});
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

std::vector<Received>& received() {
    static std::vector<Received> all;
    return all;
}

void ItemHost::SetUp() {
    device.freezeAt("2027-03-01T08:00:00Z");
    CreateDirectoryW(u"\\Program Files", nullptr);
    CreateDirectoryW(u"\\Program Files\\Zolvane", nullptr);
    writeRegString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_INSTALLDIR,
                   u"\\Program Files\\Zolvane", REGW_CREATE);
    setRegDword(ZV_VAL_LOGGINGOPTION, 7);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = recordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kTodayClass;
    RegisterClassW(&wc);
    today = CreateWindowExW(0, kTodayClass, u"Today", WS_POPUP | WS_VISIBLE, 0, 26, 240, 268,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, today);
    // The shell is up: Startup does not wait for it.
    for (unsigned api : {SH_GDI, SH_WMGR, SH_SHELL})
        ce::setApiReady(api, true);
    attachLibrary(GetModuleHandleW(nullptr));
    item.fEnabled = TRUE;
    item.tlit = tlitCustom;
    received().clear();
}

void ItemHost::TearDown() {
    if (pluginState.pluginWindow) DestroyWindow(pluginState.pluginWindow);
    DestroyWindow(today);
    pump();
    detachLibrary();
    currentSkin = nullptr;
    alarmCount = 0;
    pluginState.heightChanged = FALSE;
    pluginState.dragging = FALSE;
    received().clear();
}

HWND ItemHost::initialize() {
    return InitializeCustomItem(&item, today);
}

void ItemHost::pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

void ItemHost::advanceMs(int64_t ms) {
    ce::advanceDeviceClock(ms * ce::kFileTimePerMs);
    pump();
}

std::string ItemHost::log() {
    std::ifstream in(device.fs() / "Program Files" / "Zolvane" / "Zolvane.log", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int ItemHost::logCount(const std::string& text) {
    std::string all = log();
    int n = 0;
    for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1))
        ++n;
    return n;
}

bool ItemHost::regDword(LPCWSTR name, DWORD* value) {
    LONG v = 0;
    if (!readRegDword(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, name, &v)) return false;
    *value = static_cast<DWORD>(v);
    return true;
}

void ItemHost::setRegDword(LPCWSTR name, DWORD value) {
    writeRegDword(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, name, value, REGW_CREATE);
}

void ItemHost::deleteReg(LPCWSTR name) {
    deleteRegValue(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, name, 0);
}

void ItemHost::useTestSkin() {
    skin = {};
    SkinItem& text = skin.items[SKIN_TEXTWINDOW];
    text.enabled = TRUE;
    text.left = 2;
    text.top = 20;
    text.right = 238;
    text.bottom = 100;
    text.extra1 = 30;
    SkinItem& vol = skin.items[SKIN_VOL];
    vol.enabled = TRUE;
    vol.left = 200;
    vol.top = 2;
    vol.right = 216;
    vol.bottom = 18;
    skin.todayHeight = 120;
    skin.lineHeight = 12;
    currentSkin = &skin;
}

} // namespace itemtest
