// Files, directories, attributes and reparse points of the simulated platform.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/os.h"
#include "platform/sim/codepage.h"
#include "platform/sim/core.h"
#include "platform/sim/le.h"

namespace sim {
namespace {

template <typename T>
T Fail(DWORD error, T result) {
    SetError(error);
    return result;
}

BOOL Fail(DWORD error) { return Fail<BOOL>(error, FALSE); }

// True on ERROR_SUCCESS; otherwise sets `error` as the last error.
bool Succeeded(DWORD error) {
    if (error != ERROR_SUCCESS) SetError(error);
    return error == ERROR_SUCCESS;
}

// What a call on a path does first: the fault hook and a missing name.
// False, with the last error set, when the call fails there.
bool EnterPath(std::string_view call, const std::optional<Name>& name) {
    if (Enter(call, name ? std::string_view(name->text) : std::string_view())) return false;
    return Succeeded(name ? name->error : ERROR_INVALID_PARAMETER);
}

// EnterPath, then the lookup of an existing name.
bool EnterExisting(std::string_view call, const std::optional<Name>& name, bool followFinal, Location& loc) {
    return EnterPath(call, name) && Succeeded(Locate(*name, followFinal, loc));
}

// lstat that leaves the Windows form of a failure as the last error.
bool HostStat(const std::string& host, struct stat& st) {
    return ::lstat(HostArg(host).c_str(), &st) == 0 || Succeeded(ErrnoToWin32(errno));
}

// A full path's trailing backslash, except the one of a drive root.
bool HasTrailingSlash(const std::string& full) { return full.size() > 3 && full.back() == '\\'; }

// The calls' way of handing out a string: its length when it fits in `size`
// characters with its terminator, else the size it needs.
template <typename Char>
DWORD CopyOut(const std::basic_string<Char>& text, DWORD size, Char* buffer) {
    auto length = static_cast<DWORD>(text.size());
    if (size <= length || !buffer) return length + 1;
    std::copy_n(text.c_str(), length + 1, buffer);
    return length;
}

// A file or folder that denies reading to everyone, as Windows' compatibility
// junctions (C:\Documents and Settings) do, carries user.deny = "read".
bool DeniesReading(const std::string& host) {
    char value[8];
    ssize_t n = ::lgetxattr(HostArg(host).c_str(), "user.deny", value, sizeof value);
    return n == 4 && std::memcmp(value, "read", 4) == 0;
}

// A mount point's lengths and offsets must lie inside its data, as NTFS checks.
bool ValidMountPoint(const std::uint8_t* data, DWORD size) {
    if (size < 16) return false;
    DWORD pathBytes = size - 16;
    DWORD subOffset = Le16(data + 8), subLength = Le16(data + 10);
    DWORD printOffset = Le16(data + 12), printLength = Le16(data + 14);
    return subOffset + subLength <= pathBytes && printOffset + printLength <= pathBytes && subLength % 2 == 0 &&
           printLength % 2 == 0;
}

BOOL SetReparse(FileObject& o, const std::uint8_t* in, DWORD inSize) {
    if (!(o.access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    if (!in || inSize < 8 || inSize > kMaxReparseSize) return Fail(ERROR_INVALID_REPARSE_DATA);
    DWORD tag = Le32(in);
    if (static_cast<DWORD>(Le16(in + 4)) + 8 != inSize) return Fail(ERROR_INVALID_REPARSE_DATA);
    if (tag == 0 || tag == 1) return Fail(ERROR_REPARSE_TAG_INVALID);
    if (tag == kMountPointTag && !ValidMountPoint(in, inSize)) return Fail(ERROR_INVALID_REPARSE_DATA);
    if (DriveFileSystem(o.drive) != "NTFS") return Fail(ERROR_INVALID_FUNCTION);
    // NTFS refuses a reparse point on a directory that holds anything.
    if (o.directory) {
        if (std::optional<bool> empty = HeldDirectoryIsEmpty(o); empty && !*empty) return Fail(ERROR_DIR_NOT_EMPTY);
    } else if (tag == kMountPointTag) {
        return Fail(ERROR_DIRECTORY);
    }
    std::optional<std::string> held = HeldPath(o);
    if (!held) return FALSE;
    const Backing backing = DriveBacking(o.drive);
    if (auto existing = ReadReparse(*held, backing);
        existing && existing->size() >= 4 && Le32(existing->data()) != tag)
        return Fail(ERROR_REPARSE_TAG_MISMATCH);
    if (int err = WriteReparse(*held, backing, in, inSize))
        return Fail(err == E2BIG || err == ENOSPC ? ERROR_INVALID_REPARSE_DATA : ErrnoToWin32(err));
    if (backing == Backing::Ntfs3g) HoldAgain(o);
    return TRUE;
}

BOOL GetReparse(FileObject& o, std::uint8_t* out, DWORD outSize, LPDWORD returned) {
    std::optional<std::string> held = HeldPath(o);
    if (!held) return FALSE;
    std::optional<std::vector<std::uint8_t>> data = ReadReparse(*held, DriveBacking(o.drive));
    if (!data) return Fail(ERROR_NOT_A_REPARSE_POINT);
    if (!out) return Fail(ERROR_INVALID_PARAMETER);
    if (outSize < 8) return Fail(ERROR_INSUFFICIENT_BUFFER);
    DWORD n = static_cast<DWORD>(data->size());
    std::memcpy(out, data->data(), std::min(n, outSize));
    if (returned) *returned = std::min(n, outSize);
    if (outSize < n) return Fail(ERROR_MORE_DATA);
    return TRUE;
}

BOOL DeleteReparse(FileObject& o, const std::uint8_t* in, DWORD inSize) {
    if (!(o.access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    // The deletion header is the 8-byte or the 24-byte (GUID) form, without data.
    if (!in || (inSize != 8 && inSize != 24) || Le16(in + 4) != 0) return Fail(ERROR_INVALID_REPARSE_DATA);
    if (DriveFileSystem(o.drive) != "NTFS") return Fail(ERROR_INVALID_FUNCTION);
    std::optional<std::string> held = HeldPath(o);
    if (!held) return FALSE;
    const Backing backing = DriveBacking(o.drive);
    std::optional<std::vector<std::uint8_t>> data = ReadReparse(*held, backing);
    if (!data) return Fail(ERROR_NOT_A_REPARSE_POINT);
    if (data->size() < 4 || Le32(data->data()) != Le32(in)) return Fail(ERROR_REPARSE_TAG_MISMATCH);
    if (int err = RemoveReparse(*held, backing)) return Fail(ErrnoToWin32(err));
    if (backing == Backing::Ntfs3g) HoldAgain(o);
    return TRUE;
}

// The calls' work, shared by their A and W forms: `call` is the name the
// call is counted under, `name` what it was given.

HANDLE Open(std::string_view call, const std::optional<Name>& name, DWORD access, DWORD share, DWORD disposition,
            DWORD flags) {
    if (disposition != OPEN_EXISTING) Changed();
    if (!EnterPath(call, name)) return INVALID_HANDLE_VALUE;
    bool creates = disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    Location loc;
    DWORD e = Locate(*name, !(flags & FILE_FLAG_OPEN_REPARSE_POINT), loc);
    if (e == ERROR_FILE_NOT_FOUND && creates) e = LocateForCreate(*name, loc);
    if (e != ERROR_SUCCESS) return Fail(e, INVALID_HANDLE_VALUE);

    struct stat st;
    bool exists = ::lstat(HostArg(loc.host).c_str(), &st) == 0;
    if (exists && (access & GENERIC_READ) && DeniesReading(loc.host))
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    FileObject object;
    object.access = access;
    object.share = share;
    object.isRoot = loc.isRoot;
    object.drive = loc.drive;
    auto add = [&]() {
        if (Hold(object, loc.host, st)) return AddFile(std::move(object));
        for (int fd : {object.fd, object.parentFd})
            if (fd >= 0) ::close(fd);
        return INVALID_HANDLE_VALUE;
    };

    if (exists && HostIsDirectory(loc.host, st)) {
        if (!(flags & FILE_FLAG_BACKUP_SEMANTICS)) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        if (disposition == CREATE_NEW) return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
        if (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)
            return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        if (!SharingAllows(st.st_dev, st.st_ino, access, share))
            return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
        object.directory = true;
        HANDLE h = add();
        if (h != INVALID_HANDLE_VALUE && disposition == OPEN_ALWAYS) SetError(ERROR_ALREADY_EXISTS);
        return h;
    }

    int mode = (access & GENERIC_READ) && (access & GENERIC_WRITE) ? O_RDWR
               : (access & GENERIC_WRITE)                          ? O_WRONLY
                                                                   : O_RDONLY;
    int fd;
    if (exists) {
        if (disposition == CREATE_NEW) return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
        bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
        if (HostIsReadOnlyFile(loc.host, st) && ((access & GENERIC_WRITE) || truncates))
            return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        if (!SharingAllows(st.st_dev, st.st_ino, access, share))
            return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
        fd = ::open(HostArg(loc.host).c_str(), mode | O_CLOEXEC | (truncates ? O_TRUNC : 0));
        if (fd < 0) return Fail(ErrnoToWin32(errno), INVALID_HANDLE_VALUE);
        if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) SetError(ERROR_ALREADY_EXISTS);
    } else {
        if (!creates) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
        bool readOnly = flags & FILE_ATTRIBUTE_READONLY;
        fd = ::open(HostArg(loc.host).c_str(), mode | O_CREAT | O_EXCL | O_CLOEXEC, readOnly ? 0444 : 0666);
        if (fd < 0) return Fail(ErrnoToWin32(errno, ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE);
        if (flags & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
            StoreAttributes(loc.host, FILE_ATTRIBUTE_ARCHIVE | (flags & kStoredAttributes));
        if (disposition != CREATE_NEW) SetError(ERROR_SUCCESS);
    }
    object.fd = fd;
    ::fstat(fd, &st);
    return add();
}

DWORD Attributes(std::string_view call, const std::optional<Name>& name) {
    Location loc;
    if (!EnterExisting(call, name, false, loc)) return INVALID_FILE_ATTRIBUTES;
    DWORD attributes;
    if (const Entry* known = KnownEntry(loc.host)) {
        attributes = known->attributes;
    } else {
        std::optional<HostEntry> entry = Examine(loc.host, loc.isRoot);
        if (!entry) return INVALID_FILE_ATTRIBUTES;
        attributes = entry->attributes;
    }
    if (HasTrailingSlash(loc.full) && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(ERROR_INVALID_NAME, INVALID_FILE_ATTRIBUTES);
    return attributes;
}

BOOL SetAttributes(std::string_view call, const std::optional<Name>& name, DWORD attributes) {
    Changed();
    Location loc;
    if (!EnterExisting(call, name, false, loc)) return FALSE;
    struct stat st;
    if (!HostStat(loc.host, st)) return FALSE;
    StoreAttributes(loc.host, attributes);
    if (!HostIsDirectory(loc.host, st)) {
        mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (st.st_mode & ~0222) : (st.st_mode | S_IWUSR);
        ::chmod(HostArg(loc.host).c_str(), mode & 07777);
    }
    return TRUE;
}

// GetFullPathName's work; `full` is UTF-8.
bool FullName(std::string_view call, const std::optional<Name>& name, std::string& full) {
    return EnterPath(call, name) && Succeeded(FullPathName(name->text, CurrentDirectory(), full));
}

// Where the name's last component begins in `full`, or npos when it ends
// with a backslash.
std::size_t FilePart(std::basic_string_view<char16_t> full) {
    std::size_t slash = full.find_last_of(u'\\');
    return slash + 1 < full.size() ? slash + 1 : std::u16string_view::npos;
}

// The current directory without its trailing backslash, but for a root.
std::string CurrentDirectoryShown() {
    std::string cwd = CurrentDirectory();
    if (HasTrailingSlash(cwd)) cwd.pop_back();
    return cwd;
}

BOOL MakeDirectory(std::string_view call, const std::optional<Name>& name) {
    Changed();
    Location loc;
    if (!EnterPath(call, name) || !Succeeded(LocateForCreate(*name, loc))) return FALSE;
    if (loc.isRoot) return Fail(ERROR_ACCESS_DENIED);
    if (::mkdir(HostArg(loc.host).c_str(), 0777) != 0) return Fail(ErrnoToWin32(errno, ERROR_PATH_NOT_FOUND));
    return TRUE;
}

BOOL RemoveEmptyDirectory(std::string_view call, const std::optional<Name>& name) {
    Changed();
    Location loc;
    if (!EnterExisting(call, name, false, loc)) return FALSE;
    if (loc.isRoot) return Fail(ERROR_ACCESS_DENIED);
    struct stat st;
    if (!HostStat(loc.host, st)) return FALSE;
    if (!HostIsDirectory(loc.host, st)) return Fail(ERROR_DIRECTORY);
    if (DeleteBlocked(loc.host)) return Fail(ERROR_SHARING_VIOLATION);
    if (int err = RemoveHostDirectory(loc.host, st)) return Fail(ErrnoToWin32(err));
    return TRUE;
}

BOOL DeleteOneFile(std::string_view call, const std::optional<Name>& name) {
    Changed();
    Location loc;
    if (!EnterExisting(call, name, false, loc)) return FALSE;
    struct stat st;
    if (!HostStat(loc.host, st)) return FALSE;
    if (HostIsDirectory(loc.host, st) || HostIsReadOnlyFile(loc.host, st)) return Fail(ERROR_ACCESS_DENIED);
    if (DeleteBlocked(loc.host)) return Fail(ERROR_SHARING_VIOLATION);
    if (::unlink(HostArg(loc.host).c_str()) != 0) return Fail(ErrnoToWin32(errno));
    return TRUE;
}

BOOL Move(std::string_view call, const std::optional<Name>& from, const std::optional<Name>& to, DWORD flags) {
    Changed();
    if (!EnterPath(call, from)) return FALSE;
    if (!to) return Fail(ERROR_INVALID_PARAMETER);
    Location source, target;
    if (!Succeeded(to->error) || !Succeeded(Locate(*from, false, source)) || !Succeeded(LocateForCreate(*to, target)))
        return FALSE;
    struct stat st;
    if (!HostStat(source.host, st)) return FALSE;
    if (::lstat(HostArg(target.host).c_str(), &st) == 0) {
        if (!(flags & MOVEFILE_REPLACE_EXISTING)) return Fail(ERROR_ALREADY_EXISTS);
        if (HostIsDirectory(target.host, st) || HostIsReadOnlyFile(target.host, st)) return Fail(ERROR_ACCESS_DENIED);
        if (DeleteBlocked(target.host)) return Fail(ERROR_SHARING_VIOLATION);
    }
    if (DeleteBlocked(source.host)) return Fail(ERROR_SHARING_VIOLATION);
    if (::rename(HostArg(source.host).c_str(), HostArg(target.host).c_str()) != 0) return Fail(ErrnoToWin32(errno));
    return TRUE;
}

BOOL Replace(std::string_view call, const std::optional<Name>& replaced, const std::optional<Name>& replacement,
             bool backup) {
    Changed();
    if (!EnterPath(call, replaced)) return FALSE;
    if (!replacement || backup) return Fail(ERROR_INVALID_PARAMETER);
    Location oldLoc, newLoc;
    if (!Succeeded(replacement->error) || !Succeeded(Locate(*replaced, false, oldLoc)) ||
        !Succeeded(Locate(*replacement, false, newLoc)))
        return FALSE;
    struct stat oldSt, newSt;
    if (!HostStat(oldLoc.host, oldSt) || !HostStat(newLoc.host, newSt)) return FALSE;
    // The replacement is opened with no sharing at all.
    if (!SharingAllows(newSt.st_dev, newSt.st_ino, GENERIC_READ | GENERIC_WRITE, 0))
        return Fail(ERROR_SHARING_VIOLATION);
    if (HostIsReadOnlyFile(oldLoc.host, oldSt) || DeleteBlocked(oldLoc.host))
        return Fail(ERROR_UNABLE_TO_REMOVE_REPLACED);
    CopyStoredAttributes(oldLoc.host, newLoc.host);
    ::chmod(HostArg(newLoc.host).c_str(), oldSt.st_mode & 07777);
    if (::rename(HostArg(newLoc.host).c_str(), HostArg(oldLoc.host).c_str()) != 0)
        return Fail(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
    return TRUE;
}

}  // namespace
}  // namespace sim

namespace os {

using namespace sim;

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD flags,
                   HANDLE) {
    return Open("CreateFileA", FromAnsi(name), access, share, disposition, flags);
}

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD flags,
                   HANDLE) {
    return Open("CreateFileW", FromWide(name), access, share, disposition, flags);
}

BOOL CloseHandle(HANDLE h) {
    // An injected failure still frees the handle, as a failing close on
    // Windows does: what fails is writing out the file's last data.
    bool failed = EnterRelease("CloseHandle");
    if (!RemoveFile(h)) return Fail(ERROR_INVALID_HANDLE);
    return failed ? FALSE : TRUE;
}

BOOL ReadFile(HANDLE h, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
    if (read) *read = 0;
    if (Enter("ReadFile")) return FALSE;
    FileObject* o = FindFile(h);
    if (!o) return Fail(ERROR_INVALID_HANDLE);
    if (o->directory) return Fail(ERROR_INVALID_FUNCTION);
    if (!(o->access & GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED);
    ssize_t n;
    do n = ::read(o->fd, buffer, toRead);
    while (n < 0 && errno == EINTR);
    if (n < 0) return Fail(errno == EIO ? ERROR_READ_FAULT : ErrnoToWin32(errno));
    if (read) *read = static_cast<DWORD>(n);
    return TRUE;
}

DWORD GetFileType(HANDLE h) {
    if (!FindFile(h)) return Fail<DWORD>(ERROR_INVALID_HANDLE, FILE_TYPE_UNKNOWN);
    return FILE_TYPE_DISK;
}

BOOL FlushFileBuffers(HANDLE h) {
    if (Enter("FlushFileBuffers")) return FALSE;
    FileObject* o = FindFile(h);
    if (!o) return Fail(ERROR_INVALID_HANDLE);
    // Windows flushes only through a handle that may write.
    if (!(o->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    if (o->fd >= 0 && ::fdatasync(o->fd) != 0) return Fail(errno == EIO ? ERROR_WRITE_FAULT : ErrnoToWin32(errno));
    return TRUE;
}

BOOL WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED) {
    if (written) *written = 0;
    Changed();
    if (Enter("WriteFile")) return FALSE;
    FileObject* o = FindFile(h);
    if (!o) return Fail(ERROR_INVALID_HANDLE);
    if (o->directory) return Fail(ERROR_INVALID_FUNCTION);
    if (!(o->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    const char* p = static_cast<const char*>(buffer);
    DWORD done = 0;
    while (done < toWrite) {
        ssize_t n = ::write(o->fd, p + done, toWrite - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (written) *written = done;
            return Fail(errno == EIO ? ERROR_WRITE_FAULT : ErrnoToWin32(errno));
        }
        done += static_cast<DWORD>(n);
    }
    if (written) *written = done;
    return TRUE;
}

BOOL DeviceIoControl(HANDLE h, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD returned,
                     LPOVERLAPPED) {
    if (returned) *returned = 0;
    if (code != FSCTL_GET_REPARSE_POINT) Changed();
    if (Enter("DeviceIoControl")) return FALSE;
    FileObject* o = FindFile(h);
    if (!o) return Fail(ERROR_INVALID_HANDLE);
    auto* input = static_cast<const std::uint8_t*>(in);
    switch (code) {
        case FSCTL_SET_REPARSE_POINT: return SetReparse(*o, input, inSize);
        case FSCTL_GET_REPARSE_POINT: return GetReparse(*o, static_cast<std::uint8_t*>(out), outSize, returned);
        case FSCTL_DELETE_REPARSE_POINT: return DeleteReparse(*o, input, inSize);
        default: return Fail(ERROR_INVALID_FUNCTION);
    }
}

DWORD GetFileAttributesA(LPCSTR name) { return Attributes("GetFileAttributesA", FromAnsi(name)); }
DWORD GetFileAttributesW(LPCWSTR name) { return Attributes("GetFileAttributesW", FromWide(name)); }

BOOL SetFileAttributesA(LPCSTR name, DWORD attributes) {
    return SetAttributes("SetFileAttributesA", FromAnsi(name), attributes);
}
BOOL SetFileAttributesW(LPCWSTR name, DWORD attributes) {
    return SetAttributes("SetFileAttributesW", FromWide(name), attributes);
}

DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR* filePart) {
    std::string full;
    if (!FullName("GetFullPathNameA", FromAnsi(name), full)) return 0;
    full = Utf8ToAnsi(full);
    DWORD length = CopyOut(full, size, buffer);
    if (length == full.size() && filePart) {
        std::size_t slash = full.find_last_of('\\');
        *filePart = slash + 1 < full.size() ? buffer + slash + 1 : nullptr;
    }
    return length;
}

// No limit but the one of the calls that take the name: Wine's and Windows'
// GetFullPathNameW make full names of any length.
DWORD GetFullPathNameW(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR* filePart) {
    std::string full;
    if (!FullName("GetFullPathNameW", FromWide(name), full)) return 0;
    std::u16string wide = Utf8ToUtf16(full);
    DWORD length = CopyOut(wide, size, buffer);
    if (length == wide.size() && filePart) {
        std::size_t part = FilePart(wide);
        *filePart = part == std::u16string_view::npos ? nullptr : buffer + part;
    }
    return length;
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    return CopyOut(Utf8ToAnsi(CurrentDirectoryShown()), size, buffer);
}

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer) {
    return CopyOut(Utf8ToUtf16(CurrentDirectoryShown()), size, buffer);
}

BOOL SetCurrentDirectoryA(LPCSTR name) {
    Changed();
    Location loc;
    if (!EnterExisting("SetCurrentDirectoryA", FromAnsi(name), true, loc)) return FALSE;
    std::optional<HostEntry> entry = Examine(loc.host, loc.isRoot);
    if (!entry) return FALSE;
    if (!(entry->attributes & FILE_ATTRIBUTE_DIRECTORY)) return Fail(ERROR_DIRECTORY);
    std::string full = loc.full;
    if (HasTrailingSlash(full)) full.pop_back();
    ::setenv("TARSIO_SIM_CWD", full.c_str(), 1);
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES) {
    return MakeDirectory("CreateDirectoryA", FromAnsi(name, kMaxDirectoryPath));
}
BOOL CreateDirectoryW(LPCWSTR name, LPSECURITY_ATTRIBUTES) {
    return MakeDirectory("CreateDirectoryW", FromWide(name, kMaxDirectoryPath));
}

BOOL RemoveDirectoryA(LPCSTR name) { return RemoveEmptyDirectory("RemoveDirectoryA", FromAnsi(name)); }
BOOL RemoveDirectoryW(LPCWSTR name) { return RemoveEmptyDirectory("RemoveDirectoryW", FromWide(name)); }

BOOL DeleteFileA(LPCSTR name) { return DeleteOneFile("DeleteFileA", FromAnsi(name)); }
BOOL DeleteFileW(LPCWSTR name) { return DeleteOneFile("DeleteFileW", FromWide(name)); }

BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
    return Move("MoveFileExA", FromAnsi(from), FromAnsi(to), flags);
}
BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
    return Move("MoveFileExW", FromWide(from), FromWide(to), flags);
}

BOOL ReplaceFileA(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD, LPVOID, LPVOID) {
    return Replace("ReplaceFileA", FromAnsi(replaced), FromAnsi(replacement), backup != nullptr);
}
BOOL ReplaceFileW(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD, LPVOID, LPVOID) {
    return Replace("ReplaceFileW", FromWide(replaced), FromWide(replacement), backup != nullptr);
}

}  // namespace os
