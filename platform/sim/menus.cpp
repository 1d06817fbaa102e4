// Menus of the simulated platform: popup menus kept in memory, enough for
// the context-menu handlers and their tests.

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/sim/core.h"
#include "platform/sim/menu_view.h"

struct SimBitmap {
    std::string name;
};

struct SimMenu {
    std::vector<sim::MenuEntry> entries;
};

namespace sim {
namespace {

std::set<HMENU>& Menus() {
    static std::set<HMENU> menus;
    return menus;
}

MenuEntry* Locate(HMENU menu, UINT item, BOOL byPosition) {
    if (!Menus().count(menu)) return nullptr;
    if (byPosition) return item < menu->entries.size() ? &menu->entries[item] : nullptr;
    for (MenuEntry& e : menu->entries)
        if (e.id == item && !e.subMenu) return &e;
    return nullptr;
}

void Apply(MenuEntry& e, const MENUITEMINFOA& info) {
    if (info.fMask & (MIIM_TYPE | MIIM_FTYPE)) e.separator = info.fType & MFT_SEPARATOR;
    if ((info.fMask & (MIIM_TYPE | MIIM_STRING)) && info.dwTypeData && !e.separator) e.text = info.dwTypeData;
    if (info.fMask & MIIM_ID) e.id = info.wID;
    if (info.fMask & MIIM_STATE) e.state = info.fState;
    if (info.fMask & MIIM_SUBMENU) e.subMenu = info.hSubMenu;
    if (info.fMask & MIIM_BITMAP) e.bitmap = info.hbmpItem;
}

}  // namespace

std::vector<MenuEntry> MenuEntries(HMENU menu) {
    return Menus().count(menu) ? menu->entries : std::vector<MenuEntry>{};
}

std::string BitmapName(HBITMAP bitmap) { return bitmap ? bitmap->name : std::string(); }

}  // namespace sim

namespace os {

using namespace sim;

HMENU CreatePopupMenu() {
    HMENU menu = new SimMenu;
    Menus().insert(menu);
    return menu;
}

BOOL DestroyMenu(HMENU menu) {
    if (!Menus().erase(menu)) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    for (MenuEntry& e : menu->entries)
        if (e.subMenu) DestroyMenu(e.subMenu);
    delete menu;
    return TRUE;
}

BOOL AppendMenuA(HMENU menu, UINT flags, ULONG_PTR id, LPCSTR text) {
    if (!Menus().count(menu)) return FALSE;
    MenuEntry e;
    e.separator = flags & MF_SEPARATOR;
    if (flags & MF_POPUP)
        e.subMenu = reinterpret_cast<HMENU>(id);
    else
        e.id = static_cast<UINT>(id);
    if (text && !e.separator) e.text = text;
    menu->entries.push_back(e);
    return TRUE;
}

int GetMenuItemCount(HMENU menu) {
    if (!Menus().count(menu)) {
        SetError(ERROR_INVALID_HANDLE);
        return -1;
    }
    return static_cast<int>(menu->entries.size());
}

UINT GetMenuItemID(HMENU menu, int position) {
    if (!Menus().count(menu) || position < 0 || static_cast<std::size_t>(position) >= menu->entries.size())
        return static_cast<UINT>(-1);
    const MenuEntry& e = menu->entries[static_cast<std::size_t>(position)];
    // An entry that opens a submenu reports no identifier.
    return e.subMenu ? static_cast<UINT>(-1) : e.id;
}

BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOA info) {
    MenuEntry* e = Locate(menu, item, byPosition);
    if (!e || !info) return FALSE;
    if (info->fMask & (MIIM_TYPE | MIIM_FTYPE)) info->fType = e->separator ? MFT_SEPARATOR : MFT_STRING;
    if (info->fMask & MIIM_ID) info->wID = e->id;
    if (info->fMask & MIIM_STATE) info->fState = e->state;
    if (info->fMask & MIIM_SUBMENU) info->hSubMenu = e->subMenu;
    if ((info->fMask & (MIIM_TYPE | MIIM_STRING)) && info->dwTypeData && info->cch) {
        std::size_t n = std::min<std::size_t>(e->text.size(), info->cch - 1);
        std::memcpy(info->dwTypeData, e->text.data(), n);
        info->dwTypeData[n] = 0;
        info->cch = static_cast<UINT>(n);
    }
    return TRUE;
}

BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info) {
    MenuEntry* e = Locate(menu, item, byPosition);
    if (!e || !info) return FALSE;
    Apply(*e, *info);
    return TRUE;
}

BOOL InsertMenuItemA(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info) {
    if (!Menus().count(menu) || !info) return FALSE;
    MenuEntry e;
    Apply(e, *info);
    std::size_t at = menu->entries.size();
    if (byPosition) {
        at = std::min<std::size_t>(item, at);
    } else {
        for (std::size_t i = 0; i < menu->entries.size(); ++i)
            if (menu->entries[i].id == item) at = i;
    }
    menu->entries.insert(menu->entries.begin() + static_cast<std::ptrdiff_t>(at), e);
    return TRUE;
}

BOOL SetMenuItemBitmaps(HMENU menu, UINT position, UINT flags, HBITMAP unchecked, HBITMAP checked) {
    MenuEntry* e = Locate(menu, position, (flags & MF_BYPOSITION) != 0);
    if (!e) return FALSE;
    e->checkedBitmap = checked;
    e->uncheckedBitmap = unchecked;
    return TRUE;
}

HBITMAP LoadBitmapA(LPCSTR name) {
    static SimBitmap open{"OPEN"};
    if (name && std::strcmp(name, "OPEN") == 0) return &open;
    SetError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
    return nullptr;
}

}  // namespace os
