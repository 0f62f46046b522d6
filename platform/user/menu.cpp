// menu.cpp: menus and their entries: CreatePopupMenu, CreateMenu, DestroyMenu, AppendMenuW,
// InsertMenuW, ModifyMenuW, DeleteMenu, RemoveMenu, CheckMenuItem, CheckMenuRadioItem,
// EnableMenuItem, GetSubMenu, GetMenuItemCount, GetMenuItemID, Get/SetMenuItemInfoW.
//
// Menus are data only: nothing here makes a window. Pop-up menus are shown and tracked by
// menutrack.cpp from snapshots of these records. Entries named MF_BYCOMMAND are searched
// through the whole menu tree, depth first, as Windows does, so a caller can change an entry
// of a submenu through the top menu. A submenu may not contain the menu it is added to (a
// cycle would make every search endless); searches also stop at a fixed depth.
#include "user/menu.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "kernel/trace.h"

namespace ce::user {
namespace {

constexpr int kMaxMenuDepth = 32;
// Menu handles carry a tag in their top bits so that a window or GDI handle passed by mistake
// is refused rather than taken for a menu.
constexpr uint32_t kMenuTag = 0x4D000000;
constexpr uint32_t kMenuTagMask = 0xFF000000;

struct Menu {
    bool popup = true;
    std::vector<MenuEntry> entries;
};

struct MenuTable {
    std::mutex mutex;
    std::map<uint32_t, Menu> menus;
    uint32_t next = 1;
};

MenuTable& table() {
    static auto* t = new MenuTable; // outlives the static destructors of other files
    return *t;
}

Menu* findLocked(uint32_t h) {
    auto& menus = table().menus;
    auto it = menus.find(h);
    return it == menus.end() ? nullptr : &it->second;
}

Menu* menuOrError(uint32_t h) {
    Menu* m = findLocked(h);
    if (!m) SetLastError(ERROR_INVALID_MENU_HANDLE);
    return m;
}

uint32_t toValue(HMENU h) {
    return HandleToULong(h);
}

// Where an entry is: its menu and index.
struct Place {
    Menu* menu = nullptr;
    size_t index = 0;
};

// Depth-first search for an entry whose command is id (a submenu entry's command is its
// submenu's handle, as Windows keeps it).
std::optional<Place> findCommand(Menu& m, UINT id, int depth) {
    if (depth > kMaxMenuDepth) return std::nullopt;
    for (size_t i = 0; i < m.entries.size(); ++i) {
        const MenuEntry& e = m.entries[i];
        if (e.submenu) {
            if (e.submenu == id) return Place{&m, i};
            if (Menu* sub = findLocked(e.submenu))
                if (auto p = findCommand(*sub, id, depth + 1)) return p;
        } else if (!e.separator() && e.id == id) {
            return Place{&m, i};
        }
    }
    return std::nullopt;
}

std::optional<Place> findEntry(uint32_t hmenu, UINT item, bool byPosition) {
    Menu* m = menuOrError(hmenu);
    if (!m) return std::nullopt;
    if (byPosition) {
        if (item >= m->entries.size()) return std::nullopt;
        return Place{m, item};
    }
    return findCommand(*m, item, 0);
}

// Whether `target` can be reached from menu `from` (itself included).
bool reaches(uint32_t from, uint32_t target, int depth) {
    if (from == target) return true;
    if (depth > kMaxMenuDepth) return true; // too deep: treat as a cycle, refuse
    Menu* m = findLocked(from);
    if (!m) return false;
    for (const auto& e : m->entries)
        if (e.submenu && reaches(e.submenu, target, depth + 1)) return true;
    return false;
}

void destroyLocked(uint32_t h, int depth) {
    auto& menus = table().menus;
    auto it = menus.find(h);
    if (it == menus.end() || depth > kMaxMenuDepth) return;
    std::vector<MenuEntry> entries = std::move(it->second.entries);
    menus.erase(it);
    for (const auto& e : entries)
        if (e.submenu) destroyLocked(e.submenu, depth + 1);
}

// An entry described by the flags of AppendMenuW and its relatives; false with the last
// error set when the description is not one this system supports or is inconsistent.
bool makeEntry(uint32_t hmenu, UINT flags, UINT_PTR idNew, LPCWSTR text, MenuEntry* out) {
    if (flags & (MF_BITMAP | MF_OWNERDRAW)) {
        CE_FIXME("menu", "bitmap and owner-drawn menu entries are not supported");
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    MenuEntry e;
    if (flags & MF_SEPARATOR) {
        e.type = MFT_SEPARATOR;
    } else {
        e.type = MFT_STRING | (flags & (MF_MENUBREAK | MF_MENUBARBREAK | MF_RADIOCHECK));
        if (text) e.text = text;
    }
    e.state |= flags & (MF_GRAYED | MF_DISABLED); // as given: EnableMenuItem returns it
    if (flags & MF_CHECKED) e.state |= MFS_CHECKED;
    if (flags & MF_DEFAULT) e.state |= MFS_DEFAULT;
    if (flags & MF_POPUP) {
        auto sub = static_cast<uint32_t>(idNew);
        if (!findLocked(sub) || reaches(sub, hmenu, 0)) {
            SetLastError(findLocked(sub) ? ERROR_INVALID_PARAMETER : ERROR_INVALID_MENU_HANDLE);
            return false;
        }
        e.submenu = sub;
        e.id = sub;
    } else if (!(flags & MF_SEPARATOR)) {
        e.id = static_cast<UINT>(idNew);
    }
    *out = std::move(e);
    return true;
}

HMENU createMenu(bool popup) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    uint32_t h = kMenuTag | (t.next & ~kMenuTagMask);
    t.next = (t.next + 1) & ~kMenuTagMask;
    if (t.next == 0) t.next = 1;
    Menu m;
    m.popup = popup;
    t.menus[h] = std::move(m);
    return static_cast<HMENU>(ULongToHandle(h));
}

BOOL removeEntry(HMENU hMenu, UINT position, UINT flags, bool destroySubmenu) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto place = findEntry(toValue(hMenu), position, (flags & MF_BYPOSITION) != 0);
    if (!place) {
        if (findLocked(toValue(hMenu))) SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    uint32_t sub = place->menu->entries[place->index].submenu;
    place->menu->entries.erase(place->menu->entries.begin() +
                               static_cast<std::ptrdiff_t>(place->index));
    if (destroySubmenu && sub) destroyLocked(sub, 0);
    return TRUE;
}

} // namespace

std::optional<std::vector<MenuEntry>> menuSnapshot(uint32_t hmenu) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    Menu* m = findLocked(hmenu);
    if (!m) return std::nullopt;
    return m->entries;
}

