// Drives of the simulated platform: the root folder, the drive files and
// the current directory.

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

#include "platform/sim/core.h"

namespace sim {

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

namespace {

// What a drive file says: "TYPE FSNAME [BACKING]".
struct DriveFile {
    std::string type, fileSystem = "NTFS";
    Backing backing = Backing::Xattr;
};

DriveFile ParseDriveFile(const std::optional<std::string>& text) {
    DriveFile file;
    std::istringstream words(text ? *text : std::string());
    std::string fs, backing;
    if (words >> file.type >> fs) file.fileSystem = fs;
    if (words >> backing && backing == "ntfs-3g") file.backing = Backing::Ntfs3g;
    return file;
}

// The backing of each drive of the root, as its drive file said when read
// last: every entry examined asks for it, so it is not read again each time.
struct BackingCache {
    std::string root;
    std::array<std::optional<Backing>, 26> drives;
};
BackingCache g_backings;

void Remember(const std::string& root, char letter, Backing backing) {
    if (g_backings.root != root) g_backings = {root, {}};
    g_backings.drives[static_cast<std::size_t>(letter - 'A')] = backing;
}

}  // namespace

std::string DriveFileSystem(char letter) {
    std::string root = SimRoot();
    if (root.empty() || letter < 'A' || letter > 'Z') return {};
    DriveFile file = ParseDriveFile(ReadDriveFile(root, letter));
    Remember(root, letter, file.backing);
    return file.fileSystem;
}

DriveInfo QueryDrive(char letter) {
    DriveInfo info;
    std::string root = SimRoot();
    if (root.empty() || letter < 'A' || letter > 'Z') return info;
    info.hasMedium = IsDirectoryOnHost(DriveHostPath(letter));
    std::optional<std::string> text = ReadDriveFile(root, letter);
    DriveFile file = ParseDriveFile(text);
    Remember(root, letter, file.backing);
    info.exists = info.hasMedium || text.has_value();
    info.type = info.exists ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
    info.fileSystem = file.fileSystem;
    info.backing = file.backing;
    if (!file.type.empty()) {
        static const std::map<std::string, UINT> kTypes = {{"fixed", DRIVE_FIXED},
                                                           {"removable", DRIVE_REMOVABLE},
                                                           {"remote", DRIVE_REMOTE},
                                                           {"cdrom", DRIVE_CDROM},
                                                           {"ramdisk", DRIVE_RAMDISK}};
        auto it = kTypes.find(file.type);
        info.type = it == kTypes.end() ? DRIVE_UNKNOWN : it->second;
    }
    return info;
}

Backing DriveBacking(char letter) {
    std::string root = SimRoot();
    if (root.empty() || letter < 'A' || letter > 'Z') return Backing::Xattr;
    if (g_backings.root == root) {
        if (std::optional<Backing> known = g_backings.drives[static_cast<std::size_t>(letter - 'A')]) return *known;
    }
    DriveFileSystem(letter);
    return *g_backings.drives[static_cast<std::size_t>(letter - 'A')];
}

Backing BackingOfHost(std::string_view host) {
    const char* root = std::getenv("TARSIO_SIM_ROOT");
    std::size_t n = root ? std::strlen(root) : 0;
    if (n == 0 || host.size() < n + 2 || host.compare(0, n, root) != 0 || host[n] != '/') return Backing::Xattr;
    if (host.size() > n + 2 && host[n + 2] != '/') return Backing::Xattr;
    return DriveBacking(host[n + 1]);
}

}  // namespace sim
