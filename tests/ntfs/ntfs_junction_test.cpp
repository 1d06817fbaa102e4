// Junctions made by the engine, the console import and the export scan on a
// real NTFS volume, checked with the volume's own tools (ntfsprogs) while it
// is not mounted and through ntfs-3g after mounting it again.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <regex>
#include <set>
#include <sstream>

#include "engine/junction.h"
#include "engine/reparse_buffer.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "tests/ntfs/ntfs_volume.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

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

// Junction, destination (UTF-8, the process code page) and the bytes the volume must hold.
struct Named {
    std::string junction, destination;
    std::vector<std::uint8_t> bytes;
};
const std::vector<Named>& Names() {
    static const std::string far = test::Deep("C:\\far", 3000);
    static const std::vector<Named> names = {
        {"C:\\data link", "C:\\data", kDataJunction},
        {"C:\\with blank", "C:\\my data", *reparse::BuildMountPoint(u"\\??\\C:\\my data")},
        {"C:\\\u00DCbergang", "C:\\Gr\u00FC\u00DFe", *reparse::BuildMountPoint(u"\\??\\C:\\Gr\u00FC\u00DFe")},
        {"C:\\\u0141\u00F3d\u017A", "C:\\\u4E2D\u6587", *reparse::BuildMountPoint(u"\\??\\C:\\\u4E2D\u6587")},
        // Deep, to a destination whose 6 KB of reparse data no ext4 extended attribute holds.
        {test::Deep("C:\\deep", 1000), far,
         *reparse::BuildMountPoint(u"\\??\\" + std::u16string(far.begin(), far.end()))},
    };
    return names;
}

