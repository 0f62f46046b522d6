// resource.cpp: the modules' resource tables (ceresource.h) and the API that reads them
// without making objects: CeRegisterResources, LoadStringW, FindResourceW, LoadResource,
// SizeofResource and LockResource. Images (bitmaps, icons) are made in resource_image.cpp.
//
// Tables register themselves while their module loads. Which module a table belongs to is
// decided from its address (ce::moduleOfAddress) the first time a lookup needs it, not at
// registration: a plug-in's tables register inside dlopen, before the loader has entered the
// library in its module table. Lookups copy the list and resolve modules without holding the
// list's lock, because the loader's lock is held around dlopen and so around registration.
#include "user/resource.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "winbase.h"
#include "winuser.h"

#include "kernel/modules.h"
#include "kernel/strings.h"
#include "kernel/trace.h"

namespace ce::user {

namespace {

struct Registered {
    const CeResourceTable* table;
    HMODULE module; // null until resolved
};

// A resource FindResourceW handed out. HRSRC values index this list; a record whose table
// was unregistered (its module unloaded) stays as a dead entry so that the value is never
// reused for another resource.
struct HandedOut {
    const CeResourceTable* table;
    HMODULE module;
    const void* data;
    DWORD size;
    bool alive;
};

constexpr uint32_t kFirstResInfo = 0x52000000;
constexpr size_t kMaxHandedOut = 0x00400000; // values stay below 0x53000000

struct State {
    std::mutex lock;
    std::vector<Registered> tables;
    std::vector<HandedOut> handedOut;
    std::map<const void*, uint32_t> handedOutByEntry;
};

State& state() {
    static State s;
    return s;
}

// The tables of a module, in registration order, resolving owners that are not known yet.
std::vector<const CeResourceTable*> tablesOf(HMODULE module) {
    State& s = state();
    std::vector<Registered> snapshot;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        snapshot = s.tables;
    }
    std::vector<const CeResourceTable*> out;
    for (Registered& r : snapshot) {
        if (!r.module) {
            r.module = ce::moduleOfAddress(r.table);
            if (!r.module) continue; // in no module the loader knows (yet)
            std::lock_guard<std::mutex> guard(s.lock);
            for (Registered& stored : s.tables)
                if (stored.table == r.table) stored.module = r.module;
        }
        if (r.module == module) out.push_back(r.table);
    }
    return out;
}

} // namespace

ResourceName parseResourceName(LPCWSTR name) {
    ResourceName out;
    // A number below 0x10000 in the pointer (IS_INTRESOURCE).
    if ((reinterpret_cast<ULONG_PTR>(name) >> 16) == 0) {
        out.id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
        out.valid = out.id != 0;
        return out;
    }
    std::u16string_view text(name);
    if (text.size() > 256) return out; // longer than any name a table can hold
    if (text.size() > 1 && text[0] == u'#') {
        // "#123" names resource 123, as the resource compiler writes numbers in strings.
        uint32_t value = 0;
        for (char16_t c : text.substr(1)) {
            if (c < u'0' || c > u'9' || value > 0xFFFF) return out;
            value = value * 10 + static_cast<uint32_t>(c - u'0');
        }
        if (value == 0 || value > 0xFFFF) return out;
        out.id = static_cast<WORD>(value);
        out.valid = true;
        return out;
    }
    if (text.empty()) return out;
    out.name.reserve(text.size());
    for (char16_t c : text)
        out.name.push_back(ce::foldCase(c));
    out.valid = true;
    return out;
}

bool sameResourceName(const ResourceName& a, WORD id, const WCHAR* name) {
    if (!a.valid) return false;
    if (!name) return a.name.empty() && a.id == id;
    if (a.name.empty()) return false;
    return ce::equalNoCase(a.name, std::u16string_view(name));
}

HMODULE resourceModule(HINSTANCE instance) {
    return instance ? instance : static_cast<HMODULE>(ULongToHandle(ce::kProgramModule));
}

bool validImage(const CeImage& image) {
    return image.pixels && image.width > 0 && image.height > 0 && image.width <= kMaxImageSide &&
           image.height <= kMaxImageSide;
}

