// The junction exporter on the simulated drives: the drives chosen, the
// lines in scan order, the file written, and the re-import of what it wrote.

#include "listfile/export.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/junction.h"
#include "engine/reparse_buffer.h"
#include "listfile/import.h"
#include "platform/os.h"
#include "platform/sim/sim.h"
#include "tests/native/sim_helpers.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::HostReparse;
using test::Junction;
using test::Scratch;

class ExportTest : public ::testing::Test {
protected:
    ExportTest() {
        // As the main window's export finder is set up.
        finder.FileAttr = {ffaReadOnly, ffaHidden, ffaSysFile, ffaDirectory, ffaArchive};
        finder.InSubFolders = true;
        finder.NotifyWhenFound = true;
    }
    void TearDown() override { sim::ClearFaults(); }

    std::string Export(const DriveList& drives, std::vector<std::string>* examined = nullptr) {
        result = ExportJunctions(finder, drives, "C:\\out.trs",
                                 [&](const std::string& folder, const std::string& name) {
                                     if (examined) examined->push_back(folder + name);
                                     return true;
                                 });
        return fs.ReadFile("out.trs");
    }

    Scratch fs;
    TFindFile finder;
    TExportResult result;
};

TEST_F(ExportTest, DefaultDrivesAreRemovableAndFixedFromCToY) {
    fs.AddDrive('A');
    fs.AddDrive('B', "removable");
    fs.AddDrive('D', "removable FAT32", false);  // no medium: still a default drive
    fs.AddDrive('E', "remote");
    fs.AddDrive('F', "cdrom");
    fs.AddDrive('G', "ramdisk");
    fs.AddDrive('H', "tape");  // unknown type
    fs.AddDrive('K', "fixed FAT32");
    fs.AddDrive('Y');
    fs.AddDrive('Z');
    EXPECT_EQ(DefaultExportDrives(), (DriveList{"C", "D", "K", "Y"}));
    EXPECT_EQ(ChooseExportDrives({}), (DriveList{"C", "D", "K", "Y"}));
    EXPECT_EQ(ChooseExportDrives({"Z", "C"}), (DriveList{"Z", "C"}));
}

TEST_F(ExportTest, LinesComeInScanOrderDrivesInListOrder) {
    fs.AddDrive('D');
    fs.MakeDir("data");
    fs.MakeDir("a");
    Junction("C:\\a\\j1", "C:\\data");
    Junction("C:\\a\\loop", "C:\\a");          // to the folder that holds it
    Junction("C:\\b\\j2", "D:\\");             // a drive root
    Junction("C:\\top", "\\??\\C:\\nowhere");  // stored as given, need not exist
    Junction("D:\\x y\\j3", "C:\\data");
    fs.WriteFile("a\\file.txt", "x");

    std::vector<std::string> examined;
    EXPECT_EQ(Export({"D", "C"}, &examined),
              "+D:\\x y\\j3->C:\\data\r\n"
              "+C:\\top->C:\\nowhere\r\n"
              "+C:\\a\\j1->C:\\data\r\n"
              "+C:\\a\\loop->C:\\a\r\n"
              "+C:\\b\\j2->D:\\\r\n");
    // Every entry is examined once, junctions and all, in scan order.
    EXPECT_EQ(examined, (std::vector<std::string>{"D:\\x y", "D:\\x y\\j3", "C:\\a", "C:\\b", "C:\\data", "C:\\top",
                                                  "C:\\a\\file.txt", "C:\\a\\j1", "C:\\a\\loop", "C:\\b\\j2"}));
    EXPECT_FALSE(finder.OnFileFound);
}

TEST_F(ExportTest, DrivesWithoutJunctionsWriteAnEmptyFile) {
    fs.AddDrive('D');
    fs.AddDrive('E', "removable", false);
    fs.MakeDir("folder");
    fs.WriteFile("folder\\file.txt", "x");
    fs.WriteFile("out.trs", "old contents\r\n");
    EXPECT_EQ(Export({"C", "D"}), "");
    // A drive without medium is skipped; the others are exported.
    Junction("D:\\j", "C:\\folder");
    EXPECT_EQ(Export({"E", "D"}), "+D:\\j->C:\\folder\r\n");
}

