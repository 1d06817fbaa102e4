// The host side of the simulated platform: how Win32 attributes and reparse
// data are kept on the host, and host errors as Win32 errors.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/sim/core.h"
#include "platform/sim/le.h"

namespace sim {

bool IsDirectoryOnHost(const std::string& host) {
    struct stat st;
    return ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
std::optional<std::vector<std::uint8_t>> ReadReparse(const std::string& host) {
    // As in Walk: the full size only when the data does not fit a small buffer.
    std::uint8_t small[1024];
    ssize_t n = ::lgetxattr(host.c_str(), kReparseAttr, small, sizeof small);
    if (n >= 0) return std::vector<std::uint8_t>(small, small + n);
    if (errno != ERANGE) return std::nullopt;
    std::vector<std::uint8_t> buffer(kMaxReparseSize);
    n = ::lgetxattr(host.c_str(), kReparseAttr, buffer.data(), buffer.size());
    if (n < 0) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

namespace {

std::optional<HostEntry> Describe(const std::string& host, bool isRoot, HostEntry entry);

}  // namespace

std::optional<HostEntry> Examine(const std::string& host, bool isRoot) {
    HostEntry entry;
    if (::lstat(host.c_str(), &entry.st) != 0) {
        SetError(ErrnoToWin32(errno));
        return std::nullopt;
    }
    return Describe(host, isRoot, entry);
}

std::optional<HostEntry> ExamineEntry(int dirFd, const char* name, const std::string& host) {
    HostEntry entry;
    if (::fstatat(dirFd, name, &entry.st, AT_SYMLINK_NOFOLLOW) != 0) {
        SetError(ErrnoToWin32(errno));
        return std::nullopt;
    }
    return Describe(host, false, entry);
}

namespace {

// The attribute word and reparse tag of an object already stat'ed.
std::optional<HostEntry> Describe(const std::string& host, bool isRoot, HostEntry entry) {
    bool hasReparse = false, hasAttrib = false;
    char names[512];
    ssize_t n = ::llistxattr(host.c_str(), names, sizeof names);
    if (n < 0) {
        hasReparse = hasAttrib = true;  // too many to list: probe both
    } else {
        for (ssize_t i = 0; i < n; i += static_cast<ssize_t>(std::strlen(names + i)) + 1) {
            if (std::strcmp(names + i, kReparseAttr) == 0) hasReparse = true;
            if (std::strcmp(names + i, kAttribAttr) == 0) hasAttrib = true;
        }
    }
    bool isDir = S_ISDIR(entry.st.st_mode);
    DWORD bits = isDir ? 0 : FILE_ATTRIBUTE_ARCHIVE;
    if (hasAttrib) {
        char text[32] = {};
        ssize_t len = ::lgetxattr(host.c_str(), kAttribAttr, text, sizeof text - 1);
        if (len >= 0)
            bits = static_cast<DWORD>(std::strtoul(text, nullptr, 0)) &
                   (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    }
    if (isRoot) bits |= FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (isDir)
        bits |= FILE_ATTRIBUTE_DIRECTORY;
    else if (!(entry.st.st_mode & S_IWUSR))
        bits |= FILE_ATTRIBUTE_READONLY;
    if (hasReparse) {
        std::uint8_t tag[4];
        if (::lgetxattr(host.c_str(), kReparseAttr, tag, sizeof tag) == sizeof tag) {
            bits |= FILE_ATTRIBUTE_REPARSE_POINT;
            entry.reparseTag = Le32(tag);
        } else if (errno == ERANGE) {
            std::optional<std::vector<std::uint8_t>> data = ReadReparse(host);
            if (data && data->size() >= 4) {
                bits |= FILE_ATTRIBUTE_REPARSE_POINT;
                entry.reparseTag = Le32(data->data());
            }
        }
    }
    entry.attributes = bits ? bits : FILE_ATTRIBUTE_NORMAL;
    return entry;
}

}  // namespace

DWORD ErrnoToWin32(int err, DWORD notFound) {
    switch (err) {
        case ENOENT: return notFound;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR: return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
        case ENOSPC:
        case EDQUOT: return ERROR_DISK_FULL;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case EROFS: return ERROR_WRITE_PROTECT;
        case EXDEV: return ERROR_NOT_SAME_DEVICE;
        case EBUSY: return ERROR_SHARING_VIOLATION;
        case EIO: return ERROR_GEN_FAILURE;
        default: return ERROR_GEN_FAILURE;
    }
}

}  // namespace sim
