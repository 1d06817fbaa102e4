// Drives of the simulated platform: the root folder, the drive files and
// the current directory.

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
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

}  // namespace sim
