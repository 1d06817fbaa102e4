#pragma once
// Command identifiers in shell context menus.

#include <string>

#include "platform/os.h"

namespace shelltree {

// The smallest identifier from 1 up that no entry of the menu carries.
// Submenus count too: the shell numbers their entries from the same range,
// and an identifier taken twice would run the shell's command as well.
UINT FreeMenuItemId(HMENU menu);

// Greys every entry of the menu (by position; other state bits cleared), so
// that none can be chosen and no submenu opened.
void GreyAllEntries(HMENU menu);

// Puts a text entry with this identifier at the top of the menu.
void InsertFirstEntry(HMENU menu, const std::string& text, UINT id);

}  // namespace shelltree
