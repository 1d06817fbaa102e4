#pragma once
// The seam between Tarsio and the operating system: the Win32 calls that the
// non-window code makes, under their Win32 names in namespace os. The Windows
// build binds them to the real kernel32; the native build to the simulated
// platform in platform/sim. Code above this header is the same in both.
// The product names files only through platform/paths.h, over the wide
// calls; the ANSI file calls stay bound for the tests of their limits.

#ifdef _WIN32

#include <windows.h>

namespace os {
using ::CloseHandle;
using ::CompareStringOrdinal;
using ::CreateDirectoryA;
using ::CreateDirectoryW;
using ::CreateFileA;
using ::CreateFileW;
using ::CreateHardLinkA;
using ::DeleteFileA;
using ::DeleteFileW;
using ::DeviceIoControl;
using ::FindClose;
using ::FindFirstFileA;
using ::FindFirstFileExA;
using ::FindFirstFileExW;
using ::FindNextFileA;
using ::FindNextFileW;
using ::FlushFileBuffers;
using ::GetACP;
using ::GetCurrentDirectoryA;
using ::GetCurrentDirectoryW;
using ::GetDriveTypeA;
using ::GetFileAttributesA;
using ::GetFileAttributesW;
using ::GetFileInformationByHandle;
using ::GetFileInformationByHandleEx;
using ::GetFileType;
using ::GetFinalPathNameByHandleW;
using ::GetFullPathNameA;
using ::GetFullPathNameW;
using ::GetLastError;
using ::GetLocaleInfoA;
using ::GetModuleFileNameW;
using ::GetVolumeInformationA;
using ::IsDBCSLeadByte;
using ::MoveFileExA;
using ::MoveFileExW;
using ::MultiByteToWideChar;
using ::ReadFile;
using ::RemoveDirectoryA;
using ::RemoveDirectoryW;
using ::ReplaceFileA;
using ::ReplaceFileW;
using ::SetCurrentDirectoryA;
using ::SetFileAttributesA;
using ::SetFileAttributesW;
using ::SetFileInformationByHandle;
using ::SetLastError;
using ::WideCharToMultiByte;
using ::WriteFile;
// Menus
using ::AppendMenuA;
using ::CreatePopupMenu;
using ::DestroyMenu;
using ::GetMenuItemCount;
using ::GetMenuItemID;
using ::GetMenuItemInfoA;
using ::InsertMenuItemA;
using ::SetMenuItemBitmaps;
using ::SetMenuItemInfoA;
// The program's bitmap resources.
inline HBITMAP LoadBitmapA(LPCSTR name) { return ::LoadBitmapA(GetModuleHandleA(nullptr), name); }
inline BOOL FreeBitmap(HBITMAP bitmap) { return ::DeleteObject(bitmap); }
}  // namespace os

#else

#include "platform/sim/win_types.h"

namespace os {
// File calls in pairs: the ANSI ones in the process code page, with their
// limits, and the wide ones, which take "\\?\" names of up to 32,767 code
// units literally (platform/sim/README.md).
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition, DWORD flags,
                   HANDLE templateFile);
HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition, DWORD flags,
                   HANDLE templateFile);
BOOL DeviceIoControl(HANDLE h, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD returned,
                     LPOVERLAPPED overlapped);
