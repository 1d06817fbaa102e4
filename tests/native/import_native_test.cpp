// The importer making junctions, on the simulated NTFS.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "engine/error.h"
#include "engine/junction.h"
#include "engine/reparse_buffer.h"
#include "listfile/export.h"
#include "listfile/import.h"
#include "platform/os.h"
#include "platform/sim/sim.h"
#include "platform/unique_handle.h"
#include "tests/native/sim_helpers.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using namespace std::string_literals;
using test::HostReparse;
using test::Scratch;

class ImportNative : public ::testing::Test {
protected:
    void SetUp() override { fs.MakeDir("data"); }

    bool Run(const std::string& text, std::string* after = nullptr) {
        fs.WriteFile("list.trs", text);
        TImport importer;
        bool result = importer.Import("C:\\list.trs");
        if (after) *after = fs.ReadFile("list.trs");
        return result;
    }

    std::optional<std::vector<std::uint8_t>> Stored(const std::string& path) {
        return HostReparse(fs.HostPath(path));
    }

    static std::vector<std::uint8_t> MountPoint(std::u16string_view name) { return *reparse::BuildMountPoint(name); }

    struct Raised {
        std::string what;
        unsigned long code;
        bool operator==(const Raised&) const = default;
    };
    // The error an import of `path` raises; empty and 0 when it ends without errors.
    static Raised ErrorOf(const std::string& path) {
        try {
            if (TImport().Import(path)) return {"no error raised, errors reported", 0};
        } catch (const TarsioError& e) {
            return {e.what(), e.code()};
        }
        return {"", 0};
    }

    Scratch fs;
};

TEST_F(ImportNative, PendingEntriesAreMadeAndLoseTheirMarker) {
    fs.MakeDir("links");
    fs.MakeDir("links\\empty");
    std::string after;
    EXPECT_FALSE(
        Run("+C:\\links\\new\\deep->C:\\data\n"
            "+C:\\links\\empty->C:\\data\n"
            "+c:\\lower->c:\\data\n"
            "+C:\\v->\\\\?\\C:\\data\n"
            "C:\\done->C:\\data\n",
            &after));
    EXPECT_EQ(after,
              "C:\\links\\new\\deep->C:\\data\r\n"
              "C:\\links\\empty->C:\\data\r\n"
              "c:\\lower->c:\\data\r\n"
              "C:\\v->\\\\?\\C:\\data\r\n"
              "C:\\done->C:\\data\r\n");
    EXPECT_EQ(Stored("C:\\links\\new\\deep"), MountPoint(u"\\??\\C:\\data"));
    EXPECT_EQ(Stored("C:\\links\\empty"), MountPoint(u"\\??\\C:\\data"));
    EXPECT_EQ(Stored("C:\\lower"), MountPoint(u"\\??\\c:\\data"));
    EXPECT_EQ(Stored("C:\\v"), MountPoint(u"\\??\\C:\\data"));  // a verbatim name, as its native one
    EXPECT_FALSE(DirectoryExists("C:\\done"));
}

TEST_F(ImportNative, SecondImportMakesOnlyWhatFailedBefore) {
    const std::string text = "+C:\\a->C:\\data\n+C:\\b->C:\\later\n";
    std::string after;
    EXPECT_TRUE(Run(text, &after));
    EXPECT_EQ(after, "C:\\a->C:\\data\r\n+C:\\b->C:\\later\r\n");

    fs.MakeDir("later");
    ASSERT_TRUE(DeleteJunction("C:\\a"));  // a second try at the done entry would show here
    TImport again;
    EXPECT_FALSE(again.Import("C:\\list.trs"));
    EXPECT_EQ(fs.ReadFile("list.trs"), "C:\\a->C:\\data\r\nC:\\b->C:\\later\r\n");
    EXPECT_FALSE(HasReparsePoint("C:\\a"));
    EXPECT_EQ(Stored("C:\\b"), MountPoint(u"\\??\\C:\\later"));
}