bool isMenuHandle(uint32_t hmenu) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    return findLocked(hmenu) != nullptr;
}

std::u16string menuDisplayText(std::u16string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\t') break;
        if (c == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&') {
                out.push_back(u'&');
                ++i;
            }
            continue;
        }
        out.push_back(c);
    }
    return out;
}

} // namespace ce::user

using namespace ce::user;

// A new, empty pop-up menu.
WINUSERAPI HMENU CreatePopupMenu(void) {
    return createMenu(true);
}

// A new, empty menu bar; on this device it holds entries like a pop-up menu does.
WINUSERAPI HMENU CreateMenu(void) {
    return createMenu(false);
}

// Destroys the menu and, with it, every submenu its entries open.
WINUSERAPI BOOL DestroyMenu(HMENU hMenu) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (!menuOrError(toValue(hMenu))) return FALSE;
    destroyLocked(toValue(hMenu), 0);
    return TRUE;
}

// Adds an entry at the end of the menu.
WINUSERAPI BOOL AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    Menu* m = menuOrError(toValue(hMenu));
    if (!m) return FALSE;
    MenuEntry e;
    if (!makeEntry(toValue(hMenu), uFlags, uIDNewItem, lpNewItem, &e)) return FALSE;
    m->entries.push_back(std::move(e));
    return TRUE;
}

// Adds an entry before the one uPosition names; by position, -1 or a position past the end
// appends. By command the new entry goes into whichever submenu holds the named entry.
WINUSERAPI BOOL InsertMenuW(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem,
                            LPCWSTR lpNewItem) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    Menu* m = menuOrError(toValue(hMenu));
    if (!m) return FALSE;
    Place place{m, m->entries.size()};
    if (uFlags & MF_BYPOSITION) {
        if (uPosition < m->entries.size()) place.index = uPosition;
    } else {
        auto found = findCommand(*m, uPosition, 0);
        if (!found) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        place = *found;
    }
    MenuEntry e;
    if (!makeEntry(toValue(hMenu), uFlags, uIDNewItem, lpNewItem, &e)) return FALSE;
    place.menu->entries.insert(
        place.menu->entries.begin() + static_cast<std::ptrdiff_t>(place.index), std::move(e));
    return TRUE;
}

