#pragma once
// Win32 path rules of the simulated platform: what GetFullPathName makes of
// a name, and how a full path splits into drive and components. Pure string
// work on UTF-8 bytes (every separator and special character is ASCII); no
// file system access.

#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/win_types.h"

namespace sim {

// Resolves `path` against `cwd` (a full path) as GetFullPathName does:
// '/' is a separator, runs of separators collapse, "." and ".." are applied
// (never above the root), a drive-relative name uses the current directory
// when it is on that drive and the drive's root otherwise, and trailing
// periods and blanks of the last component are removed; "\\.\" and
// "\\?\" names are rooted at the prefix itself. Returns ERROR_SUCCESS or the
// Win32 error.
DWORD FullPathName(std::string_view path, std::string_view cwd, std::string& out);

enum class PathKind { Drive, Unc, Device };

struct ParsedPath {
    PathKind kind = PathKind::Drive;
    char drive = 0;                       // upper case, for PathKind::Drive
    std::vector<std::string> components;  // below the root
    bool trailingSeparator = false;
};

// Splits a full path as FullPathName returns it. "\\?\X:\" and "\\.\X:\"
// names are drive paths, "\\?\UNC\" ones shares. Fails with
// ERROR_INVALID_NAME for a component that holds a character Windows refuses
// in names (<>:"|?* and controls); with allowWildcards the last component
// may hold * and ?. A literal name ("\\?\" as a file call takes it) has only
// backslashes for separators: a "/" in it is a character, and refused.
DWORD ParseFullPath(std::string_view full, bool allowWildcards, ParsedPath& out, bool literal = false);

bool HasWildcards(std::string_view name);

// FindFirstFile's name match: * and ?, case-insensitive; "*.*" matches
// every name, and "x.*" also matches "x".
bool MatchesPattern(std::u16string_view pattern, std::u16string_view name);

}  // namespace sim