TEST_F(ImportNative, EntriesThatCannotBeMadeKeepTheirDirectoriesAsTheyWere) {
    fs.MakeDir("full");
    fs.WriteFile("full\\keep.txt", "k");
    fs.AddDrive('E', "removable FAT32");
    ASSERT_TRUE(os::CreateDirectoryA("E:\\mine", nullptr));
    const std::string text =
        "+C:\\full->C:\\data\r\n+E:\\fat\\j->C:\\data\r\n+E:\\mine->C:\\data\r\n+Q:\\x->C:\\data\r\n";
    std::string after;
    EXPECT_TRUE(Run(text, &after));
    EXPECT_EQ(after, text);
    EXPECT_EQ(fs.ReadFile("full\\keep.txt"), "k");
    // The refused junction directory made by the import is gone again; its
    // parent and the one that was there before stay.
    EXPECT_TRUE(DirectoryExists("E:\\fat"));
    EXPECT_FALSE(DirectoryExists("E:\\fat\\j"));
    EXPECT_TRUE(DirectoryExists("E:\\mine"));
}

TEST_F(ImportNative, ErrorPartWayKeepsEarlierJunctionsAndTheFile) {
    const std::string text = "+C:\\first->C:\\data\n+C\n+C:\\second->C:\\data\n";
    EXPECT_THROW(Run(text), TarsioError);
    EXPECT_EQ(fs.ReadFile("list.trs"), text);
    EXPECT_TRUE(HasReparsePoint("C:\\first"));
    EXPECT_FALSE(DirectoryExists("C:\\second"));
}

