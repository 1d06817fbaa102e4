#pragma once
// A small NTFS volume for one test: an image made with mkntfs, mounted with
// ntfs-3g in a new temporary folder, whose drive C: is the volume's root
// (the simulated platform's ntfs-3g backing). The volume is unmounted on
// every path: at the end of the test, when it fails, and, for a process
// that dies, by the next process that makes a volume.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace tarsio::test {

struct ToolResult {
    int status = -1;  // exit status, -1 when the tool could not be run
    std::string out;  // standard output and error
};

// Runs a shell command line, capturing what it prints.
ToolResult RunTool(const std::string& commandLine);

// A path quoted for the shell.
std::string Quoted(std::string_view path);

class NtfsVolume {
public:
    // Makes and mounts the volume; on failure Ready() is false and Problem()
    // says why (FUSE missing, ntfs-3g not installed, a tool failed).
    NtfsVolume();
    ~NtfsVolume();
    NtfsVolume(const NtfsVolume&) = delete;
    NtfsVolume& operator=(const NtfsVolume&) = delete;

    bool Ready() const { return mounted_; }
    const std::string& Problem() const { return problem_; }

    // Unmounts, waiting until ntfs-3g has written the image and exited.
    bool Unmount();
    bool Mount();

    const std::string& Image() const { return image_; }
    // Host path of a Windows path on C:.
    std::string HostPath(std::string_view windowsPath) const;
    // The volume's own path ("/a/b") of a Windows path on C:, for the
    // ntfsprogs tools, which read the image while it is not mounted.
    static std::string VolumePath(std::string_view windowsPath);

private:
    bool Fail(std::string problem);

    std::string root_;   // the simulated root: C (the mount point), C.drive, the image
    std::string mount_;  // root_/C
    std::string image_;
    std::string problem_;
    pid_t daemon_ = -1;  // ntfs-3g, kept in the foreground so that its end can be awaited
    bool mounted_ = false;
};

}  // namespace tarsio::test
