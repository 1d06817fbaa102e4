#pragma once
// The Ntfs3g backing: a drive on a folder of an ntfs-3g mount keeps its
// reparse data and attributes in the volume's own structures, which ntfs-3g
// shows as extended attributes. ntfs-3g shows a directory with a junction
// as a symbolic link to where the junction leads; the simulation follows
// junctions itself and never through such a link.

#include <optional>
#include <string>

#include "platform/sim/core.h"

namespace sim::ntfs3g {

// The $REPARSE_POINT attribute's data, exactly as set.
inline constexpr const char* kReparseAttr = "system.ntfs_reparse_data";
// The file attributes of $STANDARD_INFORMATION, 4 bytes big-endian.
inline constexpr const char* kAttribAttr = "system.ntfs_attrib_be";

// The volume's attribute word; nullopt with errno set.
std::optional<DWORD> ReadAttributes(const std::string& host);
bool WriteAttributes(const std::string& host, DWORD bits);
bool IsDirectory(const std::string& host);

// Examine for an object already lstat'ed.
std::optional<HostEntry> Describe(const std::string& host, bool isRoot, HostEntry entry);

// After a reparse point came or went the object changed its host type
// (directory or link), which the kernel still holds cached: settles that.
void Settle(const std::string& host);

}  // namespace sim::ntfs3g