TEST_F(ImportNative, ReadOnlyListMakesTheJunctionsAndKeepsItsMarkers) {
    const std::string text = "+C:\\ro->C:\\data\n";
    fs.WriteFile("list.trs", text);
    ASSERT_TRUE(os::SetFileAttributesA("C:\\list.trs", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ErrorOf("C:\\list.trs"), (Raised{"File access denied", 5}));
    EXPECT_EQ(fs.ReadFile("list.trs"), text);
    EXPECT_TRUE(HasReparsePoint("C:\\ro"));
    // Nothing is left beside the list, and a later import tries the entry again.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(fs.HostPath("C:\\")), {}), 3);
    ASSERT_TRUE(os::SetFileAttributesA("C:\\list.trs", FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(TImport().Import("C:\\list.trs"));
    EXPECT_EQ(fs.ReadFile("list.trs"), "C:\\ro->C:\\data\r\n");
}

// The names in a folder of the simulated drive C:.
std::vector<std::string> HostNames(const Scratch& fs, const std::string& folder) {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(fs.HostPath(folder))) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Another user swaps the folder above the new junction directory for a
// junction to C:\ once the write failed: the clean-up removes the directory
// the import made, not the empty C:\Config.Msi its name now leads to.
TEST_F(ImportNative, CleanUpRemovesTheDirectoryItMadeWhereverItsNameNowLeads) {
    fs.MakeDir("Config.Msi");
    fs.MakeDir("pub");
    fs.MakeDir("pub\\x");
    sim::FailCall("DeviceIoControl", 1, ERROR_ACCESS_DENIED);
    sim::SwapForJunction("DeviceIoControl", 1, "C:\\pub\\x", "x.old", "C:\\");
    EXPECT_TRUE(Run("+C:\\pub\\x\\Config.Msi->C:\\data\r\n"));
    EXPECT_TRUE(HasReparsePoint("C:\\pub\\x"));
    EXPECT_TRUE(DirectoryExists("C:\\Config.Msi"));
    EXPECT_EQ(HostNames(fs, "C:\\pub\\x.old"), std::vector<std::string>{});
}

// Writing the new text, or putting it on the disk before it replaces the list.
TEST_F(ImportNative, FailedWriteLeavesTheListWhole) {
    // A long name too: its new text also goes to a side file, never in place.
    fs.MakeDir("lists");
    const std::string longName = "lists\\" + std::string(240, 'n') + ".trs";
    for (const char* call : {"WriteFile", "FlushFileBuffers"}) {
        for (const std::string& name : {std::string("list.trs"), longName}) {
            const std::string text = "+C:\\w->C:\\data\nC:\\x->C:\\y\n";
            fs.WriteFile(name, text);
            sim::FailCall(call, 1, ERROR_DISK_FULL);
            EXPECT_EQ(ErrorOf("C:\\" + name), (Raised{"I/O error 112", ERROR_DISK_FULL})) << call;
            sim::ClearFaults();
            EXPECT_EQ(fs.ReadFile(name), text) << call << " " << name.size();
            EXPECT_EQ(sim::OpenHandleCount(), 0);
        }
    }
    EXPECT_EQ(HostNames(fs, "C:\\"), (std::vector<std::string>{"data", "list.trs", "lists", "w"}));
    EXPECT_EQ(HostNames(fs, "C:\\lists"), std::vector<std::string>{longName.substr(6)});
}

TEST_F(ImportNative, WithoutASideFileTheImportFailsAndTheListStays) {
    fs.MakeDir("lists");
    const std::string longName = "lists\\" + std::string(240, 'n') + ".trs";
    struct Case {
        std::string list, side;
    } cases[] = {{"list.trs", "C:\\list.trs.tarsio-new"}, {longName, "C:\\lists\\~trs"}};
    for (const Case& c : cases) {
        const std::string text = "+C:\\j->C:\\data\n";
        fs.WriteFile(c.list, text);
        sim::FailCallOnPath("CreateFileW", c.side, ERROR_ACCESS_DENIED);
        EXPECT_EQ(ErrorOf("C:\\" + c.list).what, "File access denied");
        sim::ClearFaults();
        EXPECT_EQ(fs.ReadFile(c.list), text) << c.side;
        ASSERT_TRUE(DeleteJunction("C:\\j"));
    }
}

// Another program at work on the list while the import makes its
// junctions, and replaces that fail: the list, or where it is gone the side
// file, keeps every line.
TEST_F(ImportNative, NoLineOfTheListIsLost) {
    const std::string text = "+C:\\j->C:\\data\r\n", made = "C:\\j->C:\\data\r\n";
    const std::string list = fs.HostPath("C:\\list.trs"), side = list + ".tarsio-new";
    const std::string changed = "Another program changed the list during the import, so it was not written back";
    const std::string missing = ". The list is missing; its new text is in C:\\list.trs.tarsio-new";
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
        {"a replace refused once for sharing", [] { sim::FailCall("ReplaceFileW", 1, ERROR_SHARING_VIOLATION); }, "",
         made, ""},
        {"a replace refused for good", [] { sim::FailCall("ReplaceFileW", 0, ERROR_UNABLE_TO_REMOVE_REPLACED); },
         "I/O error 1175", text, ""},
        {"a lost list, renamed into place", losesTheList, "", made, ""},
        {"a lost list that no rename can put back",
         [&] {
             losesTheList();
             sim::FailCall("MoveFileExW", 0, ERROR_ACCESS_DENIED);
         },
         "I/O error 1176" + missing, "", made},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(fs.HostPath("C:\\j"));
        std::filesystem::remove(side);
        fs.WriteFile("list.trs", text);
        c.setUp();
        EXPECT_EQ(ErrorOf("C:\\list.trs").what, c.error);
        sim::ClearFaults();
        EXPECT_EQ(test::HostText(list), c.after);
        EXPECT_EQ(test::HostText(side), c.side);
        EXPECT_EQ(Stored("C:\\j"), MountPoint(u"\\??\\C:\\data"));
        EXPECT_EQ(sim::OpenHandleCount(), 0);
    }
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
    struct Case {
        const char* name;
        const char* target;
    } cases[] = {
        {"C:\\link.trs", "C:\\store\\list.trs"},
        {"C:\\far.trs", "D:\\list.trs"},
        {"C:\\lists\\list.trs", "D:\\store\\list.trs"},
    };
    for (const Case& c : cases) {
        test::WriteFileAt(c.target, "+C:\\j->C:\\data\r\n");
        EXPECT_FALSE(TImport().Import(c.name)) << c.name;
        EXPECT_EQ(test::ReadFileAt(c.target), "C:\\j->C:\\data\r\n") << c.name;
        ASSERT_TRUE(DeleteJunction("C:\\j"));
    }
    EXPECT_TRUE(std::filesystem::is_symlink(fs.HostPath("C:\\link.trs")));
    EXPECT_TRUE(std::filesystem::is_symlink(fs.HostPath("C:\\far.trs")));
    EXPECT_EQ(HostNames(fs, "C:\\"), (std::vector<std::string>{"data", "far.trs", "link.trs", "lists", "store"}));
    EXPECT_EQ(HostNames(fs, "C:\\store"), std::vector<std::string>{"list.trs"});
    EXPECT_EQ(HostNames(fs, "D:\\"), (std::vector<std::string>{"list.trs", "store"}));
}

TEST_F(ImportNative, CtrlZAtALineStartKeepsEverythingAfterItUnread) {
    const std::string tail = "\x1a+C:\\later->C:\\data\r\n+C:\\more->C:\\data\rfree\x1a\n";
    std::string after;
    EXPECT_FALSE(Run("+C:\\first->C:\\data\r\n" + tail, &after));
    EXPECT_EQ(after, "C:\\first->C:\\data\r\n" + tail);
    EXPECT_TRUE(HasReparsePoint("C:\\first"));
    EXPECT_FALSE(DirectoryExists("C:\\later"));
    EXPECT_FALSE(DirectoryExists("C:\\more"));
}

TEST_F(ImportNative, CrOnlyListIsImportedLineByLine) {
    std::string after;
    EXPECT_FALSE(Run("+C:\\a->C:\\data\r+C:\\b->C:\\data\rC:\\done->C:\\x\r", &after));
    EXPECT_EQ(after, "C:\\a->C:\\data\r\nC:\\b->C:\\data\r\nC:\\done->C:\\x\r\n");
    EXPECT_EQ(Stored("C:\\a"), MountPoint(u"\\??\\C:\\data"));
    EXPECT_EQ(Stored("C:\\b"), MountPoint(u"\\??\\C:\\data"));
    EXPECT_EQ(HostNames(fs, "C:\\"), (std::vector<std::string>{"a", "b", "data", "list.trs"}));
}

TEST_F(ImportNative, EntriesThatCouldNotWorkStayPendingWithNoJunctionMade) {
    fs.WriteFile("data\\file.txt", "x");
    std::string deep = "a";
    for (int i = 1; i < 30000; ++i) deep += "\\a";
    const std::string lines[] = {
        "+C:\\j1->C:\\data\\file.txt",                     // a file
        "+C:\\j2->\\\\server\\share\\data",                // a share
        "+C:\\j3->\\\\.\\C:\\data",                        // a device path
        "+C:\\j4->\\??\\UNC\\server\\share",               // a share, natively named
        "+C:\\j5\0x->C:\\data"s,                           // a NUL byte in the junction directory
        "+C:\\j6->C:\\data\0x"s,                           // and in the destination
        "+C:\\j7\tx->C:\\data",                            // a control character
        "+C:\\" + std::string(60000, 'a') + "->C:\\data",  // longer than any name
        "+C:\\" + deep + "->C:\\data",                     // 30,000 levels
    };
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    auto start = std::chrono::steady_clock::now();
    std::string after;
    EXPECT_TRUE(Run(text, &after));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    EXPECT_TRUE(after == text);  // too long to show
    EXPECT_EQ(HostNames(fs, "C:\\"), (std::vector<std::string>{"data", "list.trs"}));
}

// A close that fails: on the list's new text it is the list's I/O error and
// the list stays as it was; on a handle only read from it changes nothing.
TEST_F(ImportNative, FailedCloseIsReportedAndLosesNothing) {
    const std::string text = "+C:\\w->C:\\data\nC:\\x->C:\\y\n";
    fs.WriteFile("list.trs", text);
    sim::ResetCallLog();
    ASSERT_FALSE(TImport().Import("C:\\list.trs"));
    const int closes = static_cast<int>(sim::CallCount("CloseHandle"));
    // The last three: the new text written, the list looked up by name, the list held.
    ASSERT_GE(closes, 4);
    struct Case {
        const char* what;
        int occurrence;
        bool raised;
    } cases[] = {
        {"every close", 0, true},
        {"the new text's close", closes - 2, true},
        {"the held list's close", closes, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(fs.HostPath("C:\\w"));
        fs.WriteFile("list.trs", text);
        sim::FailCall("CloseHandle", c.occurrence, ERROR_WRITE_FAULT);
        const Raised expected = c.raised ? Raised{"I/O error 29", ERROR_WRITE_FAULT} : Raised{"", 0};
        EXPECT_EQ(ErrorOf("C:\\list.trs"), expected);
        sim::ClearFaults();
        EXPECT_EQ(fs.ReadFile("list.trs"), c.raised ? text : "C:\\w->C:\\data\r\nC:\\x->C:\\y\r\n");
        EXPECT_EQ(Stored("C:\\w"), MountPoint(u"\\??\\C:\\data"));
        EXPECT_EQ(sim::OpenHandleCount(), 0);
        EXPECT_EQ(HostNames(fs, "C:\\"), (std::vector<std::string>{"data", "list.trs", "w"}));
    }
}

TEST_F(ImportNative, ReadFailureStopsBeforeAnyWrite) {
    const std::string text = "C:\\x->C:\\y\n";
    fs.WriteFile("list.trs", text);
    sim::FailCall("ReadFile", 1, ERROR_READ_FAULT);
    EXPECT_THROW(TImport().Import("C:\\list.trs"), TarsioError);
    sim::ClearFaults();
    EXPECT_EQ(fs.ReadFile("list.trs"), text);
    EXPECT_EQ(sim::OpenHandleCount(), 0);
}

// Every host entry of drive C: but the lists, with its reparse data,
// attributes and deny entry.
std::vector<std::string> DriveState(const Scratch& fs) {
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
    struct Case {
        const char* what;
        std::string list;
        bool missing;
    } cases[] = {{"the same drive", backup, false}, {"a new install", backup, true}, {"the loop alone", loop, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.missing) std::filesystem::remove_all(fs.HostPath("C:\\Users\\other"));
        const std::vector<std::string> before = DriveState(fs);
        std::string written;
        EXPECT_EQ(Run(c.list, &written), c.missing);
        EXPECT_EQ(written, after(c.list, c.missing));
        EXPECT_EQ(DriveState(fs), before);
    }
}

TEST_F(ImportNative, TenThousandPendingLinesRoundTripWithoutMarkers) {
    std::string in, expected;
    for (int i = 0; i < 10000; ++i) {
        std::string line = "C:\\links\\" + std::to_string(i / 100) + "\\j" + std::to_string(i) + "->C:\\data";
        in += "+" + line + "\r\n";
        expected += line + "\r\n";
    }
    std::string after;
    EXPECT_FALSE(Run(in, &after));
    EXPECT_EQ(after, expected);
    EXPECT_EQ(Stored("C:\\links\\99\\j9999"), MountPoint(u"\\??\\C:\\data"));
}

}  // namespace
}  // namespace tarsio
