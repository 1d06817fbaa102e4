#include "platform/sim/core.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/os.h"
#include "platform/sim/codepage.h"
#include "platform/sim/sim.h"

namespace sim {
namespace {

thread_local DWORD g_lastError = 0;

struct FaultRule {
    std::string call;        // empty for a rule by overall position
    int occurrence = 0;      // 1-based; 0 for every matching call
    std::string pathPrefix;  // empty: any path
    DWORD error = 0;
    int seen = 0;
};

struct Accounting {
    std::vector<FaultRule> rules;
    std::map<std::string, std::size_t, std::less<>> counts;
    std::vector<std::string> log;
    bool logging = false;
};

Accounting& Calls() {
    static Accounting a;
    return a;
}

struct HandleTable {
    std::unordered_map<std::uintptr_t, FileObject> files;
    std::unordered_map<std::uintptr_t, Listing> listings;
    std::uintptr_t next = 0x1000;
};

HandleTable& Handles() {
    static HandleTable t;
    return t;
}

std::uint64_t g_generation = 1;
std::optional<Listing> g_closedListing;

// The components from the root of a drive, as the last name resolved met
// them, that carry no reparse point.
struct ResolvedPrefix {
    std::uint64_t generation = 0;
    std::string driveHost;
    std::vector<std::string> components;
    std::string host;               // their host path (it may go on further)
    std::vector<std::size_t> ends;  // where each component ends in it
};
ResolvedPrefix g_resolved;

// Host directories on the way of names resolved before, known to exist
// without a reparse point, remembered across calls whatever changes them:
// each is watched with inotify, and an event on one of them (a changed
// attribute, which setxattr and removexattr raise; a removal; a rename)
// forgets them all. Events about the entries inside a watched directory do
// not count. Without inotify nothing is remembered.
class WatchedDirectories {
public:
    // Takes in the events since the last look; once per name resolved, before
    // the first Contains.
    void Refresh() {
        if (fd_ < 0) return;
        alignas(inotify_event) char events[4096];
        ssize_t n;
        while ((n = ::read(fd_, events, sizeof events)) > 0) {
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(events + at);
                if (e->len == 0 || (e->mask & IN_Q_OVERFLOW)) known_.clear();
                if (e->mask & IN_IGNORED) --watches_;
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
    }
    bool Contains(const std::string& host) const { return known_.count(host) > 0; }
    void Add(const std::string& host) {
        if (watches_ >= kLimit) Reset();
        if (fd_ < 0 && (unavailable_ || (fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) < 0)) {
            unavailable_ = true;
            return;
        }
        constexpr std::uint32_t kMask = IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;
        int wd = ::inotify_add_watch(fd_, host.c_str(), kMask);
        if (wd < 0) return;
        // Watching an inode again gives its watch back.
        if (wd > highestWd_) {
            highestWd_ = wd;
            ++watches_;
        }
        known_.insert(host);
    }

private:
    // Each watch keeps its inode in memory; closing the instance drops them
    // all, but is slow, so it happens only when there are this many.
    static constexpr int kLimit = 4096;
    void Reset() {
        ::close(fd_);
        fd_ = -1;
        watches_ = highestWd_ = 0;
        known_.clear();
    }
    int fd_ = -1;
    bool unavailable_ = false;
    int watches_ = 0;
    int highestWd_ = 0;
    std::unordered_set<std::string> known_;
};
WatchedDirectories g_watched;

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// The Win32 path a mount point leads to, or nullopt when it leads nowhere
// the simulation knows (only "\??\X:\..." targets are followed).
std::optional<ParsedPath> MountPointTarget(const std::vector<std::uint8_t>& data) {
    if (data.size() < 16) return std::nullopt;
    std::size_t offset = Le16(&data[8]);
    std::size_t length = Le16(&data[10]);
    if (16 + offset + length > data.size() || length % 2) return std::nullopt;
    std::u16string name;
    for (std::size_t i = 0; i < length; i += 2) name.push_back(Le16(&data[16 + offset + i]));
    if (name.substr(0, 4) != u"\\??\\") return std::nullopt;
    ParsedPath target;
    if (ParseFullPath(Utf16ToAnsi(name.substr(4)), false, target) != ERROR_SUCCESS ||
        target.kind != PathKind::Drive)
        return std::nullopt;
    for (const std::string& c : target.components)
        if (c == "." || c == "..") return std::nullopt;
    return target;
}

bool IsDirectoryOnHost(const std::string& host) {
    struct stat st;
    return ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Walks the components from the drive's root, following every reparse point
// on the way (and the last component's when followFinal).
DWORD Walk(char drive, std::vector<std::string> pending, bool followFinal, Location& out) {
    int hops = 0;
    // Mount points are small; the kernel zeroes a buffer of the size asked
    // for, so the full 16 KB is only asked for when they do not fit.
    std::uint8_t small[1024];
    std::vector<std::uint8_t> large;
    bool refreshed = false;
    auto watched = [&refreshed](const std::string& dir) {
        if (!std::exchange(refreshed, true)) g_watched.Refresh();
        return g_watched.Contains(dir);
    };
restart:
    std::string driveHost = DriveHostPath(drive);
    std::string host = driveHost;
    bool remembered = Remembering() && g_resolved.generation == g_generation && g_resolved.driveHost == driveHost;
    if (!remembered && !watched(host)) {
        if (!IsDirectoryOnHost(host)) return QueryDrive(drive).exists ? ERROR_NOT_READY : ERROR_PATH_NOT_FOUND;
        g_watched.Add(host);
    }
    std::size_t known = 0;
    std::vector<std::size_t> ends;
    if (remembered) {
        const std::vector<std::string>& plain = g_resolved.components;
        while (known < pending.size() && known < plain.size() && pending[known] == plain[known]) ++known;
        if (known) {
            host.assign(g_resolved.host, 0, g_resolved.ends[known - 1]);
            ends.assign(g_resolved.ends.begin(), g_resolved.ends.begin() + static_cast<std::ptrdiff_t>(known));
        }
    }
    for (std::size_t i = known; i < pending.size(); ++i) {
        host += '/';
        AppendAnsiAsUtf8(host, pending[i]);
        ends.push_back(host.size());
        bool last = i + 1 == pending.size();
        if (last && !followFinal) break;
        if (const WIN32_FIND_DATAA* entry = KnownEntry(host);
            entry && !(entry->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (!last && watched(host)) continue;
        const std::uint8_t* bytes = small;
        ssize_t n = ::lgetxattr(host.c_str(), kReparseAttr, small, sizeof small);
        if (n < 0 && errno == ERANGE) {
            large.resize(kMaxReparseSize);
            bytes = large.data();
            n = ::lgetxattr(host.c_str(), kReparseAttr, large.data(), large.size());
        }
        if (n < 0) {
            if (errno == ENODATA || errno == ENOTSUP) {
                if (!last) g_watched.Add(host);
                continue;
            }
            if (errno == ENOENT) return last ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
            return ErrnoToWin32(errno, ERROR_PATH_NOT_FOUND);
        }
        if (++hops > kMaxReparseHops) return ERROR_CANT_RESOLVE_FILENAME;
        std::vector<std::uint8_t> data(bytes, bytes + n);
        if (data.size() < 4 || Le32(data.data()) != kMountPointTag) return ERROR_CANT_ACCESS_FILE;
        std::optional<ParsedPath> target = MountPointTarget(data);
        if (!target) return ERROR_PATH_NOT_FOUND;
        std::vector<std::string> rest = std::move(target->components);
        rest.insert(rest.end(), pending.begin() + static_cast<std::ptrdiff_t>(i) + 1, pending.end());
        pending = std::move(rest);
        drive = target->drive;
        goto restart;
    }
    out.host = std::move(host);
    out.drive = drive;
    out.isRoot = pending.empty();
    if (Remembering()) {
        if (!followFinal && !pending.empty()) {
            pending.pop_back();
            ends.pop_back();
        }
        g_resolved = {g_generation, std::move(driveHost), std::move(pending), out.host, std::move(ends)};
    }
    return ERROR_SUCCESS;
}

DWORD ParseName(std::string_view name, std::size_t lengthLimit, std::string& full, ParsedPath& parsed) {
    // File calls take "\\?\" names literally; only GetFullPathNameA normalizes them.
    bool verbatim = name.substr(0, 4) == "\\\\?\\";
    DWORD e = verbatim ? ERROR_SUCCESS : FullPathName(name, CurrentDirectory(), full);
    if (verbatim) full = std::string(name);
    if (e != ERROR_SUCCESS) return e;
    e = ParseFullPath(full, false, parsed);
    if (e != ERROR_SUCCESS) return e;
    if (parsed.kind == PathKind::Unc) return ERROR_BAD_NETPATH;
    if (parsed.kind == PathKind::Device) return ERROR_FILE_NOT_FOUND;
    if (!verbatim && full.size() >= lengthLimit) return ERROR_FILENAME_EXCED_RANGE;
    for (const std::string& c : parsed.components)
        if (c == "." || c == "..") return ERROR_INVALID_NAME;
    return ERROR_SUCCESS;
}

bool Matches(FaultRule& rule, std::string_view call, std::string_view path, int position) {
    if (rule.call.empty()) return position == rule.occurrence;
    if (rule.call != call) return false;
    if (!rule.pathPrefix.empty()) return path.substr(0, rule.pathPrefix.size()) == rule.pathPrefix;
    ++rule.seen;
    return rule.occurrence == 0 || rule.seen == rule.occurrence;
}

int g_position = 0;  // injectable calls since the last FailNthCall

}  // namespace

void SetError(DWORD error) { g_lastError = error; }

bool Enter(std::string_view call, std::string_view path) {
    Accounting& a = Calls();
    auto it = a.counts.find(call);
    if (it == a.counts.end()) it = a.counts.emplace(std::string(call), 0).first;
    ++it->second;
    if (a.logging) a.log.emplace_back(call);
    ++g_position;
    for (FaultRule& rule : a.rules) {
        if (Matches(rule, call, path, g_position)) {
            SetError(rule.error);
            return true;
        }
    }
    return false;
}

std::string SimRoot() {
    const char* root = std::getenv("TARSIO_SIM_ROOT");
    return root ? root : "";
}

std::string CurrentDirectory() {
    // Every name is resolved against it: resolve the variable once per value.
    static std::string lastValue, lastFull = "C:\\";
    const char* cwd = std::getenv("TARSIO_SIM_CWD");
    if (!cwd || !*cwd) return "C:\\";
    if (lastValue != cwd) {
        std::string full;
        lastValue = cwd;
        lastFull = FullPathName(cwd, "C:\\", full) == ERROR_SUCCESS ? full : "C:\\";
    }
    return lastFull;
}

std::string DriveHostPath(char letter) { return SimRoot() + "/" + letter; }

namespace {

// The drive's .drive file, when there is one.
std::optional<std::string> ReadDriveFile(const std::string& root, char letter) {
    int fd = ::open((root + "/" + letter + ".drive").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char chunk[256];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}

}  // namespace

std::string DriveFileSystem(char letter) {
    std::string root = SimRoot();
    if (root.empty() || letter < 'A' || letter > 'Z') return {};
    std::optional<std::string> text = ReadDriveFile(root, letter);
    std::istringstream drive(text ? *text : std::string());
    std::string type, fs;
    return drive >> type >> fs ? fs : "NTFS";
}

DriveInfo QueryDrive(char letter) {
    DriveInfo info;
    std::string root = SimRoot();
    if (root.empty() || letter < 'A' || letter > 'Z') return info;
    info.hasMedium = IsDirectoryOnHost(DriveHostPath(letter));
    std::optional<std::string> text = ReadDriveFile(root, letter);
    std::istringstream drive(text ? *text : std::string());
    info.exists = info.hasMedium || text.has_value();
    info.type = info.exists ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
    info.fileSystem = "NTFS";
    std::string type, fs;
    if (drive >> type) {
        static const std::map<std::string, UINT> kTypes = {{"fixed", DRIVE_FIXED},   {"removable", DRIVE_REMOVABLE},
                                                           {"remote", DRIVE_REMOTE}, {"cdrom", DRIVE_CDROM},
                                                           {"ramdisk", DRIVE_RAMDISK}};
        auto it = kTypes.find(type);
        info.type = it == kTypes.end() ? DRIVE_UNKNOWN : it->second;
        if (drive >> fs) info.fileSystem = fs;
    }
    return info;
}

DWORD Locate(std::string_view name, bool followFinal, Location& out) {
    ParsedPath parsed;
    DWORD e = ParseName(name, MAX_PATH, out.full, parsed);
    if (e != ERROR_SUCCESS) return e;
    return Walk(parsed.drive, std::move(parsed.components), followFinal, out);
}

DWORD LocateForCreate(std::string_view name, std::size_t lengthLimit, Location& out) {
    ParsedPath parsed;
    DWORD e = ParseName(name, lengthLimit, out.full, parsed);
    if (e != ERROR_SUCCESS) return e;
    if (parsed.components.empty()) return Walk(parsed.drive, {}, true, out);
    std::string last = parsed.components.back();
    parsed.components.pop_back();
    e = Walk(parsed.drive, std::move(parsed.components), true, out);
    if (e == ERROR_FILE_NOT_FOUND) e = ERROR_PATH_NOT_FOUND;
    if (e != ERROR_SUCCESS) return e;
    out.host += '/';
    out.host += AnsiToUtf8(last);
    out.isRoot = false;
    return ERROR_SUCCESS;
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

HANDLE AddFile(FileObject object) {
    HandleTable& t = Handles();
    std::uintptr_t h = t.next;
    t.next += 4;
    t.files.emplace(h, std::move(object));
    return reinterpret_cast<HANDLE>(h);
}

HANDLE AddListing(Listing listing) {
    HandleTable& t = Handles();
    std::uintptr_t h = t.next;
    t.next += 4;
    t.listings.emplace(h, std::move(listing));
    return reinterpret_cast<HANDLE>(h);
}

FileObject* FindFile(HANDLE h) {
    auto& files = Handles().files;
    auto it = files.find(reinterpret_cast<std::uintptr_t>(h));
    return it == files.end() ? nullptr : &it->second;
}

Listing* FindListing(HANDLE h) {
    auto& listings = Handles().listings;
    auto it = listings.find(reinterpret_cast<std::uintptr_t>(h));
    return it == listings.end() ? nullptr : &it->second;
}

bool RemoveFile(HANDLE h) { return Handles().files.erase(reinterpret_cast<std::uintptr_t>(h)) > 0; }

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

const WIN32_FIND_DATAA* KnownEntry(std::string_view host) {
    if (const WIN32_FIND_DATAA* listed = ListedDirectory(host)) return listed;
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
    bool newRead = access & GENERIC_READ, newWrite = access & GENERIC_WRITE;
    for (const auto& [h, o] : Handles().files) {
        if (o.dev != dev || o.ino != ino) continue;
        bool oldRead = o.access & GENERIC_READ, oldWrite = o.access & GENERIC_WRITE;
        if ((newRead && !(o.share & FILE_SHARE_READ)) || (newWrite && !(o.share & FILE_SHARE_WRITE))) return false;
        if ((oldRead && !(share & FILE_SHARE_READ)) || (oldWrite && !(share & FILE_SHARE_WRITE))) return false;
    }
    return true;
}

bool DeleteBlocked(const std::string& host) {
    struct stat st;
    if (::lstat(host.c_str(), &st) != 0) return false;
    for (const auto& [h, o] : Handles().files) {
        if (o.dev == st.st_dev && o.ino == st.st_ino && (o.access & (GENERIC_READ | GENERIC_WRITE)) &&
            !(o.share & FILE_SHARE_DELETE))
            return true;
    }
    return false;
}

int OpenHandleCount() { return static_cast<int>(Handles().files.size() + Handles().listings.size()); }

void FailCall(std::string_view call, int occurrence, DWORD error) {
    Calls().rules.push_back(FaultRule{std::string(call), occurrence, {}, error, 0});
}

void FailCallOnPath(std::string_view call, std::string_view pathPrefix, DWORD error) {
    Calls().rules.push_back(FaultRule{std::string(call), 0, std::string(pathPrefix), error, 0});
}

void FailNthCall(int n, DWORD error) {
    g_position = 0;
    Calls().rules.push_back(FaultRule{{}, n, {}, error, 0});
}

void ClearFaults() { Calls().rules.clear(); }

void ResetCallLog() {
    Accounting& a = Calls();
    a.counts.clear();
    a.log.clear();
    a.logging = true;
}

std::vector<std::string> CallLog() { return Calls().log; }

std::size_t CallCount(std::string_view call) {
    auto it = Calls().counts.find(call);
    return it == Calls().counts.end() ? 0 : it->second;
}

}  // namespace sim

namespace os {

void SetLastError(DWORD error) { sim::SetError(error); }
DWORD GetLastError() { return sim::g_lastError; }

}  // namespace os
