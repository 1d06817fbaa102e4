#include "shelltree/menu_ids.h"

#include <set>

namespace shelltree {
namespace {

void CollectIds(HMENU menu, std::set<UINT>& ids, int depth) {
    int count = os::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU;
        if (!os::GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        if (info.hSubMenu) {
            if (depth < 8) CollectIds(info.hSubMenu, ids, depth + 1);
        } else {
            ids.insert(os::GetMenuItemID(menu, i));
        }
    }
}

}  // namespace

UINT FreeMenuItemId(HMENU menu) {
    std::set<UINT> ids;
    CollectIds(menu, ids, 0);
    UINT candidate = 1;
    while (ids.count(candidate)) ++candidate;
    return candidate;
}

void GreyAllEntries(HMENU menu) {
    int count = os::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA grey{};
        grey.cbSize = sizeof grey;
        grey.fMask = MIIM_STATE;
        grey.fState = MFS_GRAYED;
        os::SetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &grey);
    }
}

void InsertFirstEntry(HMENU menu, const std::string& text, UINT id) {
    std::string caption = text;
    MENUITEMINFOA entry{};
    entry.cbSize = sizeof entry;
    entry.fMask = MIIM_TYPE | MIIM_ID;
    entry.fType = MFT_STRING;
    entry.dwTypeData = caption.data();
    entry.cch = static_cast<UINT>(caption.size());
    entry.wID = id;
    os::InsertMenuItemA(menu, 0, TRUE, &entry);
}

}  // namespace shelltree
