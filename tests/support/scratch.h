#pragma once
// A fresh, empty area for one test, named by Windows paths. Natively it is
// a new simulated root whose drive C: is the area (the current directory is
// C:\); under Wine it is a new folder in the temporary directory, which is
// also made the current directory. Files are made and read through the
// platform seam, so the same test runs on both.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os.h"

namespace tarsio::test {

class Scratch {
public:
    // `prefix` begins the name of the area's folder in the temporary directory.
    explicit Scratch(std::string_view prefix = "tarsio-");
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    // The area's path joined with `relative`; Path() ends with a backslash.
    std::string Path(std::string_view relative = {}) const;

    void MakeDir(std::string_view relative) const;
    void WriteFile(std::string_view relative, std::string_view bytes) const;
    std::string ReadFile(std::string_view relative) const;
    // The names in the folder `relative` ("" or ending in a backslash), as listed.
    std::vector<std::string> Names(std::string_view relative = {}) const;

#ifndef _WIN32
    // The host folder that holds the simulated drives.
    const std::string& HostRoot() const { return hostRoot_; }
    // Host path of a Windows path on the simulated drives.
    std::string HostPath(std::string_view windowsPath) const;
    // Adds drive `letter`; `kind` is the .drive file's text ("removable
    // FAT32"), empty for a fixed NTFS drive; without medium no root exists.
    void AddDrive(char letter, std::string_view kind = {}, bool medium = true) const;
#endif

private:
    std::string root_;  // Windows path, with trailing backslash
#ifndef _WIN32
    std::string hostRoot_;
#endif
};

// The error a call left where it failed, ERROR_SUCCESS where it did not.
inline DWORD ErrorLeft(bool succeeded) { return succeeded ? ERROR_SUCCESS : os::GetLastError(); }

// Whole-file helpers through the seam; they fail the test on error.
void WriteFileAt(const std::string& path, std::string_view bytes);
std::string ReadFileAt(const std::string& path);

// `path` with levels of 99 characters ("\ddd...") below it, up to `length`
// characters.
std::string Deep(std::string path, std::size_t length);

// Path lengths the tests reach: past MAX_PATH (260) and the old limit of
// 1,024 characters; natively to near the longest name (32,767), under Wine
// not past its host's limit (a host path of 4,096 bytes).
#ifdef _WIN32
inline constexpr std::size_t kDepths[] = {300, 1100, 2500};
#else
inline constexpr std::size_t kDepths[] = {300, 1100, 2500, 32000};
#endif

}  // namespace tarsio::test
