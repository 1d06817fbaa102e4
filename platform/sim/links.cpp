// Host hard links and symbolic links to files as Windows' own, and what an
// open handle holds: its final name, its identity, link count, attributes
// and reparse tag, and its delete disposition; hard links made by name.
// Opening a name follows a symbolic link; renaming or deleting the name acts
// on the link itself (files.cpp).

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/os.h"
#include "platform/sim/codepage.h"
#include "platform/sim/core.h"

namespace sim {
namespace {

// The host path of what a handle holds, free of host symbolic links (a
// directory's O_PATH descriptor may hold a junction itself, which ntfs-3g
// shows as one).
std::optional<std::string> PathOfDescriptor(int fd) {
    char buffer[PATH_MAX];
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    ssize_t n = ::readlink(self.c_str(), buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) == sizeof buffer) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(n));
}

// A directory's path where the kernel gives none, at PATH_MAX or more: walked
// up through "..", each level found by its inode in its parent, until the
// rest is short enough to ask for.
std::optional<std::string> LongDirectoryPath(int fd) {
    std::vector<std::string> names;
    int here = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    while (here >= 0) {
        if (std::optional<std::string> path = PathOfDescriptor(here)) {
            ::close(here);
            for (auto it = names.rbegin(); it != names.rend(); ++it) *path += "/" + *it;
            return path;
        }
        struct stat st;
        int up = ::openat(here, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* listing = up >= 0 && ::fstat(here, &st) == 0 ? ::fdopendir(::dup(up)) : nullptr;
        ::close(here);
        here = -1;
        while (dirent* e = listing ? ::readdir(listing) : nullptr) {
            if (e->d_ino == st.st_ino && std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
                names.emplace_back(e->d_name);
                here = up;
                break;
            }
        }
        if (listing) ::closedir(listing);
        if (here < 0 && up >= 0) ::close(up);
    }
    return std::nullopt;
}

std::optional<std::string> HeldHostPath(const FileObject& o) {
    if (std::optional<std::string> path = PathOfDescriptor(o.fd)) return path;
    if (errno != ENAMETOOLONG) return std::nullopt;
    if (o.hostDirectory) return LongDirectoryPath(o.fd);
    std::optional<std::string> folder = o.parentFd >= 0 ? LongDirectoryPath(o.parentFd) : std::nullopt;
    return folder ? std::optional(*folder + "/" + o.name) : std::nullopt;
}

struct DrivePlace {
    char drive;
    std::string rest;  // the host path below the drive's folder, "" or beginning with '/'
};

// The drive whose host folder holds `real`, a host path free of symbolic links.
std::optional<DrivePlace> PlaceOnDrive(const std::string& real) {
    char buffer[PATH_MAX];
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (!::realpath(DriveHostPath(letter).c_str(), buffer)) continue;
        const std::size_t n = std::strlen(buffer);
        if (real.compare(0, n, buffer) == 0 && (real.size() == n || real[n] == '/'))
            return DrivePlace{letter, real.substr(n)};
    }
    return std::nullopt;
}

}  // namespace
}  // namespace sim

