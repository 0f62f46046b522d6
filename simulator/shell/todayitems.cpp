// todayitems.cpp: the Today screen's items: the registry entries under
// HKLM\Software\Microsoft\Today\Items, and loading and unloading an item.
//
// Each entry is a key named by the item's quoted name ("\"Date\"") with the values Type (0 the
// built-in date, 4 an item library), Enabled, Order, DLL and Flags. An entry without Enabled
// counts as enabled and one without Type as an item library, which is what a registration
// that names only its DLL means. An item library is loaded with LoadLibraryW and its ordinal
// 240 called with the item's TODAYLISTITEM and the holder of the items; the window it returns
// is the item. The record stays at one address for the item's whole life, because the item
// keeps the pointer it is given with WM_TODAYCUSTOM_QUERYREFRESHCACHE and writes its height
// there. The documentation of the item messages puts that pointer in wParam, and items written
// after its samples read it there, others read lParam: WM_TODAYCUSTOM_QUERYREFRESHCACHE and
// WM_TODAYCUSTOM_CLEARCACHE carry it in both. Every load, failure and unload is a journal line
// ("today.item.*").
#include <algorithm>
#include <cstdio>

#include "ceshell.h"
#include "kernel/journal.h"
#include "kernel/strings.h"

namespace ceshell {

namespace {

constexpr const WCHAR* kItemsKey = u"Software\\Microsoft\\Today\\Items";
constexpr DWORD kMaxKeyName = 256;

bool readDword(HKEY key, const WCHAR* name, DWORD* out) {
    DWORD value = 0, type = 0, size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return false;
    *out = value;
    return true;
}

std::u16string readString(HKEY key, const WCHAR* name) {
    WCHAR buf[MAX_PATH + 1] = {};
    DWORD type = 0, size = sizeof buf - sizeof(WCHAR);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return u"";
    buf[std::min<DWORD>(size / sizeof(WCHAR), MAX_PATH)] = 0;
    return buf;
}

std::u16string folded(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out)
        c = ce::foldCase(c);
    return out;
}

std::string hexWindow(HWND hwnd) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(HandleToULong(hwnd)));
    return buf;
}

// Copies text into a fixed field, cut to fit and always terminated.
template <size_t N>
void copyField(WCHAR (&field)[N], std::u16string_view text) {
    size_t n = std::min(text.size(), N - 1);
    std::copy_n(text.data(), n, field);
    field[n] = 0;
}

void journalFailure(const ItemConfig& config, const char* reason, DWORD error) {
    ce::JournalLine line("today.item.failed");
    line.str("name", ce::toUtf8(config.name)).str("dll", ce::toUtf8(config.dll));
    line.str("reason", reason);
    if (error) line.num("error", static_cast<int64_t>(error));
    line.write();
}

} // namespace

std::vector<ItemConfig> readItemConfigs() {
    std::vector<ItemConfig> items;
    HKEY root = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kItemsKey, 0, 0, &root) != ERROR_SUCCESS) return items;
    for (DWORD i = 0; i < 1024; ++i) {
        WCHAR name[kMaxKeyName] = {};
        DWORD len = kMaxKeyName;
        LONG rc = RegEnumKeyExW(root, i, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) continue;
        ItemConfig c;
        c.key.assign(name, std::min<DWORD>(len, kMaxKeyName - 1));
        c.name = c.key;
        if (c.name.size() >= 2 && c.name.front() == u'"' && c.name.back() == u'"')
            c.name = c.name.substr(1, c.name.size() - 2);
        if (c.name.empty()) continue;
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, c.key.c_str(), 0, 0, &key) != ERROR_SUCCESS) continue;
        DWORD v = 0;
        if (readDword(key, u"Type", &v)) c.type = v;
        if (readDword(key, u"Enabled", &v)) c.enabled = v != 0;
        if (readDword(key, u"Order", &v)) c.hasOrder = true, c.order = v;
        if (readDword(key, u"Flags", &v)) c.flags = v;
        c.dll = readString(key, u"DLL");
        RegCloseKey(key);
        items.push_back(std::move(c));
    }
    RegCloseKey(root);
    std::stable_sort(items.begin(), items.end(), [](const ItemConfig& a, const ItemConfig& b) {
        if (a.hasOrder != b.hasOrder) return a.hasOrder;
        if (a.hasOrder && a.order != b.order) return a.order < b.order;
        return folded(a.name) < folded(b.name);
    });
    return items;
}