// Replaces an entry with the one the flags describe. A submenu the old entry opened is
// destroyed, unless the new entry opens the same one.
WINUSERAPI BOOL ModifyMenuW(HMENU hMnu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem,
                            LPCWSTR lpNewItem) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto place = findEntry(toValue(hMnu), uPosition, (uFlags & MF_BYPOSITION) != 0);
    if (!place) {
        if (findLocked(toValue(hMnu))) SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MenuEntry& old = place->menu->entries[place->index];
    uint32_t oldSub = old.submenu;
    old.submenu = 0; // so that the cycle check does not see the entry being replaced
    MenuEntry e;
    if (!makeEntry(toValue(hMnu), uFlags, uIDNewItem, lpNewItem, &e)) {
        old.submenu = oldSub;
        return FALSE;
    }
    old = std::move(e);
    if (oldSub && oldSub != old.submenu) destroyLocked(oldSub, 0);
    return TRUE;
}

// Removes an entry and destroys the submenu it opens.
WINUSERAPI BOOL DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags) {
    return removeEntry(hMenu, uPosition, uFlags, true);
}

// Removes an entry; the submenu it opens stays, for the caller to reuse or destroy.
WINUSERAPI BOOL RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags) {
    return removeEntry(hMenu, uPosition, uFlags, false);
}

// Sets or clears an entry's check mark; returns the previous state or (DWORD)-1.
WINUSERAPI DWORD CheckMenuItem(HMENU hmenu, UINT uIDCheckItem, UINT uCheck) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto place = findEntry(toValue(hmenu), uIDCheckItem, (uCheck & MF_BYPOSITION) != 0);
    if (!place) return 0xFFFFFFFFu;
    MenuEntry& e = place->menu->entries[place->index];
    DWORD previous = e.checked() ? MF_CHECKED : MF_UNCHECKED;
    if (uCheck & MF_CHECKED)
        e.state |= MFS_CHECKED;
    else
        e.state &= ~static_cast<UINT>(MFS_CHECKED);
    return previous;
}

// Enables or greys an entry; returns its previous state (MF_ENABLED, MF_GRAYED, MF_DISABLED
// as it was set) or -1 when there is no such entry.
WINUSERAPI BOOL EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto place = findEntry(toValue(hMenu), uIDEnableItem, (uEnable & MF_BYPOSITION) != 0);
    if (!place) return -1;
    MenuEntry& e = place->menu->entries[place->index];
    BOOL previous = static_cast<BOOL>(e.state & MFS_GRAYED);
    e.state = (e.state & ~static_cast<UINT>(MFS_GRAYED)) | (uEnable & (MF_GRAYED | MF_DISABLED));
    return previous;
}

// Checks idCheck with a round mark (MFT_RADIOCHECK) and clears the mark and the radio type of
// the other entries of the group idFirst..idLast, which must lie in one menu.
WINUSERAPI BOOL CheckMenuRadioItem(HMENU hmenu, UINT idFirst, UINT idLast, UINT idCheck,
                                   UINT uFlags) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    bool byPosition = (uFlags & MF_BYPOSITION) != 0;
    auto check = findEntry(toValue(hmenu), idCheck, byPosition);
    if (!check) {
        if (findLocked(toValue(hmenu))) SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Menu& m = *check->menu;
    if (byPosition &&
        (idFirst > idLast || idLast >= m.entries.size() || idCheck < idFirst || idCheck > idLast)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (size_t i = 0; i < m.entries.size(); ++i) {
        MenuEntry& e = m.entries[i];
        bool inGroup = byPosition
                           ? (i >= idFirst && i <= idLast)
                           : (!e.submenu && !e.separator() && e.id >= idFirst && e.id <= idLast);
        if (!inGroup) continue;
        if (i == check->index) {
            e.type |= MFT_RADIOCHECK;
            e.state |= MFS_CHECKED;
        } else {
            e.type &= ~static_cast<UINT>(MFT_RADIOCHECK);
            e.state &= ~static_cast<UINT>(MFS_CHECKED);
        }
    }
    return TRUE;
}

// The submenu the entry at nPos opens; NULL for a plain entry or a bad position.
WINUSERAPI HMENU GetSubMenu(HMENU hMenu, int nPos) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    Menu* m = menuOrError(toValue(hMenu));
    if (!m || nPos < 0 || static_cast<size_t>(nPos) >= m->entries.size()) return nullptr;
    return static_cast<HMENU>(ULongToHandle(m->entries[static_cast<size_t>(nPos)].submenu));
}

