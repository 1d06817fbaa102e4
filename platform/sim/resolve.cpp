// Name resolution of the simulated platform: a Win32 name to its place on
// the host, through the mount points on its way.

#include <sys/inotify.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <unordered_set>
#include <utility>

#include "platform/sim/codepage.h"
#include "platform/sim/core.h"
#include "platform/sim/le.h"

namespace sim {
namespace {

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
        int wd = ::inotify_add_watch(fd_, HostArg(host).c_str(), kMask);
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
    if (ParseFullPath(Utf16ToUtf8(name.substr(4)), false, target) != ERROR_SUCCESS || target.kind != PathKind::Drive)
        return std::nullopt;
    for (const std::string& c : target.components)
        if (c == "." || c == "..") return std::nullopt;
    return target;
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
    const char* reparseAttr = ReparseAttrName(DriveBacking(drive));
    bool remembered = Remembering() && g_resolved.generation == Generation() && g_resolved.driveHost == driveHost;
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
        host += pending[i];
        ends.push_back(host.size());
        bool last = i + 1 == pending.size();
        if (last && !followFinal) break;
        if (const Entry* entry = KnownEntry(host); entry && !(entry->attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (!last && watched(host)) continue;
        const std::uint8_t* bytes = small;
        ssize_t n = ::lgetxattr(HostArg(host).c_str(), reparseAttr, small, sizeof small);
        if (n < 0 && DoesNotFit(errno)) {
            large.resize(kMaxReparseSize);
            bytes = large.data();
            n = ::lgetxattr(HostArg(host).c_str(), reparseAttr, large.data(), large.size());
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
        g_resolved = {Generation(), std::move(driveHost), std::move(pending), out.host, std::move(ends)};
    }
    return ERROR_SUCCESS;
}

// A volume's name "\\?\Volume{…}\..." as the name on the drive that the host
// entry DIR/Volume{…} (a symbolic link to the drive's folder, DIR/X) leads
// to: "\\?\X:\...". nullopt for any other name.
std::optional<std::string> OnVolumeDrive(std::string_view full) {
    if (!full.starts_with("\\\\?\\Volume{")) return std::nullopt;
    const std::size_t end = full.find('\\', 4);
    if (end == std::string_view::npos || full[end - 1] != '}') return std::nullopt;
    char letter[2];
    if (::readlink((SimRoot() + "/" + std::string(full.substr(4, end - 4))).c_str(), letter, sizeof letter) != 1 ||
        letter[0] < 'A' || letter[0] > 'Z')
        return std::nullopt;
    return "\\\\?\\" + std::string(1, letter[0]) + ":" + std::string(full.substr(end));
}

// Makes `name` full (a "\\?\" name as it is) and splits it, holding it to
// the limits of the call that was given it.
DWORD ParseName(const Name& name, std::string& full, ParsedPath& parsed) {
    if (name.error != ERROR_SUCCESS) return name.error;
    // File calls take "\\?\" names literally; only GetFullPathName normalizes them.
    const bool verbatim = name.text.starts_with("\\\\?\\");
    DWORD e = verbatim ? ERROR_SUCCESS : FullPathName(name.text, CurrentDirectory(), full);
    if (verbatim) full = OnVolumeDrive(name.text).value_or(name.text);
    if (e != ERROR_SUCCESS) return e;
    e = ParseFullPath(full, false, parsed, verbatim);
    if (e != ERROR_SUCCESS) return e;
    if (parsed.kind == PathKind::Unc) return ERROR_BAD_NETPATH;
    if (parsed.kind == PathKind::Device) return ERROR_FILE_NOT_FOUND;
    // The limits count UTF-16 code units, never more than the bytes of UTF-8.
    const std::size_t limit = verbatim ? name.verbatimLimit : name.limit;
    if (full.size() >= limit && Utf16Length(full) >= limit) return ERROR_FILENAME_EXCED_RANGE;
    for (const std::string& c : parsed.components) {
        if (c == "." || c == "..") return ERROR_INVALID_NAME;
        // NTFS holds no longer component; Windows reports STATUS_OBJECT_NAME_INVALID.
        if (c.size() > kMaxComponentUnits && Utf16Length(c) > kMaxComponentUnits) return ERROR_INVALID_NAME;
    }
    return ERROR_SUCCESS;
}

}  // namespace

std::optional<Name> FromAnsi(LPCSTR name, std::size_t limit) {
    if (!name) return std::nullopt;
    return Name{AnsiToUtf8(name), limit, MAX_PATH};
}

std::optional<Name> FromWide(LPCWSTR name, std::size_t limit) {
    if (!name) return std::nullopt;
    bool invalid = false;
    Name result{Utf16ToUtf8(name, &invalid), limit, kMaxNameUnits};
    // An unpaired surrogate has no host form.
    if (invalid) result.error = ERROR_INVALID_NAME;
    return result;
}

DWORD Locate(const Name& name, bool followFinal, Location& out) {
    ParsedPath parsed;
    DWORD e = ParseName(name, out.full, parsed);
    if (e != ERROR_SUCCESS) return e;
    return Walk(parsed.drive, std::move(parsed.components), followFinal, out);
}

DWORD LocateForCreate(const Name& name, Location& out) {
    ParsedPath parsed;
    DWORD e = ParseName(name, out.full, parsed);
    if (e != ERROR_SUCCESS) return e;
    if (parsed.components.empty()) return Walk(parsed.drive, {}, true, out);
    std::string last = parsed.components.back();
    parsed.components.pop_back();
    e = Walk(parsed.drive, std::move(parsed.components), true, out);
    if (e == ERROR_FILE_NOT_FOUND) e = ERROR_PATH_NOT_FOUND;
    if (e != ERROR_SUCCESS) return e;
    out.host += '/';
    out.host += last;
    out.isRoot = false;
    return ERROR_SUCCESS;
}

}  // namespace sim
