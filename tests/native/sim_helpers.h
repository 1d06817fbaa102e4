#pragma once
// Host-side looks at the simulated file system, for native tests.

#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/junction.h"
#include "engine/reparse_buffer.h"
#include "listfile/import.h"
#include "platform/os.h"
#include "platform/sim/codepage.h"
#include "platform/sim/core.h"
#include "platform/sim/sim.h"
#include "tests/support/scratch.h"

namespace tarsio::test {

// The bytes stored as a directory's reparse data, or nullopt.
inline std::optional<std::vector<std::uint8_t>> HostReparse(const std::string& host) {
    std::vector<std::uint8_t> buffer(16384);
    ssize_t n = ::lgetxattr(sim::HostArg(host).c_str(), "user.reparse", buffer.data(), buffer.size());
    if (n < 0) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

// Makes `path` with its parents, then a junction of it to `destination`.
inline void Junction(const std::string& path, const std::string& destination) {
    ASSERT_TRUE(ForceDirectories(path)) << path;
    ASSERT_TRUE(CreateJunction(path, destination)) << path << " error " << os::GetLastError();
}

// A host file's bytes; empty when it is missing.
inline std::string HostText(const std::string& host) {
    std::ifstream in(host, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

inline std::vector<std::uint8_t> MountPoint(std::u16string_view name) { return *reparse::BuildMountPoint(name); }

// Gives the host object `host` a reparse point of kind `tag` holding `data`.
inline void HostReparsePoint(const std::string& host, std::uint32_t tag, const std::vector<std::uint8_t>& data = {}) {
    std::vector<std::uint8_t> bytes(8, 0);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(tag >> (8 * i));
    bytes[4] = static_cast<std::uint8_t>(data.size());
    bytes[5] = static_cast<std::uint8_t>(data.size() >> 8);
    bytes.insert(bytes.end(), data.begin(), data.end());
    ASSERT_EQ(::lsetxattr(host.c_str(), "user.reparse", bytes.data(), bytes.size(), 0), 0) << host;
}

// A mount point storing `name` on the host directory `host`, whatever the name.
inline void HostMountPoint(const std::string& host, std::u16string_view name) {
    const std::vector<std::uint8_t> bytes = MountPoint(name);
    HostReparsePoint(host, reparse::kMountPointTag, {bytes.begin() + 8, bytes.end()});
}

// A symbolic link's reparse point (tag 0xA000000C, a flags word, empty
// names) on the host object `host`: a reparse point that is no junction.
inline void HostSymbolicLink(const std::string& host) {
    HostReparsePoint(host, 0xA000000C, std::vector<std::uint8_t>(12));
}

// The native tests' fixture: a fresh simulated drive C:, and no fault or
// legacy code page left behind.
class SimTest : public ::testing::Test {
protected:
    void TearDown() override {
        sim::ClearFaults();
        sim::SetAnsiCodePage(sim::kUtf8CodePage);
    }

    // Imports `text` as C:\list.trs: whether the import had errors, and the list afterwards.
    std::pair<bool, std::string> Import(const std::string& text) {
        fs.WriteFile("list.trs", text);
        const bool errors = TImport().Import("C:\\list.trs");
        return {errors, fs.ReadFile("list.trs")};
    }

    // A junction's destination as the window shows it.
    static std::string Shown(const std::string& dir) {
        std::string d;
        return ReadJunctionDestination(dir, d) ? PlainDestination(d) : "<unreadable>";
    }

    std::optional<std::vector<std::uint8_t>> Stored(const std::string& path) const {
        return HostReparse(fs.HostPath(path));
    }

    // The names in a folder as the host lists them, sorted.
    std::vector<std::string> HostNames(const std::string& folder) const {
        std::vector<std::string> names;
        for (auto& e : std::filesystem::directory_iterator(fs.HostPath(folder))) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    Scratch fs;
};

// A Windows install's C: in small. Under C:\Users each of `profiles` with
// its folders and the compatibility junctions that Windows makes in it
// ("AppData\Local\Application Data" leads to its own parent), and
// C:\Documents and Settings and C:\ProgramData\Application Data (another
// loop), all as Windows makes them: with a print name, hidden and system,
// denying reading to everyone. C:\Tools is a user's junction as mklink /J
// makes it (with a print name, nothing denied). Each profile holds an app
// execution alias (a file) and cloud placeholders (a file and a folder).
inline void MakeWindowsDrive(const Scratch& fs, std::initializer_list<std::string> profiles) {
    auto junction = [&fs](const std::string& path, const std::string& destination, bool windows) {
        ASSERT_TRUE(ForceDirectories(path)) << path;
        const std::u16string print(destination.begin(), destination.end()), substitute = u"\\??\\" + print;
        std::vector<std::uint8_t> data;
        auto put16 = [&data](std::size_t v) { data.insert(data.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); };
        for (std::size_t v : {std::size_t{0}, 2 * substitute.size(), 2 * substitute.size() + 2, 2 * print.size()})
            put16(v);
        for (char16_t c : substitute + u'\0' + print + u'\0') put16(c);
        const std::string host = fs.HostPath(path);
        HostReparsePoint(host, 0xA0000003, data);
        if (!windows) return;
        ASSERT_EQ(::lsetxattr(host.c_str(), "user.attrib", "0x06", 4, 0), 0);
        ASSERT_EQ(::lsetxattr(host.c_str(), "user.deny", "read", 4, 0), 0);
    };
    junction("C:\\Documents and Settings", "C:\\Users", true);
    junction("C:\\ProgramData\\Application Data", "C:\\ProgramData", true);
    junction("C:\\Tools", "C:\\ProgramData", false);
    for (const std::string& profile : profiles) {
        const std::string home = "C:\\Users\\" + profile + "\\";
        for (const char* dir :
             {"AppData\\Roaming", "AppData\\Local\\Microsoft\\WindowsApps", "Documents", "Music", "OneDrive\\Photos"})
            ASSERT_TRUE(ForceDirectories(home + dir));
        junction(home + "AppData\\Local\\Application Data", home + "AppData\\Local", true);
        junction(home + "Application Data", home + "AppData\\Roaming", true);
        junction(home + "Documents\\My Music", home + "Music", true);
        junction(home + "My Documents", home + "Documents", true);
        // Kinds of reparse point that lead to no folder.
        for (const char* file : {"AppData\\Local\\Microsoft\\WindowsApps\\python.exe", "OneDrive\\notes.txt"})
            WriteFileAt(home + file, "");
        HostReparsePoint(fs.HostPath(home + "AppData\\Local\\Microsoft\\WindowsApps\\python.exe"), 0x8000001B,
                         Bytes("alias"));
        for (const char* placeholder : {"OneDrive\\notes.txt", "OneDrive\\Photos"})
            HostReparsePoint(fs.HostPath(home + placeholder), 0x9000001A, Bytes("cloud"));
    }
}

}  // namespace tarsio::test