// The number of entries, or -1 for a bad handle.
WINUSERAPI int GetMenuItemCount(HMENU hMenu) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    Menu* m = menuOrError(toValue(hMenu));
    return m ? static_cast<int>(m->entries.size()) : -1;
}

// The command of the entry at nPos; (UINT)-1 for a submenu entry or a bad position.
WINUSERAPI UINT GetMenuItemID(HMENU hMenu, int nPos) {
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    Menu* m = menuOrError(toValue(hMenu));
    if (!m || nPos < 0 || static_cast<size_t>(nPos) >= m->entries.size()) return 0xFFFFFFFFu;
    const MenuEntry& e = m->entries[static_cast<size_t>(nPos)];
    return e.submenu ? 0xFFFFFFFFu : e.id;
}

// Reads what fMask asks for. MIIM_TYPE copies the text into dwTypeData (cch characters at
// most, terminated) and sets cch to the text's length; with a NULL dwTypeData only cch is
// set.
WINUSERAPI BOOL GetMenuItemInfoW(HMENU hMenu, UINT uItem, BOOL fByPosition, LPMENUITEMINFOW lpmii) {
    if (!lpmii || lpmii->cbSize < sizeof(MENUITEMINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto place = findEntry(toValue(hMenu), uItem, fByPosition != FALSE);
    if (!place) {
        if (findLocked(toValue(hMenu))) SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const MenuEntry& e = place->menu->entries[place->index];
    if (lpmii->fMask & MIIM_STATE) lpmii->fState = e.state;
    if (lpmii->fMask & MIIM_ID) lpmii->wID = e.id;
    if (lpmii->fMask & MIIM_SUBMENU) lpmii->hSubMenu = static_cast<HMENU>(ULongToHandle(e.submenu));
    if (lpmii->fMask & MIIM_CHECKMARKS) {
        lpmii->hbmpChecked = nullptr;
        lpmii->hbmpUnchecked = nullptr;
    }
    if (lpmii->fMask & MIIM_DATA) lpmii->dwItemData = e.data;
    if (lpmii->fMask & MIIM_TYPE) {
        lpmii->fType = e.type;
        if (!e.separator() && lpmii->dwTypeData && lpmii->cch > 0) {
            size_t n = std::min<size_t>(e.text.size(), lpmii->cch - 1);
            std::copy_n(e.text.data(), n, lpmii->dwTypeData);
            lpmii->dwTypeData[n] = 0;
        }
        lpmii->cch = e.separator() ? 0 : static_cast<UINT>(e.text.size());
    }
    return TRUE;
}

// Changes what fMask names. A new submenu must not contain this menu; the old one is left to
// the caller, as Windows does.
WINUSERAPI BOOL SetMenuItemInfoW(HMENU hMenu, UINT uItem, BOOL fByPosition,
                                 LPCMENUITEMINFOW lpmii) {
    if (!lpmii || lpmii->cbSize < sizeof(MENUITEMINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((lpmii->fMask & MIIM_TYPE) && (lpmii->fType & (MFT_BITMAP | MFT_OWNERDRAW))) {
        CE_FIXME("menu", "bitmap and owner-drawn menu entries are not supported");
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    auto& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto place = findEntry(toValue(hMenu), uItem, fByPosition != FALSE);
    if (!place) {
        if (findLocked(toValue(hMenu))) SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MenuEntry& e = place->menu->entries[place->index];
    if (lpmii->fMask & MIIM_SUBMENU) {
        uint32_t sub = HandleToULong(lpmii->hSubMenu);
        if (sub && (!findLocked(sub) || reaches(sub, toValue(hMenu), 0))) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        e.submenu = sub;
    }
    if (lpmii->fMask & MIIM_STATE)
        e.state = lpmii->fState & (MFS_GRAYED | MFS_CHECKED | MFS_HILITE | MFS_DEFAULT);
    if (lpmii->fMask & MIIM_ID) e.id = lpmii->wID;
    if (lpmii->fMask & MIIM_DATA) e.data = lpmii->dwItemData;
    if (lpmii->fMask & MIIM_TYPE) {
        e.type = lpmii->fType;
        e.text = (!e.separator() && lpmii->dwTypeData) ? std::u16string(lpmii->dwTypeData)
                                                       : std::u16string();
    }
    return TRUE;
}
