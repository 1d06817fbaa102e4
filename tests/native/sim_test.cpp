// Rules of the simulated platform that the Wine build cannot check: drives
// and volumes, reparse points, and paths through junctions.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/junction.h"
#include "engine/reparse_buffer.h"
#include "platform/os.h"
#include "platform/sim/sim.h"
#include "platform/unique_handle.h"
#include "tests/native/sim_helpers.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::Scratch;

std::vector<std::string> List(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(os::FindFirstFileA(pattern.c_str(), &data));
    if (!find) return names;
    do names.push_back(data.cFileName);
    while (os::FindNextFileA(find.get(), &data));
    return names;
}

UniqueHandle OpenDir(const std::string& path, DWORD access) {
    return UniqueHandle(os::CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

BOOL SetOn(const UniqueHandle& handle, const std::vector<std::uint8_t>& bytes) {
    DWORD returned;
    return os::DeviceIoControl(handle.get(), FSCTL_SET_REPARSE_POINT, const_cast<std::uint8_t*>(bytes.data()),
                               static_cast<DWORD>(bytes.size()), nullptr, 0, &returned, nullptr);
}

BOOL SetRaw(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    return SetOn(OpenDir(path, GENERIC_READ | GENERIC_WRITE), bytes);
}

TEST(SimDrives, TypesAndVolumesComeFromTheRoot) {
    Scratch fs;
    fs.AddDrive('D');
    fs.AddDrive('E', "removable FAT32");
    fs.AddDrive('F', "remote NTFS");
    fs.AddDrive('G', "cdrom CDFS");
    fs.AddDrive('H', "ramdisk NTFS");
    fs.AddDrive('R', "removable FAT32", /*medium=*/false);
    struct Case {
        const char* root;
        UINT type;
        bool volume;
        DWORD reparse;
    } cases[] = {
        {"C:\\", DRIVE_FIXED, true, FILE_SUPPORTS_REPARSE_POINTS},
        {"d:\\", DRIVE_FIXED, true, FILE_SUPPORTS_REPARSE_POINTS},
        {"E:\\", DRIVE_REMOVABLE, true, 0},
        {"F:\\", DRIVE_REMOTE, true, FILE_SUPPORTS_REPARSE_POINTS},
        {"G:\\", DRIVE_CDROM, true, 0},
        {"H:\\", DRIVE_RAMDISK, true, FILE_SUPPORTS_REPARSE_POINTS},
        {"R:\\", DRIVE_REMOVABLE, false, 0},
        {"Q:\\", DRIVE_NO_ROOT_DIR, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root);
        EXPECT_EQ(os::GetDriveTypeA(c.root), c.type);
        std::string root = c.root;
        DWORD flags = 0, maxLen = 0;
        char fsName[16] = {};
        BOOL ok = os::GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, &maxLen, &flags, fsName, 16);
        EXPECT_EQ(ok != FALSE, c.volume);
        if (ok) {
            EXPECT_EQ(flags & FILE_SUPPORTS_REPARSE_POINTS, c.reparse);
        }
    }
    EXPECT_EQ(os::GetFileAttributesA("R:\\"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetLastError(), ERROR_NOT_READY);
    EXPECT_EQ(os::GetFileAttributesA("Q:\\x"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetLastError(), ERROR_PATH_NOT_FOUND);
    // Both queries name the root with its backslash.
    EXPECT_FALSE(os::GetVolumeInformationA("C:", nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(os::GetDriveTypeA("C:"), DRIVE_NO_ROOT_DIR);
}

TEST(SimDrives, LettersMapToHostFoldersInAnyCase) {
    Scratch fs;
    fs.MakeDir("Dir");
    EXPECT_TRUE(std::filesystem::is_directory(fs.HostRoot() + "/C/Dir"));
    EXPECT_TRUE(DirectoryExists("c:\\Dir"));
    // Names below the drive are case-sensitive (see platform/sim/README.md).
    EXPECT_FALSE(DirectoryExists("C:\\dir"));
}

class SimReparse : public ::testing::Test {
protected:
    void SetUp() override {
        fs.MakeDir("data");
        fs.MakeDir("links");
        fs.MakeDir("links\\web");
        fs.WriteFile("data\\a.txt", "A");
        fs.MakeDir("data\\sub");
    }
    Scratch fs;
};

TEST_F(SimReparse, AttributeReportsExactlyWhenDataIsStored) {
    EXPECT_FALSE(os::GetFileAttributesA("C:\\links\\web") & FILE_ATTRIBUTE_REPARSE_POINT);
    std::vector<std::uint8_t> bytes = *reparse::BuildMountPoint(u"\\??\\C:\\data");
    ASSERT_TRUE(SetRaw("C:\\links\\web", bytes));
    EXPECT_EQ(test::HostReparse(fs.HostPath("C:\\links\\web")), bytes);
    EXPECT_EQ(os::GetFileAttributesA("C:\\links\\web"), 0x410u);
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(os::FindFirstFileA("C:\\links\\web", &data));
    ASSERT_TRUE(find.valid());
    EXPECT_EQ(data.dwFileAttributes, 0x410u);
    EXPECT_EQ(data.dwReserved0, reparse::kMountPointTag);
}

TEST_F(SimReparse, SettingIsRefusedAsNtfsRefusesIt) {
    std::vector<std::uint8_t> bytes = *reparse::BuildMountPoint(u"\\??\\C:\\data");
    // A directory that holds anything.
    EXPECT_FALSE(SetRaw("C:\\data", bytes));
    EXPECT_EQ(os::GetLastError(), ERROR_DIR_NOT_EMPTY);
    // A file.
    EXPECT_FALSE(SetOn(UniqueHandle(os::CreateFileA("C:\\data\\a.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr)),
                       bytes));
    EXPECT_EQ(os::GetLastError(), ERROR_DIRECTORY);
    // A handle without write access.
    EXPECT_FALSE(SetOn(OpenDir("C:\\links\\web", GENERIC_READ), bytes));
    EXPECT_EQ(os::GetLastError(), ERROR_ACCESS_DENIED);
    // Lengths that disagree with the size handed over.
    std::vector<std::uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(SetRaw("C:\\links\\web", longer));
    EXPECT_EQ(os::GetLastError(), ERROR_INVALID_REPARSE_DATA);
    // A volume without reparse support.
    fs.AddDrive('E', "removable FAT32");
    ASSERT_TRUE(os::CreateDirectoryA("E:\\j", nullptr));
    EXPECT_FALSE(SetRaw("E:\\j", bytes));
    EXPECT_EQ(os::GetLastError(), ERROR_INVALID_FUNCTION);
    EXPECT_FALSE(HasReparsePoint("C:\\links\\web"));
}

TEST_F(SimReparse, OpeningWithoutBackupSemanticsOrWhileHeldFails) {
    EXPECT_EQ(os::CreateFileA("C:\\data", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), ERROR_ACCESS_DENIED);
    UniqueHandle first = OpenDir("C:\\data", GENERIC_READ);
    ASSERT_TRUE(first.valid());
    UniqueHandle second = OpenDir("C:\\data", GENERIC_READ);
    EXPECT_FALSE(second.valid());
    EXPECT_EQ(os::GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(sim::OpenHandleCount(), 1);
}

TEST_F(SimReparse, PathsGoThroughJunctions) {
    ASSERT_TRUE(CreateJunction("C:\\links\\web", "C:\\data"));
    EXPECT_EQ(List("C:\\links\\web\\*"), (std::vector<std::string>{".", "..", "a.txt", "sub"}));
    EXPECT_EQ(os::GetFileAttributesA("C:\\links\\web\\sub"), FILE_ATTRIBUTE_DIRECTORY);
    // Made through it and removed: JunctionTest.ForceDirectoriesCreatesThroughAJunction,
    // .DeleteRemovesTheMountPointAndThenTheDirectoryWithNothingElse.
}

// A handle holds the directory, not its name: with the folder above it moved
// away and a junction to C:\ in its place, which makes the name lead to
// C:\web, every call on the handle still acts on the directory it opened.
TEST_F(SimReparse, HandleHoldsTheDirectoryWhateverBecomesOfItsName) {
    fs.MakeDir("web");
    UniqueHandle web = OpenDir("C:\\links\\web", GENERIC_READ | GENERIC_WRITE | DELETE);
    ASSERT_TRUE(web.valid());
    ASSERT_TRUE(os::MoveFileExA("C:\\links", "C:\\moved", 0));
    test::Junction("C:\\links", "C:\\");
    std::vector<std::uint8_t> bytes = *reparse::BuildMountPoint(u"\\??\\C:\\data");
    EXPECT_TRUE(SetOn(web, bytes));
    EXPECT_EQ(test::HostReparse(fs.HostPath("C:\\moved\\web")), bytes);
    FILE_ATTRIBUTE_TAG_INFO tag{};
    EXPECT_TRUE(os::GetFileInformationByHandleEx(web.get(), FileAttributeTagInfo, &tag, sizeof tag));
    EXPECT_EQ(tag.ReparseTag, reparse::kMountPointTag);
    FILE_DISPOSITION_INFO remove{TRUE};
    EXPECT_TRUE(os::SetFileInformationByHandle(web.get(), FileDispositionInfo, &remove, sizeof remove));
    web.reset();
    EXPECT_FALSE(std::filesystem::exists(fs.HostPath("C:\\moved\\web")));
    EXPECT_EQ(os::GetFileAttributesA("C:\\links\\web"), FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(SimReparse, JunctionToADriveRootAndAcrossDrives) {
    fs.AddDrive('D');
    ASSERT_TRUE(os::CreateDirectoryA("D:\\j", nullptr));
    ASSERT_TRUE(CreateJunction("D:\\j", "C:\\"));
    EXPECT_NE(os::GetFileAttributesA("D:\\j\\data\\a.txt"), INVALID_FILE_ATTRIBUTES);
}

// Descends through `link` while the name still resolves; returns the depth.
int Descend(const std::string& base, const std::string& link, DWORD& error) {
    std::string path = base;
    int depth = 0;
    while (os::GetFileAttributesA((path + "\\" + link).c_str()) != INVALID_FILE_ATTRIBUTES) {
        path += "\\" + link;
        ++depth;
    }
    error = os::GetLastError();
    return depth;
}

TEST_F(SimReparse, CyclesEndAtThePathLimitOrTheReparseBound) {
    // Junctions to their own parent make names of any depth.
    const std::string longName(40, 'n');
    fs.MakeDir("c");
    fs.MakeDir("c\\l");
    fs.MakeDir("c\\" + longName);
    ASSERT_TRUE(CreateJunction("C:\\c\\l", "C:\\c"));
    ASSERT_TRUE(CreateJunction("C:\\c\\" + longName, "C:\\c"));

    DWORD error = 0;
    int depth = Descend("C:\\c", longName, error);
    EXPECT_EQ(error, ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(depth, (MAX_PATH - 1 - 4) / 41);

    // One name passes at most 63 reparse points; the last component of a
    // name whose attributes are asked is not followed.
    depth = Descend("C:\\c", "l", error);
    EXPECT_EQ(error, ERROR_CANT_RESOLVE_FILENAME);
    EXPECT_EQ(depth, 64);
}

TEST_F(SimReparse, JunctionsLeadingOutsideTheDrivesAreNotFollowed) {
    fs.MakeDir("links\\odd");
    ASSERT_TRUE(CreateJunction("C:\\links\\odd", "\\??\\C:\\..\\..\\etc"));
    EXPECT_EQ(os::GetFileAttributesA("C:\\links\\odd\\passwd"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetLastError(), ERROR_PATH_NOT_FOUND);
}

// Windows' limits of names, which Wine does not keep for the W calls: the
// prefix alone takes a name past MAX_PATH.
TEST(SimNames, WideCallsTakeLongNamesOnlyBehindThePrefix) {
    Scratch fs;
    const std::u16string a(247, u'a'), prefix = u"\\\\?\\C:\\";
    const std::u16string component(255, u'c');
    enum Call { Create, Attributes };
    struct Case {
        std::u16string name;
        Call call;
        DWORD error;  // ERROR_SUCCESS: it works
    } cases[] = {
        {u"C:\\" + a, Create, ERROR_FILENAME_EXCED_RANGE},  // 250: CreateDirectory stops at 248
        {prefix + a, Create, ERROR_SUCCESS},
        {u"C:\\" + a, Attributes, ERROR_SUCCESS},  // the other calls at MAX_PATH
        {u"C:\\" + a + u"\\" + std::u16string(9, u'b'), Attributes, ERROR_FILENAME_EXCED_RANGE},
        {prefix + a + u"\\" + component, Create, ERROR_SUCCESS},
        {prefix + a + u"\\" + component + u"c", Create, ERROR_INVALID_NAME},  // 256 in one component
        {prefix + a + u"\\" + std::u16string(32767 - 7 - 248, u'x'), Attributes, ERROR_FILENAME_EXCED_RANGE},
        {u"\\\\?\\UNC\\server\\share", Attributes, ERROR_BAD_NETPATH},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.name.size() << " " << c.call);
        os::SetLastError(ERROR_SUCCESS);
        if (c.call == Create)
            EXPECT_EQ(os::CreateDirectoryW(c.name.c_str(), nullptr) != FALSE, c.error == ERROR_SUCCESS);
        else
            EXPECT_EQ(os::GetFileAttributesW(c.name.c_str()) != INVALID_FILE_ATTRIBUTES, c.error == ERROR_SUCCESS);
        EXPECT_EQ(os::GetLastError(), c.error);
    }
}

TEST(SimAttributes, ReadOnlyHiddenAndNormal) {
    Scratch fs;
    fs.WriteFile("f.txt", "x");
    EXPECT_EQ(os::GetFileAttributesA("C:\\f.txt"), FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_TRUE(os::SetFileAttributesA("C:\\f.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(os::GetFileAttributesA("C:\\f.txt"), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(os::SetFileAttributesA("C:\\f.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(os::GetFileAttributesA("C:\\f.txt"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(os::CreateFileA("C:\\f.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(os::DeleteFileA("C:\\f.txt"));
}

}  // namespace
}  // namespace tarsio
