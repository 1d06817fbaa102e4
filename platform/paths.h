#pragma once
// The file calls for the program's 8-bit paths. Every path above the seam is
// a string in the process code page; these wrappers take such a path, turn
// it into the name the wide call takes (WideName) and make the wide call.
// So every file call takes names of up to 32,767 UTF-16 code units on every
// supported Windows, without the long-path opt-in: the ANSI calls refuse a
// name of MAX_PATH (260) or more, and so do the wide calls unless the name
// begins with "\\?\" (CreateDirectory stops at 248).

#include <optional>
#include <string>
#include <string_view>

#include "platform/ansi.h"
#include "platform/os.h"

namespace tarsio::paths {

// The name a wide call takes for `path`:
// - a "\\?\" name is taken literally, as the calls take it: no "/", "." or
//   ".." processing (GetFullPathNameW is not asked: Wine's folds "..").
// - a "\\.\" device name is passed as it is;
// - any other is made full and normal by GetFullPathNameW (relative names,
//   "/", runs of separators, trailing periods, drive-relative "C:x"), then
//   given the prefix when it is long enough to need one: "\\?\C:\..." or,
//   for a share, "\\?\UNC\server\share\...".
// nullopt, with the last error set, when the path has no UTF-16 form or
// cannot be made full.
std::optional<WideString> WideName(std::string_view path);

HANDLE CreateFileW(const std::string& name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
DWORD GetFileAttributesW(const std::string& name);
BOOL SetFileAttributesW(const std::string& name, DWORD attributes);
BOOL CreateDirectoryW(const std::string& name, LPSECURITY_ATTRIBUTES sa);
BOOL RemoveDirectoryW(const std::string& name);
BOOL DeleteFileW(const std::string& name);
BOOL MoveFileExW(const std::string& from, const std::string& to, DWORD flags);
// Without a backup file.
BOOL ReplaceFileW(const std::string& replaced, const std::string& replacement, DWORD flags);
// The listing's names come in `data` as UTF-16; os::FindNextFileW goes on.
HANDLE FindFirstFileExW(const std::string& pattern, FINDEX_INFO_LEVELS infoLevel, LPWIN32_FIND_DATAW data,
                        FINDEX_SEARCH_OPS searchOp, LPVOID searchFilter, DWORD flags);

// The name of what an open file or directory is, through symbolic links and
// junctions, in the form the file calls take ("C:\...", "\\server\..."):
// nullopt where the system cannot say.
std::optional<std::string> FinalName(HANDLE file);

// The full path of `name` (a "\\?\" one as it is) and the current directory,
// in the 8-bit form; nullopt with the last error set.
std::optional<std::string> GetFullPathNameW(const std::string& name);
std::optional<std::string> GetCurrentDirectoryW();

}  // namespace tarsio::paths
