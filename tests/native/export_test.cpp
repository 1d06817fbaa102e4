// The file finder and the junction exporter on the simulated drives: what
// Wine cannot store (attribute words, junctions and their cycles), folders
// that cannot be listed, the drives in list order, the lines in scan order, the
// file written, and the re-import of what it wrote.

#include "listfile/export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "listfile/find_file.h"
#include "tests/native/sim_helpers.h"

namespace tarsio {
namespace {

using namespace std::string_literals;
using test::Junction;
using Names = std::vector<std::string>;

class FindFileNative : public test::SimTest {
protected:
    TFindFile& WholeDrive() {
        finder.SetPath("C:\\");
        finder.InSubFolders = true;
        return finder;
    }

    TFindFile finder;
};

TEST_F(FindFileNative, AttributeWordsInBothMatchModes) {
    fs.WriteFile("normal.txt", "x");
    ASSERT_TRUE(os::SetFileAttributesA("C:\\normal.txt", FILE_ATTRIBUTE_NORMAL));
    fs.MakeDir("archdir");
    ASSERT_TRUE(os::SetFileAttributesA("C:\\archdir", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE));
    fs.MakeDir("plain");
    fs.MakeDir("target");
    Junction("C:\\junction", "C:\\target");
    ASSERT_EQ(os::GetFileAttributesA("C:\\normal.txt"), 0x80u);
    ASSERT_EQ(os::GetFileAttributesA("C:\\archdir"), 0x30u);
    ASSERT_EQ(os::GetFileAttributesA("C:\\junction"), 0x410u);

    // The attribute set, strict or loose, and what it finds. 0x80 shares no
    // bit with any set, so it is never reported.
    const Names all = {"C:\\archdir", "C:\\junction", "C:\\plain", "C:\\target"};
    for (const auto& [attr, strict, expected] : {std::tuple{TFileAttr{ffaAnyFile}, false, all},
                                                 {TFileAttr{ffaDirectory}, false, all},
                                                 {TFileAttr{ffaDirectory}, true, Names{"C:\\plain", "C:\\target"}},
                                                 {TFileAttr{ffaDirectory, ffaArchive}, true, Names{"C:\\archdir"}},
                                                 {TFileAttr{ffaArchive}, false, Names{}}}) {
        finder.SetPath("C:\\");
        finder.FileAttr = attr;
        finder.StrictMatchOfAttr = strict;
        EXPECT_EQ(finder.Execute(), expected)
            << "mask 0x" << std::hex << attr.Mask() << (strict ? " strict" : " loose");
    }
}

TEST_F(FindFileNative, FolderThatCannotBeListedIsPassedOverAndCounted) {
    for (const char* dir : {"a", "b", "b\\inner", "c", "d"}) fs.MakeDir(dir);
    for (const char* file : {"a\\x.txt", "b\\y.txt", "c\\z.txt", "d\\z.txt"}) fs.WriteFile(file, "x");
    sim::FailCallOnPath("FindFirstFileExW", "C:\\b\\", ERROR_ACCESS_DENIED);
    sim::FailCallOnPath("FindFirstFileExW", "C:\\d\\", ERROR_PATH_NOT_FOUND);  // gone since its parent was listed
    EXPECT_EQ(WholeDrive().Execute(), (Names{"C:\\a", "C:\\b", "C:\\c", "C:\\d", "C:\\a\\x.txt", "C:\\c\\z.txt"}));
    EXPECT_EQ(finder.UnlistedCount(), 2);
    EXPECT_EQ(finder.FirstUnlisted(), "C:\\b\\");
    EXPECT_EQ(sim::OpenHandleCount(), 0);
    // A mask that matches nothing in a folder is no refusal, and a folder
    // listed twice for it is counted once.
    finder.FileMask = "*.log";
    EXPECT_TRUE(WholeDrive().Execute().empty());
    EXPECT_EQ(finder.UnlistedCount(), 2);
}

TEST_F(FindFileNative, ListingsAreClosedWhenTheHandlerThrowsOrEndsTheSearch) {
    for (const char* dir : {"a", "a\\b", "a\\b\\c", "d"}) fs.MakeDir(dir);
    fs.WriteFile("a\\b\\c\\deep.txt", "x");
    fs.WriteFile("d\\later.txt", "x");
    // The entry whose report throws or answers false, the entries found
    // before it, and the folders listed until then.
    for (auto [last, found, listings] : {std::tuple{"C:\\a", 0u, 1u},
                                         {"C:\\a\\b\\c", 3u, 3u},
                                         {"C:\\a\\b\\c\\deep.txt", 4u, 4u},
                                         {"C:\\d\\later.txt", 5u, 5u}}) {
        for (bool throws : {true, false}) {
            SCOPED_TRACE(::testing::Message() << last << " " << throws);
            finder.NotifyWhenFound = true;
            finder.OnFileFound = [&](const std::string& folder, const TSearchRec& rec) -> bool {
                if (folder + rec.Name != last) return true;
                if (throws) throw std::runtime_error("stop");
                return false;
            };
            sim::ResetCallLog();
            if (throws)
                EXPECT_THROW(WholeDrive().Execute(), std::runtime_error);
            else
                EXPECT_EQ(WholeDrive().Execute().size(), found);
            EXPECT_EQ(sim::CallCount("FindFirstFileExW"), listings);
            EXPECT_EQ(sim::OpenHandleCount(), 0);
        }
    }
    // The finder is usable again, from an empty list.
    finder.OnFileFound = nullptr;
    EXPECT_EQ(finder.Execute().size(), 6u);
}

TEST_F(FindFileNative, JunctionCyclesEndWithEveryDirectoryEnteredOnce) {
    // A junction to the folder that holds it, and two junctions to ancestors
    // in one folder at depth 10.
    fs.MakeDir("top");
    Junction("C:\\top\\loop", "C:\\top");
    const std::string deep = "C:\\deep\\l2\\l3\\l4\\l5\\l6\\l7\\l8\\l9\\l10";
    ASSERT_TRUE(ForceDirectories(deep));
    fs.WriteFile("deep\\l2\\file.txt", "x");
    Junction(deep + "\\up1", "C:\\deep");
    Junction(deep + "\\up2", "C:\\deep\\l2");
    // A junction to a folder elsewhere: its contents are found once, under
    // their own path.
    fs.MakeDir("data");
    fs.WriteFile("data\\d.txt", "x");
    Junction("C:\\top\\data", "C:\\data");

    // One listing for the drive root and for each of its 12 directories
    // without a reparse point (data, deep, l2..l10, top); two with a mask
    // that does not match every name, which the file system applies.
    const std::size_t plainDirectories = 12;
    for (auto [mask, listings, count] : {std::tuple{"*.*", plainDirectories + 1, plainDirectories + 4 + 2},
                                         {"*", plainDirectories + 1, plainDirectories + 4 + 2},
                                         {"*.txt", 2 * (plainDirectories + 1), std::size_t{2}}}) {
        finder.FileMask = mask;
        sim::ResetCallLog();
        const Names& found = WholeDrive().Execute();
        EXPECT_EQ(found.size(), count) << mask;
        EXPECT_EQ(sim::CallCount("FindFirstFileExW"), listings) << mask;
        EXPECT_EQ(sim::CallCount("FindFirstFileExA"), 0u) << mask;
        if (count == 2) continue;
        for (const std::string& name : Names{"C:\\top\\loop", "C:\\top\\data", deep + "\\up1", deep + "\\up2",
                                             "C:\\data\\d.txt", "C:\\deep\\l2\\file.txt"})
            EXPECT_EQ(std::count(found.begin(), found.end(), name), 1) << name;
    }
}

class ExportTest : public FindFileNative {
protected:
    ExportTest() {
        // As the main window's export finder is set up.
        finder.FileAttr = {ffaReadOnly, ffaHidden, ffaSysFile, ffaDirectory, ffaArchive};
        finder.InSubFolders = true;
        finder.NotifyWhenFound = true;
    }

