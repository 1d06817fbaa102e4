// The junction operations on the simulated NTFS.

#include "engine/junction.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine/error.h"
#include "engine/reparse_buffer.h"
#include "platform/os.h"
#include "platform/sim/sim.h"
#include "platform/unique_handle.h"
#include "tests/native/sim_helpers.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::HostReparse;
using test::Scratch;

class JunctionTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs.MakeDir("data");
        fs.MakeDir("links");
        sim::ClearFaults();
        sim::ResetCallLog();
    }
    void TearDown() override { sim::ClearFaults(); }

    // The destination as callers show it: positions 5 to length - 1.
    std::string Shown(const std::string& dir) {
        std::string d;
        if (!ReadJunctionDestination(dir, d)) return "<unreadable>";
        return PlainDestination(d);
    }

    Scratch fs;
};

TEST_F(JunctionTest, CreateStoresTheMountPointBytesExactly) {
    fs.MakeDir("links\\web");
    ASSERT_TRUE(CreateJunction("C:\\links\\web", "C:\\data"));
    auto stored = HostReparse(fs.HostPath("C:\\links\\web"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, *reparse::BuildMountPoint(u"\\??\\C:\\data"));
    EXPECT_EQ(stored->size(), 42u);
    EXPECT_EQ(os::GetFileAttributesA("C:\\links\\web"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);

    std::string read;
    ASSERT_TRUE(ReadJunctionDestination("C:\\links\\web", read));
    EXPECT_EQ(read, std::string("\\??\\C:\\data") + '\0');
    EXPECT_EQ(read.size(), 12u);
    EXPECT_EQ(sim::OpenHandleCount(), 0);
}

TEST_F(JunctionTest, DestinationIsStoredAsTheNativeNameItStandsFor) {
    ::setenv("TARSIO_SIM_CWD", "C:\\", 1);
    fs.WriteFile("data\\f.txt", "x");
    struct Case {
        const char* destination;
        std::u16string stored;
        const char* shown;  // as the information dialog shows it
        bool there;         // to an import, which looks for a native name under its Win32 name
    } cases[] = {
        {"data", u"\\??\\C:\\data", "C:\\data", true},  // "\??\data" would lead nowhere
        {"\\\\?\\C:\\data", u"\\??\\C:\\data", "C:\\data", true},
        {"\\\\?\\c:\\data", u"\\??\\c:\\data", "c:\\data", true},
        {"\\??\\C:\\data\\f.txt", u"\\??\\C:\\data\\f.txt", "C:\\data\\f.txt", false},  // as it is, with no look
        {"\\??\\C:\\nowhere", u"\\??\\C:\\nowhere", "C:\\nowhere", false},
        {"\\??\\Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}\\",
         u"\\??\\Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}\\",
         "\\\\?\\Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}\\", false},
    };
    for (const Case& c : cases) {
        fs.MakeDir("links\\j");
        sim::ResetCallLog();
        ASSERT_TRUE(CreateJunction("C:\\links\\j", c.destination)) << c.destination;
        const std::size_t looks = sim::CallCount("GetFileAttributesW");
        EXPECT_EQ(*HostReparse(fs.HostPath("C:\\links\\j")), *reparse::BuildMountPoint(c.stored)) << c.destination;
        EXPECT_EQ(Shown("C:\\links\\j"), c.shown);
        EXPECT_TRUE(JunctionLeadsTo("C:\\links\\j", c.shown)) << c.shown;
        EXPECT_EQ(CheckJunctionDestination(c.destination), c.there) << c.destination;
        if (c.destination[1] == '?') {
            EXPECT_EQ(looks, 0u);
        } else {  // it leads where it says
            EXPECT_NE(os::GetFileAttributesA("C:\\links\\j\\f.txt"), INVALID_FILE_ATTRIBUTES) << c.destination;
        }
        ASSERT_TRUE(DeleteJunction("C:\\links\\j"));
    }
}

TEST_F(JunctionTest, NonEmptyJunctionDirectoryKeepsItsContents) {
    fs.MakeDir("links\\full");
    fs.WriteFile("links\\full\\note.txt", "keep me");
    EXPECT_FALSE(CreateJunction("C:\\links\\full", "C:\\data"));
    EXPECT_EQ(os::GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_EQ(fs.ReadFile("links\\full\\note.txt"), "keep me");
    EXPECT_FALSE(HasReparsePoint("C:\\links\\full"));
}

TEST_F(JunctionTest, RefusedReparsePointRemovesOnlyADirectoryMadeForIt) {
    fs.AddDrive('E', "removable FAT32");
    for (bool madeForIt : {true, false}) {
        ASSERT_TRUE(os::CreateDirectoryA("E:\\j", nullptr));
        EXPECT_FALSE(CreateJunction("E:\\j", "C:\\data", madeForIt));
        EXPECT_EQ(os::GetLastError(), ERROR_INVALID_FUNCTION);
        // The user's own empty folder stays.
        EXPECT_EQ(DirectoryExists("E:\\j"), !madeForIt) << madeForIt;
        os::RemoveDirectoryA("E:\\j");
    }
}

TEST_F(JunctionTest, DestinationsThatCannotWorkAreRefusedBeforeAnythingIsTouched) {
    fs.MakeDir("links\\keep");
    fs.WriteFile("data\\file.txt", "x");
    struct Case {
        std::string junctionDir, destination;
        DWORD error;
    } cases[] = {
        {"C:\\links\\keep", "", ERROR_PATH_NOT_FOUND},
        {"C:\\links\\keep", "C:\\missing", ERROR_PATH_NOT_FOUND},
        {"C:\\links\\keep", "Q:\\nodrive", ERROR_PATH_NOT_FOUND},
        {"C:\\links\\keep", "C:\\data\\file.txt", ERROR_DIRECTORY},
        {"C:\\links\\keep", "\\\\server\\share\\data", ERROR_BAD_PATHNAME},
        {"C:\\links\\keep", "\\\\.\\C:\\data", ERROR_BAD_PATHNAME},
        {"C:\\links\\keep", "\\\\?\\UNC\\server\\share", ERROR_BAD_PATHNAME},
        {"C:\\links\\keep", "\\??\\UNC\\server\\share", ERROR_BAD_PATHNAME},
        {"C:\\links\\keep", "//server/share", ERROR_BAD_PATHNAME},
        // More than a mount point's 16 KB buffer holds.
        {"C:\\links\\keep", "\\??\\C:\\" + std::string(reparse::kMaxSubstituteUnits, 'x'),
         ERROR_FILENAME_EXCED_RANGE},
        {"C:\\links\\keep", "C:\\da\tta", ERROR_INVALID_NAME},
        {"C:\\links\\keep", std::string("C:\\data\0\\x", 10), ERROR_INVALID_NAME},
        {"C:\\links\\keep", std::string("\\??\\C:\\x\0y", 10), ERROR_INVALID_NAME},
        {std::string("C:\\links\\keep\0x", 16), "C:\\data", ERROR_INVALID_NAME},
        {"C:\\links\\keep\r", "C:\\data", ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        sim::ResetCallLog();
        const std::string shown = c.destination.substr(0, 30);
        EXPECT_FALSE(CreateJunction(c.junctionDir, c.destination, true)) << shown;
        EXPECT_EQ(os::GetLastError(), c.error) << shown;
        // What an import looks at before it makes anything.
        if (c.destination != "C:\\data") {
            EXPECT_FALSE(CheckJunctionDestination(c.destination)) << shown;
            EXPECT_EQ(os::GetLastError(), c.error) << shown;
        }
        EXPECT_EQ(sim::CallCount("CreateFileW"), 0u) << shown;
        EXPECT_EQ(sim::CallCount("RemoveDirectoryW"), 0u) << shown;
        EXPECT_TRUE(DirectoryExists("C:\\links\\keep"));
        EXPECT_FALSE(HasReparsePoint("C:\\links\\keep"));
    }
}

// Whether a junction already leads where a line says: as Windows compares
// names, ignoring case and a trailing backslash, but a volume root's.
TEST_F(JunctionTest, JunctionLeadsWhereItsStoredNameSaysAsWindowsComparesNames) {
    const char* volume = "\\??\\Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}\\";
    for (auto [junction, destination] :
         {std::pair{"a", "\\??\\C:\\Data"}, {"root", "C:\\"}, {"vol", volume}, {"ru", "\\??\\C:\\Москва"}})
        test::Junction("C:\\links\\" + std::string(junction), destination);
    struct Case {
        const char* junction;
        std::string destination;
        bool leads;
    } cases[] = {
        {"a", "C:\\data", true},
        {"a", "c:\\DATA\\", true},
        {"a", "\\\\?\\C:\\data", true},
        {"a", "data", true},
        {"a", "C:\\dat", false},
        {"a", "C:\\data\\x", false},
        {"root", "C:\\", true},
        {"root", "\\??\\C:", false},
        {"vol", volume, true},
        {"vol", "\\??\\VOLUME{0C6FD6E2-63C4-4F6C-9E4D-2B1C3A5D7E90}\\", true},
        {"vol", std::string(volume, std::strlen(volume) - 1), false},
        {"ru", "C:\\МОСКВА", true},
        {"..", "C:\\data", false},
        {"missing", "C:\\data", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JunctionLeadsTo("C:\\links\\" + std::string(c.junction), c.destination), c.leads)
            << c.junction << " " << c.destination;
}

TEST_F(JunctionTest, DirectoryHeldOpenIsNeitherMadeNorRemoved) {
    fs.MakeDir("links\\busy");
    UniqueHandle other(os::CreateFileA("C:\\links\\busy", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(other.valid());
    EXPECT_FALSE(CreateJunction("C:\\links\\busy", "C:\\data"));
    EXPECT_TRUE(DirectoryExists("C:\\links\\busy"));
    other.reset();
    EXPECT_FALSE(HasReparsePoint("C:\\links\\busy"));
}

TEST_F(JunctionTest, ReadingWhatIsNoJunctionOpensNothingAndLeavesTheReason) {
    struct Case {
        const char* path;
        DWORD error;
    } cases[] = {
        {"C:\\data", ERROR_NOT_A_REPARSE_POINT},
        {"C:\\missing", ERROR_FILE_NOT_FOUND},
        {"C:\\missing\\deeper", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        sim::ResetCallLog();
        os::SetLastError(ERROR_SHARING_VIOLATION);  // stale
        std::string untouched = "unchanged";
        EXPECT_FALSE(ReadJunctionDestination(c.path, untouched)) << c.path;
        EXPECT_EQ(os::GetLastError(), c.error) << c.path;
        EXPECT_EQ(untouched, "unchanged") << c.path;
        EXPECT_EQ(sim::CallCount("CreateFileW"), 0u) << c.path;
    }
}

TEST_F(JunctionTest, DeleteRemovesTheMountPointAndThenTheDirectoryWithNothingElse) {
    fs.MakeDir("links\\web");
    fs.WriteFile("data\\kept.txt", "payload");
    ASSERT_TRUE(CreateJunction("C:\\links\\web", "C:\\data"));
    bool removed = false;
    ASSERT_TRUE(DeleteJunction("C:\\links\\web", &removed));
    EXPECT_TRUE(removed);
    EXPECT_EQ(fs.Names("links\\"), std::vector<std::string>{});
    EXPECT_EQ(fs.ReadFile("data\\kept.txt"), "payload");
    EXPECT_FALSE(DeleteJunction("C:\\links\\web"));
    EXPECT_EQ(os::GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(DeleteJunction("C:\\data"));
    EXPECT_EQ(os::GetLastError(), ERROR_NOT_A_REPARSE_POINT);

    // Another program puts a file into the directory once the mount point went: it stays, plain, with the file.
    fs.MakeDir("links\\web");
    ASSERT_TRUE(CreateJunction("C:\\links\\web", "C:\\data"));
    sim::BetweenCalls("DeviceIoControl", 1, [&] { test::WriteFileAt("C:\\links\\web\\late.txt", "late"); });
    EXPECT_TRUE(DeleteJunction("C:\\links\\web", &removed));
    EXPECT_FALSE(removed);
    EXPECT_EQ(os::GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_EQ(fs.ReadFile("links\\web\\late.txt"), "late");
    EXPECT_EQ(os::GetFileAttributesA("C:\\links\\web"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(sim::OpenHandleCount(), 0);
}

TEST_F(JunctionTest, OtherReparseKindsAreNeitherReadNorDeletedAsJunctions) {
    fs.MakeDir("links\\sym");
    // A symbolic link: tag 0xA000000C, flags word, then the names.
    std::vector<std::uint8_t> symlink = {0x0C, 0x00, 0x00, 0xA0, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    ASSERT_TRUE(SetReparseData("C:\\links\\sym", symlink.data(), static_cast<std::uint32_t>(symlink.size())));
    EXPECT_TRUE(HasReparsePoint("C:\\links\\sym"));
    std::string d = "unchanged";
    EXPECT_FALSE(ReadJunctionDestination("C:\\links\\sym", d));
    EXPECT_EQ(d, "unchanged");
    EXPECT_FALSE(DeleteJunction("C:\\links\\sym"));
    EXPECT_EQ(os::GetLastError(), ERROR_REPARSE_TAG_MISMATCH);
    EXPECT_TRUE(DeleteReparseData("C:\\links\\sym", 0xA000000C));
}

TEST_F(JunctionTest, DirectoryTestsSeeTheJunctionItself) {
    fs.MakeDir("gone");
    fs.MakeDir("links\\dangling");
    ASSERT_TRUE(CreateJunction("C:\\links\\dangling", "C:\\gone"));
    ASSERT_TRUE(os::RemoveDirectoryA("C:\\gone"));
    EXPECT_TRUE(DirectoryExists("C:\\links\\dangling"));
    EXPECT_TRUE(HasReparsePoint("C:\\links\\dangling"));
    EXPECT_TRUE(ForceDirectories("C:\\links\\dangling"));
    EXPECT_EQ(Shown("C:\\links\\dangling"), "C:\\gone");
}

TEST_F(JunctionTest, ForceDirectoriesCreatesThroughAJunction) {
    fs.MakeDir("links\\web");
    ASSERT_TRUE(CreateJunction("C:\\links\\web", "C:\\data"));
    ASSERT_TRUE(ForceDirectories("C:\\links\\web\\new\\deep"));
    EXPECT_TRUE(std::filesystem::is_directory(fs.HostPath("C:\\data\\new\\deep")));
    EXPECT_TRUE(std::filesystem::is_empty(fs.HostPath("C:\\links\\web")));
}

// Every platform call an operation makes, failing in turn: the operation
// answers false, closes what it opened and leaves no half-made junction.
class FaultSweep : public JunctionTest {
protected:
    // `check` is given the operation's result.
    template <typename Setup, typename Op, typename Check>
    void Sweep(Setup setup, Op op, Check check) {
        setup();
        sim::ResetCallLog();
        ASSERT_TRUE(op());
        const std::size_t calls = sim::CallLog().size();
        ASSERT_GT(calls, 0u);
        for (std::size_t k = 1; k <= calls; ++k) {
            setup();
            sim::ResetCallLog();
            sim::FailNthCall(static_cast<int>(k), ERROR_ACCESS_DENIED);
            bool result = op();
            std::vector<std::string> log = sim::CallLog();
            sim::ClearFaults();
            SCOPED_TRACE("failing call " + std::to_string(k) + ": " + log.at(k - 1));
            EXPECT_EQ(sim::OpenHandleCount(), 0);
            check(result);
        }
    }
};

TEST_F(FaultSweep, CreateJunction) {
    const std::string dir = "C:\\links\\web";
    Sweep(
        [&] {
            std::filesystem::remove_all(fs.HostPath(dir));
            fs.MakeDir("links\\web");
        },
        [&] { return CreateJunction(dir, "C:\\data"); },
        [&](bool result) {
            EXPECT_FALSE(result);
            // Either the directory is still there and plain, or it is gone.
            EXPECT_FALSE(HostReparse(fs.HostPath(dir)));
            EXPECT_FALSE(HasReparsePoint(dir));
        });
}

// Until the mount point went the junction stays whole; after that the
// directory stays, plain, where its removal failed.
TEST_F(FaultSweep, DeleteJunctionKeepsTheJunctionWholeOrItsPlainDirectory) {
    const std::string dir = "C:\\links\\web";
    auto whole = *reparse::BuildMountPoint(u"\\??\\C:\\data");
    Sweep(
        [&] {
            std::filesystem::remove_all(fs.HostPath(dir));
            fs.MakeDir("links\\web");
            ASSERT_TRUE(CreateJunction(dir, "C:\\data"));
        },
        [&] { return DeleteJunction(dir); },
        [&](bool result) {
            EXPECT_EQ(HostReparse(fs.HostPath(dir)), result ? std::nullopt : std::optional(whole));
            EXPECT_TRUE(DirectoryExists(dir));
        });
}

TEST_F(FaultSweep, ReadJunctionDestinationLeavesTheResultUntouched) {
    fs.MakeDir("links\\web");
    ASSERT_TRUE(CreateJunction("C:\\links\\web", "C:\\data"));
    std::string out;
    Sweep([&] { out = "untouched"; }, [&] { return ReadJunctionDestination("C:\\links\\web", out); },
          [&](bool result) {
              EXPECT_FALSE(result);
              EXPECT_EQ(out, "untouched");
          });
}

TEST_F(JunctionTest, ForceDirectoriesStopsAtTheLevelThatFails) {
    const char* levels[] = {"C:\\new", "C:\\new\\a", "C:\\new\\a\\b"};
    for (int k = 1; k <= 3; ++k) {
        std::filesystem::remove_all(fs.HostPath("C:\\new"));
        sim::FailCall("CreateDirectoryW", k, ERROR_ACCESS_DENIED);
        EXPECT_FALSE(ForceDirectories("C:\\new\\a\\b"));
        sim::ClearFaults();
        for (int i = 0; i < 3; ++i) EXPECT_EQ(DirectoryExists(levels[i]), i < k - 1) << k << " " << levels[i];
    }
}

}  // namespace
}  // namespace tarsio
