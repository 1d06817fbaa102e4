// The junction exporter on the simulated drives: the drives chosen, the
// lines in scan order, the file written, and the re-import of what it wrote.

#include "listfile/export.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/junction.h"
#include "listfile/import.h"
#include "platform/os.h"
#include "platform/paths.h"
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

    std::string Export(const DriveList& drives, std::vector<std::string>* examined = nullptr) {
        ExportJunctions(finder, drives, "C:\\out.trs", [&](const std::string& path) {
            if (examined) examined->push_back(path);
        });
        return fs.ReadFile("out.trs");
    }

    Scratch fs;
    TFindFile finder;
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

TEST_F(ExportTest, JunctionNamedWithALeadingFullStopIsNotWritten) {
    fs.MakeDir("data");
    Junction("C:\\.hidden", "C:\\data");
    Junction("C:\\dir\\.j", "C:\\data");
    Junction("C:\\.dots\\inside", "C:\\data");
    EXPECT_EQ(Export({"C"}), "+C:\\.dots\\inside->C:\\data\r\n");
}

TEST_F(ExportTest, OutputReimportsTheSameJunctions) {
    fs.AddDrive('D');
    fs.MakeDir("data");
    fs.MakeDir("data\\sub");
    ASSERT_TRUE(ForceDirectories("D:\\Projects\\Current"));
    // A destination as long as the simulation's host keeps (about 4 KB of reparse data).
    const std::string far = test::Deep("C:\\far", 1900);
    ASSERT_TRUE(ForceDirectories(far));
    std::map<std::string, std::string> junctions = {
        {"C:\\links\\web", "C:\\data"},        {"C:\\links\\with blanks\\deep", "C:\\data\\sub"},
        {"D:\\Docs", "D:\\Projects\\Current"}, {"D:\\to C", "C:\\data"},
        {"C:\\data\\sub\\back", "C:\\data"},   {"C:\\to far", far},
    };
    for (std::size_t depth : test::kDepths)
        junctions[test::Deep("C:\\deep" + std::to_string(depth), depth)] = "C:\\data";
    std::map<std::string, std::vector<std::uint8_t>> bytes;
    for (const auto& [path, destination] : junctions) {
        Junction(path, destination);
        bytes[path] = *HostReparse(fs.HostPath(path));
    }
    std::string exported = Export({"C", "D"});
    for (const auto& [path, destination] : junctions) {
        ASSERT_NE(exported.find("+" + path + "->" + destination + "\r\n"), std::string::npos) << path.size();
        ASSERT_TRUE(DeleteJunction(path)) << path.size();
        ASSERT_TRUE(paths::RemoveDirectoryW(path)) << path.size();
    }

    TImport importer;
    EXPECT_FALSE(importer.Import("C:\\out.trs"));
    for (const auto& [path, destination] : junctions)
        EXPECT_EQ(HostReparse(fs.HostPath(path)), bytes[path]) << path.size();
    // Every line was made, so none is pending any more.
    EXPECT_EQ(fs.ReadFile("out.trs").find('+'), std::string::npos);
}

}  // namespace
}  // namespace tarsio