bool sameItem(const TodayItem& item, const ItemConfig& config) {
    if (!ce::equalNoCase(item.config.key, config.key) || item.config.type != config.type)
        return false;
    return config.type != tlitCustom || ce::equalNoCase(item.config.dll, config.dll);
}

std::unique_ptr<TodayItem> loadItem(const ItemConfig& config, HWND holder) {
    auto item = std::make_unique<TodayItem>();
    item->config = config;
    item->record = std::make_unique<TODAYLISTITEM>();
    TODAYLISTITEM& r = *item->record;
    copyField(r.szName, config.name);
    r.tlit = config.type <= tlitNil ? static_cast<TODAYLISTITEMTYPE>(config.type) : tlitNil;
    r.dwOrder = config.order;
    r.fEnabled = TRUE;
    r.grfFlags = config.flags;
    copyField(r.szDLLPath, config.dll);

    if (config.type == tlitOwnerInfo) {
        // The built-in item of Type 0: the date.
        item->hwnd = createDateItem(holder, item->record.get());
        if (!item->hwnd) {
            journalFailure(config, "cannot make the date item", GetLastError());
            return nullptr;
        }
        r.hwndCustom = item->hwnd;
        ce::JournalLine("today.item.loaded")
            .str("name", ce::toUtf8(config.name))
            .str("builtin", "date")
            .str("window", hexWindow(item->hwnd))
            .write();
        return item;
    }
    if (config.type != tlitCustom) {
        journalFailure(config, "type not supported", 0);
        return nullptr;
    }
    if (config.dll.empty()) {
        journalFailure(config, "no DLL", 0);
        return nullptr;
    }
    SetLastError(0);
    item->module = LoadLibraryW(config.dll.c_str());
    if (!item->module) {
        journalFailure(config, "cannot load the library", GetLastError());
        return nullptr;
    }
    auto init = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
        GetProcAddressW(item->module, MAKEINTRESOURCEW(ORDINAL_INITIALIZEITEM)));
    if (!init) {
        journalFailure(config, "no ordinal 240", GetLastError());
        FreeLibrary(item->module);
        return nullptr;
    }
    item->optionsProc = GetProcAddressW(item->module, MAKEINTRESOURCEW(ORDINAL_OPTIONSDIALOGPROC));
    r.fOptions = item->optionsProc != nullptr;
    r.hinstDLL = static_cast<HINSTANCE>(item->module);
    item->hwnd = init(item->record.get(), holder);
    if (item->hwnd && !IsWindow(item->hwnd)) item->hwnd = nullptr;
    r.hwndCustom = item->hwnd;
    ce::JournalLine("today.item.loaded")
        .str("name", ce::toUtf8(config.name))
        .str("dll", ce::toUtf8(config.dll))
        .str("window", hexWindow(item->hwnd))
        .flag("options", r.fOptions != FALSE)
        .write();
    return item;
}

void unloadItem(TodayItem& item) {
    if (item.hwnd && IsWindow(item.hwnd)) {
        auto record = reinterpret_cast<UINT_PTR>(item.record.get());
        SendMessageW(item.hwnd, WM_TODAYCUSTOM_CLEARCACHE, record, static_cast<LPARAM>(record));
        if (IsWindow(item.hwnd)) DestroyWindow(item.hwnd);
    }
    item.hwnd = nullptr;
    if (item.module) FreeLibrary(item.module);
    item.module = nullptr;
    item.optionsProc = nullptr;
    ce::JournalLine("today.item.unloaded").str("name", ce::toUtf8(item.config.name)).write();
}

bool queryItem(TodayItem& item) {
    if (!item.hwnd) return false;
    if (!IsWindow(item.hwnd)) {
        // The item destroyed its window itself: it shows nothing from now on.
        item.hwnd = nullptr;
        item.record->hwndCustom = nullptr;
        return true;
    }
    auto record = reinterpret_cast<UINT_PTR>(item.record.get());
    return SendMessageW(item.hwnd, WM_TODAYCUSTOM_QUERYREFRESHCACHE, record,
                        static_cast<LPARAM>(record)) != 0;
}

} // namespace ceshell
