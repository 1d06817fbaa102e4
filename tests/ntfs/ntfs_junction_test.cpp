// Junctions made by the engine, the console import and the export scan on a
// real NTFS volume, checked with the volume's own tools (ntfsprogs) while it
// is not mounted and through ntfs-3g after mounting it again.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "engine/junction.h"
#include "engine/reparse_buffer.h"
#include "platform/ansi.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "tests/ntfs/ntfs_volume.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::ErrorLeft;
using test::NtfsVolume;
using test::Quoted;
using test::RunTool;
namespace fs = std::filesystem;

// \??\C:\data, as the engine's golden test has it: 42 bytes.
const std::vector<std::uint8_t> kDataJunction = {
    0x03, 0x00, 0x00, 0xA0, 0x22, 0x00, 0x00, 0x00, 0x00, 0x00, 0x16, 0x00, 0x18, 0x00,
    0x00, 0x00, '\\', 0,    '?',  0,    '?',  0,    '\\', 0,    'C',  0,    ':',  0,
    '\\', 0,    'd',  0,    'a',  0,    't',  0,    'a',  0,    0x00, 0x00, 0x00, 0x00,
};

// The reparse data of a mount point to `stored` (UTF-8).
std::vector<std::uint8_t> MountPoint(const std::string& stored) {
    return *reparse::BuildMountPoint(*AnsiToWide(stored));
}

class NtfsJunctions : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(volume.Problem(), ""); }

    void MakeDir(const std::string& path) {
        ASSERT_TRUE(ForceDirectories(path)) << path.size() << " error " << os::GetLastError();
    }
    // A destination holding one file.
    void MakeDestination(const std::string& path, const std::string& file) {
        MakeDir(path);
        test::WriteFileAt(path + "\\" + file, file);
    }

    // What the volume holds as the $REPARSE_POINT attribute of `path`, read
    // from the image by ntfscat; nullopt when it has none.
    std::optional<std::vector<std::uint8_t>> OnDisk(const std::string& path) {
        test::ToolResult r = RunTool("ntfscat -a 0xc0 " + Quoted(volume.Image()) + " " +
                                     Quoted(NtfsVolume::VolumePath(path)) + " 2>/dev/null");
        if (r.status != 0) return std::nullopt;
        return std::vector<std::uint8_t>(r.out.begin(), r.out.end());
    }
    std::string Info(const std::string& path) {
        return RunTool("ntfsinfo -F " + Quoted(NtfsVolume::VolumePath(path)) + " " + Quoted(volume.Image())).out;
    }
    // Entries of the volume's reparse point index, $Extend/$Reparse, in its
    // root and its blocks (the end entry of each not counted); -1 unread.
    int ReparseIndexEntries() {
        const std::string info = Info("C:\\$Extend\\$Reparse");
        const std::regex total("Index entries total:\\s*(\\d+)");
        int entries = 0, parts = 0;
        for (std::sregex_iterator it(info.begin(), info.end(), total), end; it != end; ++it, ++parts)
            entries += std::stoi((*it)[1]);
        return parts ? entries - parts : -1;
    }
    // The names in a host folder, as ntfs-3g lists it (following a junction).
    std::set<std::string> HostListing(const std::string& windowsPath) {
        std::set<std::string> names;
        std::error_code e;
        for (fs::directory_iterator it(volume.HostPath(windowsPath), e), end; !e && it != end; it.increment(e))
            names.insert(it->path().filename().string());
        return names;
    }
    std::string Sim(const std::string& args) {
        test::ToolResult r = RunTool(std::string("timeout 120 ") + TARSIO_SIM_EXE + " " + args);
        EXPECT_EQ(r.status, 0) << args << ": " << r.out;
        return r.out;
    }

    NtfsVolume volume;
};

