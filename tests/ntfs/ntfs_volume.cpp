#include "tests/ntfs/ntfs_volume.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace tarsio::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kPrefix = "tarsio-ntfs-";
constexpr const char* kToolPath = "PATH=\"$PATH:/usr/sbin:/sbin\" ";

// The mount point of this process, for the signal handlers: a test that
// crashes or is stopped detaches its volume on the way out.
char g_mounted[4096];

void DetachAndRaise(int sig) {
    if (g_mounted[0]) ::umount2(g_mounted, MNT_DETACH);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

void InstallHandlers() {
    static bool installed = false;
    if (std::exchange(installed, true)) return;
    for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGINT, SIGTERM, SIGHUP}) ::signal(sig, DetachAndRaise);
}

// Whether `dir` is the root of a mount other than its parent's.
bool IsMountPoint(const std::string& dir) {
    struct stat self, parent;
    return ::stat(dir.c_str(), &self) == 0 && ::stat((dir + "/..").c_str(), &parent) == 0 &&
           self.st_dev != parent.st_dev;
}

// Volumes left mounted by test processes that are gone (killed by a
// timeout, say) are detached, and their folders removed.
void SweepStaleVolumes() {
    std::ifstream mounts("/proc/self/mounts");
    std::string device, point, rest;
    const std::string temp = fs::temp_directory_path().string() + "/" + kPrefix;
    while (mounts >> device >> point && std::getline(mounts, rest)) {
        if (point.compare(0, temp.size(), temp) != 0) continue;
        pid_t owner = static_cast<pid_t>(std::strtol(point.c_str() + temp.size(), nullptr, 10));
        if (owner <= 0 || ::kill(owner, 0) == 0 || errno != ESRCH) continue;
        ::umount2(point.c_str(), MNT_DETACH);
    }
    std::error_code e;
    for (fs::directory_iterator it(fs::temp_directory_path(), e), end; !e && it != end; it.increment(e)) {
        std::string name = it->path().filename().string();
        if (name.compare(0, std::strlen(kPrefix), kPrefix) != 0) continue;
        pid_t owner = static_cast<pid_t>(std::strtol(name.c_str() + std::strlen(kPrefix), nullptr, 10));
        if (owner <= 0 || ::kill(owner, 0) == 0 || errno != ESRCH || IsMountPoint(it->path() / "C")) continue;
        std::error_code ignored;
        fs::remove_all(it->path(), ignored);
    }
}

// The host form of a path below the drive: the process code page is UTF-8,
// as the host's names are, so only the separators change.
std::string HostName(std::string_view ansi) {
    std::string out(ansi);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

}  // namespace

