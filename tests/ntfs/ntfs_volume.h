#pragma once
// A small NTFS volume for one test: an image made with mkntfs, mounted with
// ntfs-3g in a new temporary folder, whose drive C: is the volume's root
// (the simulated platform's ntfs-3g backing). The volume is unmounted at the
// end of the test; one left mounted by a process that died (killed at a
// timeout, say) is detached by the next process that makes a volume.

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "tests/support/scratch.h"

namespace tarsio::test {

struct ToolResult {
    int status = -1;  // exit status, -1 when the tool could not be run
    std::string out;  // standard output and error
};

// Runs a shell command line, capturing what it prints.
inline ToolResult RunTool(const std::string& commandLine) {
    ToolResult result;
    FILE* pipe = ::popen(("export PATH=\"$PATH:/usr/sbin:/sbin\"; " + commandLine + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// A path quoted for the shell.
inline std::string Quoted(std::string_view path) {
    std::string q = "'";
    for (char c : path) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class NtfsVolume {
public:
    NtfsVolume() : problem_(Make()) {}
    ~NtfsVolume() {
        Unmount();
        // The area is removed next: never through a volume still mounted.
        if (IsMountPoint(mount_)) ::umount2(mount_.c_str(), MNT_DETACH);
        Stop();
    }
    NtfsVolume(const NtfsVolume&) = delete;
    NtfsVolume& operator=(const NtfsVolume&) = delete;

    // Why the volume could not be made and mounted (FUSE missing, ntfs-3g
    // not installed); empty once it is.
    const std::string& Problem() const { return problem_; }

    // Mount and Unmount return what went wrong, or nothing. Unmount waits
    // until ntfs-3g has written the image out and exited, which it does
    // after the unmount has returned: ntfs-3g runs in the foreground
    // (no_detach) for that.
    std::string Mount() {
        if (IsMountPoint(mount_)) return "";
        const std::string log = area_.HostRoot() + "/ntfs-3g.log";
        if ((daemon_ = ::fork()) == 0) {
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
            ::execlp("ntfs-3g", "ntfs-3g", "-o", "no_detach", image_.c_str(), mount_.c_str(), nullptr);
            ::_exit(127);
        }
        using namespace std::chrono_literals;
        for (auto waited = 0ms; waited < 20s && daemon_ > 0; waited += 10ms) {
            if (IsMountPoint(mount_)) return "";
            if (::waitpid(daemon_, nullptr, WNOHANG) == daemon_) break;
            std::this_thread::sleep_for(10ms);
        }
        Stop();
        return "ntfs-3g did not mount the image: " + RunTool("cat " + Quoted(log)).out;
    }
    std::string Unmount() {
        ToolResult r;
        // Busy while a look at it is still under way: tried again.
        for (int attempt = 0; attempt < 50 && IsMountPoint(mount_); ++attempt) {
            r = RunTool("fusermount -u " + Quoted(mount_) + " || umount " + Quoted(mount_));
            if (r.status != 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (IsMountPoint(mount_)) return "the volume could not be unmounted: " + r.out;
        int status = 0;
        if (daemon_ > 0) ::waitpid(std::exchange(daemon_, -1), &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "ntfs-3g did not end cleanly";
    }

    const std::string& Image() const { return image_; }
    // Host path of a Windows path on C:.
    std::string HostPath(std::string_view windowsPath) const { return area_.HostPath(windowsPath); }
    // The volume's own path ("/a/b") of a Windows path on C:, for the
    // ntfsprogs tools, which read the image while it is not mounted. The
    // process code page is UTF-8, as the host's names are: only the
    // separators change.
    static std::string VolumePath(std::string_view windowsPath) {
        std::string path(windowsPath.substr(2));
        std::replace(path.begin(), path.end(), '\\', '/');
        return path.empty() ? "/" : path;
    }

private:
    static constexpr std::string_view kPrefix = "tarsio-ntfs-";  // then the owner's process id

    // Whether `dir` is the root of a mount other than its parent's.
    static bool IsMountPoint(const std::filesystem::path& dir) {
        struct stat self, parent;
        return ::stat(dir.c_str(), &self) == 0 && ::stat((dir / "..").c_str(), &parent) == 0 &&
               self.st_dev != parent.st_dev;
    }

    // Volumes of test processes that are gone are detached, their folders removed.
    static void SweepStaleVolumes() {
        std::error_code e, ignored;
        for (std::filesystem::directory_iterator it(std::filesystem::temp_directory_path(), e), end; !e && it != end;
             it.increment(e)) {
            const std::string name = it->path().filename().string();
            if (!name.starts_with(kPrefix)) continue;
            const pid_t owner = static_cast<pid_t>(std::atol(name.c_str() + kPrefix.size()));
            if (owner <= 0 || ::kill(owner, 0) == 0 || errno != ESRCH) continue;
            ::umount2((it->path() / "C").c_str(), MNT_DETACH);
            if (!IsMountPoint(it->path() / "C")) std::filesystem::remove_all(it->path(), ignored);
        }
    }

    // Makes the image and mounts it; returns what went wrong, or nothing.
    std::string Make() {
        SweepStaleVolumes();
        std::ofstream(area_.HostRoot() + "/C.drive") << "fixed NTFS ntfs-3g\n";
        const ToolResult made = RunTool("truncate -s 32M " + Quoted(image_) + " && mkntfs -F -Q -q " +
                                        Quoted(image_));
        return made.status != 0 ? "mkntfs failed: " + made.out : Mount();
    }

    // Ends ntfs-3g where it still runs.
    void Stop() {
        if (daemon_ > 0 && ::waitpid(daemon_, nullptr, WNOHANG) == 0) {
            ::kill(daemon_, SIGTERM);
            ::waitpid(daemon_, nullptr, 0);
        }
        daemon_ = -1;
    }

    // The simulated root: C (the mount point), C.drive, the image.
    Scratch area_{std::string(kPrefix) + std::to_string(::getpid()) + "-"};
    std::string mount_ = area_.HostRoot() + "/C", image_ = area_.HostRoot() + "/volume.img";
    pid_t daemon_ = -1;    // ntfs-3g
    std::string problem_;  // last: made by Make(), which needs the members above
};

}  // namespace tarsio::test