    std::string Export(const DriveList& drives, std::vector<std::string>* examined = nullptr) {
        result = ExportJunctions(finder, drives, "C:\\out.trs",
                                 [&](const std::string& folder, const std::string& name) {
                                     if (examined) examined->push_back(folder + name);
                                     return true;
                                 });
        return fs.ReadFile("out.trs");
    }

    TExportResult result;
};

// Every entry is examined once, junctions and all, in scan order; a drive
// without medium is passed over, and the file written anew.
TEST_F(ExportTest, LinesComeInScanOrderDrivesInListOrder) {
    fs.AddDrive('D');
    fs.AddDrive('E', "removable", false);
    fs.MakeDir("data");
    fs.MakeDir("a");
    fs.WriteFile("out.trs", "old contents\r\n");
    EXPECT_EQ(Export({"C", "D", "E"}), "");
    Junction("C:\\a\\j1", "C:\\data");
    Junction("C:\\a\\loop", "C:\\a");          // to the folder that holds it
    Junction("C:\\b\\j2", "D:\\");             // a drive root
    Junction("C:\\top", "\\??\\C:\\nowhere");  // stored as given, need not exist
    Junction("D:\\x y\\j3", "C:\\data");
    fs.WriteFile("a\\file.txt", "x");

    std::vector<std::string> examined;
    EXPECT_EQ(Export({"E", "D", "C"}, &examined),
              "+D:\\x y\\j3->C:\\data\r\n"
              "+C:\\top->C:\\nowhere\r\n"
              "+C:\\a\\j1->C:\\data\r\n"
              "+C:\\a\\loop->C:\\a\r\n"
              "+C:\\b\\j2->D:\\\r\n");
    EXPECT_EQ(examined, (Names{"D:\\x y", "D:\\x y\\j3", "C:\\a", "C:\\b", "C:\\data", "C:\\out.trs", "C:\\top",
                               "C:\\a\\file.txt", "C:\\a\\j1", "C:\\a\\loop", "C:\\b\\j2"}));
    EXPECT_FALSE(finder.OnFileFound);
}

// A backup and its restore: every junction exported, then made again on a
// drive holding the same plain folders, with the same reparse bytes.
TEST_F(ExportTest, OutputReimportsTheSameJunctions) {
    fs.AddDrive('D');
    // A destination as long as the simulation's host keeps (about 4 KB of reparse data).
    const std::string far = test::Deep("C:\\far", 1900);
    for (const std::string& dir : {"C:\\data\\sub"s, "D:\\Projects\\Current"s, "D:\\caches\\gradle"s, far})
        ASSERT_TRUE(ForceDirectories(dir));
    const char* volume = "\\??\\Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}\\";  // D:, which the import looks for
    std::filesystem::create_directory_symlink("D", fs.HostRoot() + "/Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}");
    // The junction, and its destination as made and as written.
    std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\links\\web", "C:\\data"},
        {"C:\\links\\with blanks\\deep", "C:\\data\\sub"},
        {"D:\\Docs", "D:\\Projects\\Current"},
        {"C:\\data\\sub\\back", "C:\\data"},
        {"C:\\to far", far},
        // Tool caches moved to another drive: names that begin with a full stop.
        {"C:\\Users\\me\\.gradle", "D:\\caches\\gradle"},
        {"C:\\.cache", "D:\\caches"},
        // A volume mounted in a folder, and stored names that resolving the
        // drive path would change: written as stored.
        {"C:\\mnt\\disk2", volume},
        {"C:\\links\\slash", "\\??\\C:\\data\\"},
        {"C:\\links\\lower", "\\??\\c:\\data"},
    };
    for (std::size_t depth : test::kDepths)
        cases.push_back({test::Deep("C:\\deep" + std::to_string(depth), depth), "C:\\data"});
    std::map<std::string, std::vector<std::uint8_t>> bytes;
    for (const auto& [path, destination] : cases) {
        Junction(path, destination);
        bytes[path] = *Stored(path);
    }
    std::string exported = Export({"C", "D"});
    EXPECT_FALSE(result.LeftOutAnything()) << LeftOutReport(result);
    for (const auto& [path, destination] : cases) {
        EXPECT_NE(exported.find("+" + path + "->" + destination + "\r\n"), std::string::npos) << path.size();
        ASSERT_TRUE(DeleteJunction(path)) << path.size();
    }

