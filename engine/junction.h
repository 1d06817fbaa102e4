#pragma once
// Junction and directory operations: the only code that talks to the file
// system's reparse machinery. They never throw (except ForceDirectories on
// an empty path) and answer false on any failure, leaving the reason in the
// platform's last-error value.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/unique_handle.h"

namespace tarsio {

// Makes the existing, empty directory `junctionDir` a junction to
// `destination`. A destination beginning with "\??" is stored as given
// (except "\??\UNC\", refused); any other must resolve to an existing local
// directory and is stored as its full path, a "\\?\X:\" one as "\??\X:\".
// UNC and "\\.\" destinations, names with a control character and a native
// name longer than a mount point holds (ERROR_FILENAME_EXCED_RANGE) are
// refused before anything is touched. When setting the reparse point fails,
// the junction directory is removed again (if empty) only if `madeForIt`:
// the caller created it for this junction. It is removed through the handle
// that tried, so a folder on its way that was swapped for a junction
// meanwhile leads the removal nowhere else. `made`, ForceDirectories' handle
// on the directory it made, is used instead of opening the name again.
bool CreateJunction(const std::string& junctionDir, const std::string& destination, bool madeForIt = false,
                    UniqueHandle* made = nullptr);

// Removes the junction on one handle, opened on the junction directory
// itself: removes the mount point, checks that the directory is now a plain
// one and removes it (NTFS refuses that while it holds anything). The name
// is not looked up again, so the directory that goes is the one whose mount
// point went, whatever another program did to the folders above it. True if
// the mount point was removed; `removedIt` tells whether the directory went
// too.
bool DeleteJunction(const std::string& junctionDir, bool* removedIt = nullptr);

// The stored substitute name (native prefix, destination) followed by one
// terminator character; callers take positions 5 to length - 1.
bool ReadJunctionDestination(const std::string& junctionDir, std::string& destination);

// True if CreateJunction can lead a junction to `destination` and the
// folder is there: it names an existing local directory, and its stored name
// fits a mount point. A native name ("\??\...") is looked for under its
// Win32 name ("\\?\..."), which CreateJunction itself does not do. Nothing
// is touched; false with the last error set. `storedName` gets the name
// CreateJunction stores, a native one, which it takes as it is.
bool CheckJunctionDestination(const std::string& destination, std::string* storedName = nullptr);

// True if `junctionDir` is a junction whose stored name is the one
// CreateJunction would store for `destination` (which need not exist), as
// Windows compares names: ignoring case and one trailing backslash, but a
// volume root's ("\??\C:\"). Read as ReadJunctionDestination reads, so
// junctions that deny reading to everyone answer.
bool JunctionLeadsTo(const std::string& junctionDir, const std::string& destination);

// What ReadJunctionDestination gave, as a Win32 name, without the
// terminator: "\??\C:\data" gives the drive path "C:\data", a volume's
// "\??\Volume{…}\" gives "\\?\Volume{…}\"; a name without the native
// prefix stays as it is.
std::string PlainDestination(const std::string& readDestination);

// True if the path exists and carries the reparse-point attribute.
bool HasReparsePoint(const std::string& path);

// Whether an entry that a listing reported with `attributes` and
// `reparseTag` (its dwReserved0) is a folder leading to another folder: its
// reparse point is a name surrogate (a junction, a volume mount point, a
// directory symbolic link), or of a kind the listing does not tell (tag 0:
// Wine reports a host symbolic link to a directory so). Files never are, nor
// are cloud placeholders or reparse points of other kinds.
bool IsLinkToFolder(std::uint32_t attributes, std::uint32_t reparseTag);
// The same for `path`, as the listing of its folder reports it.
bool IsLinkToFolder(const std::string& path);

// True if the path exists and is a directory (a junction is one, even when
// its destination is gone).
bool DirectoryExists(const std::string& path);

// Whether the text holds a control character (NUL included), which belongs
// to no Windows name: the platform would take the text before a NUL for the
// whole name, and a line break would split a list's line.
bool HasControlCharacter(std::string_view path);

// True if the directory exists afterwards: creates it with its missing
// parents, outermost first; `createdIt` tells whether the directory itself
// was created by this call. Raises "Unable to create directory" on an empty
// path (or one that reaches an empty parent). A path the platform refuses
// as a name (longer than any name, a component over 255 characters) fails at
// once with nothing made.
// With `made`, the directory itself, if this call made it, is made with its
// parent held open and comes opened for CreateJunction: the handle is the
// directory made, or the call fails (another user swapped a folder above it
// for a junction meanwhile, ERROR_ACCESS_DENIED) and touches nothing more.
bool ForceDirectories(const std::string& path, bool* createdIt = nullptr, UniqueHandle* made = nullptr);

bool SetReparseData(const std::string& path, const std::uint8_t* buffer, std::uint32_t size);
bool DeleteReparseData(const std::string& path, std::uint32_t tag);

}  // namespace tarsio
