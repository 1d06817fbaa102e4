// The handle table of the simulated platform, sharing between handles, and
// what it remembers while a listing is open.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "platform/sim/core.h"
#include "platform/sim/sim.h"
#include "platform/sim/winpath.h"

namespace sim {
namespace {

struct HandleTable {
    std::unordered_map<std::uintptr_t, FileObject> files;
    std::unordered_map<std::uintptr_t, Listing> listings;
    std::uintptr_t next = 0x1000;
};

HandleTable& Handles() {
    static HandleTable t;
    return t;
}

// Files and listings share one run of handle values.
template <typename T>
HANDLE Add(std::unordered_map<std::uintptr_t, T>& table, T object) {
    std::uintptr_t h = Handles().next;
    Handles().next += 4;
    table.emplace(h, std::move(object));
    return reinterpret_cast<HANDLE>(h);
}

template <typename T>
T* Find(std::unordered_map<std::uintptr_t, T>& table, HANDLE h) {
    auto it = table.find(reinterpret_cast<std::uintptr_t>(h));
    return it == table.end() ? nullptr : &it->second;
}

std::uint64_t g_generation = 1;
std::optional<Listing> g_closedListing;

std::string FdPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Whether `name` in the folder `dirFd` holds the object.
bool NameHolds(const FileObject& o, int dirFd) {
    struct stat st;
    return dirFd >= 0 && ::fstatat(dirFd, o.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_dev == o.dev &&
           st.st_ino == o.ino;
}

void RemoveHeld(const FileObject& o) {
    if (o.isRoot) return;
    // A directory's ".." is the folder that holds it now, wherever it went.
    const bool own = o.parentFd < 0 && o.hostDirectory;
    const int folder = own ? ::openat(o.fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC) : o.parentFd;
    // ntfs-3g shows a junction as a symbolic link, which goes as a file does.
    if (NameHolds(o, folder) && ::unlinkat(folder, o.name.c_str(), o.hostDirectory ? AT_REMOVEDIR : 0) == 0)
        Changed();
    if (own && folder >= 0) ::close(folder);
}

}  // namespace

bool Hold(FileObject& o, const std::string& host, const struct stat& st) {
    o.dev = st.st_dev;
    o.ino = st.st_ino;
    o.hostDirectory = S_ISDIR(st.st_mode);
    const std::size_t slash = host.rfind('/');
    if (!o.isRoot) o.name = host.substr(slash + 1);
    if (!o.isRoot && (!o.hostDirectory || DriveBacking(o.drive) == Backing::Ntfs3g)) {
        o.parentFd = ::open(HostArg(host.substr(0, slash)).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (o.parentFd >= 0 && o.fd < 0) o.fd = ::openat(o.parentFd, o.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    } else if (o.fd < 0) {
        o.fd = ::open(HostArg(host).c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (o.fd < 0 || (!o.isRoot && !o.hostDirectory && o.parentFd < 0)) {
        SetError(ErrnoToWin32(errno));
        return false;
    }
    return true;
}

void HoldAgain(FileObject& o) {
    if (o.parentFd < 0) return;
    int fd = ::openat(o.parentFd, o.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0) ::close(fd);
        return;
    }
    ::close(o.fd);
    o.fd = fd;
    o.dev = st.st_dev;
    o.ino = st.st_ino;
    o.hostDirectory = S_ISDIR(st.st_mode);
}

std::optional<std::string> HeldPath(const FileObject& o) {
    // "." below a directory's descriptor is the directory itself.
    if (o.hostDirectory) return FdPath(o.fd) + "/.";
    if (NameHolds(o, o.parentFd)) return FdPath(o.parentFd) + "/" + o.name;
    SetError(ERROR_ACCESS_DENIED);
    return std::nullopt;
}

std::optional<bool> HeldDirectoryIsEmpty(const FileObject& o) {
    if (!o.hostDirectory) return std::nullopt;
    int fd = ::openat(o.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    alignas(dirent64) char buffer[4096];
    bool empty = true;
    ssize_t n;
    while (empty && (n = ::getdents64(fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const dirent64*>(buffer + at);
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) empty = false;
            at += e->d_reclen;
        }
    }
    ::close(fd);
    return empty;
}

HANDLE AddFile(FileObject object) { return Add(Handles().files, std::move(object)); }

HANDLE AddListing(Listing listing) { return Add(Handles().listings, std::move(listing)); }

FileObject* FindFile(HANDLE h) { return Find(Handles().files, h); }

Listing* FindListing(HANDLE h) { return Find(Handles().listings, h); }

bool RemoveFile(HANDLE h) {
    auto node = Handles().files.extract(reinterpret_cast<std::uintptr_t>(h));
    if (node.empty()) return false;
    const FileObject& o = node.mapped();
    if (o.deleteOnClose) RemoveHeld(o);
    if (o.fd >= 0) ::close(o.fd);
    if (o.parentFd >= 0) ::close(o.parentFd);
    return true;
}

bool RemoveListing(HANDLE h) {
    auto& listings = Handles().listings;
    auto node = listings.extract(reinterpret_cast<std::uintptr_t>(h));
    if (node.empty()) return false;
    if (listings.empty()) {
        Changed();
    } else if (node.mapped().generation == g_generation && HasWildcards(node.mapped().pattern)) {
        g_closedListing = std::move(node.mapped());
    } else {
        g_closedListing.reset();
    }
    return true;
}

void Changed() {
    ++g_generation;
    g_closedListing.reset();
}

std::uint64_t Generation() { return g_generation; }

bool Remembering() { return !Handles().listings.empty(); }

const Entry* KnownEntry(std::string_view host) {
    if (const Entry* listed = ListedDirectory(host)) return listed;
    for (const auto& [h, l] : Handles().listings) {
        if (l.generation != g_generation || l.next == 0) continue;
        const std::string& dir = l.hostDir;
        if (host.size() <= dir.size() + 1 || host[dir.size()] != '/' || host.compare(0, dir.size(), dir) != 0)
            continue;
        std::size_t i = l.next - 1;
        if (!l.hostNames[i].empty() && host.substr(dir.size() + 1) == l.hostNames[i]) return &l.entries[i];
    }
    return nullptr;
}

std::optional<Listing> TakeClosedListing(const std::string& hostDir, const std::string& pattern) {
    std::optional<Listing> taken;
    if (g_closedListing && Remembering() && g_closedListing->generation == g_generation &&
        g_closedListing->hostDir == hostDir && g_closedListing->pattern == pattern)
        taken.swap(g_closedListing);
    g_closedListing.reset();
    return taken;
}

bool SharingAllows(dev_t dev, ino_t ino, DWORD access, DWORD share) {
    bool newRead = access & GENERIC_READ, newWrite = access & GENERIC_WRITE, newDelete = access & DELETE;
    for (const auto& [h, o] : Handles().files) {
        if (o.dev != dev || o.ino != ino) continue;
        bool oldRead = o.access & GENERIC_READ, oldWrite = o.access & GENERIC_WRITE, oldDelete = o.access & DELETE;
        if ((newRead && !(o.share & FILE_SHARE_READ)) || (newWrite && !(o.share & FILE_SHARE_WRITE)) ||
            (newDelete && !(o.share & FILE_SHARE_DELETE)))
            return false;
        if ((oldRead && !(share & FILE_SHARE_READ)) || (oldWrite && !(share & FILE_SHARE_WRITE)) ||
            (oldDelete && !(share & FILE_SHARE_DELETE)))
            return false;
    }
    return true;
}

bool DeleteBlocked(const std::string& host) {
    struct stat st;
    if (::lstat(HostArg(host).c_str(), &st) != 0) return false;
    for (const auto& [h, o] : Handles().files) {
        if (o.dev == st.st_dev && o.ino == st.st_ino && (o.access & (GENERIC_READ | GENERIC_WRITE | DELETE)) &&
            !(o.share & FILE_SHARE_DELETE))
            return true;
    }
    return false;
}

int OpenHandleCount() { return static_cast<int>(Handles().files.size() + Handles().listings.size()); }

}  // namespace sim