TEST_F(NtfsJunctions, MadeAsTheVolumesOwnReparsePointsThenReadBackAndDeleted) {
    const std::string far = test::Deep("C:\\far", 3000);
    // Junction, destination (UTF-8, the process code page) and the bytes the volume must hold.
    const struct {
        std::string junction, destination;
        std::vector<std::uint8_t> bytes;
    } junctions[] = {
        {"C:\\data link", "C:\\data", kDataJunction},
        {"C:\\with blank", "C:\\my data", MountPoint("\\??\\C:\\my data")},
        {"C:\\\u00DCbergang", "C:\\Gr\u00FC\u00DFe", MountPoint("\\??\\C:\\Gr\u00FC\u00DFe")},
        {"C:\\\u0141\u00F3d\u017A", "C:\\\u4E2D\u6587", MountPoint("\\??\\C:\\\u4E2D\u6587")},
        // Deep, to a destination whose 6 KB of reparse data no ext4 extended attribute holds.
        {test::Deep("C:\\deep", 1000), far, MountPoint("\\??\\" + far)},
    };
    for (const auto& j : junctions) {
        MakeDestination(j.destination, "inside");
        MakeDir(j.junction);
        ASSERT_TRUE(CreateJunction(j.junction, j.destination)) << j.junction << " error " << os::GetLastError();
    }
    ASSERT_EQ(volume.Unmount(), "");
    for (const auto& j : junctions) {
        SCOPED_TRACE(j.junction.substr(0, 40));
        EXPECT_EQ(OnDisk(j.junction), j.bytes);
        // ntfscat reads the attribute; ntfsinfo, the flag in the standard information.
        const std::string info = Info(j.junction);
        EXPECT_TRUE(std::regex_search(info, std::regex("File attributes:\\s*[A-Z_ ]*REPARSE_POINT"))) << info;
    }
    EXPECT_EQ(ReparseIndexEntries(), static_cast<int>(std::size(junctions)));
    ASSERT_EQ(volume.Mount(), "");
    for (const auto& j : junctions) {
        SCOPED_TRACE(j.junction.substr(0, 40));
        EXPECT_TRUE(fs::is_symlink(volume.HostPath(j.junction)));
        EXPECT_EQ(fs::read_symlink(volume.HostPath(j.junction)), volume.HostPath(j.destination));
        EXPECT_EQ(HostListing(j.junction), std::set<std::string>{"inside"});
        std::string read;
        ASSERT_TRUE(ReadJunctionDestination(j.junction, read)) << os::GetLastError();
        EXPECT_EQ(PlainDestination(read), j.destination);
        EXPECT_EQ(paths::GetFileAttributesW(j.junction) & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
                  FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
        bool removed = false;
        ASSERT_TRUE(DeleteJunction(j.junction, &removed)) << os::GetLastError();
        EXPECT_TRUE(removed);
    }
    ASSERT_EQ(volume.Unmount(), "");
    EXPECT_EQ(ReparseIndexEntries(), 0);
    ASSERT_EQ(volume.Mount(), "");
    for (const auto& j : junctions) {
        SCOPED_TRACE(j.junction.substr(0, 40));
        EXPECT_FALSE(fs::exists(fs::symlink_status(volume.HostPath(j.junction))));
        EXPECT_EQ(HostListing(j.destination), std::set<std::string>{"inside"});
        EXPECT_EQ(test::ReadFileAt(j.destination + "\\inside"), "inside");
    }
}

// ntfs-3g takes a reparse point on a directory that holds files and over
// one of another kind, and deletes read-only files; Windows does not, and
// neither does the layer above.
TEST_F(NtfsJunctions, RulesTheDriverLeavesOpenAreStillKept) {
    MakeDestination("C:\\data", "file");
    MakeDestination("C:\\full", "file");
    MakeDir("C:\\j");
    ASSERT_TRUE(CreateJunction("C:\\j", "C:\\data"));
    test::WriteFileAt("C:\\data\\ro", "kept");
    ASSERT_TRUE(os::SetFileAttributesA("C:\\data\\ro", FILE_ATTRIBUTE_READONLY));
    const std::vector<std::uint8_t> other = {0x1B, 0x00, 0x00, 0x80, 0x04, 0x00, 0x00, 0x00, 1, 2, 3, 4};
    EXPECT_EQ(ErrorLeft(CreateJunction("C:\\full", "C:\\data")), ERROR_DIR_NOT_EMPTY);
    EXPECT_EQ(ErrorLeft(SetReparseData("C:\\data\\file", kDataJunction.data(), 42)), ERROR_DIRECTORY);
    // Another kind over a junction, or deleting a junction as another kind.
    EXPECT_EQ(ErrorLeft(SetReparseData("C:\\j", other.data(), static_cast<std::uint32_t>(other.size()))),
              ERROR_REPARSE_TAG_MISMATCH);
    EXPECT_EQ(ErrorLeft(DeleteReparseData("C:\\j", 0x8000001B)), ERROR_REPARSE_TAG_MISMATCH);
    EXPECT_EQ(ErrorLeft(os::DeleteFileA("C:\\data\\ro")), ERROR_ACCESS_DENIED);
    ASSERT_EQ(volume.Unmount(), "");
    EXPECT_EQ(OnDisk("C:\\j"), kDataJunction);
    EXPECT_FALSE(OnDisk("C:\\full"));
    EXPECT_EQ(ReparseIndexEntries(), 1);
}

// Junctions made by the engine, among them cycles and a volume mount point,
// and a hundred and one made by the console import: the export scan ends on
// the cycles, and its list is a backup. With the engine's junctions gone and
// their plain folders left, importing it makes every junction again with the
// same bytes on the volume.
TEST_F(NtfsJunctions, ConsoleImportExportScanAndRestore) {
    const std::vector<std::pair<std::string, std::string>> junctions = {
        {"C:\\a\\b\\up", "C:\\a"},  // to its own ancestor
        {"C:\\x\\to y", "C:\\y"},   // two leading to each other
        {"C:\\y\\to x", "C:\\x"},
        {"C:\\self", "C:\\self"},  // to itself
        {"C:\\.cache", "C:\\y"},   // names that begin with a full stop
        {"C:\\a\\.m2", "C:\\x"},
        {"C:\\mnt", "\\??\\Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}\\"},  // a volume mount point, as stored
    };
    for (const char* dir : {"C:\\a", "C:\\a\\b", "C:\\x", "C:\\y"}) MakeDir(dir);
    // The mounted volume's name is this volume's, which the import looks for.
    fs::create_directory_symlink("C", volume.HostPath("C:") + "/../Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}");
    std::vector<std::string> lines;
    for (const auto& [junction, destination] : junctions) {
        MakeDir(junction);
        ASSERT_TRUE(CreateJunction(junction, destination)) << junction << " error " << os::GetLastError();
        lines.push_back("+" + junction + "->" + destination);
    }
    MakeDir("C:\\targets");
    std::string list;
    for (int i = 0; i <= 100; ++i) {
        std::string n = std::to_string(i);
        MakeDestination("C:\\targets\\t" + n, "f" + n);
        // The last one deep in the tree.
        const std::string junction = i < 100 ? "C:\\links\\g" + std::to_string(i / 10) + "\\j" + n
                                             : test::Deep("C:\\links\\deep", 1000);
        list += "+" + junction + "->C:\\targets\\t" + n + "\r\n";
        lines.push_back("+" + junction + "->C:\\targets\\t" + n);
    }
    test::WriteFileAt("C:\\list.trs", list);
    EXPECT_EQ(Sim("-import 'C:\\list.trs'"), "Import successfully\n");

    ASSERT_EQ(volume.Unmount(), "");
    EXPECT_EQ(OnDisk("C:\\links\\g9\\j99"), MountPoint("\\??\\C:\\targets\\t99"));
    ASSERT_EQ(volume.Mount(), "");
    EXPECT_EQ(HostListing("C:\\links\\g9\\j99"), std::set<std::string>{"f99"});
    EXPECT_EQ(HostListing("C:\\x\\to y"), std::set<std::string>{"to x"});
    EXPECT_EQ(Sim("export 'C:\\out.trs' C"), "");
    std::istringstream out(test::ReadFileAt("C:\\out.trs"));
    std::vector<std::string> exported;
    for (std::string line; std::getline(out, line);) exported.push_back(line.substr(0, line.find('\r')));
    std::sort(exported.begin(), exported.end());
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(exported, lines);

    // The folders stay: an import makes "C:\self", which leads to itself, only where that folder is.
    for (const auto& [junction, destination] : junctions)
        ASSERT_TRUE(DeleteReparseData(junction, reparse::kMountPointTag)) << junction;
    EXPECT_EQ(Sim("-import 'C:\\out.trs'"), "Import successfully\n");
    ASSERT_EQ(volume.Unmount(), "");
    for (const auto& [junction, destination] : junctions)
        EXPECT_EQ(OnDisk(junction),
                  MountPoint(destination.starts_with("\\??") ? destination : "\\??\\" + destination))
            << junction;
    EXPECT_EQ(ReparseIndexEntries(), static_cast<int>(lines.size()));
}

}  // namespace
}  // namespace tarsio
