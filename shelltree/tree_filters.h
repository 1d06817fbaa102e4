#pragma once
// The drive filter both folder trees apply to the items of the drives folder.

#include <string>

#include "shelltree/namespace.h"

namespace tarsio {

// Whether the item lies directly in the shell's drives folder.
bool IsDriveItem(shelltree::TNamespace& ns);

// A drive root shown in the trees: not A: or B:, exactly three characters
// (other items of the drives folder drop out), neither a network nor a
// CD-ROM drive.
bool LocalDriveShown(shelltree::TNamespace& ns);

}  // namespace tarsio
