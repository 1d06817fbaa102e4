#pragma once
// Command identifiers in shell context menus.

#include "platform/os.h"

namespace shelltree {

// The smallest identifier from 1 up that no entry of the menu carries.
// Submenus count too: the shell numbers their entries from the same range,
// and an identifier taken twice would run the shell's command as well.
UINT FreeMenuItemId(HMENU menu);

}  // namespace shelltree