// A backup and its restore: every junction exported, then made again on a
// drive holding the same plain folders, with the same reparse bytes.
TEST_F(ExportTest, OutputReimportsTheSameJunctions) {
    fs.AddDrive('D');
    fs.MakeDir("data");
    fs.MakeDir("data\\sub");
    ASSERT_TRUE(ForceDirectories("D:\\Projects\\Current"));
    ASSERT_TRUE(ForceDirectories("D:\\caches\\gradle"));
    // A destination as long as the simulation's host keeps (about 4 KB of reparse data).
    const std::string far = test::Deep("C:\\far", 1900);
    ASSERT_TRUE(ForceDirectories(far));
    const char* volume = "\\??\\Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}\\";  // D:, which the import looks for
    std::filesystem::create_directory_symlink("D", fs.HostRoot() + "/Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}");
    struct Case {
        std::string path, destination;  // as made
        std::string written;            // the destination in its line
    };
    std::vector<Case> cases = {
        {"C:\\links\\web", "C:\\data", "C:\\data"},
        {"C:\\links\\with blanks\\deep", "C:\\data\\sub", "C:\\data\\sub"},
        {"D:\\Docs", "D:\\Projects\\Current", "D:\\Projects\\Current"},
        {"C:\\data\\sub\\back", "C:\\data", "C:\\data"},
        {"C:\\to far", far, far},
        // Tool caches moved to another drive: names that begin with a full stop.
        {"C:\\Users\\me\\.gradle", "D:\\caches\\gradle", "D:\\caches\\gradle"},
        {"C:\\.cache", "D:\\caches", "D:\\caches"},
        // A volume mounted in a folder, and stored names that resolving the
        // drive path would change: written as stored.
        {"C:\\mnt\\disk2", volume, volume},
        {"C:\\links\\slash", "\\??\\C:\\data\\", "\\??\\C:\\data\\"},
        {"C:\\links\\lower", "\\??\\c:\\data", "\\??\\c:\\data"},
    };
    for (std::size_t depth : test::kDepths)
        cases.push_back({test::Deep("C:\\deep" + std::to_string(depth), depth), "C:\\data", "C:\\data"});
    std::map<std::string, std::vector<std::uint8_t>> bytes;
    for (const Case& c : cases) {
        Junction(c.path, c.destination);
        bytes[c.path] = *HostReparse(fs.HostPath(c.path));
    }
    std::string exported = Export({"C", "D"});
    EXPECT_FALSE(result.LeftOutAnything()) << LeftOutReport(result);
    for (const Case& c : cases) {
        EXPECT_NE(exported.find("+" + c.path + "->" + c.written + "\r\n"), std::string::npos) << c.path.size();
        ASSERT_TRUE(DeleteJunction(c.path)) << c.path.size();
    }

    TImport importer;
    EXPECT_FALSE(importer.Import("C:\\out.trs"));
    for (const Case& c : cases) EXPECT_EQ(HostReparse(fs.HostPath(c.path)), bytes[c.path]) << c.path.size();
    // Every line was made, so none is pending any more.
    EXPECT_EQ(fs.ReadFile("out.trs").find('+'), std::string::npos);
}

// A stored name that would not come back as it is, or that would bring
// lines of its own into the list, is not written; neither is anything in a
// folder that cannot be listed. The result counts them, and names the first.
TEST_F(ExportTest, WhatCannotComeBackIsLeftOutCountedAndNamed) {
    fs.MakeDir("data");
    Junction("C:\\kept", "C:\\data");
    Junction("C:\\locked\\inner", "C:\\data");
    Junction("C:\\unreadable", "C:\\data");
    struct Case {
        const char* path;
        std::u16string stored;
    } cases[] = {
        {"C:\\inject", u"\\??\\C:\\x\r\n+C:\\Windows\\System32\\evil->C:\\Users\\Public"},
        {"C:\\zero", std::u16string(u"\\??\\C:\\data\0C:\\x", 16)},
        {"C:\\share", u"\\??\\UNC\\server\\share"},
        {"C:\\device", u"\\Device\\HarddiskVolume2\\data"},
        {"C:\\surrogate", u"\\??\\C:\\\xD800x"},
    };
    for (const Case& c : cases) {
        fs.MakeDir(c.path + 3);
        std::vector<std::uint8_t> buffer = *reparse::BuildMountPoint(c.stored);
        ASSERT_TRUE(SetReparseData(c.path, buffer.data(), static_cast<std::uint32_t>(buffer.size()))) << c.path;
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
    std::vector<std::uint8_t> symlink = {0x0C, 0x00, 0x00, 0xA0, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    ASSERT_TRUE(SetReparseData("C:\\b", symlink.data(), static_cast<std::uint32_t>(symlink.size())));
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
