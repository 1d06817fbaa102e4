// Rules of the simulated platform that the Wine build cannot check: drives
// and volumes (and the drives an export takes from them by default),
// reparse points, paths through junctions and the limits of names. And what
// it remembers between calls must never show a state that has changed: not
// after its own calls change the drives while listings are open, and not
// after the host changes a folder on the way of a name resolved before.

#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "listfile/export.h"
#include "platform/unique_handle.h"
#include "tests/native/sim_helpers.h"

namespace tarsio {
namespace {

using namespace std::string_literals;
using test::Scratch;

std::vector<WIN32_FIND_DATAA> Entries(const std::string& pattern) {
    std::vector<WIN32_FIND_DATAA> entries;
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(os::FindFirstFileA(pattern.c_str(), &data));
    if (!find) return entries;
    do entries.push_back(data);
    while (os::FindNextFileA(find.get(), &data));
    return entries;
}

std::vector<std::string> Names(const std::vector<WIN32_FIND_DATAA>& entries) {
    std::vector<std::string> names;
    for (const WIN32_FIND_DATAA& e : entries) names.push_back(e.cFileName);
    return names;
}

// Opens a listing of `pattern` and reads on until it has returned `name`.
UniqueFindHandle ListUpTo(const std::string& pattern, const std::string& name) {
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(os::FindFirstFileA(pattern.c_str(), &data));
    EXPECT_TRUE(find.valid()) << pattern;
    while (find && name != data.cFileName)
        if (!os::FindNextFileA(find.get(), &data)) ADD_FAILURE() << name << " not in " << pattern;
    return find;
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

// Each drive's type and volume come from its root's .drive file; an export
// takes the removable and fixed drives from C: to Y: by default.
TEST(SimDrives, KindsComeFromTheRootAndExportsTakeRemovableAndFixedFromCToY) {
    Scratch fs;
    struct Case {
        const char* root;
        const char* kind;  // nullptr: no .drive file and no drive folder made here
        bool medium;
        UINT type;
        bool volume;
        DWORD reparse;
    } cases[] = {
        {"A:\\", "", true, DRIVE_FIXED, true, FILE_SUPPORTS_REPARSE_POINTS},
        {"B:\\", "removable FAT32", true, DRIVE_REMOVABLE, true, 0},
        {"C:\\", nullptr, true, DRIVE_FIXED, true, FILE_SUPPORTS_REPARSE_POINTS},
        {"D:\\", "removable FAT32", false, DRIVE_REMOVABLE, false, 0},  // no medium: still a default drive
        {"E:\\", "remote NTFS", true, DRIVE_REMOTE, true, FILE_SUPPORTS_REPARSE_POINTS},
        {"F:\\", "cdrom CDFS", true, DRIVE_CDROM, true, 0},
        {"G:\\", "ramdisk NTFS", true, DRIVE_RAMDISK, true, FILE_SUPPORTS_REPARSE_POINTS},
        {"H:\\", "tape", true, DRIVE_UNKNOWN, true, FILE_SUPPORTS_REPARSE_POINTS},
        {"k:\\", "fixed FAT32", true, DRIVE_FIXED, true, 0},
        {"Q:\\", nullptr, false, DRIVE_NO_ROOT_DIR, false, 0},
        {"Y:\\", "", true, DRIVE_FIXED, true, FILE_SUPPORTS_REPARSE_POINTS},
        {"Z:\\", "", true, DRIVE_FIXED, true, FILE_SUPPORTS_REPARSE_POINTS},
    };
    for (const Case& c : cases)
        if (c.kind) fs.AddDrive(static_cast<char>(std::toupper(c.root[0])), c.kind, c.medium);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root);
        EXPECT_EQ(os::GetDriveTypeA(c.root), c.type);
        DWORD flags = 0;
        EXPECT_EQ(os::GetVolumeInformationA(c.root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0), c.volume);
        EXPECT_EQ(flags & FILE_SUPPORTS_REPARSE_POINTS, c.reparse);
    }
    EXPECT_EQ(DefaultExportDrives(), (DriveList{"C", "D", "K", "Y"}));
    EXPECT_EQ(ChooseExportDrives({}), (DriveList{"C", "D", "K", "Y"}));
    EXPECT_EQ(ChooseExportDrives({"Z", "C"}), (DriveList{"Z", "C"}));
    EXPECT_EQ(os::GetFileAttributesA("D:\\"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetLastError(), ERROR_NOT_READY);
    EXPECT_EQ(os::GetFileAttributesA("Q:\\x"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetLastError(), ERROR_PATH_NOT_FOUND);
    // Both queries name the root with its backslash.
    EXPECT_FALSE(os::GetVolumeInformationA("C:", nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(os::GetDriveTypeA("C:"), DRIVE_NO_ROOT_DIR);
    // Names below the drive are case-sensitive (see platform/sim/README.md).
    fs.MakeDir("Dir");
    EXPECT_TRUE(std::filesystem::is_directory(fs.HostRoot() + "/C/Dir"));
    EXPECT_TRUE(DirectoryExists("c:\\Dir"));
    EXPECT_FALSE(DirectoryExists("C:\\dir"));
}

class SimReparse : public test::SimTest {
protected:
    void SetUp() override {
        for (const char* dir : {"data", "data\\sub", "links", "links\\web"}) fs.MakeDir(dir);
        fs.WriteFile("data\\a.txt", "A");
    }
};

// Setting a mount point as NTFS refuses it (a directory that holds
// anything, or on a volume without reparse points: JunctionTest), and
// opening what Windows does not open.
TEST_F(SimReparse, CallsAreRefusedAsWindowsRefusesThem) {
    const std::vector<std::uint8_t> bytes = test::MountPoint(u"\\??\\C:\\data");
    std::vector<std::uint8_t> longer = bytes;
    longer.push_back(0);
    fs.WriteFile("ro.txt", "x");
    ASSERT_TRUE(os::SetFileAttributesA("C:\\ro.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(os::GetFileAttributesA("C:\\ro.txt"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    auto open = [](const char* path, DWORD access, DWORD flags) {
        return UniqueHandle(os::CreateFileA(path, access, 0, nullptr, OPEN_EXISTING, flags, nullptr));
    };
    auto refused = [](const char* what, bool done, DWORD error) {
        EXPECT_FALSE(done) << what;
        EXPECT_EQ(os::GetLastError(), error) << what;
    };
    refused("on a file",
            SetOn(open("C:\\data\\a.txt", GENERIC_READ | GENERIC_WRITE, FILE_FLAG_OPEN_REPARSE_POINT), bytes),
            ERROR_DIRECTORY);
    refused("without write access", SetOn(OpenDir("C:\\links\\web", GENERIC_READ), bytes), ERROR_ACCESS_DENIED);
    refused("lengths that disagree with the size handed over",
            SetOn(OpenDir("C:\\links\\web", GENERIC_READ | GENERIC_WRITE), longer), ERROR_INVALID_REPARSE_DATA);
    refused("a directory without backup semantics", open("C:\\data", GENERIC_READ, 0).valid(), ERROR_ACCESS_DENIED);
    refused("a directory held open", OpenDir("C:\\data", GENERIC_READ) && OpenDir("C:\\data", GENERIC_READ),
            ERROR_SHARING_VIOLATION);
    refused("a read-only file for writing", open("C:\\ro.txt", GENERIC_WRITE, 0).valid(), ERROR_ACCESS_DENIED);
    refused("a read-only file deleted", os::DeleteFileA("C:\\ro.txt"), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(HasReparsePoint("C:\\links\\web"));
    EXPECT_EQ(sim::OpenHandleCount(), 0);
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
    EXPECT_TRUE(SetOn(web, test::MountPoint(u"\\??\\C:\\data")));
    EXPECT_EQ(Stored("C:\\moved\\web"), test::MountPoint(u"\\??\\C:\\data"));
    FILE_ATTRIBUTE_TAG_INFO tag{};
    EXPECT_TRUE(os::GetFileInformationByHandleEx(web.get(), FileAttributeTagInfo, &tag, sizeof tag));
    EXPECT_EQ(tag.ReparseTag, reparse::kMountPointTag);
    FILE_DISPOSITION_INFO remove{TRUE};
    EXPECT_TRUE(os::SetFileInformationByHandle(web.get(), FileDispositionInfo, &remove, sizeof remove));
    web.reset();
    EXPECT_FALSE(std::filesystem::exists(fs.HostPath("C:\\moved\\web")));
    EXPECT_EQ(os::GetFileAttributesA("C:\\links\\web"), FILE_ATTRIBUTE_DIRECTORY);
}

// Names go through junctions, to a drive's root and across drives, but not
// out of the drives. Junctions to their own parent make names of any depth:
// they end at the path limit, or where one name passes more than 63 reparse
// points (the last component of a name whose attributes are asked is not
// followed).
TEST_F(SimReparse, PathsGoThroughJunctionsWithinTheDrivesAndTheLimits) {
    fs.AddDrive('D');
    ASSERT_TRUE(CreateJunction("C:\\links\\web", "C:\\data"));
    test::Junction("D:\\j", "C:\\");
    test::Junction("C:\\links\\odd", "\\??\\C:\\..\\..\\etc");
    EXPECT_EQ(Names(Entries("C:\\links\\web\\*")), (std::vector<std::string>{".", "..", "a.txt", "sub"}));
    EXPECT_EQ(os::GetFileAttributesA("C:\\links\\web\\sub"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(os::GetFileAttributesA("D:\\j\\data\\a.txt"), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(os::GetFileAttributesA("C:\\links\\odd\\passwd"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetLastError(), ERROR_PATH_NOT_FOUND);

    const std::string longName(40, 'n');
    test::Junction("C:\\c\\l", "C:\\c");
    test::Junction("C:\\c\\" + longName, "C:\\c");
    // The link descended through while the name resolves, the depth reached, and the reason it ends.
    for (const auto& [link, limit, error] :
         {std::tuple{longName, (MAX_PATH - 1 - 4) / 41, ERROR_FILENAME_EXCED_RANGE},
          {"l"s, 64, ERROR_CANT_RESOLVE_FILENAME}}) {
        std::string path = "C:\\c";
        int depth = 0;
        for (; os::GetFileAttributesA((path + "\\" + link).c_str()) != INVALID_FILE_ATTRIBUTES; ++depth)
            path += "\\" + link;
        EXPECT_EQ(os::GetLastError(), error) << link;
        EXPECT_EQ(depth, limit) << link;
    }
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

// A search lists a folder while its parent's listing is open: the folder is
// known from there until something changes, by a call of the simulation's
// own while listings are open, or on the host.
TEST(SimCache, AFolderListedFromItsParentsListingShowsWhatChanged) {
    struct Case {
        const char* what;
        bool parentStaysOpen;
        std::function<void(const Scratch&)> change;
        DWORD attributes;  // of C:\d\sub, and of "." in its listing
        const char* file;  // the one file listed in it
    } cases[] = {
        {"nothing", true, [](const Scratch&) {}, FILE_ATTRIBUTE_DIRECTORY, "s.txt"},
        {"its attributes, by a call", true,
         [](const Scratch&) { ASSERT_TRUE(os::SetFileAttributesA("C:\\d\\sub", FILE_ATTRIBUTE_HIDDEN)); },
         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN, "s.txt"},
        {"a file added and one deleted in it, by calls", true,
         [](const Scratch& fs) {
             fs.WriteFile("d\\sub\\t.txt", "x");
             ASSERT_TRUE(os::DeleteFileA("C:\\d\\sub\\s.txt"));
         },
         FILE_ATTRIBUTE_DIRECTORY, "t.txt"},
        {"a junction made of it, by a call", true,
         [](const Scratch&) {
             ASSERT_TRUE(os::DeleteFileA("C:\\d\\sub\\s.txt"));
             ASSERT_TRUE(CreateJunction("C:\\d\\sub", "C:\\target"));
         },
         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, "f.txt"},
        {"its attributes, on the host with no listing open", false,
         [](const Scratch& fs) {
             ASSERT_EQ(::lsetxattr(fs.HostPath("C:\\d\\sub").c_str(), "user.attrib", "0x02", 4, 0), 0);
         },
         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN, "s.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scratch fs;
        for (const char* dir : {"d", "d\\sub", "target"}) fs.MakeDir(dir);
        fs.WriteFile("d\\sub\\s.txt", "x");
        fs.WriteFile("target\\f.txt", "x");
        UniqueFindHandle outer = ListUpTo("C:\\*", "d"), parent = ListUpTo("C:\\d\\*.*", "sub");
        // Listed twice, and with another pattern, before the change: the same entries, field for field.
        std::vector<WIN32_FIND_DATAA> first = Entries("C:\\d\\sub\\*.*"), again = Entries("C:\\d\\sub\\*.*");
        ASSERT_EQ(first.size(), 3u);
        ASSERT_EQ(again.size(), 3u);
        for (std::size_t i = 0; i < first.size(); ++i)
            EXPECT_EQ(std::memcmp(&first[i], &again[i], sizeof first[i]), 0) << first[i].cFileName;
        EXPECT_EQ(Names(Entries("C:\\d\\sub\\*.txt")), std::vector<std::string>{"s.txt"});
        if (!c.parentStaysOpen) {
            parent.reset();
            outer.reset();
        }
        c.change(fs);
        EXPECT_EQ(os::GetFileAttributesA("C:\\d\\sub"), c.attributes);
        // Names through a junction lead to its target.
        EXPECT_EQ(os::GetFileAttributesA("C:\\d\\sub\\f.txt"),
                  c.file == std::string("f.txt") ? FILE_ATTRIBUTE_ARCHIVE : INVALID_FILE_ATTRIBUTES);
        std::vector<WIN32_FIND_DATAA> entries = Entries("C:\\d\\sub\\*.*");
        ASSERT_EQ(Names(entries), (std::vector<std::string>{".", "..", c.file}));
        // The target's own ".", as Windows lists a folder through a junction.
        EXPECT_EQ(entries[0].dwFileAttributes, c.attributes & ~FILE_ATTRIBUTE_REPARSE_POINT);
    }
}

TEST(SimCache, HostChangesOnTheWayOfANameAreSeen) {
    struct Case {
        const char* what;
        std::function<void(const Scratch&)> change;
        DWORD attributes;  // of C:\a\b\f.txt afterwards
        DWORD error;
    } cases[] = {
        {"a junction set on a folder on the way",
         [](const Scratch& fs) { test::HostMountPoint(fs.HostPath("C:\\a"), u"\\??\\C:\\other"); },
         FILE_ATTRIBUTE_ARCHIVE, 0},
        {"a folder on the way renamed, a junction in its place",
         [](const Scratch& fs) {
             std::filesystem::rename(fs.HostPath("C:\\a"), fs.HostPath("C:\\old"));
             std::filesystem::create_directory(fs.HostPath("C:\\a"));
             test::HostMountPoint(fs.HostPath("C:\\a"), u"\\??\\C:\\other");
         },
         FILE_ATTRIBUTE_ARCHIVE, 0},
        {"a folder on the way removed", [](const Scratch& fs) { std::filesystem::remove_all(fs.HostPath("C:\\a")); },
         INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
        {"the drive's root renamed away",
         [](const Scratch& fs) { std::filesystem::rename(fs.HostRoot() + "/C", fs.HostRoot() + "/old"); },
         INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scratch fs;
        for (const char* dir : {"a", "a\\b", "other", "other\\b"}) fs.MakeDir(dir);
        fs.WriteFile("other\\b\\f.txt", "x");
        // Twice: the second time from what the first one met on the way.
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(os::GetFileAttributesA("C:\\a\\b\\f.txt"), INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(os::GetLastError(), ERROR_FILE_NOT_FOUND);
        }
        c.change(fs);
        EXPECT_EQ(os::GetFileAttributesA("C:\\a\\b\\f.txt"), c.attributes);
        if (c.error) {
            EXPECT_EQ(os::GetLastError(), c.error);
        }
    }
}

}  // namespace
}  // namespace tarsio