ToolResult RunTool(const std::string& commandLine) {
    ToolResult result;
    FILE* pipe = ::popen((kToolPath + commandLine + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
    int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quoted(std::string_view path) {
    std::string q = "'";
    for (char c : path) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

NtfsVolume::NtfsVolume() {
    InstallHandlers();
    SweepStaleVolumes();
    int fuse = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fuse < 0) {
        Fail(std::string("FUSE is missing: /dev/fuse cannot be opened (") + std::strerror(errno) +
             "). These tests mount an NTFS image with ntfs-3g, which needs FUSE; they cannot run without it.");
        return;
    }
    ::close(fuse);
    for (const char* tool : {"mkntfs", "ntfs-3g", "ntfsinfo", "ntfscat", "fusermount"}) {
        if (RunTool(std::string("command -v ") + tool).status != 0) {
            Fail(std::string(tool) +
                 " is not installed: the NTFS volume tests need the package ntfs-3g "
                 "(scripts/setup installs it).");
            return;
        }
    }
    std::string pattern = (fs::temp_directory_path() / (kPrefix + std::to_string(::getpid()) + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) {
        Fail("mkdtemp failed");
        return;
    }
    root_ = buffer.data();
    mount_ = root_ + "/C";
    image_ = root_ + "/volume.img";
    fs::create_directory(mount_);
    std::ofstream(root_ + "/C.drive") << "fixed NTFS ntfs-3g\n";
    { std::ofstream image(image_); }
    fs::resize_file(image_, 32 << 20);
    ToolResult made = RunTool("mkntfs -F -Q -q " + Quoted(image_));
    if (made.status != 0) {
        Fail("mkntfs failed: " + made.out);
        return;
    }
    ::setenv("TARSIO_SIM_ROOT", root_.c_str(), 1);
    ::setenv("TARSIO_SIM_CWD", "C:\\", 1);
    Mount();
}

NtfsVolume::~NtfsVolume() {
    if (mounted_) Unmount();
    if (!root_.empty() && IsMountPoint(mount_)) ::umount2(mount_.c_str(), MNT_DETACH);
    if (daemon_ > 0) {
        ::kill(daemon_, SIGTERM);
        ::waitpid(daemon_, nullptr, 0);
    }
    g_mounted[0] = 0;
    // Never removes files through a volume still mounted.
    if (!root_.empty() && !IsMountPoint(mount_)) {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    ::unsetenv("TARSIO_SIM_ROOT");
    ::unsetenv("TARSIO_SIM_CWD");
}

bool NtfsVolume::Fail(std::string problem) {
    problem_ = std::move(problem);
    return false;
}

bool NtfsVolume::Mount() {
    if (mounted_) return true;
    // In the foreground (no_detach), so that Unmount can wait for its end:
    // ntfs-3g writes the image out after the unmount has returned.
    std::string log = root_ + "/ntfs-3g.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::string program = "ntfs-3g", options = "no_detach";
    std::vector<char*> argv = {program.data(), const_cast<char*>("-o"), options.data(),
                               image_.data(),  mount_.data(),           nullptr};
    int spawned = ::posix_spawnp(&daemon_, "ntfs-3g", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        daemon_ = -1;
        return Fail(std::string("ntfs-3g could not be started: ") + std::strerror(spawned));
    }
    for (auto waited = 0ms; waited < 20s; waited += 10ms) {
        if (IsMountPoint(mount_)) {
            std::snprintf(g_mounted, sizeof g_mounted, "%s", mount_.c_str());
            return mounted_ = true;
        }
        if (::waitpid(daemon_, nullptr, WNOHANG) == daemon_) break;
        std::this_thread::sleep_for(10ms);
    }
    std::ifstream in(log);
    std::stringstream said;
    said << in.rdbuf();
    if (::waitpid(daemon_, nullptr, WNOHANG) == 0) {
        ::kill(daemon_, SIGTERM);
        ::waitpid(daemon_, nullptr, 0);
    }
    daemon_ = -1;
    return Fail("ntfs-3g did not mount the image: " + said.str());
}

bool NtfsVolume::Unmount() {
    if (!mounted_) return true;
    ToolResult r{};
    for (int attempt = 0; attempt < 50; ++attempt) {
        r = RunTool("fusermount -u " + Quoted(mount_));
        if (r.status == 0 || !IsMountPoint(mount_)) break;
        r = RunTool("umount " + Quoted(mount_));
        if (r.status == 0 || !IsMountPoint(mount_)) break;
        std::this_thread::sleep_for(100ms);  // busy: a look at it is still under way
    }
    if (IsMountPoint(mount_)) return Fail("the volume could not be unmounted: " + r.out);
    mounted_ = false;
    g_mounted[0] = 0;
    int status = 0;
    ::waitpid(daemon_, &status, 0);
    daemon_ = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return Fail("ntfs-3g did not end cleanly");
    return true;
}

std::string NtfsVolume::HostPath(std::string_view windowsPath) const {
    std::string host = mount_ + HostName(windowsPath.substr(2));
    while (host.size() > mount_.size() && host.back() == '/') host.pop_back();
    return host;
}

std::string NtfsVolume::VolumePath(std::string_view windowsPath) {
    std::string path = HostName(windowsPath.substr(2));
    return path.empty() ? "/" : path;
}

}  // namespace tarsio::test