const CeStringEntry* findStringResource(HMODULE module, UINT id) {
    const auto tables = tablesOf(module);
    bool anyStrings = false;
    for (const CeResourceTable* t : tables) {
        if (!t->strings) continue;
        anyStrings = anyStrings || t->stringCount > 0;
        for (UINT i = 0; i < t->stringCount; ++i)
            if (t->strings[i].id == id && t->strings[i].text) return &t->strings[i];
    }
    SetLastError(tables.empty() ? ERROR_RESOURCE_DATA_NOT_FOUND
                 : !anyStrings  ? ERROR_RESOURCE_TYPE_NOT_FOUND
                                : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

const CeImageEntry* findImageResource(HMODULE module, ImageKind kind, const ResourceName& name) {
    const auto tables = tablesOf(module);
    bool anyOfKind = false;
    for (const CeResourceTable* t : tables) {
        const CeImageEntry* list = kind == ImageKind::Bitmap ? t->bitmaps : t->icons;
        const UINT count = kind == ImageKind::Bitmap ? t->bitmapCount : t->iconCount;
        if (!list) continue;
        anyOfKind = anyOfKind || count > 0;
        for (UINT i = 0; i < count; ++i)
            if (sameResourceName(name, list[i].id, list[i].name) && list[i].images &&
                list[i].imageCount > 0)
                return &list[i];
    }
    SetLastError(tables.empty() ? ERROR_RESOURCE_DATA_NOT_FOUND
                 : !anyOfKind   ? ERROR_RESOURCE_TYPE_NOT_FOUND
                                : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

const CeDataEntry* findDataResource(HMODULE module, const ResourceName& type,
                                    const ResourceName& name) {
    const auto tables = tablesOf(module);
    bool anyOfType = false;
    for (const CeResourceTable* t : tables) {
        if (!t->data) continue;
        for (UINT i = 0; i < t->dataCount; ++i) {
            const CeDataEntry& e = t->data[i];
            const ResourceName entryType = parseResourceName(e.type ? e.type : u"");
            if (!entryType.valid || entryType.id != type.id || entryType.name != type.name)
                continue;
            anyOfType = true;
            if (sameResourceName(name, e.id, e.name)) return &e;
        }
    }
    SetLastError(tables.empty() ? ERROR_RESOURCE_DATA_NOT_FOUND
                 : !anyOfType   ? ERROR_RESOURCE_TYPE_NOT_FOUND
                                : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

namespace {

// The HRSRC of a found resource: the same value every time the same resource is found.
HRSRC handOut(const CeResourceTable* table, HMODULE module, const void* entry, const void* data,
              DWORD size) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.handedOutByEntry.find(entry);
    if (it != s.handedOutByEntry.end()) {
        HandedOut& h = s.handedOut[(it->second - kFirstResInfo) / 4];
        if (h.alive && h.table == table) return static_cast<HRSRC>(ULongToHandle(it->second));
    }
    if (s.handedOut.size() >= kMaxHandedOut) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const uint32_t value = kFirstResInfo + static_cast<uint32_t>(s.handedOut.size()) * 4;
    s.handedOut.push_back({table, module, data, size, true});
    s.handedOutByEntry[entry] = value;
    return static_cast<HRSRC>(ULongToHandle(value));
}

// The record behind an HRSRC of this module, or null (with ERROR_INVALID_HANDLE).
bool handedOutRecord(HMODULE module, HRSRC info, HandedOut* out) {
    const uint32_t value = HandleToULong(info);
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (value >= kFirstResInfo && value % 4 == 0) {
        const size_t index = (value - kFirstResInfo) / 4;
        if (index < s.handedOut.size() && s.handedOut[index].alive &&
            s.handedOut[index].module == module) {
            *out = s.handedOut[index];
            return true;
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

// The table a found entry lies in (entries are elements of a table's lists).
const CeResourceTable* tableHolding(HMODULE module, const void* entry) {
    for (const CeResourceTable* t : tablesOf(module)) {
        auto inList = [entry](const auto* list, UINT count) {
            return list && entry >= static_cast<const void*>(list) &&
                   entry < static_cast<const void*>(list + count);
        };
        if (inList(t->data, t->dataCount) || inList(t->bitmaps, t->bitmapCount) ||
            inList(t->icons, t->iconCount))
            return t;
    }
    return nullptr;
}

} // namespace

} // namespace ce::user

using namespace ce::user;

// Adds a module's resource table; see ceresource.h.
WINUSERAPI BOOL CeRegisterResources(const CeResourceTable* table) {
    if (!table || table->version != CE_RESOURCE_TABLE_VERSION) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    for (const Registered& r : s.tables)
        if (r.table == table) return TRUE;
    s.tables.push_back({table, nullptr});
    return TRUE;
}

// Removes a table as its module unloads. Resources handed out from it become invalid: their
// HRSRC values fail from now on instead of pointing into an unloaded image.
WINUSERAPI BOOL CeUnregisterResources(const CeResourceTable* table) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = std::find_if(s.tables.begin(), s.tables.end(),
                           [table](const Registered& r) { return r.table == table; });
    if (it == s.tables.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    s.tables.erase(it);
    for (HandedOut& h : s.handedOut)
        if (h.table == table) h.alive = false;
    return TRUE;
}

// Copies string uID of the module into lpBuffer, truncated to cchBufferMax - 1 characters
// and terminated, and returns the number of characters copied. With cchBufferMax 0, lpBuffer
// receives a read-only pointer to the string itself (terminated, valid while the module is
// loaded) and the string's length is returned. The Windows CE form that returns the pointer
// as the result (lpBuffer NULL) cannot work where pointers are wider than int: it fails with
// ERROR_INVALID_PARAMETER. A missing string returns 0 and leaves the buffer untouched.
WINUSERAPI int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    if (!lpBuffer || cchBufferMax < 0) {
        if (!lpBuffer) CE_FIXME("resource", "LoadStringW without a buffer (pointer as result)");
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const CeStringEntry* entry = findStringResource(resourceModule(hInstance), uID);
    if (!entry) return 0;
    const size_t length = std::char_traits<char16_t>::length(entry->text);
    if (cchBufferMax == 0) {
        const WCHAR* text = entry->text;
        std::memcpy(lpBuffer, &text, sizeof text);
        return static_cast<int>(std::min<size_t>(length, INT32_MAX));
    }
    const size_t copied = std::min(length, static_cast<size_t>(cchBufferMax) - 1);
    std::memcpy(lpBuffer, entry->text, copied * sizeof(WCHAR));
    lpBuffer[copied] = 0;
    return static_cast<int>(copied);
}

// Finds a typed resource: data entries (RT_RCDATA, RT_DIALOG, RT_MENU, the module's own
// types), and the bitmaps (RT_BITMAP) and icons (RT_GROUP_ICON) of the tables, whose data is
// their first image's pixels (0xAARRGGBB, top-down) rather than a DIB. Fails with 1812 when
// the module has no resources, 1813 for a type it has none of, 1814 for a missing name.
WINUSERAPI HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
    if (!lpName || !lpType) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const HMODULE module = resourceModule(hModule);
    const ResourceName name = parseResourceName(lpName);
    const ResourceName type = parseResourceName(lpType);
    if (!name.valid || !type.valid) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    if (type.name.empty() && (type.id == 2 || type.id == 14)) { // RT_BITMAP, RT_GROUP_ICON
        const ImageKind kind = type.id == 2 ? ImageKind::Bitmap : ImageKind::Icon;
        const CeImageEntry* entry = findImageResource(module, kind, name);
        if (!entry) return nullptr;
        const CeImage& image = entry->images[0];
        if (!validImage(image)) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
        const DWORD size = static_cast<DWORD>(image.width) * static_cast<DWORD>(image.height) * 4;
        return handOut(tableHolding(module, entry), module, entry, image.pixels, size);
    }
    if (type.name.empty() && (type.id == 6 || type.id == 3 || type.id == 1 || type.id == 12)) {
        // Strings live in LoadStringW's table, and single icon or cursor images are reached
        // through their group; neither is a block that FindResourceW can hand out here.
        CE_FIXME("resource", "FindResourceW of type %u", type.id);
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    const CeDataEntry* entry = findDataResource(module, type, name);
    if (!entry) return nullptr;
    return handOut(tableHolding(module, entry), module, entry, entry->data, entry->size);
}

// Returns the resource's data. Resources are part of the module's image, so "loading" hands
// out the address (as on Windows CE, where HGLOBAL and the locked pointer are the same).
WINUSERAPI HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo) {
    HandedOut record{};
    if (!handedOutRecord(resourceModule(hModule), hResInfo, &record)) return nullptr;
    if (!record.data) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return const_cast<void*>(record.data);
}

// The size in bytes of a resource FindResourceW found; 0 for a value that is not one.
WINUSERAPI DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    HandedOut record{};
    if (!handedOutRecord(resourceModule(hModule), hResInfo, &record)) return 0;
    return record.size;
}

// The address of the data LoadResource gave; resources need no locking.
WINUSERAPI LPVOID LockResource(HGLOBAL hResData) {
    return hResData;
}
