// The importer making junctions, on the simulated NTFS.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "engine/error.h"
#include "listfile/export.h"
#include "platform/os.h"
#include "platform/unique_handle.h"
#include "tests/native/sim_helpers.h"

namespace tarsio {
namespace {

using namespace std::string_literals;
using test::MountPoint;

class ImportNative : public test::SimTest {
protected:
    void SetUp() override { fs.MakeDir("data"); }

    // The message of the error an import of `path` raises, with its code
    // where it has one; empty when it ends without errors.
    static std::string ErrorOf(const std::string& path) {
        try {
            if (TImport().Import(path)) return "no error raised, errors reported";
        } catch (const TarsioError& e) {
            return e.what() + (e.code() ? " (" + std::to_string(e.code()) + ")" : "");
        }
        return "";
    }
};

// Each pending line is made and loses its marker, and a line without one is
// left alone. Lines end at LF, CR LF or a lone CR and are written back with
// CR LF; a Ctrl+Z at a line's start ends the list, and all after it stays.
TEST_F(ImportNative, PendingLinesAreMadeAndLoseTheirMarker) {
    fs.MakeDir("links");
    fs.MakeDir("links\\empty");
    std::string list =
        "+C:\\links\\new\\deep->C:\\data\n"
        "+C:\\links\\empty->C:\\data\r"
        "+c:\\lower->c:\\data\r\n"
        "+C:\\v->\\\\?\\C:\\data\n"
        "C:\\done->C:\\data\r";
    std::string after =
        "C:\\links\\new\\deep->C:\\data\r\n"
        "C:\\links\\empty->C:\\data\r\n"
        "c:\\lower->c:\\data\r\n"
        "C:\\v->\\\\?\\C:\\data\r\n"
        "C:\\done->C:\\data\r\n";
    for (int i = 0; i < 10000; ++i) {
        const std::string line = "C:\\links\\" + std::to_string(i / 100) + "\\j" + std::to_string(i) +
                                 "->C:\\data\r\n";
        list += "+" + line;
        after += line;
    }
    const std::string tail = "\x1a+C:\\later->C:\\data\r\n+C:\\more->C:\\data\rfree\x1a\n";
    EXPECT_EQ(Import(list + tail), std::pair(false, after + tail));
    EXPECT_EQ(Stored("C:\\links\\new\\deep"), MountPoint(u"\\??\\C:\\data"));
    EXPECT_EQ(Stored("C:\\links\\empty"), MountPoint(u"\\??\\C:\\data"));
    EXPECT_EQ(Stored("C:\\lower"), MountPoint(u"\\??\\c:\\data"));
    EXPECT_EQ(Stored("C:\\v"), MountPoint(u"\\??\\C:\\data"));  // a verbatim name, as its native one
    EXPECT_EQ(Stored("C:\\links\\99\\j9999"), MountPoint(u"\\??\\C:\\data"));
    EXPECT_EQ(HostNames("C:\\"), (std::vector<std::string>{"data", "links", "list.trs", "lower", "v"}));
}

TEST_F(ImportNative, SecondImportMakesOnlyWhatFailedBefore) {
    EXPECT_EQ(Import("+C:\\a->C:\\data\n+C:\\b->C:\\later\n"),
              std::pair(true, "C:\\a->C:\\data\r\n+C:\\b->C:\\later\r\n"s));
    fs.MakeDir("later");
    ASSERT_TRUE(DeleteJunction("C:\\a"));  // a second try at the done entry would show here
    EXPECT_FALSE(TImport().Import("C:\\list.trs"));
    EXPECT_EQ(fs.ReadFile("list.trs"), "C:\\a->C:\\data\r\nC:\\b->C:\\later\r\n");
    EXPECT_FALSE(HasReparsePoint("C:\\a"));
    EXPECT_EQ(Stored("C:\\b"), MountPoint(u"\\??\\C:\\later"));
}

// Lines whose junction cannot be made stay pending, with the directories as
// they were: a refused junction directory that the import made is gone
// again, its parent and one that was there before stay. Names that no
// folder can have are refused at once.
TEST_F(ImportNative, EntriesThatCannotBeMadeStayPendingWithTheDirectoriesAsTheyWere) {
    fs.MakeDir("full");
    fs.WriteFile("full\\keep.txt", "k");
    fs.WriteFile("data\\file.txt", "x");
    fs.AddDrive('E', "removable FAT32");
    ASSERT_TRUE(os::CreateDirectoryA("E:\\mine", nullptr));
    std::string deep = "a";
    for (int i = 1; i < 30000; ++i) deep += "\\a";
    std::string text;
    for (const std::string& line : {
             "+C:\\full->C:\\data"s, "+E:\\fat\\j->C:\\data"s, "+E:\\mine->C:\\data"s, "+Q:\\x->C:\\data"s,
             "+C:\\j1->C:\\data\\file.txt"s,                    // a file (the other destinations: JunctionTest)
             "+C:\\j2\0x->C:\\data"s,                           // a NUL byte in the junction directory
             "+C:\\j3->C:\\data\0x"s,                           // and in the destination
             "+C:\\j4\tx->C:\\data"s,                           // a control character
             "+C:\\" + std::string(60000, 'a') + "->C:\\data",  // longer than any name
             "+C:\\" + deep + "->C:\\data",                     // 30,000 levels
         })
        text += line + "\r\n";
    auto start = std::chrono::steady_clock::now();
    auto [errors, after] = Import(text);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    EXPECT_TRUE(errors);
    EXPECT_TRUE(after == text);  // too long to show
    EXPECT_EQ(HostNames("C:\\"), (std::vector<std::string>{"data", "full", "list.trs"}));
    EXPECT_EQ(fs.ReadFile("full\\keep.txt"), "k");
    EXPECT_TRUE(DirectoryExists("E:\\fat"));
    EXPECT_FALSE(DirectoryExists("E:\\fat\\j"));
    EXPECT_TRUE(DirectoryExists("E:\\mine"));
}

TEST_F(ImportNative, ErrorPartWayKeepsEarlierJunctionsAndTheFile) {
    const std::string text = "+C:\\first->C:\\data\n+C\n+C:\\second->C:\\data\n";
    EXPECT_THROW(Import(text), TarsioError);
    EXPECT_EQ(fs.ReadFile("list.trs"), text);
    EXPECT_TRUE(HasReparsePoint("C:\\first"));
    EXPECT_FALSE(DirectoryExists("C:\\second"));
}

// Another user swaps the folder above the new junction directory for a
// junction to C:\ once the write failed: the clean-up removes the directory
// the import made, not the empty C:\Config.Msi its name now leads to. Nor is
// anything set on C:\Config.Msi when the swap comes between the directory's
// creation and its opening.
TEST_F(ImportNative, NothingIsDoneWhereTheNewJunctionDirectorysNameNowLeads) {
    for (const char* dir : {"Config.Msi", "pub", "pub\\x", "pub\\y"}) fs.MakeDir(dir);
    sim::FailCall("DeviceIoControl", 1, ERROR_ACCESS_DENIED);
    sim::SwapForJunction("DeviceIoControl", 1, "C:\\pub\\x", "x.old", "C:\\");
    EXPECT_TRUE(Import("+C:\\pub\\x\\Config.Msi->C:\\data\r\n").first);
    EXPECT_TRUE(HasReparsePoint("C:\\pub\\x"));
    EXPECT_TRUE(DirectoryExists("C:\\Config.Msi"));
    EXPECT_EQ(HostNames("C:\\pub\\x.old"), std::vector<std::string>{});

    sim::ClearFaults();
    sim::SwapForJunction("CreateDirectoryW", 1, "C:\\pub\\y", "y.old", "C:\\");
    EXPECT_TRUE(Import("+C:\\pub\\y\\Config.Msi->C:\\data\r\n").first);
    EXPECT_FALSE(HasReparsePoint("C:\\Config.Msi"));
    EXPECT_TRUE(DirectoryExists("C:\\Config.Msi"));
    EXPECT_EQ(HostNames("C:\\pub\\y.old"), std::vector<std::string>{"Config.Msi"});
}

// The list's own I/O failing, another program at work on the list while the
// import makes its junctions, and replaces that fail: the list, or where it
// is gone the side file, keeps every line, nothing else is left beside it,
// and nothing stays open.
TEST_F(ImportNative, NoLineOfTheListIsLost) {
    const std::string text = "+C:\\j->C:\\data\r\n", made = "C:\\j->C:\\data\r\n";
    const std::string list = fs.HostPath("C:\\list.trs"), side = list + ".tarsio-new";
    const std::string changed = "Another program changed the list during the import, so it was not written back";
    const std::string missing = ". The list is missing; its new text is in C:\\list.trs.tarsio-new";
    fs.WriteFile("list.trs", text);
    sim::ResetCallLog();
    ASSERT_FALSE(TImport().Import("C:\\list.trs"));
    // The last three: the new text written, the list looked up by name, the list held.
    const int closes = static_cast<int>(sim::CallCount("CloseHandle"));
    ASSERT_GE(closes, 4);
    auto fail = [](const char* call, int occurrence, DWORD error) {
        return [=] { sim::FailCall(call, occurrence, error); };
    };
    auto meanwhile = [](std::function<void()> edit) { return [=] { sim::BeforeCall("CreateDirectoryW", 1, edit); }; };
    // ReplaceFileW without a backup name that cannot move the replacement
    // has already removed the list, as Windows documents.
    auto losesTheList = [&] {
        sim::BeforeCall("ReplaceFileW", 1, [&] { std::filesystem::remove(list); });
        sim::FailCall("ReplaceFileW", 1, ERROR_UNABLE_TO_MOVE_REPLACEMENT);
    };
    struct Case {
        const char* what;
        std::function<void()> setUp;
        std::string error, after, side;  // after, side: what they hold, "" when missing
    } cases[] = {
        {"a write", fail("WriteFile", 1, ERROR_DISK_FULL), "I/O error 112 (112)", text, ""},
        {"a flush to the disk", fail("FlushFileBuffers", 1, ERROR_DISK_FULL), "I/O error 112 (112)", text, ""},
        {"no side file", [] { sim::FailCallOnPath("CreateFileW", "C:\\list.trs.tarsio-new", ERROR_ACCESS_DENIED); },
         "File access denied (5)", text, ""},
        {"a read-only list", [] { ASSERT_TRUE(os::SetFileAttributesA("C:\\list.trs", FILE_ATTRIBUTE_READONLY)); },
         "File access denied (5)", text, ""},
        {"every close", fail("CloseHandle", 0, ERROR_WRITE_FAULT), "I/O error 29 (29)", text, ""},
        {"the new text's close", fail("CloseHandle", closes - 2, ERROR_WRITE_FAULT), "I/O error 29 (29)", text, ""},
        {"the held list's close, which only read", fail("CloseHandle", closes, ERROR_WRITE_FAULT), "", made, ""},
        {"a writer is kept out", meanwhile([] {
             UniqueHandle writer(os::CreateFileA("C:\\list.trs", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, 0, nullptr));
             EXPECT_FALSE(writer.valid());
             EXPECT_EQ(os::GetLastError(), ERROR_SHARING_VIOLATION);
         }),
         "", made, ""},
        {"an append that sharing cannot keep out",
         meanwhile([&] { std::ofstream(list, std::ios::app) << "more\r\n"; }), changed, text + "more\r\n", ""},
        {"a new file renamed over it", meanwhile([&] {
             std::ofstream(list + ".x") << "theirs\r\n";
             std::filesystem::rename(list + ".x", list);
         }),
         changed, "theirs\r\n", ""},
        {"a deletion", meanwhile([&] { std::filesystem::remove(list); }), changed + missing, "", made},
        {"a replace refused once for sharing", fail("ReplaceFileW", 1, ERROR_SHARING_VIOLATION), "", made, ""},
        {"a replace refused for good", fail("ReplaceFileW", 0, ERROR_UNABLE_TO_REMOVE_REPLACED),
         "I/O error 1175 (1175)", text, ""},
        {"a lost list, renamed into place", losesTheList, "", made, ""},
        {"a lost list that no rename can put back",
         [&] {
             losesTheList();
             sim::FailCall("MoveFileExW", 0, ERROR_ACCESS_DENIED);
         },
         "I/O error 1176" + missing + " (1176)", "", made},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(fs.HostPath("C:\\j"));
        std::filesystem::remove(side);
        os::SetFileAttributesA("C:\\list.trs", FILE_ATTRIBUTE_NORMAL);
        fs.WriteFile("list.trs", text);
        c.setUp();
        EXPECT_EQ(ErrorOf("C:\\list.trs"), c.error);
        sim::ClearFaults();
        EXPECT_EQ(test::HostText(list), c.after);
        EXPECT_EQ(test::HostText(side), c.side);
        EXPECT_EQ(Stored("C:\\j"), MountPoint(u"\\??\\C:\\data"));
        EXPECT_EQ(HostNames("C:\\").size(), 3u);  // data, j, and the list or its side file
        EXPECT_EQ(sim::OpenHandleCount(), 0);
    }

    // A long name's new text goes to a short side file beside it, never in place.
    fs.MakeDir("lists");
    const std::string longName = "lists\\" + std::string(240, 'n') + ".trs";
    fs.WriteFile(longName, text);
    sim::FailCallOnPath("CreateFileW", "C:\\lists\\~trs", ERROR_ACCESS_DENIED);
    EXPECT_EQ(ErrorOf("C:\\" + longName), "File access denied (5)");
    sim::ClearFaults();
    EXPECT_EQ(fs.ReadFile(longName), text);
    EXPECT_EQ(HostNames("C:\\lists"), std::vector<std::string>{longName.substr(6)});

    // A read that fails stops the import before anything is made.
    std::filesystem::remove_all(fs.HostPath("C:\\j"));
    fs.WriteFile("list.trs", text);
    sim::FailCall("ReadFile", 1, ERROR_READ_FAULT);
    EXPECT_EQ(ErrorOf("C:\\list.trs"), "I/O error 30 (30)");
    sim::ClearFaults();
    EXPECT_EQ(fs.ReadFile("list.trs"), text);
    EXPECT_FALSE(DirectoryExists("C:\\j"));
    EXPECT_EQ(sim::OpenHandleCount(), 0);
}

// A list reached through a symbolic link or a junction is rewritten where
// it leads, and the link stays a link.
TEST_F(ImportNative, LinkedListIsRewrittenWhereItLeads) {
    fs.AddDrive('D');
    fs.MakeDir("store");
    ASSERT_TRUE(os::CreateDirectoryA("D:\\store", nullptr));
    test::Junction("C:\\lists", "D:\\store");
    std::filesystem::create_symlink("store/list.trs", fs.HostPath("C:\\link.trs"));
    std::filesystem::create_symlink("../D/list.trs", fs.HostPath("C:\\far.trs"));
    // The name imported, and where it leads.
    for (auto [name, target] : {std::pair{"C:\\link.trs", "C:\\store\\list.trs"},
                                {"C:\\far.trs", "D:\\list.trs"},
                                {"C:\\lists\\list.trs", "D:\\store\\list.trs"}}) {
        test::WriteFileAt(target, "+C:\\j->C:\\data\r\n");
        EXPECT_FALSE(TImport().Import(name)) << name;
        EXPECT_EQ(test::ReadFileAt(target), "C:\\j->C:\\data\r\n") << name;
        ASSERT_TRUE(DeleteJunction("C:\\j"));
    }
    EXPECT_TRUE(std::filesystem::is_symlink(fs.HostPath("C:\\link.trs")));
    EXPECT_TRUE(std::filesystem::is_symlink(fs.HostPath("C:\\far.trs")));
    EXPECT_EQ(HostNames("C:\\"), (std::vector<std::string>{"data", "far.trs", "link.trs", "lists", "store"}));
    EXPECT_EQ(HostNames("C:\\store"), std::vector<std::string>{"list.trs"});
    EXPECT_EQ(HostNames("D:\\"), (std::vector<std::string>{"list.trs", "store"}));
}

// Every host entry of drive C: but the lists, with its reparse data,
// attributes and deny entry.
std::vector<std::string> DriveState(const test::Scratch& fs) {
    std::vector<std::string> state;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(fs.HostPath("C:\\"))) {
        if (entry.path().extension() == ".trs") continue;
        std::string line = entry.path().string() + (entry.is_directory() ? "\\" : "");
        for (const char* name : {"user.reparse", "user.attrib", "user.deny"}) {
            char value[4096];
            ssize_t n = ::lgetxattr(entry.path().c_str(), name, value, sizeof value);
            line += n < 0 ? std::string("|-") : "|" + std::string(value, static_cast<std::size_t>(n));
        }
        state.push_back(line);
    }
    std::sort(state.begin(), state.end());
    return state;
}

// A backup of a Windows drive's junctions, imported on the same drive and on
// a new install that lacks one of its profiles. Windows' own junctions deny
// the writing that making them again needs, and writing a junction made
// with a print name again would drop it: a line whose junction is there is
// done and left alone. A line whose destination is missing makes nothing,
// also the line that leads into its own parent, whose destination its
// parents would make.
TEST_F(ImportNative, BackupOfAWindowsDriveRestoresWhatItCanAndMakesNothingElse) {
    test::MakeWindowsDrive(fs, {"me", "other"});
    // Windows' own junctions deny reading to everyone: they are read all the same.
    EXPECT_EQ(os::CreateFileA("C:\\Documents and Settings", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), ERROR_ACCESS_DENIED);
    TFindFile finder;
    SetUpFinder(finder);
    ASSERT_EQ(ExportJunctions(finder, {"C"}, "C:\\backup.trs").Lines.size(), 11u);
    const std::string backup = fs.ReadFile("backup.trs"),
                      loop =
                          "+C:\\Users\\other\\AppData\\Local\\Application Data->C:\\Users\\other\\AppData\\Local\r\n";
    // The lines of the profile "other" stay pending where it is missing.
    auto after = [](const std::string& list, bool missing) {
        std::string text;
        std::istringstream lines(list);
        for (std::string line; std::getline(lines, line);)
            text += (missing && line.starts_with("+C:\\Users\\other\\") ? line : line.substr(1)) + "\n";
        return text;
    };
    for (const auto& [what, list, missing] : {std::tuple{"the same drive", backup, false},
                                              {"a new install", backup, true},
                                              {"the loop alone", loop, true}}) {
        SCOPED_TRACE(what);
        if (missing) std::filesystem::remove_all(fs.HostPath("C:\\Users\\other"));
        const std::vector<std::string> before = DriveState(fs);
        EXPECT_EQ(Import(list), std::pair(missing, after(list, missing)));
        EXPECT_EQ(DriveState(fs), before);
    }
}

}  // namespace
}  // namespace tarsio
