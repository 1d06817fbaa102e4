#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/paths.h"
#include "platform/unique_handle.h"

#ifdef _WIN32
#include <atomic>
#else
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/sim/sim.h"
#endif

namespace tarsio::test {

void WriteFileAt(const std::string& path, std::string_view bytes) {
    UniqueHandle file(
        paths::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.valid()) << path << " error " << os::GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(os::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
}

std::string ReadFileAt(const std::string& path) {
    UniqueHandle file(paths::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file.valid()) << path << " error " << os::GetLastError();
    std::string text;
    if (!file) return text;
    char buffer[65536];
    DWORD got = 0;
    while (os::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    return text;
}

std::string Deep(std::string path, std::size_t length) {
    while (path.size() + 1 < length) {
        path += '\\';
        path.append(std::min<std::size_t>(length - path.size(), 99), 'd');
    }
    return path;
}

#ifdef _WIN32

namespace {

// Removes a folder tree without entering reparse points. `dir` is a full
// "\\?\" name: names are taken as they are ("a. ") at any depth.
void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(
        paths::FindFirstFileExW(dir + "*", FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (!find) return;
    do {
        std::string name = WideToAnsi(data.cFileName).value_or(".");
        if (name == "." || name == "..") continue;
        std::string path = dir + name;
        paths::SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
        const DWORD attributes = data.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            RemoveTree(path + "\\");
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            paths::RemoveDirectoryW(path);
        else
            paths::DeleteFileW(path);
    } while (os::FindNextFileW(find.get(), &data));
}

}  // namespace

Scratch::Scratch(std::string_view prefix) {
    static std::atomic<int> counter{0};
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    root_ = std::string(temp) + std::string(prefix) + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(counter++) + "\\";
    os::CreateDirectoryA(root_.c_str(), nullptr);
    os::SetCurrentDirectoryA(root_.c_str());
}

Scratch::~Scratch() {
    os::SetCurrentDirectoryA("C:\\");
    RemoveTree("\\\\?\\" + root_);
    os::RemoveDirectoryA(root_.c_str());
}

#else

Scratch::Scratch(std::string_view prefix) {
    hostRoot_ = (std::filesystem::temp_directory_path() / (std::string(prefix) + "sim-XXXXXX")).string();
    if (!::mkdtemp(hostRoot_.data())) throw std::runtime_error("mkdtemp failed");
    std::filesystem::create_directory(hostRoot_ + "/C");
    ::setenv("TARSIO_SIM_ROOT", hostRoot_.c_str(), 1);
    ::setenv("TARSIO_SIM_CWD", "C:\\", 1);
    root_ = "C:\\";
    // A fresh area also starts with no faults and no calls counted, whatever
    // the tests before it in the same process did.
    sim::ClearFaults();
    sim::ResetCallLog();
}

Scratch::~Scratch() {
    std::error_code failed;
    std::filesystem::remove_all(hostRoot_, failed);
    // A tree deeper than the host's longest path (4,096 bytes): rm walks it
    // from directory to directory.
    if (failed) {
        [[maybe_unused]] int status = std::system(("rm -rf '" + hostRoot_ + "'").c_str());
    }
    ::unsetenv("TARSIO_SIM_ROOT");
    ::unsetenv("TARSIO_SIM_CWD");
}

std::string Scratch::HostPath(std::string_view windowsPath) const {
    std::string host = hostRoot_ + "/" + static_cast<char>(std::toupper(windowsPath[0]));
    for (char c : windowsPath.substr(2)) host.push_back(c == '\\' ? '/' : c);
    while (host.size() > hostRoot_.size() + 2 && host.back() == '/') host.pop_back();
    return host;
}

void Scratch::AddDrive(char letter, std::string_view kind, bool medium) const {
    if (medium) std::filesystem::create_directories(hostRoot_ + "/" + letter);
    if (!kind.empty()) std::ofstream(hostRoot_ + "/" + letter + ".drive") << kind << "\n";
}

#endif

std::string Scratch::Path(std::string_view relative) const { return root_ + std::string(relative); }

void Scratch::MakeDir(std::string_view relative) const {
    std::string path = Path(relative);
    ASSERT_TRUE(os::CreateDirectoryA(path.c_str(), nullptr)) << path << " error " << os::GetLastError();
}

void Scratch::WriteFile(std::string_view relative, std::string_view bytes) const {
    WriteFileAt(Path(relative), bytes);
}

std::string Scratch::ReadFile(std::string_view relative) const { return ReadFileAt(Path(relative)); }

std::vector<std::string> Scratch::Names(std::string_view relative) const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(os::FindFirstFileA(Path(std::string(relative) + "*").c_str(), &data));
    if (find) {
        do {
            std::string n = data.cFileName;
            if (n != "." && n != "..") names.push_back(n);
        } while (os::FindNextFileA(find.get(), &data));
    }
    return names;
}

}  // namespace tarsio::test