    EXPECT_FALSE(TImport().Import("C:\\out.trs"));
    for (const auto& [path, destination] : cases) EXPECT_EQ(Stored(path), bytes[path]) << path.size();
    // Every line was made, so none is pending any more.
    EXPECT_EQ(fs.ReadFile("out.trs").find('+'), std::string::npos);
}

// A stored name that would not come back as it is, or that would bring
// lines of its own into the list, is not written; neither is anything in a
// folder that cannot be listed. The result counts them, and names the first.
TEST_F(ExportTest, WhatCannotComeBackIsLeftOutCountedAndNamed) {
    fs.MakeDir("data");
    for (const char* junction : {"C:\\kept", "C:\\locked\\inner", "C:\\unreadable"}) Junction(junction, "C:\\data");
    const std::pair<const char*, std::u16string> cases[] = {
        {"C:\\inject", u"\\??\\C:\\x\r\n+C:\\Windows\\System32\\evil->C:\\Users\\Public"},
        {"C:\\zero", std::u16string(u"\\??\\C:\\data\0C:\\x", 16)},
        {"C:\\share", u"\\??\\UNC\\server\\share"},
        {"C:\\device", u"\\Device\\HarddiskVolume2\\data"},
        {"C:\\surrogate", u"\\??\\C:\\\xD800x"},
    };
    for (const auto& [path, stored] : cases) {
        fs.MakeDir(path + 3);
        test::HostMountPoint(fs.HostPath(path), stored);
    }
    fs.WriteFile("out.trs", "old\r\n");
    sim::FailCallOnPath("FindFirstFileExW", "C:\\locked\\", ERROR_ACCESS_DENIED);
    sim::FailCallOnPath("CreateFileW", "C:\\unreadable", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Export({"C"}), "+C:\\kept->C:\\data\r\n");
    sim::ClearFaults();
    EXPECT_EQ(result.UnlistedFolders, 1);
    EXPECT_EQ(result.LeftOut, (std::array<int, kLeftOutKinds>{1, 2, 1, 2}));
    EXPECT_EQ(LeftOutReport(result),
              "Exported 1 junction. Left out:\n"
              "- folders that could not be listed (access denied, say); junctions in them are missing: 1 "
              "(C:\\locked\\)\n"
              "- junctions whose destination could not be read: 1 (C:\\unreadable)\n"
              "- junctions whose path or destination holds a control character, such as a line break: 2 "
              "(the first: C:\\inject)\n"
              "- junctions whose path or destination holds a character that the list's text cannot hold: 1 "
              "(C:\\surrogate)\n"
              "- junctions that an import would not make again from their line (a network destination, or a "
              "name that Windows reads otherwise): 2 (the first: C:\\device)");
}

// Whether an entry is a junction comes from its listing: only an entry the
// listing marks as a mount point is asked about again, however many files
// lie beside it.
TEST_F(ExportTest, OnlyEntriesMarkedAsMountPointsAreAskedAgain) {
    fs.MakeDir("data");
    Junction("C:\\a\\j", "C:\\data");
    fs.MakeDir("b");
    test::HostSymbolicLink(fs.HostPath("C:\\b"));
    for (int i = 0; i < 50; ++i) fs.WriteFile("a\\f" + std::to_string(i), "x");
    sim::ResetCallLog();
    EXPECT_EQ(Export({"C"}), "+C:\\a\\j->C:\\data\r\n");
    // The drive root, then the junction alone.
    EXPECT_EQ(sim::CallCount("GetFileAttributesW"), 2u);
    EXPECT_TRUE(finder.FoundFiles().empty());
    EXPECT_EQ(finder.FoundCount(), 54);
}

}  // namespace
}  // namespace tarsio