namespace os {

using namespace sim;

BOOL GetFileInformationByHandle(HANDLE h, LPBY_HANDLE_FILE_INFORMATION info) {
    if (Enter("GetFileInformationByHandle")) return FALSE;
    const FileObject* o = FindFile(h);
    if (!o) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // A file renamed or deleted since it was opened is still what the handle holds.
    struct stat st;
    if (::fstat(o->fd, &st) != 0) {
        SetError(ErrnoToWin32(errno));
        return FALSE;
    }
    std::optional<std::string> held = HeldHostPath(*o);
    std::optional<DrivePlace> place = held ? PlaceOnDrive(*held) : std::nullopt;
    // Named below its drive's folder, as the drive's backing knows its objects.
    std::optional<HostEntry> entry = place ? Examine(DriveHostPath(place->drive) + place->rest, place->rest.empty())
                                           : std::nullopt;
    if (!entry || entry->st.st_ino != st.st_ino || entry->st.st_dev != st.st_dev) {
        entry = HostEntry{};
        entry->attributes = S_ISDIR(st.st_mode)           ? FILE_ATTRIBUTE_DIRECTORY
                            : (st.st_mode & S_IWUSR) == 0 ? FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY
                                                          : FILE_ATTRIBUTE_ARCHIVE;
    }
    *info = {};
    info->dwFileAttributes = entry->attributes;
    info->ftCreationTime = FileTimeOf(st.st_ctim);
    info->ftLastAccessTime = FileTimeOf(st.st_atim);
    info->ftLastWriteTime = FileTimeOf(st.st_mtim);
    info->dwVolumeSerialNumber = place ? VolumeSerial(place->drive) : 0;
    const bool directory = entry->attributes & FILE_ATTRIBUTE_DIRECTORY;
    const auto size = directory ? 0 : static_cast<std::uint64_t>(st.st_size);
    info->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    info->nFileSizeLow = static_cast<DWORD>(size);
    // A host directory counts its subdirectories' ".." entries as links.
    info->nNumberOfLinks = directory ? 1 : static_cast<DWORD>(st.st_nlink);
    const auto index = static_cast<std::uint64_t>(st.st_ino);
    info->nFileIndexHigh = static_cast<DWORD>(index >> 32);
    info->nFileIndexLow = static_cast<DWORD>(index);
    return TRUE;
}

BOOL GetFileInformationByHandleEx(HANDLE h, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID info, DWORD size) {
    if (Enter("GetFileInformationByHandleEx")) return FALSE;
    const FileObject* o = FindFile(h);
    DWORD e = !o                                       ? ERROR_INVALID_HANDLE
              : infoClass != FileAttributeTagInfo      ? ERROR_INVALID_PARAMETER
              : size < sizeof(FILE_ATTRIBUTE_TAG_INFO) ? ERROR_BAD_LENGTH
                                                       : ERROR_SUCCESS;
    if (e != ERROR_SUCCESS) {
        SetError(e);
        return FALSE;
    }
    std::optional<std::string> held = HeldPath(*o);
    std::optional<HostEntry> entry = held ? Examine(*held, o->isRoot, DriveBacking(o->drive)) : std::nullopt;
    if (!entry) return FALSE;
    auto* tagInfo = static_cast<FILE_ATTRIBUTE_TAG_INFO*>(info);
    tagInfo->FileAttributes = entry->attributes;
    tagInfo->ReparseTag = entry->reparseTag;
    return TRUE;
}

BOOL SetFileInformationByHandle(HANDLE h, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID info, DWORD size) {
    Changed();
    if (Enter("SetFileInformationByHandle")) return FALSE;
    FileObject* o = FindFile(h);
    DWORD e = !o                                     ? ERROR_INVALID_HANDLE
              : infoClass != FileDispositionInfo     ? ERROR_INVALID_PARAMETER
              : size < sizeof(FILE_DISPOSITION_INFO) ? ERROR_BAD_LENGTH
              : !(o->access & DELETE) || o->isRoot   ? ERROR_ACCESS_DENIED
                                                     : ERROR_SUCCESS;
    const bool remove = e == ERROR_SUCCESS && static_cast<const FILE_DISPOSITION_INFO*>(info)->DeleteFile;
    if (remove && o->directory) {
        // NTFS refuses the disposition, not only the removal, while a directory holds anything.
        if (std::optional<bool> empty = HeldDirectoryIsEmpty(*o); empty && !*empty) e = ERROR_DIR_NOT_EMPTY;
    } else if (remove) {
        std::optional<std::string> held = HeldPath(*o);
        std::optional<HostEntry> entry = held ? Examine(*held, false, DriveBacking(o->drive)) : std::nullopt;
        if (!entry) return FALSE;
        if (entry->attributes & FILE_ATTRIBUTE_READONLY) e = ERROR_ACCESS_DENIED;
    }
    if (e != ERROR_SUCCESS) {
        SetError(e);
        return FALSE;
    }
    o->deleteOnClose = remove;
    return TRUE;
}

DWORD GetFinalPathNameByHandleW(HANDLE h, LPWSTR path, DWORD size, DWORD flags) {
    if (Enter("GetFinalPathNameByHandleW")) return 0;
    const FileObject* o = FindFile(h);
    if (!o) {
        SetError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (flags != (FILE_NAME_NORMALIZED | VOLUME_NAME_DOS)) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::optional<std::string> held = HeldHostPath(*o);
    std::optional<DrivePlace> place = held ? PlaceOnDrive(*held) : std::nullopt;
    if (!place) {
        SetError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    std::string utf8 = std::string("\\\\?\\") + place->drive + ":" + (place->rest.empty() ? "\\" : place->rest);
    std::u16string name = Utf8ToUtf16(utf8);
    for (char16_t& c : name)
        if (c == u'/') c = u'\\';
    const auto length = static_cast<DWORD>(name.size());
    if (size <= length || !path) return length + 1;
    std::memcpy(path, name.c_str(), (length + 1) * sizeof(WCHAR));
    return length;
}

BOOL CreateHardLinkA(LPCSTR name, LPCSTR existing, LPSECURITY_ATTRIBUTES) {
    Changed();
    if (Enter("CreateHardLinkA", name ? name : "")) return FALSE;
    Location link, target;
    DWORD e = !name || !existing ? ERROR_INVALID_PARAMETER : Locate(*FromAnsi(existing), false, target);
    if (e == ERROR_SUCCESS) e = LocateForCreate(*FromAnsi(name), link);
    struct stat st;
    if (e == ERROR_SUCCESS && ::lstat(target.host.c_str(), &st) != 0) e = ErrnoToWin32(errno);
    if (e == ERROR_SUCCESS && HostIsDirectory(target.host, st)) e = ERROR_ACCESS_DENIED;
    if (e == ERROR_SUCCESS && link.drive != target.drive) e = ERROR_NOT_SAME_DEVICE;
    if (e == ERROR_SUCCESS && ::link(target.host.c_str(), link.host.c_str()) != 0) e = ErrnoToWin32(errno);
    if (e == ERROR_SUCCESS) return TRUE;
    SetError(e);
    return FALSE;
}

}  // namespace os
