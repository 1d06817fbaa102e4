// The junction operations on the simulated NTFS.

#include "engine/junction.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine/reparse_buffer.h"
#include "platform/ansi.h"
#include "platform/os.h"
#include "platform/sim/sim.h"
#include "platform/unique_handle.h"
#include "tests/native/sim_helpers.h"

namespace tarsio {
namespace {

using namespace std::string_literals;
using test::MountPoint;

class JunctionTest : public test::SimTest {
protected:
    void SetUp() override {
        fs.MakeDir("data");
        fs.MakeDir("links");
    }
};

// In a junction directory and a destination whose names are beyond any
// legacy code page (Polish, Cyrillic, Greek, CJK, outside the BMP) too.
TEST_F(JunctionTest, DestinationIsStoredAsTheNativeNameItStandsFor) {
    const std::string j = "C:\\links\\Łódź Москва";
    fs.MakeDir("Ωμέγα 中文 𝄞");
    for (const char* dir : {"data", "Ωμέγα 中文 𝄞"}) fs.WriteFile(dir + "\\f.txt"s, "x");
    struct Case {
        const char* destination;
        std::u16string stored;
        const char* shown;  // as the information dialog shows it
        bool there;         // to an import, which looks for a native name under its Win32 name
    } cases[] = {
        {"data", u"\\??\\C:\\data", "C:\\data", true},  // "\??\data" would lead nowhere
        {"\\\\?\\C:\\data", u"\\??\\C:\\data", "C:\\data", true},
        {"\\\\?\\c:\\data", u"\\??\\c:\\data", "c:\\data", true},
        {"C:\\Ωμέγα 中文 𝄞", u"\\??\\C:\\Ωμέγα 中文 𝄞", "C:\\Ωμέγα 中文 𝄞", true},
        {"\\??\\C:\\data\\f.txt", u"\\??\\C:\\data\\f.txt", "C:\\data\\f.txt", false},  // as it is, with no look
        {"\\??\\C:\\nowhere", u"\\??\\C:\\nowhere", "C:\\nowhere", false},
        {"\\??\\Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}\\",
         u"\\??\\Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}\\",
         "\\\\?\\Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}\\", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.destination);
        ASSERT_TRUE(os::CreateDirectoryA(j.c_str(), nullptr));
        sim::ResetCallLog();
        ASSERT_TRUE(CreateJunction(j, c.destination));
        const std::size_t looks = sim::CallCount("GetFileAttributesW");
        EXPECT_EQ(Stored(j), MountPoint(c.stored));
        EXPECT_EQ(os::GetFileAttributesA(j.c_str()), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
        std::string read;
        ASSERT_TRUE(ReadJunctionDestination(j, read));
        EXPECT_EQ(read, *WideToAnsi(c.stored) + '\0');
        EXPECT_EQ(PlainDestination(read), c.shown);
        EXPECT_TRUE(JunctionLeadsTo(j, c.shown));
        EXPECT_EQ(CheckJunctionDestination(c.destination), c.there);
        if (c.destination[1] == '?') {
            EXPECT_EQ(looks, 0u);
        } else {  // it leads where it says
            EXPECT_NE(os::GetFileAttributesA((j + "\\f.txt").c_str()), INVALID_FILE_ATTRIBUTES);
        }
        bool removed = false;
        ASSERT_TRUE(DeleteJunction(j, &removed));
        EXPECT_TRUE(removed);
        EXPECT_FALSE(DirectoryExists(j));
        EXPECT_EQ(fs.ReadFile("data\\f.txt"), "x");  // what it led to stays
        EXPECT_EQ(sim::OpenHandleCount(), 0);
    }
}

// A directory that holds anything, is held open, or lies on a volume without
// reparse points: refused, and only a directory made for the junction goes.
TEST_F(JunctionTest, DirectoryThatCannotTakeTheMountPointIsLeftAsItWas) {
    fs.AddDrive('E', "removable FAT32");
    fs.MakeDir("links\\full");
    fs.WriteFile("links\\full\\note.txt", "keep me");
    fs.MakeDir("links\\busy");
    UniqueHandle other(os::CreateFileA("C:\\links\\busy", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(other.valid());
    struct Case {
        const char* dir;
        DWORD error;
        bool madeForIt, stays;
    } cases[] = {
        {"C:\\links\\full", ERROR_DIR_NOT_EMPTY, false, true},
        {"C:\\links\\busy", ERROR_SHARING_VIOLATION, false, true},
        {"E:\\j", ERROR_INVALID_FUNCTION, false, true},  // the user's own empty folder
        {"E:\\j", ERROR_INVALID_FUNCTION, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.dir << " " << c.madeForIt);
        os::CreateDirectoryA(c.dir, nullptr);  // again where the case before removed it
        EXPECT_FALSE(CreateJunction(c.dir, "C:\\data", c.madeForIt));
        EXPECT_EQ(os::GetLastError(), c.error);
        EXPECT_EQ(DirectoryExists(c.dir), c.stays);
        EXPECT_FALSE(HasReparsePoint(c.dir));
    }
    EXPECT_EQ(fs.ReadFile("links\\full\\note.txt"), "keep me");
}

TEST_F(JunctionTest, DestinationsThatCannotWorkAreRefusedBeforeAnythingIsTouched) {
    fs.MakeDir("links\\keep");
    fs.WriteFile("data\\file.txt", "x");
    const std::string keep = "C:\\links\\keep";
    struct Case {
        std::string junctionDir, destination;
        DWORD error;
    } cases[] = {
        {keep, "", ERROR_PATH_NOT_FOUND},
        {keep, "C:\\missing", ERROR_PATH_NOT_FOUND},
        {keep, "Q:\\nodrive", ERROR_PATH_NOT_FOUND},
        {keep, "C:\\data\\file.txt", ERROR_DIRECTORY},
        {keep, "\\\\server\\share\\data", ERROR_BAD_PATHNAME},
        {keep, "\\\\.\\C:\\data", ERROR_BAD_PATHNAME},
        {keep, "\\\\?\\UNC\\server\\share", ERROR_BAD_PATHNAME},
        {keep, "\\??\\UNC\\server\\share", ERROR_BAD_PATHNAME},
        {keep, "//server/share", ERROR_BAD_PATHNAME},
        // More than a mount point's 16 KB buffer holds.
        {keep, "\\??\\C:\\" + std::string(reparse::kMaxSubstituteUnits, 'x'), ERROR_FILENAME_EXCED_RANGE},
        {keep, "C:\\da\tta", ERROR_INVALID_NAME},
        {keep, std::string("C:\\data\0\\x", 10), ERROR_INVALID_NAME},
        {keep, std::string("\\??\\C:\\x\0y", 10), ERROR_INVALID_NAME},
        {std::string("C:\\links\\keep\0x", 16), "C:\\data", ERROR_INVALID_NAME},
        {keep + "\r", "C:\\data", ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.destination.substr(0, 30));
        sim::ResetCallLog();
        EXPECT_FALSE(CreateJunction(c.junctionDir, c.destination, true));
        EXPECT_EQ(os::GetLastError(), c.error);
        // What an import looks at before it makes anything.
        if (c.destination != "C:\\data") {
            EXPECT_FALSE(CheckJunctionDestination(c.destination));
            EXPECT_EQ(os::GetLastError(), c.error);
        }
        EXPECT_EQ(sim::CallCount("CreateFileW"), 0u);
        EXPECT_EQ(sim::CallCount("RemoveDirectoryW"), 0u);
        EXPECT_TRUE(DirectoryExists(keep));
        EXPECT_FALSE(HasReparsePoint(keep));
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

// What is no junction is neither read nor deleted as one: the reason is
// left, the result untouched, and only a reparse point is opened to tell.
TEST_F(JunctionTest, WhatIsNoJunctionIsNeitherReadNorDeleted) {
    fs.MakeDir("links\\sym");
    test::HostSymbolicLink(fs.HostPath("C:\\links\\sym"));
    const auto symlink = Stored("C:\\links\\sym");
    // The path, and the reasons a read and a deletion leave.
    for (auto [path, readError, deleteError] :
         {std::tuple{"C:\\data", ERROR_NOT_A_REPARSE_POINT, ERROR_NOT_A_REPARSE_POINT},
          {"C:\\missing", ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
          {"C:\\missing\\deeper", ERROR_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND},
          {"C:\\links\\sym", ERROR_INVALID_REPARSE_DATA, ERROR_REPARSE_TAG_MISMATCH}}) {
        SCOPED_TRACE(path);
        sim::ResetCallLog();
        os::SetLastError(ERROR_SHARING_VIOLATION);  // stale
        std::string untouched = "unchanged";
        EXPECT_FALSE(ReadJunctionDestination(path, untouched));
        EXPECT_EQ(os::GetLastError(), readError);
        EXPECT_EQ(untouched, "unchanged");
        EXPECT_EQ(sim::CallCount("CreateFileW") > 0, path == std::string("C:\\links\\sym"));
        EXPECT_FALSE(DeleteJunction(path));
        EXPECT_EQ(os::GetLastError(), deleteError);
    }
    EXPECT_EQ(Stored("C:\\links\\sym"), symlink);
    EXPECT_TRUE(DirectoryExists("C:\\data"));
}

// Held open without sharing by another program: reads, but is not deleted.
TEST_F(JunctionTest, BusyJunctionReadsButIsNotDeleted) {
    test::Junction("C:\\busy", "C:\\data");
    UniqueHandle other(os::CreateFileA("C:\\busy", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    ASSERT_TRUE(other.valid());
    EXPECT_EQ(Shown("C:\\busy"), "C:\\data");
    EXPECT_FALSE(DeleteJunction("C:\\busy"));
    EXPECT_EQ(os::GetLastError(), ERROR_SHARING_VIOLATION);
}

// Another program puts a file into the directory once the mount point went:
// it stays, plain, with the file.
TEST_F(JunctionTest, DeleteLeavesTheDirectoryAFileWasPutInMeanwhile) {
    test::Junction("C:\\links\\web", "C:\\data");
    sim::BetweenCalls("DeviceIoControl", 1, [&] { test::WriteFileAt("C:\\links\\web\\late.txt", "late"); });
    bool removed = true;
    EXPECT_TRUE(DeleteJunction("C:\\links\\web", &removed));
    EXPECT_FALSE(removed);
    EXPECT_EQ(os::GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_EQ(fs.ReadFile("links\\web\\late.txt"), "late");
    EXPECT_EQ(os::GetFileAttributesA("C:\\links\\web"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(sim::OpenHandleCount(), 0);
}

// A dangling junction is a directory to the directory tests; ForceDirectories
// takes it as it is, and makes what lies below a junction at its destination.
TEST_F(JunctionTest, DirectoryTestsSeeTheJunctionItselfAndPathsGoThroughIt) {
    fs.MakeDir("gone");
    test::Junction("C:\\links\\dangling", "C:\\gone");
    ASSERT_TRUE(os::RemoveDirectoryA("C:\\gone"));
    EXPECT_TRUE(DirectoryExists("C:\\links\\dangling"));
    EXPECT_TRUE(HasReparsePoint("C:\\links\\dangling"));
    EXPECT_TRUE(ForceDirectories("C:\\links\\dangling"));
    EXPECT_EQ(Shown("C:\\links\\dangling"), "C:\\gone");
    test::Junction("C:\\links\\web", "C:\\data");
    ASSERT_TRUE(ForceDirectories("C:\\links\\web\\new\\deep"));
    EXPECT_TRUE(std::filesystem::is_directory(fs.HostPath("C:\\data\\new\\deep")));
    EXPECT_TRUE(std::filesystem::is_empty(fs.HostPath("C:\\links\\web")));
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

// Every platform call an operation makes, failing in turn: the operation
// answers false, closes what it opened and leaves no half-made junction.
class FaultSweep : public JunctionTest {
protected:
    // `setup` makes the state anew; `check` is given the operation's result.
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
    void Plain() {
        std::filesystem::remove_all(fs.HostPath(dir));
        fs.MakeDir("links\\web");
    }
    const std::string dir = "C:\\links\\web";
};

TEST_F(FaultSweep, CreateJunction) {
    Sweep([&] { Plain(); }, [&] { return CreateJunction(dir, "C:\\data"); },
          [&](bool result) {
              EXPECT_FALSE(result);
              // Either the directory is still there and plain, or it is gone.
              EXPECT_FALSE(Stored(dir));
              EXPECT_FALSE(HasReparsePoint(dir));
          });
}

// Until the mount point went the junction stays whole; after that the
// directory stays, plain, where its removal failed.
TEST_F(FaultSweep, DeleteJunctionKeepsTheJunctionWholeOrItsPlainDirectory) {
    Sweep(
        [&] {
            Plain();
            ASSERT_TRUE(CreateJunction(dir, "C:\\data"));
        },
        [&] { return DeleteJunction(dir); },
        [&](bool result) {
            EXPECT_EQ(Stored(dir), result ? std::nullopt : std::optional(MountPoint(u"\\??\\C:\\data")));
            EXPECT_TRUE(DirectoryExists(dir));
        });
}

TEST_F(FaultSweep, ReadJunctionDestinationLeavesTheResultUntouched) {
    test::Junction(dir, "C:\\data");
    std::string out;
    Sweep([&] { out = "untouched"; }, [&] { return ReadJunctionDestination(dir, out); },
          [&](bool result) {
              EXPECT_FALSE(result);
              EXPECT_EQ(out, "untouched");
          });
}

}  // namespace
}  // namespace tarsio