class NtfsJunctions : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(volume.Ready()) << volume.Problem(); }

    void MakeDir(const std::string& path) {
        ASSERT_TRUE(ForceDirectories(path)) << path.size() << " error " << os::GetLastError();
    }
    // A destination holding one file.
    void MakeDestination(const std::string& path, const std::string& file) {
        MakeDir(path);
        test::WriteFileAt(path + "\\" + file, file);
    }
    void Unmount() { ASSERT_TRUE(volume.Unmount()) << volume.Problem(); }
    void Mount() { ASSERT_TRUE(volume.Mount()) << volume.Problem(); }

    // What the volume holds as the $REPARSE_POINT attribute of `path`, read
    // from the image by ntfscat; nullopt when it has none.
    std::optional<std::vector<std::uint8_t>> OnDisk(const std::string& path) {
        test::ToolResult r = RunTool("ntfscat -a 0xc0 " + Quoted(volume.Image()) + " " +
                                     Quoted(NtfsVolume::VolumePath(path)) + " 2>/dev/null");
        if (r.status != 0) return std::nullopt;
        return std::vector<std::uint8_t>(r.out.begin(), r.out.end());
    }
    std::string Info(const std::string& volumePath) {
        return RunTool("ntfsinfo -F " + Quoted(volumePath) + " " + Quoted(volume.Image())).out;
    }
    // Entries of the volume's reparse point index, $Extend/$Reparse (its end entry not counted).
    int ReparseIndexEntries() {
        std::smatch m;
        std::string info = Info("/$Extend/$Reparse");
        if (!std::regex_search(info, m, std::regex("Index entries total:\\s*(\\d+)"))) return -1;
        return std::stoi(m[1]) - 1;
    }
    // The names in a host folder, as ntfs-3g lists it (following a junction).
    std::set<std::string> HostListing(const std::string& host) {
        std::set<std::string> names;
        std::error_code e;
        for (fs::directory_iterator it(host, e), end; !e && it != end; it.increment(e))
            names.insert(it->path().filename().string());
        return names;
    }
    std::string Sim(const std::string& args) {
        test::ToolResult r = RunTool(std::string("timeout 120 ") + TARSIO_SIM_EXE + " " + args);
        EXPECT_EQ(r.status, 0) << args << ": " << r.out;
        return r.out;
    }
    std::vector<std::string> Lines(const std::string& hostFile) {
        std::ifstream in(hostFile, std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    NtfsVolume volume;
};

TEST_F(NtfsJunctions, CreatedJunctionsAreTheVolumesOwnReparsePoints) {
    for (const Named& n : Names()) {
        MakeDestination(n.destination, "inside");
        MakeDir(n.junction);
        ASSERT_TRUE(CreateJunction(n.junction, n.destination)) << n.junction << " error " << os::GetLastError();
    }
    Unmount();
    for (const Named& n : Names()) {
        SCOPED_TRACE(n.junction.substr(0, 40));
        EXPECT_EQ(OnDisk(n.junction), n.bytes);
        std::string info = Info(NtfsVolume::VolumePath(n.junction));
        EXPECT_NE(info.find("Dumping attribute $REPARSE_POINT (0xc0)"), std::string::npos) << info;
        EXPECT_NE(info.find("Reparse tag:\t\t 0xa0000003 (mount point)"), std::string::npos) << info;
        EXPECT_NE(info.find("Data size:\t\t " + std::to_string(n.bytes.size()) + " "), std::string::npos);
        EXPECT_TRUE(std::regex_search(info, std::regex("File attributes:\\s*[A-Z_ ]*REPARSE_POINT"))) << info;
        if (&n == &Names().front()) std::cout << "ntfsinfo -F " << NtfsVolume::VolumePath(n.junction) << "\n" << info;
    }
    EXPECT_EQ(ReparseIndexEntries(), static_cast<int>(Names().size()));
    Mount();
    for (const Named& n : Names()) {
        SCOPED_TRACE(n.junction.substr(0, 40));
        std::string host = volume.HostPath(n.junction);
        EXPECT_TRUE(fs::is_symlink(host));
        EXPECT_EQ(fs::read_symlink(host), volume.HostPath(n.destination));
        EXPECT_EQ(HostListing(host), std::set<std::string>{"inside"});
    }
}

TEST_F(NtfsJunctions, ReadBackThenDeletedLeaveOnlyTheirDestinations) {
    for (const Named& n : Names()) {
        MakeDestination(n.destination, "kept");
        MakeDir(n.junction);
        ASSERT_TRUE(CreateJunction(n.junction, n.destination));
    }
    Unmount();
    Mount();
    for (const Named& n : Names()) {
        SCOPED_TRACE(n.junction.substr(0, 40));
        std::string read;
        ASSERT_TRUE(ReadJunctionDestination(n.junction, read)) << os::GetLastError();
        EXPECT_EQ(PlainDestination(read), n.destination);
        EXPECT_EQ(paths::GetFileAttributesW(n.junction) & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
                  FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
        bool removed = false;
        ASSERT_TRUE(DeleteJunction(n.junction, &removed)) << os::GetLastError();
        EXPECT_TRUE(removed);
    }
    Unmount();
    EXPECT_EQ(ReparseIndexEntries(), 0);
    Mount();
    for (const Named& n : Names()) {
        SCOPED_TRACE(n.junction.substr(0, 40));
        EXPECT_FALSE(fs::exists(fs::symlink_status(volume.HostPath(n.junction))));
        EXPECT_EQ(HostListing(volume.HostPath(n.destination)), std::set<std::string>{"kept"});
        EXPECT_EQ(test::ReadFileAt(n.destination + "\\kept"), "kept");
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
    std::vector<std::uint8_t> other = {0x1B, 0x00, 0x00, 0x80, 0x04, 0x00, 0x00, 0x00, 1, 2, 3, 4};
    const auto mountPoint = *reparse::BuildMountPoint(u"\\??\\C:\\data");
    struct Case {
        const char* what;
        std::function<bool()> call;
        DWORD error;
    } cases[] = {
        {"a junction on a folder with files", [&] { return CreateJunction("C:\\full", "C:\\data"); },
         ERROR_DIR_NOT_EMPTY},
        {"a mount point on a file", [&] { return SetReparseData("C:\\data\\file", mountPoint.data(), 42); },
         ERROR_DIRECTORY},
        {"another kind over a junction",
         [&] { return SetReparseData("C:\\j", other.data(), static_cast<std::uint32_t>(other.size())); },
         ERROR_REPARSE_TAG_MISMATCH},
        {"deleting a junction as another kind", [&] { return DeleteReparseData("C:\\j", 0x8000001B); },
         ERROR_REPARSE_TAG_MISMATCH},
        {"deleting a read-only file", [&] { return os::DeleteFileA("C:\\data\\ro") != FALSE; }, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(c.call());
        EXPECT_EQ(os::GetLastError(), c.error);
    }
    Unmount();
    EXPECT_EQ(OnDisk("C:\\j"), kDataJunction);
    EXPECT_FALSE(OnDisk("C:\\full"));
    EXPECT_EQ(ReparseIndexEntries(), 1);
}

TEST_F(NtfsJunctions, ConsoleImportOfAHundredAndTheExportScan) {
    std::string list;
    std::vector<std::string> pending;
    MakeDir("C:\\targets");
    for (int i = 0; i < 100; ++i) {
        std::string n = std::to_string(i);
        MakeDestination("C:\\targets\\t" + n, "f" + n);
        pending.push_back("+C:\\links\\g" + std::to_string(i / 10) + "\\j" + n + "->C:\\targets\\t" + n);
        list += pending.back() + "\r\n";
    }
    // And one deep in the tree.
    pending.push_back("+" + test::Deep("C:\\links\\deep", 1000) + "->C:\\targets\\t0");
    list += pending.back() + "\r\n";
    test::WriteFileAt("C:\\list.trs", list);
    EXPECT_EQ(Sim("-import 'C:\\list.trs'"), "Import successfully\n");
    std::vector<std::string> made = Lines(volume.HostPath("C:\\list.trs"));
    ASSERT_EQ(made.size(), 101u);
    for (std::size_t i = 0; i < made.size(); ++i) EXPECT_EQ("+" + made[i], pending[i]);

    Unmount();
    EXPECT_EQ(OnDisk("C:\\links\\g9\\j99"), *reparse::BuildMountPoint(u"\\??\\C:\\targets\\t99"));
    Mount();
    for (int i = 0; i < 100; ++i) {
        std::string n = std::to_string(i);
        EXPECT_EQ(HostListing(volume.HostPath("C:\\links\\g" + std::to_string(i / 10) + "\\j" + n)),
                  std::set<std::string>{"f" + n})
            << "j" << n;
    }
    Sim("export 'C:\\out.trs' C");
    std::vector<std::string> exported = Lines(volume.HostPath("C:\\out.trs"));
    std::sort(exported.begin(), exported.end());
    std::sort(pending.begin(), pending.end());
    EXPECT_EQ(exported, pending);
}

// The export scan ends on junction cycles, and its list is a backup: with
// the junctions gone and the plain folders left, importing it makes every
// junction again with the same bytes on the volume.
TEST_F(NtfsJunctions, ExportScanEndsOnJunctionCyclesAndItsListRestoresThem) {
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
    std::vector<std::string> expected;
    for (const auto& [junction, destination] : junctions) {
        MakeDir(junction);
        ASSERT_TRUE(CreateJunction(junction, destination)) << junction << " error " << os::GetLastError();
        expected.push_back("+" + junction + "->" + destination);
    }
    Unmount();
    Mount();
    EXPECT_EQ(HostListing(volume.HostPath("C:\\x\\to y")), std::set<std::string>{"to x"});
    EXPECT_EQ(Sim("export 'C:\\out.trs' C"), "");
    std::vector<std::string> exported = Lines(volume.HostPath("C:\\out.trs"));
    std::sort(exported.begin(), exported.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(exported, expected);

    // The folders stay: an import makes "C:\self", which leads to itself, only where that folder is.
    for (const auto& [junction, destination] : junctions)
        ASSERT_TRUE(DeleteReparseData(junction, reparse::kMountPointTag)) << junction;
    EXPECT_EQ(Sim("-import 'C:\\out.trs'"), "Import successfully\n");
    Unmount();
    for (const auto& [junction, destination] : junctions) {
        std::string stored = destination.starts_with("\\??") ? destination : "\\??\\" + destination;
        EXPECT_EQ(OnDisk(junction), *reparse::BuildMountPoint(std::u16string(stored.begin(), stored.end())))
            << junction;
    }
    EXPECT_EQ(ReparseIndexEntries(), static_cast<int>(junctions.size()));
}

}  // namespace
}  // namespace tarsio
