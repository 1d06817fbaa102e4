#include "shelltree/tree_filters.h"

#include "engine/ascii.h"

namespace tarsio {

bool IsDriveItem(shelltree::TNamespace& ns) {
    return ns.Parent() &&
           shelltree::PIDLsEqual(shelltree::DrivesFolder().AbsolutePIDL(), ns.Parent()->AbsolutePIDL());
}

bool LocalDriveShown(shelltree::TNamespace& ns) {
    std::string path = shelltree::ToAnsi(ns.ParsingName());
    std::string lower = LowerAscii(path);
    if (lower == "a:\\" || lower == "b:\\" || path.size() != 3) return false;
    // The path is the root "X:\", the form the drive-type query asks for.
    UINT type = os::GetDriveTypeA(path.c_str());
    return type != DRIVE_REMOTE && type != DRIVE_CDROM;
}

}  // namespace tarsio
