// menures.cpp: menus from a module's menu resources (LoadMenuW), and the helpers the menu bar
// uses to read a menu resource directly.
//
// A menu resource is an RT_MENU data entry holding an array of CeMenuItem (aygshell.h): the
// entries of the top level in order, each MF_POPUP entry followed by the entries of its
// submenu, the last entry of every level marked CE_MENU_END. The data comes from a module's
// tables, so it is checked as it is read: an entry count from the data's size, nothing read
// past it, a submenu that runs off the end or nests deeper than any real menu makes the
// resource invalid rather than a partial menu.
#include "aygshell.h"
#include "kernel/trace.h"
#include "shell/shell.h"

namespace ce::shell {
namespace {

// Deeper nesting than any menu a person could use; bounds the recursion on hostile data.
constexpr int kMaxMenuDepth = 8;

HMENU buildLevel(const MenuResource& res, size_t* pos, bool popup, int depth) {
    if (depth > kMaxMenuDepth) return nullptr;
    HMENU menu = popup ? CreatePopupMenu() : CreateMenu();
    if (!menu) return nullptr;
    while (*pos < res.count) {
        const CeMenuItem& item = res.items[(*pos)++];
        const bool last = (item.flags & CE_MENU_END) != 0;
        const UINT flags = item.flags & ~static_cast<UINT>(CE_MENU_END);
        BOOL ok;
        if (flags & MF_POPUP) {
            HMENU sub = buildLevel(res, pos, true, depth + 1);
            if (!sub) {
                DestroyMenu(menu);
                return nullptr;
            }
            ok = AppendMenuW(menu, flags, reinterpret_cast<UINT_PTR>(sub),
                             item.text ? item.text : u"");
            if (!ok) DestroyMenu(sub);
        } else if (flags & MF_SEPARATOR) {
            ok = AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            ok = AppendMenuW(menu, flags, item.id, item.text ? item.text : u"");
        }
        if (!ok) {
            DestroyMenu(menu);
            return nullptr;
        }
        if (last) return menu;
    }
    // The level never ended: the data is cut short.
    DestroyMenu(menu);
    return nullptr;
}

} // namespace

MenuResource findMenuResource(HINSTANCE instance, LPCWSTR name) {
    MenuResource res;
    HRSRC info = FindResourceW(instance, name, RT_MENU);
    if (!info) return res;
    HGLOBAL data = LoadResource(instance, info);
    const void* bytes = data ? LockResource(data) : nullptr;
    DWORD size = SizeofResource(instance, info);
    if (!bytes || size < sizeof(CeMenuItem)) return res;
    res.items = static_cast<const CeMenuItem*>(bytes);
    res.count = size / sizeof(CeMenuItem);
    return res;
}

HMENU buildMenu(const MenuResource& res, size_t* pos, bool popup) {
    return buildLevel(res, pos, popup, 0);
}

} // namespace ce::shell

using namespace ce::shell;

// The resource's top level becomes a menu bar (CreateMenu) whose MF_POPUP entries open the
// submenus, as GetSubMenu finds them.
WINUSERAPI HMENU LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName) {
    MenuResource res = findMenuResource(hInstance, lpMenuName);
    if (!res.items) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    size_t pos = 0;
    HMENU menu = buildMenu(res, &pos, false);
    if (!menu) {
        CE_TRACE("shell", "menu resource of %#lx is not a menu",
                 static_cast<unsigned long>(HandleToULong(hInstance)));
        SetLastError(ERROR_INVALID_DATA);
    }
    return menu;
}