BOOL CloseHandle(HANDLE h);
BOOL ReadFile(HANDLE h, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped);
// Every simulated file is on a disk: FILE_TYPE_DISK for an open file.
DWORD GetFileType(HANDLE h);
BOOL FlushFileBuffers(HANDLE h);
// The volume serial number is GetVolumeInformationA's, the file index the
// host's inode number, the link count the host's.
BOOL GetFileInformationByHandle(HANDLE h, LPBY_HANDLE_FILE_INFORMATION info);
// FileAttributeTagInfo only: the attributes and reparse tag of what the
// handle holds, wherever it went since it was opened.
BOOL GetFileInformationByHandleEx(HANDLE h, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID info, DWORD size);
// FileDispositionInfo only, on a handle opened with DELETE access: the
// object is removed when the handle closes, if its name still holds it.
// Refused at once for a directory that holds anything (ERROR_DIR_NOT_EMPTY)
// and a read-only file, as NTFS refuses them.
BOOL SetFileInformationByHandle(HANDLE h, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID info, DWORD size);
// FILE_NAME_NORMALIZED | VOLUME_NAME_DOS only: "\\?\X:\..." through host
// symbolic links; ERROR_PATH_NOT_FOUND for an object on no drive.
DWORD GetFinalPathNameByHandleW(HANDLE h, LPWSTR path, DWORD size, DWORD flags);
DWORD GetFileAttributesA(LPCSTR name);
DWORD GetFileAttributesW(LPCWSTR name);
BOOL SetFileAttributesA(LPCSTR name, DWORD attributes);
BOOL SetFileAttributesW(LPCWSTR name, DWORD attributes);
DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR* filePart);
DWORD GetFullPathNameW(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR* filePart);
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR name);
BOOL CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES sa);
BOOL CreateDirectoryW(LPCWSTR name, LPSECURITY_ATTRIBUTES sa);
BOOL RemoveDirectoryA(LPCSTR name);
BOOL RemoveDirectoryW(LPCWSTR name);
BOOL DeleteFileA(LPCSTR name);
BOOL DeleteFileW(LPCWSTR name);
BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags);
BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);
BOOL ReplaceFileA(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID exclude, LPVOID reserved);
BOOL CreateHardLinkA(LPCSTR name, LPCSTR existing, LPSECURITY_ATTRIBUTES sa);
BOOL ReplaceFileW(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID exclude,
                  LPVOID reserved);
void SetLastError(DWORD error);
DWORD GetLastError();
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH text, int length, LPWSTR out, int outLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH text, int length, LPSTR out, int outLength,
                        LPCCH defaultChar, LPBOOL usedDefault);
// CSTR_LESS_THAN, CSTR_EQUAL or CSTR_GREATER_THAN; a length of -1 for a
// terminated text. Ignoring case, each code unit is upper-cased on its own,
// as Windows compares file names, by the simulation's table (ASCII, Latin-1,
// Latin Extended-A, Greek, Cyrillic).
int CompareStringOrdinal(LPCWCH a, int aLength, LPCWCH b, int bLength, BOOL ignoreCase);
BOOL IsDBCSLeadByte(BYTE c);
// The process code page: UTF-8 (65001), or 1252 where a test sets it.
UINT GetACP();
// LOCALE_IDEFAULTANSICODEPAGE of LOCALE_SYSTEM_DEFAULT only: "1252".
int GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR data, int size);
// The program's own file (module null): C:\Program Files\Tarsio\Tarsio.exe.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR name, DWORD size);
BOOL GetVolumeInformationA(LPCSTR root, LPSTR volumeName, DWORD volumeNameSize, LPDWORD serial,
                           LPDWORD maxComponentLength, LPDWORD flags, LPSTR fsName, DWORD fsNameSize);
UINT GetDriveTypeA(LPCSTR root);
HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
// The simulated listing: the info level only drops the short name (there
// is none), the search op and the flags change nothing else.
HANDLE FindFirstFileExA(LPCSTR pattern, FINDEX_INFO_LEVELS infoLevel, LPVOID data, FINDEX_SEARCH_OPS searchOp,
                        LPVOID searchFilter, DWORD flags);
HANDLE FindFirstFileExW(LPCWSTR pattern, FINDEX_INFO_LEVELS infoLevel, LPVOID data, FINDEX_SEARCH_OPS searchOp,
                        LPVOID searchFilter, DWORD flags);
BOOL FindNextFileA(HANDLE h, LPWIN32_FIND_DATAA data);
BOOL FindNextFileW(HANDLE h, LPWIN32_FIND_DATAW data);
BOOL FindClose(HANDLE h);

// Menus, kept in memory.
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
BOOL AppendMenuA(HMENU menu, UINT flags, ULONG_PTR id, LPCSTR text);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);
BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOA info);
BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info);
BOOL InsertMenuItemA(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info);
BOOL SetMenuItemBitmaps(HMENU menu, UINT position, UINT flags, HBITMAP unchecked, HBITMAP checked);
// The program's bitmap resources: "OPEN" exists, other names do not.
HBITMAP LoadBitmapA(LPCSTR name);
// The simulated bitmaps are the simulator's own, never freed.
inline BOOL FreeBitmap(HBITMAP) { return TRUE; }
}  // namespace os

#endif
