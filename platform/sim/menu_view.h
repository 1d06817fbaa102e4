#pragma once
// A look into the simulated menus, for tests.

#include <string>
#include <vector>

#include "platform/sim/win_types.h"

namespace sim {

struct MenuEntry {
    std::string text;
    UINT id = 0;
    UINT state = 0;
    bool separator = false;
    HMENU subMenu = nullptr;
    HBITMAP bitmap = nullptr;
    HBITMAP checkedBitmap = nullptr;
    HBITMAP uncheckedBitmap = nullptr;
};

std::vector<MenuEntry> MenuEntries(HMENU menu);
std::string BitmapName(HBITMAP bitmap);

}  // namespace sim
