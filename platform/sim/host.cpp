// The host side of the simulated platform: how Win32 attributes and reparse
// data are kept on the host (see Backing), and host errors as Win32 errors.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sim/core.h"
#include "platform/sim/le.h"
#include "platform/sim/ntfs3g.h"

namespace sim {

bool DoesNotFit(int err) { return err == ERANGE || err == EIO; }

void HostArg::Shorten() {
    shortened_ = true;
    const std::string& host = host_;
    std::size_t start = 0;
    while (host.size() - start >= kShortEnough) {
        // The longest run of whole components that fits one call.
        std::size_t cut = host.rfind('/', start + kShortEnough - 1);
        if (cut == std::string::npos || cut <= start) break;
        std::string run = host.substr(start, cut - start);
        int dir = ::openat(fd_ < 0 ? AT_FDCWD : fd_, run.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd_ >= 0) ::close(fd_);
        fd_ = dir;
        if (dir < 0) return;
        start = cut + 1;
    }
    if (fd_ >= 0 && host.size() - start < kShortEnough)
        name_ = "/proc/self/fd/" + std::to_string(fd_) + "/" + host.substr(start);
}

HostArg::~HostArg() {
    if (fd_ >= 0) ::close(fd_);
}

bool IsDirectoryOnHost(const std::string& host) {
    struct stat st;
    return ::stat(HostArg(host).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

const char* ReparseAttrName(Backing backing) {
    return backing == Backing::Ntfs3g ? ntfs3g::kReparseAttr : kReparseAttr;
}

std::optional<std::vector<std::uint8_t>> ReadReparse(const std::string& host, Backing backing) {
    const char* attr = ReparseAttrName(backing);
    // As in Walk: the full size only when the data does not fit a small buffer.
    std::uint8_t small[1024];
    ssize_t n = ::lgetxattr(HostArg(host).c_str(), attr, small, sizeof small);
    if (n >= 0) return std::vector<std::uint8_t>(small, small + n);
    if (!DoesNotFit(errno)) return std::nullopt;
    std::vector<std::uint8_t> buffer(kMaxReparseSize);
    n = ::lgetxattr(HostArg(host).c_str(), attr, buffer.data(), buffer.size());
    if (n < 0) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

int WriteReparse(const std::string& host, const std::uint8_t* data, std::size_t size) {
    return WriteReparse(host, BackingOfHost(host), data, size);
}

int WriteReparse(const std::string& host, Backing backing, const std::uint8_t* data, std::size_t size) {
    if (::lsetxattr(HostArg(host).c_str(), ReparseAttrName(backing), data, size, 0) != 0) return errno;
    if (backing == Backing::Ntfs3g) ntfs3g::Settle(host);
    return 0;
}

int RemoveReparse(const std::string& host, Backing backing) {
    if (::lremovexattr(HostArg(host).c_str(), ReparseAttrName(backing)) != 0) return errno;
    if (backing == Backing::Ntfs3g) ntfs3g::Settle(host);
    return 0;
}

void StoreAttributes(const std::string& host, DWORD bits) {
    if (BackingOfHost(host) == Backing::Ntfs3g) {
        if (std::optional<DWORD> old = ntfs3g::ReadAttributes(host))
            ntfs3g::WriteAttributes(host, (*old & ~kStoredAttributes) | (bits & kStoredAttributes));
        return;
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", bits & kStoredAttributes);
    ::lsetxattr(HostArg(host).c_str(), kAttribAttr, text, std::strlen(text), 0);
}

void CopyStoredAttributes(const std::string& from, const std::string& to) {
    if (BackingOfHost(from) == Backing::Ntfs3g) {
        if (std::optional<DWORD> bits = ntfs3g::ReadAttributes(from)) StoreAttributes(to, *bits);
        return;
    }
    char text[32];
    ssize_t n = ::lgetxattr(HostArg(from).c_str(), kAttribAttr, text, sizeof text);
    if (n >= 0)
        ::lsetxattr(HostArg(to).c_str(), kAttribAttr, text, static_cast<std::size_t>(n), 0);
    else
        ::lremovexattr(HostArg(to).c_str(), kAttribAttr);
}

bool HostIsDirectory(const std::string& host, const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return true;
    return S_ISLNK(st.st_mode) && BackingOfHost(host) == Backing::Ntfs3g && ntfs3g::IsDirectory(host);
}

bool HostIsReadOnlyFile(const std::string& host, const struct stat& st) {
    if (BackingOfHost(host) != Backing::Ntfs3g) return !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR);
    std::optional<DWORD> bits = ntfs3g::ReadAttributes(host);
    return bits && (*bits & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == FILE_ATTRIBUTE_READONLY;
}

int RemoveHostDirectory(const std::string& host, const struct stat& st) {
    // ntfs-3g shows a junction as a symbolic link, which rmdir refuses.
    int result = S_ISLNK(st.st_mode) ? ::unlink(HostArg(host).c_str()) : ::rmdir(HostArg(host).c_str());
    return result == 0 ? 0 : errno;
}

namespace {

// The extended attributes of a host object, named by its path or, for an
// entry of an open directory, by that directory's descriptor and its name:
// listxattrat and getxattrat (Linux 6.13) then look up one component where
// the l*xattr calls walk the whole host path again, which doubles what a
// listing costs the host. Older kernels answer ENOSYS, and the path is used.
class Xattrs {
public:
    explicit Xattrs(const std::string& host, int dirFd = -1, const char* name = nullptr)
        : host_(host), dirFd_(dirFd), name_(name) {}

    const std::string& Host() const { return host_; }
    ssize_t List(char* list, std::size_t size) const {
        if (Relative()) {
            long n = ::syscall(kListXattrAt, dirFd_, name_, AT_SYMLINK_NOFOLLOW, list, size);
            if (n >= 0 || errno != ENOSYS) return n;
            g_relativeMissing = true;
        }
        return ::llistxattr(HostArg(host_).c_str(), list, size);
    }
    ssize_t Get(const char* attr, void* value, std::size_t size) const {
        if (Relative()) {
            XattrArgs args{reinterpret_cast<std::uintptr_t>(value), static_cast<std::uint32_t>(size), 0};
            long n = ::syscall(kGetXattrAt, dirFd_, name_, AT_SYMLINK_NOFOLLOW, attr, &args, sizeof args);
            if (n >= 0 || errno != ENOSYS) return n;
            g_relativeMissing = true;
        }
        return ::lgetxattr(HostArg(host_).c_str(), attr, value, size);
    }

private:
    // The system call numbers, the same on every architecture, and the
    // argument block of getxattrat.
    static constexpr long kGetXattrAt = 464;
    static constexpr long kListXattrAt = 465;
    struct XattrArgs {
        alignas(8) std::uint64_t value;
        std::uint32_t size;
        std::uint32_t flags;
    };
    static inline bool g_relativeMissing = false;

    bool Relative() const { return dirFd_ >= 0 && !g_relativeMissing; }

    const std::string& host_;
    int dirFd_;
    const char* name_;
};

std::optional<HostEntry> Describe(const Xattrs& xattrs, bool isRoot, HostEntry entry);

}  // namespace

std::optional<HostEntry> Examine(const std::string& host, bool isRoot) {
    return Examine(host, isRoot, BackingOfHost(host));
}

std::optional<HostEntry> Examine(const std::string& host, bool isRoot, Backing backing) {
    HostEntry entry;
    if (::lstat(HostArg(host).c_str(), &entry.st) != 0) {
        SetError(ErrnoToWin32(errno));
        return std::nullopt;
    }
    if (backing == Backing::Ntfs3g) return ntfs3g::Describe(host, isRoot, entry);
    return Describe(Xattrs(host), isRoot, entry);
}

std::optional<HostEntry> ExamineEntry(int dirFd, const char* name, const std::string& host) {
    HostEntry entry;
    if (::fstatat(dirFd, name, &entry.st, AT_SYMLINK_NOFOLLOW) != 0) {
        SetError(ErrnoToWin32(errno));
        return std::nullopt;
    }
    if (BackingOfHost(host) == Backing::Ntfs3g) return ntfs3g::Describe(host, false, entry);
    return Describe(Xattrs(host, dirFd, name), false, entry);
}

namespace {

// The attribute word and reparse tag of an object already stat'ed, kept in
// the user.* extended attributes.
std::optional<HostEntry> Describe(const Xattrs& xattrs, bool isRoot, HostEntry entry) {
    bool hasReparse = false, hasAttrib = false;
    char names[512];
    ssize_t n = xattrs.List(names, sizeof names);
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
        ssize_t len = xattrs.Get(kAttribAttr, text, sizeof text - 1);
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
        // The tag is the data's first four bytes. A short buffer is refused
        // whole, so the data is read; it mostly fits this one.
        std::uint8_t small[1024];
        std::optional<std::vector<std::uint8_t>> large;
        const std::uint8_t* data = nullptr;
        ssize_t n = xattrs.Get(kReparseAttr, small, sizeof small);
        if (n >= 4)
            data = small;
        else if (n < 0 && DoesNotFit(errno) && (large = ReadReparse(xattrs.Host(), Backing::Xattr)) &&
                 large->size() >= 4)
            data = large->data();
        if (data) {
            bits |= FILE_ATTRIBUTE_REPARSE_POINT;
            entry.reparseTag = Le32(data);
        }
    }
    entry.attributes = bits ? bits : FILE_ATTRIBUTE_NORMAL;
    return entry;
}

}  // namespace

FILETIME FileTimeOf(const struct timespec& ts) {
    constexpr std::uint64_t kEpochDifference = 11644473600ULL;  // 1601-01-01 to 1970-01-01, seconds
    const std::uint64_t t = (static_cast<std::uint64_t>(ts.tv_sec) + kEpochDifference) * 10000000ULL +
                            static_cast<std::uint64_t>(ts.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}

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
